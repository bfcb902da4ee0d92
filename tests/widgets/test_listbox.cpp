// List boxes in a window on the headless host.
#include <gtest/gtest.h>

#include "core/container.h"
#include "graphics/colours.h"
#include "graphics/font.h"
#include "input_support.h"
#include "widgets/listbox.h"

namespace {

struct ListBoxTest : InputTest {
    kxListBox l;
    int lh() { return kxfont_height(KX_FONT_DEFAULT); }
    int liney(int i) { return l.geom.y + 4 + i * l.lineh + l.lineh / 2; }
    const kxentry &entry() { return win->views[0].c.entries[static_cast<std::size_t>(l.index)]; }
};

TEST_F(ListBoxTest, LineCountsAndTheScrollBar)
{
    l.create("x=10,y=10,xs=150,ys=100,entries=a|b|c|d|e");
    EXPECT_EQ(l.count, 5);
    EXPECT_EQ(l.visible, std::min(5, 92 / lh()));
    if (92 / lh() >= 5) {
        EXPECT_FALSE(l.hasbar);
        EXPECT_EQ(entry().scrolls, 0);
    }
    l.create("x=10,y=10,xs=150,ys=100,entries=0|1|2|3|4|5|6|7|8|9|10|11|12|13|14|15|16|17|18|19");
    EXPECT_EQ(l.visible, 92 / lh());  // 7 with a 13-pixel font
    EXPECT_TRUE(l.hasbar);
    EXPECT_TRUE(l.bar.created);
    EXPECT_EQ(entry().scrolls, 1);
    EXPECT_EQ(l.bar.vsize, l.visible * 100 / 20);
    char buf[8];
    EXPECT_EQ(l.selected_text(buf, sizeof buf), 0);
    EXPECT_STREQ(buf, "0");
    // Lines added later lay the list out again.
    kxListBox e;
    e.create("x=200,y=10,xs=150,ys=%d", 8 + 2 * lh());
    EXPECT_EQ(e.selected_index(), -1);
    e.add_line("eins");
    e.add_line("zwei");
    EXPECT_FALSE(e.hasbar);
    e.add_line("%s", "drei");
    EXPECT_TRUE(e.hasbar);
    EXPECT_EQ(e.visible, 2);
}

TEST_F(ListBoxTest, ClicksSelectAndBelowTheLastLineTakesTheLastShown)
{
    l.create("x=10,y=10,xs=150,ys=%d,entries=a|b|c", 8 + 6 * lh());
    click(50, liney(1));
    EXPECT_EQ(l.selected, 1);
    EXPECT_TRUE(l.focused);
    EXPECT_EQ(posted(l.ids[14]), 1);
    click(50, l.geom.y + l.geom.ys - 3);
    EXPECT_EQ(l.selected, 2);
    EXPECT_EQ(posted(l.ids[14]), 1);
    // The same line again changes nothing and reports nothing; a double click
    // and a right press report their own ids.
    click(50, liney(2));
    EXPECT_EQ(posted(l.ids[14]), 0);
    kxheadless_doubleclick(host(), 1, 50, liney(0));
    pump();
    EXPECT_EQ(l.selected, 0);
    int main = 0, change = 0;
    while (int id = kxevent_poll()) {
        main += id == l.ids[0];
        change += id == l.ids[14];
    }
    EXPECT_EQ(main, 1);
    EXPECT_EQ(change, 1);
    kxheadless_press(host(), 3, 50, liney(1));
    pump();
    EXPECT_EQ(posted(l.ids[KX_ID_RDOWN]), 1);
}

TEST_F(ListBoxTest, KeysMoveTheSelectionWithinTheList)
{
    l.create("x=10,y=10,xs=150,ys=%d,entries=a|b|c|d|e|f", 8 + 3 * lh());
    click(50, liney(0));
    posted(0);
    key(kxhostkey::up);
    EXPECT_EQ(l.selected, 0);
    EXPECT_EQ(posted(l.ids[14]), 0);
    for (int i = 0; i < 7; i++)
        key(kxhostkey::down);
    EXPECT_EQ(l.selected, 5);
    EXPECT_EQ(l.first, 3);  // scrolled along
    EXPECT_EQ(l.bar.vpos, 100);
    EXPECT_EQ(posted(l.ids[14]), 5);
    key(kxhostkey::enter);
    EXPECT_EQ(posted(l.ids[0]), 1);
}

TEST_F(ListBoxTest, TheWheelAndTheBarScrollButKeepTheSelection)
{
    l.create("x=10,y=10,xs=150,ys=%d,entries=a|b|c|d|e|f|g|h|i|j", 8 + 4 * lh());
    click(50, liney(1));
    for (int i = 0; i < 20; i++)
        kxheadless_wheel(host(), -120, 50, liney(1));
    pump();
    EXPECT_EQ(l.first, 6);  // count - visible
    EXPECT_EQ(l.selected, 1);
    kxheadless_wheel(host(), 120, 50, liney(1));
    pump();
    EXPECT_EQ(l.first, 5);
    // A click on the bar's lower track pages down; its arrow goes one up.
    int bx = l.bar.vx + l.bar.vwidth / 2;
    kxtest_event(l, KX_EV_LDOWN, bx, l.geom.y + l.bar.vwidth + 2);
    kxtest_event(l, KX_EV_LUP, bx, l.geom.y + l.bar.vwidth + 2);
    EXPECT_EQ(l.first, 1);
    EXPECT_EQ(l.selected, 1);
    kxtest_event(l, KX_EV_LDOWN, bx, l.geom.y + 2);
    kxtest_event(l, KX_EV_LUP, bx, l.geom.y + 2);
    EXPECT_EQ(l.first, 0);
}

TEST_F(ListBoxTest, DraggingTheThumbScrollsTheList)
{
    l.create("x=10,y=10,xs=150,ys=%d,entries=a|b|c|d|e|f|g|h|i|j", 8 + 4 * lh());
    int bx = l.bar.vx + l.bar.vwidth / 2, ty = l.bar.thumby + 2;
    kxheadless_move(host(), bx, ty);
    kxheadless_press(host(), 1, bx, ty);
    pump();
    ASSERT_TRUE(l.bar.grabbing);
    // The container sends the drag to the grabbing bar, not to the list.
    kxheadless_move(host(), bx, l.geom.y + l.geom.ys + 40);
    kxheadless_release(host(), 1, bx, l.geom.y + l.geom.ys + 40);
    pump();
    EXPECT_FALSE(l.bar.grabbing);
    EXPECT_EQ(l.first, 6);
    EXPECT_EQ(l.selected, 0);
}

TEST_F(ListBoxTest, MarkedLinesShadeEvenLinesAndTheSelection)
{
    l.create("x=10,y=10,xs=150,ys=100,markedlines,entries=a|b|c|d");
    EXPECT_EQ(pixel(100, liney(0)), KX_LISTBOX_MARKSEL);  // selected line 0
    EXPECT_EQ(pixel(100, liney(1)), l.bgcolor);
    EXPECT_EQ(pixel(100, liney(2)), KX_LISTBOX_STRIPE);
    l.select(1);
    EXPECT_EQ(pixel(100, liney(0)), KX_LISTBOX_STRIPE);
    EXPECT_EQ(pixel(100, liney(1)), KX_LISTBOX_MARKSEL);
    kxListBox plain;
    plain.create("x=200,y=10,xs=150,ys=100,entries=a|b");
    EXPECT_EQ(pixel(300, liney(0)), kxgui_color(KX_GUI_BLUE));
    EXPECT_EQ(pixel(300, liney(1)), plain.bgcolor);
    // Selecting beyond the end stays on the last line.
    l.select(99);
    EXPECT_EQ(l.selected, 3);
}

} // namespace
