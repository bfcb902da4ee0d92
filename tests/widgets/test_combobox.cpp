// Combo boxes in a window on the headless host, with their popup list as a
// window of its own.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "graphics/colours.h"
#include "graphics/font.h"
#include "graphics/text.h"
#include "input_support.h"
#include "widgets/combobox.h"

namespace {

struct ComboBoxTest : InputTest {
    kxComboBox c;
    std::string shown()
    {
        char buf[KX_COMBO_ENTRY];
        c.selected_text(buf, sizeof buf);
        return buf;
    }
    const kxllgui_window *pop() { return c.popup ? &c.popup->plat : nullptr; }
    int lineh() { return kxfont_height(c.font); }
    int liney(int i) { return 2 + i * lineh() + lineh() / 2; }
    // The widget ids posted since the last call, in order (key codes left
    // out); the queue is emptied.
    std::vector<int> drain()
    {
        std::vector<int> ids;
        while (int id = kxevent_poll())
            if (id >= KX_FIRST_EVENT_ID)
                ids.push_back(id);
        return ids;
    }
};

TEST_F(ComboBoxTest, StartIndexAndTheWheelAtTheEnd)
{
    c.create("x=10,y=10,xs=100,entries=300|1200|2400|9600,start=3");
    EXPECT_EQ(shown(), "9600");
    EXPECT_EQ(c.geom.ys, lineh() + 4);
    kxtest_event(c, KX_EV_WHEEL_DOWN, 20, 15);
    EXPECT_EQ(shown(), "9600");
    EXPECT_EQ(posted(c.ids[0]), 1);  // reported even without a change
    kxtest_event(c, KX_EV_WHEEL_UP, 20, 15);
    EXPECT_EQ(shown(), "2400");
    EXPECT_EQ(posted(c.ids[0]), 1);
    // The program's own choices report nothing.
    c.select(0);
    c.select_text("1200");
    EXPECT_EQ(shown(), "1200");
    c.select_text("1201");
    EXPECT_EQ(shown(), "1200");
    c.select(99);
    EXPECT_EQ(shown(), "9600");
    EXPECT_EQ(posted(c.ids[0]), 0);
}

TEST_F(ComboBoxTest, AClickOpensThePopupBelowAndAChoiceClosesIt)
{
    c.create("x=10,y=20,xs=100,entries=300|1200|2400|9600");
    click(30, 25);
    ASSERT_TRUE(c.open);
    EXPECT_TRUE(c.focused);
    ASSERT_NE(pop(), nullptr);
    EXPECT_TRUE(kxheadless_grabbed(pop()));
    EXPECT_EQ(c.popy, static_cast<int>(kxwidget_request(&c, KX_REQ_GET_SCREEN_Y)) + 20 + c.geom.ys);
    EXPECT_EQ(c.poph, 4 * lineh() + 4);
    EXPECT_EQ(c.popw, 100);
    // The list is on the popup's screen; moving highlights the line.
    kxheadless_move(pop(), 30, liney(2));
    pump();
    EXPECT_EQ(c.highlighted, 2);
    EXPECT_EQ(kxheadless_screen_pixel(pop(), 1, liney(2)), kxgui_color(KX_GUI_BLUE));
    EXPECT_EQ(kxheadless_screen_pixel(pop(), 1, liney(1)), 0xFFFFFF);
    posted(0);
    kxheadless_press(pop(), 1, 30, liney(2));
    pump();
    EXPECT_FALSE(c.open);
    EXPECT_EQ(shown(), "2400");
    EXPECT_EQ(posted(c.ids[0]), 1);
    // A second click opens it again, a click on the field closes it.
    click(30, 25);
    EXPECT_TRUE(c.open);
    click(30, 25);
    EXPECT_FALSE(c.open);
}

TEST_F(ComboBoxTest, AClickBelowTheLastLineClosesWithoutAChange)
{
    c.create("x=10,y=20,xs=100,entries=a|b");
    click(30, 25);
    ASSERT_TRUE(c.open);
    posted(0);
    // With the pointer grabbed the popup hears of presses outside it.
    kxheadless_press(pop(), 1, 30, c.poph + 30);
    pump();
    EXPECT_FALSE(c.open);
    EXPECT_EQ(shown(), "a");
    EXPECT_EQ(posted(c.ids[0]), 1);
    // Above the popup: a release there (the end of the opening click) is
    // ignored, a press closes the list.
    click(30, 25);
    ASSERT_TRUE(c.open);
    posted(0);
    kxheadless_release(pop(), 1, 30, -10);
    pump();
    EXPECT_TRUE(c.open);
    kxheadless_press(pop(), 1, 30, -10);
    pump();
    EXPECT_FALSE(c.open);
    EXPECT_EQ(shown(), "a");
    EXPECT_EQ(posted(c.ids[0]), 1);
}

TEST_F(ComboBoxTest, EnterInTheOpenListReportsTheChoiceAsAClickDoes)
{
    c.create("x=10,y=20,xs=100,entries=300|1200|2400|9600,start=1");
    // What a click on a line of the list posts.
    click(30, 25);
    ASSERT_TRUE(c.open);
    drain();
    kxheadless_press(pop(), 1, 30, liney(1));
    pump();
    ASSERT_FALSE(c.open);
    const std::vector<int> by_mouse = drain();
    EXPECT_EQ(by_mouse, std::vector<int>{c.ids[0]});
    ASSERT_TRUE(c.focused);
    key(kxhostkey::enter);
    ASSERT_TRUE(c.open);
    EXPECT_EQ(c.highlighted, 1);
    key(kxhostkey::down);
    EXPECT_EQ(c.highlighted, 2);
    key(kxhostkey::down);
    key(kxhostkey::down);
    EXPECT_EQ(c.highlighted, 3);  // stays on the last line
    key(kxhostkey::up);
    EXPECT_EQ(shown(), "1200");   // the highlight is not the choice yet
    drain();
    key(kxhostkey::enter);
    EXPECT_FALSE(c.open);
    EXPECT_EQ(shown(), "2400");
    EXPECT_EQ(drain(), by_mouse);
    // Closed, the keys change the choice and report it.
    key(kxhostkey::down);
    EXPECT_EQ(shown(), "9600");
    EXPECT_EQ(posted(c.ids[0]), 1);
    key(kxhostkey::enter);
    ASSERT_TRUE(c.open);
    key(kxhostkey::escape);
    EXPECT_FALSE(c.open);
    EXPECT_EQ(shown(), "9600");
}

TEST_F(ComboBoxTest, EnterAndEscapeInTheOpenListAreTheListsNotTheWindows)
{
    c.create("x=10,y=20,xs=100,entries=300|1200|2400,start=1");
    auto keys = [] {  // the key codes posted, the queue emptied
        std::vector<int> k;
        while (int id = kxevent_poll())
            if (id < KX_FIRST_EVENT_ID)
                k.push_back(id);
        return k;
    };
    key(kxhostkey::tab);
    keys();
    key(kxhostkey::enter);  // closed: opens the list, and Return is the window's
    ASSERT_TRUE(c.open);
    EXPECT_EQ(keys(), (std::vector<int>{KX_KEY_RETURN, KX_KEY_RETURN + KX_KEYUP_BIT}));
    key(kxhostkey::down);
    key(kxhostkey::enter);  // picks, and nothing else
    EXPECT_FALSE(c.open);
    EXPECT_EQ(shown(), "2400");
    EXPECT_EQ(keys(), (std::vector<int>{KX_KEY_DOWN + KX_KEYUP_BIT, KX_KEY_RETURN + KX_KEYUP_BIT}));
    c.open_popup(0);
    key(kxhostkey::escape);  // closes the list and keeps the focus
    EXPECT_FALSE(c.open);
    EXPECT_TRUE(c.focused);
    EXPECT_EQ(keys(), std::vector<int>{KX_KEY_ESCAPE + KX_KEYUP_BIT});
}

TEST_F(ComboBoxTest, ThePopupIsAsWideAsTheWidestEntry)
{
    const char *wide = "eine sehr lange Auswahl mit Leerzeichen";
    c.create("x=10,y=20,xs=60,entries=kurz|%s", wide);
    click(30, 25);
    ASSERT_TRUE(c.open);
    EXPECT_EQ(c.popw, kxtext_width(c.font, wide) + 2);
    EXPECT_EQ(kxheadless_style(pop()).popup, true);
    EXPECT_STREQ(c.entries[1], wide);  // spaces kept
}

TEST_F(ComboBoxTest, NoButtonShowsTheButtonOnlyWithFocus)
{
    c.create("x=10,y=20,xs=100,entries=a|b,nobutton");
    const int bx = 10 + c.buttonx + 2, by = 20 + c.geom.ys / 2;
    EXPECT_EQ(pixel(bx, by), c.bgcolor);
    kxtest_event(c, KX_EV_FOCUS_IN);
    EXPECT_EQ(pixel(bx, by), kxgui_color(KX_GUI_GREY));
    kxComboBox g;
    g.create("x=10,y=60,xs=100,entries=a|b,grey");
    click(30, 65);
    EXPECT_FALSE(g.open);
    EXPECT_EQ(kxtest_event(g, KX_EV_FOCUS_IN), 0);
}

TEST_F(ComboBoxTest, AnEditableBoxTakesTypedTextAndAValueOutsideItsList)
{
    c.create("x=10,y=20,xs=100,entries=9600|19200,edit");
    key(kxhostkey::tab);
    type("25000");
    EXPECT_EQ(shown(), "25000");
    type("\b01");
    EXPECT_EQ(shown(), "250001");
    key(kxhostkey::down);  // a choice from the list replaces the text
    EXPECT_EQ(shown(), "19200");
    c.select_text("7");
    EXPECT_EQ(shown(), "7");
    // A box without "edit" keeps its list.
    kxComboBox fixed;
    fixed.create("x=10,y=60,xs=100,entries=9600|19200");
    fixed.select_text("7");
    char buf[KX_COMBO_ENTRY];
    fixed.selected_text(buf, sizeof buf);
    EXPECT_STREQ(buf, "9600");
}

TEST_F(ComboBoxTest, ADigitsOnlyFieldTakesNoOtherCharacters)
{
    c.create("x=10,y=20,xs=100,entries=9600|19200,edit,digitsonly");
    key(kxhostkey::tab);
    type("384075x -1.5");
    EXPECT_EQ(shown(), "38407515");
    type("\b");
    EXPECT_EQ(shown(), "3840751");
}

TEST_F(ComboBoxTest, TooManyOrTooLongEntriesAreCut)
{
    std::string list;
    for (int i = 0; i < 120; i++)
        list += (i ? "|" : "") + std::to_string(i);
    c.create("x=10,y=20,xs=100,entries=%s", list.c_str());
    EXPECT_EQ(c.count, KX_COMBO_ENTRIES);
    kxComboBox l;
    l.create("x=10,y=60,xs=100,entries=%s", std::string(200, 'w').c_str());
    EXPECT_EQ(std::strlen(l.entries[0]), static_cast<std::size_t>(KX_COMBO_ENTRY - 1));
    kxComboBox e;
    e.create("x=10,y=100,xs=100");
    char buf[4] = "x";
    e.selected_text(buf, sizeof buf);
    EXPECT_STREQ(buf, "");
    kxtest_event(e, KX_EV_WHEEL_DOWN, 0, 0);
    click(30, 105);  // an empty list opens and closes without trouble
    click(30, 105);
}

} // namespace
