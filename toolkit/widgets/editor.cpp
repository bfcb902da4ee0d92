#include "widgets/editor.h"

#include <algorithm>
#include <cstdarg>

#include "core/cfgstr.h"
#include "core/timer.h"
#include "graphics/colours.h"
#include "graphics/draw.h"
#include "graphics/font.h"
#include "graphics/text.h"
#include "widgets/cfgkeys.h"
#include "widgets/editor_grid.h"

namespace {

constexpr int TIMER_BLINK = 0;

bool drawable(const kxEdit *e) { return e->created && e->enabled && e->parent_pixmap; }

bool visible_cell(const kxEdit *e, int column, int line)
{
    return column >= e->firstx && column < e->firstx + e->vcolumns && line >= e->firsty &&
           line < e->firsty + e->vlines;
}

int cell_x(const kxEdit *e, int column) { return e->geom.x + 2 + (column - e->firstx) * e->cellw; }
int cell_y(const kxEdit *e, int line) { return e->geom.y + 2 + (line - e->firsty) * e->cellh; }

void notify_owner(kxEdit *e, int what, int line)
{
    if (e->hook)
        e->hook(e->hook_obj, KX_EV_EDIT_REDRAW, what, line, 0);
}

void draw_cells(kxEdit *e, int line, int from, int to)
{
    if (line < e->firsty || line >= e->firsty + e->vlines || line >= e->lines)
        return;
    kxpxmap *p = e->parent_pixmap;
    int y = cell_y(e, line);
    if (y >= p->height || y + e->cellh <= 0)
        return;
    // Only the cells that land on the pixmap: an editor may be far larger.
    int onleft = e->firstx + (-e->geom.x - 2) / e->cellw - 1;
    int onright = e->firstx + (p->width - e->geom.x - 2) / e->cellw + 1;
    from = std::max({from, e->firstx, onleft});
    to = std::min({to, e->firstx + e->vcolumns, e->columns, onright});
    int colour = e->grey ? e->palette[KX_GUI_TEXTGREY] : e->textcolor;
    for (int c = from; c < to; c++) {
        int x = cell_x(e, c);
        bool sel = kxedit_selected(e, c, line);
        kxpxmap_fillrect(p, x, y, e->cellw, e->cellh, sel ? e->selcolor : e->bgcolor);
        unsigned char ch = e->at(c, line);
        if (ch != ' ' && !(e->wordbreak && ch == KX_EDIT_BREAK))
            kxtext_drawchar(p, e->font, x, y, colour, false, false, -1, ch, -1, -1);
    }
}

void update_cells(kxEdit *e, int column, int line)
{
    if (e->enabled)
        kxwidget_request(e, KX_REQ_UPDATE, cell_x(e, column) - e->cellw, cell_y(e, line),
                         2 * e->cellw + 1, e->cellh);
}

// Puts back the cells under the drawn cursor.
void erase_cursor(kxEdit *e)
{
    if (e->blinkx < 0)
        return;
    int x = e->blinkx, y = e->blinky;
    e->blinkx = e->blinky = -1;
    if (!drawable(e) || !visible_cell(e, x, y))
        return;
    draw_cells(e, y, x - 1, x + 1);
    update_cells(e, x, y);
}

void paint_cursor(kxEdit *e)
{
    if (!drawable(e) || e->quiet || !e->focused || !e->cursoron || !e->shown ||
        !visible_cell(e, e->curx, e->cury))
        return;
    kxpxmap_fillrect(e->parent_pixmap, cell_x(e, e->curx), cell_y(e, e->cury), 1, e->cellh,
                     e->textcolor);
    e->blinkx = e->curx;
    e->blinky = e->cury;
    update_cells(e, e->curx, e->cury);
}

int column_at(const kxEdit *e, int rx)
{
    int c = std::clamp((rx - 2) / e->cellw, 0, std::max(e->vcolumns - 1, 0)) + e->firstx;
    return std::min(c, e->columns - 1);
}

int line_at(const kxEdit *e, int ry)
{
    int l = std::clamp((ry - 2) / e->cellh, 0, std::max(e->vlines - 1, 0)) + e->firsty;
    return std::min(l, e->lines - 1);
}

// The last line holding text, -1 for an empty grid.
int last_text_line(const kxEdit *e)
{
    for (int l = e->lines - 1; l >= 0; l--)
        if (kxedit_textend(e, l) > 0)
            return l;
    return -1;
}

void let_go(kxEdit *e)
{
    e->dragging = false;
    e->wordmode = false;
    e->dragscroll = kxdragscroll::none;
    if (e->grabbing) {
        e->grabbing = 0;
        kxwidget_request(e, KX_REQ_UNGRAB);
    }
}

void press(kxEdit *e, int code, int x, int y)
{
    if (!e->created || !e->enabled)
        return;
    int rx = x - e->geom.x, ry = y - e->geom.y;
    if (rx < 0 || ry < 0 || rx > e->vcolumns * e->cellw + 2 || ry > e->vlines * e->cellh + 2)
        return;
    bool gave = false;
    if (!e->focused) {
        kxwidget_request(e, KX_REQ_FOCUS, e->index);
        gave = e->focused;
    }
    if (!e->focused)
        return;
    int col = column_at(e, rx), line = line_at(e, ry);
    int last = last_text_line(e);
    if (gave && line > last) {
        line = std::min(last + 1, e->lines - 1);
        col = 0;
    }
    col = std::min(col, kxedit_textend(e, line));
    kxedit_clearselection(e);
    e->curx = std::min(col, e->columns - 1);
    e->cury = line;
    e->anchorx = e->endx = e->curx;
    e->anchory = e->endy = line;
    e->shown = true;
    e->dragging = true;
    if (code == KX_EV_LDOUBLE) {
        int from = 0, to = 0;
        kxedit_wordat(e, e->curx, line, &from, &to);
        if (to > from) {
            e->selecting = true;
            e->anchorx = from;
            e->endx = to;
            e->curx = std::min(to, e->columns - 1);
            kxedit_touchall(e);
        }
        e->wordmode = true;
    } else if (!e->grabbing) {
        e->grabbing = 1;
        kxwidget_request(e, KX_REQ_GRAB, e->index);
    }
    kxedit_keepvisible(e);
    kxedit_refresh(e);
}

void drag(kxEdit *e, int x, int y)
{
    if (!e->dragging || !e->created)
        return;
    int rx = x - e->geom.x, ry = y - e->geom.y;
    int right = 2 + e->vcolumns * e->cellw, bottom = 2 + e->vlines * e->cellh;
    kxdragscroll d = ry < 2         ? kxdragscroll::up
                     : ry >= bottom ? kxdragscroll::down
                     : rx < 2       ? kxdragscroll::left
                     : rx >= right  ? kxdragscroll::right
                                    : kxdragscroll::none;
    e->dragscroll = d;
    int dx = d == kxdragscroll::left ? -1 : d == kxdragscroll::right ? 1 : 0;
    int dy = d == kxdragscroll::up ? -1 : d == kxdragscroll::down ? 1 : 0;
    if (dx || dy)
        kxedit_scrollto(e, e->firstx + dx, e->firsty + dy);
    kxedit_moveto(e, column_at(e, rx), line_at(e, ry), true);
    kxedit_refresh(e);
}

void drag_scroll(kxEdit *e)
{
    if (!e->dragging || e->dragscroll == kxdragscroll::none)
        return;
    for (int i = 0; i < KX_EDIT_DRAG_STEPS; i++) {
        int x = e->curx, y = e->cury;
        switch (e->dragscroll) {
        case kxdragscroll::up: y--; break;
        case kxdragscroll::down: y++; break;
        case kxdragscroll::left: x--; break;
        case kxdragscroll::right: x++; break;
        case kxdragscroll::none: break;
        }
        kxedit_moveto(e, x, y, true);
    }
    kxedit_refresh(e);
}

void blink(kxEdit *e)
{
    if (!e->focused)
        return;
    erase_cursor(e);
    e->shown = !e->shown;
    paint_cursor(e);
}

void wheel(kxEdit *e, int lines)
{
    if (kxedit_scrollto(e, e->firstx, e->firsty + lines))
        kxedit_refresh(e);
}

int focus_in(kxEdit *e)
{
    if (e->nofocus)
        return 0;
    e->focused = 1;
    e->cursoron = true;
    e->shown = true;
    kxwidget_request(e, KX_REQ_MAKE_VISIBLE, e->index);
    kxedit_touchall(e);
    kxedit_refresh(e);
    return 1;
}

void focus_out(kxEdit *e)
{
    if (!e->focused)
        return;
    erase_cursor(e);
    e->focused = 0;
    e->cursoron = false;
    let_go(e);
    e->draw();
}

void resize(kxEdit *e, int xs, int ys)
{
    kxgeometry &g = e->geom;
    g.container_xs = xs;
    g.container_ys = ys;
    kxcfgstr_resolve(&g);
    kxwidget_request(e, KX_REQ_MOVE, e->index, g.x, g.y, g.xs, g.ys);
    kxedit_layout(e);
    e->draw();
}

} // namespace

void kxedit_refresh(kxEdit *e)
{
    if (e->quiet)
        return;
    if (!drawable(e)) {
        e->dirty = kxEdit::dirt::none;
        return;
    }
    erase_cursor(e);
    if (e->dirty == kxEdit::dirt::all)
        e->draw();
    else if (e->dirty == kxEdit::dirt::line)
        e->draw_line(e->dirtyline);
    e->dirty = kxEdit::dirt::none;
    paint_cursor(e);
}

kxEdit::~kxEdit() { destroy(); }

void kxEdit::create(const char *fmt, ...)
{
    if (created)
        destroy();
    kxwidget_reinit(this);
    kxcfgstr_defaults d = kxcfgstr_standard();
    d.bgcolor = 0xFFFFFF;
    d.textcolor = kxgui_color(KX_GUI_TEXT);
    d.frame = 1;
    d.font = -1;  // the fixed font unless one is given
    kxcfgstr_tokens t;
    va_list ap;
    va_start(ap, fmt);
    kxcfgstr_vprefix(this, &t, d, false, fmt, ap);
    va_end(ap);
    kxeditorattr a;
    kxcfgstr_editor(t.tok, t.start, &a);
    if (font == -1)
        font = kxfont_builtin_6x13();
    cellw = std::max(kxfont_charwidth(font, 'w'), 1);
    cellh = std::max(kxfont_height(font), 1);
    a.lines = std::clamp(a.lines, 0, KX_EDIT_MAX_LINES);
    a.columns = std::clamp(a.columns, 0, KX_EDIT_MAX_COLUMNS);
    kxcfgstr_defaultsize(&geom, a.columns * cellw + 24, a.lines * cellh + 24);
    kxcfgstr_resolve(&geom);
    lines = a.linesgiven ? a.lines : (geom.ys - 4) / cellh;
    columns = a.columnsgiven ? a.columns : (geom.xs - 24) / cellw;
    lines = baselines = std::clamp(lines, 1, KX_EDIT_MAX_LINES);
    columns = basecolumns = std::clamp(columns, 1, KX_EDIT_MAX_COLUMNS);
    tabwidth = std::clamp(a.tabwidth, 1, KX_EDIT_MAX_TAB);
    autoindent = a.autoindent;
    wordbreak = a.wordbreak;
    selcolor = palette[KX_GUI_BLUE];
    if (!scrollid)
        scrollid = kxid_new();
    grid.assign(static_cast<std::size_t>(lines) * static_cast<std::size_t>(columns), ' ');
    created = 1;
    kxwidget_register(this, handler,
                      KX_REG_MOUSE | KX_REG_HOVER | KX_REG_SCROLLS | KX_REG_WANTS_TAB |
                          (nofocus ? 0 : KX_REG_FOCUSABLE));
    kxedit_layout(this);
    draw();
    kxtimer_add(handler, this, KX_EDIT_BLINK_MS, TIMER_BLINK);
}

void kxEdit::destroy()
{
    kxtimer_remove(this, TIMER_BLINK);
    bar.remove();
    if (!created)
        return;
    let_go(this);
    kxwidget_unregister(this);
    created = 0;
    focused = 0;
    grid.clear();
    grid.shrink_to_fit();
    lines = columns = vlines = vcolumns = 0;
    curx = cury = firstx = firsty = 0;
    blinkx = blinky = -1;
    selecting = shown = cursoron = modified = hasbar = false;
    quiet = 0;
    dirty = dirt::none;
}

void kxEdit::draw()
{
    if (!drawable(this) || quiet)
        return;
    notify_owner(this, KX_EDIT_REDRAW_ALL, 0);
    kxpxmap *p = parent_pixmap;
    const kxgeometry &g = geom;
    kxpxmap_fillrect(p, g.x, g.y, g.xs, g.ys, bgcolor);
    if (frame)
        kxgraphic_frame(p, KX_FRAME_DOUBLE3D, true, g.x - 2, g.y - 2, g.xs + 4, g.ys + 4, -1, -1,
                        -1, -1);
    blinkx = blinky = -1;
    int shown_lines = std::min(vlines, (p->height - g.y - 2) / cellh + 1);
    for (int i = std::max((-g.y - 2) / cellh - 1, 0); i < shown_lines; i++)
        draw_cells(this, firsty + i, firstx, firstx + vcolumns);
    if (hasbar)
        bar.draw();
    paint_cursor(this);
    kxwidget_request(this, KX_REQ_UPDATE, g.x - 2, g.y - 2, g.xs + 4, g.ys + 4);
}

void kxEdit::draw_line(int line)
{
    if (!drawable(this) || quiet || line < firsty || line >= firsty + vlines)
        return;
    notify_owner(this, KX_EDIT_REDRAW_LINE, line);
    if (blinky == line)
        blinkx = blinky = -1;
    draw_cells(this, line, firstx, firstx + vcolumns);
    paint_cursor(this);
    kxwidget_request(this, KX_REQ_UPDATE, geom.x + 2, cell_y(this, line), vcolumns * cellw,
                     cellh);
}

kxarg kxEdit::handler(void *obj, int code, kxarg a0, kxarg a1, kxarg, kxarg, kxarg, kxarg, kxarg,
                      kxarg)
{
    auto *e = static_cast<kxEdit *>(obj);
    int x = static_cast<int>(a0), y = static_cast<int>(a1);
    if (e->hasbar && e->created && e->enabled)
        e->bar.handle(code, x, y);
    bool live = e->created && e->enabled;
    switch (code) {
    case KX_EV_CLOSE: e->destroy(); return 0;
    case KX_EV_RESIZE: resize(e, x, y); return 0;
    case KX_EV_LDOWN:
    case KX_EV_LDOUBLE: press(e, code, x, y); return 0;
    case KX_EV_MOTION: drag(e, x, y); return 0;
    case KX_EV_LUP: let_go(e); return 0;
    case KX_EV_RDOWN:
        if (live && !e->grey)
            kxedit_contextmenu(e);
        return 0;
    case KX_EV_WHEEL_UP: wheel(e, -KX_EDIT_WHEEL_LINES); return 0;
    case KX_EV_WHEEL_DOWN: wheel(e, KX_EDIT_WHEEL_LINES); return 0;
    case KX_EV_KEYDOWN:
        if (live)
            kxedit_keydown(e, x);
        return 0;
    case KX_EV_FOCUS_IN: return focus_in(e);
    case KX_EV_FOCUS_OUT: focus_out(e); return 0;
    case KX_EV_TIMER:
        if (x == TIMER_BLINK && live) {
            drag_scroll(e);
            blink(e);
        }
        return 0;
    case KX_EV_PASTE:
        if (live)
            kxedit_paste(e);
        return 0;
    case KX_EV_COPY: kxedit_copy(e); return 0;
    case KX_EV_CUT:
        if (live)
            kxedit_cut(e);
        return 0;
    case KX_EV_SNAPSHOT: erase_cursor(e); return 0;
    case KX_EV_ENTER: e->hover = 1; return 0;
    case KX_EV_LEAVE: e->hover = 0; return 0;
    case KX_EV_ENABLE:
        e->enabled = 1;
        e->draw();
        return 0;
    case KX_EV_DISABLE:
        e->hover = 0;
        erase_cursor(e);
        let_go(e);
        if (e->focused) {
            e->focused = 0;
            e->cursoron = false;
            e->draw();
        }
        e->enabled = 0;
        return 0;
    default: return 0;
    }
}
