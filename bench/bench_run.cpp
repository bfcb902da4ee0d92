// quenlorix --run as a build job starts it: the time from exec to the first
// byte of the script's first send on the device's end of a socat
// pseudo-terminal, median of five fresh starts.  No display is involved.
//
// QUENLORIX names the program (default: the one built here).
#include <benchmark/benchmark.h>

#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <string>
#include <vector>

#include "../tests/serialpeer.h"
#include "procstat.h"

namespace {

using namespace kxbench;

constexpr int RUNS = 5;
constexpr int FIRST_BYTE_LIMIT_MS = 10000;

std::string program()
{
    const char *bin = std::getenv("QUENLORIX");
    return bin ? bin : KX_BENCH_BINARY_DIR "/quenlorix";
}

// The time until the first byte arrives at the device end, in seconds from
// t0; -1 when none came.  The rest of the send is read too, so that nothing
// of it is left for the next start to find.
double first_byte(int fd, double t0)
{
    pollfd p{fd, POLLIN, 0};
    double t = -1;
    std::string got;
    while (got.find('\n') == std::string::npos && poll(&p, 1, FIRST_BYTE_LIMIT_MS) > 0) {
        if (t < 0)
            t = seconds() - t0;
        char buf[256];
        const ssize_t n = read(fd, buf, sizeof buf);
        if (n > 0)
            got.append(buf, static_cast<std::size_t>(n));
    }
    return got == "AT\n" ? t : -1;
}

void BM_RunFirstByteQuenlorix(benchmark::State &state)
{
    const std::string bin = program();
    kxtest_serialpeer peer;
    if (access(bin.c_str(), X_OK) != 0 || !peer.start(1)) {
        state.SkipWithError("no tester binary or no pseudo-terminal peer (socat)");
        return;
    }
    std::ofstream(peer.dir.file("quenlorix.cfg")) << "port=1   baud=115200\n";
    std::ofstream(peer.dir.file("first.qx")) << "send \"AT\"\n";
    std::vector<double> took;
    for (auto _ : state) {
        for (int i = 0; i < RUNS; i++) {
            const char *a[] = {bin.c_str(), "--run", "first.qx", nullptr};
            const double t0 = seconds();
            const pid_t pid = spawn(a, peer.dir.path.c_str(), -1);
            const double t = first_byte(peer.fd, t0);
            int status = 0;
            waitpid(pid, &status, 0);
            if (t < 0 || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
                state.SkipWithError("the script's first byte did not come, or the run failed");
                return;
            }
            took.push_back(t);
        }
        std::sort(took.begin(), took.end());
        state.SetIterationTime(took[took.size() / 2]);
    }
    state.counters["first_byte_ms"] = 1000 * took[took.size() / 2];
    state.SetLabel("exec of quenlorix --run to its first byte on the line, median of 5");
}

} // namespace

BENCHMARK(BM_RunFirstByteQuenlorix)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
