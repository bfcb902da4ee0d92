#include <gtest/gtest.h>

#include <vector>

#include "core/event.h"
#include "core/target.h"
#include "core/timer.h"
#include "graphics/colours.h"
#include "support.h"

namespace {

std::vector<int> shown;

kxarg show(void *obj, int code, kxarg, kxarg, kxarg, kxarg, kxarg, kxarg, kxarg, kxarg)
{
    if (code == KX_REQ_SHOW)
        shown.push_back(*static_cast<int *>(obj));
    return 0;
}

int w1 = 1, v1 = 2, w2 = 3, v2 = 4;

} // namespace

TEST(OutputTargets, DestroyingTheCurrentOneFallsBackToTheNearestEarlierOne)
{
    kxtest_headless();
    kxtarget t;
    EXPECT_FALSE(kxtarget_current(&t));
    EXPECT_EQ(t.object, nullptr);
    kxtarget_register(nullptr, show, &w1, -1, true);
    kxtarget_register(nullptr, show, &v1, 0xFFFFFF, false);
    kxtarget_register(nullptr, show, &w2, 5, true);
    kxtarget_register(nullptr, show, &v2, 6, false);
    ASSERT_TRUE(kxtarget_current(&t));
    EXPECT_EQ(t.object, &v2);
    kxtarget_unregister(&w2);  // not current: nothing moves
    kxtarget_current(&t);
    EXPECT_EQ(t.object, &v2);
    kxtarget_unregister(&v2);
    kxtarget_current(&t);
    EXPECT_EQ(t.object, &v1);
    EXPECT_EQ(t.bgcolor, 0xFFFFFF);
    kxtarget_unregister(&v1);
    kxtarget_current(&t);
    EXPECT_EQ(t.object, &w1);  // the first entry counts as well
    EXPECT_EQ(t.bgcolor, kxgui_color(KX_GUI_GREY));
    kxtarget_unregister(&w1);
    EXPECT_FALSE(kxtarget_current(&t));
}

TEST(OutputTargets, RegisteringAgainUpdatesAndSaveRestoreIsOneLevel)
{
    kxtest_headless();
    kxtarget_register(nullptr, show, &w1, 1, true);
    kxtarget_register(nullptr, show, &v1, 2, false);
    kxtarget_save();
    kxtarget_register(nullptr, show, &w1, 7, true);  // the same object: updated, made current
    kxtarget t;
    kxtarget_current(&t);
    EXPECT_EQ(t.object, &w1);
    EXPECT_EQ(t.bgcolor, 7);
    kxtarget_restore();
    kxtarget_current(&t);
    EXPECT_EQ(t.object, &v1);
    // A saved target that has gone is not restored.
    kxtarget_save();
    kxtarget_unregister(&v1);
    kxtarget_restore();
    kxtarget_current(&t);
    EXPECT_EQ(t.object, &w1);
}

TEST(OutputTargets, TheFirstWaitShowsEveryWindowButNoView)
{
    kxtest_headless();
    kxtarget_register(nullptr, show, &w1, -1, true);
    kxtarget_register(nullptr, show, &v1, -1, false);
    kxtarget_register(nullptr, show, &w2, -1, true);
    EXPECT_EQ(kxevent_poll(), 0);
    EXPECT_EQ(shown, (std::vector<int>{1, 3}));
    kxevent_poll();
    EXPECT_EQ(shown.size(), 2u);  // only once
}

TEST(OutputTargets, TheListHoldsNinetyNine)
{
    kxtest_headless();
    static int objs[KX_MAX_TARGETS + 1];
    for (int &o : objs)
        kxtarget_register(nullptr, show, &o, -1, false);
    kxtarget t;
    kxtarget_current(&t);
    EXPECT_EQ(t.object, &objs[KX_MAX_TARGETS - 1]);
    kxtarget_unregister(&objs[10]);
    kxtarget_register(nullptr, show, &objs[KX_MAX_TARGETS], -1, false);  // takes the freed entry
    kxtarget_current(&t);
    EXPECT_EQ(t.object, &objs[KX_MAX_TARGETS]);
}

TEST(GuiColours, AHostThatKnowsNoNameGivesTheDefaultColumn)
{
    kxtest_headless();
    const int want[] = {0xD0D0D0, 0xE0E0E0, 0x808080, 0xFFFFFF, 0x000000, 0x000000,
                        0x000000, 0x787878, 0xC0C0C0, 0xC0D8FF, 0xF0F0F0};
    for (int i = 0; i < KX_GUI_COLOURS; i++)
        EXPECT_EQ(kxgui_color(i), want[i]) << i;
    EXPECT_EQ(kxgui_color(11), -1);
    EXPECT_EQ(kxgui_color(-1), -1);
    EXPECT_EQ(kxsys_syscolor("textsel"), -1);
    EXPECT_EQ(kxgui_defaultfont(), KX_FONT_DEFAULT);
}

namespace {

int refreshes = 0;
kxarg view_handler(void *, int code, kxarg, kxarg, kxarg, kxarg, kxarg, kxarg, kxarg, kxarg)
{
    if (code == KX_EV_REFRESH)
        refreshes++;
    if (code == 1009)  // a line: the view would schedule its refresh
        kxrefresh_schedule(view_handler, &v1);
    return code;
}

} // namespace

TEST(DrawingTarget, CommandsGoToTheTargetAndSaveRestoreKeepsIt)
{
    kxtest_headless();
    EXPECT_EQ(kxdraw_command(1009), 0);  // no target: nothing, 0
    kxdraw_settarget(view_handler, &v1);
    EXPECT_EQ(kxdraw_command(1037), 1037);
    kxdraw_save();
    kxdraw_settarget(view_handler, &v2);
    kxdraw_cleartarget(&v1);  // not the target: no change
    EXPECT_TRUE(kxdraw_hastarget());
    kxdraw_restore();
    kxdraw_cleartarget(&v1);
    EXPECT_FALSE(kxdraw_hastarget());
}

TEST(DeferredRefresh, AThousandLinesCauseOneRefresh)
{
    kxtest_headless();
    kxdraw_settarget(view_handler, &v1);
    for (int i = 0; i < 1000; i++)
        kxdraw_command(1009, 0, 0, i, i, 0);
    kxtick_stop();  // only counted ticks from here on
    kxtick_count(-kxtimer_pending());
    EXPECT_EQ(kxrefresh_count(), 1);
    for (int i = 0; i < 2 * KX_REFRESH_PERIOD / KX_TICK_MS; i++) {
        kxtick_count(1);
        kxtimer_deliver();
    }
    EXPECT_EQ(refreshes, 1);
    EXPECT_EQ(kxrefresh_count(), 0);
}

TEST(DeferredRefresh, TheListHoldsTwentyFiveAndCancelTakesAViewOff)
{
    kxtest_headless();
    static int views[KX_MAX_REFRESH + 2];
    for (int &v : views)
        kxrefresh_schedule(view_handler, &v);
    EXPECT_EQ(kxrefresh_count(), KX_MAX_REFRESH);
    kxrefresh_cancel(&views[3]);
    kxrefresh_cancel(&views[KX_MAX_REFRESH + 1]);  // never listed
    EXPECT_EQ(kxrefresh_count(), KX_MAX_REFRESH - 1);
    kxrefresh_schedule(view_handler, &views[0]);  // already listed
    EXPECT_EQ(kxrefresh_count(), KX_MAX_REFRESH - 1);
}

TEST(GuiColours, AnEightBitScreenShowsSelectionsWhiteOnNavy)
{
    setenv("KX_HEADLESS_DEPTH", "8", 1);
    kxtest_headless();
    EXPECT_EQ(kxsys_colordepth(), 8);
    EXPECT_EQ(kxgui_color(KX_GUI_TEXTSEL), 0xFFFFFF);
    EXPECT_EQ(kxgui_color(KX_GUI_BLUE), 0x000080);
    EXPECT_EQ(kxgui_color(KX_GUI_GREY), 0xD0D0D0);
}
