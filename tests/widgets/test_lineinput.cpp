// Line inputs in a window on the headless host, driven by injected input.
#include <gtest/gtest.h>

#include <string>

#include "graphics/colours.h"
#include "graphics/font.h"
#include "input_support.h"
#include "platform/platform.h"
#include "widgets/lineinput.h"

namespace {

struct LineInputTest : InputTest {
    kxLineInput a, b;
    // Pixels of a rectangle of the window, for comparing two drawings.
    std::string area(int x, int y, int w, int h)
    {
        std::string s;
        for (int j = y; j < y + h; j++)
            for (int i = x; i < x + w; i++)
                s += std::to_string(pixel(i, j)) + ",";
        return s;
    }
};

TEST_F(LineInputTest, TypedLatin1CharactersAreStoredAsTheirBytes)
{
    a.create("x=10,y=10,xs=200");
    EXPECT_EQ(a.geom.ys, kxfont_height(a.font) + 8);
    click(50, 15);
    ASSERT_TRUE(a.focused);
    posted(0);
    type("Gr\xfc\xdf" "e\xa4\x80!");  // currency sign and 0x80 are not accepted
    EXPECT_STREQ(a.get_text(), "Gr\xfc\xdf" "e!");
    EXPECT_EQ(posted(a.ids[KX_ID_CHANGE]), 6);
    // The umlaut is drawn as its own glyph, not as another character.
    b.create("x=10,y=60,xs=200,default=u");
    kxLineInput c;
    c.create("x=10,y=100,xs=200");
    c.set_text("\xfc");
    EXPECT_NE(area(14, 60, 10, b.geom.ys), area(14, 100, 10, c.geom.ys));
}

// What the field shows is all it holds: a paste stops at the maximum
// length as typing does.
TEST_F(LineInputTest, MaxLengthStopsTypingAndPasting)
{
    a.create("x=10,y=10,xs=200,maxlen=5");
    click(50, 15);
    type("abcde");
    posted(0);
    type("f");
    EXPECT_STREQ(a.get_text(), "abcde");
    EXPECT_EQ(posted(a.ids[KX_ID_CHANGE]), 1);
    kxclip_puttext("XYZ");
    kxtest_event(a, KX_EV_PASTE);
    EXPECT_STREQ(a.get_text(), "abcde");
    type("\b\b");
    kxtest_event(a, KX_EV_PASTE);
    EXPECT_STREQ(a.get_text(), "abcXY");
    EXPECT_EQ(posted(a.ids[KX_ID_CHANGE]), 2);  // the Backspaces; paste reports nothing
}

TEST_F(LineInputTest, APasteLeavesTheCursorAfterThePastedText)
{
    a.create("x=10,y=10,xs=200,default=ad");
    click(50, 15);
    key(kxhostkey::home);
    key(kxhostkey::right);
    kxclip_puttext("bc");
    type("\x16");  // Ctrl+V
    type("X");
    EXPECT_STREQ(a.get_text(), "abcXd");
}

TEST_F(LineInputTest, APasteLongerThanTheFieldIsCutAtItsCapacity)
{
    a.create("x=10,y=10,xs=200,default=abc,maxlen=5000");
    click(50, 15);
    key(kxhostkey::end);
    std::string big(3000, 'q');
    kxclip_puttext(big.c_str());
    // Ctrl+V arrives as the control character 22.
    type("\x16");
    EXPECT_EQ(a.length(), KX_LINEINPUT_CHARS);
    EXPECT_EQ(std::string(a.get_text(), 3), "abc");
    kxtest_event(a, KX_EV_PASTE);  // full already: still nothing overflows
    EXPECT_EQ(a.length(), KX_LINEINPUT_CHARS);
    type("z");
    EXPECT_EQ(a.length(), KX_LINEINPUT_CHARS);
}

TEST_F(LineInputTest, PasswordsAreDrawnAsAsterisksAndCopiedInFull)
{
    a.create("x=10,y=10,xs=100,password,default=abc");
    b.create("x=10,y=50,xs=100,default=***");
    EXPECT_EQ(area(10, 10, 100, a.geom.ys), area(10, 50, 100, b.geom.ys));
    kxtest_event(a, KX_EV_FOCUS_IN);  // selects everything
    kxtest_event(a, KX_EV_COPY);
    EXPECT_STREQ(kxclip_gettext(), "abc");
}

TEST_F(LineInputTest, FocusSelectsAllSoTypingReplacesAndEnterMovesOn)
{
    a.create("x=10,y=10,xs=100,default=123");
    b.create("x=10,y=50,xs=100");
    key(kxhostkey::tab);
    ASSERT_TRUE(a.focused);
    type("4");
    EXPECT_STREQ(a.get_text(), "4");
    posted(0);
    key(kxhostkey::enter);
    EXPECT_FALSE(a.focused);
    EXPECT_TRUE(b.focused);
    EXPECT_EQ(posted(a.ids[0]), 1);
}

TEST_F(LineInputTest, KeepFocusReportsEnterAndStays)
{
    a.create("x=10,y=10,xs=100,keepfocus");
    b.create("x=10,y=50,xs=100");
    click(30, 15);
    posted(0);
    key(kxhostkey::enter);
    EXPECT_TRUE(a.focused);
    EXPECT_EQ(posted(a.ids[0]), 1);
}

TEST_F(LineInputTest, LongTextScrollsToKeepTheCursorVisible)
{
    a.create("x=10,y=10,xs=80");
    click(30, 15);
    type("abcdefghijklmnopqrstuvwxyz0123456789");
    EXPECT_GT(a.scroll, 0);
    EXPECT_LE(a.cursorx, a.geom.xs - 4);
    key(kxhostkey::home);
    EXPECT_EQ(a.scroll, 0);
    EXPECT_EQ(a.position(), 0);
    key(kxhostkey::end);
    EXPECT_EQ(a.position(), a.length());
    EXPECT_GT(a.scroll, 0);
    // A click in the scrolled field lands on the character under the pointer.
    int scroll = a.scroll;
    click(10 + 4 + 1, 15);
    EXPECT_EQ(a.position(), scroll);
}

TEST_F(LineInputTest, GreyFieldsTakeNeitherFocusNorPresses)
{
    a.create("x=10,y=10,xs=100,grey,default=x");
    click(30, 15);
    EXPECT_FALSE(a.focused);
    key(kxhostkey::tab);
    EXPECT_FALSE(a.focused);
    EXPECT_EQ(kxtest_event(a, KX_EV_FOCUS_IN), 0);
}

TEST_F(LineInputTest, SelectionByDoubleClickDragAndShift)
{
    a.create("x=10,y=10,xs=200");
    a.set_text("hello world");
    kxheadless_doubleclick(host(), 1, 30, 15);
    pump();
    EXPECT_TRUE(a.focused);
    kxtest_event(a, KX_EV_COPY);
    EXPECT_STREQ(kxclip_gettext(), "hello world");
    // Left without Shift goes to the start of the selection and clears it.
    key(kxhostkey::left);
    EXPECT_FALSE(a.has_selection());
    EXPECT_EQ(a.position(), 0);
    // Shift+Right twice selects "he".
    kxheadless_keydown(host(), kxhostkey::shift);
    key(kxhostkey::right);
    key(kxhostkey::right);
    kxheadless_keyup(host(), kxhostkey::shift);
    pump();
    kxtest_event(a, KX_EV_COPY);
    EXPECT_STREQ(kxclip_gettext(), "he");
    // A drag from the start to the pointer selects what lies between.
    // Positions round to the nearest gap: half an 'm' counts as a whole.
    int w = kxfont_charwidth(a.font, 'h') + kxfont_charwidth(a.font, 'e') +
            kxfont_charwidth(a.font, 'l') - kxfont_charwidth(a.font, 'm') / 2;
    kxheadless_move(host(), 15, 15);
    kxheadless_press(host(), 1, 14, 15);
    kxheadless_move(host(), 14 + w, 15);
    kxheadless_release(host(), 1, 14 + w, 15);
    pump();
    kxtest_event(a, KX_EV_COPY);
    EXPECT_STREQ(kxclip_gettext(), "hel");
    EXPECT_EQ(a.position(), 3);
    // Typing replaces the selection; Backspace and Delete edit around the cursor.
    type("J");
    EXPECT_STREQ(a.get_text(), "Jlo world");
    type("\b");
    key(kxhostkey::del);
    EXPECT_STREQ(a.get_text(), "o world");
    // Cut with everything selected empties the field.
    type("\x01");
    kxtest_event(a, KX_EV_CUT);
    EXPECT_STREQ(kxclip_gettext(), "o world");
    EXPECT_STREQ(a.get_text(), "");
}

TEST_F(LineInputTest, CtrlXTakesOnlyTheSelectionAndWithoutOneTheWholeText)
{
    a.create("x=10,y=10,xs=200,default=abcdef");
    click(50, 15);
    key(kxhostkey::home);
    key(kxhostkey::right);
    kxheadless_keydown(host(), kxhostkey::shift);
    key(kxhostkey::right);
    key(kxhostkey::right);
    kxheadless_keyup(host(), kxhostkey::shift);
    pump();
    type("\x18");  // Ctrl+X
    EXPECT_STREQ(kxclip_gettext(), "bc");
    EXPECT_STREQ(a.get_text(), "adef");
    EXPECT_EQ(a.position(), 1);
    EXPECT_FALSE(a.has_selection());
    type("X");
    EXPECT_STREQ(a.get_text(), "aXdef");
    type("\x18");
    EXPECT_STREQ(kxclip_gettext(), "");
    EXPECT_STREQ(a.get_text(), "");
}

TEST_F(LineInputTest, TheCursorBlinksAndLeavesNoTrace)
{
    a.create("x=10,y=10,xs=100,default=ab");
    click(60, 15);
    ASSERT_TRUE(a.focused);
    const int cx = a.geom.x + a.cursorx, cy = a.geom.y + a.geom.ys / 2;
    // Shown right after the click, then hidden and shown every 500 ms.
    EXPECT_EQ(pixel(cx, cy), a.textcolor);
    run_ms(KX_LINEINPUT_BLINK_MS);
    EXPECT_EQ(pixel(cx, cy), a.bgcolor);
    run_ms(KX_LINEINPUT_BLINK_MS);
    EXPECT_EQ(pixel(cx, cy), a.textcolor);
    EXPECT_EQ(kxheadless_screen_pixel(host(), cx, cy), a.textcolor);
    kxtest_event(a, KX_EV_SNAPSHOT);
    EXPECT_EQ(pixel(cx, cy), a.bgcolor);
    // Leaving the field stops the timer.
    int timers = kxtimer_count();
    kxtest_event(a, KX_EV_FOCUS_OUT);
    EXPECT_EQ(kxtimer_count(), timers - 1);
    run_ms(2 * KX_LINEINPUT_BLINK_MS);
    EXPECT_EQ(pixel(cx, cy), a.bgcolor);
}

TEST_F(LineInputTest, RightAlignedTextEndsAtTheRightEdge)
{
    a.create("x=10,y=10,xs=100,align=right,default=1");
    int w = kxfont_charwidth(a.font, '1');
    // The glyph's cell ends 2 pixels before the right edge.
    bool ink = false;
    for (int y = 10; y < 10 + a.geom.ys; y++)
        for (int x = 10 + 100 - 2 - w; x < 10 + 100 - 2; x++)
            ink |= pixel(x, y) == a.textcolor;
    EXPECT_TRUE(ink);
    EXPECT_EQ(pixel(16, 10 + a.geom.ys / 2), a.bgcolor);
}

} // namespace
