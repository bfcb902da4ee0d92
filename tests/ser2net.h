// ser2net for tests: started by the test on the loopback address with a
// configuration file of its own, never as a system service, in front of a
// device path (a socat pseudo-terminal).  It serves the device twice, as raw
// TCP and as telnet(rfc2217), on free ports; stopped and started again it
// keeps its ports.
#pragma once

#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "serialpeer.h"

// A loopback port free now: bound to 0, read back, released.
inline int kxtest_freeport()
{
    int s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    int port = -1;
    if (s >= 0 && bind(s, reinterpret_cast<sockaddr *>(&a), sizeof a) == 0 &&
        getsockname(s, reinterpret_cast<sockaddr *>(&a), &len) == 0)
        port = ntohs(a.sin_port);
    if (s >= 0)
        close(s);
    return port;
}

// Whether something listens on the loopback port, as /proc/net/tcp says
// (a connection to find out would open ser2net's device).
inline bool kxtest_listening(int port)
{
    std::ifstream in("/proc/net/tcp");
    std::string line;
    char want[32];
    std::snprintf(want, sizeof want, "0100007F:%04X", port);
    while (std::getline(in, line))
        if (line.find(want) != std::string::npos && line.find(" 0A ") != std::string::npos)
            return true;
    return false;
}

struct kxtest_ser2net {
    kxtest_tempdir dir;
    pid_t pid = -1;
    int raw = -1, rfc2217 = -1;  // the ports
    std::string device;

    std::string raw_url() const { return "tcp://127.0.0.1:" + std::to_string(raw); }
    std::string rfc2217_url() const { return "rfc2217://127.0.0.1:" + std::to_string(rfc2217); }

    // Serves the device; false when ser2net did not listen within 10 s.
    bool start(const std::string &path)
    {
        device = path;
        if (raw < 0) {
            raw = kxtest_freeport();
            rfc2217 = kxtest_freeport();
        }
        std::ofstream cfg(dir.file("ser2net.yaml"));
        for (int k = 0; k < 2; k++)
            cfg << "connection: &c" << k << "\n"
                << "  accepter: " << (k ? "telnet(rfc2217),tcp" : "tcp") << ",127.0.0.1,"
                << (k ? rfc2217 : raw) << "\n"
                << "  connector: serialdev," << device << ",9600n81,local\n"
                << "  options:\n    kickolduser: true\n";
        cfg.close();
        return resume();
    }

    // Starts it again with the same ports.
    bool resume()
    {
        const std::string conf = dir.file("ser2net.yaml"), pidfile = dir.file("ser2net.pid");
        const char *argv[] = {"ser2net", "-n", "-d", "-c", conf.c_str(), "-P", pidfile.c_str(),
                              nullptr};
        posix_spawn_file_actions_t fa;
        posix_spawn_file_actions_init(&fa);
        posix_spawn_file_actions_addopen(&fa, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&fa, 2, "/dev/null", O_WRONLY, 0);
        int r = posix_spawnp(&pid, "ser2net", &fa, nullptr, const_cast<char **>(argv), environ);
        posix_spawn_file_actions_destroy(&fa);
        if (r != 0) {
            pid = -1;
            return false;
        }
        return kxtest_waitfor([&] { return kxtest_listening(raw) && kxtest_listening(rfc2217); },
                              10000);
    }

    // Whether no connection is left open on its side: it has let go of
    // the device for the next one.
    bool idle() const
    {
        std::ifstream in("/proc/net/tcp");
        std::string line;
        char mine[2][32];
        std::snprintf(mine[0], sizeof mine[0], ":%04X ", raw);
        std::snprintf(mine[1], sizeof mine[1], ":%04X ", rfc2217);
        while (std::getline(in, line)) {
            // "sl local rem st ...": the local address, then the state.
            std::size_t local = line.find(':', line.find(':') + 1);
            if (local == std::string::npos || line.size() < local + 25)
                continue;
            const std::string port = line.substr(local, 6);
            const std::string state = line.substr(local + 19, 4);
            if ((port == mine[0] || port == mine[1]) && state != " 0A " && state != " 06 ")
                return false;
        }
        return true;
    }

    // Whether it has the device open (for a connection).
    bool holds() const
    {
        char real[PATH_MAX];
        if (pid <= 0 || !realpath(device.c_str(), real))
            return false;
        std::error_code ec;
        const std::string fds = "/proc/" + std::to_string(pid) + "/fd";
        for (const auto &e : std::filesystem::directory_iterator(fds, ec))
            if (std::filesystem::read_symlink(e.path(), ec) == real)
                return true;
        return false;
    }

    void stop()
    {
        if (pid > 0) {
            kill(pid, SIGTERM);
            waitpid(pid, nullptr, 0);
        }
        pid = -1;
    }

    ~kxtest_ser2net() { stop(); }
};
