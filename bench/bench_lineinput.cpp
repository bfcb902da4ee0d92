// Typing into a line input: the cost of one character, insertion and the
// redraw of the field together.
#include <benchmark/benchmark.h>

#include <cstdlib>

#include "core/window.h"
#include "kx9d.h"
#include "platform/platform.h"
#include "widgets/lineinput.h"

namespace {

void BM_TypeTenThousandCharactersRedrawingEach(benchmark::State &state)
{
    setenv("KX_HOST", "headless", 1);
    kxplatform_init();
    kxapp_init();
    auto *win = new kxWindow;
    kxwindow_init(win);
    kxwindow_create(win, "bench,x=0,y=0,xs=600,ys=100");
    auto *l = new kxLineInput;
    l->create("x=10,y=10,xs=500,maxlen=1023");
    kxsend(kxLineInput::handler, l, KX_EV_FOCUS_IN);
    const int n = 10000;
    for (auto _ : state) {
        for (int i = 0; i < n; i++) {
            // Start again before the field is full, so every press inserts.
            if (l->length() >= KX_LINEINPUT_CHARS)
                l->set_text("");
            kxsend(kxLineInput::handler, l, KX_EV_KEYDOWN, 'a' + i % 26);
        }
    }
    state.SetItemsProcessed(state.iterations() * n);
    delete l;
    kxwindow_free(win);
    delete win;
}
BENCHMARK(BM_TypeTenThousandCharactersRedrawingEach)->Unit(benchmark::kMillisecond);

} // namespace
