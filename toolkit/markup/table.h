// The table element: a grid of cells that the markup engine builds from the
// text between "table" and "/table".  A cell shows text or holds one widget
// (check box, line input, combobox or button).  The table draws its ruling
// lines and frame through the drawing calls and owns its cell widgets; it is
// no widget itself and receives no events.
//
// Source: one row per line, cells split at commas (",," is a literal comma).
// A line beginning with "-" is a separator: each of its cells that begins
// with "-" gives its column a strong line under the row above.  A cell
// beginning or ending with "|" gets a strong left or right line.  Options
// follow the cell text after "#" and are found by substring.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/button.h"
#include "widgets/checkbox.h"
#include "widgets/combobox.h"
#include "widgets/lineinput.h"

constexpr int KX_TABLE_MAX_COLUMNS = 10000;
// Cells of one table; a source asking for more loses its last rows.
constexpr int KX_TABLE_MAX_CELLS = 100000;
constexpr int KX_TABLE_TEXT = 302;           // characters of a cell text
constexpr int KX_TABLE_COLWIDTH = 60;        // column width after allocation
constexpr int KX_TABLE_MAX_COLWIDTH = 100000;
constexpr int KX_TABLE_LINEHEIGHT = 20;
constexpr int KX_TABLE_MAX_LINEHEIGHT = 1000;
constexpr int KX_TABLE_MINCOLWIDTH = 20;     // column fitting when none is set
constexpr int KX_TABLE_LINECOLOUR = 0xD0D0D0;
constexpr int KX_TABLE_MARKUP_LINECOLOUR = 0x808080;
constexpr int KX_TABLE_GREY = 0xE8E8E8;

enum kxcelltype : int {
    KX_CELL_TEXT = 0,
    KX_CELL_BOOL = 1,
    KX_CELL_EDIT = 2,
    KX_CELL_COMBO = 3,
    KX_CELL_BUTTON = 4,
};

enum kxcellalign : int { KX_ALIGN_LEFT = 0, KX_ALIGN_CENTER = 1, KX_ALIGN_RIGHT = 2 };

// Line flags of a cell edge.
enum : int { KX_LINE_NONE = 0, KX_LINE_THIN = 1, KX_LINE_STRONG = 2 };
enum kxcelledge : int { KX_EDGE_TOP = 0, KX_EDGE_BOTTOM = 1, KX_EDGE_LEFT = 2, KX_EDGE_RIGHT = 3 };

struct kxtablecell {
    int type = KX_CELL_TEXT;
    int align = KX_ALIGN_LEFT;
    std::uint8_t grey = 0;
    char text[KX_TABLE_TEXT + 1] = {};
    std::array<int, 4> lines{KX_LINE_THIN, KX_LINE_THIN, KX_LINE_THIN, KX_LINE_THIN};
    // The one matching the type exists from parsing on; created at layout.
    std::unique_ptr<kxCheckBox> checkbox;
    std::unique_ptr<kxLineInput> lineinput;
    std::unique_ptr<kxComboBox> combobox;
    std::unique_ptr<kxButton> button;
    int font = KX_FONT_DEFAULT;
    int x = 0;
    std::string entries;  // combobox entries, "|"-separated
    int textcolor = 0x000000;
    int bgcolor = 0xFFFFFF;
    std::uint8_t spans = 0;  // spans into the next column
};

struct kxTable {
    std::vector<kxtablecell> cells;  // cell (c, r) is c + r * columns
    int columns = 0;
    int rows = 0;
    std::array<int, KX_TABLE_MAX_COLUMNS> widths{};
    int lineheight = KX_TABLE_LINEHEIGHT;
    int linecolour = KX_TABLE_LINECOLOUR;
    int x = 0, y = 0;
    bool laidout = false, frame3d = false, border = false, thickframe = false;

    kxTable() = default;
    ~kxTable();
    kxTable(const kxTable &) = delete;
    kxTable &operator=(const kxTable &) = delete;
};

// ---- operations ------------------------------------------------------------

void kxtable_init(kxTable *t);
// Allocates columns x rows fresh cells (earlier ones are destroyed), every
// column 60 wide, flags cleared.  Columns are cut to KX_TABLE_MAX_COLUMNS and
// rows to what KX_TABLE_MAX_CELLS allows, with a diagnostic.
void kxtable_alloc(kxTable *t, int columns, int rows);
// Sets a cell's text (cut to KX_TABLE_TEXT); once laid out, the cell's
// display or widget shows it at once.
void kxtable_setcell(kxTable *t, int column, int row, const char *fmt, ...)
    __attribute__((format(printf, 4, 5)));
// Brings the cell text up to date from its widget (check box "1" or "0",
// line input and combobox their text), then copies it into out (at most
// capacity - 1 characters).  False, and "", for a cell that does not exist.
bool kxtable_getcell(kxTable *t, char *out, int column, int row,
                     std::size_t capacity = KX_TABLE_TEXT + 1);
// Gives the keyboard focus to the cell's widget, as a click would; false for
// a cell without one or when its container refuses.
bool kxtable_focus(kxTable *t, int column, int row);
// The column of the first widget cell of the row whose widget has this main
// event id; 0 when none has (a match in column 0 looks the same).
int kxtable_rowevent(const kxTable *t, int id, int row);
// Creates the cell widgets in the current output target and draws cells,
// lines and frame into the drawing target.  Returns y + rows * line height.
int kxtable_layout(kxTable *t, int x, int y);
// Cell (c, r) is field firstfield + c of record firstrecord + r; ".dbf" is
// appended unless the name contains it.  False, and the table unchanged,
// when the file cannot be opened (load) or written (save).
bool kxtable_load(kxTable *t, const char *name, int firstrecord, int firstfield);
bool kxtable_save(kxTable *t, const char *name, int firstrecord, int firstfield);
// Destroys the cell widgets and frees the cells.
void kxtable_destroy(kxTable *t);

// The cell, or null outside the table.
kxtablecell *kxtable_cell(kxTable *t, int column, int row);
const kxtablecell *kxtable_cell(const kxTable *t, int column, int row);

// ---- setters used while parsing (out-of-range cells are ignored) ----------

void kxtable_setwidth(kxTable *t, int column, int width);
void kxtable_setfont(kxTable *t, int column, int row, int font);
void kxtable_setallfonts(kxTable *t, int font);
// Sets the type and allocates the type's widget (created at layout).
void kxtable_settype(kxTable *t, int column, int row, int type);
void kxtable_setalign(kxTable *t, int column, int row, int align);
void kxtable_setgrey(kxTable *t, int column, int row, bool on);
void kxtable_setline(kxTable *t, int column, int row, int edge, int flag);
void kxtable_setframe3d(kxTable *t, bool on);
void kxtable_setthickframe(kxTable *t, bool on);
void kxtable_setborder(kxTable *t, bool on);
void kxtable_setlinecolour(kxTable *t, int colour);
void kxtable_setlineheight(kxTable *t, int height);
void kxtable_setentries(kxTable *t, int column, int row, const char *entries);
// No bottom line on the cell and no top line on the cell below.
void kxtable_setrowspan(kxTable *t, int column, int row);
// No right line on the cell and no left line on the next; its button spans
// both columns and the next cell's text is not drawn.
void kxtable_setcolspan(kxTable *t, int column, int row);
void kxtable_settextcolour(kxTable *t, int column, int row, int colour);
void kxtable_setbgcolour(kxTable *t, int column, int row, int colour);
// Every column becomes at least mincolwidth (20 when 0) and as wide as each
// of its texts in the cell's font + 9.
void kxtable_fitcolumns(kxTable *t, int mincolwidth);

// ---- building from markup ---------------------------------------------------

// The options of the "table" tag; the defaults are the markup's.
struct kxtableoptions {
    bool frame3d = false, thickframe = false, border = false;
    int lineheight = KX_TABLE_LINEHEIGHT;
    int mincolwidth = 0;  // 0 means KX_TABLE_MINCOLWIDTH
    int linecolour = KX_TABLE_MARKUP_LINECOLOUR;
    int x = 0;
};

// Reads the options from the tag's argument, whose first item is the
// element name:
// "3dframe", "border", "thickframe", "lineheight=", "mincolwidth=",
// "linecolor=" and "x=" (which defaults to currentx).
kxtableoptions kxtable_options(const char *argument, int currentx);
// Builds the table from the source gathered between the tags: allocates the
// cells in font, reads every row's cells and options (boldfont is the
// markup's bold font), fits the columns and lays the table out at
// (options.x, y).  Returns the y below the table.
int kxtable_build(kxTable *t, const char *source, const kxtableoptions &options, int font,
                  int boldfont, int y);
