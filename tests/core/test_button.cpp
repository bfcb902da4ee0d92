// Buttons in a window on the headless host, driven by injected input.
#include <gtest/gtest.h>

#include <vector>

#include "core/button.h"
#include "core/event.h"
#include "core/window.h"
#include "graphics/colours.h"
#include "graphics/draw.h"
#include "graphics/font.h"
#include "graphics/text.h"
#include "kx9d.h"
#include "support.h"

namespace {

struct ButtonTest : testing::Test {
    kxWindow *win = new kxWindow;
    kxButton b, c;
    void SetUp() override
    {
        kxtest_headless();
        ASSERT_TRUE(kxapp_init());
        kxwindow_init(win);
        kxwindow_create(win, "t,x=0,y=0,xs=400,ys=300");
        kxevent_poll();
    }
    void TearDown() override
    {
        kxwindow_free(win);
        delete win;
    }
    const kxllgui_window *host() { return &win->plat; }
    int posted(int id)
    {
        int n = 0;
        while (int got = kxevent_poll())
            n += got == id;
        return n;
    }
    int pixel(int x, int y) { return kxpxmap_getpixel(&win->plat.pixmap, x, y); }
};

TEST_F(ButtonTest, PressMoveOutReleasePostsNothing)
{
    b.create("OK,x=10,y=10,xs=80,ys=30");
    kxheadless_move(host(), 50, 25);
    kxheadless_press(host(), 1, 50, 25);
    kxsys_pump_all();
    EXPECT_TRUE(b.pressed);
    kxheadless_move(host(), 200, 200);
    kxheadless_release(host(), 1, 200, 200);
    kxsys_pump_all();
    EXPECT_FALSE(b.pressed);
    EXPECT_EQ(posted(b.ids[0]), 0);
    // A click inside posts the id once.
    kxheadless_move(host(), 50, 25);
    kxheadless_click(host(), 1, 50, 25);
    kxsys_pump_all();
    EXPECT_EQ(posted(b.ids[0]), 1);
}

TEST_F(ButtonTest, EnterOnAFocusedButtonReportsOnRelease)
{
    b.create("OK,x=10,y=10");
    kxheadless_keydown(host(), kxhostkey::tab);
    kxsys_pump_all();
    ASSERT_TRUE(b.focused);
    kxheadless_keydown(host(), kxhostkey::enter);
    kxsys_pump_all();
    EXPECT_TRUE(b.pressed);
    EXPECT_EQ(posted(b.ids[0]), 0);
    kxheadless_keyup(host(), kxhostkey::enter);
    kxsys_pump_all();
    EXPECT_FALSE(b.pressed);
    EXPECT_EQ(posted(b.ids[0]), 1);
    // Default size: caption width + 20 by font height + 8.
    EXPECT_EQ(b.geom.xs, kxtext_width(b.font, "OK") + 20);
    EXPECT_EQ(b.geom.ys, kxfont_height(b.font) + 8);
}

TEST_F(ButtonTest, ASwitchReportsOnThePressAndOnlyOnce)
{
    b.create("An,x=10,y=10,xs=80,ys=30,switch");
    kxheadless_click(host(), 1, 50, 25);
    kxsys_pump_all();
    EXPECT_EQ(posted(b.ids[0]), 1);
    EXPECT_TRUE(b.is_pressed());
    kxheadless_click(host(), 1, 50, 25);
    kxsys_pump_all();
    EXPECT_EQ(posted(b.ids[0]), 0);
    b.set_pressed(false);
    EXPECT_EQ(posted(b.ids[0]), 0);  // set pressed reports nothing
    kxheadless_click(host(), 1, 50, 25);
    kxsys_pump_all();
    EXPECT_EQ(posted(b.ids[0]), 1);
}

TEST_F(ButtonTest, ADarkBackgroundGivesWhiteTextAndALighterHover)
{
    b.create("Blau,x=10,y=10,xs=80,ys=30,bgcolor=000080");
    EXPECT_EQ(b.text, 0xFFFFFF);
    EXPECT_EQ(b.hovercolour, 0x2020A0);
    c.create("Blau,x=100,y=10,xs=80,ys=30,bgcolor=000080,textcolor=ff0000");
    EXPECT_EQ(c.text, 0xFF0000);
    kxheadless_move(host(), 50, 25);
    kxsys_pump_all();
    EXPECT_TRUE(b.hover);
    EXPECT_EQ(pixel(15, 14), 0x2020A0);
}

TEST_F(ButtonTest, AHyperlinkIsUnderlinedNeverFocusedAndShowsTheHand)
{
    b.create("Verweis,x=10,y=10,hyperlink");
    EXPECT_TRUE(b.nofocus);
    EXPECT_EQ(b.geom.xs, kxtext_width(b.font, "Verweis") + 1);
    int ly = 10 + kxfont_height(b.font) - 1;
    EXPECT_EQ(pixel(10, ly), b.text);
    EXPECT_EQ(pixel(10 + kxtext_width(b.font, "Verweis") - 1, ly), b.text);
    kxheadless_keydown(host(), kxhostkey::tab);
    kxheadless_move(host(), 15, 15);
    kxheadless_click(host(), 1, 15, 15);
    kxsys_pump_all();
    EXPECT_FALSE(b.focused);
    EXPECT_TRUE(kxheadless_hand_cursor());
    EXPECT_EQ(posted(b.ids[0]), 1);
    kxheadless_move(host(), 300, 200);
    kxsys_pump_all();
    EXPECT_FALSE(kxheadless_hand_cursor());
}

TEST_F(ButtonTest, AFlatButtonShowsItsFrameOnlyUnderThePointer)
{
    b.create("Flach,x=10,y=10,xs=80,ys=30,flat");
    const int face = b.face;
    EXPECT_EQ(pixel(10 + 79, 10 + 29), face);  // no frame
    kxheadless_move(host(), 50, 25);
    kxsys_pump_all();
    EXPECT_NE(pixel(10 + 79, 10 + 29), face);
}

TEST_F(ButtonTest, GreyAndDisabledButtons)
{
    b.create("Grau,x=10,y=10,xs=80,ys=30,grey");
    kxheadless_move(host(), 50, 25);
    kxheadless_click(host(), 1, 50, 25);
    kxsys_pump_all();
    EXPECT_EQ(posted(b.ids[0]), 0);  // drawing clears pressed: never reports
    EXPECT_FALSE(b.hover);

    c.create("Aus,x=100,y=100,xs=80,ys=30,bgcolor=ff0000");
    kxButton::handler(&c, KX_EV_DISABLE, 0, 0, 0, 0, 0, 0, 0, 0);
    kxpxmap_fillrect(&win->plat.pixmap, 100, 100, 80, 30, 0x00ff00);
    kxheadless_move(host(), 140, 115);
    kxheadless_click(host(), 1, 140, 115);
    kxsys_pump_all();
    EXPECT_EQ(posted(c.ids[0]), 0);
    EXPECT_EQ(pixel(140, 115), 0x00ff00);  // not drawn
}

TEST_F(ButtonTest, DefaultButtonsHaveAnOuterFrameAndMakingAgainKeepsTheIds)
{
    b.create("OK,x=50%,y=100,xs=80,ys=30,default");
    EXPECT_EQ(b.geom.x, (400 - 80) / 2);
    EXPECT_EQ(pixel(b.geom.x - 1, 115), kxgui_color(KX_GUI_BLACK));
    int id = b.ids[0];
    b.create("Neu,x=10,y=10");
    EXPECT_EQ(b.ids[0], id);
    EXPECT_EQ(kxcontainer_find(&win->views[0].c, &b), 0);
}

TEST_F(ButtonTest, EveryLookInEveryStateIsDrawnToASheet)
{
    const char *looks[] = {"", ",flat", ",default", ",thinframe", ",toolbutton", ",hyperlink",
                           ",arrow", ",grey"};
    kxButton buttons[8];
    for (int i = 0; i < 8; i++) {
        const char *cap = i == 6 ? "down" : "Knopf";
        buttons[i].create("%s,x=10,y=%d,xs=90,ys=28%s", cap, 10 + i * 34, looks[i]);
        kxButton::handler(&buttons[i], KX_EV_ENTER, 0, 0, 0, 0, 0, 0, 0, 0);
    }
    buttons[1].set_pressed(true);
    kxButton::handler(&buttons[0], KX_EV_FOCUS_IN, 0, 0, 0, 0, 0, 0, 0, 0);
    EXPECT_TRUE(kxtest_write_ppm(kxtest_output_dir() + "/button_styles.ppm", win->plat.pixmap));
    // The arrow button draws black ink inside its face.
    bool ink = false;
    for (int y = 10 + 6 * 34; y < 10 + 6 * 34 + 28; y++)
        for (int x = 10; x < 100; x++)
            ink |= pixel(x, y) == kxgui_color(KX_GUI_TEXT);
    EXPECT_TRUE(ink);
}

} // namespace

TEST_F(ButtonTest, ARightPressOrShiftF10AsksForItsMenuAndACaptionCanChange)
{
    b.create("senden,x=10,y=10,xs=80,ys=30");
    kxheadless_move(host(), 50, 25);
    kxheadless_press(host(), 3, 50, 25);
    kxsys_pump_all();
    EXPECT_FALSE(b.pressed);
    EXPECT_EQ(posted(b.ids[KX_ID_RDOWN]), 1);
    EXPECT_EQ(posted(b.ids[0]), 0);
    kxheadless_keydown(host(), kxhostkey::tab);
    kxsys_pump_all();
    ASSERT_TRUE(b.focused);
    kxheadless_keydown(host(), kxhostkey::f10);  // without Shift: not the menu
    kxheadless_keyup(host(), kxhostkey::f10);
    kxsys_pump_all();
    EXPECT_EQ(posted(b.ids[KX_ID_RDOWN]), 0);
    kxheadless_keydown(host(), kxhostkey::shift);
    kxheadless_keydown(host(), kxhostkey::f10);
    kxsys_pump_all();
    EXPECT_EQ(posted(b.ids[KX_ID_RDOWN]), 1);
    kxheadless_keyup(host(), kxhostkey::f10);
    kxheadless_keyup(host(), kxhostkey::shift);
    kxsys_pump_all();

    b.set_caption("Stopp");
    EXPECT_STREQ(b.caption, "Stopp");
    EXPECT_EQ(b.textx, (b.geom.xs - kxtext_width(b.font, "Stopp")) / 2);
}
