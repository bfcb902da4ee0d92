// The X11 host in this test process, on a private Xvfb with no window
// manager: the window-manager hints of each window style, as another client
// (xprop, xwininfo) sees them, and the screen metrics and positions.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "core/event.h"
#include "support.h"
#include "xvfb_support.h"

namespace {

kxarg ignore(void *, int, kxarg, kxarg, kxarg, kxarg, kxarg, kxarg, kxarg, kxarg) { return 0; }

// Remembers the last button press a window got.
struct Press {
    int code = 0, x = 0, y = 0;
};

kxarg remember(void *obj, int code, kxarg a, kxarg b, kxarg, kxarg, kxarg, kxarg, kxarg, kxarg)
{
    if (code == KX_EV_LDOWN)
        *static_cast<Press *>(obj) = {code, static_cast<int>(a), static_cast<int>(b)};
    return 0;
}

struct X11Host : testing::Test {
    kxxvfb xvfb;
    kxllgui_window main, other;

    void start()
    {
        kxplatform_exit();
        setenv("KX_HOST", "x11", 1);
        ASSERT_TRUE(kxplatform_init());
        ASSERT_STREQ(kxplatform_hostname(), "x11");
    }
    void TearDown() override
    {
        kxplatwin_destroy(&other);
        kxplatwin_destroy(&main);
        kxplatform_exit();
    }
    // Whatever the host sent has reached the server once a reply came back.
    static void settle() { kxsys_metric("screenxs"); }
    static std::string prop(const kxllgui_window &w, const char *name)
    {
        settle();
        return kxtest_sh_out("xprop -id " + std::to_string(w.handle) + " " + name);
    }
    static std::string info(const kxllgui_window &w)
    {
        settle();
        return kxtest_sh_out("xwininfo -id " + std::to_string(w.handle));
    }
    static bool has(const std::string &text, const std::string &part)
    {
        return text.find(part) != std::string::npos;
    }
};

std::string hex(std::uintptr_t v)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "0x%lx", static_cast<unsigned long>(v));
    return buf;
}

} // namespace

TEST_F(X11Host, TitlesGoOutAsLatin1AndUtf8AndModalWindowsBelongToTheMainWindow)
{
    KX_NEED_XVFB(xvfb);
    start();
    ASSERT_TRUE(kxplatwin_create(&main, ignore, nullptr, 10, 10, 200, 100, "Gr\xfc\xdf" "e", {}));
    kxwinstyle modal;
    modal.modal = true;
    ASSERT_TRUE(kxplatwin_create(&other, ignore, nullptr, 30, 30, 100, 60, "Frage", modal));
    EXPECT_TRUE(has(prop(main, "_NET_WM_NAME"), "= \"Gr\xc3\xbc\xc3\x9f" "e\""));
    EXPECT_TRUE(has(prop(main, "WM_PROTOCOLS"), "WM_DELETE_WINDOW"));
    EXPECT_TRUE(has(prop(other, "WM_TRANSIENT_FOR"), "window id # " + hex(main.handle)));
    EXPECT_TRUE(has(prop(other, "_NET_WM_STATE"), "_NET_WM_STATE_ABOVE"));
    EXPECT_FALSE(has(prop(main, "_NET_WM_STATE"), "_NET_WM_STATE_ABOVE"));
    // Everything on the main window's title bar: move, resize, minimise,
    // maximise, close; border, resize handles, title, menu, both boxes.
    EXPECT_TRUE(has(prop(main, "_MOTIF_WM_HINTS"), "= 0x3, 0x3e, 0x7e, 0x0, 0x0"));
}

TEST_F(X11Host, NoSystemMenuAndNoResizeTakeTheBoxesAndFixTheSize)
{
    KX_NEED_XVFB(xvfb);
    start();
    kxwinstyle fixed;
    fixed.sysmenu = false;
    fixed.noresize = true;
    ASSERT_TRUE(kxplatwin_create(&main, ignore, nullptr, 50, 60, 160, 120, "fest", fixed));
    // Move only; border and title only.
    EXPECT_TRUE(has(prop(main, "_MOTIF_WM_HINTS"), "= 0x3, 0x4, 0xa, 0x0, 0x0"));
    std::string hints = prop(main, "WM_NORMAL_HINTS");
    EXPECT_TRUE(has(hints, "minimum size: 160 by 120")) << hints;
    EXPECT_TRUE(has(hints, "maximum size: 160 by 120")) << hints;
    EXPECT_TRUE(has(hints, "user specified location: 50, 60")) << hints;
    // No window manager: the window is where it was asked to be.
    EXPECT_EQ(kxplatwin_screen_x(&main), 50);
    EXPECT_EQ(kxplatwin_screen_y(&main), 60);
}

TEST_F(X11Host, PopupsBypassTheWindowManagerAndGrabThePointer)
{
    KX_NEED_XVFB(xvfb);
    start();
    ASSERT_TRUE(kxplatwin_create(&main, ignore, nullptr, 10, 10, 200, 100, "main", {}));
    kxwinstyle popup;
    popup.popup = true;
    Press press;
    ASSERT_TRUE(kxplatwin_create(&other, remember, &press, 40, 40, 80, 50, "", popup));
    EXPECT_TRUE(has(info(other), "Override Redirect State: yes"));
    EXPECT_TRUE(has(info(main), "Override Redirect State: no"));
    EXPECT_TRUE(has(prop(other, "WM_TRANSIENT_FOR"), hex(main.handle)));
    // A press outside every window still goes to the grabbing popup, in its
    // own coordinates.
    ASSERT_EQ(kxtest_sh("xdotool mousemove 5 200 click 1"), 0);
    for (std::int64_t end = kxtest_now_ms() + 10000; !press.code && kxtest_now_ms() < end;) {
        kxsys_pump_all();
        kxhost_wait(20);
    }
    EXPECT_EQ(press.code, KX_EV_LDOWN);
    EXPECT_EQ(press.x, 5 - 40);
    EXPECT_EQ(press.y, 200 - 40);
}

TEST_F(X11Host, FullscreenCoversTheScreenAndAsksForIt)
{
    KX_NEED_XVFB(xvfb);
    start();
    kxwinstyle full;
    full.fullscreen = true;
    ASSERT_TRUE(kxplatwin_create(&main, ignore, nullptr, 100, 100, 300, 200, "ganz", full));
    EXPECT_EQ(main.pixmap.width, 1024);
    EXPECT_EQ(main.pixmap.height, 768);
    std::string i = info(main);
    EXPECT_TRUE(has(i, "Absolute upper-left X:  0")) << i;
    EXPECT_TRUE(has(i, "Absolute upper-left Y:  0")) << i;
    EXPECT_TRUE(has(i, "Width: 1024")) << i;
    EXPECT_TRUE(has(prop(main, "_NET_WM_STATE"), "_NET_WM_STATE_FULLSCREEN"));
}

TEST_F(X11Host, MetricsFollowTheScreenTheWorkAreaAndTheFrameExtents)
{
    KX_NEED_XVFB(xvfb);
    start();
    EXPECT_EQ(kxsys_metric("screenxs"), 1024);
    EXPECT_EQ(kxsys_metric("screenys"), 768);
    // No window manager: the whole screen, frames of the fixed size.
    EXPECT_EQ(kxsys_metric("maxwindowxs"), 1024 - 2 * 4);
    EXPECT_EQ(kxsys_metric("maxwindowys"), 768 - 20 - 4);
    ASSERT_EQ(kxtest_sh("xprop -root -f _NET_WORKAREA 32c -set _NET_WORKAREA '0, 24, 1000, 700'"),
              0);
    EXPECT_EQ(kxsys_metric("maxwindowxs"), 1000 - 2 * 4);
    EXPECT_EQ(kxsys_metric("maxwindowys"), 700 - 20 - 4);
    // x = -1 places the window at the work area's top-left.
    ASSERT_TRUE(kxplatwin_create(&main, ignore, nullptr, -1, -1, 100, 80, "oben", {}));
    EXPECT_EQ(kxplatwin_screen_x(&main), 0);
    EXPECT_EQ(kxplatwin_screen_y(&main), 24);
    ASSERT_EQ(kxtest_sh("xprop -id " + std::to_string(main.handle) +
                        " -f _NET_FRAME_EXTENTS 32c -set _NET_FRAME_EXTENTS '5, 5, 27, 5'"),
              0);
    EXPECT_EQ(kxsys_metric("windowbordersize"), 5);
    EXPECT_EQ(kxsys_metric("windowcaptionheight"), 22);
    EXPECT_EQ(kxsys_metric("maxwindowxs"), 1000 - 2 * 5);
}
