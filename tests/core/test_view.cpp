// The view container inside a window on the headless host: bars, centring,
// hit-testing, focus, scrolling, the drawing commands and deferred refresh.
#include <gtest/gtest.h>

#include "core/event.h"
#include "core/target.h"
#include "core/timer.h"
#include "core/view.h"
#include "core/window.h"
#include "graphics/colours.h"
#include "graphics/font.h"
#include "graphics/text.h"
#include "kx9d.h"
#include "support.h"
#include "view_support.h"

namespace {

struct ViewTest : testing::Test {
    kxWindow *win = new kxWindow;
    Probe a, b;  // outlive the window, which closes them
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
    kxView &view() { return win->views[0]; }
    const kxllgui_window *host() { return &win->plat; }
    // The first poll sets the started flag and shows every window.
    void start() { kxevent_poll(); }
};

TEST_F(ViewTest, BarsAppearOnlyWhenTheContentIsMoreThanTwentyOnePixelsLarger)
{
    kxwindow_create(win, "t,x=0,y=0,xs=700,ys=480,pxs=700,pys=500");
    EXPECT_FALSE(view().vbar);
    EXPECT_FALSE(view().hbar);
    kxwindow_create(win, "t,x=0,y=0,xs=700,ys=480,pxs=700,pys=502");
    EXPECT_TRUE(view().vbar);
    EXPECT_FALSE(view().hbar);  // 700 is not more than 700 - 15 + 21
    kxwindow_create(win, "t,x=0,y=0,xs=700,ys=480,pxs=707,pys=502");
    EXPECT_TRUE(view().vbar);
    EXPECT_TRUE(view().hbar);  // with the vertical bar, 707 > 706
    kxwindow_create(win, "t,x=0,y=0,xs=700,ys=480,pxs=2000,pys=490");
    EXPECT_TRUE(view().hbar);
    EXPECT_TRUE(view().vbar);  // 490 > 480 - 15 + 21
    kxwindow_create(win, "t,x=0,y=0,xs=700,ys=480,pxs=700,pys=900,no vertical scrollbar");
    EXPECT_FALSE(view().vbar);
    EXPECT_EQ(kxdraw_width(), 700);
    kxwindow_create(win, "t,x=0,y=0,xs=700,ys=480,pxs=700,pys=900");
    EXPECT_EQ(kxdraw_width(), 700 - 15);
    EXPECT_EQ(kxdraw_height(), 900);
}

TEST_F(ViewTest, ContentTheSizeOfTheWindowSharesItsPixmapElseHasItsOwn)
{
    kxwindow_create(win, "t,x=0,y=0,xs=300,ys=200");
    EXPECT_TRUE(view().shared);
    EXPECT_EQ(view().content, &win->plat.pixmap);
    kxwindow_create(win, "t,x=0,y=0,xs=300,ys=200,ownpxmap");
    EXPECT_FALSE(view().shared);
    kxwindow_create(win, "t,x=0,y=0,xs=300,ys=200,statusbar");
    EXPECT_FALSE(view().shared);
    kxwindow_create(win, "t,x=0,y=0,xs=300,ys=200,pxs=600");
    EXPECT_FALSE(view().shared);
    EXPECT_TRUE(view().hbar);
    ASSERT_NE(view().content, nullptr);
    EXPECT_EQ(view().content->width, 600);
}

TEST_F(ViewTest, SmallContentIsCentredWithFilledMargins)
{
    kxwindow_create(win, "t,x=0,y=0,xs=400,ys=300,pxs=200,pys=100,bgcolor=00ff00");
    EXPECT_EQ(view().ox, 100);
    EXPECT_EQ(view().oy, 100);
    kxdraw_fillrect(0, 0, 200, 100, 0xff0000);
    start();
    EXPECT_EQ(kxheadless_screen_pixel(host(), 100, 100), 0xff0000);
    EXPECT_EQ(kxheadless_screen_pixel(host(), 299, 199), 0xff0000);
    EXPECT_EQ(kxheadless_screen_pixel(host(), 99, 150), 0x00ff00);
    EXPECT_EQ(kxheadless_screen_pixel(host(), 150, 200), 0x00ff00);
    EXPECT_EQ(kxheadless_screen_pixel(host(), 5, 5), 0x00ff00);
}

TEST_F(ViewTest, ClicksOnAnEdgeMissAndOverlappingChildrenBothGetThemInOrder)
{
    kxwindow_create(win, "t,x=0,y=0,xs=300,ys=200");
    std::vector<int> order;
    probe_place(&a, 10, 10, 50, 50);
    probe_place(&b, 40, 40, 50, 50);
    a.name = 1, b.name = 2;
    a.order = b.order = &order;
    start();
    kxheadless_click(host(), 1, 10, 30);  // a's left edge
    kxheadless_click(host(), 1, 30, 10);  // a's top edge
    kxsys_pump_all();
    EXPECT_EQ(a.count(KX_EV_LDOWN), 0);
    kxheadless_click(host(), 1, 45, 45);  // inside both
    kxsys_pump_all();
    EXPECT_EQ(order, (std::vector<int>{1, 2}));
    kxheadless_click(host(), 1, 59, 59);  // a's last inner pixel, and b's
    kxsys_pump_all();
    EXPECT_EQ(a.count(KX_EV_LDOWN), 2);
    // The window reports the view's press under its own id, in content
    // coordinates.
    int id = 0, presses = 0;
    while ((id = kxevent_poll()))
        presses += id == win->ids[KX_ID_LDOWN];
    EXPECT_EQ(presses, 4);
}

TEST_F(ViewTest, FocusTabAndEscape)
{
    kxwindow_create(win, "t,x=0,y=0,xs=300,ys=200");
    probe_place(&a, 10, 10, 50, 50);
    start();
    kxheadless_keydown(host(), kxhostkey::tab);
    kxsys_pump_all();
    EXPECT_TRUE(a.focused);
    EXPECT_EQ(view().c.focus, 0);
    // Tab with the single child already focused changes nothing.
    a.got.clear();
    kxheadless_keydown(host(), kxhostkey::tab);
    kxsys_pump_all();
    EXPECT_TRUE(a.focused);
    EXPECT_EQ(a.count(KX_EV_FOCUS_IN) + a.count(KX_EV_FOCUS_OUT), 0);
    EXPECT_EQ(a.count(KX_EV_KEYDOWN), 1);  // the key itself still reaches it
    // Escape drops the focus; a second Escape changes nothing.
    kxheadless_keydown(host(), kxhostkey::escape);
    kxsys_pump_all();
    EXPECT_FALSE(a.focused);
    EXPECT_EQ(view().c.focus, -1);
    kxheadless_keydown(host(), kxhostkey::escape);
    kxsys_pump_all();
    EXPECT_EQ(view().c.focus, -1);
    EXPECT_EQ(a.count(KX_EV_FOCUS_OUT), 1);
}

TEST_F(ViewTest, APressOutsideEveryChildDropsTheFocus)
{
    kxwindow_create(win, "t,x=0,y=0,xs=300,ys=200");
    probe_place(&a, 10, 10, 50, 50);
    start();
    kxsend(a.parent_handler, a.parent, KX_REQ_FOCUS, a.index);
    EXPECT_TRUE(a.focused);
    kxheadless_click(host(), 1, 200, 150);
    kxsys_pump_all();
    EXPECT_FALSE(a.focused);
    EXPECT_EQ(view().c.focus, -1);
}

TEST_F(ViewTest, ScrollingStopsAtTheEnd)
{
    kxwindow_create(win, "t,x=0,y=0,xs=200,ys=100,pxs=200,pys=300");
    ASSERT_TRUE(view().vbar);
    start();
    EXPECT_EQ(view().bars.vsize, 33);  // 100 * 100 / 300
    kxview_scroll(&view(), 0, 150);
    EXPECT_EQ(view().sy, 150);
    EXPECT_EQ(view().bars.vpos, 75);  // (150 * 100 + 100) / 200
    kxview_scroll(&view(), 0, 1000);
    EXPECT_EQ(view().sy, 200);
    EXPECT_EQ(view().bars.vpos, 100);  // 100 + 100 / 200, limited
    // The bar's down arrow scrolls by a twentieth of the content.
    kxview_scroll(&view(), 0, -1000);
    kxheadless_click(host(), 1, 195, 95);
    kxsys_pump_all();
    EXPECT_EQ(view().sy, 15);
    kxview_scroll(&view(), 0, -1000);
    EXPECT_EQ(view().sy, 0);
    // Without a horizontal bar nothing scrolls sideways.
    kxview_scroll(&view(), 50, 0);
    EXPECT_EQ(view().sx, 0);
    // The wheel without a focused child scrolls by a twentieth of the content.
    kxheadless_wheel(host(), -1, 50, 50);
    kxsys_pump_all();
    EXPECT_EQ(view().sy, 15);
    // A child sees clicks in content coordinates.
    probe_place(&a, 10, 100, 50, 50);
    kxheadless_click(host(), 1, 20, 100);  // content y 115
    kxsys_pump_all();
    ASSERT_EQ(a.count(KX_EV_LDOWN), 1);
    EXPECT_EQ(a.got[0].a, 20);
    EXPECT_EQ(a.got[0].b, 115);
}

TEST_F(ViewTest, ShowingAChildScrollsItIntoView)
{
    kxwindow_create(win, "t,x=0,y=0,xs=200,ys=100,pxs=200,pys=1000");
    probe_place(&a, 10, 620, 50, 20);
    kxsend(kxview_handler, &view(), KX_REQ_MAKE_VISIBLE, a.index);
    EXPECT_EQ(view().sy, 0);  // nothing before the program started
    start();
    kxsend(kxview_handler, &view(), KX_REQ_MAKE_VISIBLE, a.index);
    EXPECT_EQ(view().sy, 550);  // in steps of half the height: 50 .. 550
    EXPECT_LE(view().sy, 620);
    EXPECT_GE(view().sy + 100, 620);
}

TEST_F(ViewTest, ResizingToTheSameSizeDoesNothing)
{
    kxwindow_create(win, "t,x=0,y=0,xs=300,ys=200,resize");
    probe_place(&a, 10, 10, 50, 50);
    start();
    int shows = kxheadless_shows(host());
    kxheadless_resize(host(), 300, 200);
    kxsys_pump_all();
    EXPECT_EQ(a.count(KX_EV_RESIZE), 0);
    EXPECT_EQ(kxheadless_shows(host()), shows);
    kxheadless_resize(host(), 400, 250);
    kxsys_pump_all();
    ASSERT_EQ(a.count(KX_EV_RESIZE), 1);
    EXPECT_EQ(a.got.back().a, 400);
    EXPECT_EQ(view().geom.xs, 400);
    EXPECT_GT(kxheadless_shows(host()), shows);
}

TEST_F(ViewTest, DrawingCommandsChangeTheContent)
{
    kxwindow_create(win, "t,x=0,y=0,xs=300,ys=200,pxs=300,pys=400,bgcolor=ffffff");
    kxpxmap *p = view().content;
    kxdraw_command(KX_DRAW_SHADOWRECT, 10, 10, 20, 10, 0x0000ff);
    EXPECT_EQ(kxpxmap_getpixel(p, 10, 10), 0x0000ff);
    EXPECT_EQ(kxpxmap_getpixel(p, 31, 12), 0x0000ff);  // shadow column x + w + 1
    EXPECT_EQ(kxpxmap_getpixel(p, 31, 11), 0xffffff);  // starts at y + 2
    EXPECT_EQ(kxpxmap_getpixel(p, 12, 21), 0x0000ff);  // shadow row y + h + 1
    EXPECT_EQ(kxpxmap_getpixel(p, 11, 21), 0xffffff);  // starts at x + 2
    EXPECT_EQ(kxdraw_command(KX_DRAW_GETPIXEL, 10, 10), 0x0000ff);

    const char *text = "Mitte";
    kxdraw_command(KX_DRAW_CENTRED, 100, 0x000000, kxptr(text));
    int x = (300 - kxtext_width(view().font, text)) / 2;
    bool left_blank = true, ink = false;
    for (int y = 100; y < 100 + kxfont_height(view().font); y++) {
        left_blank &= kxpxmap_getpixel(p, x - 1, y) == 0xffffff;
        for (int i = x; i < x + kxtext_width(view().font, text); i++)
            ink |= kxpxmap_getpixel(p, i, y) == 0;
    }
    EXPECT_TRUE(left_blank);
    EXPECT_TRUE(ink);
    EXPECT_EQ(kxdraw_textwidth(text), kxtext_width(view().font, text));
    EXPECT_EQ(kxdraw_fontheight(), kxfont_height(view().font));

    kxdraw_command(KX_DRAW_CLEAR, 0x123456);
    EXPECT_EQ(kxpxmap_getpixel(p, 299, 399), 0x123456);
    EXPECT_EQ(kxdraw_command(KX_DRAW_PIXMAP), kxptr(p));

    // The last pointer position, in content coordinates.
    start();
    kxheadless_move(host(), 33, 44);
    kxsys_pump_all();
    EXPECT_EQ(kxdraw_command(KX_DRAW_POINTER_X), 33);
    EXPECT_EQ(kxdraw_command(KX_DRAW_POINTER_Y), 44);
}

TEST_F(ViewTest, AThousandLinesReachTheScreenInOneRefresh)
{
    kxwindow_create(win, "t,x=0,y=0,xs=300,ys=200,ownpxmap");
    start();
    int shows = kxheadless_shows(host());
    for (int i = 0; i < 1000; i++)
        kxdraw_line(0, i % 200, 299, i % 200, 0xff00ff);
    EXPECT_EQ(kxheadless_shows(host()), shows);  // nothing copied yet
    EXPECT_EQ(kxrefresh_count(), 1);
    EXPECT_NE(kxheadless_screen_pixel(host(), 5, 5), 0xff00ff);
    // The refresh timer runs on the base tick, counted here by hand.
    kxtick_stop();
    kxtick_count(-kxtimer_pending());
    for (int i = 0; i < 2 * KX_REFRESH_PERIOD / KX_TICK_MS; i++) {
        kxtick_count(1);
        kxtimer_deliver();
    }
    EXPECT_EQ(kxheadless_shows(host()), shows + 1);
    EXPECT_EQ(kxheadless_screen_pixel(host(), 5, 5), 0xff00ff);
    EXPECT_EQ(kxrefresh_count(), 0);
}

TEST_F(ViewTest, DestroyingTheCurrentStandardViewFallsBackToTheEarlierOne)
{
    kxwindow_create(win, "t,x=0,y=0,xs=300,ys=200");
    auto *va = new kxView, *vb = new kxView;
    kxview_init(va);
    kxview_init(vb);
    kxview_create(va, "x=10,y=10,xs=100,ys=100,standardview");
    kxview_create(vb, "x=150,y=10,xs=100,ys=100,standardview");
    kxtarget t;
    ASSERT_TRUE(kxtarget_current(&t));
    EXPECT_EQ(t.object, vb);
    kxview_destroy(vb);
    ASSERT_TRUE(kxtarget_current(&t));
    EXPECT_EQ(t.object, va);
    // A nested view is a child of its parent view and closes with it.
    EXPECT_GE(kxcontainer_find(&view().c, va), 0);
    kxview_destroy(&view());
    EXPECT_FALSE(va->created);
    delete va;
    delete vb;
}

} // namespace
