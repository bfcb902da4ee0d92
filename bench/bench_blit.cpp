// Copying a whole 700 x 570 window pixmap to the screen: on the X11 host
// when DISPLAY is set (shared memory where the server allows it), else on
// the headless host.  The label says which.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>

#include "core/event.h"
#include "graphics/pixmap.h"
#include "platform/platform.h"

namespace {

constexpr int WIDTH = 700;
constexpr int HEIGHT = 570;

kxarg ignore(void *, int, kxarg, kxarg, kxarg, kxarg, kxarg, kxarg, kxarg, kxarg) { return 0; }

void BM_BlitWholeWindow(benchmark::State &state)
{
    // Without a display the headless host must be asked for by name.
    const char *display = std::getenv("DISPLAY");
    if (!display || !*display)
        setenv("KX_HOST", "headless", 1);
    if (!kxplatform_init()) {
        state.SkipWithError("no host");
        return;
    }
    kxllgui_window w;
    if (!kxplatwin_create(&w, ignore, nullptr, 0, 0, WIDTH, HEIGHT, "bench_blit", {})) {
        state.SkipWithError("no window");
        return;
    }
    for (int y = 0; y < HEIGHT; y++)
        for (int x = 0; x < WIDTH; x++)
            kxpxmap_setpixel(&w.pixmap, x, y, (x * 3) << 16 | (y * 5) << 8 | (x ^ y));
    kxsys_pump_all();
    for (auto _ : state) {
        kxplatwin_blit(&w, 0, 0, 0, 0, 0, 0, true);
        kxsys_pump_all();  // the host's own events must not pile up
    }
    state.SetLabel(std::string(kxplatform_hostname()) + " host");
    state.SetBytesProcessed(state.iterations() * WIDTH * HEIGHT * 4);
    kxplatwin_destroy(&w);
}

} // namespace

BENCHMARK(BM_BlitWholeWindow)->Unit(benchmark::kMicrosecond);
