// Laying out the table: cell widgets, cell texts, ruling lines and frames,
// all drawn through the drawing calls into the drawing target.
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "core/target.h"
#include "graphics/font.h"
#include "graphics/text.h"
#include "markup/table_draw.h"

namespace {

constexpr int BLACK = 0x000000;
constexpr int WHITE = 0xFFFFFF;

// The rectangle of one cell.
struct cellbox {
    int x, y, w, h;
};

int text_x(const kxtablecell &c, const cellbox &b, int tw)
{
    int x = b.x + 4;
    if (c.align == KX_ALIGN_CENTER)
        x = b.x + (b.w - tw) / 2;
    else if (c.align == KX_ALIGN_RIGHT)
        x = b.x + b.w - tw - 4;
    return std::max(x, b.x);
}

void request_update(int x, int y, int w, int h)
{
    kxtarget tg;
    if (kxtarget_current(&tg))
        kxsend(tg.handler, tg.object, KX_REQ_UPDATE, x, y, w, h);
}

void fill_interior(const kxtablecell &c, const cellbox &b)
{
    if (c.grey)
        kxdraw_fillrect(b.x + 1, b.y + 1, b.w - 1,
                        c.lines[KX_EDGE_BOTTOM] != KX_LINE_NONE ? b.h - 1 : b.h, KX_TABLE_GREY);
    else
        kxdraw_fillrect(b.x + 1, b.y + 1, b.w - 2, b.h - 2, c.bgcolor);
}

void draw_text(const kxtablecell &c, const cellbox &b, const char *text)
{
    fill_interior(c, b);
    if (!text[0])
        return;
    kxdraw_setfont(c.font);
    int tw = kxtable_textwidth(c.font, text);
    int ty = b.y + (b.h - kxfont_height(c.font)) / 2;
    kxdraw_text(text_x(c, b, tw), ty, c.textcolor, text);
    request_update(b.x + 1, b.y + 1, b.w - 1, b.h);
}

const char *align_attr(const kxtablecell &c)
{
    return c.align == KX_ALIGN_RIGHT ? "align=right" : "";
}

void create_widget(kxTable *t, kxtablecell &c, int column, const cellbox &b)
{
    int x = b.x, y = b.y, w = b.w, h = b.h;
    switch (c.type) {
    case KX_CELL_BOOL:
        kxdraw_fillrect(x + 1, y + 1, w - 2, h - 2, c.bgcolor);
        c.checkbox->create(",x=%d,y=%d,xs=%d,ys=%d,boxonly,lightframe", x + 1, y + 1, w - 2,
                           h - 2);
        c.checkbox->set_checked(c.text[0] == '1');
        break;
    case KX_CELL_EDIT:
        c.lineinput->create("x=%d,y=%d,xs=%d,ys=%d,noborder,maxlen=100,fontid=%d,%s", x + 1,
                            y + 1, w - 2, h - 2, c.font, align_attr(c));
        c.lineinput->set_text(c.text);
        break;
    case KX_CELL_COMBO:
        c.combobox->create(
            "x=%d,y=%d,xs=%d,ys=%d,noborder,maxlen=40,nobutton,fontid=%d,entries=%s,%s", x + 1,
            y + 1, w - 2, h - 2, c.font, c.entries.c_str(), align_attr(c));
        c.combobox->select_text(c.text);
        break;
    case KX_CELL_BUTTON: {
        int bw = w - 3;
        if (c.spans && column + 1 < t->columns)
            bw += t->widths[column + 1];
        char extra[32] = "";
        if (c.bgcolor != WHITE)
            std::snprintf(extra, sizeof extra, "bgcolor=%06x", c.bgcolor);
        c.button->create("%s,x=%d,y=%d,xs=%d,ys=%d,fontid=%d,%s", c.text, x + 2, y + 1, bw,
                         h - 2, c.font, extra);
        break;
    }
    default: break;
    }
}

// The lines of one cell carrying the given flag.
void draw_lines(const kxtablecell &c, const cellbox &b, int flag, int colour)
{
    int x = b.x, y = b.y, w = b.w, h = b.h;
    if (c.lines[KX_EDGE_LEFT] == flag)
        kxdraw_line(x, y, x, y + h, colour);
    if (c.lines[KX_EDGE_RIGHT] == flag)
        kxdraw_line(x + w, y, x + w, y + h, colour);
    if (c.lines[KX_EDGE_TOP] == flag)
        kxdraw_line(x, y, x + w, y, colour);
    if (c.lines[KX_EDGE_BOTTOM] == flag)
        kxdraw_line(x, y + h, x + w, y + h, colour);
}

void vline(int x, int y0, int y1) { kxdraw_line(x, y0, x, y1, BLACK); }
void hline(int y, int x0, int x1) { kxdraw_line(x0, y, x1, y, BLACK); }

void draw_frame(const kxTable *t, int x, int y, int W, int H)
{
    if (t->thickframe) {
        for (int d = -1; d <= 1; d++) {
            vline(x + d, y - 1, y + H + 1);
            vline(x + W + d, y - 1, y + H + 1);
            hline(y + d, x - 1, x + W + 1);
            hline(y + H + d, x - 1, x + W + 1);
        }
        if (t->frame3d)
            for (int j = 0; j <= 4; j++) {
                vline(x + W + j, y + 5, y + H + j);
                hline(y + H + j, x + 5, x + W + j);
            }
        return;
    }
    if (t->frame3d || t->border) {
        vline(x + W, y, y + H);
        vline(x, y, y + H);
        hline(y, x, x + W);
    }
    if (t->frame3d)
        for (int j = 1; j <= 2; j++) {
            vline(x + W + j, y + 2, y + H + 2);
            hline(y + H + j, x + 2, x + W);
        }
}

// Calls fn(cell, column, box) for every cell, left to right, top to bottom.
template <class F> void each_cell(kxTable *t, F fn)
{
    for (int r = 0; r < t->rows; r++) {
        int x = t->x;
        for (int col = 0; col < t->columns; col++) {
            cellbox b{x, t->y + r * t->lineheight, t->widths[col], t->lineheight};
            fn(*kxtable_cell(t, col, r), col, r, b);
            x += t->widths[col];
        }
    }
}

bool spanned_into(kxTable *t, int column, int row)
{
    const kxtablecell *left = kxtable_cell(t, column - 1, row);
    return left && left->spans;
}

cellbox box_of(const kxTable *t, int column, int row)
{
    int x = t->x;
    for (int col = 0; col < column; col++)
        x += t->widths[col];
    return {x, t->y + row * t->lineheight, t->widths[column], t->lineheight};
}

}  // namespace

int kxtable_textwidth(int font, const char *text) { return kxtext_width(font, text); }

int kxtable_layout(kxTable *t, int x, int y)
{
    // Keeps every coordinate well inside int whatever the source asked.
    t->x = std::clamp(x, -KX_TABLE_MAX_COLWIDTH, KX_TABLE_MAX_COLWIDTH);
    t->y = std::clamp(y, -KX_TABLE_MAX_COLWIDTH * 10, KX_TABLE_MAX_COLWIDTH * 10);
    bool again = t->laidout;
    each_cell(t, [&](kxtablecell &c, int col, int r, const cellbox &b) {
        c.x = b.x;
        if (c.type == KX_CELL_TEXT) {
            if (!spanned_into(t, col, r))
                draw_text(c, b, c.text);
        } else if (!again) {
            create_widget(t, c, col, b);
        }
    });
    each_cell(t, [&](kxtablecell &c, int, int, const cellbox &b) {
        draw_lines(c, b, KX_LINE_THIN, t->linecolour);
    });
    each_cell(t, [&](kxtablecell &c, int, int, const cellbox &b) {
        draw_lines(c, b, KX_LINE_STRONG, BLACK);
    });
    int W = 0;
    for (int col = 0; col < t->columns; col++)
        W += t->widths[col];
    int H = t->rows * t->lineheight;
    draw_frame(t, t->x, t->y, W, H);
    t->laidout = true;
    return t->y + H;
}

void kxtable_redrawcell(kxTable *t, int column, int row)
{
    kxtablecell *c = kxtable_cell(t, column, row);
    if (!c || !t->laidout)
        return;
    switch (c->type) {
    case KX_CELL_TEXT: {
        if (spanned_into(t, column, row))
            return;
        cellbox b = box_of(t, column, row);
        // Shortened from the end until it fits the column.
        char shown[KX_TABLE_TEXT + 1];
        std::snprintf(shown, sizeof shown, "%s", c->text);
        std::size_t n = std::strlen(shown);
        while (n > 0 && kxtable_textwidth(c->font, shown) >= b.w - 8)
            shown[--n] = 0;
        kxtablecell plain = {};
        plain.font = c->font;
        plain.textcolor = c->textcolor;
        plain.bgcolor = c->bgcolor;
        plain.grey = c->grey;
        plain.lines = c->lines;
        plain.align = c->align == KX_ALIGN_CENTER ? KX_ALIGN_CENTER : KX_ALIGN_LEFT;
        draw_text(plain, b, shown);
        if (!shown[0])
            request_update(b.x + 1, b.y + 1, b.w - 1, b.h);
        break;
    }
    case KX_CELL_BOOL:
        if (c->checkbox && c->checkbox->created)
            c->checkbox->set_checked(c->text[0] == '1');
        break;
    case KX_CELL_EDIT:
        if (c->lineinput && c->lineinput->created)
            c->lineinput->set_text(c->text);
        break;
    case KX_CELL_COMBO:
        if (c->combobox && c->combobox->created)
            c->combobox->select_text(c->text);
        break;
    default: break;
    }
}
