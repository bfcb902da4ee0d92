// Copying a whole 700 x 570 window pixmap to the screen, at scale 1 and at
// scale 2: on the X11 host when DISPLAY is set (shared memory where the
// server allows it), else on the headless host.  The label says which.
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

// The host started afresh at the scale asked for (KX_SCALE), so that each
// figure has its own.
bool host_at(int scale)
{
    // Without a display the headless host must be asked for by name.
    // Its virtual screen has room for the window at scale 2.
    const char *display = std::getenv("DISPLAY");
    if (!display || !*display) {
        setenv("KX_HOST", "headless", 1);
        setenv("KX_HEADLESS_SCREEN", "2048x1536", 1);
    }
    kxplatform_exit();
    setenv("KX_SCALE", std::to_string(scale).c_str(), 1);
    return kxplatform_init() && kxplatform_scale() == scale;
}

void blit_whole_window(benchmark::State &state, int scale)
{
    if (!host_at(scale)) {
        state.SkipWithError("no host");
        return;
    }
    // A window that leaves the screen is copied only in part.
    if (kxsys_metric("screenxs") < WIDTH || kxsys_metric("screenys") < HEIGHT) {
        state.SkipWithError("the screen is smaller than the window at this scale");
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
    state.SetLabel(std::string(kxplatform_hostname()) + " host, scale " + std::to_string(scale));
    state.SetBytesProcessed(state.iterations() * WIDTH * HEIGHT * 4);
    kxplatwin_destroy(&w);
}

void BM_BlitWholeWindow(benchmark::State &state) { blit_whole_window(state, 1); }
// Four times the pixels reach the screen, each pixel copied as a square.
void BM_BlitWholeWindowScale2(benchmark::State &state) { blit_whole_window(state, 2); }

} // namespace

BENCHMARK(BM_BlitWholeWindow)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_BlitWholeWindowScale2)->Unit(benchmark::kMicrosecond);
