// Terminal printing and line reading through a pseudo-terminal.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#ifdef __GLIBC__
#include <malloc.h>
#endif

#include "../tests/serialpeer.h"
#include "core/window.h"
#include "io/port.h"
#include "io/terminal.h"
#include "kx9d.h"

namespace {

struct Shown {
    kxWindow *win = new kxWindow;
    kxTerminal *term = new kxTerminal;
    Shown()
    {
        setenv("KX_HOST", "headless", 1);
        kxapp_init();
        kxwindow_init(win);
        kxwindow_create(win, "bench,x=0,y=0,xs=700,ys=570");
        kxterm_init(term);
        kxterm_create(term, "x=10,y=10,lines=10,scrollback=500,xs=680");
    }
    ~Shown()
    {
        kxterm_destroy(term);
        kxwindow_free(win);
        delete term;
        delete win;
    }
};

void BM_TerminalPutc(benchmark::State &state)
{
    Shown s;
    int i = 0;
    for (auto _ : state) {
        kxterm_putc(s.term, i % 60 == 59 ? '\n' : 'a' + i % 26);
        i++;
    }
    state.SetItemsProcessed(state.iterations());
    state.SetLabel("characters");
}
BENCHMARK(BM_TerminalPutc);

void BM_TerminalPutsLines(benchmark::State &state)
{
    Shown s;
    const char *line = "0123456789ABCDEFGHI\n";  // 20 bytes
    for (auto _ : state)
        kxterm_puts(s.term, line);
    state.SetItemsProcessed(state.iterations());
    state.SetLabel("20-byte lines");
}
BENCHMARK(BM_TerminalPutsLines);

// The tester's flood: 20,000 received lines of 21 bytes into its terminal
// (scroll-back 500, a log file), in batches of 2000 as it shows them:
// drawing held over a batch, then resumed and drawn once.
void BM_TerminalFlood(benchmark::State &state)
{
    constexpr int LINES = 20000, BATCH = 2000;
    std::string log = (std::filesystem::temp_directory_path() / "kx_bench_flood.log").string();
    Shown s;
    kxterm_create(s.term, "x=10,y=10,lines=10,scrollback=500,xs=680,logfile=%s", log.c_str());
    char line[32];
    for (auto _ : state) {
        for (int i = 0; i < LINES; i += BATCH) {
            kxterm_handler(s.term, KX_TERM_HOLD, 0, 0, 0, 0, 0, 0, 0, 0);
            for (int j = i; j < i + BATCH; j++) {
                std::snprintf(line, sizeof line, "OK %05d abcdefghijk", j);  // 20 bytes
                kxterm_setcolor(s.term, 1);
                kxterm_puts(s.term, line);
                kxterm_puts(s.term, "\n");
            }
            kxterm_handler(s.term, KX_TERM_RESUME, 0, 0, 0, 0, 0, 0, 0, 0);
            kxterm_handler(s.term, KX_DRAW_REFRESH, 0, 0, 0, 0, 0, 0, 0, 0);
        }
    }
    state.SetItemsProcessed(state.iterations() * LINES);
    state.SetLabel("lines of 21 bytes");
    kxterm_destroy(s.term);
    std::remove(log.c_str());
}
BENCHMARK(BM_TerminalFlood)->Unit(benchmark::kMillisecond);

// The heap a history holds (what destroying the terminal gives back):
// 100,000 received lines of 21 characters with scrollback=100000, against
// the same with the default 500 (the bound: at most 8 MB more).
std::size_t heap_in_use()
{
#ifdef __GLIBC__
    return mallinfo2().uordblks;
#else
    return 0;
#endif
}

double history_mb(int scrollback)
{
    Shown s;
    kxterm_create(s.term, "x=10,y=10,lines=10,scrollback=%d,xs=680", scrollback);
    std::string text;
    for (int i = 0; i < 100000; i++) {
        char line[32];
        std::snprintf(line, sizeof line, "OK %05d abcdefghijkl\n", i);  // 21 + LF
        text += line;
    }
    kxterm_setcolor(s.term, 1);
    kxterm_puts(s.term, text.c_str());
    text = std::string();
    const std::size_t held = heap_in_use();
    kxterm_destroy(s.term);
    return (static_cast<double>(held) - static_cast<double>(heap_in_use())) / 1e6;
}

void BM_TerminalHistoryMemory(benchmark::State &state)
{
    double small = 0, large = 0;
    for (auto _ : state) {
        small = history_mb(500);
        large = history_mb(KX_TERM_SCROLLBACK_MAX);
    }
    state.counters["MB_scrollback_500"] = small;
    state.counters["MB_scrollback_100000"] = large;
    state.counters["MB_more"] = large - small;
    state.SetLabel("heap after 100,000 lines of 21 characters");
}
BENCHMARK(BM_TerminalHistoryMemory)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_PortReadline(benchmark::State &state)
{
    setenv("KX_HOST", "headless", 1);
    kxapp_init();
    kxtest_serialpeer peer;
    if (!peer.start(7) || !kxport_open(7, 115200)) {
        state.SkipWithError("no pseudo-terminal peer (socat)");
        return;
    }
    kxport_settimeout(1);
    std::string burst;
    for (int i = 0; i < 100; i++)
        burst += "OK 0123456789abcdef\n";  // one line end: one line each
    static char buf[KX_LINE_MAX + 2];
    int pending = 0;
    for (auto _ : state) {
        if (pending == 0) {
            peer.send(burst);
            pending = 100;
        }
        while (!kxport_readline(buf, 256)) {
        }
        pending--;
    }
    kxport_close(7);
    state.SetItemsProcessed(state.iterations());
    state.SetLabel("lines");
}
BENCHMARK(BM_PortReadline);

} // namespace
