// What the benchmarks of whole programs read about a process, and how they
// start and end one.  CPU time comes from the scheduler's per-thread
// accounting (nanoseconds), so that an idle program's few milliseconds over
// ten seconds are seen at all.
#pragma once

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace kxbench {

inline std::string slurp(const std::string &name)
{
    std::ifstream in(name, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

inline double seconds()
{
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

// CPU seconds that all threads of a process have run so far; -1 when it is
// gone.
inline double cpu_of(pid_t pid)
{
    std::string dir = "/proc/" + std::to_string(pid) + "/task";
    DIR *d = opendir(dir.c_str());
    if (!d)
        return -1;
    unsigned long long ns = 0;
    while (dirent *e = readdir(d)) {
        if (e->d_name[0] == '.')
            continue;
        ns += std::strtoull(slurp(dir + "/" + e->d_name + "/schedstat").c_str(), nullptr, 10);
    }
    closedir(d);
    return static_cast<double>(ns) / 1e9;
}

// Resident memory (VmRSS) and proportional set size in MB.
inline double rss_mb(pid_t pid)
{
    std::istringstream in(slurp("/proc/" + std::to_string(pid) + "/status"));
    for (std::string line; std::getline(in, line);)
        if (line.rfind("VmRSS:", 0) == 0)
            return std::atof(line.c_str() + 6) / 1024.0;
    return -1;
}

inline double pss_mb(pid_t pid)
{
    std::istringstream in(slurp("/proc/" + std::to_string(pid) + "/smaps_rollup"));
    for (std::string line; std::getline(in, line);)
        if (line.rfind("Pss:", 0) == 0)
            return std::atof(line.c_str() + 4) / 1024.0;
    return -1;
}

// Starts argv in dir with standard input, output and error on io (or
// /dev/null when io < 0), with env ("NAME=value" words) added to its
// environment and, when extra >= 0, that descriptor as 3.
inline pid_t spawn(const char *const argv[], const char *dir, int io, int extra = -1,
                   const std::vector<std::string> &env = {})
{
    pid_t pid = fork();
    if (pid == 0) {
        if (dir && chdir(dir) != 0)
            _exit(127);
        for (const std::string &e : env)
            putenv(const_cast<char *>(e.c_str()));
        int null = open("/dev/null", O_RDWR);
        int fd = io >= 0 ? io : null;
        if (extra >= 0)
            dup2(extra, 3);
        dup2(fd, 0);
        dup2(fd, 1);
        dup2(io >= 0 ? io : null, 2);
        if (io >= 0)
            setsid();  // io is a terminal: the child's own
        execvp(argv[0], const_cast<char **>(argv));
        _exit(127);
    }
    return pid;
}

inline void end(pid_t pid)
{
    if (pid <= 0)
        return;
    kill(pid, SIGTERM);
    for (int i = 0; i < 300 && waitpid(pid, nullptr, WNOHANG) == 0; i++)
        usleep(10 * 1000);
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
}

} // namespace kxbench
