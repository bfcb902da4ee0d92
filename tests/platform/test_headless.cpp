#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "core/event.h"
#include "core/target.h"
#include "support.h"

namespace {

// A toolkit window stand-in: records the events of its platform window.
struct Recorder {
    std::vector<std::string> got;
};

kxarg record(void *obj, int code, kxarg a, kxarg b, kxarg, kxarg, kxarg, kxarg, kxarg, kxarg)
{
    auto *r = static_cast<Recorder *>(obj);
    std::string s = std::to_string(code);
    if (code == KX_EV_KEYDOWN || code == KX_EV_KEYUP || code == KX_EV_TRAY)
        s += ":" + std::to_string(a);
    if ((code >= KX_EV_RESIZE && code <= KX_EV_MOTION))
        s += "@" + std::to_string(a) + "," + std::to_string(b);
    r->got.push_back(s);
    return 0;
}

struct Headless : testing::Test {
    Recorder rec;
    kxllgui_window win;

    void SetUp() override
    {
        kxtest_headless();
        ASSERT_TRUE(kxplatwin_create(&win, record, &rec, 100, 50, 64, 48, "test", {}));
        kxsys_pump_all();  // the first paint
        rec.got.clear();
    }
    void TearDown() override { kxplatwin_destroy(&win); }
    std::vector<std::string> run()
    {
        kxsys_pump_all();
        auto got = rec.got;
        rec.got.clear();
        return got;
    }
};

using S = std::vector<std::string>;

} // namespace

TEST_F(Headless, ShiftInsertIsTheKeyThenPasteButCtrlShiftInsertOnlyTheKey)
{
    kxheadless_keydown(&win, kxhostkey::shift);
    kxheadless_keydown(&win, kxhostkey::insert);
    kxheadless_keyup(&win, kxhostkey::insert);
    kxheadless_keyup(&win, kxhostkey::shift);
    EXPECT_EQ(run(), (S{"2016:319", "2016:317", "2033", "2017:317", "2017:319"}));
    kxheadless_keydown(&win, kxhostkey::ctrl);
    kxheadless_keydown(&win, kxhostkey::shift);
    EXPECT_EQ(kxsys_modifiers(), 0);  // nothing dispatched yet
    kxheadless_keydown(&win, kxhostkey::insert);
    EXPECT_EQ(run(), (S{"2016:318", "2016:319", "2016:317"}));
    EXPECT_EQ(kxsys_modifiers(), KX_MOD_CTRL | KX_MOD_SHIFT);
    kxheadless_keyup(&win, kxhostkey::shift);
    kxheadless_keydown(&win, kxhostkey::insert);  // Ctrl alone: copy
    EXPECT_EQ(run(), (S{"2017:319", "2016:317", "2034"}));
}

TEST_F(Headless, DeleteWithShiftCutsAndAltF4ClosesBeforeTheKey)
{
    kxheadless_keydown(&win, kxhostkey::del);
    kxheadless_keydown(&win, kxhostkey::shift);
    kxheadless_keydown(&win, kxhostkey::del);
    kxheadless_keyup(&win, kxhostkey::shift);
    kxheadless_keydown(&win, kxhostkey::alt);
    kxheadless_keydown(&win, kxhostkey::f4);
    EXPECT_EQ(run(), (S{"2016:322", "2016:319", "2035", "2017:319", "2016:325", "2001", "2016:308"}));
}

TEST_F(Headless, FocusChangesForgetHeldModifiers)
{
    kxheadless_keydown(&win, kxhostkey::shift);
    kxheadless_focus(&win, false);
    kxheadless_focus(&win, true);
    kxheadless_keydown(&win, kxhostkey::insert);
    EXPECT_EQ(run(), (S{"2016:319", "2019", "2018", "2016:317"}));
    EXPECT_EQ(kxsys_modifiers(), 0);
}

TEST_F(Headless, TypingASpaceOrTabPressesItsKey)
{
    kxheadless_type(&win, "a b\t");
    EXPECT_EQ(run(), (S{"2016:97", "2016:32", "2017:32", "2016:98", "2016:9", "2017:9"}));
}

TEST_F(Headless, CharactersExceptTheKeyPressOnesArriveAsKeyDown)
{
    for (unsigned char c : std::string("a\t\r\x1b \xe4\xdf"))
        kxheadless_post(&win, kxmsgtype::character, c);
    kxheadless_post(&win, kxmsgtype::character, 22);
    kxheadless_post(&win, kxmsgtype::character, 24);
    kxheadless_post(&win, kxmsgtype::character, 3);
    EXPECT_EQ(run(), (S{"2016:97", "2016:228", "2016:223", "2033", "2016:22", "2035", "2016:24",
                        "2034", "2016:3"}));
    kxheadless_keydown(&win, kxhostkey::enter);
    kxheadless_keydown(&win, kxhostkey::f12);
    kxheadless_keyup(&win, kxhostkey::f1);
    kxheadless_keydown(&win, kxhostkey::other);  // its character comes separately
    EXPECT_EQ(run(), (S{"2016:10", "2016:316", "2017:305"}));
}

TEST_F(Headless, MouseButtonsDoubleClicksAndWheelInClientCoordinates)
{
    kxheadless_move(&win, 3, 4);
    kxheadless_doubleclick(&win, 1, 5, 6);
    kxheadless_click(&win, 3, 7, 8);
    kxheadless_click(&win, 2, 9, 10);
    EXPECT_EQ(run(), (S{"2015@3,4", "2004@5,6", "2005@5,6", "2006@5,6", "2005@5,6", "2010@7,8",
                        "2011@7,8", "2007@9,10", "2008@9,10"}));
    // The host reports the wheel on the screen; the client's corner is (0, 0)
    // wherever the window is.
    kxheadless_wheel(&win, 120, 0, 0);
    kxheadless_wheel(&win, -120, 10, 20);
    EXPECT_EQ(run(), (S{"2013@0,0", "2014@10,20"}));
    EXPECT_EQ(kxplatwin_screen_x(&win), 100 + KX_HEADLESS_BORDER);
    EXPECT_EQ(kxplatwin_screen_y(&win), 50 + KX_HEADLESS_BORDER + KX_HEADLESS_CAPTION);
}

TEST_F(Headless, AResizeToTheCurrentSizeDoesNotReachTheWindow)
{
    kxheadless_resize(&win, 64, 48);
    kxheadless_resize(&win, 0, 10);
    kxheadless_resize(&win, 80, 40);
    kxheadless_minimize(&win);
    EXPECT_EQ(run(), (S{"2003@80,40", "2055"}));
    EXPECT_EQ(win.pixmap.width, 80);
    EXPECT_EQ(win.pixmap.height, 40);
    kxheadless_close(&win);
    EXPECT_EQ(run(), (S{"2001"}));
}

TEST_F(Headless, ExposeCopiesThePixmapToTheScreen)
{
    kxpxmap_fillrect(&win.pixmap, 0, 0, 64, 48, 0x123456);
    kxpxmap_fillrect(&win.pixmap, 10, 10, 5, 5, 0xFF0000);
    int shows = kxheadless_shows(&win);
    kxheadless_expose(&win, 0, 0, 1, 1);
    EXPECT_TRUE(run().empty());  // handled by the platform window itself
    EXPECT_EQ(kxheadless_shows(&win), shows + 1);
    EXPECT_EQ(kxheadless_screen_pixel(&win, 0, 0), 0x123456);
    EXPECT_EQ(kxheadless_screen_pixel(&win, 12, 12), 0xFF0000);  // red stays red
    EXPECT_EQ(kxheadless_screen_pixel(&win, 63, 47), 0x123456);
}

TEST_F(Headless, BlitsFollowTheHiddenAndBuildingRules)
{
    kxpxmap_clear(&win.pixmap, 0x00FF00);
    kxplatwin_blit(&win, 0, 0, 0, 0, 0, 0, false);
    kxpxmap_fillrect(&win.pixmap, 0, 0, 64, 48, 0x0000FF);
    win.hidden = 1;
    kxplatwin_blit(&win, 0, 0, 0, 0, 0, 0, true);
    EXPECT_EQ(kxheadless_screen_pixel(&win, 1, 1), 0x00FF00);
    win.hidden = 0;
    kxbuild_begin();
    kxplatwin_blit(&win, 0, 0, 0, 0, 0, 0, false);
    EXPECT_EQ(kxheadless_screen_pixel(&win, 1, 1), 0x00FF00);
    // A forced copy of a part: source position and size as given.
    kxplatwin_blit(&win, 2, 3, 4, 5, 2, 3, true);
    kxbuild_end();
    EXPECT_EQ(kxheadless_screen_pixel(&win, 2, 3), 0x0000FF);
    EXPECT_EQ(kxheadless_screen_pixel(&win, 5, 7), 0x0000FF);
    EXPECT_EQ(kxheadless_screen_pixel(&win, 6, 7), 0x00FF00);
    EXPECT_EQ(kxheadless_screen_pixel(&win, 5, 8), 0x00FF00);
    // Rectangles reaching past the pixmap are cut, never read outside it.
    kxplatwin_blit(&win, -10, -10, 500, 500, -3, 40, false);
    kxplatwin_blit(&win, 60, 40, 50, 50, 60, 40, false);
    EXPECT_EQ(kxheadless_screen_pixel(&win, 63, 47), 0x0000FF);
}

TEST_F(Headless, TrayClicksAndTheCursor)
{
    kxheadless_post(&win, kxmsgtype::tray, 1);
    kxheadless_post(&win, kxmsgtype::tray, 3);
    kxheadless_post(&win, kxmsgtype::tray, 2);
    EXPECT_EQ(run(), (S{"2056:2005", "2056:2011"}));
    kxsys_cursor("hand");
    EXPECT_TRUE(kxheadless_hand_cursor());
    kxsys_cursor("crosshair");
    EXPECT_TRUE(kxheadless_hand_cursor());
    kxsys_cursor("standard");
    EXPECT_FALSE(kxheadless_hand_cursor());
}

TEST_F(Headless, MessagesOfADestroyedWindowAreDropped)
{
    kxheadless_click(&win, 1, 5, 5);
    kxplatwin_destroy(&win);
    EXPECT_EQ(kxheadless_pending(), 0);
    EXPECT_TRUE(run().empty());
    EXPECT_EQ(kxheadless_windows(), 0);
}

TEST(HeadlessHost, ScreenSizeComesFromTheEnvironment)
{
    setenv("KX_HEADLESS_SCREEN", "800x600", 1);
    kxtest_headless();
    EXPECT_EQ(kxsys_metric("screenxs"), 800);
    EXPECT_EQ(kxsys_metric("screenys"), 600);
    EXPECT_EQ(kxsys_metric("maxwindowxs"), 800 - 2 * KX_HEADLESS_BORDER);
    EXPECT_EQ(kxsys_metric("maxwindowys"), 600 - KX_HEADLESS_CAPTION - KX_HEADLESS_BORDER);
    EXPECT_EQ(kxsys_metric("windowcaptionheight"), KX_HEADLESS_CAPTION);
    EXPECT_EQ(kxtest_stdout([] { EXPECT_EQ(kxsys_metric("screenwidth"), 0); }),
              "get setting: screenwidth\n");
    EXPECT_EQ(kxsys_colordepth(), 24);
}

TEST(HeadlessHost, ABadScreenSizeFallsBackWithOneLine)
{
    setenv("KX_HEADLESS_SCREEN", "huge", 1);
    setenv("KX_HOST", "headless", 1);
    EXPECT_EQ(kxtest_stdout([] { EXPECT_TRUE(kxplatform_init()); }),
              "headless: KX_HEADLESS_SCREEN=huge is not WxH, using 1024x768\n");
    EXPECT_EQ(kxsys_metric("screenxs"), 1024);
}

TEST(HeadlessHost, WindowsWithoutPositionGoToTheWorkAreaAndFullscreenCoversTheScreen)
{
    kxtest_headless();
    kxllgui_window a, b;
    kxwinstyle full;
    full.fullscreen = true;
    ASSERT_TRUE(kxplatwin_create(&a, nullptr, nullptr, -1, 0, 30, 30, "", {}));
    ASSERT_TRUE(kxplatwin_create(&b, nullptr, nullptr, 50, 50, 30, 30, "", full));
    EXPECT_EQ(a.x, 0);
    EXPECT_EQ(b.pixmap.width, 1024);
    EXPECT_EQ(b.pixmap.height, 768);
    EXPECT_EQ(kxheadless_window(0), &a);
    EXPECT_EQ(kxheadless_newest(), &b);
    EXPECT_TRUE(kxheadless_style(&b).fullscreen);
    kxplatwin_destroy(&a);
    EXPECT_EQ(kxheadless_window(0), &b);
    kxplatwin_destroy(&b);
}

#ifdef _WIN32
TEST(HostChoice, Win32IsTheDefaultAndHeadlessIsChosenByName)
{
    unsetenv("KX_HOST");
    ASSERT_TRUE(kxplatform_init());
    EXPECT_STREQ(kxplatform_hostname(), "win32");
    kxplatform_exit();
    setenv("KX_HOST", "headless", 1);
    ASSERT_TRUE(kxplatform_init());
    EXPECT_STREQ(kxplatform_hostname(), "headless");
}
#else
TEST(HostChoice, X11WithoutADisplayFailsWithOneLine)
{
    setenv("KX_HOST", "x11", 1);
    setenv("DISPLAY", ":99999", 1);
    std::string out = kxtest_stdout([] { EXPECT_FALSE(kxplatform_init()); });
    EXPECT_EQ(out, "x11: cannot open display \":99999\"\n");
    EXPECT_STREQ(kxplatform_hostname(), "");
}

TEST(HostChoice, NoDisplayAndNoHostAskedForFailsWithOneLine)
{
    unsetenv("KX_HOST");
    unsetenv("DISPLAY");
    std::string out = kxtest_stdout([] { EXPECT_FALSE(kxplatform_init()); });
    EXPECT_EQ(out, "no X display: set DISPLAY, or KX_HOST=headless for a virtual screen\n");
    EXPECT_STREQ(kxplatform_hostname(), "");
    setenv("DISPLAY", "", 1);
    out = kxtest_stdout([] { EXPECT_FALSE(kxplatform_init()); });
    EXPECT_EQ(out, "no X display: set DISPLAY, or KX_HOST=headless for a virtual screen\n");
}
#endif

#ifndef _WIN32
TEST(SystemServices, DataDirectoryIsAnAbsoluteXdgDataHomeElseBelowHome)
{
    setenv("HOME", "/home/tester", 1);
    setenv("XDG_DATA_HOME", "/data/xdg/", 1);
    EXPECT_STREQ(kxsys_datadir(), "/data/xdg");
    setenv("XDG_DATA_HOME", "relative/xdg", 1);  // to be ignored
    EXPECT_STREQ(kxsys_datadir(), "/home/tester/.local/share");
    unsetenv("XDG_DATA_HOME");
    EXPECT_STREQ(kxsys_datadir(), "/home/tester/.local/share");
    unsetenv("HOME");
    EXPECT_STREQ(kxsys_datadir(), "");
}
#endif

TEST(SystemServices, ClipboardGetsCrLfUnlessTheTextHasACarriageReturn)
{
    kxtest_headless();
    EXPECT_EQ(kxclip_gettext(), nullptr);
    kxclip_puttext("a\nb\n");
    EXPECT_STREQ(kxclip_gettext(), "a\r\nb\r\n");
    kxclip_puttext("x\ry\nz");
    EXPECT_STREQ(kxclip_gettext(), "x\ry\nz");
}

TEST(SystemServices, SystemFontsAreNotAvailable)
{
    kxtest_headless();
    std::string out = kxtest_stdout(
        [] { EXPECT_EQ(kxfont_loadfromsystem("Arial", 10, 0, 13, 1, 0, 0, 11, 2), 0); });
    EXPECT_EQ(out, "load system font:\nArial\nPoints=10 XS=0 YS=13\nBold=1 Italic=0 "
                   "Underlined=0 Ascent=11 Descent=2\nkxfont_loadfromsystem: not implemented !\n");
}

TEST(SystemServices, TemporaryFilesAreUniqueAndTheModulePathIsAbsolute)
{
    char a[256], b[256], self[4096];
    ASSERT_TRUE(kxsys_tempfile(a, sizeof a));
    ASSERT_TRUE(kxsys_tempfile(b, sizeof b));
    EXPECT_STRNE(a, b);
    EXPECT_FALSE(kxsys_tempfile(b, 5));  // too small for the name: refused, not overrun
    std::remove(a);
    kxsys_module_path(self, sizeof self);
#ifdef _WIN32
    EXPECT_EQ(self[1], ':') << self;  // a drive, then slashes only
    EXPECT_EQ(std::strchr(self, '\\'), nullptr) << self;
#else
    EXPECT_EQ(self[0], '/');
#endif
    EXPECT_NE(std::string(self).find("kx9d_tests"), std::string::npos);
}

TEST(SystemServices, TheBaseTickCallsBackUntilStopped)
{
    static std::atomic<int> ticks{0};
    ASSERT_TRUE(kxsys_timer_start(1, [](int periods) {
        ticks += periods;
        return 1;
    }));
    while (ticks < 5) {
        kxsys_sleep(1000);
        kxsys_timer_catchup();
    }
    kxsys_timer_stop();
    int seen = ticks;
    kxsys_sleep(20000);
    kxsys_timer_catchup();
    EXPECT_EQ(ticks, seen);
    EXPECT_GE(kxsys_ticks(), 0);
}

#ifndef _WIN32
// With no thread of its own the base tick counts when caught up, all the
// periods at once, and a waiting host sleeps until the period it wants.
TEST(SystemServices, TheBaseTickCountsWhenCaughtUpAndEndsTheWaitWhenWanted)
{
    static std::vector<int> calls;
    ASSERT_TRUE(kxsys_timer_start(10, [](int periods) {
        calls.push_back(periods);
        return 5;
    }));
    EXPECT_EQ(calls, std::vector<int>{0});
    std::int64_t t0 = kxsys_ticks();
    kxsys_waitwake(20000);
    std::int64_t waited = kxsys_ticks() - t0;
    kxsys_timer_catchup();
    kxsys_timer_stop();
    EXPECT_GE(waited, 40);
    EXPECT_LT(waited, 10000);
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_GE(calls[1], 5);
    t0 = kxsys_ticks();
    kxsys_waitwake(30);  // stopped: the wait takes its whole time
    EXPECT_GE(kxsys_ticks() - t0, 25);
}
#endif
