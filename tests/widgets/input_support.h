// A window on the headless host for the input widgets' tests, with helpers
// for counting posted ids and running the base tick by hand.
#pragma once

#include <gtest/gtest.h>

#include "core/event.h"
#include "core/timer.h"
#include "core/window.h"
#include "kx9d.h"
#include "support.h"

struct InputTest : testing::Test {
    kxWindow *win = new kxWindow;
    void SetUp() override
    {
        kxtest_headless();
        ASSERT_TRUE(kxapp_init());
        kxwindow_init(win);
        kxwindow_create(win, "t,x=0,y=0,xs=400,ys=300");
        kxevent_poll();
        // Timers advance only when a test says so.
        kxtick_stop();
        kxtick_count(-kxtimer_pending());
    }
    void TearDown() override
    {
        kxwindow_free(win);
        delete win;
    }
    const kxllgui_window *host() { return &win->plat; }
    void pump() { kxsys_pump_all(); }
    // How often id was posted since the last call; the queue is emptied.
    int posted(int id)
    {
        int n = 0;
        while (int got = kxevent_poll())
            n += got == id;
        return n;
    }
    int pixel(int x, int y) { return kxpxmap_getpixel(&win->plat.pixmap, x, y); }
    // Runs the timers for ms milliseconds of base ticks.
    void run_ms(int ms)
    {
        for (int i = 0; i < ms / KX_TICK_MS; i++) {
            kxtick_count(1);
            kxtimer_deliver();
        }
    }
    void click(int x, int y)
    {
        kxheadless_move(host(), x, y);
        kxheadless_click(host(), 1, x, y);
        pump();
    }
    void type(const char *s)
    {
        kxheadless_type(host(), s);
        pump();
    }
    void key(kxhostkey k)
    {
        kxheadless_keydown(host(), k);
        kxheadless_keyup(host(), k);
        pump();
    }
};

// Sends one event straight to a widget's handler, as its container would.
template <class W, class... A> kxarg kxtest_event(W &w, int code, A... a)
{
    return kxsend(W::handler, &w, code, a...);
}
