// Switch buttons in a window on the headless host.
#include <gtest/gtest.h>

#include "graphics/font.h"
#include "graphics/text.h"
#include "input_support.h"
#include "widgets/switchbutton.h"

namespace {

struct SwitchTest : InputTest {
    kxSwitchButton b;
    bool lamp_lit() { return pixel(b.lampx + 4, b.lampy + 4) == 0x00FF00; }
};

TEST_F(SwitchTest, TwoClicksEndOffAndReportTwice)
{
    b.create("Licht,x=10,y=10,xs=100");
    EXPECT_EQ(b.geom.ys, kxfont_height(b.font) + 8);
    EXPECT_EQ(b.lampx, 15);
    EXPECT_EQ(b.lampy, 10 + b.geom.ys / 2 - 4);
    EXPECT_FALSE(b.is_on());
    click(50, 15);
    EXPECT_TRUE(b.is_on());
    EXPECT_TRUE(lamp_lit());
    click(50, 15);
    EXPECT_FALSE(b.is_on());
    EXPECT_FALSE(lamp_lit());
    EXPECT_EQ(posted(b.ids[0]), 2);
}

TEST_F(SwitchTest, LeavingBeforeTheReleaseDoesNotToggle)
{
    b.create("Licht,x=10,y=10,xs=100,on");
    EXPECT_TRUE(b.is_on());
    kxtest_event(b, KX_EV_LDOWN, 50, 15);
    EXPECT_TRUE(b.pressed);
    kxtest_event(b, KX_EV_LEAVE);
    EXPECT_FALSE(b.pressed);
    kxtest_event(b, KX_EV_LUP, 50, 15);
    EXPECT_TRUE(b.is_on());
    EXPECT_EQ(posted(b.ids[0]), 0);
    // The program's setting reports nothing; the button takes no focus.
    b.set_on(false);
    EXPECT_FALSE(lamp_lit());
    EXPECT_EQ(posted(b.ids[0]), 0);
    EXPECT_EQ(kxtest_event(b, KX_EV_FOCUS_IN), 0);
}

TEST_F(SwitchTest, CaptionOffsetsFollowTheWidth)
{
    b.create("Licht,x=10,y=10,xs=100");
    int cw = kxtext_width(b.font, "Licht");
    EXPECT_EQ(b.textx, (100 - cw) / 2 + 10);
    // Too narrow for the caption: it starts right of the lamp.
    b.create("Ein sehr langer Text,x=10,y=10,xs=40");
    EXPECT_EQ(b.textx, 14);
    EXPECT_GE(b.texty, 1);
}

} // namespace
