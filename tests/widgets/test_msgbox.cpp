// The message box on the headless host, driven from the pump's idle hook
// while the box waits.
#include <gtest/gtest.h>

#include <string>

#include "core/event.h"
#include "core/target.h"
#include "core/window.h"
#include "graphics/colours.h"
#include "graphics/image.h"
#include "graphics/text.h"
#include "kx9d.h"
#include "support.h"
#include "widgets/msgbox.h"

namespace {

struct Seen {
    int width = 0, height = 0;
    bool modal = false, sysmenu = true;
    int windows = 0;
    std::vector<std::uint32_t> screen;
};

// Records the newest window and presses Return in it.
Seen run_box(const std::function<void()> &open)
{
    Seen seen;
    bool pressed = false;
    kxtest_idle idle([&] {
        if (pressed)
            return;
        kxllgui_window *w = kxheadless_newest();
        if (!w)
            return;
        pressed = true;
        seen.width = w->pixmap.width;
        seen.height = w->pixmap.height;
        kxwinstyle s = kxheadless_style(w);
        seen.modal = s.modal;
        seen.sysmenu = s.sysmenu;
        seen.windows = kxheadless_windows();
        const std::uint32_t *px = kxheadless_screen(w);
        seen.screen.assign(px, px + seen.width * seen.height);
        kxheadless_keydown(w, kxhostkey::enter);
    });
    open();
    return seen;
}

struct MsgboxTest : testing::Test {
    void SetUp() override
    {
        kxtest_headless();
        ASSERT_TRUE(kxapp_init());
        kxevent_poll();  // the program has started: windows reach the screen
    }
};

TEST_F(MsgboxTest, AOneLineMessageIsTwoHundredFiftyWide)
{
    Seen s = run_box([] { kxmsgbox("Fehler beim \xd6""ffnen der Schnittstelle."); });
    EXPECT_EQ(s.width, 250);
    EXPECT_TRUE(s.modal);
    EXPECT_FALSE(s.sysmenu);
    EXPECT_EQ(kxheadless_windows(), 0);  // gone after Return
}

TEST_F(MsgboxTest, ALongMessageIsFiveHundredSixtyWide)
{
    std::string text;
    for (int i = 0; i < 40; i++)
        text += "Eine lange Zeile mit vielen Worten. ";
    ASSERT_GT(kxtext_wrappedheight(190, text.c_str(), kxgui_defaultfont()) + 80, 300);
    Seen s = run_box([&] { kxmsgbox("%s", text.c_str()); });
    EXPECT_EQ(s.width, 560);
}

TEST_F(MsgboxTest, ReturnClosesItAndTheTargetsAreRestored)
{
    auto *app = new kxWindow;
    kxwindow_init(app);
    kxwindow_create(app, "app,xs=300,ys=200");
    kxtarget before;
    ASSERT_TRUE(kxtarget_current(&before));
    kxarg width_before = kxdraw_width();
    kxevent_post(12345);  // the program's own ids are thrown away meanwhile
    Seen s = run_box([] { kxmsgbox("Hallo"); });
    EXPECT_EQ(s.windows, 2);
    kxtarget after;
    ASSERT_TRUE(kxtarget_current(&after));
    EXPECT_EQ(after.object, before.object);
    EXPECT_EQ(after.object, &app->views[0]);
    EXPECT_EQ(kxdraw_width(), width_before);
    EXPECT_EQ(kxevent_poll(), 0);
    kxwindow_free(app);
    delete app;
}

TEST_F(MsgboxTest, APercentSignInTheTextIsShownAsItIs)
{
    const char *text = "100% sicher, %d bleibt";
    Seen s = run_box([&] { kxmsgbox("%s", text); });
    ASSERT_EQ(s.width, 250);
    // The same text drawn alone gives the same black pixels in the text box.
    Px expect(KX_PXFMT_TRUECOLOR, s.width, s.height);
    kxpxmap_clear(&expect.p, 0xffffff);
    kxtext_drawwrapped(&expect.p, kxgui_defaultfont(), 50, 10, 190, s.height - 60, 0, text,
                       false);
    int ink = 0, differ = 0;
    for (int y = 10; y < s.height - 50; y++)
        for (int x = 50; x < 240; x++) {
            bool want = expect.at(x, y) == 0;
            bool got = s.screen[y * s.width + x] == 0;
            ink += want;
            differ += want != got;
        }
    EXPECT_GT(ink, 50);
    EXPECT_EQ(differ, 0);
}

TEST_F(MsgboxTest, TheIconShowsTheLetterOnTheBubble)
{
    Seen s = run_box([] { kxmsgbox("i"); });
    ASSERT_GE(s.width, 40);
    auto at = [&](int x, int y) { return static_cast<int>(s.screen[y * s.width + x]); };
    // Row 10 of the icon: ten white pixels, then seven blue ones.
    EXPECT_EQ(at(10 + 9, 10 + 9), 0xffffff);
    EXPECT_EQ(at(10 + 10, 10 + 9), 0x0000ff);
    EXPECT_EQ(at(10 + 16, 10 + 9), 0x0000ff);
    EXPECT_EQ(at(10 + 28, 10 + 9), 0x000000);  // the shadow
    EXPECT_EQ(at(10, 10), kxgui_color(KX_GUI_GREY));  // transparent corner
}

TEST(MsgboxInfo, FivePressesOfF12OpenTheInformationBox)
{
    kxtest_headless();
    ASSERT_TRUE(kxapp_init());
    auto *app = new kxWindow;
    kxwindow_init(app);
    kxwindow_create(app, "app,xs=300,ys=200");
    kxevent_poll();
    int boxes = 0;
    kxtest_idle idle([&] {
        if (kxheadless_windows() == 2) {
            boxes++;
            kxheadless_keydown(kxheadless_newest(), kxhostkey::enter);
        }
    });
    for (int i = 0; i < 5; i++)
        kxevent_post(KX_KEY_F12);
    for (int i = 0; i < 5; i++)
        kxevent_poll();
    EXPECT_EQ(boxes, 1);
    kxwindow_free(app);
    delete app;
}

} // namespace
