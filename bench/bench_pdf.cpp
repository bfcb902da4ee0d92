// A window-sized (700 x 570) pixmap saved as a PDF page: the PostScript of
// the page job, then the converter's two passes, RunLength and the table.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "print/print.h"

namespace {

constexpr int WIDTH = 700;
constexpr int HEIGHT = 570;

void BM_SavePdf(benchmark::State &state)
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
    // Flat areas with edges, like a window: runs for RunLength to find.
    for (int y = 0; y < HEIGHT; y++)
        for (int x = 0; x < WIDTH; x++)
            kxpxmap_setpixel(&p, x, y,
                             (x / 50 + y / 30) % 3 ? 0xD0D0D0 : (x * 31 + y * 7) << 8 ^ x * y);
    const std::string name =
        (std::filesystem::temp_directory_path() / "kx9d_bench_page.pdf").string();
    const char *keys = state.range(0) ? "a4,truecolor" : "a4";
    for (auto _ : state)
        if (!kxps_savepixmap(&p, name.c_str(), keys)) {
            state.SkipWithError("saving failed");
            break;
        }
    state.SetBytesProcessed(state.iterations() * WIDTH * HEIGHT * 3);
    std::remove(name.c_str());
    kxpxmap_free(&p);
}
BENCHMARK(BM_SavePdf)->ArgName("truecolor")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

} // namespace
