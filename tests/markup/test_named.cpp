// Widgets of markup pages reached by name: the type rules of each operation.
#include <gtest/gtest.h>

#include <string>

#include "core/button.h"
#include "io/terminal.h"
#include "markup/named.h"
#include "markup/table.h"
#include "markup_support.h"
#include "widgets/checkbox.h"
#include "widgets/combobox.h"
#include "widgets/editor.h"
#include "widgets/listbox.h"
#include "widgets/updown.h"

namespace {

using Named = MarkupTest;

TEST_F(Named, TheSettingsDialogsNamesAreReadAndSet)
{
    open("t,x=0,y=0,xs=300,ys=200");
    kxgui_setcontent(gui, DIALOG_PAGE);
    EXPECT_TRUE(kxgui_setint(gui, "udPort", 3));
    auto *ud = static_cast<kxUpDownControl *>(kxgui_find(gui, "udPort"));
    ASSERT_NE(ud, nullptr);
    EXPECT_STREQ(ud->get_text(), "3");
    EXPECT_EQ(kxgui_getint(gui, "udPort"), 3);
    // The up-down control keeps its limits.
    EXPECT_TRUE(kxgui_setint(gui, "udPort", 999));
    EXPECT_EQ(kxgui_getint(gui, "udPort"), 255);
    EXPECT_TRUE(kxgui_settext(gui, "cbBaud", "9600"));
    char text[32] = "unchanged";
    EXPECT_TRUE(kxgui_gettext(gui, "cbBaud", text, sizeof text));
    EXPECT_STREQ(text, "9600");
    EXPECT_EQ(kxgui_getint(gui, "cbBaud"), 3);
    EXPECT_TRUE(kxgui_setint(gui, "cbBaud", 6));
    EXPECT_TRUE(kxgui_gettext(gui, "cbBaud", text, sizeof text));
    EXPECT_STREQ(text, "115200");
    // A small buffer is cut, never overrun.
    char small[4];
    EXPECT_TRUE(kxgui_gettext(gui, "cbBaud", small, sizeof small));
    EXPECT_STREQ(small, "115");
}

TEST_F(Named, FiredComparesTheOwnerOfTheEventWithTheName)
{
    open("t,x=0,y=0,xs=300,ys=200");
    kxgui_setcontent(gui, DIALOG_PAGE);
    auto *ok = static_cast<kxButton *>(kxgui_find(gui, "btOK"));
    ASSERT_NE(ok, nullptr);
    EXPECT_TRUE(kxgui_fired(gui, ok->ids[0], "btOK"));
    EXPECT_FALSE(kxgui_fired(gui, ok->ids[0], "btCancel"));
    EXPECT_FALSE(kxgui_fired(gui, ok->ids[1], "btOK"));  // only the main id
    EXPECT_FALSE(kxgui_fired(gui, 12345, "btOK"));
    EXPECT_FALSE(kxgui_fired(gui, ok->ids[0], nullptr));
    // A click on the button reaches the queue with the same id.
    kxheadless_move(&win->plat, ok->geom.x + 5, ok->geom.y + 5);
    kxheadless_click(&win->plat, 1, ok->geom.x + 5, ok->geom.y + 5);
    kxsys_pump_all();
    int fired = 0;
    while (int id = kxevent_poll())
        fired += kxgui_fired(gui, id, "btOK");
    EXPECT_EQ(fired, 1);
}

TEST_F(Named, NamesAreExactAndCaseSensitive)
{
    open("t,x=0,y=0,xs=300,ys=200");
    kxgui_setcontent(gui, DIALOG_PAGE);
    EXPECT_EQ(kxgui_find(gui, "btok"), nullptr);
    EXPECT_EQ(kxgui_find(gui, "btO"), nullptr);
    EXPECT_EQ(kxgui_find(gui, "btOK "), nullptr);
    EXPECT_EQ(kxgui_find(gui, nullptr), nullptr);
    EXPECT_FALSE(kxgui_setint(gui, "UDPORT", 5));
    EXPECT_EQ(kxgui_getint(gui, "udport"), 0);
    char text[8] = "same";
    EXPECT_FALSE(kxgui_gettext(gui, "CBBAUD", text, sizeof text));
    EXPECT_STREQ(text, "same");
}

TEST_F(Named, ATableOnlyNameGivesNothingAndTheFirstSupportingElementWins)
{
    open();
    kxgui_setcontent(gui, "<table=tab>a,b\n</table><table=dup>x\n</table>"
                          "<lineinput=dup,xs=80,default=17><lineinput=dup,xs=80,default=99>");
    EXPECT_NE(kxgui_find(gui, "tab"), nullptr);
    EXPECT_EQ(kxgui_getint(gui, "tab"), 0);
    EXPECT_FALSE(kxgui_setint(gui, "tab", 4));
    char text[16];
    EXPECT_FALSE(kxgui_gettext(gui, "tab", text, sizeof text));
    // find takes the first of any type (the table), the value operations pass
    // over it to the first line input.
    EXPECT_EQ(kxgui_find(gui, "dup"), kxgui_element(gui, 1)->widget);
    EXPECT_STREQ(kxgui_element(gui, 1)->type, "table");
    EXPECT_EQ(kxgui_getint(gui, "dup"), 17);
    EXPECT_TRUE(kxgui_setint(gui, "dup", -5));
    EXPECT_TRUE(kxgui_gettext(gui, "dup", text, sizeof text));
    EXPECT_STREQ(text, "-5");
    EXPECT_STREQ(static_cast<kxLineInput *>(kxgui_element(gui, 3)->widget)->get_text(), "99");
}

TEST_F(Named, EachTypeAnswersByItsOwnRule)
{
    open();
    kxgui_setcontent(gui, "<checkbox=cb,Haken><button=bt,Knopf><y=60><save=mark>"
                          "<listbox=lb,xs=100,ys=60><terminal=term,lines=3,xs=200>");
    EXPECT_EQ(kxgui_getint(gui, "cb"), 0);
    EXPECT_TRUE(kxgui_setint(gui, "cb", 7));
    EXPECT_EQ(kxgui_getint(gui, "cb"), 1);
    EXPECT_TRUE(kxgui_setint(gui, "bt", 1));
    EXPECT_EQ(kxgui_getint(gui, "bt"), 1);
    EXPECT_EQ(kxgui_getint(gui, "mark"), 60);
    EXPECT_FALSE(kxgui_setint(gui, "mark", 3));  // marks are read only
    // An empty list box has no selection; its text stays as it was.
    EXPECT_EQ(kxgui_getint(gui, "lb"), -1);
    char text[16] = "before";
    EXPECT_TRUE(kxgui_gettext(gui, "lb", text, sizeof text));
    EXPECT_STREQ(text, "before");
    auto *lb = static_cast<kxListBox *>(kxgui_find(gui, "lb"));
    ASSERT_NE(lb, nullptr);
    lb->add_line("eins");
    lb->add_line("zwei");
    EXPECT_TRUE(kxgui_setint(gui, "lb", -3));
    EXPECT_EQ(kxgui_getint(gui, "lb"), 0);
    EXPECT_TRUE(kxgui_setint(gui, "lb", 1));
    EXPECT_TRUE(kxgui_gettext(gui, "lb", text, sizeof text));
    EXPECT_STREQ(text, "zwei");
    // A terminal takes text, gives no number and no text.
    EXPECT_TRUE(kxgui_settext(gui, "term", "Hallo"));
    auto *term = static_cast<kxTerminal *>(kxgui_find(gui, "term"));
    ASSERT_NE(term, nullptr);
    EXPECT_EQ(kxterm_cell(term, 0, term->top).ch, 'H');
    EXPECT_EQ(kxgui_getint(gui, "term"), 0);
    EXPECT_FALSE(kxgui_gettext(gui, "term", text, sizeof text));
    EXPECT_FALSE(kxgui_settext(gui, "cb", "1"));  // check boxes take no text
    EXPECT_FALSE(kxgui_settext(gui, "missing", "x"));
}

} // namespace

namespace {

TEST_F(MarkupTest, SwitchButtonSlideTabBarAndProgressBarByName)
{
    open();
    std::string out = kxtest_stdout([&] {
        kxgui_setcontent(gui,
                         "<switchbutton=swEcho,Echo,xs=80><slide=slLevel,xs=134><br><br>"
                         "<progressbar=pbDone,xs=200><br><br><tabbar=tbPages,tabs=Eins|Zwei|Drei>");
    });
    EXPECT_EQ(out.find("skipped"), std::string::npos) << out;
    ASSERT_NE(kxgui_find(gui, "swEcho"), nullptr);
    ASSERT_NE(kxgui_find(gui, "slLevel"), nullptr);
    ASSERT_NE(kxgui_find(gui, "pbDone"), nullptr);
    ASSERT_NE(kxgui_find(gui, "tbPages"), nullptr);
    // Text after a switch button or slide follows its right edge.
    const auto *sw = static_cast<const kxwidget *>(kxgui_find(gui, "swEcho"));
    const auto *sl = static_cast<const kxwidget *>(kxgui_find(gui, "slLevel"));
    EXPECT_EQ(sl->geom.x, sw->geom.x + sw->geom.xs);
    EXPECT_EQ(kxgui_getint(gui, "swEcho"), 0);
    EXPECT_TRUE(kxgui_setint(gui, "swEcho", 5));
    EXPECT_EQ(kxgui_getint(gui, "swEcho"), 1);
    EXPECT_TRUE(kxgui_setint(gui, "slLevel", 70));
    EXPECT_EQ(kxgui_getint(gui, "slLevel"), 70);
    EXPECT_TRUE(kxgui_settext(gui, "slLevel", "25"));
    EXPECT_EQ(kxgui_getint(gui, "slLevel"), 25);
    EXPECT_TRUE(kxgui_setint(gui, "pbDone", 40));
    EXPECT_EQ(kxgui_getint(gui, "pbDone"), 40);
    EXPECT_TRUE(kxgui_setint(gui, "tbPages", 2));
    EXPECT_EQ(kxgui_getint(gui, "tbPages"), 2);
    // A progress bar fires no events, so no id is ever its.
    EXPECT_FALSE(kxgui_fired(gui, 0, "pbDone"));
}

TEST_F(MarkupTest, AnEditorTakesAndGivesItsWholeText)
{
    open();
    kxgui_setcontent(gui, "<editor=edNotes,lines=4,columns=30><editor=edNotes,lines=2,columns=9>"
                          "<lineinput=edNotes,xs=50>");
    auto *ed = static_cast<kxEdit *>(kxgui_find(gui, "edNotes"));
    ASSERT_NE(ed, nullptr);
    EXPECT_EQ(ed->lines, 4);
    EXPECT_TRUE(kxgui_settext(gui, "edNotes", "erste Zeile\n\nletzte"));
    // The first element of the name takes it; the second editor stays empty.
    EXPECT_EQ(ed->get_text(), "erste Zeile\n\nletzte\n");
    EXPECT_EQ(static_cast<kxEdit *>(kxgui_element(gui, 1)->widget)->get_text(), "\n");
    char text[64] = {};
    EXPECT_TRUE(kxgui_gettext(gui, "edNotes", text, sizeof text));
    EXPECT_STREQ(text, "erste Zeile\n\nletzte\n");
    // A short buffer is cut.
    char small[6];
    EXPECT_TRUE(kxgui_gettext(gui, "edNotes", small, sizeof small));
    EXPECT_STREQ(small, "erste");
    // No number of its own: the search goes on to the line input.
    static_cast<kxLineInput *>(kxgui_element(gui, 2)->widget)->set_text("12");
    EXPECT_EQ(kxgui_getint(gui, "edNotes"), 12);
    // Its ids never make it the element that fired, not even its main id.
    EXPECT_FALSE(kxgui_fired(gui, ed->ids[0], "edNotes"));
}

} // namespace
