// Markup pages laid out in a window on the headless host.
#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <string>

#include "core/button.h"
#include "core/cfgstr.h"
#include "core/target.h"
#include "graphics/font.h"
#include "graphics/text.h"
#include "io/terminal.h"
#include "markup/named.h"
#include "markup/table.h"
#include "markup_support.h"
#include "widgets/combobox.h"
#include "widgets/editor.h"
#include "widgets/updown.h"

namespace {

using GuiScript = MarkupTest;

TEST_F(GuiScript, TheApplicationsMainPageHoldsItsTableTerminalAndFooter)
{
    open();
    std::string log = kxtest_output_dir() + "/markup_main.log";
    int end = kxgui_setcontent(gui, MAIN_PAGE, log.c_str());
    auto *tab = static_cast<kxTable *>(kxgui_find(gui, "tab"));
    auto *term = static_cast<kxTerminal *>(kxgui_find(gui, "term"));
    ASSERT_NE(tab, nullptr);
    ASSERT_NE(term, nullptr);
    EXPECT_EQ(tab->columns, 3);
    EXPECT_EQ(tab->rows, 15);
    // The text wraps into several lines above the table; the terminal follows it.
    const int lh = kxfont_height(gui->normalfont);
    EXPECT_GT(tab->y, 10 + 3 * lh);
    EXPECT_EQ(term->geom.y, tab->y + 15 * tab->lineheight - 2);
    EXPECT_EQ(term->geom.x, 10);
    EXPECT_LE(term->geom.y + term->geom.ys, 560);
    // The footer is drawn in the small font at 565, 560 and is the page's end.
    EXPECT_EQ(end, 560);
    EXPECT_GT(inked(565, 560, 700, 567), 0);
    ASSERT_NE(kxfont_get(gui->font), nullptr);
    EXPECT_STREQ(kxfont_get(gui->font)->name, "5x7");
    // Row 5's button belongs to the table, not to the markup's names.
    kxtablecell *c = kxtable_cell(tab, 2, 5);
    ASSERT_NE(c, nullptr);
    ASSERT_NE(c->button, nullptr);
    EXPECT_EQ(kxtable_rowevent(tab, c->button->ids[0], 5), 2);
    EXPECT_FALSE(kxgui_fired(gui, c->button->ids[0], "tab"));
    EXPECT_TRUE(kxtest_write_ppm(kxtest_output_dir() + "/markup_main.ppm", win->plat.pixmap));
}

// Each page change on a shown window is one screen copy, made when the page
// is complete: the screen then shows exactly the window's pixmap.
TEST_F(GuiScript, ContentSetOnALiveWindowReachesTheScreenOnceComplete)
{
    open("t,x=0,y=0,xs=700,ys=570,bgcolor=white");
    const kxllgui_window *host = &win->plat;
    auto screen_is_pixmap = [&] {
        for (int y = 0; y < host->pixmap.height; y++)
            for (int x = 0; x < host->pixmap.width; x++)
                if (kxheadless_screen_pixel(host, x, y) != kxpxmap_getpixel(&host->pixmap, x, y))
                    return false;
        return true;
    };
    const std::string log = kxtest_output_dir() + "/markup_live.log";
    int shows = kxheadless_shows(host);
    kxgui_setcontent(gui, DIALOG_PAGE);
    EXPECT_EQ(kxheadless_shows(host), shows + 1);
    EXPECT_TRUE(screen_is_pixmap());
    shows = kxheadless_shows(host);
    kxgui_setcontent(gui, MAIN_PAGE, log.c_str());  // replaces the dialog's widgets
    EXPECT_EQ(kxheadless_shows(host), shows + 1);
    EXPECT_TRUE(screen_is_pixmap());
    // Text drawn last into an embedded view is on the screen as well.
    shows = kxheadless_shows(host);
    kxgui_setcontent(gui, "oben<br><view=v,xs=200,ys=60,bgcolor=white><standardview=v>"
                          "<y=5>im Fenster");
    EXPECT_EQ(kxheadless_shows(host), shows + 1);
    EXPECT_TRUE(screen_is_pixmap());
    const auto *v = static_cast<const kxwidget *>(kxgui_find(gui, "v"));
    ASSERT_NE(v, nullptr);
    int ink = 0;
    for (int y = v->geom.y; y < v->geom.y + v->geom.ys; y++)
        for (int x = v->geom.x; x < v->geom.x + v->geom.xs; x++)
            ink += kxheadless_screen_pixel(host, x, y) == 0;
    EXPECT_GT(ink, 0);
    EXPECT_FALSE(kxbuild_active());
}

TEST_F(GuiScript, TheSettingsDialogPlacesItsWidgets)
{
    open("t,x=0,y=0,xs=300,ys=200");
    kxgui_setcontent(gui, DIALOG_PAGE);
    auto *ud = static_cast<kxUpDownControl *>(kxgui_find(gui, "udPort"));
    auto *cb = static_cast<kxComboBox *>(kxgui_find(gui, "cbBaud"));
    auto *ok = static_cast<kxButton *>(kxgui_find(gui, "btOK"));
    auto *cancel = static_cast<kxButton *>(kxgui_find(gui, "btCancel"));
    ASSERT_TRUE(ud && cb && ok && cancel);
    EXPECT_EQ(ud->geom.x, 200);
    EXPECT_EQ(ud->geom.xs, 80);
    EXPECT_EQ(cb->geom.x, 200);
    EXPECT_GT(cb->geom.y, ud->geom.y);
    // The attributes hold their own x: 25% and 75% of the width, 40% wide.
    EXPECT_EQ(ok->geom.xs, 120);
    EXPECT_LT(ok->geom.x, cancel->geom.x);
    EXPECT_STREQ(ok->caption, "OK");
    EXPECT_STREQ(cancel->caption, "Abbrechen");
    EXPECT_GT(ok->geom.y, cb->geom.y);
}

TEST_F(GuiScript, AnUpDownSitsFourPixelsAboveTheLineAndTextFollowsItsRightEdge)
{
    open();
    kxgui_setcontent(gui, "<x=200><updowncontrol=udPort,xs=80,min=1,max=255>W");
    auto *ud = static_cast<kxUpDownControl *>(kxgui_find(gui, "udPort"));
    ASSERT_NE(ud, nullptr);
    EXPECT_EQ(ud->geom.x, 200);
    EXPECT_EQ(ud->geom.y, -4);  // the page starts at y 0
    EXPECT_EQ(gui->x, 280 + kxtext_width(gui->normalfont, "W"));
}

TEST_F(GuiScript, BoldWordsStayOnTheLineAndTheNextWordIsNormal)
{
    open();
    kxgui_setcontent(gui, "a <b>Fett</b> normal");
    const int a = kxtext_width(gui->normalfont, "a") + kxtext_width(gui->normalfont, " ");
    // The space after "/b" is a word of its own, in the normal font.
    const int fett = kxtext_width(gui->boldfont, "Fett") + kxtext_width(gui->normalfont, " ");
    EXPECT_NE(gui->normalfont, gui->boldfont);
    EXPECT_EQ(gui->x, 10 + a + fett + kxtext_width(gui->normalfont, "normal"));
    EXPECT_EQ(gui->y, 0);
}

TEST_F(GuiScript, AWordThatDoesNotFitStartsTheNextLine)
{
    open("t,x=0,y=0,xs=200,ys=200,bgcolor=white");
    std::string text;
    for (int i = 0; i < 20; i++)
        text += "Wort ";
    kxgui_setcontent(gui, "%s", text.c_str());
    const int lh = kxfont_height(gui->normalfont);
    EXPECT_GE(gui->y, 2 * lh);
    EXPECT_LE(gui->x, 200 - 20);
    // Nothing is drawn right of the right border.
    EXPECT_EQ(inked(181, 0, 200, gui->y + lh), 0);
    EXPECT_GT(inked(10, lh, 180, 2 * lh), 0);
}

TEST_F(GuiScript, PercentSignsSurviveAndDirectivesTakeArguments)
{
    open();
    kxgui_setcontent(gui, "<button=b1,%s,x=50%,xs=10%><y=33><save=m%d>", "Knopf", 7);
    auto *b = static_cast<kxButton *>(kxgui_find(gui, "b1"));
    ASSERT_NE(b, nullptr);
    EXPECT_STREQ(b->caption, "Knopf");
    EXPECT_EQ(b->geom.x, 350 - 35);  // a percentage places the centre
    EXPECT_EQ(b->geom.xs, 70);
    EXPECT_EQ(kxgui_getint(gui, "m7"), 33);
    EXPECT_EQ(kxgui_element(gui, 1)->used, 1);
    EXPECT_STREQ(kxgui_element(gui, 1)->type, "ypoint");
}

TEST_F(GuiScript, CreateFormatsOnceAndFontsPairWithTheirBoldFace)
{
    open();
    kxgui_create(gui, "<button=b,%s>", "50%d");
    auto *b = static_cast<kxButton *>(kxgui_find(gui, "b"));
    ASSERT_NE(b, nullptr);
    EXPECT_STREQ(b->caption, "50%d");
    kxgui_setcontent(gui, "<font=Arial12>a<b>b");
    ASSERT_NE(kxfont_get(gui->boldfont), nullptr);
    EXPECT_STREQ(kxfont_get(gui->boldfont)->name, "Arial12b");
    EXPECT_EQ(gui->font, gui->boldfont);
    kxgui_setcontent(gui, "<font=var13>a");
    EXPECT_EQ(gui->boldfont, gui->normalfont);
    // An unknown font is reported once and leaves a usable page.
    std::string out = kxtest_stdout([&] { kxgui_setcontent(gui, "<font=Nirgends>a"); });
    EXPECT_NE(out.find("kxgui: font Nirgends not found\n"), std::string::npos);
}

TEST_F(GuiScript, SettingContentTwiceDestroysTheFirstPagesWidgets)
{
    open();
    kxgui_setcontent(gui, "<button=one,Eins>");
    auto *first = static_cast<kxButton *>(kxgui_find(gui, "one"));
    ASSERT_NE(first, nullptr);
    const int firstid = first->ids[0];
    kxgui_setcontent(gui, "<button=two,Zwei>");
    EXPECT_EQ(kxgui_find(gui, "one"), nullptr);
    ASSERT_NE(kxgui_find(gui, "two"), nullptr);
    EXPECT_FALSE(kxgui_fired(gui, firstid, "one"));
    EXPECT_EQ(kxgui_setcontent(gui, ""), 0);
    EXPECT_EQ(kxgui_find(gui, "two"), nullptr);
}

TEST_F(GuiScript, TextAfterATerminalStartsFiveBelowItAtTheLeftBorder)
{
    open();
    kxgui_setcontent(gui, "<x=40><terminal=t,lines=3,xs=300>after");
    auto *t = static_cast<kxTerminal *>(kxgui_find(gui, "t"));
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->geom.x, 40);
    EXPECT_EQ(t->geom.y, -2);
    EXPECT_EQ(gui->y, t->geom.y + t->geom.ys + 5);
    EXPECT_EQ(gui->x, 10 + kxtext_width(gui->normalfont, "after"));
}

TEST_F(GuiScript, AnEditorSitsFourPixelsAboveTheLineAndTextContinuesBelowIt)
{
    open();
    std::string out = kxtest_stdout(
        [&] { kxgui_setcontent(gui, "<x=40><editor=ed,lines=3,columns=20>after"); });
    EXPECT_EQ(out.find("skipped"), std::string::npos) << out;
    auto *ed = static_cast<kxEdit *>(kxgui_find(gui, "ed"));
    ASSERT_NE(ed, nullptr);
    EXPECT_EQ(ed->geom.x, 40);
    EXPECT_EQ(ed->geom.y, -4);
    EXPECT_EQ(ed->columns, 20);
    EXPECT_EQ(gui->y, ed->geom.y + ed->geom.ys);
    EXPECT_EQ(gui->x, 10 + kxtext_width(gui->normalfont, "after"));
    // Its own x keeps the line's y.
    kxgui_setcontent(gui, "text<editor=ed2,x=100,lines=2,columns=5>");
    auto *ed2 = static_cast<kxEdit *>(kxgui_find(gui, "ed2"));
    ASSERT_NE(ed2, nullptr);
    EXPECT_EQ(ed2->geom.x, 100);
    EXPECT_EQ(ed2->geom.y, -4);
}

TEST_F(GuiScript, TagsWithoutTextMakeNoWordsAndPositionTagsMove)
{
    open();
    kxgui_setcontent(gui, "<x=100><y=50><xinc=5><yinc=7><ydec=2>");
    EXPECT_EQ(gui->x, 105);
    EXPECT_EQ(gui->y, 55);
    EXPECT_EQ(gui->firsty, -1);  // nothing was placed
    kxgui_setcontent(gui, "<y=100><save=top><y=300><restore=top><xsave=l><x=5><xrestore=l>");
    EXPECT_EQ(gui->y, 100);
    EXPECT_EQ(gui->x, 10);
    kxgui_setcontent(gui, "<y=10%><x=10%><offset=4><leftborder=30><hline>");
    EXPECT_EQ(gui->y, 57 + 4 + 12);
    EXPECT_EQ(gui->x, 30);
    EXPECT_EQ(pixel(40, 57 + 4 + 5), 0xD0D0D0);
    EXPECT_EQ(pixel(40, 57 + 4 + 6), 0xF0F0F0);
}

TEST_F(GuiScript, FillrectCharsAndAnUnknownPicture)
{
    open();
    kxgui_setcontent(gui, "<x=20><y=30><fillrect=10,5,ff0000><achar=CQ>");
    EXPECT_EQ(pixel(20, 30), 0xFF0000);
    EXPECT_EQ(pixel(29, 34), 0xFF0000);
    EXPECT_EQ(pixel(30, 34), 0xFFFFFF);
    EXPECT_EQ(gui->textcolor, 0xFF0000);
    EXPECT_EQ(gui->x, 20 + kxtext_width(gui->normalfont, "Q"));
    kxgui_setcontent(gui, "<image=/nonexistent/bild.bmp>");
    EXPECT_GT(gui->y, 0);  // the not-found text ends with a line feed
    EXPECT_GT(inked(10, 0, 690, 20), 0);
}

TEST_F(GuiScript, InMemoryPicturesMustBeAnnounced)
{
    open();
    static const char *const dot[] = {"2 3 1 1", "x c #00ff00", "xx", "xx", "xx", nullptr};
    char page[100];
    std::snprintf(page, sizeof page, "<x=50><y=40><image_xpm=%p>", static_cast<const void *>(dot));
    std::string out = kxtest_stdout([&] { kxgui_setcontent(gui, "%s", page); });
    EXPECT_NE(out.find("unknown image address"), std::string::npos);
    EXPECT_EQ(pixel(50, 40), 0xFFFFFF);
    kxgui_allowimage(dot);
    kxgui_setcontent(gui, "%s", page);
    EXPECT_EQ(pixel(50, 40), 0x00FF00);
    EXPECT_EQ(gui->y, 43);
    kxgui_forbidimage(dot);
}

TEST_F(GuiScript, CentredTextLinksAndBullets)
{
    open();
    kxgui_setcontent(gui, "<y=100><center>Mitte\n</center>");
    const int w = kxtext_width(gui->normalfont, "Mitte");
    const int x = 10 + (700 - 20 - 10 - w) / 2;
    const int lh = kxfont_height(gui->normalfont);
    EXPECT_EQ(gui->y, 100 + lh);
    EXPECT_GT(inked(x, 100, x + w, 100 + lh), 0);
    EXPECT_EQ(inked(0, 100, x - 1, 100 + lh), 0);
    EXPECT_EQ(inked(x + w + 1, 100, 700, 100 + lh), 0);

    kxgui_setcontent(gui, "<x=650><link=l1,Verweis><bullet=1>");
    auto *l = static_cast<kxButton *>(kxgui_find(gui, "l1"));
    ASSERT_NE(l, nullptr);
    EXPECT_STREQ(kxgui_element(gui, 0)->type, "link");
    // It does not fit before the right border, so it starts the next line.
    EXPECT_EQ(l->geom.x, 10);
    EXPECT_EQ(l->geom.y, lh);
    EXPECT_TRUE(l->hyperlink);
    EXPECT_TRUE(kxgui_fired(gui, l->ids[0], "l1"));
    const int bx = 10 + kxtext_width(gui->normalfont, "Verweis");
    EXPECT_EQ(pixel(bx + 2, lh + 4 + 2), 0x000000);  // the bullet, 4 below the line
    EXPECT_EQ(gui->x, 10 + 12);  // after the bullet
    EXPECT_EQ(gui->y, lh);
}

TEST_F(GuiScript, ManyElementsGrowTheTable)
{
    open();
    std::string page;
    for (int i = 0; i < 10000; i++)
        page += "<save=p" + std::to_string(i) + ">";
    kxgui_setcontent(gui, page.c_str());
    ASSERT_GE(kxgui_elementcount(gui), 10000 + 10);
    EXPECT_STREQ(kxgui_element(gui, 9999)->name, "p9999");
    // A page longer than the formatting buffer is cut, not overrun.
    std::string out = kxtest_stdout([&] { kxgui_setcontent(gui, "%s", page.c_str()); });
    EXPECT_LT(kxgui_elementcount(gui), 10000);
}

TEST_F(GuiScript, HostileMarkupNeverFaults)
{
    open("t,x=0,y=0,xs=300,ys=200");
    const char *cases[] = {
        "<unterminated", "<x=99999999999999999999>W", "<y=-99999999999><yinc=2147483647>x",
        "<fillrect=>", "<fillrect=99999999,99999999,zz>", "<achar=>", "<achar=B>", "<char=>",
        "<button=>", "<button=,>", "<restore=nothing>", "<standardview=none>", "<table=t>a,b",
        "<center>nie beendet", "<font=doesnotexist>x", "<link=l>", "<bullet=1><bullet=2>",
        "<editor=e,lines=3>", "<editor=e,lines=999999999,columns=99999999,tabs=-4>",
        "<editor=e,xs=-50,ys=-9,font=none>", "<slide=s>", "<table=>\n-,-\n</table>", ">>><<<>>", "%",
        "<image_xpm=0x10>", "<memimage=zz>",
    };
    for (const char *c : cases) {
        kxtest_stdout([&] { kxgui_setcontent(gui, "%s", c); });
        EXPECT_GE(kxgui_elementcount(gui), KX_GUI_ELEMENTS) << c;
    }
    // A seeded random mix of tag pieces and text.
    const char *pieces[] = {"<", ">", "=", ",", "b", "/b", "x", "y", "%", "%d", "button",
                            "lineinput", "table", "/table", "center", "/center", "\n", " ",
                            "-", "#edit", "999999999", "save", "restore", "font", "br", "hline",
                            "terminal", "checkbox", "listbox", "combobox", "achar", "fillrect",
                            "editor"};
    std::mt19937 rng(12345);
    for (int round = 0; round < 100; round++) {
        std::string page;
        for (int i = 0; i < 60; i++)
            page += pieces[rng() % (sizeof pieces / sizeof *pieces)];
        kxtest_stdout([&] { kxgui_setcontent(gui, "%s", page.c_str()); });
    }
    kxgui_clear(gui);
    EXPECT_FALSE(gui->content);
}

// Positions far out of range (found by fuzzing: y=3333333433%) are held where
// the sums every widget forms of them still fit an int.
TEST_F(GuiScript, HugeGeometryInEveryWidgetTypeStaysWithinTheLimit)
{
    open("t,x=0,y=0,xs=300,ys=200");
    const char *types[] = {"button", "switchbutton", "lineinput", "updowncontrol", "progressbar",
                           "slide",  "checkbox",     "combobox",  "listbox",       "editor",
                           "tabbar", "view",         "terminal"};
    // The markup gives y itself; x, xs and ys are the widget's own.
    const char *geometry[] = {"x=3333333433%", "x=-3333333433%,xs=3333333433%,ys=3333333433%",
                              "x=2000000000,xs=2000000000,ys=2000000000"};
    for (const char *t : types)
        for (const char *g : geometry) {
            const std::string page = std::string("<") + t + "=n,A," + g + ">text";
            SCOPED_TRACE(page);
            kxtest_stdout([&] { kxgui_setcontent(gui, "%s", page.c_str()); });
            kxsys_pump_all();
            const auto *w = static_cast<const kxwidget *>(kxgui_find(gui, "n"));
            ASSERT_NE(w, nullptr);
            EXPECT_LE(std::abs(w->geom.x), KX_GEOMETRY_LIMIT);
            EXPECT_LE(std::abs(w->geom.y), KX_GEOMETRY_LIMIT);
            EXPECT_LE(w->geom.xs, KX_GEOMETRY_LIMIT);
            EXPECT_LE(w->geom.ys, KX_GEOMETRY_LIMIT);
        }
}

} // namespace
