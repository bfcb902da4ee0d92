// The table element's cells, setters, events and files.  Layout and drawing
// are in table_layout.cpp, building from markup in table_parse.cpp.
#include "markup/table.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "markup/dbf.h"
#include "markup/table_draw.h"

kxTable::~kxTable() { kxtable_destroy(this); }

kxtablecell *kxtable_cell(kxTable *t, int column, int row)
{
    if (column < 0 || row < 0 || column >= t->columns || row >= t->rows)
        return nullptr;
    return &t->cells[static_cast<std::size_t>(column) + static_cast<std::size_t>(row) * t->columns];
}

const kxtablecell *kxtable_cell(const kxTable *t, int column, int row)
{
    return kxtable_cell(const_cast<kxTable *>(t), column, row);
}

void kxtable_init(kxTable *t)
{
    kxtable_destroy(t);
    t->lineheight = KX_TABLE_LINEHEIGHT;
    t->linecolour = KX_TABLE_LINECOLOUR;
    t->x = t->y = 0;
    t->laidout = t->frame3d = t->border = t->thickframe = false;
}

void kxtable_alloc(kxTable *t, int columns, int rows)
{
    kxtable_destroy(t);
    columns = std::max(columns, 0);
    rows = std::max(rows, 0);
    if (columns > KX_TABLE_MAX_COLUMNS) {
        std::printf("kxtable_alloc: %d columns cut to %d\n", columns, KX_TABLE_MAX_COLUMNS);
        columns = KX_TABLE_MAX_COLUMNS;
    }
    if (columns > 0 && rows > KX_TABLE_MAX_CELLS / columns) {
        std::printf("kxtable_alloc: %d rows cut to %d\n", rows, KX_TABLE_MAX_CELLS / columns);
        rows = KX_TABLE_MAX_CELLS / columns;
    }
    if (columns == 0 || rows == 0)
        columns = rows = 0;
    t->cells.resize(static_cast<std::size_t>(columns) * rows);
    t->columns = columns;
    t->rows = rows;
    t->widths.fill(KX_TABLE_COLWIDTH);
    t->laidout = t->frame3d = t->border = t->thickframe = false;
}

void kxtable_destroy(kxTable *t)
{
    // Widgets first: each unregisters from its view while the cells stand.
    for (kxtablecell &c : t->cells) {
        c.checkbox.reset();
        c.lineinput.reset();
        c.combobox.reset();
        c.button.reset();
    }
    t->cells.clear();
    t->cells.shrink_to_fit();
    t->columns = t->rows = 0;
    t->laidout = false;
}

// Cut to cap - 1 bytes on purpose (a widget's text may be longer than a
// cell's), so a plain copy rather than a format the compiler warns about.
static void copy_text(char *dst, std::size_t cap, const char *src)
{
    const std::size_t n = src ? strnlen(src, cap - 1) : 0;
    std::memcpy(dst, src ? src : "", n);
    dst[n] = 0;
}

void kxtable_setcell(kxTable *t, int column, int row, const char *fmt, ...)
{
    kxtablecell *c = kxtable_cell(t, column, row);
    if (!c || !fmt)
        return;
    va_list ap;
    va_start(ap, fmt);
    std::vsnprintf(c->text, sizeof c->text, fmt, ap);
    va_end(ap);
    if (t->laidout)
        kxtable_redrawcell(t, column, row);
}

// The widget's value into the cell text.
static void take_widget_value(kxtablecell *c)
{
    switch (c->type) {
    case KX_CELL_BOOL:
        if (c->checkbox && c->checkbox->created)
            copy_text(c->text, sizeof c->text, c->checkbox->is_checked() ? "1" : "0");
        break;
    case KX_CELL_EDIT:
        if (c->lineinput && c->lineinput->created)
            copy_text(c->text, sizeof c->text, c->lineinput->get_text());
        break;
    case KX_CELL_COMBO:
        if (c->combobox && c->combobox->created)
            c->combobox->selected_text(c->text, sizeof c->text);
        break;
    default: break;
    }
}

bool kxtable_getcell(kxTable *t, char *out, int column, int row, std::size_t capacity)
{
    kxtablecell *c = kxtable_cell(t, column, row);
    if (!out || capacity == 0)
        return false;
    if (!c) {
        out[0] = 0;
        return false;
    }
    take_widget_value(c);
    copy_text(out, capacity, c->text);
    return true;
}

// The widgets belong to the cells but are no part of their value.
static kxwidget *cell_widget(const kxtablecell &c)
{
    switch (c.type) {
    case KX_CELL_BOOL: return c.checkbox.get();
    case KX_CELL_EDIT: return c.lineinput.get();
    case KX_CELL_COMBO: return c.combobox.get();
    case KX_CELL_BUTTON: return c.button.get();
    default: return nullptr;
    }
}

bool kxtable_focus(kxTable *t, int column, int row)
{
    const kxtablecell *c = kxtable_cell(t, column, row);
    kxwidget *w = c ? cell_widget(*c) : nullptr;
    return w && w->created && (w->focused || kxwidget_askfocus(w));
}

int kxtable_rowevent(const kxTable *t, int id, int row)
{
    for (int col = 0; col < t->columns; col++) {
        const kxtablecell *c = kxtable_cell(t, col, row);
        if (!c)
            return 0;
        const kxwidget *w = cell_widget(*c);
        if (w && w->created && w->ids[0] == id)
            return col;
    }
    return 0;
}

bool kxtable_save(kxTable *t, const char *name, int firstrecord, int firstfield)
{
    if (!name)
        return false;
    return kxdbf_savetable(name, firstrecord, firstfield, t->columns, t->rows,
                           [t](int column, int row) {
                               kxtablecell *c = kxtable_cell(t, column, row);
                               take_widget_value(c);
                               return std::string(c->text);
                           });
}

bool kxtable_load(kxTable *t, const char *name, int firstrecord, int firstfield)
{
    if (!name)
        return false;
    bool ok = kxdbf_loadtable(name, firstrecord, firstfield, t->columns, t->rows, KX_TABLE_TEXT,
                              [t](int column, int row, const char *text) {
                                  kxtablecell *c = kxtable_cell(t, column, row);
                                  copy_text(c->text, sizeof c->text, text);
                              });
    if (ok && t->laidout)
        for (int r = 0; r < t->rows; r++)
            for (int col = 0; col < t->columns; col++)
                kxtable_redrawcell(t, col, r);
    return ok;
}

// ---- setters ----------------------------------------------------------------

void kxtable_setwidth(kxTable *t, int column, int width)
{
    if (column >= 0 && column < t->columns)
        t->widths[column] = std::clamp(width, 0, KX_TABLE_MAX_COLWIDTH);
}

void kxtable_setfont(kxTable *t, int column, int row, int font)
{
    if (kxtablecell *c = kxtable_cell(t, column, row))
        c->font = font;
}

void kxtable_setallfonts(kxTable *t, int font)
{
    for (kxtablecell &c : t->cells)
        c.font = font;
}

void kxtable_settype(kxTable *t, int column, int row, int type)
{
    kxtablecell *c = kxtable_cell(t, column, row);
    if (!c || type < KX_CELL_TEXT || type > KX_CELL_BUTTON || t->laidout)
        return;
    c->type = type;
    if (type == KX_CELL_BOOL && !c->checkbox)
        c->checkbox = std::make_unique<kxCheckBox>();
    if (type == KX_CELL_EDIT && !c->lineinput)
        c->lineinput = std::make_unique<kxLineInput>();
    if (type == KX_CELL_COMBO && !c->combobox)
        c->combobox = std::make_unique<kxComboBox>();
    if (type == KX_CELL_BUTTON && !c->button)
        c->button = std::make_unique<kxButton>();
}

void kxtable_setalign(kxTable *t, int column, int row, int align)
{
    kxtablecell *c = kxtable_cell(t, column, row);
    if (c && align >= KX_ALIGN_LEFT && align <= KX_ALIGN_RIGHT)
        c->align = align;
}

void kxtable_setgrey(kxTable *t, int column, int row, bool on)
{
    if (kxtablecell *c = kxtable_cell(t, column, row))
        c->grey = on;
}

void kxtable_setline(kxTable *t, int column, int row, int edge, int flag)
{
    kxtablecell *c = kxtable_cell(t, column, row);
    if (c && edge >= KX_EDGE_TOP && edge <= KX_EDGE_RIGHT && flag >= KX_LINE_NONE &&
        flag <= KX_LINE_STRONG)
        c->lines[edge] = flag;
}

void kxtable_setframe3d(kxTable *t, bool on) { t->frame3d = on; }
void kxtable_setthickframe(kxTable *t, bool on) { t->thickframe = on; }
void kxtable_setborder(kxTable *t, bool on) { t->border = on; }
void kxtable_setlinecolour(kxTable *t, int colour) { t->linecolour = colour & 0xFFFFFF; }

void kxtable_setlineheight(kxTable *t, int height)
{
    t->lineheight = std::clamp(height, 1, KX_TABLE_MAX_LINEHEIGHT);
}

void kxtable_setentries(kxTable *t, int column, int row, const char *entries)
{
    if (kxtablecell *c = kxtable_cell(t, column, row))
        c->entries = entries ? entries : "";
}

void kxtable_setrowspan(kxTable *t, int column, int row)
{
    kxtable_setline(t, column, row, KX_EDGE_BOTTOM, KX_LINE_NONE);
    kxtable_setline(t, column, row + 1, KX_EDGE_TOP, KX_LINE_NONE);
}

void kxtable_setcolspan(kxTable *t, int column, int row)
{
    kxtablecell *c = kxtable_cell(t, column, row);
    if (!c)
        return;
    c->spans = 1;
    kxtable_setline(t, column, row, KX_EDGE_RIGHT, KX_LINE_NONE);
    kxtable_setline(t, column + 1, row, KX_EDGE_LEFT, KX_LINE_NONE);
}

void kxtable_settextcolour(kxTable *t, int column, int row, int colour)
{
    if (kxtablecell *c = kxtable_cell(t, column, row))
        c->textcolor = colour & 0xFFFFFF;
}

void kxtable_setbgcolour(kxTable *t, int column, int row, int colour)
{
    if (kxtablecell *c = kxtable_cell(t, column, row))
        c->bgcolor = colour & 0xFFFFFF;
}

void kxtable_fitcolumns(kxTable *t, int mincolwidth)
{
    int least = mincolwidth > 0 ? std::min(mincolwidth, KX_TABLE_MAX_COLWIDTH)
                                : KX_TABLE_MINCOLWIDTH;
    for (int col = 0; col < t->columns; col++) {
        int w = std::max(t->widths[col], least);
        for (int r = 0; r < t->rows; r++) {
            const kxtablecell *c = kxtable_cell(t, col, r);
            if (c->text[0])
                w = std::max(w, kxtable_textwidth(c->font, c->text) + 9);
        }
        t->widths[col] = std::min(w, KX_TABLE_MAX_COLWIDTH);
    }
}
