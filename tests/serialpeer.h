// A serial peer for tests: a socat pseudo-terminal pair in a temporary
// directory, one end linked as COMn (the port under test), the other end
// "peer" opened here.  The directory becomes KX_SERIAL_DIR.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

extern char **environ;

inline std::int64_t kxtest_ms()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// Polls cond every millisecond until it holds or ms have passed.
template <class F> bool kxtest_waitfor(F cond, int ms)
{
    std::int64_t end = kxtest_ms() + ms;
    while (!cond()) {
        if (kxtest_ms() > end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// A fresh directory of its own, removed at the end.
struct kxtest_tempdir {
    std::string path;
    kxtest_tempdir()
    {
        char name[] = "/tmp/kxtest.XXXXXX";
        if (mkdtemp(name))
            path = name;
    }
    ~kxtest_tempdir()
    {
        std::error_code ec;
        if (!path.empty())
            std::filesystem::remove_all(path, ec);
    }
    std::string file(const std::string &name) const { return path + "/" + name; }
};

struct kxtest_serialpeer {
    kxtest_tempdir dir;
    pid_t pid = -1;
    int fd = -1;  // the peer's end
    std::vector<std::string> links;

    // Starts socat with COM<port> and peer links; false when they did not
    // appear within 10 s.
    bool start(int port)
    {
        std::string com = "pty,raw,echo=0,link=" + dir.file("COM" + std::to_string(port));
        std::string peer = "pty,raw,echo=0,link=" + dir.file("peer");
        const char *argv[] = {"socat", com.c_str(), peer.c_str(), nullptr};
        posix_spawn_file_actions_t fa;
        posix_spawn_file_actions_init(&fa);
        posix_spawn_file_actions_addopen(&fa, 2, "/dev/null", O_WRONLY, 0);
        int r = posix_spawnp(&pid, "socat", &fa, nullptr, const_cast<char **>(argv), environ);
        posix_spawn_file_actions_destroy(&fa);
        if (r != 0) {
            pid = -1;
            return false;
        }
        setenv("KX_SERIAL_DIR", dir.path.c_str(), 1);
        std::string p = dir.file("peer");
        std::string c = dir.file("COM" + std::to_string(port));
        links = {p, c};
        if (!kxtest_waitfor([&] { return access(p.c_str(), F_OK) == 0 && access(c.c_str(), F_OK) == 0; },
                            10000))
            return false;
        fd = open(p.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0)
            return false;
        struct termios t {};
        tcgetattr(fd, &t);
        cfmakeraw(&t);
        tcsetattr(fd, TCSANOW, &t);
        return true;
    }

    // Ends socat: the port's device goes away, and with it its links (as
    // udev removes the names of an unplugged adapter), so that a link never
    // leads to a pseudo-terminal that someone else gets next.
    void stop()
    {
        if (fd >= 0)
            close(fd);
        fd = -1;
        if (pid > 0) {
            kill(pid, SIGTERM);
            waitpid(pid, nullptr, 0);
            for (const std::string &name : links)
                unlink(name.c_str());
        }
        pid = -1;
    }

    ~kxtest_serialpeer() { stop(); }

    bool send(const std::string &bytes) { return send_all(bytes, 5000); }

    // Writes everything, waiting for room up to ms in all.
    bool send_all(const std::string &bytes, int ms)
    {
        std::size_t done = 0;
        std::int64_t end = kxtest_ms() + ms;
        while (done < bytes.size() && kxtest_ms() < end) {
            ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
            if (n > 0)
                done += static_cast<std::size_t>(n);
            else
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return done == bytes.size();
    }

    // Reads until n bytes have come or ms have passed.
    std::string receive(std::size_t n, int ms = 5000)
    {
        std::string got;
        std::int64_t end = kxtest_ms() + ms;
        while (got.size() < n) {
            std::int64_t left = end - kxtest_ms();
            if (left <= 0)
                break;
            struct pollfd p {fd, POLLIN, 0};
            if (poll(&p, 1, static_cast<int>(left)) <= 0)
                continue;
            char buf[4096];
            ssize_t r = read(fd, buf, sizeof buf);
            if (r > 0)
                got.append(buf, static_cast<std::size_t>(r));
        }
        return got;
    }
};

// A pseudo-terminal whose master end the test holds and whose device end is
// linked as COMn in a directory of its own (made KX_SERIAL_DIR): the master
// reads back the settings the port under test gave the device.
struct kxtest_ptydevice {
    kxtest_tempdir dir;
    int master = -1;

    bool start(int port)
    {
        master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0)
            return false;
        std::string com = dir.file("COM" + std::to_string(port));
        if (symlink(ptsname(master), com.c_str()) != 0)
            return false;
        setenv("KX_SERIAL_DIR", dir.path.c_str(), 1);
        return true;
    }
    ~kxtest_ptydevice()
    {
        if (master >= 0)
            close(master);
    }
    // The device's settings as they are now.
    struct termios settings() const
    {
        struct termios t {};
        tcgetattr(master, &t);
        return t;
    }
    // Reads until n bytes have come or ms have passed.
    std::string receive(std::size_t n, int ms = 5000)
    {
        std::string got;
        std::int64_t end = kxtest_ms() + ms;
        while (got.size() < n && kxtest_ms() < end) {
            char buf[256];
            ssize_t r = read(master, buf, sizeof buf);
            if (r > 0)
                got.append(buf, static_cast<std::size_t>(r));
            else
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return got;
    }
};
