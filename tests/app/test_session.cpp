// When the session draws the received lines it has shown.
#include <gtest/gtest.h>

#include <memory>

#include "core/timer.h"
#include "core/window.h"
#include "io/terminal.h"
#include "kx9d.h"
#include "platform/platform.h"
#include "session.h"
#include "support.h"

// Lines are drawn at once; those that come within a frame of a drawing wait
// for the timer, whose next firing draws them however soon it comes.
TEST(Session, LinesWithinAFrameOfADrawingAreDrawnAtTheTimersNextFiring)
{
    kxtest_headless();
    ASSERT_TRUE(kxapp_init());
    auto win = std::make_unique<kxWindow>();
    auto term = std::make_unique<kxTerminal>();
    kxwindow_init(win.get());
    kxwindow_create(win.get(), "t,x=0,y=0,xs=400,ys=200");
    kxterm_init(term.get());
    kxterm_create(term.get(), "x=10,y=10,lines=4,columns=40");
    kxTimer timer;
    kxtimer_create(&timer, QX_TIMER_MS);
    qxsession s;
    s.term = term.get();

    s.owed = true;
    qxsession_draw(&s, &timer, false);
    EXPECT_FALSE(s.owed);
    s.owed = true;
    qxsession_draw(&s, &timer, false);
    EXPECT_TRUE(s.owed);
    EXPECT_TRUE(s.hurried);
    s.drawn_at = kxsys_ticks();
    qxsession_draw(&s, &timer, true);
    EXPECT_FALSE(s.owed);
    EXPECT_FALSE(s.hurried);

    kxtimer_destroy(&timer);
    kxterm_destroy(term.get());
    kxwindow_free(win.get());
}
