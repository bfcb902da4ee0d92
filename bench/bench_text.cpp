// Text drawing and measuring in the default proportional font.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>

#include "graphics/font.h"
#include "graphics/pixmap.h"
#include "graphics/text.h"
#include "platform/platform.h"

namespace {

std::string sample(std::size_t n, bool words)
{
    static const char alphabet[] = "Quenlorix dient zum Testen von Protokollen \xfc\x62\x65r "
                                   "serielle Schnittstellen; Stra\xdf\x65 0123456789-";
    std::string s;
    for (std::size_t i = 0; s.size() < n; i++)
        s += words ? alphabet[i % (sizeof alphabet - 1)] : static_cast<char>('!' + i % 90);
    return s;
}

void setup()
{
    setenv("KX_HOST", "headless", 1);
    kxplatform_init();
    kxfont_loadbuiltins();
}

void BM_DrawTenThousandCharacters(benchmark::State &state)
{
    setup();
    kxpxmap p;
    kxpxmap_init(&p);
    p.width = 700, p.height = 570, p.format = KX_PXFMT_TRUECOLOR;
    kxpxmap_allocate(&p);
    std::string line = sample(100, false);
    for (auto _ : state) {
        for (int row = 0; row < 100; row++)
            kxtext_draw(&p, KX_FONT_ID_VAR13, 0, (row % 40) * 13, 0x000000, false, false, -1, 0, -1,
                        line.c_str(), -1, -1);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * 10000);
    kxpxmap_free(&p);
}
BENCHMARK(BM_DrawTenThousandCharacters);

void BM_WidthOfAThousandCharacters(benchmark::State &state)
{
    setup();
    std::string s = sample(1000, false);
    for (auto _ : state)
        benchmark::DoNotOptimize(kxtext_width(KX_FONT_ID_VAR13, s.c_str()));
    state.SetItemsProcessed(state.iterations() * 1000);
}
BENCHMARK(BM_WidthOfAThousandCharacters);

void BM_WrapFiveThousandCharacterParagraph(benchmark::State &state)
{
    setup();
    std::string s = sample(5000, true);
    for (auto _ : state)
        benchmark::DoNotOptimize(kxtext_wrappedheight(400, s.c_str(), KX_FONT_ID_VAR13));
    state.SetItemsProcessed(state.iterations() * 5000);
}
BENCHMARK(BM_WrapFiveThousandCharacterParagraph);

} // namespace
