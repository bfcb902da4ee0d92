// Up-down controls in a window on the headless host.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "graphics/font.h"
#include "graphics/text.h"
#include "input_support.h"
#include "widgets/updown.h"

namespace {

struct UpDownTest : InputTest {
    kxUpDownControl u;
    kxLineInput other;
    int upx() { return u.arrowx + u.arroww / 2; }
    int upy() { return u.geom.y + u.arrowh / 2; }
    int downy() { return u.geom.y + u.arrowh + u.arrowh / 2; }
};

TEST_F(UpDownTest, TypedValuesAreLimitedWhenTheFieldIsLeft)
{
    u.create("x=10,y=10,min=1,max=255");
    other.create("x=10,y=60,xs=100");
    EXPECT_STREQ(u.get_text(), "1");  // the start value 0 is below the minimum
    key(kxhostkey::tab);
    ASSERT_TRUE(u.focused);
    type("300");
    EXPECT_STREQ(u.get_text(), "300");
    posted(0);
    key(kxhostkey::tab);
    EXPECT_STREQ(u.get_text(), "255");
    EXPECT_EQ(posted(u.ids[0]), 1);
    key(kxhostkey::tab);  // round to the other field and back
    ASSERT_TRUE(u.focused);
    type("0");
    kxtest_event(u, KX_EV_FOCUS_OUT);
    EXPECT_STREQ(u.get_text(), "1");
}

TEST_F(UpDownTest, ValuesRoundTowardZeroToTheStep)
{
    u.create("x=10,y=10,step=5,start=7");
    EXPECT_STREQ(u.get_text(), "5");
    u.step(1, false);
    EXPECT_STREQ(u.get_text(), "10");
    EXPECT_EQ(posted(u.ids[0]), 1);
    u.step(-1, true);
    EXPECT_STREQ(u.get_text(), "5");
    EXPECT_EQ(posted(u.ids[0]), 0);
    u.set_value(-13);
    EXPECT_STREQ(u.get_text(), "-10");
    // A step of 0 counts as 1 instead of dividing by zero.
    kxUpDownControl z;
    z.create("x=10,y=60,step=0,start=4");
    EXPECT_STREQ(z.get_text(), "4");
}

TEST_F(UpDownTest, DigitsAndDecimals)
{
    u.create("x=10,y=10,decimal=2,start=5");
    EXPECT_EQ(u.digits, 3);
    EXPECT_STREQ(u.get_text(), "0.05");
    u.set_value(150);
    EXPECT_STREQ(u.get_text(), "1.50");
    const char *typed[][2] = {{"1.5", "150"}, {"1,5", "150"}, {"7", "700"}, {"2.345", "234"}};
    for (auto &t : typed) {
        u.set_text(t[0]);
        EXPECT_EQ(u.read_value(), std::atoi(t[1])) << t[0];
    }
    u.set_value(-5);
    EXPECT_STREQ(u.get_text(), "-0.05");
    kxUpDownControl d;
    d.create("x=10,y=60,digits=4,start=42");
    EXPECT_STREQ(d.get_text(), "0042");
    // Default width: the maximum's text plus font height plus 8.
    EXPECT_EQ(d.geom.xs, kxtext_width(d.font, "100000") + kxfont_height(d.font) + 8);
}

TEST_F(UpDownTest, StepsAndDecimalsBeyondUseAreLimitedAndSaidSo)
{
    // INT_MIN / -1 overflows; 2147483647 decimals overflow the digit count.
    std::string said = kxtest_stdout([&] {
        u.create("x=10,y=10,step=-1,min=-2147483648,max=-2147483648,start=5");
        kxUpDownControl d;
        d.create("x=10,y=60,decimal=2147483647,start=5");
        EXPECT_STREQ(d.get_text(), "0.0000000005");
    });
    EXPECT_EQ(said, "kxUpDownControl: step=-1 out of range, 1 used\n"
                    "kxUpDownControl: decimal=2147483647 out of range, 10 used\n");
    EXPECT_STREQ(u.get_text(), "-2147483648");
    u.step(-1, true);
    EXPECT_STREQ(u.get_text(), "-2147483648");
}

TEST_F(UpDownTest, HoldingAnArrowRepeatsAfterAPause)
{
    u.create("x=10,y=10,xs=80,ys=24,start=10");
    posted(0);
    kxheadless_move(host(), upx(), upy());
    kxheadless_press(host(), 1, upx(), upy());
    pump();
    EXPECT_TRUE(u.uppressed);
    EXPECT_STREQ(u.get_text(), "11");  // at once
    EXPECT_EQ(posted(u.ids[0]), 1);
    run_ms(490);
    EXPECT_STREQ(u.get_text(), "11");
    run_ms(10);
    EXPECT_STREQ(u.get_text(), "12");  // after 500 ms
    run_ms(90);
    EXPECT_STREQ(u.get_text(), "12");
    run_ms(10);
    EXPECT_STREQ(u.get_text(), "13");  // then every 100 ms
    run_ms(300);
    EXPECT_STREQ(u.get_text(), "16");
    EXPECT_EQ(posted(u.ids[0]), 0);    // repeated steps are silent
    kxheadless_release(host(), 1, upx(), upy());
    pump();
    EXPECT_FALSE(u.uppressed);
    EXPECT_EQ(posted(u.ids[0]), 1);    // and the release reports once
    run_ms(500);
    EXPECT_STREQ(u.get_text(), "16");
    // The lower box steps down.
    click(upx(), downy());
    EXPECT_STREQ(u.get_text(), "15");
}

TEST_F(UpDownTest, TheWheelStepsWithOrWithoutFocus)
{
    u.create("x=10,y=10,start=3");
    ASSERT_FALSE(u.focused);
    kxtest_event(u, KX_EV_WHEEL_UP, 20, 15);
    EXPECT_STREQ(u.get_text(), "4");
    EXPECT_EQ(posted(u.ids[0]), 1);
    kxtest_event(u, KX_EV_WHEEL_DOWN, 20, 15);
    kxtest_event(u, KX_EV_WHEEL_DOWN, 20, 15);
    EXPECT_STREQ(u.get_text(), "2");
    // Focused, the wheel comes through the view and the keys step as well.
    click(u.geom.x + 5, u.geom.y + 5);
    ASSERT_TRUE(u.focused);
    kxheadless_wheel(host(), 120, u.geom.x + 5, u.geom.y + 5);
    pump();
    EXPECT_STREQ(u.get_text(), "3");
    key(kxhostkey::up);
    key(kxhostkey::up);
    key(kxhostkey::down);
    EXPECT_STREQ(u.get_text(), "4");
}

TEST_F(UpDownTest, TextIsRightAlignedAgainstTheArrows)
{
    u.create("x=10,y=10,xs=100,ys=24,start=1");
    int w = kxfont_charwidth(u.font, '1');
    int end = 10 + 100 - u.arroww - 2;
    bool ink = false;
    for (int y = 10; y < 34; y++)
        for (int x = end - w; x < end; x++)
            ink |= pixel(x, y) == u.textcolor;
    EXPECT_TRUE(ink);
    // The arrow column is grey with black arrows.
    bool arrow = false;
    for (int y = u.arrowy; y < u.arrowy + u.arrowh; y++)
        for (int x = u.arrowx; x < u.arrowx + u.arroww; x++)
            arrow |= pixel(x, y) == u.palette[4];
    EXPECT_TRUE(arrow);
}

} // namespace
