// Saving a window-sized (700 x 570) pixmap as PNG: rows, stored blocks, CRC
// and Adler sums, through a temporary file renamed over the target.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "graphics/image.h"

namespace {

constexpr int WIDTH = 700;
constexpr int HEIGHT = 570;

void BM_SavePng(benchmark::State &state)
{
    kxpxmap p;
    kxpxmap_init(&p);
    p.width = WIDTH;
    p.height = HEIGHT;
    p.format = KX_PXFMT_TRUECOLOR;
    if (!kxpxmap_allocate(&p)) {
        state.SkipWithError("allocation failed");
        return;
    }
    for (int y = 0; y < HEIGHT; y++)
        for (int x = 0; x < WIDTH; x++)
            kxpxmap_setpixel(&p, x, y, (x * 31 + y * 7) << 8 ^ x * y);
    const std::string name =
        (std::filesystem::temp_directory_path() / "kx9d_bench_image.png").string();
    for (auto _ : state)
        if (!kxpxmap_savetofile_png(&p, name.c_str())) {
            state.SkipWithError("saving failed");
            break;
        }
    state.SetBytesProcessed(state.iterations() * WIDTH * HEIGHT * 3);
    std::remove(name.c_str());
    kxpxmap_free(&p);
}
BENCHMARK(BM_SavePng)->Unit(benchmark::kMillisecond);

} // namespace
