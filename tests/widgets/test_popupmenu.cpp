// Popup menus on the headless host: the menu runs its own loop, so the
// tests drive it step by step from the idle hook.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "graphics/colours.h"
#include "graphics/font.h"
#include "input_support.h"
#include "widgets/popupmenu.h"

namespace {

struct PopupMenuTest : InputTest {
    // Steps run one per idle call while a menu waits; past the last one the
    // menu is dismissed so that a failing test cannot hang.
    std::vector<std::function<void()>> steps;
    std::size_t next = 0;
    int fh() { return kxfont_height(kxgui_defaultfont()); }
    int entry_h() { return fh() + 8; }
    const kxllgui_window *menu()
    {
        return kxheadless_windows() > 1 ? kxheadless_newest() : nullptr;
    }
    // Runs fn with the steps fed from the idle hook.
    template <class F> auto drive(F fn)
    {
        next = 0;
        kxtest_idle idle([this] {
            if (next < steps.size()) {
                steps[next++]();
            } else if (menu()) {
                next++;
                kxheadless_keydown(menu(), kxhostkey::escape);
            }
        });
        return fn();
    }
    void move(int x, int y) { steps.push_back([=, this] { kxheadless_move(menu(), x, y); }); }
    void press(int b, int x, int y)
    {
        steps.push_back([=, this] { kxheadless_press(menu(), b, x, y); });
    }
    void release(int b, int x, int y)
    {
        steps.push_back([=, this] { kxheadless_release(menu(), b, x, y); });
    }
};

TEST_F(PopupMenuTest, ASeparatorIsFourPixelsAndTheLastEntryIsNumberFive)
{
    int top5 = 2 + 3 * entry_h() + KX_MENU_SEPARATOR;
    int menuys = 0, menuxs = 0, lit = -1;
    steps.push_back([&, this] {
        ASSERT_NE(menu(), nullptr);
        menuxs = menu()->pixmap.width;
        menuys = menu()->pixmap.height;
        EXPECT_TRUE(kxheadless_grabbed(menu()));
        kxheadless_move(menu(), 20, top5 + 5);
    });
    steps.push_back([&, this] {
        lit = kxheadless_screen_pixel(menu(), 5, top5 + 3);
        kxheadless_press(menu(), 1, 20, top5 + 5);
    });
    release(1, 20, top5 + 5);
    char text[40] = "x";
    int r = drive([&] {
        return kxmenu_popup_for(nullptr, nullptr, text, sizeof text, 50, 60,
                                "entries=Cut|Copy|Paste|-|Select All");
    });
    EXPECT_EQ(r, 5);
    EXPECT_STREQ(text, "Select All");
    EXPECT_EQ(menuys, 2 + 4 * entry_h() + KX_MENU_SEPARATOR + 2);
    EXPECT_GE(menuxs, KX_MENU_MINXS);
    EXPECT_EQ(lit, kxgui_color(KX_GUI_LIGHT));
    EXPECT_EQ(next, 3u);
    // The menu window is gone again.
    EXPECT_EQ(kxheadless_windows(), 1);
}

TEST_F(PopupMenuTest, APressAndReleaseOutsideCloseWithoutAChoice)
{
    move(10, 10);  // highlights the first entry
    move(-20, 30);  // and leaving removes the highlight
    press(1, -20, 30);
    release(1, -20, 30);
    char text[40] = "x";
    int r = drive([&] {
        return kxmenu_popup_for(nullptr, nullptr, text, sizeof text, 100, 100, "menus=Eins|Zwei");
    });
    EXPECT_EQ(r, 0);
    EXPECT_STREQ(text, "");
    EXPECT_EQ(next, 4u);
}

TEST_F(PopupMenuTest, TheReleaseOfTheOpeningClickKeepsTheMenuOpen)
{
    bool open_after = false;
    // The pointer is where the menu opened: its top edge, nothing lit.
    steps.push_back([&, this] { kxheadless_release(menu(), 1, 40, 0); });
    steps.push_back([&, this] {
        open_after = menu() != nullptr;
        kxheadless_keydown(menu(), kxhostkey::escape);
    });
    int r = drive([] { return kxmenu_popup("x=100,y=100,entries=Eins|Zwei"); });
    EXPECT_TRUE(open_after);
    EXPECT_EQ(r, 0);
    EXPECT_EQ(next, 2u);
}

TEST_F(PopupMenuTest, EscapeReturnsNothingAndEmptiesTheText)
{
    move(10, 10);
    steps.push_back([this] { kxheadless_keydown(menu(), kxhostkey::escape); });
    char text[40] = "alt";
    int r = drive([&] {
        return kxmenu_popup_for(nullptr, nullptr, text, sizeof text, 10, 10, "entries=A|B");
    });
    EXPECT_EQ(r, 0);
    EXPECT_STREQ(text, "");
    EXPECT_EQ(next, 2u);
}

TEST_F(PopupMenuTest, NegativePositionsBecomeZero)
{
    int x = -1, y = -1;
    steps.push_back([&, this] {
        x = kxplatwin_screen_x(menu());
        y = kxplatwin_screen_y(menu());
        kxheadless_keydown(menu(), kxhostkey::escape);
    });
    drive([] { return kxmenu_popup("x=-50,y=-7,entries=A"); });
    EXPECT_EQ(x, 0);
    EXPECT_EQ(y, 0);
    // Without a position the menu opens centred under the last press.
    click(200, 150);
    steps.clear();
    steps.push_back([&, this] {
        x = kxplatwin_screen_x(menu());
        y = kxplatwin_screen_y(menu());
        kxheadless_keydown(menu(), kxhostkey::escape);
    });
    drive([] { return kxmenu_popup("X=300,entries=A"); });
    EXPECT_EQ(x, kxplatwin_screen_x(host()) + 200 - KX_MENU_MINXS / 2);
    EXPECT_EQ(y, kxplatwin_screen_y(host()) + 150);
}

TEST_F(PopupMenuTest, TheOwnerDecidesAboutMotionOutside)
{
    struct Owner {
        int calls = 0, answer = 1, lastx = 0, lasty = 0;
        static kxarg handler(void *obj, int code, kxarg a0, kxarg a1, kxarg, kxarg, kxarg, kxarg,
                             kxarg, kxarg)
        {
            auto *o = static_cast<Owner *>(obj);
            if (code == KX_EV_MENU_HIT) {
                o->calls++;
                o->lastx = static_cast<int>(a0);
                o->lasty = static_cast<int>(a1);
            }
            return o->answer;
        }
    } owner;
    move(-5, 10);
    steps.push_back([&, this] {
        owner.answer = 0;
        kxheadless_move(menu(), 30, -3);
    });
    char text[8] = "";
    int r = drive([&] {
        return kxmenu_popup_for(Owner::handler, &owner, text, sizeof text, 100, 100,
                                "entries=A|B");
    });
    EXPECT_EQ(r, 0);
    EXPECT_EQ(owner.calls, 2);
    EXPECT_EQ(owner.lastx, 30);
    EXPECT_EQ(owner.lasty, -3);
    EXPECT_EQ(next, 2u);
}

TEST_F(PopupMenuTest, LongListsAreCutAndEmptyOnesGiveTheSmallestMenu)
{
    std::string many = "entries=";
    for (int i = 0; i < 300; i++)
        many += "e" + std::to_string(i) + "|";
    int y11 = 2 + 10 * entry_h() + 3;
    move(20, y11);
    press(1, 20, y11);
    release(1, 20, y11);
    char text[16] = "";
    int r = drive([&] {
        return kxmenu_popup_for(nullptr, nullptr, text, sizeof text, 0, 0, "%s", many.c_str());
    });
    EXPECT_EQ(r, 11);
    EXPECT_STREQ(text, "e10");
    // A text longer than the caller's buffer is cut.
    steps.clear();
    move(20, 5);
    press(1, 20, 5);
    release(1, 20, 5);
    char small[4] = "";
    r = drive([&] {
        return kxmenu_popup_for(nullptr, nullptr, small, sizeof small, 0, 0,
                                "entries=Abcdefgh|B");
    });
    EXPECT_EQ(r, 1);
    EXPECT_STREQ(small, "Abc");
    // No entries at all: the smallest menu, and a release chooses nothing.
    steps.clear();
    int ys = 0;
    steps.push_back([&, this] {
        ys = menu()->pixmap.height;
        kxheadless_press(menu(), 1, 10, 7);
    });
    release(1, 10, 7);
    r = drive([] { return kxmenu_popup("x=0,y=0"); });
    EXPECT_EQ(r, 0);
    EXPECT_EQ(ys, KX_MENU_MINYS);
}

// A window with a menu bar.
struct MenuBarTest : PopupMenuTest {
    kxWindow *mw = new kxWindow;
    void SetUp() override
    {
        PopupMenuTest::SetUp();
        kxwindow_init(mw);
        kxwindow_create(mw, "m,x=0,y=0,xs=400,ys=300,menu");
        ASSERT_TRUE(kxwindow_addmenu(mw, "Datei", "Neu|Oeffnen|-|Ende"));
        ASSERT_TRUE(kxwindow_addmenu(mw, "Bearbeiten", "Kopieren|Einfuegen"));
        kxevent_poll();
    }
    void TearDown() override
    {
        kxwindow_free(mw);
        delete mw;
        PopupMenuTest::TearDown();
    }
    const kxllgui_window *menu()
    {
        return kxheadless_windows() > 2 ? kxheadless_newest() : nullptr;
    }
};

TEST_F(MenuBarTest, ATitleOpensItsMenuAndTheNeighbourTakesOver)
{
    const kxMenuTitle &t0 = mw->menus[0], &t1 = mw->menus[1];
    ASSERT_GT(t1.x, t0.x);
    int first_open = -1, second_open = -1, popups = 0;
    int y_entry2 = 2 + entry_h() + entry_h() / 2;
    steps.push_back([&, this] {
        ASSERT_NE(menu(), nullptr);
        first_open = mw->openmenu;
        EXPECT_EQ(kxplatwin_screen_x(menu()), kxplatwin_screen_x(&mw->plat) + t0.x);
        EXPECT_EQ(kxplatwin_screen_y(menu()), kxplatwin_screen_y(&mw->plat) + mw->menuh - 2);
        // Onto the second title: relative to the popup, above it.
        kxheadless_move(menu(), t1.x + 5 - t0.x, 10 - (mw->menuh - 2));
    });
    steps.push_back([&, this] {
        ASSERT_NE(menu(), nullptr);
        second_open = mw->openmenu;
        popups = kxheadless_windows() - 2;
        EXPECT_TRUE(t1.button.pressed);
        kxheadless_move(menu(), 20, y_entry2);
    });
    press(1, 20, y_entry2);
    release(1, 20, y_entry2);
    int opened = kxheadless_windows();
    drive([&] {
        kxheadless_move(&mw->plat, t0.x + 5, 10);
        kxheadless_click(&mw->plat, 1, t0.x + 5, 10);
        kxsys_pump_all();
        return 0;
    });
    EXPECT_EQ(first_open, 0);
    EXPECT_EQ(second_open, 1);
    EXPECT_EQ(popups, 1);  // the first menu closed before the second opened
    EXPECT_EQ(next, 4u);
    EXPECT_EQ(kxheadless_windows(), opened);
    EXPECT_EQ(mw->openmenu, -1);
    EXPECT_FALSE(t1.button.pressed);
    int got = 0, n = 0;
    while ((got = kxevent_poll()))
        n += got == mw->menu_id;
    EXPECT_EQ(n, 1);
    EXPECT_STREQ(mw->lasttitle, "Bearbeiten");
    EXPECT_STREQ(mw->lastentry, "Einfuegen");
    EXPECT_EQ(mw->chosen, 2);
}

TEST_F(MenuBarTest, EscapeInAMenuEmitsNothing)
{
    steps.push_back([this] { kxheadless_keydown(menu(), kxhostkey::escape); });
    std::strcpy(mw->lastentry, "");
    drive([&, this] {
        kxwindow_open_menu(mw, 0);
        return 0;
    });
    EXPECT_EQ(next, 1u);
    EXPECT_EQ(mw->chosen, 0);
    EXPECT_STREQ(mw->lastentry, "");
    int got = 0, n = 0;
    while ((got = kxevent_poll()))
        n += got == mw->menu_id;
    EXPECT_EQ(n, 0);
}

} // namespace
