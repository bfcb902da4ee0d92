// The scroll bar record against a recording container: layout, auto repeat,
// dragging and the notices.
#include <gtest/gtest.h>

#include <vector>

#include "core/scrollbar.h"
#include "core/timer.h"
#include "graphics/colours.h"
#include "support.h"

namespace {

struct Box {
    int grabs = 0, ungrabs = 0, updates = 0;
};

kxarg box_handler(void *obj, int code, kxarg, kxarg, kxarg, kxarg, kxarg, kxarg, kxarg, kxarg)
{
    auto *b = static_cast<Box *>(obj);
    b->grabs += code == KX_REQ_GRAB;
    b->ungrabs += code == KX_REQ_UNGRAB;
    b->updates += code == KX_REQ_UPDATE;
    return 0;
}

std::vector<std::pair<int, int>> notices;
void record(void *, int code, int value) { notices.push_back({code, value}); }

int count(int code)
{
    int n = 0;
    for (auto &p : notices)
        n += p.first == code;
    return n;
}

struct ScrollBarTest : testing::Test {
    Px px{KX_PXFMT_TRUECOLOR, 200, 200};
    Box box;
    kxScrollBar sb;
    void SetUp() override
    {
        kxtest_headless();
        notices.clear();
        kxtick_stop();  // ticks are counted by hand
    }
    void TearDown() override { sb.remove(); }
    void make(bool v, bool h, int height = 100)
    {
        sb.create(record, nullptr, box_handler, &box, &px.p, 0, 0, 100, height, v, h, 0);
    }
    void run_ms(int ms)
    {
        for (int i = 0; i < ms / KX_TICK_MS; i++) {
            kxtick_count(1);
            kxtimer_deliver();
        }
    }
};

TEST_F(ScrollBarTest, ThumbLayout)
{
    make(true, false);
    sb.set_vsize(50);
    sb.set_vpos(0);
    EXPECT_EQ(sb.vtrack(), 70);
    EXPECT_EQ(sb.thumblen, 35);
    EXPECT_EQ(sb.thumby, 15);
    EXPECT_EQ(sb.above, 0);
    EXPECT_EQ(sb.below, 35);
    sb.set_vsize(1);
    EXPECT_EQ(sb.thumblen, 5);
    sb.set_vpos(100);
    EXPECT_EQ(sb.above, 65);
    EXPECT_EQ(sb.below, 0);
    sb.set_vpos(250);  // limited to 100
    EXPECT_EQ(sb.vpos, 100);
    // Both bars: the vertical track loses the horizontal bar's height.
    make(true, true);
    EXPECT_EQ(sb.vtrack(), 100 - 45);
    EXPECT_EQ(sb.htrack(), 100 - 45);
    EXPECT_EQ(sb.downy, 100 - 30);
    EXPECT_EQ(sb.rightx, 100 - 30);
    // The corner square is filled dark.
    EXPECT_EQ(px.at(92, 92), kxgui_color(KX_GUI_DARK));
}

TEST_F(ScrollBarTest, HoldingTheDownArrowRepeatsAfterHalfASecond)
{
    make(true, false);
    const int dx = sb.downx + 5, dy = sb.downy + 5;
    sb.handle(KX_EV_LDOWN, dx, dy);
    EXPECT_TRUE(sb.down_held);
    run_ms(490);
    EXPECT_EQ(count(KX_SB_DOWN), 0);
    run_ms(20);
    EXPECT_EQ(count(KX_SB_DOWN), 1);
    run_ms(300);
    EXPECT_EQ(count(KX_SB_DOWN), 4);
    sb.handle(KX_EV_LUP, dx, dy);  // one more on release over the arrow
    EXPECT_EQ(count(KX_SB_DOWN), 5);
    run_ms(500);
    EXPECT_EQ(count(KX_SB_DOWN), 5);  // the repeat stopped
    EXPECT_EQ(kxtimer_count(), 0);
}

TEST_F(ScrollBarTest, ReleasingElsewhereEndsTheRepeatWithoutANotice)
{
    make(true, false);
    sb.handle(KX_EV_LDOWN, sb.downx + 5, sb.downy + 5);
    sb.handle(KX_EV_LUP, 20, 20);
    run_ms(1000);
    EXPECT_TRUE(notices.empty());
    EXPECT_FALSE(sb.down_held);
}

TEST_F(ScrollBarTest, TheArrowBoxExcludesItsTopAndLeftEdges)
{
    make(true, false);
    sb.handle(KX_EV_LDOWN, sb.upx, sb.upy + 5);  // on the left edge
    EXPECT_FALSE(sb.up_held);
    sb.handle(KX_EV_LDOWN, sb.upx + 15, sb.upy + 15);  // right and bottom included
    EXPECT_TRUE(sb.up_held);
}

TEST_F(ScrollBarTest, DraggingToTheBottomSendsOneHundredOnce)
{
    make(true, false);
    sb.set_vsize(50);
    sb.set_vpos(0);
    int x = sb.vx + 5, y = sb.thumby + 10;
    sb.handle(KX_EV_LDOWN, x, y);
    EXPECT_TRUE(sb.drag_v);
    EXPECT_EQ(box.grabs, 1);
    sb.handle(KX_EV_MOTION, x, y + 10);
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_EQ(notices[0], std::make_pair(int(KX_SB_VPOS), 28));  // 10 * 100 / 35
    sb.handle(KX_EV_MOTION, x, y + 35);
    sb.handle(KX_EV_MOTION, x, y + 60);
    sb.handle(KX_EV_MOTION, x, y + 90);
    EXPECT_EQ(count(KX_SB_VPOS), 2);
    EXPECT_EQ(notices.back().second, 100);
    EXPECT_EQ(sb.thumby, sb.downy - sb.thumblen);
    sb.handle(KX_EV_LUP, x, y + 90);
    EXPECT_EQ(box.ungrabs, 1);
    EXPECT_FALSE(sb.drag_v);
    EXPECT_EQ(count(KX_SB_PAGEDOWN), 0);
}

TEST_F(ScrollBarTest, ReleasesInTheTrackPageUpAndDown)
{
    make(true, false);
    sb.set_vsize(20);
    sb.set_vpos(50);
    int x = sb.vx + 5;
    sb.handle(KX_EV_LUP, x, sb.thumby - 2);
    sb.handle(KX_EV_LUP, x, sb.thumby + sb.thumblen + 2);
    EXPECT_EQ(count(KX_SB_PAGEUP), 1);
    EXPECT_EQ(count(KX_SB_PAGEDOWN), 1);
    // A release beside the horizontal thumb says nothing.
    make(false, true);
    sb.set_hsize(20);
    sb.set_hpos(50);
    sb.handle(KX_EV_LUP, sb.thumbx - 2, sb.hy + 5);
    EXPECT_EQ(notices.size(), 2u);
    EXPECT_EQ(box.ungrabs, 0);  // nobody grabbed, so nothing is released
}

TEST_F(ScrollBarTest, LeavingEndsHoldsAndDragsQuietly)
{
    make(true, true);
    sb.handle(KX_EV_LDOWN, sb.rightx + 5, sb.righty + 5);
    EXPECT_TRUE(sb.right_held);
    sb.handle(KX_EV_LEAVE, 0, 0);
    EXPECT_FALSE(sb.right_held);
    run_ms(1000);
    EXPECT_TRUE(notices.empty());
}

} // namespace
