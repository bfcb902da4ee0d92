// Merges and fills on a window-sized (700 x 570) pixmap: the paths every
// redraw takes.
#include <benchmark/benchmark.h>

#include "graphics/pixmap.h"
#include "platform/platform.h"

namespace {

constexpr int WIDTH = 700;
constexpr int HEIGHT = 570;

struct Pixmap {
    kxpxmap p;
    explicit Pixmap(int format, int w = WIDTH, int h = HEIGHT)
    {
        kxpxmap_init(&p);
        p.width = w;
        p.height = h;
        p.format = format;
        kxpxmap_allocate(&p);
    }
    ~Pixmap() { kxpxmap_free(&p); }
    Pixmap(const Pixmap &) = delete;
    Pixmap &operator=(const Pixmap &) = delete;
};

// A picture with every 7th pixel transparent, so merges take both branches.
void paint(kxpxmap *p)
{
    const int transparent = p->format == KX_PXFMT_PALETTE8 ? KX_TRANSPARENT_INDEX : 0xF00000;
    for (int y = 0; y < p->height; y++)
        for (int x = 0; x < p->width; x++)
            kxpxmap_setpixel(p, x, y, (x + y) % 7 == 0 ? transparent : (x * 31 + y) % 200);
}

void count_pixels(benchmark::State &state, long long per_iteration)
{
    state.SetItemsProcessed(state.iterations() * per_iteration);
}

void BM_MergeTruecolorToTruecolor(benchmark::State &state)
{
    Pixmap src(KX_PXFMT_TRUECOLOR), dst(KX_PXFMT_TRUECOLOR);
    paint(&src.p);
    for (auto _ : state) {
        kxpxmap_merge4(&dst.p, &src.p, 0, 0, 0, 0, 0, 0, 0);
        benchmark::ClobberMemory();
    }
    count_pixels(state, WIDTH * HEIGHT);
}
BENCHMARK(BM_MergeTruecolorToTruecolor);

void BM_MergePalette8ToTruecolor(benchmark::State &state)
{
    Pixmap src(KX_PXFMT_PALETTE8), dst(KX_PXFMT_TRUECOLOR);
    paint(&src.p);
    for (auto _ : state) {
        kxpxmap_merge4(&dst.p, &src.p, 0, 0, 0, 0, 0, 0, 0);
        benchmark::ClobberMemory();
    }
    count_pixels(state, WIDTH * HEIGHT);
}
BENCHMARK(BM_MergePalette8ToTruecolor);

void BM_FillRectFull(benchmark::State &state)
{
    Pixmap dst(KX_PXFMT_TRUECOLOR);
    int colour = 0;
    for (auto _ : state) {
        kxpxmap_fillrect(&dst.p, 0, 0, WIDTH, HEIGHT, colour++);
        benchmark::ClobberMemory();
    }
    count_pixels(state, WIDTH * HEIGHT);
}
BENCHMARK(BM_FillRectFull);

// A button-sized rectangle that also runs over the left edge.
void BM_FillRectPartial(benchmark::State &state)
{
    Pixmap dst(KX_PXFMT_TRUECOLOR);
    int colour = 0;
    for (auto _ : state) {
        kxpxmap_fillrect(&dst.p, -20, 200, 120, 30, colour++);
        benchmark::ClobberMemory();
    }
    count_pixels(state, 100 * 30);
}
BENCHMARK(BM_FillRectPartial);

void BM_Clear(benchmark::State &state)
{
    Pixmap dst(KX_PXFMT_TRUECOLOR);
    int colour = 0;
    for (auto _ : state) {
        kxpxmap_clear(&dst.p, colour++);
        benchmark::ClobberMemory();
    }
    count_pixels(state, WIDTH * HEIGHT);
}
BENCHMARK(BM_Clear);

void BM_MergeTruecolorIntoServer(benchmark::State &state)
{
    Pixmap src(KX_PXFMT_TRUECOLOR), dst(KX_PXFMT_SERVER);
    paint(&src.p);
    for (auto _ : state) {
        kxpxmap_merge4(&dst.p, &src.p, 0, 0, 0, 0, 0, 0, 0);
        benchmark::DoNotOptimize(kxserver_pixels(&dst.p));
        benchmark::ClobberMemory();
    }
    count_pixels(state, WIDTH * HEIGHT);
}
BENCHMARK(BM_MergeTruecolorIntoServer);

void BM_MergePalette8IntoServer(benchmark::State &state)
{
    Pixmap src(KX_PXFMT_PALETTE8), dst(KX_PXFMT_SERVER);
    paint(&src.p);
    for (auto _ : state) {
        kxpxmap_merge4(&dst.p, &src.p, 0, 0, 0, 0, 0, 0, 0);
        benchmark::DoNotOptimize(kxserver_pixels(&dst.p));
        benchmark::ClobberMemory();
    }
    count_pixels(state, WIDTH * HEIGHT);
}
BENCHMARK(BM_MergePalette8IntoServer);

void BM_FillServer(benchmark::State &state)
{
    Pixmap dst(KX_PXFMT_SERVER);
    int colour = 0;
    for (auto _ : state) {
        kxpxmap_fillrect(&dst.p, 0, 0, WIDTH, HEIGHT, colour++);
        benchmark::ClobberMemory();
    }
    count_pixels(state, WIDTH * HEIGHT);
}
BENCHMARK(BM_FillServer);

} // namespace
