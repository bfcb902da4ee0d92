// A whole small program on the headless host: a record behind a window,
// input injected from the pump, ids received in order by the application.
#include <gtest/gtest.h>

#include <vector>

#include "core/app.h"
#include "core/event.h"
#include "core/widget.h"
#include "kx9d.h"
#include "support.h"

namespace {

struct Clicker {
    kxwidget w;  // the common header comes first
    kxllgui_window win;
    int closes = 0;
};

Clicker clicker;

// Left presses emit the main id, right presses the right-down id, keys are
// posted as key ids and releases with the release bit.
kxarg clicker_handler(void *obj, int code, kxarg a, kxarg, kxarg, kxarg, kxarg, kxarg, kxarg,
                      kxarg)
{
    auto *c = static_cast<Clicker *>(obj);
    switch (code) {
    case KX_EV_LDOWN:
        kxwidget_emit(&c->w, 0, a);
        break;
    case KX_EV_RDOWN:
        kxwidget_emit(&c->w, c->w.ids[KX_ID_RDOWN], a);
        break;
    case KX_EV_KEYDOWN:
        kxevent_post(static_cast<int>(a));
        break;
    case KX_EV_KEYUP:
        kxevent_post(static_cast<int>(a) + KX_KEYUP_BIT);
        break;
    case KX_EV_CLOSE:
        c->closes++;
        kxevent_post(c->w.ids[KX_ID_MAIN] + 1000);
        break;
    }
    return 0;
}

std::vector<int> received;

int program_main()
{
    kxwidget_init(&clicker.w);
    kxplatwin_create(&clicker.win, clicker_handler, &clicker, 0, 0, 100, 100, "clicks", {});
    kxapp_window_opened();
    for (;;) {
        int id = kxevent_wait();
        if (id == 0 || id == clicker.w.ids[KX_ID_MAIN] + 1000)
            break;
        received.push_back(id);
    }
    kxplatwin_destroy(&clicker.win);
    kxapp_window_closed();
    return 0;
}

} // namespace

TEST(Program, InjectedInputBecomesIdsInOrder)
{
    setenv("KX_HOST", "headless", 1);
    int step = 0;
    kxtest_idle driver([&] {
        kxllgui_window *w = kxheadless_newest();
        ASSERT_NE(w, nullptr);
        switch (step++) {
        case 0:
            kxheadless_click(w, 1, 10, 10);
            kxheadless_click(w, 3, 20, 20);
            break;
        case 1:
            kxheadless_keydown(w, kxhostkey::f1);
            kxheadless_keyup(w, kxhostkey::f1);
            kxheadless_type(w, "\xe4");
            break;
        default:
            kxheadless_close(w);
        }
    });
    EXPECT_EQ(kxapp_start_cmdline("", program_main), 0);
    EXPECT_EQ(received, (std::vector<int>{clicker.w.ids[KX_ID_MAIN], clicker.w.ids[KX_ID_RDOWN],
                                          KX_KEY_F1, KX_KEY_F1 + KX_KEYUP_BIT, 0xE4}));
    EXPECT_EQ(clicker.closes, 1);
    EXPECT_EQ(clicker.w.last[0], 20);  // the last emission kept its arguments
}
