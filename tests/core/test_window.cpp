// Windows on the headless host: creation keys, close behaviour, key ids,
// bars and the status strip.
#include <gtest/gtest.h>

#include "core/app.h"
#include "core/button.h"
#include "core/event.h"
#include "core/target.h"
#include "core/window.h"
#include "graphics/colours.h"
#include "kx9d.h"
#include "support.h"
#include "view_support.h"

namespace {

struct WindowTest : testing::Test {
    kxWindow *win = new kxWindow;
    Probe probe;
    void SetUp() override
    {
        kxtest_headless();
        ASSERT_TRUE(kxapp_init());
        kxwindow_init(win);
    }
    void TearDown() override
    {
        kxwindow_free(win);
        delete win;
    }
    const kxllgui_window *host() { return &win->plat; }
    std::vector<int> drain()
    {
        std::vector<int> ids;
        while (int id = kxevent_poll())
            ids.push_back(id);
        return ids;
    }
};

bool has(const std::vector<int> &ids, int id)
{
    return std::find(ids.begin(), ids.end(), id) != ids.end();
}

TEST_F(WindowTest, NoquitOnlyEmitsTheCloseId)
{
    kxwindow_create(win, "Quenlorix,x=50%,y=50%,xs=700,ys=570,bgcolor=white,noquit");
    drain();
    int close = win->ids[KX_ID_MAIN];
    kxheadless_close(host());
    std::vector<int> ids = drain();
    EXPECT_TRUE(has(ids, close));
    EXPECT_TRUE(win->created);
    EXPECT_TRUE(kxapp_running());
    EXPECT_EQ(kxheadless_windows(), 1);
}

TEST_F(WindowTest, NocloseKeepsTheWindowButEndsTheProgram)
{
    kxwindow_create(win, "t,xs=200,ys=100,noclose");
    drain();
    int close = win->ids[KX_ID_MAIN];
    kxheadless_close(host());
    std::vector<int> ids = drain();
    EXPECT_TRUE(has(ids, close));
    EXPECT_TRUE(win->created);
    EXPECT_FALSE(kxapp_running());
}

TEST_F(WindowTest, ClosingTakesNewIdsAndCountsTheWindowsOpen)
{
    int before = kxapp_windows_open();
    kxwindow_create(win, "t,xs=200,ys=100");
    EXPECT_EQ(kxapp_windows_open(), before + 1);
    int close = win->ids[KX_ID_MAIN];
    kxwindow_close(win);
    EXPECT_FALSE(win->created);
    EXPECT_NE(win->ids[KX_ID_MAIN], close);
    EXPECT_GT(win->ids[KX_ID_MAIN], close);
    EXPECT_EQ(kxapp_windows_open(), before);
    EXPECT_EQ(kxheadless_windows(), 0);
    kxwindow_close(win);  // nothing when not created
    EXPECT_EQ(kxapp_windows_open(), before);
}

TEST_F(WindowTest, TheCloseButtonOfAPlainWindowDestroysItAndQuits)
{
    kxwindow_create(win, "t,xs=200,ys=100");
    drain();
    int close = win->ids[KX_ID_MAIN];
    kxheadless_close(host());
    // kxapp_quit with no loop entered would end the test process: enter one.
    kxevent_wait_for({close});
    EXPECT_FALSE(win->created);
    EXPECT_FALSE(kxapp_running());
}

TEST_F(WindowTest, KeysArePostedAsKeyIdsAndReleasesWithTheReleaseBit)
{
    kxwindow_create(win, "t,xs=200,ys=100");
    drain();
    kxheadless_keydown(host(), kxhostkey::f1);
    kxheadless_keyup(host(), kxhostkey::f1);
    kxheadless_keydown(host(), kxhostkey::enter);
    kxheadless_type(host(), "\xe4");
    std::vector<int> ids = drain();
    EXPECT_EQ(ids, (std::vector<int>{KX_KEY_F1, KX_KEY_F1 + KX_KEYUP_BIT, KX_KEY_RETURN, 0xE4}));
    EXPECT_EQ(KX_KEY_F1 + KX_KEYUP_BIT, 817);
}

TEST_F(WindowTest, ReturnOnAFocusedButtonIsTheButtonsAndNoWindowKey)
{
    kxwindow_create(win, "t,xs=200,ys=100");
    kxButton ok;
    ok.create("OK,x=10,y=10,xs=80");
    drain();
    kxheadless_keydown(host(), kxhostkey::enter);  // nothing focused: the window's
    EXPECT_EQ(drain(), std::vector<int>{KX_KEY_RETURN});
    kxheadless_keydown(host(), kxhostkey::tab);
    kxheadless_keyup(host(), kxhostkey::tab);
    drain();
    ASSERT_TRUE(ok.focused);
    kxheadless_keydown(host(), kxhostkey::enter);
    EXPECT_FALSE(has(drain(), KX_KEY_RETURN));
    kxheadless_keyup(host(), kxhostkey::enter);
    EXPECT_TRUE(has(drain(), ok.ids[KX_ID_MAIN]));  // the button reports at the release
    kxsend(kxButton::handler, &ok, KX_EV_CLOSE);
}

TEST_F(WindowTest, KeysNamedInAnyCaseAreWindowKeys)
{
    kxwindow_create(win, "t,xs=200,ys=100,NoSysMenu,Modal,NOQUIT");
    kxwinstyle s = kxheadless_style(host());
    EXPECT_FALSE(s.sysmenu);
    EXPECT_TRUE(s.modal);
    EXPECT_FALSE(win->quit);
}

TEST_F(WindowTest, SizesFullscreenAndLimits)
{
    kxwindow_create(win, "t,x=10,y=10,xs=0,ys=0");
    EXPECT_EQ(win->plat.pixmap.width, 100);
    EXPECT_EQ(win->plat.pixmap.height, 100);
    kxwindow_create(win, "t,x=0,y=0,xs=900,ys=700,maxxs=640,maxys=480");
    EXPECT_EQ(win->plat.pixmap.width, 640);
    EXPECT_EQ(win->plat.pixmap.height, 480);
    kxwindow_create(win, "t,x=10,y=10,xs=300,ys=200,fullscreen");
    EXPECT_EQ(win->plat.pixmap.width, kxsys_metric("screenxs"));
    EXPECT_EQ(win->plat.pixmap.height, kxsys_metric("screenys"));
    EXPECT_TRUE(kxheadless_style(host()).fullscreen);
}

TEST_F(WindowTest, BarsSitAboveAndBelowTheContent)
{
    kxwindow_create(win, "t,x=0,y=0,xs=300,ys=200,menu,toolbar=30,statusbar,bgcolor=ffffff");
    const int menuh = guimetrics("menuheight"), statush = guimetrics("statusbarheight");
    EXPECT_EQ(win->menuh, menuh);
    EXPECT_EQ(win->toolh, 30);
    EXPECT_EQ(win->plat.pixmap.height, 200 + menuh + 30 + statush);
    EXPECT_EQ(win->views[0].geom.y, menuh + 30);
    kxevent_poll();
    // Tool bar: black second-last row, dark last row; content white below.
    const kxllgui_window *h = host();
    EXPECT_EQ(kxheadless_screen_pixel(h, 50, menuh + 28), kxgui_color(KX_GUI_BLACK));
    EXPECT_EQ(kxheadless_screen_pixel(h, 50, menuh + 29), kxgui_color(KX_GUI_DARK));
    EXPECT_EQ(kxheadless_screen_pixel(h, 50, menuh + 31), 0xffffff);
    EXPECT_EQ(kxheadless_screen_pixel(h, 50, menuh - 1), kxgui_color(KX_GUI_LIGHT));

    // A status field with a text and a sunken frame.
    kxwindow_statusfields(win, "50,50");
    kxwindow_statustext(win, 1, "bereit");
    int top = win->plat.pixmap.height - statush;
    EXPECT_EQ(kxheadless_screen_pixel(h, 151, top + 1), kxgui_color(KX_GUI_DARK));
    EXPECT_EQ(kxheadless_screen_pixel(h, 298, top + statush - 2), kxgui_color(KX_GUI_LIGHT));
    bool ink = false;
    for (int x = 154; x < 200; x++)
        for (int y = top + 3; y < top + statush - 2; y++)
            ink |= kxheadless_screen_pixel(h, x, y) == kxgui_color(KX_GUI_TEXT);
    EXPECT_TRUE(ink);
}

TEST_F(WindowTest, NewWidgetsGoIntoTheContentView)
{
    kxwindow_create(win, "t,xs=200,ys=100,toolbar");
    probe_place(&probe, 5, 5, 20, 20);
    EXPECT_EQ(probe.parent, &win->views[0]);
    EXPECT_GE(kxcontainer_find(&win->views[0].c, &probe), 0);
}

TEST_F(WindowTest, WindowsCopyNothingBeforeTheProgramStarts)
{
    kxwindow_create(win, "t,xs=200,ys=100,bgcolor=ff0000");
    EXPECT_EQ(kxheadless_shows(host()), 0);
    kxevent_poll();
    EXPECT_GT(kxheadless_shows(host()), 0);
    EXPECT_EQ(kxheadless_screen_pixel(host(), 100, 50), 0xff0000);
}

// What was drawn stays when a window manager gives the window another size,
// whether the content draws straight into the window's pixmap or into one
// of its own; a fixed window keeps its own size as its smallest.
TEST_F(WindowTest, ADrawingSurvivesEveryResizeAndTheApplicationHearsOfIt)
{
    for (const char *attr : {"t,x=0,y=0,xs=200,ys=100,bgcolor=ffffff",
                             "t,x=0,y=0,xs=200,ys=100,bgcolor=ffffff,statusbar"}) {
        SCOPED_TRACE(attr);
        kxwindow_create(win, attr);
        kxdraw_fillrect(190, 90, 10, 10, 0x0000ff);
        kxdraw_line(0, 0, 199, 0, 0xff0000);
        kxevent_poll();
        drain();
        kxheadless_resize(host(), 300, 180 + win->statush);
        std::vector<int> ids = drain();
        EXPECT_TRUE(has(ids, win->resize_id));
        EXPECT_EQ(win->contentxs, 300);
        // A content of its own is shown centred in the larger view.
        const int ox = win->views[0].ox, oy = win->views[0].oy;
        EXPECT_EQ(kxheadless_screen_pixel(host(), 195 + ox, 95 + oy), 0x0000ff);
        EXPECT_EQ(kxheadless_screen_pixel(host(), 199 + ox, oy), 0xff0000);
        EXPECT_EQ(kxheadless_screen_pixel(host(), 299, 170), 0xffffff);
        kxheadless_resize(host(), 120, 60);  // smaller than it was made
        drain();
        EXPECT_EQ(win->plat.pixmap.width, 200);
        EXPECT_EQ(kxheadless_screen_pixel(host(), 195, 95), 0x0000ff);
        EXPECT_EQ(kxheadless_screen_pixel(host(), 199, 0), 0xff0000);
        kxwindow_close(win);
    }
}

// A child placed in percent moves with a resize and leaves nothing of its
// old picture behind.
TEST_F(WindowTest, AChildPlacedInPercentMovesWithoutAGhost)
{
    kxwindow_create(win, "t,x=0,y=0,xs=200,ys=100,bgcolor=ffffff");
    kxButton b("OK,x=50%,y=10,xs=40,ys=20");
    kxevent_poll();
    ASSERT_NE(kxheadless_screen_pixel(host(), 100, 20), 0xffffff);
    kxheadless_resize(host(), 400, 100);
    drain();
    EXPECT_EQ(b.geom.x, 180);
    for (int x = 78; x < 122; x++)
        for (int y = 8; y < 32; y++)
            ASSERT_EQ(kxheadless_screen_pixel(host(), x, y), 0xffffff) << x << "," << y;
    EXPECT_NE(kxheadless_screen_pixel(host(), 200, 20), 0xffffff);
    b.destroy();
}

} // namespace
