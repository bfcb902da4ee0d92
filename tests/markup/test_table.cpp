// The table element in a window on the headless host: building from markup
// source, cell widgets, rows' events, files, lines and frames, bad sources.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>

#include "core/event.h"
#include "core/window.h"
#include "graphics/font.h"
#include "graphics/pixmap.h"
#include "graphics/text.h"
#include "kx9d.h"
#include "markup/table.h"
#include "support.h"

namespace {

constexpr int TX = 10, TY = 60;  // where the tables are laid out
constexpr int BLACK = 0x000000, WHITE = 0xFFFFFF, THIN = 0x808080;

std::string app_source()
{
    std::string s = "zu sendender String#bold width=400,Kommentar#bold width=220, \n-,-,-\n";
    for (int i = 0; i < 14; i++)
        s += "#edit,#edit,senden#button\n";
    return s;
}

struct TableTest : testing::Test {
    kxWindow *win = new kxWindow;
    kxTable t;
    int font = KX_FONT_DEFAULT, bold = 0;
    void SetUp() override
    {
        kxtest_headless();
        ASSERT_TRUE(kxapp_init());
        kxwindow_init(win);
        kxwindow_create(win, "t,x=0,y=0,xs=700,ys=570,bgcolor=white");
        kxevent_poll();
        bold = kxfont_builtin_6x13b();
        kxtable_init(&t);
    }
    void TearDown() override
    {
        kxtable_destroy(&t);  // the cell widgets leave the view first
        kxwindow_free(win);
        delete win;
    }
    int build(const std::string &src, const char *tag = "tab")
    {
        return kxtable_build(&t, src.c_str(), kxtable_options(tag, TX), font, bold, TY);
    }
    const kxllgui_window *host() { return &win->plat; }
    int pixel(int x, int y) { return kxpxmap_getpixel(win->views[0].content, x, y); }
    std::string cell(int c, int r)
    {
        char buf[KX_TABLE_TEXT + 1];
        kxtable_getcell(&t, buf, c, r);
        return buf;
    }
    void click(int x, int y)
    {
        kxheadless_move(host(), x, y);
        kxheadless_click(host(), 1, x, y);
        kxsys_pump_all();
    }
    // Left edge of a column.
    int colx(int c)
    {
        int x = TX;
        for (int i = 0; i < c; i++)
            x += t.widths[i];
        return x;
    }
};

TEST_F(TableTest, TheApplicationsTableHasItsColumnsRowsWidgetsAndStrongLine)
{
    EXPECT_EQ(build(app_source(), "tab,3dframe"), TY + 15 * 20);
    ASSERT_EQ(t.columns, 3);
    ASSERT_EQ(t.rows, 15);
    EXPECT_EQ(t.widths[0], 400);
    EXPECT_EQ(t.widths[1], 220);
    int fitted = std::max({KX_TABLE_COLWIDTH, kxtext_width(font, "senden") + 9,
                           kxtext_width(bold, " ") + 9});
    EXPECT_EQ(t.widths[2], fitted);
    EXPECT_EQ(cell(0, 0), "zu sendender String");
    EXPECT_EQ(cell(2, 0), " ");
    int buttons = 0, inputs = 0;
    for (int r = 0; r < 15; r++)
        for (int c = 0; c < 3; c++) {
            const kxtablecell *k = kxtable_cell(&t, c, r);
            if (r == 0) {
                EXPECT_EQ(k->font, c < 2 ? bold : font);
                EXPECT_EQ(k->lines[KX_EDGE_BOTTOM], KX_LINE_STRONG);
                EXPECT_EQ(k->type, KX_CELL_TEXT);
                continue;
            }
            EXPECT_EQ(k->lines[KX_EDGE_BOTTOM], KX_LINE_THIN);
            if (c < 2 && k->type == KX_CELL_EDIT && k->lineinput->created)
                inputs++;
            if (c == 2 && k->type == KX_CELL_BUTTON && k->button->created) {
                buttons++;
                EXPECT_STREQ(k->button->caption, "senden");
                EXPECT_EQ(k->button->geom.xs, fitted - 3);
            }
        }
    EXPECT_EQ(buttons, 14);
    EXPECT_EQ(inputs, 28);
    // The separator: a black line under row 0, thin grey lines elsewhere.
    EXPECT_EQ(pixel(TX + 200, TY + 20), BLACK);
    EXPECT_EQ(pixel(TX + 200, TY + 60), THIN);
    EXPECT_EQ(pixel(TX + 400, TY + 70), THIN);
    // The 3D frame: black edges and a two-pixel shadow right and below.
    int W = 620 + fitted, H = 300;
    EXPECT_EQ(pixel(TX, TY + 70), BLACK);
    EXPECT_EQ(pixel(TX + W, TY + 70), BLACK);
    EXPECT_EQ(pixel(TX + W + 1, TY + 70), BLACK);
    EXPECT_EQ(pixel(TX + W + 2, TY + 70), BLACK);
    EXPECT_EQ(pixel(TX + W + 3, TY + 70), WHITE);
    EXPECT_EQ(pixel(TX + W + 1, TY + 1), WHITE);  // the shadow starts 2 down
    EXPECT_EQ(pixel(TX + 100, TY + H + 2), BLACK);
    EXPECT_EQ(pixel(TX + 1, TY + H + 2), WHITE);
}

TEST_F(TableTest, OnlyTheClickedRowsButtonAnswersTwo)
{
    build(app_source(), "tab,3dframe");
    int x = colx(2) + 10, y = TY + 5 * 20 + 10;
    click(x, y);
    int id = 0, got;
    while ((got = kxevent_poll()))
        if (got == kxtable_cell(&t, 2, 5)->button->ids[0])
            id = got;
    ASSERT_NE(id, 0);
    for (int r = 1; r < 15; r++)
        EXPECT_EQ(kxtable_rowevent(&t, id, r), r == 5 ? 2 : 0) << "row " << r;
    EXPECT_EQ(kxtable_rowevent(&t, kxtable_cell(&t, 1, 7)->lineinput->ids[0], 7), 1);
    EXPECT_EQ(kxtable_rowevent(&t, id, 99), 0);
}

TEST_F(TableTest, TypedTextComesBackFromTheLineInput)
{
    build(app_source());
    click(TX + 50, TY + 3 * 20 + 10);
    kxheadless_type(host(), "AT+CSQ=100%");
    kxsys_pump_all();
    EXPECT_EQ(cell(0, 3), "AT+CSQ=100%");
    EXPECT_EQ(cell(0, 4), "");
    // A short buffer gets the start of the text.
    char small[4];
    EXPECT_TRUE(kxtable_getcell(&t, small, 0, 3, sizeof small));
    EXPECT_STREQ(small, "AT+");
    char out[8] = "x";
    EXPECT_FALSE(kxtable_getcell(&t, out, 3, 0));
    EXPECT_STREQ(out, "");
    EXPECT_FALSE(kxtable_getcell(&t, out, 0, -1));
}

TEST_F(TableTest, ShiftTabGoesBackThroughTheCells)
{
    build(app_source());
    click(colx(1) + 50, TY + 3 * 20 + 10);  // row 3's comment
    kxheadless_keydown(host(), kxhostkey::shift);
    kxheadless_keydown(host(), kxhostkey::tab);
    kxheadless_keyup(host(), kxhostkey::tab);
    kxheadless_keyup(host(), kxhostkey::shift);
    kxheadless_type(host(), "B");
    kxsys_pump_all();
    EXPECT_EQ(cell(0, 3), "B");
    EXPECT_EQ(cell(1, 3), "");
}

// An edit cell takes what its file keeps and no more, typed or pasted, so
// that what it shows comes back from the file.
TEST_F(TableTest, ACellTakesNoMoreCharactersThanItsFileKeeps)
{
    build(app_source());
    click(TX + 50, TY + 2 * 20 + 10);
    kxheadless_type(host(), std::string(90, 'a').c_str());
    kxclip_puttext(std::string(30, 'b').c_str());
    kxheadless_type(host(), "\x16");  // Ctrl+V
    kxheadless_type(host(), "c");
    kxsys_pump_all();
    const std::string shown = cell(0, 2);
    EXPECT_EQ(shown, std::string(90, 'a') + std::string(10, 'b'));
    std::string path = kxtest_output_dir() + "/table_celllimit.dbf";
    ASSERT_TRUE(kxtable_save(&t, path.c_str(), 0, 0));
    kxtable_setcell(&t, 0, 2, "changed");
    ASSERT_TRUE(kxtable_load(&t, path.c_str(), 0, 0));
    EXPECT_EQ(cell(0, 2), shown);
}

TEST_F(TableTest, SaveThenLoadRestoresEveryCellAndTheWidgets)
{
    build(app_source());
    std::string path = kxtest_output_dir() + "/table_roundtrip.dbf";
    std::filesystem::remove(path);
    for (int r = 1; r < 15; r++) {
        kxtable_setcell(&t, 0, r, "string %d", r);
        kxtable_setcell(&t, 1, r, "comment %d", r);
    }
    // Laid out, the line input shows the new text at once.
    EXPECT_STREQ(kxtable_cell(&t, 0, 9)->lineinput->get_text(), "string 9");
    ASSERT_TRUE(kxtable_save(&t, path.c_str(), 0, 0));
    EXPECT_EQ(std::filesystem::file_size(path), 129u + 15u * 304u);
    for (int r = 1; r < 15; r++)
        kxtable_setcell(&t, 0, r, "changed");
    ASSERT_TRUE(kxtable_load(&t, path.c_str(), 0, 0));
    EXPECT_EQ(cell(0, 0), "zu sendender String");
    EXPECT_EQ(cell(0, 14), "string 14");
    EXPECT_EQ(cell(1, 2), "comment 2");
    EXPECT_STREQ(kxtable_cell(&t, 0, 14)->lineinput->get_text(), "string 14");
    // Without the extension the same file is found; a missing one changes nothing.
    std::string bare = path.substr(0, path.size() - 4);
    kxtable_setcell(&t, 0, 1, "kept");
    EXPECT_FALSE(kxtable_load(&t, (bare + "_missing").c_str(), 0, 0));
    EXPECT_EQ(cell(0, 1), "kept");
    ASSERT_TRUE(kxtable_load(&t, bare.c_str(), 0, 0));
    EXPECT_EQ(cell(0, 1), "string 1");
}

TEST_F(TableTest, LoadingBeforeLayoutFillsTheTexts)
{
    std::string path = kxtest_output_dir() + "/table_prelayout.dbf";
    build("a,b\nc,d\n");
    kxtable_setcell(&t, 1, 1, "%s", "from file");
    ASSERT_TRUE(kxtable_save(&t, path.c_str(), 0, 0));
    kxTable u;
    kxtable_init(&u);
    kxtable_alloc(&u, 2, 3);
    ASSERT_TRUE(kxtable_load(&u, path.c_str(), 0, 0));
    EXPECT_FALSE(u.laidout);
    EXPECT_STREQ(kxtable_cell(&u, 1, 1)->text, "from file");
    EXPECT_STREQ(kxtable_cell(&u, 0, 2)->text, "");  // no third record
    // Offsets: record 1 and field 1 become cell (0, 0).
    ASSERT_TRUE(kxtable_load(&u, path.c_str(), 1, 1));
    EXPECT_STREQ(kxtable_cell(&u, 0, 0)->text, "from file");
}

TEST_F(TableTest, DoubledCommasAreTextAndBarsGiveStrongSides)
{
    build("a,,b,c\nx,,,,,y\n1,|x|,2\n");
    ASSERT_EQ(t.columns, 3);
    EXPECT_EQ(cell(0, 0), "a,b");
    EXPECT_EQ(cell(1, 0), "c");
    EXPECT_EQ(cell(0, 1), "x,,");
    EXPECT_EQ(cell(1, 1), "y");
    EXPECT_EQ(cell(1, 2), "x");
    const kxtablecell *k = kxtable_cell(&t, 1, 2);
    EXPECT_EQ(k->lines[KX_EDGE_LEFT], KX_LINE_STRONG);
    EXPECT_EQ(k->lines[KX_EDGE_RIGHT], KX_LINE_STRONG);
    int y = TY + 2 * 20 + 10;
    EXPECT_EQ(pixel(colx(1), y), BLACK);
    EXPECT_EQ(pixel(colx(2), y), BLACK);
    EXPECT_EQ(pixel(colx(0), y), THIN);
    EXPECT_EQ(pixel(colx(1), TY + 10), THIN);
}

TEST_F(TableTest, SeparatorBeforeTheFirstRowAndRowAndColumnSpans)
{
    build("-,x,-\na#colspan,hidden,b#rowspan\nc,d,e\n", "tab,border");
    ASSERT_EQ(t.rows, 2);
    EXPECT_EQ(kxtable_cell(&t, 0, 0)->lines[KX_EDGE_TOP], KX_LINE_STRONG);
    EXPECT_EQ(kxtable_cell(&t, 1, 0)->lines[KX_EDGE_TOP], KX_LINE_THIN);
    EXPECT_EQ(kxtable_cell(&t, 2, 0)->lines[KX_EDGE_TOP], KX_LINE_STRONG);
    EXPECT_EQ(kxtable_cell(&t, 2, 0)->lines[KX_EDGE_BOTTOM], KX_LINE_NONE);
    EXPECT_EQ(kxtable_cell(&t, 2, 1)->lines[KX_EDGE_TOP], KX_LINE_NONE);
    EXPECT_EQ(kxtable_cell(&t, 0, 0)->lines[KX_EDGE_RIGHT], KX_LINE_NONE);
    EXPECT_EQ(kxtable_cell(&t, 1, 0)->lines[KX_EDGE_LEFT], KX_LINE_NONE);
    // No line between the spanning cell and the next, and the spanned
    // cell's text is not drawn: the whole row 0 of column 1 stays white.
    int x1 = colx(1);
    EXPECT_EQ(pixel(x1, TY + 10), WHITE);
    for (int x = x1 + 1; x < colx(2); x++)
        for (int y = TY + 1; y < TY + 20; y++)
            ASSERT_EQ(pixel(x, y), WHITE) << x << "," << y;
    EXPECT_EQ(pixel(colx(2) + 10, TY), BLACK);       // strong top line
    EXPECT_EQ(pixel(colx(2) + 10, TY + 20), WHITE);  // row span
    // The border: black left, right and top edges.
    EXPECT_EQ(pixel(x1 + 5, TY), BLACK);
    EXPECT_EQ(pixel(TX, TY + 30), BLACK);
    EXPECT_EQ(pixel(colx(3), TY + 30), BLACK);
}

TEST_F(TableTest, ThickFrameWithShadow)
{
    int end = build("a,b\nc,d\n", "tab,thickframe,3dframe");
    int W = colx(2) - TX, H = 40;
    EXPECT_EQ(end, TY + H);
    for (int d = -1; d <= 1; d++) {
        EXPECT_EQ(pixel(TX + d, TY + 20), BLACK);
        EXPECT_EQ(pixel(TX + W + d, TY + 20), BLACK);
        EXPECT_EQ(pixel(TX + 30, TY + d), BLACK);
        EXPECT_EQ(pixel(TX + 30, TY + H + d), BLACK);
    }
    EXPECT_EQ(pixel(TX + 2, TY + 10), WHITE);
    EXPECT_EQ(pixel(TX + W + 4, TY + 10), BLACK);  // five-pixel shadow
    EXPECT_EQ(pixel(TX + W + 5, TY + 10), WHITE);
    EXPECT_EQ(pixel(TX + 30, TY + H + 4), BLACK);
    EXPECT_EQ(pixel(TX + 4, TY + H + 4), WHITE);
}

TEST_F(TableTest, WideTextsGrowTheirColumnAndOptionsApply)
{
    build("x#width=30 right,b#center grey\nA very long text indeed,y#textcolor=ff0000\n",
          "tab,mincolwidth=70,lineheight=24,linecolor=0000ff");
    EXPECT_EQ(t.widths[0], kxtext_width(font, "A very long text indeed") + 9);
    EXPECT_EQ(t.widths[1], 70);
    EXPECT_EQ(t.lineheight, 24);
    EXPECT_EQ(t.linecolour, 0x0000FF);
    EXPECT_EQ(kxtable_cell(&t, 0, 0)->align, KX_ALIGN_RIGHT);
    EXPECT_EQ(kxtable_cell(&t, 1, 0)->align, KX_ALIGN_CENTER);
    EXPECT_EQ(kxtable_cell(&t, 1, 1)->textcolor, 0xFF0000);
    EXPECT_EQ(pixel(colx(1) + 2, TY + 3), KX_TABLE_GREY);
    EXPECT_EQ(pixel(colx(1), TY + 30), 0x0000FF);
    // Right-aligned text ends 4 pixels before the column's right edge.
    bool ink = false;
    for (int y = TY + 1; y < TY + 23; y++)
        for (int x = colx(1) - 10; x <= colx(1) - 5; x++)
            ink |= pixel(x, y) == BLACK;
    EXPECT_TRUE(ink);
    for (int y = TY + 1; y < TY + 23; y++)
        for (int x = colx(1) - 4; x < colx(1); x++)
            ASSERT_NE(pixel(x, y), BLACK) << x << "," << y;
}

TEST_F(TableTest, CheckBoxAndComboboxCellsReportTheirValues)
{
    build("1#bool,0#bool,9600#combobox entries=300|9600|right\n");
    EXPECT_EQ(cell(0, 0), "1");
    EXPECT_EQ(cell(1, 0), "0");
    EXPECT_EQ(cell(2, 0), "9600");
    EXPECT_EQ(kxtable_cell(&t, 2, 0)->align, KX_ALIGN_LEFT);  // "right" is an entry
    click(colx(1) + t.widths[1] / 2, TY + 10);
    EXPECT_EQ(cell(1, 0), "1");
    kxtable_setcell(&t, 0, 0, "0");
    EXPECT_FALSE(kxtable_cell(&t, 0, 0)->checkbox->is_checked());
    kxtable_setcell(&t, 2, 0, "right");
    EXPECT_EQ(cell(2, 0), "right");
}

TEST_F(TableTest, HostileSourcesStayInBounds)
{
    std::string cells;
    for (int i = 0; i < 10000; i++)
        cells += ",b";
    build("a" + cells + "\n");
    EXPECT_EQ(t.columns, KX_TABLE_MAX_COLUMNS);
    EXPECT_EQ(cell(0, 0), "a");
    build(std::string(400, 'w') + ",#width=999999999999999999,#width=-5\n");
    EXPECT_EQ(cell(0, 0), std::string(KX_TABLE_TEXT, 'w'));
    EXPECT_EQ(t.widths[1], KX_TABLE_MAX_COLWIDTH);
    EXPECT_EQ(t.widths[2], KX_TABLE_MINCOLWIDTH);  // a negative width is 0, then fitted up
    // Unterminated and empty options.
    int y = build("#,a#font=,b#entries=,c#textcolor=,d#bgcolor=,|,||,#button,#combobox\n");
    EXPECT_EQ(y, TY + 20);
    EXPECT_EQ(cell(6, 0), "");
    EXPECT_EQ(t.rows, 1);
    EXPECT_EQ(build("-\n---\n"), TY);
    EXPECT_EQ(t.rows, 0);
    EXPECT_EQ(build(""), TY);
    EXPECT_EQ(kxtable_rowevent(&t, 5, 0), 0);
    // Allocation limits.
    std::string out = kxtest_stdout([&] { kxtable_alloc(&t, 20000, 1); });
    EXPECT_EQ(out, "kxtable_alloc: 20000 columns cut to 10000\n");
    EXPECT_EQ(t.columns, KX_TABLE_MAX_COLUMNS);
    out = kxtest_stdout([&] { kxtable_alloc(&t, 1000, 1000); });
    EXPECT_EQ(t.rows, KX_TABLE_MAX_CELLS / 1000);
    EXPECT_NE(out.find("rows cut"), std::string::npos);
    kxtable_setcell(&t, -1, 0, "x");
    kxtable_setwidth(&t, KX_TABLE_MAX_COLUMNS, 5);
    kxtable_setline(&t, 0, 0, 7, 1);
    EXPECT_EQ(kxtable_cell(&t, 0, 0)->lines[KX_EDGE_TOP], KX_LINE_THIN);
}

TEST_F(TableTest, RandomSourcesNeverFault)
{
    const char *pieces[] = {"a",        ",",      ",,",        "#",         "-",
                            "|",        "\n",     "\r\n",      "width=",    "99999999999",
                            "edit",     "bool",   "combobox",  "button",    "entries=",
                            "x|y",      "colspan", "rowspan",  "grey",      "center",
                            "right",    "font=",  "bold",      "textcolor=", "bgcolor=zz",
                            " ",        "%s%n",   "1",         "senden"};
    const char *tags[] = {"t", "t,3dframe", "t,thickframe", "t,border,lineheight=0",
                          "t,mincolwidth=99999999,x=-99999999", "t,3dframe,thickframe"};
    std::mt19937 rng(20071207);
    std::string longword(500, 'L');
    for (int round = 0; round < 150; round++) {
        std::string src;
        int n = static_cast<int>(rng() % 60);
        for (int i = 0; i < n; i++)
            src += rng() % 40 == 0 ? longword : pieces[rng() % std::size(pieces)];
        const char *tag = tags[rng() % std::size(tags)];
        kxtableoptions o = kxtable_options(tag, TX);
        int y = kxtable_build(&t, src.c_str(), o, font, bold, TY);
        ASSERT_LE(t.columns, KX_TABLE_MAX_COLUMNS);
        ASSERT_EQ(y, t.y + t.rows * t.lineheight) << src;
        ASSERT_TRUE(t.laidout || t.rows == 0);
        for (int r = 0; r < t.rows; r++)
            for (int c = 0; c < t.columns; c++) {
                ASSERT_LE(cell(c, r).size(), static_cast<std::size_t>(KX_TABLE_TEXT));
                ASSERT_GE(t.widths[c], KX_TABLE_MINCOLWIDTH);
            }
        kxsys_pump_all();
    }
}

}  // namespace

// A file written by another dBase III writer (the Python dbf package) loads
// into the application's table; its deleted record is skipped.
TEST_F(TableTest, AFileWrittenByAnotherDBaseWriterLoads)
{
    const char *python = "/usr/bin/python3";
    if (std::system((std::string(python) + " -c 'import dbf' 2>/dev/null").c_str()) != 0)
        GTEST_SKIP() << "python3-dbf is not installed";
    std::string path = kxtest_output_dir() + "/table_from_python.dbf";
    std::filesystem::remove(path);
    std::string script =
        "import dbf, sys\n"
        "t = dbf.Table(sys.argv[1], 'C0 C(101); C1 C(101); C2 C(101)', dbf_type='db3',"
        " codepage='cp1252')\n"
        "t.open(mode=dbf.READ_WRITE)\n"
        "t.append(('zu sendender String', 'Kommentar', ''))\n"
        "t.append(('geloescht', 'geloescht', ''))\n"
        "for r in range(1, 15):\n"
        "    t.append(('AT+%d' % r, 'Zeile %d \\u00fc' % r, 'senden'))\n"
        "dbf.delete(t[1])\n"
        "t.close()\n";
    std::string cmd = std::string(python) + " -c \"$KXSCRIPT\" '" + path + "'";
    setenv("KXSCRIPT", script.c_str(), 1);
    ASSERT_EQ(std::system(cmd.c_str()), 0);

    build(app_source());
    for (int r = 0; r < 15; r++)
        kxtable_setcell(&t, 0, r, "unset");
    ASSERT_TRUE(kxtable_load(&t, path.c_str(), 0, 0));
    EXPECT_EQ(cell(0, 0), "zu sendender String");
    EXPECT_EQ(cell(1, 0), "Kommentar");
    for (int r = 1; r < 15; r++) {
        EXPECT_EQ(cell(0, r), "AT+" + std::to_string(r));
        EXPECT_EQ(cell(1, r), "Zeile " + std::to_string(r) + " \xfc");
    }
    EXPECT_STREQ(kxtable_cell(&t, 1, 14)->lineinput->get_text(), "Zeile 14 \xfc");
}
