// Quenlorix beside picocom, a command-line serial terminal, on the same
// work, each on a socat pseudo-terminal pair of its own and Quenlorix on a
// private Xvfb: a flood of 20,000 lines of 21 bytes until the last line is
// shown and logged, CPU per MB of it, idle CPU over 10 s (these two also at
// scale 2), a stream paced at 550 lines/s (115200 baud) for 10 s, memory
// after the flood, and the time from exec to the first painted window
// (Quenlorix's settings dialog; picocom's "Terminal ready").  Only the
// programs' own CPU time counts, not socat's or the X server's.
// tools/run-bench runs these with the rest of the benchmarks and prints the
// comparison.
//
// QUENLORIX names the program (default: the one built here);
// KX_BENCH_SETTINGS names a file whose lines are added to its settings file.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <pty.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "../tests/ser2net.h"
#include "../tests/serialpeer.h"
#include "procstat.h"
#include "xwatch.h"

namespace {

using namespace kxbench;

constexpr int FLOOD_LINES = 20000;
constexpr int FOOTER_ROWS = 14;  // the main window's last pixel rows: its footer line
constexpr int LINE_BYTES = 21;
constexpr int PACED_RATE = 550;  // lines per second: 115200 baud of 21-byte lines
constexpr double PACED_SECONDS = 10;
constexpr double IDLE_SECONDS = 10;
constexpr double SETTLE_S = 0.5;  // unchanged this long: the screen is final
constexpr double LIMIT_S = 120;
constexpr int STARTS = 5;  // start-up measured this often, the median kept
constexpr int WATCHED_ROWS = 16;  // of the terminal, from its last text line up
constexpr int WATCH_US = 3000;    // how often the watched pixels are read
const char *const DIALOG = "Schnittstelle konfigurieren";
const char *const MAIN = "Quenlorix";

std::string line(int round, int i)
{
    char b[32];
    std::snprintf(b, sizeof b, "F%d %016d\r\n", round % 10, i);
    return b;
}

std::string lines(int round, int count)
{
    std::string all;
    for (int i = 0; i < count; i++)
        all += line(round, i);
    return all;
}

bool wait_size(const std::string &name, std::size_t size, double limit)
{
    double until = seconds() + limit;
    struct stat st {};
    while (seconds() < until) {
        if (stat(name.c_str(), &st) == 0 && static_cast<std::size_t>(st.st_size) >= size)
            return true;
        usleep(500);
    }
    return false;
}

// Waits until text is in the file after offset from, looking as often as
// wait_size does.  Only what was added since the last look is read: reading
// the whole log each time would cost the bench more than the tester its flood.
bool wait_text(const std::string &name, std::size_t from, const std::string &text, double limit)
{
    int fd = open(name.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0 || lseek(fd, static_cast<off_t>(from), SEEK_SET) < 0) {
        if (fd >= 0)
            close(fd);
        return false;
    }
    double until = seconds() + limit;
    std::string window;  // the end of what was read, as long as text less one
    bool found = false;
    char buf[65536];
    while (!found && seconds() < until) {
        ssize_t n = read(fd, buf, sizeof buf);
        if (n > 0) {
            window.append(buf, static_cast<std::size_t>(n));
            found = window.find(text) != std::string::npos;
            if (window.size() >= text.size())
                window.erase(0, window.size() - (text.size() - 1));
            continue;
        }
        usleep(500);
    }
    close(fd);
    return found;
}

Xserver &xserver()
{
    static Xserver x;
    return x;
}

std::string quenlorix_binary()
{
    const char *bin = std::getenv("QUENLORIX");
    return bin ? bin : KX_BENCH_BINARY_DIR "/quenlorix";
}

// A program under test with its device, its log and the place where it shows
// what arrives.
struct Subject {
    kxtest_serialpeer peer;
    pid_t pid = -1;
    std::string error;
    int round = 0;

    virtual ~Subject() = default;
    virtual std::string logname() = 0;
    // The log once the bytes have come on top of what it holds now.
    virtual std::string expect(const std::string &now, const std::string &sent) = 0;
    virtual void watch() = 0;
    // Waits until what is shown has not changed for SETTLE_S; the time of
    // the last change since watch().
    virtual double shown() = 0;
    std::string log() { return slurp(logname()); }
    void stop()
    {
        end(pid);
        pid = -1;
        peer.stop();
    }
};

// ------------------------------------------------------------ Quenlorix

// Watches an area of a window from a thread with a connection of its own
// and notes when it last changed.
class AreaWatch {
  public:
    void start(const Area &a)
    {
        stop();
        last_ = seconds();
        running_ = true;
        thread_ = std::thread([this, a] {
            Xclient x(xserver().display);
            std::vector<std::uint32_t> before = x.pixels(a);
            while (running_) {
                usleep(WATCH_US);
                std::vector<std::uint32_t> now = x.pixels(a);
                if (now != before) {
                    last_ = seconds();
                    before.swap(now);
                }
            }
        });
    }
    double settled()
    {
        while (seconds() - last_.load() < SETTLE_S)
            usleep(10000);
        double t = last_;
        stop();
        return t;
    }
    void stop()
    {
        running_ = false;
        if (thread_.joinable())
            thread_.join();
    }
    ~AreaWatch() { stop(); }

  private:
    std::thread thread_;
    std::atomic<bool> running_{false};
    std::atomic<double> last_{0};
};

struct Quenlorix : Subject {
    Area terminal;  // where received lines show
    AreaWatch watching;
    int scale = 1;  // KX_SCALE of the program

    Quenlorix() { launch(""); }
    explicit Quenlorix(bool) {}
    ~Quenlorix() override { stop(); }

    // extra: lines added to the settings file.
    void launch(const std::string &extra)
    {
        std::string program = quenlorix_binary();
        if (access(program.c_str(), X_OK) != 0) {
            error = "no tester binary at " + program;
            return;
        }
        if (xserver().display.empty()) {
            error = "Xvfb did not start";
            return;
        }
        if (!peer.start(1)) {
            error = "no pseudo-terminal peer (socat)";
            return;
        }
        std::string cfg = "port=1   baud=115200\n" + extra + serve();
        if (!error.empty())
            return;
        if (const char *more = std::getenv("KX_BENCH_SETTINGS"))
            cfg += slurp(more);
        std::ofstream(peer.dir.file("quenlorix.cfg")) << cfg;
        Xclient x(xserver().display);
        const char *a[] = {program.c_str(), nullptr};
        pid = spawn(a, peer.dir.path.c_str(), -1, -1,
                    {"DISPLAY=" + xserver().display, "KX_HOST=x11",
                     "KX_SCALE=" + std::to_string(scale)});
        Window dialog = x.wait_mapped(DIALOG, 20);
        if (!dialog || !painted(x, dialog, 20)) {
            error = "the settings dialog did not appear";
            return;
        }
        // There is no window manager: keys go to the window under the pointer.
        std::string cmd = "DISPLAY=" + xserver().display + " xdotool mousemove --window " +
                          std::to_string(dialog) + " 150 20 key Return >/dev/null 2>&1";
        if (std::system(cmd.c_str()) != 0 || !wait_tail("Baudrate=115200\n")) {
            error = "the port did not open";
            return;
        }
        find_terminal(x);
    }

    // Lines for the settings file that put something between the tester
    // and the device.
    virtual std::string serve() { return ""; }

    std::string logname() override { return peer.dir.file("quenlorix.log"); }

    // Received lines are logged without their line ends, each with a LF.
    std::string expect(const std::string &now, const std::string &sent) override
    {
        std::string e = now;
        for (std::size_t i = 0; i < sent.size();) {
            std::size_t cut = sent.find_first_of("\r\n", i);
            if (cut == std::string::npos)
                break;
            if (cut > i)
                e += sent.substr(i, cut - i) + "\n";
            i = cut + 1;
        }
        return e;
    }

    void watch() override { watching.start(terminal); }
    double shown() override { return watching.settled(); }

    // A window is painted once any pixel of its middle row is no longer the
    // black of a fresh X window.
    static bool painted(Xclient &x, Window w, double limit)
    {
        Area all = x.whole(w);
        Area row{w, 0, all.height / 2, all.width, 1};
        double until = seconds() + limit;
        while (seconds() < until) {
            std::vector<std::uint32_t> px = x.pixels(row);
            if (std::any_of(px.begin(), px.end(), [](std::uint32_t p) { return p != 0; }))
                return true;
            usleep(200);
        }
        return false;
    }

    bool wait_tail(const std::string &tail, double limit = 30)
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

    // The terminal is where the main window changes when a line arrives.
    void find_terminal(Xclient &x)
    {
        // Another tester of the run may still show its window of that name.
        Window main = x.find(MAIN, pid);
        Area all = x.whole(main);
        // The footer line counts the bytes received: it changes with every
        // line too, but it is not where they show.
        all.height = std::max(0, all.height - FOOTER_ROWS * scale);
        AreaWatch settle;
        settle.start(all);
        settle.settled();
        std::vector<std::uint32_t> before = x.pixels(all);
        std::string probe = "C0 " + std::string(16, '0') + "\r\n";
        std::string want = expect(log(), probe);
        peer.send(probe);
        if (!wait_size(logname(), want.size(), 10)) {
            error = "the probe line was not logged";
            return;
        }
        settle.start(all);
        settle.settled();
        terminal = changed_area(all, before, x.pixels(all));
        if (terminal.empty())
            error = "the probe line did not show";
        // The newest line is at the bottom of what changed: watching only
        // that keeps the X server (and so the tester) from being slowed.
        terminal.y += std::max(0, terminal.height - WATCHED_ROWS);
        terminal.height = std::min(terminal.height, WATCHED_ROWS);
    }
};

// The same device behind ser2net on the loopback address, reached over
// RFC 2217: the tester's cost of the network port and the protocol.
struct QuenlorixRfc2217 : Quenlorix {
    kxtest_ser2net server;

    QuenlorixRfc2217() : Quenlorix(true) { launch(""); }
    std::string serve() override
    {
        if (!server.start(peer.dir.file("COM1")))
            error = "ser2net did not start";
        return "com1=" + server.rfc2217_url() + "\n";
    }
};

// ------------------------------------------------------------ picocom

struct Picocom : Subject {
    int master = -1, slave = -1;
    std::thread reader;
    std::atomic<bool> reading{false};
    std::atomic<long long> bytes{0};
    std::atomic<double> last{0};
    std::mutex text_lock;
    std::string text;  // the first of what it printed

    // Its device and its terminal; launch() starts it.
    explicit Picocom(bool)
    {
        if (!peer.start(1)) {
            error = "no pseudo-terminal peer (socat)";
            return;
        }
        if (openpty(&master, &slave, nullptr, nullptr, nullptr) != 0) {
            error = "no pseudo-terminal for picocom";
            return;
        }
        reading = true;
        reader = std::thread([this] { drain(); });
    }
    Picocom() : Picocom(true)
    {
        if (error.empty())
            launch();
        usleep(300 * 1000);  // let it settle before it is measured
    }

    // Until it says "Terminal ready" on its terminal.
    void launch()
    {
        std::string log = logname(), dev = peer.dir.file("COM1");
        const char *a[] = {"picocom", "-b", "115200", "--logfile", log.c_str(), dev.c_str(),
                           nullptr};
        pid = spawn(a, peer.dir.path.c_str(), slave);
        if (!printed("Terminal ready", 10))
            error = "picocom did not start";
    }
    ~Picocom() override
    {
        stop();
        reading = false;
        if (reader.joinable())
            reader.join();
        if (master >= 0)
            close(master);
        if (slave >= 0)
            close(slave);
    }

    void drain()
    {
        char buf[65536];
        while (reading) {
            pollfd p{master, POLLIN, 0};
            if (poll(&p, 1, 20) <= 0)
                continue;
            ssize_t n = read(master, buf, sizeof buf);
            if (n <= 0)
                continue;
            bytes += n;
            last = seconds();
            std::lock_guard<std::mutex> hold(text_lock);
            if (text.size() < 4096)
                text.append(buf, static_cast<std::size_t>(n));
        }
    }

    bool printed(const std::string &what, double limit)
    {
        double until = seconds() + limit;
        while (seconds() < until) {
            {
                std::lock_guard<std::mutex> hold(text_lock);
                if (text.find(what) != std::string::npos)
                    return true;
            }
            usleep(500);
        }
        return false;
    }

    std::string logname() override { return peer.dir.file("picocom.log"); }
    std::string expect(const std::string &now, const std::string &sent) override
    {
        return now + sent;
    }
    void watch() override { last = seconds(); }
    double shown() override
    {
        while (seconds() - last.load() < SETTLE_S)
            usleep(10000);
        return last;
    }
};

// ------------------------------------------------------------ measures

struct Flood {
    bool ok = false;
    double wall = 0, cpu = 0, logged = 0;
};

// Sends the lines as fast as the device takes them and waits until the last
// is logged and shown.
Flood flood(Subject &s, const std::string &data)
{
    Flood f;
    std::string want = s.expect(s.log(), data);
    s.watch();
    double cpu = cpu_of(s.pid), t0 = seconds();
    std::thread device([&] { s.peer.send_all(data, static_cast<int>(LIMIT_S * 1000)); });
    bool logged = wait_size(s.logname(), want.size(), LIMIT_S);
    double t_logged = seconds();
    device.join();
    double t_shown = s.shown();
    f.cpu = cpu_of(s.pid) - cpu;
    f.wall = std::max(t_logged, t_shown) - t0;
    f.logged = t_logged - t0;
    if (std::getenv("KX_BENCH_VERBOSE"))
        std::fprintf(stderr, "flood: logged %.3f s, shown %.3f s, cpu %.3f s\n", f.logged,
                     t_shown - t0, f.cpu);
    f.ok = logged && s.log() == want;
    return f;
}

template <class S> S &subject()
{
    static std::unique_ptr<S> s = std::make_unique<S>();
    return *s;
}

template <class S> bool usable(benchmark::State &state)
{
    S &s = subject<S>();
    if (!s.error.empty())
        state.SkipWithError(s.error.c_str());
    return s.error.empty();
}

template <class S> void BM_Idle(benchmark::State &state)
{
    if (!usable<S>(state))
        return;
    S &s = subject<S>();
    for (auto _ : state) {
        double cpu = cpu_of(s.pid), t = seconds();
        std::this_thread::sleep_for(std::chrono::duration<double>(IDLE_SECONDS));
        double used = cpu_of(s.pid) - cpu, wall = seconds() - t;
        state.SetIterationTime(wall);
        state.counters["cpu_percent"] = 100.0 * used / wall;
    }
    state.SetLabel("idle, port open, 10 s");
}

template <class S> void BM_Flood(benchmark::State &state)
{
    if (!usable<S>(state))
        return;
    S &s = subject<S>();
    double best = 1e9, cpu = 1e9, logged = 1e9;
    for (auto _ : state) {
        Flood f = flood(s, lines(s.round++, FLOOD_LINES));
        logged = std::min(logged, f.logged);
        state.SetIterationTime(f.wall);
        if (!f.ok) {
            state.SkipWithError("lines were lost, split or merged");
            return;
        }
        best = std::min(best, f.wall);
        cpu = std::min(cpu, f.cpu);
    }
    state.counters["best_s"] = best;
    state.counters["logged_s"] = logged;
    state.counters["cpu_s_per_MB"] = cpu / (FLOOD_LINES * LINE_BYTES / 1e6);
    state.SetLabel("20,000 lines of 21 bytes, last shown and logged");
}

template <class S> void BM_Paced(benchmark::State &state)
{
    if (!usable<S>(state))
        return;
    S &s = subject<S>();
    const int count = static_cast<int>(PACED_RATE * PACED_SECONDS);
    for (auto _ : state) {
        int round = s.round++;
        std::string want = s.expect(s.log(), lines(round, count));
        double cpu = cpu_of(s.pid), t0 = seconds();
        for (int i = 0; i < count; i++) {
            double at = t0 + static_cast<double>(i) / PACED_RATE;
            double wait = at - seconds();
            if (wait > 0)
                usleep(static_cast<useconds_t>(wait * 1e6));
            s.peer.send(line(round, i));
        }
        bool logged = wait_size(s.logname(), want.size(), 10);
        double used = cpu_of(s.pid) - cpu, wall = seconds() - t0;
        state.SetIterationTime(wall);
        if (!logged || s.log() != want) {
            state.SkipWithError("lines were lost, split or merged");
            return;
        }
        state.counters["cpu_percent"] = 100.0 * used / wall;
    }
    state.SetLabel("550 lines/s for 10 s");
}

template <class S> void BM_Memory(benchmark::State &state)
{
    if (!usable<S>(state))
        return;
    S &s = subject<S>();
    for (auto _ : state) {
        state.counters["rss_MB"] = rss_mb(s.pid);
        state.counters["pss_MB"] = pss_mb(s.pid);
    }
    state.SetLabel("after the floods");
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

// A fresh Quenlorix each time, from exec until its dialog is painted.
void BM_StartQuenlorix(benchmark::State &state)
{
    std::string program = quenlorix_binary();
    if (xserver().display.empty() || access(program.c_str(), X_OK) != 0) {
        state.SkipWithError("no Xvfb or no tester binary");
        return;
    }
    std::vector<double> took;
    for (auto _ : state) {
        for (int i = 0; i < STARTS; i++) {
            kxtest_tempdir dir;
            std::ofstream(dir.file("quenlorix.cfg")) << "port=1   baud=115200\n";
            Xclient x(xserver().display);
            XSync(x.dpy, False);
            const char *a[] = {program.c_str(), nullptr};
            double t0 = seconds();
            pid_t pid = spawn(a, dir.path.c_str(), -1, -1,
                              {"DISPLAY=" + xserver().display, "KX_HOST=x11"});
            Window w = x.wait_mapped(DIALOG, 20);
            bool ok = w && Quenlorix::painted(x, w, 20);
            double t = seconds() - t0;
            end(pid);
            if (!ok) {
                state.SkipWithError("the settings dialog did not appear");
                return;
            }
            took.push_back(t);
        }
        state.SetIterationTime(median(took));
    }
    state.counters["startup_ms"] = 1000 * median(took);
    state.SetLabel("exec to the settings dialog painted, median of 5");
}

void BM_StartPicocom(benchmark::State &state)
{
    std::vector<double> took;
    for (auto _ : state) {
        for (int i = 0; i < STARTS; i++) {
            Picocom p(true);
            double t0 = seconds();
            if (p.error.empty())
                p.launch();
            if (!p.error.empty()) {
                state.SkipWithError(p.error.c_str());
                return;
            }
            took.push_back(seconds() - t0);
        }
        state.SetIterationTime(median(took));
    }
    state.counters["startup_ms"] = 1000 * median(took);
    state.SetLabel("exec to \"Terminal ready\", median of 5");
}

// The same at scale 2: every copy to the screen four times the pixels.
struct QuenlorixScale2 : Quenlorix {
    QuenlorixScale2() : Quenlorix(true)
    {
        scale = 2;
        launch("");
    }
};

// The flood in another view, where the tester knows its settings: the
// hex-and-text view with time stamps, the hex view, and the hex view with
// frames cut by the pause (a flood has none: its frame is given out as the
// hold fills, one long line).
struct ViewsBoth {
    static constexpr const char *settings = "show=both\ntimestamps=1\n";
    static constexpr const char *keys[] = {"show=", "timestamps="};
    static constexpr const char *label = "show=both, timestamps=1";
};
struct ViewsHex {
    static constexpr const char *settings = "show=hex\n";
    static constexpr const char *keys[] = {"show=", "timestamps="};
    static constexpr const char *label = "show=hex";
};
struct ViewsHexFrames {
    static constexpr const char *settings = "show=hex\nframes=pause\n";
    static constexpr const char *keys[] = {"show=", "frames="};
    static constexpr const char *label = "show=hex, frames=pause";
};

template <class View> struct QuenlorixViews : Quenlorix {
    QuenlorixViews() : Quenlorix(true)
    {
        if (known())
            launch(View::settings);
        else
            error = std::string("this tester has no ") + View::keys[0] + " and " + View::keys[1] +
                    " settings";
    }
    static bool known()
    {
        std::string bin = slurp(quenlorix_binary());
        for (const char *key : View::keys)
            if (bin.find(key) == std::string::npos)
                return false;
        return true;
    }
    // What the views make of a line is theirs: done once the last line's
    // number is in the log and the log no longer grows.
    std::string expect(const std::string &now, const std::string &sent) override
    {
        return now + sent;
    }
};

// The last line's number as the view logs it: its text, or its hex.
template <class View> std::string logged_as(const std::string &text)
{
    if (std::string(View::settings).find("show=hex") == std::string::npos)
        return text;
    static const char digits[] = "0123456789ABCDEF";
    std::string hex;
    for (unsigned char b : text) {
        hex += hex.empty() ? "" : " ";
        hex += digits[b >> 4];
        hex += digits[b & 15];
    }
    return hex;
}

template <class View> void BM_FloodViews(benchmark::State &state)
{
    using S = QuenlorixViews<View>;
    if (!usable<S>(state))
        return;
    S &s = subject<S>();
    double best = 1e9, cpu = 1e9;
    for (auto _ : state) {
        int round = s.round++;
        std::string data = lines(round, FLOOD_LINES);
        std::string last = logged_as<View>(line(round, FLOOD_LINES - 1).substr(3, 16));
        std::size_t from = s.log().size();
        s.watch();
        double cpu0 = cpu_of(s.pid), t0 = seconds();
        std::thread device([&] { s.peer.send_all(data, static_cast<int>(LIMIT_S * 1000)); });
        bool logged = wait_text(s.logname(), from, last, LIMIT_S);
        double t_logged = seconds();
        device.join();
        double t_shown = s.shown();
        if (!logged) {
            state.SkipWithError("the last line was not logged");
            return;
        }
        double wall = std::max(t_logged, t_shown) - t0;
        state.SetIterationTime(wall);
        best = std::min(best, wall);
        cpu = std::min(cpu, cpu_of(s.pid) - cpu0);
    }
    state.counters["best_s"] = best;
    state.counters["cpu_s_per_MB"] = cpu / (FLOOD_LINES * LINE_BYTES / 1e6);
    state.SetLabel(View::label);
}

// The device end killed: the tester looks for it once a second and must
// cost no more than when idle; then a new device under the same link.
void BM_QuenlorixIdleWhileLost(benchmark::State &state)
{
    if (!usable<Quenlorix>(state))
        return;
    Quenlorix &s = subject<Quenlorix>();
    s.peer.stop();
    if (!s.wait_tail("unterbrochen: Ger\xe4t getrennt\n")) {
        state.SkipWithError("the loss was not told");
        return;
    }
    for (auto _ : state) {
        double cpu = cpu_of(s.pid), t = seconds();
        std::this_thread::sleep_for(std::chrono::duration<double>(IDLE_SECONDS));
        double used = cpu_of(s.pid) - cpu, wall = seconds() - t;
        state.SetIterationTime(wall);
        state.counters["cpu_percent"] = 100.0 * used / wall;
    }
    if (!s.peer.start(1) || !s.wait_tail(") wieder verbunden\n"))
        state.SkipWithError("the device was not taken back");
    state.SetLabel("device gone, retried once a second, 10 s");
}

} // namespace

BENCHMARK(BM_Idle<Quenlorix>)->Name("BM_IdleQuenlorix")->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);
BENCHMARK(BM_Idle<Picocom>)->Name("BM_IdlePicocom")->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);
BENCHMARK(BM_Flood<Quenlorix>)->Name("BM_FloodQuenlorix")->Iterations(5)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Flood<QuenlorixRfc2217>)->Name("BM_FloodRfc2217Quenlorix")->Iterations(5)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Flood<Picocom>)->Name("BM_FloodPicocom")->Iterations(5)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Idle<QuenlorixScale2>)->Name("BM_IdleQuenlorixScale2")->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);
BENCHMARK(BM_Flood<QuenlorixScale2>)->Name("BM_FloodQuenlorixScale2")->Iterations(5)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Memory<Quenlorix>)->Name("BM_MemoryQuenlorix")->Iterations(1);
BENCHMARK(BM_Memory<Picocom>)->Name("BM_MemoryPicocom")->Iterations(1);
BENCHMARK(BM_Paced<Quenlorix>)->Name("BM_PacedQuenlorix")->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);
BENCHMARK(BM_Paced<Picocom>)->Name("BM_PacedPicocom")->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);
BENCHMARK(BM_StartQuenlorix)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StartPicocom)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FloodViews<ViewsBoth>)->Name("BM_FloodViewsQuenlorix")->Iterations(5)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FloodViews<ViewsHex>)->Name("BM_FloodHexQuenlorix")->Iterations(5)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FloodViews<ViewsHexFrames>)->Name("BM_FloodHexFramesQuenlorix")->Iterations(5)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_QuenlorixIdleWhileLost)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);
