// Editors in a window on the headless host, driven by injected input.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "core/language.h"
#include "graphics/colours.h"
#include "graphics/font.h"
#include "graphics/text.h"
#include "input_support.h"
#include "platform/platform.h"
#include "widgets/editor.h"
#include "widgets/lineinput.h"
#include "widgets/popupmenu.h"

namespace {

struct EditorTest : InputTest {
    kxEdit ed;
    int cw() { return kxfont_charwidth(kxfont_builtin_6x13(), 'w'); }
    int ch() { return kxfont_height(kxfont_builtin_6x13()); }
    void TearDown() override
    {
        kxlanguage_set(KX_LANG_ENGLISH);
        ed.destroy();
        InputTest::TearDown();
    }
    // Window coordinates of the middle of a visible cell.
    int cx(int column) { return ed.geom.x + 2 + (column - ed.firstx) * cw() + cw() / 2; }
    int cy(int line) { return ed.geom.y + 2 + (line - ed.firsty) * ch() + ch() / 2; }
    void focus()
    {
        click(cx(0), cy(0));
        ASSERT_TRUE(ed.focused);
    }
    void press_key(kxhostkey k, int times = 1)
    {
        for (int i = 0; i < times; i++)
            key(k);
    }
    // A key with a modifier held.
    void chord(kxhostkey mod, kxhostkey k, int times = 1)
    {
        kxheadless_keydown(host(), mod);
        press_key(k, times);
        kxheadless_keyup(host(), mod);
        pump();
    }
    std::string line(int l)
    {
        std::string s;
        for (int c = 0; c < ed.columns; c++) {
            unsigned char b = ed.at(c, l);
            s += ed.wordbreak && b == KX_EDIT_BREAK ? ' ' : static_cast<char>(b);
        }
        return s.substr(0, s.find_last_not_of(' ') + 1);
    }
    // The clipboard's text without the host's carriage returns.
    static std::string clip()
    {
        const char *t = kxclip_gettext();
        std::string s = t ? t : "";
        s.erase(std::remove(s.begin(), s.end(), '\r'), s.end());
        return s;
    }
    void expect_cursor(int column, int l)
    {
        EXPECT_EQ(ed.curx, column);
        EXPECT_EQ(ed.cury, l);
    }
};

TEST_F(EditorTest, FiveLinesOfFortyColumnsHaveTheirDefaultSizeAndNoBar)
{
    ed.create("x=10,y=10,lines=5,columns=40");
    EXPECT_EQ(ed.geom.xs, 40 * cw() + 24);
    EXPECT_EQ(ed.geom.ys, 5 * ch() + 24);
    EXPECT_EQ(ed.lines, 5);
    EXPECT_EQ(ed.columns, 40);
    EXPECT_EQ(ed.vlines, 5);
    EXPECT_EQ(ed.vcolumns, 40);
    EXPECT_FALSE(ed.hasbar);
    EXPECT_FALSE(ed.bar.created);
    // White inside, the sunken frame around, the fixed font's cells.
    EXPECT_EQ(pixel(ed.geom.x + 5, ed.geom.y + 5), 0xFFFFFF);
    EXPECT_NE(pixel(ed.geom.x - 1, ed.geom.y + 5), 0xFFFFFF);
    EXPECT_EQ(ed.get_text(), "\n");
    // Without lines and columns they follow from the size.
    kxEdit other;
    other.create("x=10,y=150,xs=200,ys=100");
    EXPECT_EQ(other.lines, (100 - 4) / ch());
    EXPECT_EQ(other.columns, (200 - 24) / cw());
}

TEST_F(EditorTest, TypingPastTheThirtyFifthColumnWidensTheGridAndShowsAHorizontalBar)
{
    ed.create("x=10,y=10,lines=5,columns=40");
    focus();
    posted(0);
    // Each key is queued too: count in batches that fit the queue.
    int changes = 0;
    for (int i = 0; i < 5; i++) {
        type(std::string(7, 'a').c_str());
        changes += posted(ed.ids[KX_ID_CHANGE]);
    }
    EXPECT_EQ(ed.columns, 40);  // five blank cells are left
    EXPECT_FALSE(ed.hasbar);
    type("bc");
    changes += posted(ed.ids[KX_ID_CHANGE]);
    EXPECT_EQ(ed.columns, 50);
    EXPECT_EQ(static_cast<int>(ed.grid.size()), ed.lines * 50);
    EXPECT_TRUE(ed.hasbar);
    EXPECT_TRUE(ed.bar.horizontal);
    EXPECT_FALSE(ed.bar.vertical);
    EXPECT_LT(ed.vcolumns, 50);
    EXPECT_EQ(ed.get_text(), std::string(35, 'a') + "bc\n");
    EXPECT_EQ(changes, 37);
    expect_cursor(37, 0);
    // The cursor stays visible: the view moves right, at most to the end.
    type(std::string(10, 'd').c_str());
    EXPECT_EQ(ed.columns, 60);
    EXPECT_EQ(ed.firstx, 50 - ed.vcolumns);
    EXPECT_LT(ed.curx, ed.firstx + ed.vcolumns);
    EXPECT_EQ(ed.bar.hpos, ed.firstx * 100 / (ed.columns - ed.vcolumns));
    EXPECT_EQ(ed.get_text(), std::string(35, 'a') + "bc" + std::string(10, 'd') + "\n");
}

TEST_F(EditorTest, BackspaceInTheIndentationGoesBackToTheTabStop)
{
    ed.create("x=10,y=10,lines=5,columns=40,tabs=4");
    ed.set_text("      x");
    focus();
    press_key(kxhostkey::right, 6);
    expect_cursor(6, 0);
    type("\b");
    EXPECT_EQ(line(0), "    x");
    expect_cursor(4, 0);
    type("\b");
    EXPECT_EQ(line(0), "x");
    // After text a backspace takes one cell.
    ed.set_text("ab  cd");
    press_key(kxhostkey::end);
    type("\b\b\b");
    EXPECT_EQ(ed.get_text(), "ab\n");
    expect_cursor(3, 0);
    // At column 0 it joins the line to the one above.
    ed.set_text("ab\ncd");
    press_key(kxhostkey::down);
    press_key(kxhostkey::home);
    type("\b");
    EXPECT_EQ(ed.get_text(), "abcd\n");
    expect_cursor(2, 0);
}

TEST_F(EditorTest, EnterSplitsTheLineAndAutoIndentFollowsTheLineAbove)
{
    ed.create("x=10,y=10,lines=5,columns=40");
    ed.set_text("abc def");
    focus();
    press_key(kxhostkey::right, 3);
    press_key(kxhostkey::enter);
    EXPECT_EQ(ed.get_text(), "abc\n def\n");
    expect_cursor(0, 1);

    kxEdit ai;
    ai.create("x=10,y=120,lines=5,columns=40,autoindent");
    ai.set_text("   abc def");
    click(ai.geom.x + 2 + 6 * cw() + 1, ai.geom.y + 4);  // between c and the blank
    ASSERT_TRUE(ai.focused);
    EXPECT_EQ(ai.curx, 6);
    key(kxhostkey::enter);
    EXPECT_EQ(ai.get_text(), "   abc\n    def\n");
    EXPECT_EQ(ai.curx, 3);
    EXPECT_EQ(ai.cury, 1);
    // At column 0 there is nothing to indent.
    key(kxhostkey::home);
    key(kxhostkey::enter);
    EXPECT_EQ(ai.get_text(), "   abc\n\n    def\n");
    EXPECT_EQ(ai.curx, 0);
}

TEST_F(EditorTest, GetTextTrimsLinesAndFoldsTrailingLineFeeds)
{
    ed.create("x=10,y=10,lines=5,columns=40");
    ed.set_text("a\n\nb");
    EXPECT_EQ(ed.get_text(), "a\n\nb\n");
    ed.set_text("a   \n\n\n\n");
    EXPECT_EQ(ed.get_text(), "a\n");
    // A tab in the text goes to the next stop.
    ed.set_text("\tx\nab\ty");
    EXPECT_EQ(ed.get_text(), "        x\nab      y\n");
    ed.set_text(nullptr);
    EXPECT_EQ(ed.get_text(), "\n");
}

TEST_F(EditorTest, SetTextWithMoreLinesThanTheGridKeepsThemAll)
{
    ed.create("x=10,y=10,lines=5,columns=40");
    posted(0);
    std::string text;
    for (int i = 0; i < 12; i++)
        text += "line " + std::to_string(i) + "\n";
    ed.set_text(text.c_str());
    EXPECT_EQ(posted(ed.ids[0]), 1);
    EXPECT_EQ(ed.get_text(), text);
    EXPECT_GE(ed.lines, 12);
    EXPECT_TRUE(ed.hasbar);
    EXPECT_TRUE(ed.bar.vertical);
    EXPECT_LT(ed.vlines, 12);
    // Ctrl+End goes to the last text and scrolls it into view.
    focus();
    posted(0);
    chord(kxhostkey::ctrl, kxhostkey::end);
    expect_cursor(7, 11);
    EXPECT_GT(ed.firsty, 0);
    EXPECT_LE(ed.firsty, 11);
    EXPECT_GT(ed.firsty + ed.vlines, 11);
    EXPECT_EQ(posted(ed.scrollid), 1);
    // A line longer than the widest grid continues on the next line.
    std::string wide(KX_EDIT_MAX_COLUMNS + 7, 'w');
    ed.set_text(wide.c_str());
    EXPECT_EQ(ed.columns, KX_EDIT_MAX_COLUMNS);
    EXPECT_EQ(ed.get_text(), std::string(KX_EDIT_MAX_COLUMNS, 'w') + "\n" + "wwwwwww\n");
}

TEST_F(EditorTest, WordBreakMovesTheLastWordAndKeepsTheParagraphOneLine)
{
    ed.create("x=10,y=10,lines=5,columns=20,wordbreak");
    ASSERT_EQ(ed.vcolumns, 20);
    focus();
    type("the quick brown fox jumps");
    EXPECT_EQ(line(0), "the quick brown");
    EXPECT_EQ(line(1), "fox jumps");
    expect_cursor(9, 1);
    EXPECT_EQ(ed.columns, 20);  // wrapping does not widen
    EXPECT_EQ(ed.get_text(), "the quick brown fox jumps\n");
    // Enter makes a hard break that get text keeps.
    type("\nover");
    EXPECT_EQ(ed.get_text(), "the quick brown fox jumps\nover\n");
    // Typing inside a full line pushes its last word to the next line.
    press_key(kxhostkey::up, 2);
    press_key(kxhostkey::home);
    type("a");
    EXPECT_EQ(line(0), "athe quick brown");
    type("bb");
    EXPECT_EQ(line(0), "abbthe quick");
    EXPECT_EQ(line(1), "brown fox jumps");
    EXPECT_EQ(ed.get_text(), "abbthe quick brown fox jumps\nover\n");
}

TEST_F(EditorTest, ShiftMovesSelectAndTheClipboardCommandsUseTheSelection)
{
    ed.create("x=10,y=10,lines=5,columns=40");
    ed.set_text("hello world\nsecond line");
    focus();
    chord(kxhostkey::shift, kxhostkey::right, 5);
    type("\x03");  // Ctrl+C
    EXPECT_EQ(clip(), "hello");
    // A move without Shift ends the selection.
    press_key(kxhostkey::right);
    type("\x03");
    EXPECT_EQ(clip(), "hello");
    // Over two lines: the first from the anchor, the last up to the end.
    press_key(kxhostkey::home);
    press_key(kxhostkey::right, 6);
    chord(kxhostkey::shift, kxhostkey::down);
    kxtest_event(ed, KX_EV_COPY);
    EXPECT_EQ(clip(), "world\nsecond");
    posted(0);
    type("\x18");  // Ctrl+X
    EXPECT_EQ(clip(), "world\nsecond");
    EXPECT_EQ(ed.get_text(), "hello  line\n");
    expect_cursor(6, 0);
    EXPECT_GE(posted(ed.ids[KX_ID_CHANGE]), 1);
    // Paste goes through typing: line feeds split lines, the main id follows.
    kxclip_puttext("A\nB");
    type("\x16");  // Ctrl+V
    EXPECT_EQ(ed.get_text(), "hello A\nB line\n");
    expect_cursor(1, 1);
    EXPECT_EQ(posted(ed.ids[0]), 1);
    // Select all, then typing replaces everything.
    type("\x01");
    kxtest_event(ed, KX_EV_COPY);
    EXPECT_EQ(clip(), "hello A\nB line");
    type("z");
    EXPECT_EQ(ed.get_text(), "z\n");
}

TEST_F(EditorTest, PastingKeepsAutoIndentOffAndSkipsControlBytes)
{
    ed.create("x=10,y=10,lines=5,columns=40,autoindent");
    ed.set_text("    x");
    focus();
    press_key(kxhostkey::end);
    kxclip_puttext("\n\x08y\r\n\tz");
    kxtest_event(ed, KX_EV_PASTE);
    EXPECT_EQ(ed.get_text(), "    x\ny\n        z\n");
    // Typed, the same line feed indents.
    type("\n");
    EXPECT_EQ(ed.curx, 8);
}

TEST_F(EditorTest, CtrlArrowsMoveByWords)
{
    ed.create("x=10,y=10,lines=5,columns=40");
    ed.set_text("foo bar, baz   ");
    focus();
    const int right[] = {4, 9, 12, 12};
    for (int want : right) {
        chord(kxhostkey::ctrl, kxhostkey::right);
        EXPECT_EQ(ed.curx, want);
    }
    const int left[] = {9, 4, 0, 0};
    for (int want : left) {
        chord(kxhostkey::ctrl, kxhostkey::left);
        EXPECT_EQ(ed.curx, want);
    }
    // From inside a word to its end's next word; quotes belong to words.
    ed.set_text("a\"b\" c");
    chord(kxhostkey::ctrl, kxhostkey::right);
    EXPECT_EQ(ed.curx, 5);
    // Plain arrows wrap between lines.
    ed.set_text("ab\ncd");
    press_key(kxhostkey::down);
    press_key(kxhostkey::left);
    expect_cursor(2, 0);
    press_key(kxhostkey::up);
    expect_cursor(2, 0);
    press_key(kxhostkey::down);
    expect_cursor(2, 1);
}

TEST_F(EditorTest, DeleteTakesTheCellUnderTheCursorAndJoinsLines)
{
    ed.create("x=10,y=10,lines=5,columns=40,tabs=4");
    ed.set_text("ab\ncd\n      ef");
    focus();
    press_key(kxhostkey::end);
    press_key(kxhostkey::del);
    EXPECT_EQ(ed.get_text(), "abcd\n      ef\n");
    press_key(kxhostkey::home);
    press_key(kxhostkey::del);
    EXPECT_EQ(ed.get_text(), "bcd\n      ef\n");
    // In the indentation Delete takes one blank, not a tab stop's worth.
    press_key(kxhostkey::down);
    press_key(kxhostkey::home);
    press_key(kxhostkey::right, 2);
    press_key(kxhostkey::del);
    EXPECT_EQ(line(1), "     ef");
    // At the end of the text only the blank line below goes.
    chord(kxhostkey::ctrl, kxhostkey::end);
    press_key(kxhostkey::del);
    EXPECT_EQ(ed.get_text(), "bcd\n     ef\n");
}

TEST_F(EditorTest, ClicksPlaceTheCursorAndDragsSelect)
{
    ed.create("x=10,y=10,lines=5,columns=40");
    ed.set_text("short\nlonger line");
    // The click that gives the focus below the text lands after it.
    click(cx(10), cy(4));
    ASSERT_TRUE(ed.focused);
    expect_cursor(0, 2);
    // Beyond a line's end the cursor snaps back to it.
    click(cx(20), cy(0));
    expect_cursor(5, 0);
    // Press, drag, release selects.
    kxheadless_press(host(), 1, cx(1), cy(1));
    pump();
    EXPECT_TRUE(kxheadless_grabbed(host()));
    kxheadless_move(host(), cx(6), cy(1));
    pump();
    kxheadless_release(host(), 1, cx(6), cy(1));
    pump();
    EXPECT_FALSE(kxheadless_grabbed(host()));
    kxtest_event(ed, KX_EV_COPY);
    EXPECT_EQ(clip(), "onger");
    // The selection is drawn in the selection colour.
    EXPECT_EQ(pixel(cx(2) - cw() / 2, cy(1) - ch() / 2), kxgui_color(KX_GUI_BLUE));
    // A double click takes the word under the pointer.
    kxheadless_doubleclick(host(), 1, cx(9), cy(1));
    pump();
    kxtest_event(ed, KX_EV_COPY);
    EXPECT_EQ(clip(), "line");
}

TEST_F(EditorTest, ADragBelowTheAreaScrollsAndKeepsScrollingOnTimerTicks)
{
    ed.create("x=10,y=10,lines=5,columns=40");
    std::string text;
    for (int i = 0; i < 40; i++)
        text += "row " + std::to_string(i) + "\n";
    ed.set_text(text.c_str());
    focus();
    posted(0);
    kxheadless_press(host(), 1, cx(0), cy(0));
    pump();
    kxheadless_move(host(), cx(2), ed.geom.y + ed.geom.ys + 10);
    pump();
    EXPECT_EQ(ed.firsty, 1);
    EXPECT_GE(posted(ed.scrollid), 1);
    run_ms(KX_EDIT_BLINK_MS);
    EXPECT_GE(ed.cury, 10);
    EXPECT_GT(ed.firsty, 1);
    kxheadless_release(host(), 1, cx(2), ed.geom.y + ed.geom.ys + 10);
    pump();
    int stopped = ed.cury;
    run_ms(2 * KX_EDIT_BLINK_MS);
    EXPECT_EQ(ed.cury, stopped);
    kxtest_event(ed, KX_EV_COPY);
    std::string copied = clip();
    EXPECT_EQ(copied.rfind("row 0\nrow 1\n", 0), 0u);
}

TEST_F(EditorTest, ScrollbarNoticesAndTheWheelMoveTheVisiblePart)
{
    ed.create("x=10,y=10,lines=5,columns=40");
    std::string text;
    for (int i = 0; i < 30; i++)
        text += std::string(60, static_cast<char>('a' + i % 26)) + "\n";
    ed.set_text(text.c_str());
    ASSERT_TRUE(ed.bar.vertical);
    ASSERT_TRUE(ed.bar.horizontal);
    int vrange = ed.lines - ed.vlines, hrange = ed.columns - ed.vcolumns;
    posted(0);
    // A click on the down arrow.
    int ax = ed.bar.downx + ed.bar.arroww / 2, ay = ed.bar.downy + ed.bar.arrowh / 2;
    click(ax, ay);
    EXPECT_EQ(ed.firsty, 1);
    EXPECT_EQ(posted(ed.scrollid), 1);
    ed.bar.notify(ed.bar.owner, KX_SB_VPOS, 100);
    EXPECT_EQ(ed.firsty, vrange);
    ed.bar.notify(ed.bar.owner, KX_SB_DOWN, 0);  // already at the end
    EXPECT_EQ(ed.firsty, vrange);
    EXPECT_EQ(posted(ed.scrollid), 1);
    ed.bar.notify(ed.bar.owner, KX_SB_PAGEUP, 0);
    EXPECT_EQ(ed.firsty, vrange - ed.vlines);
    ed.bar.notify(ed.bar.owner, KX_SB_HPOS, 50);
    EXPECT_EQ(ed.firstx, 50 * hrange / 100);
    ed.bar.notify(ed.bar.owner, KX_SB_LEFT, 0);
    EXPECT_EQ(ed.firstx, 50 * hrange / 100 - 1);
    EXPECT_EQ(ed.bar.vpos, ed.firsty * 100 / vrange);
    // The view gives the wheel to the focused widget.
    int vx = cx(ed.firstx + 1), vy = cy(ed.firsty + 1);
    click(vx, vy);
    ASSERT_TRUE(ed.focused);
    posted(0);
    kxheadless_wheel(host(), 1, vx, vy);
    pump();
    EXPECT_EQ(ed.firsty, vrange - ed.vlines - KX_EDIT_WHEEL_LINES);
    EXPECT_EQ(posted(ed.scrollid), 1);
}

TEST_F(EditorTest, TabInsertsSpacesInsteadOfMovingTheFocus)
{
    ed.create("x=10,y=10,lines=5,columns=40,tabspace=4");
    kxEdit other;
    other.create("x=10,y=150,lines=2,columns=10");
    focus();
    type("ab\tc");
    EXPECT_TRUE(ed.focused);
    EXPECT_FALSE(other.focused);
    EXPECT_EQ(ed.get_text(), "ab  c\n");
    // Grey editors move the cursor but do not edit.
    kxEdit grey;
    grey.create("x=250,y=150,lines=2,columns=10,grey");
    grey.set_text("xy");
    click(grey.geom.x + 4, grey.geom.y + 4);
    ASSERT_TRUE(grey.focused);
    type("q\b");
    press_key(kxhostkey::del);
    EXPECT_EQ(grey.get_text(), "xy\n");
    press_key(kxhostkey::right);
    EXPECT_EQ(grey.curx, 1);
}

TEST_F(EditorTest, TheCursorBlinksOnlyWhileFocused)
{
    ed.create("x=10,y=10,lines=5,columns=40");
    int x0 = ed.geom.x + 2, y0 = ed.geom.y + 2 + ch() / 2;
    run_ms(2 * KX_EDIT_BLINK_MS);
    EXPECT_EQ(pixel(x0, y0), 0xFFFFFF);
    focus();
    EXPECT_EQ(pixel(x0, y0), kxgui_color(KX_GUI_TEXT));
    run_ms(KX_EDIT_BLINK_MS);
    EXPECT_EQ(pixel(x0, y0), 0xFFFFFF);
    run_ms(KX_EDIT_BLINK_MS);
    EXPECT_EQ(pixel(x0, y0), kxgui_color(KX_GUI_TEXT));
    key(kxhostkey::escape);  // the view drops the focus
    EXPECT_FALSE(ed.focused);
    EXPECT_EQ(pixel(x0, y0), 0xFFFFFF);
    run_ms(KX_EDIT_BLINK_MS);
    EXPECT_EQ(pixel(x0, y0), 0xFFFFFF);
}

TEST_F(EditorTest, AResizedWindowLaysTheEditorOutAgain)
{
    ed.create("x=10,y=10,xs=50%,ys=100,lines=20,columns=60");
    int before = ed.vcolumns;
    EXPECT_EQ(ed.geom.xs, 200);
    EXPECT_TRUE(ed.bar.vertical);
    EXPECT_TRUE(ed.bar.horizontal);
    kxheadless_resize(host(), 800, 300);
    pump();
    EXPECT_EQ(ed.geom.xs, 400);
    EXPECT_GT(ed.vcolumns, before);
    // Now every column fits: the horizontal bar is gone, the vertical stays.
    EXPECT_EQ(ed.vcolumns, 60);
    EXPECT_FALSE(ed.bar.horizontal);
    EXPECT_TRUE(ed.bar.vertical);
}

TEST_F(EditorTest, ADisabledEditorTakesNoKeysAndReportsNothing)
{
    ed.create("x=10,y=10,lines=5,columns=40");
    focus();
    kxtest_event(ed, KX_EV_DISABLE);
    EXPECT_FALSE(ed.focused);
    posted(0);
    kxtest_event(ed, KX_EV_KEYDOWN, 'a');
    kxclip_puttext("p");
    kxtest_event(ed, KX_EV_PASTE);
    EXPECT_EQ(ed.get_text(), "\n");
    int reports = 0;
    while (int id = kxevent_poll())
        reports += id == ed.ids[KX_ID_CHANGE] || id == ed.ids[0];
    EXPECT_EQ(reports, 0);
    kxtest_event(ed, KX_EV_ENABLE);
    kxtest_event(ed, KX_EV_KEYDOWN, 'a');
    EXPECT_EQ(ed.get_text(), "a\n");
}

struct HookLog {
    std::vector<std::vector<kxarg>> calls;
    static void hook(void *obj, int id, kxarg a, kxarg b, kxarg)
    {
        static_cast<HookLog *>(obj)->calls.push_back({id, a, b});
    }
    int count(int id, kxarg a)
    {
        return static_cast<int>(std::count_if(calls.begin(), calls.end(), [&](auto &c) {
            return c[0] == id && c[1] == a;
        }));
    }
};

TEST_F(EditorTest, AnOwnersHookHearsOfRedrawsAndEdits)
{
    ed.create("x=10,y=10,lines=5,columns=40");
    HookLog log;
    ed.hook = HookLog::hook;
    ed.hook_obj = &log;
    focus();
    log.calls.clear();
    type("x");
    // One line changed: a single-line redraw of line 0 and the change id.
    EXPECT_EQ(log.count(KX_EV_EDIT_REDRAW, KX_EDIT_REDRAW_LINE), 1);
    EXPECT_EQ(log.count(KX_EV_EDIT_REDRAW, KX_EDIT_REDRAW_ALL), 0);
    EXPECT_EQ(log.count(ed.ids[KX_ID_CHANGE], 0), 1);
    log.calls.clear();
    type("\n");
    EXPECT_EQ(log.count(KX_EV_EDIT_REDRAW, KX_EDIT_REDRAW_ALL), 1);
}

// The context menu runs its own loop: the idle hook drives it.
struct EditorMenuTest : EditorTest {
    int menu_xs = 0, menu_ys = 0;
    // Opens the context menu over the editor and releases on entry n.
    void choose(int n)
    {
        int fh = kxfont_height(kxgui_defaultfont());
        bool opened = false;
        kxtest_idle idle([&, n, fh] {
            if (kxheadless_windows() < 2 || opened) {
                if (kxheadless_windows() > 1)
                    kxheadless_keydown(kxheadless_newest(), kxhostkey::escape);
                return;
            }
            opened = true;
            if (during)
                during();
            const kxllgui_window *m = kxheadless_newest();
            menu_xs = m->pixmap.width;
            menu_ys = m->pixmap.height;
            // Entries are font height + 8 high, separators 4, from y = 2.
            int y = 2, target = 0;
            for (int i = 1; i <= n; i++) {
                int h = separator(i) ? KX_MENU_SEPARATOR : fh + 8;
                if (i == n)
                    target = y + h / 2;
                y += h;
            }
            kxheadless_move(m, 20, target);
            kxheadless_press(m, 1, 20, target);
            kxheadless_release(m, 1, 20, target);
        });
        kxheadless_press(host(), 3, cx(1), cy(0));
        pump();
        EXPECT_TRUE(opened);
    }
    bool has_sel = false;
    std::function<void()> during;  // runs while the menu is open
    bool separator(int i) { return has_sel ? i == 4 : i == 2; }
    int width_of(std::initializer_list<const char *> entries)
    {
        int w = 0;
        for (const char *e : entries)
            w = std::max(w, kxtext_width(kxgui_defaultfont(), e));
        return std::max(w + 25, KX_MENU_MINXS);
    }
    int height_of(int entries)
    {
        return 2 + entries * (kxfont_height(kxgui_defaultfont()) + 8) + KX_MENU_SEPARATOR + 2;
    }
};

TEST_F(EditorMenuTest, EnglishEntriesCopyAndSelectAll)
{
    ed.create("x=10,y=10,lines=5,columns=40");
    ed.set_text("one two");
    focus();
    chord(kxhostkey::shift, kxhostkey::right, 3);
    has_sel = true;
    choose(2);  // Copy
    EXPECT_EQ(clip(), "one");
    EXPECT_EQ(menu_xs, width_of({"Cut", "Copy", "Paste", "Select All"}));
    EXPECT_EQ(menu_ys, height_of(4));
    choose(1);  // Cut
    EXPECT_EQ(ed.get_text(), " two\n");
    has_sel = false;
    choose(3);  // Select All
    EXPECT_EQ(menu_ys, height_of(2));
    kxtest_event(ed, KX_EV_COPY);
    EXPECT_EQ(clip(), " two");
}

TEST_F(EditorMenuTest, GermanEntriesPasteAndCut)
{
    kxlanguage_set(KX_LANG_GERMAN);
    ed.create("x=10,y=10,lines=5,columns=40");
    focus();
    kxclip_puttext("Hallo Welt");
    posted(0);
    choose(1);  // Einfügen
    EXPECT_EQ(ed.get_text(), "Hallo Welt\n");
    EXPECT_EQ(posted(ed.ids[0]), 1);
    EXPECT_EQ(menu_xs, width_of({"Einf\xfcgen", "Alles markieren"}));
    EXPECT_EQ(menu_ys, height_of(2));
    type("\x01");
    has_sel = true;
    kxclip_puttext("");
    choose(1);  // Ausschneiden
    EXPECT_EQ(clip(), "Hallo Welt");
    EXPECT_EQ(ed.get_text(), "\n");
    EXPECT_EQ(menu_xs, width_of({"Ausschneiden", "Kopieren", "Einf\xfcgen", "Alles markieren"}));
    // Any other language value is English.
    kxlanguage_set(7);
    EXPECT_EQ(kxlanguage_get(), KX_LANG_ENGLISH);
}

TEST_F(EditorMenuTest, AnEditorClosedWhileItsMenuIsOpenIgnoresTheChoice)
{
    ed.create("x=10,y=10,lines=5,columns=40");
    kxclip_puttext("late");
    during = [this] { kxtest_event(ed, KX_EV_CLOSE); };
    choose(1);  // Paste
    EXPECT_FALSE(ed.created);
    EXPECT_TRUE(ed.grid.empty());
}

TEST_F(EditorMenuTest, GreyEditorsOpenNoMenu)
{
    ed.create("x=10,y=10,lines=5,columns=40,grey");
    kxheadless_press(host(), 3, cx(1), cy(0));
    pump();
    EXPECT_EQ(kxheadless_windows(), 1);
}

// Random keys, clicks, drags and clipboard commands must keep the editor
// consistent and never touch memory outside the grid.
void check_consistent(const kxEdit &e)
{
    ASSERT_EQ(e.grid.size(), static_cast<std::size_t>(e.lines) * static_cast<std::size_t>(e.columns));
    ASSERT_GE(e.curx, 0);
    ASSERT_LT(e.curx, e.columns);
    ASSERT_GE(e.cury, 0);
    ASSERT_LT(e.cury, e.lines);
    ASSERT_GE(e.firsty, 0);
    ASSERT_LE(e.firsty, e.lines - e.vlines);
    ASSERT_GE(e.firstx, 0);
    ASSERT_LE(e.firstx, e.columns - e.vcolumns);
    ASSERT_LE(e.vlines, e.lines);
    ASSERT_LE(e.vcolumns, e.columns);
}

TEST_F(EditorTest, RandomInputKeepsTheGridConsistent)
{
    const char *variants[] = {"lines=5,columns=40", "lines=3,columns=12,wordbreak,tabs=3",
                              "xs=90,ys=60,autoindent", "lines=4,columns=30,wordbreak,autoindent"};
    const kxhostkey keys[] = {kxhostkey::left,  kxhostkey::right, kxhostkey::up,
                              kxhostkey::down,  kxhostkey::home,  kxhostkey::end,
                              kxhostkey::pgup,  kxhostkey::pgdown, kxhostkey::del,
                              kxhostkey::enter, kxhostkey::tab};
    const kxhostkey mods[] = {kxhostkey::shift, kxhostkey::ctrl};
    std::mt19937 rng(20070611);
    for (const char *v : variants) {
        ed.create("x=10,y=10,%s", v);
        ed.set_text("seed text\n\tindented line\nlast");
        for (int step = 0; step < 1500; step++) {
            int what = static_cast<int>(rng() % 10);
            int px = ed.geom.x - 10 + static_cast<int>(rng() % (ed.geom.xs + 20));
            int py = ed.geom.y - 10 + static_cast<int>(rng() % (ed.geom.ys + 20));
            if (what < 4) {
                char s[2] = {static_cast<char>(rng() % 256), 0};
                if (s[0])
                    kxheadless_type(host(), s);
            } else if (what < 6) {
                kxheadless_keydown(host(), keys[rng() % std::size(keys)]);
            } else if (what == 6) {
                kxhostkey m = mods[rng() % 2];
                kxheadless_keydown(host(), m);
                kxheadless_keydown(host(), keys[rng() % 8]);
                kxheadless_keyup(host(), m);
            } else if (what == 7) {
                kxheadless_press(host(), 1, px, py);
                kxheadless_move(host(), px + static_cast<int>(rng() % 80) - 40,
                                py + static_cast<int>(rng() % 80) - 40);
                if (rng() % 2)
                    kxheadless_release(host(), 1, px, py);
            } else if (what == 8) {
                static const char *clips[] = {"", "x\ny\n\nz", "\t\t\xff\x01 long paste text",
                                              "\n\n\n\n\n\n"};
                kxclip_puttext(clips[rng() % 4]);
                kxsend(kxEdit::handler, &ed, KX_EV_PASTE + static_cast<int>(rng() % 3));
            } else {
                if (rng() % 2)
                    kxheadless_wheel(host(), rng() % 2 ? 1 : -1, px, py);
                else
                    kxheadless_doubleclick(host(), 1, px, py);
                run_ms(KX_EDIT_BLINK_MS);
            }
            pump();
            check_consistent(ed);
            if (HasFatalFailure())
                return;
        }
        kxheadless_release(host(), 1, 0, 0);
        pump();
        std::string text = ed.get_text();
        EXPECT_EQ(text.back(), '\n');
        // What get text returns reads back the same.
        ed.set_text(text.c_str());
        EXPECT_EQ(ed.get_text(), text);
        check_consistent(ed);
    }
}

} // namespace
