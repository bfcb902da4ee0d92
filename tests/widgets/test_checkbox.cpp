// Check boxes in a window on the headless host.
#include <gtest/gtest.h>

#include "graphics/colours.h"
#include "graphics/font.h"
#include "graphics/text.h"
#include "input_support.h"
#include "widgets/checkbox.h"

namespace {

struct CheckBoxTest : InputTest {
    kxCheckBox c;
    int boxx() { return c.boxonly ? c.geom.x + (c.geom.xs - 13) / 2 : c.geom.x; }
    int boxy() { return c.geom.y + (c.geom.ys - 13) / 2; }
    int count(int x, int y, int w, int h, int colour)
    {
        int n = 0;
        for (int j = y; j < y + h; j++)
            for (int i = x; i < x + w; i++)
                n += pixel(i, j) == colour;
        return n;
    }
};

TEST_F(CheckBoxTest, ClicksToggleAndReport)
{
    c.create("Ein,x=10,y=10");
    EXPECT_EQ(c.geom.xs, kxtext_width(c.font, "Ein") + 25);
    EXPECT_EQ(c.geom.ys, kxfont_height(c.font) + 8);
    click(15, 18);
    EXPECT_TRUE(c.is_checked());
    EXPECT_TRUE(c.focused);
    EXPECT_EQ(posted(c.ids[0]), 1);
    // The check mark's pixels are in the check colour.
    EXPECT_GT(count(boxx() + 2, boxy() + 2, 9, 9, c.checkcolour), 10);
    click(15, 18);
    EXPECT_FALSE(c.is_checked());
    EXPECT_EQ(count(boxx() + 2, boxy() + 2, 9, 9, c.checkcolour), 0);
    EXPECT_EQ(posted(c.ids[0]), 1);
    c.set_checked(true);
    EXPECT_EQ(posted(c.ids[0]), 0);  // the program's own changes report nothing
}

TEST_F(CheckBoxTest, YesAndNoKeysSetEvenWhenAlreadySet)
{
    c.create("Ja,x=10,y=10");
    key(kxhostkey::tab);
    ASSERT_TRUE(c.focused);
    type("j");
    type("j");
    EXPECT_TRUE(c.is_checked());
    EXPECT_EQ(posted(c.ids[0]), 2);
    type("n");
    EXPECT_FALSE(c.is_checked());
    type("y1");
    EXPECT_TRUE(c.is_checked());
    type("0");
    EXPECT_FALSE(c.is_checked());
    key(kxhostkey::space);
    EXPECT_TRUE(c.is_checked());
    EXPECT_EQ(posted(c.ids[0]), 5);
    type("x");
    EXPECT_EQ(posted(c.ids[0]), 0);
}

TEST_F(CheckBoxTest, AGreyBoxChangesNothingAndReportsNothing)
{
    c.create("Grau,x=10,y=10,grey,checked");
    click(15, 18);
    kxtest_event(c, KX_EV_KEYDOWN, ' ');
    kxtest_event(c, KX_EV_KEYDOWN, 'n');
    EXPECT_TRUE(c.is_checked());
    EXPECT_EQ(posted(c.ids[0]), 0);
    // Grey: the inside is GUI grey and the mark is grey text.
    EXPECT_EQ(pixel(boxx() + 3, boxy() + 3), kxgui_color(KX_GUI_GREY));
    EXPECT_GT(count(boxx() + 2, boxy() + 2, 9, 9, kxgui_color(KX_GUI_TEXTGREY)), 10);
}

TEST_F(CheckBoxTest, BoxOnlyIsCentredAndShowsFocusAsARectangle)
{
    c.create("Nie,x=10,y=10,xs=60,ys=30,boxonly");
    const int bx = 10 + (60 - 13) / 2, by = 10 + (30 - 13) / 2;
    EXPECT_EQ(boxx(), bx);
    EXPECT_EQ(pixel(bx + 6, by + 6), c.bgcolor);
    kxtest_event(c, KX_EV_FOCUS_IN);
    EXPECT_EQ(pixel(bx - 1, by + 6), kxgui_color(KX_GUI_BLACK));
    EXPECT_EQ(pixel(bx + 13, by + 6), kxgui_color(KX_GUI_BLACK));
    // No caption and no dotted rectangle beside the box.
    EXPECT_EQ(count(bx + 16, 10, 60 - (bx + 16 - 10), 30, kxgui_color(KX_GUI_TEXT)), 0);
}

TEST_F(CheckBoxTest, ARoundCheckedBoxHasATwelvePixelDot)
{
    c.create("Rund,x=10,y=10,round,checked,2d");
    // The outline is black as well: a colour of its own tells the dot apart.
    c.checkcolour = 0xFF0000;
    c.draw();
    EXPECT_EQ(count(boxx(), boxy(), 12, 12, 0xFF0000), 12);
    EXPECT_EQ(pixel(boxx() + 5, boxy() + 5), 0xFF0000);
    c.set_checked(false);
    EXPECT_EQ(count(boxx(), boxy(), 12, 12, 0xFF0000), 0);
    EXPECT_EQ(pixel(boxx() + 5, boxy() + 5), c.bgcolor);
    // The flat square look is a plain black or light rectangle.
    kxCheckBox f, l;
    f.create("Flach,x=10,y=50,2d");
    l.create("Hell,x=10,y=90,2d,lightframe");
    int fy = 50 + (f.geom.ys - 13) / 2, ly = 90 + (l.geom.ys - 13) / 2;
    EXPECT_EQ(pixel(10, fy + 6), kxgui_color(KX_GUI_BLACK));
    EXPECT_EQ(pixel(10, ly + 6), kxgui_color(KX_GUI_DARK));
}

TEST_F(CheckBoxTest, EnterMovesTheFocusOn)
{
    c.create("A,x=10,y=10");
    kxCheckBox d;
    d.create("B,x=10,y=50,nofocus");
    kxCheckBox e;
    e.create("C,x=10,y=90");
    key(kxhostkey::tab);
    ASSERT_TRUE(c.focused);
    key(kxhostkey::enter);
    EXPECT_FALSE(c.focused);
    EXPECT_FALSE(d.focused);  // no-focus boxes are passed over
    EXPECT_TRUE(e.focused);
    EXPECT_FALSE(c.is_checked());
}

} // namespace
