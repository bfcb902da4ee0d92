#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "base/cfgtext.h"
#include "core/cfgkeys.h"
#include "core/cfgstr.h"
#include "core/target.h"
#include "graphics/cfgkeys.h"
#include "graphics/colours.h"
#include "graphics/font.h"
#include "io/cfgkeys.h"
#include "print/cfgkeys.h"
#include "support.h"
#include "widgets/cfgkeys.h"

namespace {

// An attribute string split into a stack block, as a create operation does.
struct Toks {
    alignas(char *) unsigned char block[KX_CFG_SPLIT_BLOCK];
    char **t;
    explicit Toks(const char *s) : t(kxcfgstr_split(s, block, sizeof block)) {}
    std::vector<std::string> left() const
    {
        std::vector<std::string> v;
        for (char **p = t; *p; p++)
            v.emplace_back(*p);
        return v;
    }
    std::string rest(int start = 0) const
    {
        char out[KX_CFG_TEXT];
        kxcfgstr_rest(t, start, out, sizeof out);
        return out;
    }
};

kxgeometry geo(const char *s, int w, int h, bool *xgiven = nullptr)
{
    Toks k(s);
    kxgeometry g;
    kxcfgstr_resetgeometry(&g, w, h);
    bool x = kxcfgstr_geometry(k.t, 0, &g);
    if (xgiven)
        *xgiven = x;
    kxcfgstr_resolve(&g);
    return g;
}

std::vector<std::string> entries(const char *list)
{
    std::vector<std::string> v;
    char e[64];
    for (const char *p = list; (p = kxcfgstr_nextentry(p, e, sizeof e));)
        v.emplace_back(e);
    return v;
}

std::string attr(const char *fmt, ...)
{
    char out[KX_CFG_TEXT];
    va_list ap;
    va_start(ap, fmt);
    kxcfgstr_vattr(out, sizeof out, fmt, ap);
    va_end(ap);
    return out;
}

void prefix(kxwidget *w, kxcfgstr_tokens *t, bool caption, const char *fmt, ...)
{
    va_list ap;
    va_start(ap, fmt);
    kxcfgstr_vprefix(w, t, kxcfgstr_standard(), caption, fmt, ap);
    va_end(ap);
}

kxarg no_handler(void *, int, kxarg, kxarg, kxarg, kxarg, kxarg, kxarg, kxarg, kxarg) { return 0; }

} // namespace

// ---- formatting ---------------------------------------------------------

TEST(CfgFormat, StrayPercentSignsSurviveWhileConversionsStay)
{
    char out[64];
    kxcfgstr_escapepercent("x=50%,y=50%", out, sizeof out);
    EXPECT_STREQ(out, "x=50%%,y=50%%");
    EXPECT_EQ(attr("x=50%,y=50%"), "x=50%,y=50%");
    EXPECT_EQ(attr("xs=%d,bgcolor=%06x", 7, 0xff), "xs=7,bgcolor=0000ff");
    EXPECT_EQ(attr("%s,x", "OK"), "OK,x");
    EXPECT_EQ(attr("w=50%"), "w=50%");  // a trailing '%'
    EXPECT_EQ(attr("a%>b% c"), "a%>b% c");
    kxcfgstr_escapepercent("a%>b", out, sizeof out);
    EXPECT_STREQ(out, "a%%>b");
    EXPECT_EQ(attr("a%\xe4"), "a%\xe4");
    // Every '%' is looked at alone, so an already doubled pair doubles again.
    kxcfgstr_escapepercent("5%%", out, sizeof out);
    EXPECT_STREQ(out, "5%%%%");
}

TEST(CfgFormat, EscapingIsBoundedAndDropsAnOpenConversion)
{
    char out[8];
    std::memset(out, 'G', sizeof out);
    EXPECT_EQ(kxcfgstr_escapepercent("ab%,cdef", out, 4), 2u);  // no half pair
    EXPECT_STREQ(out, "ab");
    EXPECT_EQ(out[4], 'G');
    kxcfgstr_escapepercent("abc%06x", out, 6);  // cut inside the conversion
    EXPECT_STREQ(out, "abc");
    EXPECT_EQ(attr("x=%5"), "x=");  // a conversion without its letter
}

TEST(CfgFormat, LongTextIsCutAt999WithoutWritingPastTheBuffer)
{
    std::string longtext(5000, 'a');
    char buf[KX_CFG_TEXT + 32];
    std::memset(buf, 'G', sizeof buf);
    EXPECT_EQ(kxcfgstr_attr(buf, KX_CFG_TEXT, "%s", longtext.c_str()), 999);
    EXPECT_EQ(std::strlen(buf), 999u);
    for (std::size_t i = KX_CFG_TEXT; i < sizeof buf; i++)
        ASSERT_EQ(buf[i], 'G') << i;
    // A long literal format full of stray percent signs: the escaped copy is
    // bounded as well.
    std::string fmt;
    while (fmt.size() < 3000)
        fmt += "x=5%,";
    std::memset(buf, 'G', sizeof buf);
    EXPECT_EQ(kxcfgstr_attr(buf, KX_CFG_TEXT, fmt.c_str()), 999);
    EXPECT_EQ(std::string(buf, 10), "x=5%,x=5%,");
    EXPECT_EQ(buf[KX_CFG_TEXT], 'G');
}

// ---- splitting ----------------------------------------------------------

TEST(CfgSplit, EveryCommaSplitsAndNothingElse)
{
    EXPECT_EQ(Toks("Save, Load").left(), (std::vector<std::string>{"Save", " Load"}));
    EXPECT_TRUE(Toks("").left().empty());
    EXPECT_EQ(Toks(",,").left(), (std::vector<std::string>{"", "", ""}));
    EXPECT_EQ(Toks("x = 50 %").left(), (std::vector<std::string>{"x = 50 %"}));
}

TEST(CfgSplit, ATooSmallBlockIsRefusedAndLeftUntouched)
{
    const char *text = "a,bb,ccc";
    std::size_t need = kxcfgstr_splitsize(text);
    alignas(char *) unsigned char block[256];
    std::memset(block, 0x5A, sizeof block);
    std::size_t tight = need - (alignof(char *) - 1);  // exact size when aligned
    EXPECT_EQ(kxcfgstr_split(text, block, tight - 1), nullptr);
    for (unsigned char c : block)
        ASSERT_EQ(c, 0x5A);
    char **t = kxcfgstr_split(text, block, tight);
    ASSERT_NE(t, nullptr);
    EXPECT_STREQ(t[2], "ccc");
    EXPECT_EQ(t[3], nullptr);
    // A misaligned start still fits in the size the text asks for.
    t = kxcfgstr_split(text, block + 1, need);
    ASSERT_NE(t, nullptr);
    EXPECT_STREQ(t[1], "bb");
    EXPECT_EQ(kxcfgstr_split(text, nullptr, need), nullptr);
}

TEST(CfgSplit, AllocatedTokensTakeVeryLongValues)
{
    std::string text = "logfile=" + std::string(5000, 'f') + ",border=5,xs=" +
                       std::string(3000, '9') + ",,";
    char **t = kxcfgstr_splitalloc(text.c_str());
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(std::strlen(t[0]), 5008u);
    EXPECT_STREQ(t[3], "");
    EXPECT_EQ(t[5], nullptr);
    int border = 0;
    kxcfgstr_border(t, 0, &border);
    EXPECT_EQ(border, 5);
    kxtermattr term;
    kxcfgstr_terminal(t, 0, &term);
    EXPECT_EQ(std::strlen(term.logfile), KX_CFG_TEXT - 1 - 8);  // cut copy, value part
    kxgeometry g;
    kxcfgstr_resetgeometry(&g, 400, 300);
    kxcfgstr_geometry(t, 0, &g);
    kxcfgstr_resolve(&g);
    EXPECT_EQ(g.xs, 400);
    kxcfgstr_freesplit(t);
    kxcfgstr_freesplit(nullptr);
}

TEST(CfgSplit, RestJoinsTheTokensNoParserTook)
{
    Toks k("Title,x=10,noquit,bgcolor=white,nokeyscroll, spaced ");
    kxgeometry g;
    kxcfgstr_geometry(k.t, 1, &g);
    kxwindowattr w;
    kxcfgstr_window(k.t, 1, nullptr, &w);
    int bg = 0;
    kxcfgstr_bgcolor(k.t, 1, &bg);
    EXPECT_EQ(k.rest(1), ",nokeyscroll, spaced ");
    EXPECT_EQ(Toks("a,,b").rest(3), "");
    char small[9];
    kxcfgstr_rest(Toks("abc,defgh,i").t, 0, small, sizeof small);
    EXPECT_STREQ(small, ",abc");  // whole tokens only
}

// ---- geometry -----------------------------------------------------------

TEST(CfgGeometry, PercentBoxesAreCentredAndTouchInPixels)
{
    kxgeometry g = geo("x=50%,xs=40%", 101, 50);
    EXPECT_EQ(g.xs, 40);
    EXPECT_EQ(g.x, 30);
    g = geo("x = 50 %, xs = 40 percent", 101, 50);
    EXPECT_EQ(g.xs, 40);
    EXPECT_EQ(g.x, 30);
    g = geo("x=50%,y=50%,xs=100,ys=20", 301, 101);  // pixel size around a percent centre
    EXPECT_EQ(g.x, 100);
    EXPECT_EQ(g.y, 40);
    EXPECT_EQ(geo("x=50%,xs=101", 300, 10).x, 100);  // 150 - 101 / 2, a whole division
    g = geo("x=12.5%,xs=20", 200, 10);
    EXPECT_EQ(g.x, 15);
    // Both edges are truncated, so the halves of 7 pixels meet.
    kxgeometry left = geo("x=25%,xs=50%", 7, 1), right = geo("x=75%,xs=50%", 7, 1);
    EXPECT_EQ(left.x, 0);
    EXPECT_EQ(left.xs, 3);
    EXPECT_EQ(right.x, 3);
    EXPECT_EQ(right.xs, 4);
}

TEST(CfgGeometry, SizesAreCutToTheContainerThenLimited)
{
    EXPECT_EQ(geo("xs=500", 300, 100).xs, 300);
    EXPECT_EQ(geo("xs=500,maxxs=200", 300, 100).xs, 200);
    EXPECT_EQ(geo("xs=10,minxs=50", 300, 100).xs, 50);
    EXPECT_EQ(geo("ys=80,maxysize=30.9", 300, 100).ys, 30);
    EXPECT_EQ(geo("xs=-40", 300, 100).xs, 0);
}

TEST(CfgGeometry, UnitsAndThePixelKeywords)
{
    EXPECT_EQ(geo("xs=50percent", 200, 100).xs, 100);  // x not in percent: W x xs / 100
    EXPECT_EQ(geo("xs=50%,xs=20", 200, 100).xs, 40);    // no unit keeps the percent flag
    EXPECT_EQ(geo("xs=50%,xs=20pix", 200, 100).xs, 20);
    EXPECT_EQ(geo("x=10%,x=7pixel", 200, 100).x, 7);
    EXPECT_EQ(geo("xs=30%,ys=30%,xsizepixel", 200, 200).xs, 30);
    EXPECT_EQ(geo("xs=30%,ys=30%,xsizepixel", 200, 200).ys, 60);
    EXPECT_EQ(geo("xs=30%,ys=30%,sizepix", 200, 200).ys, 30);
    EXPECT_EQ(geo("width=25%,height=25%", 200, 100).ys, 25);
    kxgeometry g = geo("x=25%,y=40%,pospixel", 200, 100);
    EXPECT_EQ(g.x, 25);
    EXPECT_EQ(g.y, 40);
    EXPECT_EQ(geo("x=5%0", 200, 100).x, 5);  // the unit follows the last digit
}

TEST(CfgGeometry, PositionGivenOrNot)
{
    bool given = true;
    kxgeometry g = geo("xs=10", 100, 100, &given);
    EXPECT_FALSE(given);
    EXPECT_EQ(g.xval, 0.0);
    geo("x=0", 100, 100, &given);
    EXPECT_TRUE(given);
    g = geo("x=%", 100, 100, &given);  // no digit: 0 without a unit
    EXPECT_TRUE(given);
    EXPECT_EQ(g.x, 0);
    EXPECT_EQ(g.x_pixels, 1);
}

TEST(CfgGeometry, DefaultSizeFillsOnlyWhatWasNotGiven)
{
    Toks k("xs=50%");
    kxgeometry g;
    kxcfgstr_resetgeometry(&g, 200, 100);
    kxcfgstr_geometry(k.t, 0, &g);
    kxcfgstr_defaultsize(&g, 77, 23);
    kxcfgstr_resolve(&g);
    EXPECT_EQ(g.xs, 100);
    EXPECT_EQ(g.ys, 23);
}

TEST(CfgGeometry, OverflowingValuesAreHeldWithinTheGeometryLimit)
{
    const int L = KX_GEOMETRY_LIMIT;
    EXPECT_EQ(geo("xs=99999999999999999999999", 1000, 10).xs, 1000);
    EXPECT_EQ(geo("x=1e400", 1000, 10).x, L);
    kxgeometry g = geo("x=-99999999999%,xs=1%", INT_MAX, 10);
    EXPECT_EQ(g.x, -L);
    EXPECT_EQ(g.xs, L);
    EXPECT_EQ(geo("x=99999999999%,xs=1%", INT_MAX, 10).x, L);
    g = geo("minxs=99999999999,x=inf,y=nan%", 100, 10);
    EXPECT_EQ(g.xs, L);
    EXPECT_EQ(g.x, 0);
    EXPECT_EQ(g.y, 0);
    g = geo("y=3333333433%,ys=200%", 1000, INT_MAX);
    EXPECT_EQ(g.y, L);
    EXPECT_EQ(g.ys, L);
}

// ---- numbers, border, font, focus, grey -------------------------------

TEST(CfgNumbers, PercentDKeysKeepTheOldValueWholeNumbersGiveZero)
{
    Toks k("border=abc,maxlen=x,fontid=q,palettecode=-,min=abc,step=,scrollback=z,lines=,"
           "columns=?");
    int border = 3, font = 4, code = 2;
    kxcfgstr_border(k.t, 0, &border);
    kxcfgstr_font(k.t, 0, &font);
    kxcfgstr_palettecode(k.t, 0, &code);
    kxlineinputattr l;
    kxcfgstr_lineinput(k.t, 0, &l);
    kxupdownattr u;
    kxcfgstr_updown(k.t, 0, &u);
    kxtermattr t;
    t.scrollback = 9;
    kxcfgstr_terminal(k.t, 0, &t);
    EXPECT_EQ(border, 3);
    EXPECT_EQ(font, 4);
    EXPECT_EQ(code, 2);
    EXPECT_EQ(l.maxlen, 1000);
    EXPECT_EQ(u.min, 0);
    EXPECT_EQ(u.step, 0);
    EXPECT_EQ(t.scrollback, 9);
    EXPECT_EQ(t.lines, 25);
    EXPECT_EQ(t.columns, 80);
    EXPECT_EQ(k.rest(), "");  // unreadable values are consumed all the same

    Toks big("maxlen=99999999999,min=-99999999999,max=12abc");
    kxcfgstr_lineinput(big.t, 0, &l);
    kxcfgstr_updown(big.t, 0, &u);
    EXPECT_EQ(l.maxlen, INT_MAX);
    EXPECT_EQ(u.min, INT_MIN);
    EXPECT_EQ(u.max, 12);
}

TEST(CfgBorder, TheFirstBorderWordDecides)
{
    int b = 7;
    kxcfgstr_border(Toks("border").t, 0, &b);
    EXPECT_EQ(b, 2);
    Toks k("border=5,noborder");
    kxcfgstr_border(k.t, 0, &b);
    EXPECT_EQ(b, 5);
    EXPECT_EQ(k.rest(), ",noborder");
    kxcfgstr_border(Toks("noborder,border").t, 0, &b);
    EXPECT_EQ(b, 0);
    b = 6;
    kxcfgstr_border(Toks("topborder=3,borderline").t, 0, &b);
    EXPECT_EQ(b, 6);
}

TEST(CfgFont, ShortNamesLongNamesAndFirstWins)
{
    kxtest_headless();
    kxfont_loadbuiltins();
    int bold = kxfont_findbyid("builtin 6x13 bold");
    ASSERT_GE(bold, 0);
    int font = -2;
    Toks k("font=6x13b,font=9x15");
    kxcfgstr_font(k.t, 0, &font);
    EXPECT_EQ(font, bold);
    EXPECT_EQ(k.rest(), ",font=9x15");

    kxcfgstr_font(Toks("font = 9x15 bold").t, 0, &font);
    EXPECT_EQ(font, kxfont_findbyid("builtin 9x15 bold"));
    kxcfgstr_font(Toks("font=13variable").t, 0, &font);
    EXPECT_EQ(font, kxfont_findbyid("builtin variable 13"));
    kxcfgstr_font(Toks("font=6x8").t, 0, &font);  // no short name: the font's own name
    EXPECT_EQ(font, kxfont_findbyid("builtin 6x8"));
    kxcfgstr_font(Toks("fontid=4,font=5x7").t, 0, &font);
    EXPECT_EQ(font, 4);

    std::string said = kxtest_stdout([&] { kxcfgstr_font(Toks("font=nosuch").t, 0, &font); });
    EXPECT_EQ(said, "font not loaded/found: nosuch\n");
    EXPECT_EQ(font, 4);
}

TEST(CfgFocus, FocusAndGreyWords)
{
    std::uint8_t nofocus = 0, grey = 0;
    Toks k("focus=1,Grey,greyed,focus = no");
    kxcfgstr_focus(k.t, 0, &nofocus);
    kxcfgstr_grey(k.t, 0, &grey);
    EXPECT_EQ(nofocus, 1);
    EXPECT_EQ(grey, 1);
    EXPECT_EQ(k.rest(), ",focus=1,Grey");  // keys are case-sensitive
}

// ---- colours ------------------------------------------------------------

TEST(CfgColour, ValuesNamesSpacesAndCase)
{
    int c = 5;
    kxcfgstr_bgcolor(Toks("bgcolor = light grey").t, 0, &c);
    EXPECT_EQ(c, 0xC0C0C0);
    kxcfgstr_bgcolor(Toks("bgcolor=LightGrey").t, 0, &c);
    EXPECT_EQ(c, 0xC0C0C0);
    EXPECT_EQ(kxcfgstr_colorvalue("bgcolor=ff8000", 0), 0xff8000);
    EXPECT_EQ(kxcfgstr_colorvalue("bgcolor=0xff8000", 0), 0xff8000);
    EXPECT_EQ(kxcfgstr_colorvalue("bgcolor=FF8000", 0), 0xff8000);
    EXPECT_EQ(kxcfgstr_colorvalue("none", 0), -1);
    EXPECT_EQ(kxcfgstr_colorvalue("x=off", 0), -1);
    EXPECT_EQ(kxcfgstr_colorvalue("grey", 0), 0xD0D0D0);
    EXPECT_EQ(kxcfgstr_colorvalue("bgcolor=", 9), 9);
    EXPECT_EQ(kxcfgstr_colorvalue("bgcolor=0xzz", 9), 9);
    EXPECT_EQ(kxcfgstr_colorvalue("bgcolor=12g", 9), 9);
    EXPECT_EQ(kxcfgstr_colorvalue("bgcolor=fffffffffffffffffffff", 9), 0xFFFFFF);
}

TEST(CfgColour, EachColourHasItsOwnKeysAndTheLaterTokenWins)
{
    Toks k("background=red,col=blue,txtcol=green,transparentcol=white,highlightcolor=cyan,"
           "activecolor=yellow,bgcol=black");
    int bg = 1, text = 1, trans = 1, hi = 1, act = 1;
    kxcfgstr_bgcolor(k.t, 0, &bg);
    EXPECT_TRUE(kxcfgstr_textcolor(k.t, 0, &text));
    kxcfgstr_transcolor(k.t, 0, &trans);
    kxcfgstr_highlightcolor(k.t, 0, &hi);
    kxcfgstr_activecolor(k.t, 0, &act);
    EXPECT_EQ(bg, 0x000000);
    EXPECT_EQ(text, 0x008000);
    EXPECT_EQ(trans, 0xFFFFFF);
    EXPECT_EQ(hi, 0x008080);
    EXPECT_EQ(act, 0xFFFF00);
    EXPECT_EQ(k.rest(), "");
    EXPECT_FALSE(kxcfgstr_textcolor(Toks("colors=16").t, 0, &text));
}

// ---- buttons, checkboxes, hotkeys ---------------------------------------

TEST(CfgButton, WordsAfterTheCaption)
{
    kxbtnattr b;
    Toks k("on,bigarrow,defaultbutton,thinframe,hlink,switch,toolbutton,mouserepeat,Flat");
    kxcfgstr_btnattr(k.t, 1, &b);
    EXPECT_FALSE(b.pressed);  // the caption "on" is no setting
    EXPECT_TRUE(b.arrow && b.bigarrow && !b.smallarrow);
    EXPECT_TRUE(b.isdefault && b.thinframe && b.hyperlink && b.keeppressed && b.toolbutton &&
                b.mouserepeat);
    EXPECT_FALSE(b.flat);
    EXPECT_EQ(k.rest(), ",on,Flat");
    kxbtnattr c;
    kxcfgstr_btnattr(Toks("X,checked,2d").t, 1, &c);
    EXPECT_TRUE(c.pressed && c.hyperlink);
}

TEST(CfgButton, Hotkeys)
{
    struct Row {
        const char *text;
        int key;
    };
    for (Row r : {Row{"OK,hotkey=a", 'a'}, Row{"OK,hotkey = space", 32},
                  Row{"OK,hotkey=return", 10}, Row{"OK,hotkey=f1", KX_KEY_F1},
                  Row{"OK,hotkey=f12", 316}, Row{"OK,hotkey=\xe4", 0xe4}}) {
        kxbtnattr b;
        kxcfgstr_btnattr(Toks(r.text).t, 1, &b);
        EXPECT_EQ(b.hotkey, r.key) << r.text;
    }
    kxbtnattr b;
    std::string said = kxtest_stdout([&] { kxcfgstr_btnattr(Toks("OK,hotkey=ctrl+x").t, 1, &b); });
    EXPECT_EQ(said, "complex hotkey not fully supported yet ! (kxcfgstr_btnattr) \"ctrl+x\"\n");
    EXPECT_EQ(b.hotkey, KX_CFG_HOTKEY_NONE);
}

// ---- text fields and lists ----------------------------------------------

TEST(CfgFields, LineInputTakesDefaultBeforeTheUpDownControl)
{
    Toks k("default=a b,def=4,min=1,max=255,step=5,digits=3,decimal=2,keepfocus,password,"
           "align=right");
    kxlineinputattr l;
    kxupdownattr u;
    kxcfgstr_lineinput(k.t, 0, &l);
    kxcfgstr_updown(k.t, 0, &u);
    EXPECT_STREQ(l.text, "ab");
    EXPECT_TRUE(l.keepfocus && l.password && l.right);
    EXPECT_EQ(u.value, 4);
    EXPECT_EQ(u.max, 255);
    EXPECT_TRUE(u.digitsgiven);

    Toks d("default=7");
    kxlineinputattr l2;
    kxupdownattr u2;
    kxcfgstr_lineinput(d.t, 0, &l2);
    kxcfgstr_updown(d.t, 0, &u2);
    EXPECT_STREQ(l2.text, "7");
    EXPECT_EQ(u2.value, 0);
    EXPECT_FALSE(u2.digitsgiven);
    kxcfgstr_updown(Toks("default=9").t, 0, &u2);  // alone it reads default= itself
    EXPECT_EQ(u2.value, 9);
}

TEST(CfgFields, ListsKeepTheirSpaces)
{
    char list[KX_CFG_TEXT] = "old";
    Toks k("entries=a b|c,contents= x|y");
    EXPECT_TRUE(kxcfgstr_entries(k.t, 0, list, sizeof list));
    EXPECT_STREQ(list, " x|y");  // the later token wins
    EXPECT_TRUE(kxcfgstr_entries(Toks("entries=a b|c").t, 0, list, sizeof list));
    EXPECT_EQ(entries(list), (std::vector<std::string>{"a b", "c"}));
    EXPECT_EQ(entries("a||b").size(), 3u);
    EXPECT_EQ(entries("a|"), std::vector<std::string>{"a"});
    EXPECT_TRUE(entries("").empty());
    EXPECT_FALSE(kxcfgstr_entries(Toks("tabs=a").t, 0, list, sizeof list));
    EXPECT_TRUE(kxcfgstr_menus(Toks("menus=Cut|Copy|Paste|-|Select All").t, 0, list,
                               sizeof list));
    EXPECT_EQ(entries(list).back(), "Select All");

    char tiny[4];
    kxcfgstr_entries(Toks("entries=abcdefgh").t, 0, tiny, sizeof tiny);
    EXPECT_STREQ(tiny, "abc");
    char e[3];
    EXPECT_NE(kxcfgstr_nextentry("long|x", e, sizeof e), nullptr);
    EXPECT_STREQ(e, "lo");

    bool right = false, marked = false;
    Toks w("rightaligned,markedlines,markedline");
    EXPECT_TRUE(kxcfgstr_alignright(w.t, 0, &right));
    EXPECT_TRUE(kxcfgstr_flag(w.t, 0, "markedlines", &marked));
    EXPECT_TRUE(right && marked);
    EXPECT_EQ(w.rest(), ",markedline");
}

TEST(CfgFields, EditorSlideAndTabBar)
{
    kxeditorattr e;
    kxcfgstr_editor(Toks("lines=10,tabs=4,autoindent,colored").t, 0, &e);
    EXPECT_EQ(e.lines, 10);
    EXPECT_TRUE(e.linesgiven);
    EXPECT_FALSE(e.columnsgiven);
    EXPECT_EQ(e.tabwidth, 4);

    struct Row {
        const char *text;
        double value;
    };
    for (Row r : {Row{"start=150", 100.0}, Row{"def=-3", 0.0}, Row{"default=12.5", 12.5}}) {
        kxvalueattr v;
        kxcfgstr_value(Toks(r.text).t, 0, &v);
        EXPECT_EQ(v.value, r.value) << r.text;
    }

    kxtabsattr t;
    kxcfgstr_tabs(Toks("tabs=Eins|Zwei,autonumber=1,graystyle").t, 0, &t);
    EXPECT_TRUE(t.given);
    EXPECT_STREQ(t.list, "Eins|Zwei");
    EXPECT_EQ(t.autonumber, 1);
    EXPECT_EQ(t.style, 2);
}

// ---- terminal, view, window ---------------------------------------------

TEST(CfgContainers, TerminalKeys)
{
    kxtermattr t;
    Toks k("lines=10,scrollback=500,xs=680,logfile=my log.txt,cursor=on,drawdirect");
    kxcfgstr_terminal(k.t, 0, &t);
    EXPECT_EQ(t.lines, 10);
    EXPECT_EQ(t.scrollback, 500);
    EXPECT_STREQ(t.logfile, "mylog.txt");
    EXPECT_TRUE(t.cursor && t.directdraw && !t.wordbreak);
    EXPECT_EQ(k.rest(), ",xs=680");
    kxtermattr s;
    kxcfgstr_terminal(Toks("scrollback").t, 0, &s);
    EXPECT_EQ(s.scrollback, KX_TERM_SCROLLBACK);
}

TEST(CfgContainers, ViewKeys)
{
    kxviewattr v;
    kxscrollbarsattr s;
    Toks k("palette16,pxmapxs=800,bmp_ys=600,colors=16,norefresh,no vertical scrollbar,opengl");
    kxcfgstr_scrollbars(k.t, 0, &s);
    kxcfgstr_view(k.t, 0, &v);
    EXPECT_EQ(v.pxmaptype, 2);
    EXPECT_EQ(v.pxs, 800);
    EXPECT_EQ(v.pys, 600);
    EXPECT_EQ(v.colors, 16);
    EXPECT_TRUE(v.noredraw && v.opengl && s.novertical && !s.nohorizontal);
    kxviewattr w;
    kxcfgstr_view(Toks("pxmap=server").t, 0, &w);
    EXPECT_EQ(w.pxmaptype, 4);
    Toks bogus("bitmap=bogus");
    kxcfgstr_view(bogus.t, 0, &w);
    EXPECT_EQ(w.pxmaptype, 4);
    EXPECT_EQ(bogus.rest(), "");
    EXPECT_EQ(kxcfgstr_pxmaptypeword("Palette"), 0);
}

TEST(CfgContainers, WindowBarsAndContentSize)
{
    const char *text = "Title,fullscreen,noquit,nosysmenu,resize,max,menu,toolbar=30,"
                       "statusbar,cxs=800,pys=600,maxxs=1000,OwnPxMap";
    Toks k(text);
    kxgeometry g;
    kxcfgstr_geometry(k.t, 1, &g);  // takes maxxs= as the maximum width
    kxwindowattr w;
    kxbarsattr b;
    int cxs = 0, cys = 0;
    kxcfgstr_window(k.t, 1, text, &w);
    kxcfgstr_bars(k.t, 1, &b);
    kxcfgstr_contentsize(k.t, 1, &cxs, &cys);
    EXPECT_EQ(g.maxxs, 1000);
    EXPECT_EQ(w.maxxs, 1000);  // the whole string, consumed or not
    EXPECT_EQ(w.maxys, 0);
    EXPECT_TRUE(w.ownpxmap && w.fullscreen && w.resize && w.maximized);
    EXPECT_FALSE(w.sysmenu || w.destroyonclose || w.quitonclose);
    EXPECT_EQ(b.menu, KX_CFG_STANDARD_BAR);
    EXPECT_EQ(b.toolbar, 30);
    EXPECT_EQ(b.statusbar, KX_CFG_STANDARD_BAR);
    EXPECT_EQ(cxs, 800);
    EXPECT_EQ(cys, 600);
    EXPECT_EQ(k.rest(1), ",OwnPxMap");

    kxwindowattr c;
    kxcfgstr_window(Toks("T,noclose").t, 1, "T,noclose", &c);
    EXPECT_FALSE(c.destroyonclose);
    EXPECT_TRUE(c.quitonclose && !c.ownpxmap);
}

TEST(CfgContainers, RectangleAndPage)
{
    kxrectattr r;
    kxcfgstr_rect(Toks("file.bmp,x=5,ys=9").t, 1, &r);
    EXPECT_EQ(r.x, 5);
    EXPECT_EQ(r.y, -1);
    EXPECT_EQ(r.xs, -1);
    EXPECT_EQ(r.ys, 9);

    kxprintattr p;
    Toks k("landscape,a4,dpi=150,x-dpi=600,topborder=12.5,hicolor,xoffset=3");
    kxcfgstr_print(k.t, 0, &p);
    EXPECT_TRUE(p.landscape && p.truecolor);
    EXPECT_EQ(p.paper, 1);
    EXPECT_EQ(p.dpi, 150);
    EXPECT_EQ(p.xdpi, 600);
    EXPECT_EQ(p.ydpi, 0);
    EXPECT_EQ(p.top, 12.5);
    EXPECT_EQ(k.rest(), ",xoffset=3");
    kxcfgstr_print(Toks("legal,portrait").t, 0, &p);
    EXPECT_EQ(p.paper, 12);
    EXPECT_FALSE(p.landscape);
}

// ---- lookups, consumption, the common prefix ----------------------------

TEST(CfgLookup, WholeStringWithoutCaseAndConsumingNothing)
{
    const char *text = "Start=3,NoButton,maxys=,x=5";
    EXPECT_EQ(kxcfgstr_getint(text, "start", 0), 3);
    EXPECT_EQ(kxcfgstr_getint(text, "START", 0), 3);
    EXPECT_EQ(kxcfgstr_getint(text, "maxys", 8), 8);  // nothing readable
    EXPECT_EQ(kxcfgstr_getint(text, "missing", -4), -4);
    EXPECT_EQ(kxcfgstr_getint("v=99999999999", "v", 0), INT_MAX);
    EXPECT_TRUE(kxcfgstr_contains(text, "nobutton"));
    EXPECT_TRUE(kxcfgstr_contains(text, "BUTTON,MAX"));
    EXPECT_FALSE(kxcfgstr_contains(text, "ownpxmap"));
    EXPECT_FALSE(kxcfgstr_contains(nullptr, "x"));
}

TEST(CfgConsume, ATokenTakenByOneParserIsNotSeenByTheNext)
{
    Toks k("xs=20,grey,bgcolor=white,width=30,col=red,font=9x15");
    kxgeometry g;
    kxcfgstr_geometry(k.t, 0, &g);
    EXPECT_EQ(g.xsval, 30.0);
    int bg = 0, text = 0;
    std::uint8_t grey = 0;
    kxcfgstr_grey(k.t, 0, &grey);
    kxcfgstr_bgcolor(k.t, 0, &bg);
    EXPECT_EQ(k.rest(), ",col=red,font=9x15");
    // A parser that runs again finds nothing left to take.
    bg = 1;
    kxcfgstr_bgcolor(k.t, 0, &bg);
    EXPECT_EQ(bg, 1);
    EXPECT_TRUE(kxcfgstr_textcolor(k.t, 0, &text));
    EXPECT_FALSE(kxcfgstr_textcolor(k.t, 0, &text));
}

TEST(CfgPrefix, TheCommonPrefixReadsAgainstTheCurrentContainer)
{
    kxtest_headless();
    Px px(KX_PXFMT_TRUECOLOR, 101, 50);
    int container = 0;
    kxtarget_register(&px.p, no_handler, &container, 0x123456, false);
    kxwidget w;
    kxwidget_init(&w);
    kxcfgstr_tokens t;
    prefix(&w, &t, true, "%s, Load,x=50%,xs=40%,border,nofocus,grey,bgcolor=%06x,col=red",
           "Save", 0x00ff00);
    kxtarget_unregister(&container);

    EXPECT_EQ(w.parent, &container);
    EXPECT_EQ(w.parent_pixmap, &px.p);
    EXPECT_EQ(w.geom.container_xs, 101);
    EXPECT_TRUE(t.xgiven);
    kxcfgstr_resolve(&w.geom);
    EXPECT_EQ(w.geom.x, 30);
    EXPECT_EQ(w.geom.xs, 40);
    EXPECT_EQ(w.frame, 2);
    EXPECT_EQ(w.nofocus, 1);
    EXPECT_EQ(w.grey, 1);
    EXPECT_EQ(w.bgcolor, 0x00ff00);
    EXPECT_EQ(w.textcolor, 0x800000);
    EXPECT_TRUE(t.textcolorgiven);
    EXPECT_EQ(w.transcolor, 0x123456);
    for (int i = 0; i < KX_GUI_COLOURS; i++)
        EXPECT_EQ(w.palette[i], kxgui_color(i));
    char caption[8];
    kxcfgstr_caption(&t, caption, sizeof caption);
    EXPECT_STREQ(caption, "Save");
    char rest[64];
    kxcfgstr_rest(t.tok, t.start, rest, sizeof rest);
    EXPECT_STREQ(rest, ", Load");

    // Without settings the defaults stand; an empty string has no caption.
    kxwidget v;
    kxwidget_init(&v);
    kxcfgstr_tokens e;
    prefix(&v, &e, true, "");
    EXPECT_EQ(v.bgcolor, kxgui_color(KX_GUI_GREY));
    EXPECT_EQ(v.textcolor, kxgui_color(KX_GUI_TEXT));
    EXPECT_EQ(v.frame, 0);
    EXPECT_EQ(v.font, kxgui_defaultfont());
    EXPECT_FALSE(e.xgiven);
    EXPECT_FALSE(e.textcolorgiven);
    EXPECT_EQ(kxcfgstr_caption(&e, caption, sizeof caption), 0u);
}
