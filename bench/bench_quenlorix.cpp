// The real tester on a private Xvfb with a pseudo-terminal as its device:
// idle CPU with its 100 ms timer running, a flood of 20,000 lines of 20
// bytes, and resident memory.  The program's own CPU time is read from
// /proc, so the device's cost is not counted.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>

#include "../tests/serialpeer.h"

namespace {

std::string slurp(const std::string &name)
{
    std::ifstream in(name, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

std::string shell(const std::string &cmd)
{
    std::string out;
    if (std::FILE *f = popen(cmd.c_str(), "r")) {
        char buf[512];
        std::size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
            out.append(buf, n);
        pclose(f);
    }
    return out;
}

double seconds()
{
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

pid_t spawn(const char *const argv[], const char *dir, int out_fd)
{
    pid_t pid = fork();
    if (pid == 0) {
        if (dir && chdir(dir) != 0)
            _exit(127);
        int null = open("/dev/null", O_WRONLY);
        dup2(out_fd >= 0 ? out_fd : null, 1);
        dup2(null, 2);
        if (out_fd >= 0)
            dup2(out_fd, 3);
        execvp(argv[0], const_cast<char **>(argv));
        _exit(127);
    }
    return pid;
}

void end(pid_t pid)
{
    if (pid <= 0)
        return;
    kill(pid, SIGTERM);
    for (int i = 0; i < 300 && waitpid(pid, nullptr, WNOHANG) == 0; i++)
        usleep(10 * 1000);
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
}

// CPU seconds (user + system) a process has used so far.
double cpu_of(pid_t pid)
{
    std::string stat = slurp("/proc/" + std::to_string(pid) + "/stat");
    std::size_t paren = stat.rfind(')');
    if (paren == std::string::npos)
        return -1;
    std::istringstream fields(stat.substr(paren + 2));
    std::string f;
    unsigned long long utime = 0, stime = 0;
    for (int i = 3; fields >> f; i++) {
        if (i == 14)
            utime = std::stoull(f);
        if (i == 15) {
            stime = std::stoull(f);
            break;
        }
    }
    return static_cast<double>(utime + stime) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

// A field of /proc/<pid>/status in kB.
long status_kb(pid_t pid, const char *key)
{
    std::istringstream in(slurp("/proc/" + std::to_string(pid) + "/status"));
    for (std::string line; std::getline(in, line);)
        if (line.rfind(key, 0) == 0)
            return std::atol(line.c_str() + std::strlen(key));
    return -1;
}

// The tester running and past its dialog, shared by the benchmarks below.
struct Running {
    kxtest_serialpeer peer;
    pid_t xvfb = -1, app = -1;
    std::string error;

    Running()
    {
        const char *bin = std::getenv("QUENLORIX");
        std::string program = bin ? bin : KX_BENCH_BINARY_DIR "/quenlorix";
        if (access(program.c_str(), X_OK) != 0) {
            error = "no tester binary at " + program;
            return;
        }
        int fds[2];
        if (pipe(fds) != 0)
            return;
        // -noreset: the server does not start afresh between its clients.
        const char *x[] = {"Xvfb", "-displayfd", "3", "-nolisten", "tcp", "-noreset", "-screen",
                           "0", "1024x768x24", nullptr};
        xvfb = spawn(x, nullptr, fds[1]);
        close(fds[1]);
        std::string number;
        char c;
        pollfd p{fds[0], POLLIN, 0};
        while (poll(&p, 1, 20000) > 0 && read(fds[0], &c, 1) == 1 && c != '\n')
            number += c;
        close(fds[0]);
        if (number.empty()) {
            error = "Xvfb did not start";
            return;
        }
        setenv("DISPLAY", (":" + number).c_str(), 1);
        if (!peer.start(1)) {
            error = "no pseudo-terminal peer (socat)";
            return;
        }
        std::ofstream(peer.dir.file("quenlorix.cfg")) << "port=1   baud=115200\n";
        setenv("KX_HOST", "x11", 1);
        const char *a[] = {program.c_str(), nullptr};
        app = spawn(a, peer.dir.path.c_str(), -1);
        if (!wait_window("Schnittstelle konfigurieren")) {
            error = "the settings dialog did not appear";
            return;
        }
        // There is no window manager: keys go to the window under the pointer.
        shell("xdotool search --name 'Schnittstelle konfigurieren' "
              "mousemove --window %1 150 20 key Return 2>/dev/null");
        if (!wait_log("Baudrate=115200\n")) {
            error = "the port did not open";
            return;
        }
        // Measured from the first paint of the main window on, not before.
        if (!wait_painted("^Quenlorix$")) {
            error = "the main window was not painted";
            return;
        }
    }
    ~Running()
    {
        end(app);
        peer.stop();
        end(xvfb);
    }
    bool wait_window(const char *name)
    {
        for (int i = 0; i < 200; i++) {
            if (!shell(std::string("xdotool search --name '") + name + "' 2>/dev/null").empty())
                return true;
            usleep(100 * 1000);
        }
        return false;
    }
    // Until its first paint a window shows only its black background.
    bool wait_painted(const char *name)
    {
        std::string cmd = std::string("xwd -silent -id $(xdotool search --name '") + name +
                          "' | head -1) | convert xwd:- -format '%[fx:maxima]' info: 2>/dev/null";
        for (int i = 0; i < 200; i++) {
            std::string max = shell(cmd);
            if (!max.empty() && max != "0")
                return true;
            usleep(100 * 1000);
        }
        return false;
    }
    std::string log() { return slurp(peer.dir.file("quenlorix.log")); }
    bool wait_log(const std::string &tail, double limit = 30)
    {
        double until = seconds() + limit;
        while (seconds() < until) {
            std::string l = log();
            if (l.size() >= tail.size() && l.compare(l.size() - tail.size(), tail.size(), tail) == 0)
                return true;
            usleep(10 * 1000);
        }
        return false;
    }
    // Waits until the log has grown to size bytes (watching only its size).
    bool wait_size(std::size_t size, double limit)
    {
        std::string name = peer.dir.file("quenlorix.log");
        double until = seconds() + limit;
        struct stat st {};
        while (seconds() < until) {
            if (stat(name.c_str(), &st) == 0 && static_cast<std::size_t>(st.st_size) >= size)
                return true;
            usleep(1000);
        }
        return false;
    }
};

Running &running()
{
    static std::unique_ptr<Running> r = std::make_unique<Running>();
    return *r;
}

void BM_QuenlorixIdle(benchmark::State &state)
{
    Running &r = running();
    if (!r.error.empty()) {
        state.SkipWithError(r.error.c_str());
        return;
    }
    for (auto _ : state) {
        double cpu = cpu_of(r.app), t = seconds();
        std::this_thread::sleep_for(std::chrono::seconds(10));
        double used = cpu_of(r.app) - cpu, wall = seconds() - t;
        state.SetIterationTime(wall);
        state.counters["cpu_percent"] = 100.0 * used / wall;
    }
    state.SetLabel("idle, 100 ms timer, 10 s");
}
BENCHMARK(BM_QuenlorixIdle)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

void BM_QuenlorixFlood(benchmark::State &state)
{
    Running &r = running();
    if (!r.error.empty()) {
        state.SkipWithError(r.error.c_str());
        return;
    }
    constexpr int LINES = 20000;
    int round = 0;
    for (auto _ : state) {
        std::string all, expect = r.log();
        char line[32];
        for (int i = 0; i < LINES; i++) {
            std::snprintf(line, sizeof line, "F%d %015d\r\n", round % 10, i);  // 20 bytes
            all += line;
            line[18] = '\n';
            line[19] = 0;
            expect += line;
        }
        round++;
        double cpu = cpu_of(r.app), t = seconds();
        std::thread device([&] { r.peer.send_all(all, 120000); });
        bool done = r.wait_size(expect.size(), 120);
        double wall = seconds() - t, used = cpu_of(r.app) - cpu;
        device.join();
        state.SetIterationTime(wall);
        if (!done || r.log() != expect) {
            state.SkipWithError("lines were lost, split or merged");
            return;
        }
        state.counters["lines_per_s"] = LINES / wall;
        state.counters["cpu_s_per_MB"] = used / (LINES * 20.0 / 1e6);
    }
    state.SetLabel("20,000 lines of 20 bytes, all logged in order");
}
BENCHMARK(BM_QuenlorixFlood)->Iterations(3)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_QuenlorixMemory(benchmark::State &state)
{
    Running &r = running();
    if (!r.error.empty()) {
        state.SkipWithError(r.error.c_str());
        return;
    }
    for (auto _ : state) {
        state.counters["rss_MB"] = status_kb(r.app, "VmRSS:") / 1024.0;
        state.counters["peak_rss_MB"] = status_kb(r.app, "VmHWM:") / 1024.0;
    }
    state.SetLabel("after the floods");
}
BENCHMARK(BM_QuenlorixMemory)->Iterations(1);

// The device end killed: the tester looks for it once a second and must
// cost no more than when idle; then a new device under the same link.
void BM_QuenlorixIdleWhileLost(benchmark::State &state)
{
    Running &r = running();
    if (!r.error.empty()) {
        state.SkipWithError(r.error.c_str());
        return;
    }
    r.peer.stop();
    if (!r.wait_log("unterbrochen: Ger\xe4t getrennt\n")) {
        state.SkipWithError("the loss was not told");
        return;
    }
    for (auto _ : state) {
        double cpu = cpu_of(r.app), t = seconds();
        std::this_thread::sleep_for(std::chrono::seconds(10));
        double used = cpu_of(r.app) - cpu, wall = seconds() - t;
        state.SetIterationTime(wall);
        state.counters["cpu_percent"] = 100.0 * used / wall;
    }
    if (!r.peer.start(1) || !r.wait_log("COM1 wieder verbunden\n"))
        state.SkipWithError("the device was not taken back");
    state.SetLabel("device gone, retried once a second, 10 s");
}
BENCHMARK(BM_QuenlorixIdleWhileLost)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

} // namespace
