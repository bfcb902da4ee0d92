// Slides and progress bars in a window on the headless host.
#include <gtest/gtest.h>

#include <cmath>

#include "graphics/colours.h"
#include "input_support.h"
#include "widgets/progressbar.h"
#include "widgets/slide.h"

namespace {

struct SlideTest : InputTest {
    kxSlide s;
};

TEST_F(SlideTest, AClickLeftOfTheThumbStepsDownAndMovesIt)
{
    s.create("x=10,y=10,xs=134,def=50");
    EXPECT_EQ(s.geom.ys, 12);
    EXPECT_EQ(s.thumbx, 50);
    click(10 + 20, 15);
    EXPECT_DOUBLE_EQ(s.get_value(), 45.0);
    EXPECT_EQ(s.thumbx, 45);
    EXPECT_TRUE(s.focused);
    EXPECT_EQ(posted(s.ids[0]), 1);
    // Right of the thumb goes up again.
    click(10 + 120, 15);
    EXPECT_DOUBLE_EQ(s.get_value(), 50.0);
}

TEST_F(SlideTest, StepsStopAtTheLimitsButStillReport)
{
    s.create("x=10,y=10,xs=134,start=100");
    kxtest_event(s, KX_EV_KEYDOWN, KX_KEY_RIGHT);
    EXPECT_DOUBLE_EQ(s.get_value(), 100.0);
    EXPECT_EQ(posted(s.ids[0]), 1);
    kxtest_event(s, KX_EV_WHEEL_UP, 0, 0);
    EXPECT_DOUBLE_EQ(s.get_value(), 100.0);
    EXPECT_EQ(posted(s.ids[0]), 1);
    kxtest_event(s, KX_EV_KEYDOWN, KX_KEY_HOME);
    EXPECT_DOUBLE_EQ(s.get_value(), 0.0);
    kxtest_event(s, KX_EV_WHEEL_DOWN, 0, 0);
    EXPECT_DOUBLE_EQ(s.get_value(), 0.0);
    EXPECT_EQ(posted(s.ids[0]), 2);
    kxtest_event(s, KX_EV_KEYDOWN, KX_KEY_END);
    EXPECT_EQ(s.thumbx, 100);
    // A grey slide ignores steps.
    s.create("x=10,y=10,xs=134,def=30,grey");
    posted(0);
    kxtest_event(s, KX_EV_KEYDOWN, KX_KEY_LEFT);
    EXPECT_DOUBLE_EQ(s.get_value(), 30.0);
    EXPECT_EQ(posted(s.ids[0]), 0);
}

TEST_F(SlideTest, DraggingTheThumbFollowsThePointerWithinTheTrack)
{
    s.create("x=10,y=10,xs=134,def=50");
    kxtest_event(s, KX_EV_LDOWN, 10 + 60, 15);
    ASSERT_TRUE(s.dragging);
    EXPECT_EQ(s.dragx, 60);
    kxtest_event(s, KX_EV_MOTION, 10 + 70, 15);
    EXPECT_EQ(s.thumbx, 60);
    EXPECT_DOUBLE_EQ(s.get_value(), 60.0);
    kxtest_event(s, KX_EV_MOTION, 10 + 500, 15);
    EXPECT_EQ(s.thumbx, 100);
    EXPECT_DOUBLE_EQ(s.get_value(), 100.0);
    kxtest_event(s, KX_EV_LUP, 0, 0);
    EXPECT_FALSE(s.dragging);
    EXPECT_EQ(posted(s.ids[0]), 3);
    // Motion after the release moves nothing.
    kxtest_event(s, KX_EV_MOTION, 10 + 20, 15);
    EXPECT_EQ(s.thumbx, 100);
}

TEST_F(SlideTest, ValuesFromTheProgramAreLimitedAndReportNothing)
{
    s.create("x=10,y=10,xs=134,def=250");
    EXPECT_DOUBLE_EQ(s.get_value(), 100.0);
    s.set_value(-3);
    EXPECT_DOUBLE_EQ(s.get_value(), 0.0);
    s.set_value_text("40");
    EXPECT_DOUBLE_EQ(s.get_value(), 40.0);
    EXPECT_EQ(s.thumbx, 40);
    s.set_value_text("junk");
    EXPECT_DOUBLE_EQ(s.get_value(), 0.0);
    s.set_value_text("99999999999999999999");
    EXPECT_DOUBLE_EQ(s.get_value(), 100.0);
    s.set_value(std::nan(""));
    EXPECT_DOUBLE_EQ(s.get_value(), 0.0);
    EXPECT_EQ(posted(s.ids[0]), 0);
    // A slide narrower than its thumb keeps the thumb at the left edge.
    s.create("x=10,y=10,xs=20,def=50");
    EXPECT_EQ(s.thumbx, 0);
    kxtest_event(s, KX_EV_LDOWN, 10 + 5, 15);
    kxtest_event(s, KX_EV_MOTION, 10 + 15, 15);
    EXPECT_EQ(s.thumbx, 0);
    EXPECT_DOUBLE_EQ(s.get_value(), 50.0);
}

// Columns between from and to holding the position text's colour, inside
// the track's frame.
int text_columns(SlideTest &t, int from, int to)
{
    int n = 0;
    for (int x = from; x < to; x++)
        for (int y = 13; y < 23; y++)
            if (t.pixel(x, y) == 0x808080) {
                n++;
                break;
            }
    return n;
}

TEST_F(SlideTest, ThePositionIsPrintedAtTheEndAwayFromTheThumb)
{
    // Left of the thumb: x 12..27 at 10 %; right end: 194..207.
    s.create("x=10,y=10,xs=200,ys=16,def=10,showpos");
    ASSERT_EQ(s.thumbx, 16);
    EXPECT_GT(text_columns(*this, 194, 208), 0);
    EXPECT_EQ(text_columns(*this, 12, 28), 0);
    s.set_value(30);
    ASSERT_GT(s.thumbx, 40);
    EXPECT_GT(text_columns(*this, 12, 28), 0);
    EXPECT_EQ(text_columns(*this, 194, 208), 0);
}

struct ProgressTest : InputTest {
    kxProgressBar b;
    // Dark-blue block runs along the middle row.
    int runs()
    {
        int n = 0;
        bool in = false;
        int y = b.geom.y + b.geom.ys / 2;
        for (int x = b.geom.x; x < b.geom.x + b.geom.xs; x++) {
            bool blue = pixel(x, y) == 0x000080;
            n += blue && !in;
            in = blue;
        }
        return n;
    }
};

TEST_F(ProgressTest, BlocksFollowTheValue)
{
    b.create("x=10,y=10,xs=202,ys=14");
    EXPECT_EQ(runs(), 0);
    b.set_value(50);
    EXPECT_EQ(runs(), 10);
    b.set_value(4);
    EXPECT_EQ(runs(), 1);
    b.set_value(1);
    EXPECT_EQ(runs(), 0);
    b.set_value(100);
    EXPECT_EQ(runs(), 20);
    EXPECT_EQ(kxProgressBar::blocks(6), 1);
    EXPECT_EQ(kxProgressBar::blocks(7), 2);
}

TEST_F(ProgressTest, AValueBeyondTheTopShowsFullAndIsNotDrawnAgain)
{
    b.create("x=10,y=10,xs=202,ys=14");
    b.set_value(150);
    EXPECT_EQ(b.get_value(), 100);
    EXPECT_EQ(runs(), 20);
    // Paint over the bar: a second 150 must leave the paint alone.
    kxpxmap_fillrect(&win->plat.pixmap, 10, 10, 202, 14, 0xFF0000);
    b.set_value(150);
    EXPECT_EQ(pixel(20, 17), 0xFF0000);
    b.set_value(-5);
    EXPECT_EQ(b.get_value(), 0);
    EXPECT_EQ(runs(), 0);
}

} // namespace
