#include "widgets/editor_grid.h"

#include <algorithm>
#include <cstring>

#include "graphics/colours.h"

namespace {

std::size_t cells(int lines, int columns)
{
    return static_cast<std::size_t>(lines) * static_cast<std::size_t>(columns);
}

bool line_blank(const kxEdit *e, int line) { return kxedit_textend(e, line) == 0; }

// Reallocates the grid, keeping the text that still fits.
void resize(kxEdit *e, int lines, int columns)
{
    if (lines == e->lines && columns == e->columns)
        return;
    std::vector<unsigned char> g(cells(lines, columns), ' ');
    int keepl = std::min(lines, e->lines), keepc = std::min(columns, e->columns);
    for (int l = 0; l < keepl; l++)
        std::memcpy(&g[cells(l, columns)], kxedit_row(e, l), static_cast<std::size_t>(keepc));
    e->grid.swap(g);
    e->lines = lines;
    e->columns = columns;
}

void bar_notice(void *owner, int code, int value)
{
    auto *e = static_cast<kxEdit *>(owner);
    int vrange = e->lines - e->vlines, hrange = e->columns - e->vcolumns;
    switch (code) {
    case KX_SB_UP: kxedit_scrollto(e, e->firstx, e->firsty - 1); break;
    case KX_SB_DOWN: kxedit_scrollto(e, e->firstx, e->firsty + 1); break;
    case KX_SB_LEFT: kxedit_scrollto(e, e->firstx - 1, e->firsty); break;
    case KX_SB_RIGHT: kxedit_scrollto(e, e->firstx + 1, e->firsty); break;
    case KX_SB_PAGEUP: kxedit_scrollto(e, e->firstx, e->firsty - e->vlines); break;
    case KX_SB_PAGEDOWN: kxedit_scrollto(e, e->firstx, e->firsty + e->vlines); break;
    case KX_SB_VPOS: kxedit_scrollto(e, e->firstx, value * vrange / 100); break;
    case KX_SB_HPOS: kxedit_scrollto(e, value * hrange / 100, e->firsty); break;
    default: return;
    }
    kxedit_refresh(e);
}

} // namespace

// ---- cells ----------------------------------------------------------------

unsigned char *kxedit_row(kxEdit *e, int line) { return &e->grid[cells(line, e->columns)]; }

bool kxedit_blank(const kxEdit *e, unsigned char c)
{
    return c == ' ' || (e->wordbreak && c == KX_EDIT_BREAK);
}

bool kxedit_separator(const kxEdit *e, unsigned char c)
{
    if (kxedit_blank(e, c))
        return true;
    if (c < '0')
        return c != '"';
    return std::strchr(":;<=>[]{|}", c) != nullptr;
}

int kxedit_textend(const kxEdit *e, int line)
{
    int c = e->columns;
    while (c > 0 && kxedit_blank(e, e->at(c - 1, line)))
        c--;
    return c;
}

int kxedit_extent(const kxEdit *e, int line)
{
    int c = e->columns;
    while (c > 0 && e->at(c - 1, line) == ' ')
        c--;
    return c;
}

int kxedit_lastline(const kxEdit *e)
{
    int l = e->lines - 1;
    while (l > 0 && line_blank(e, l))
        l--;
    return std::max(l, 0);
}

void kxedit_cutcells(kxEdit *e, int line, int column, int n)
{
    n = std::min(n, e->columns - column);
    if (n <= 0)
        return;
    unsigned char *r = kxedit_row(e, line);
    std::memmove(r + column, r + column + n, static_cast<std::size_t>(e->columns - column - n));
    std::memset(r + e->columns - n, ' ', static_cast<std::size_t>(n));
}

void kxedit_opencells(kxEdit *e, int line, int column, int n)
{
    n = std::min(n, e->columns - column);
    if (n <= 0)
        return;
    unsigned char *r = kxedit_row(e, line);
    std::memmove(r + column + n, r + column, static_cast<std::size_t>(e->columns - column - n));
    std::memset(r + column, ' ', static_cast<std::size_t>(n));
}

// ---- size and layout ------------------------------------------------------

kxeditfit kxedit_fit(const kxEdit *e, int lines, int columns)
{
    const kxgeometry &g = e->geom;
    int vw = guimetrics("scrollbarwidth"), hh = guimetrics("scrollbarheight");
    kxeditfit f;
    f.vlines = (g.ys - 4) / e->cellh;
    f.vcolumns = (g.xs - 4) / e->cellw;
    if (f.vlines < lines) {
        f.vbar = true;
        f.vcolumns = (g.xs - vw - 4) / e->cellw;
    }
    if (f.vcolumns < columns) {
        f.hbar = true;
        f.vlines = (g.ys - hh - 4) / e->cellh;
        if (!f.vbar && f.vlines < lines) {
            f.vbar = true;
            f.vcolumns = (g.xs - vw - 4) / e->cellw;
        }
    }
    f.vlines = std::clamp(f.vlines, 0, lines);
    f.vcolumns = std::clamp(f.vcolumns, 0, columns);
    return f;
}

void kxedit_layout(kxEdit *e)
{
    kxeditfit f = kxedit_fit(e, e->lines, e->columns);
    e->vlines = f.vlines;
    e->vcolumns = f.vcolumns;
    e->bar.remove();
    e->hasbar = f.vbar || f.hbar;
    if (e->hasbar) {
        const kxgeometry &g = e->geom;
        e->bar.create(bar_notice, e, e->parent_handler, e->parent, e->parent_pixmap, g.x, g.y,
                      g.xs, g.ys, f.vbar, f.hbar, 0);
        e->bar.set_vsize(e->lines ? e->vlines * 100 / e->lines : 100);
        e->bar.set_hsize(e->columns ? e->vcolumns * 100 / e->columns : 100);
    }
    // A grid that shrank may show less than a screen from the old position.
    int fx = std::clamp(e->firstx, 0, e->columns - e->vcolumns);
    int fy = std::clamp(e->firsty, 0, e->lines - e->vlines);
    bool moved = fx != e->firstx || fy != e->firsty;
    e->firstx = fx;
    e->firsty = fy;
    kxedit_setbarpos(e);
    kxwidget_request(e, KX_REQ_SET_SCROLLS, e->index, e->hasbar ? 1 : 0);
    if (moved)
        kxedit_emitscroll(e);
    kxedit_touchall(e);
}

bool kxedit_widen(kxEdit *e, int columns)
{
    int c = e->columns;
    while (c < columns && c < KX_EDIT_MAX_COLUMNS)
        c = std::min(c + KX_EDIT_GROWTH, KX_EDIT_MAX_COLUMNS);
    if (c != e->columns) {
        resize(e, e->lines, c);
        kxedit_layout(e);
    }
    return e->columns >= columns;
}

bool kxedit_insertline(kxEdit *e, int after)
{
    bool spare = e->lines >= 2 && line_blank(e, e->lines - 1) && line_blank(e, e->lines - 2) &&
                 e->cury != e->lines - 1;
    if (!spare) {
        if (e->lines < KX_EDIT_MAX_LINES)
            resize(e, e->lines + 1, e->columns);
        else if (!line_blank(e, e->lines - 1))
            return false;
    }
    // The last line is blank now: shifting the lines below down drops it.
    auto pos = e->grid.begin() + static_cast<std::ptrdiff_t>(cells(after + 1, e->columns));
    e->grid.insert(pos, static_cast<std::size_t>(e->columns), ' ');
    e->grid.resize(cells(e->lines, e->columns));
    if (!spare)
        kxedit_layout(e);
    kxedit_touchall(e);
    return true;
}

void kxedit_removelines(kxEdit *e, int line, int n)
{
    n = std::min(n, e->lines - line);
    if (n <= 0)
        return;
    auto from = e->grid.begin() + static_cast<std::ptrdiff_t>(cells(line, e->columns));
    e->grid.erase(from, from + static_cast<std::ptrdiff_t>(cells(n, e->columns)));
    // Each removed line shortens the grid while it has more lines than are
    // visible; otherwise a blank line takes its place at the bottom.
    int keep = e->lines;
    for (int i = 0; i < n && keep > kxedit_fit(e, keep, e->columns).vlines; i++)
        keep--;
    e->grid.resize(cells(keep, e->columns), ' ');
    if (keep != e->lines) {
        e->lines = keep;
        kxedit_layout(e);
    }
    e->cury = std::min(e->cury, e->lines - 1);
    kxedit_touchall(e);
}

// ---- selection ------------------------------------------------------------

namespace {

struct Span {
    int fx, fy, lx, ly;  // first cell, and the cell after the last
};

Span ordered(const kxEdit *e)
{
    bool swap = e->endy < e->anchory || (e->endy == e->anchory && e->endx < e->anchorx);
    Span s = swap ? Span{e->endx, e->endy, e->anchorx, e->anchory}
                  : Span{e->anchorx, e->anchory, e->endx, e->endy};
    // Never past the grid, whatever it did since the selection was made.
    s.fy = std::clamp(s.fy, 0, e->lines - 1);
    s.ly = std::clamp(s.ly, 0, e->lines - 1);
    s.fx = std::clamp(s.fx, 0, e->columns);
    s.lx = std::clamp(s.lx, 0, e->columns);
    return s;
}

void append_trimmed(const kxEdit *e, std::string &out, int line, int from, int to)
{
    while (to > from && kxedit_blank(e, e->at(to - 1, line)))
        to--;
    for (int c = from; c < to; c++)
        if (!(e->wordbreak && e->at(c, line) == KX_EDIT_BREAK))
            out += static_cast<char>(e->at(c, line));
}

} // namespace

bool kxedit_hasselection(const kxEdit *e)
{
    return e->selecting && (e->anchorx != e->endx || e->anchory != e->endy);
}

bool kxedit_selected(const kxEdit *e, int column, int line)
{
    if (!kxedit_hasselection(e))
        return false;
    Span s = ordered(e);
    if (s.fy == s.ly)
        return line == s.fy && s.fx <= column && column < s.lx;
    return (line == s.fy && column >= s.fx) || (line == s.ly && column < s.lx) ||
           (s.fy < line && line < s.ly);
}

void kxedit_clearselection(kxEdit *e)
{
    if (e->selecting)
        kxedit_touchall(e);
    e->selecting = false;
}

std::string kxedit_selectedtext(const kxEdit *e)
{
    std::string out;
    if (!kxedit_hasselection(e))
        return out;
    Span s = ordered(e);
    if (s.fy == s.ly) {
        for (int c = s.fx; c < s.lx; c++)
            if (!(e->wordbreak && e->at(c, s.fy) == KX_EDIT_BREAK))
                out += static_cast<char>(e->at(c, s.fy));
        return out;
    }
    append_trimmed(e, out, s.fy, s.fx, e->columns);
    out += '\n';
    for (int l = s.fy + 1; l < s.ly; l++) {
        append_trimmed(e, out, l, 0, e->columns);
        out += '\n';
    }
    for (int c = 0; c < s.lx; c++)
        if (!(e->wordbreak && e->at(c, s.ly) == KX_EDIT_BREAK))
            out += static_cast<char>(e->at(c, s.ly));
    return out;
}

void kxedit_deleteselection(kxEdit *e)
{
    if (!kxedit_hasselection(e)) {
        kxedit_clearselection(e);
        return;
    }
    Span s = ordered(e);
    e->selecting = false;
    if (s.fy == s.ly) {
        kxedit_cutcells(e, s.fy, s.fx, s.lx - s.fx);
    } else {
        // The rest of the last line moves up to where the selection began.
        int len = kxedit_extent(e, s.ly) - s.lx;
        std::string tail;
        if (len > 0)
            tail.assign(reinterpret_cast<const char *>(kxedit_row(e, s.ly) + s.lx),
                        static_cast<std::size_t>(len));
        kxedit_widen(e, s.fx + static_cast<int>(tail.size()));
        unsigned char *r = kxedit_row(e, s.fy);
        std::memset(r + s.fx, ' ', static_cast<std::size_t>(e->columns - s.fx));
        std::size_t n = std::min(tail.size(), static_cast<std::size_t>(e->columns - s.fx));
        std::memcpy(r + s.fx, tail.data(), n);
        kxedit_removelines(e, s.fy + 1, s.ly - s.fy);
    }
    e->curx = std::min(s.fx, e->columns - 1);
    e->cury = std::min(s.fy, e->lines - 1);
    e->modified = true;
    kxedit_touchall(e);
}

// ---- the visible part -----------------------------------------------------

void kxedit_setbarpos(kxEdit *e)
{
    if (!e->hasbar)
        return;
    int vr = e->lines - e->vlines, hr = e->columns - e->vcolumns;
    e->bar.set_vpos(vr > 0 ? e->firsty * 100 / vr : 0);
    e->bar.set_hpos(hr > 0 ? e->firstx * 100 / hr : 0);
}

bool kxedit_keepvisible(kxEdit *e)
{
    if (e->quiet)
        return false;
    int fx = e->firstx, fy = e->firsty;
    while (e->cury < e->firsty)
        e->firsty = std::max(e->firsty - KX_EDIT_STEP_LINES, 0);
    while (e->cury >= e->firsty + e->vlines && e->firsty < e->lines - e->vlines)
        e->firsty = std::min(e->firsty + KX_EDIT_STEP_LINES, e->lines - e->vlines);
    while (e->curx < e->firstx)
        e->firstx = std::max(e->firstx - KX_EDIT_STEP_COLUMNS, 0);
    while (e->curx >= e->firstx + e->vcolumns && e->firstx < e->columns - e->vcolumns)
        e->firstx = std::min(e->firstx + KX_EDIT_STEP_COLUMNS, e->columns - e->vcolumns);
    if (fx == e->firstx && fy == e->firsty)
        return false;
    kxedit_emitscroll(e);
    kxedit_setbarpos(e);
    kxedit_touchall(e);
    return true;
}

bool kxedit_scrollto(kxEdit *e, int firstx, int firsty)
{
    firstx = std::clamp(firstx, 0, std::max(e->columns - e->vcolumns, 0));
    firsty = std::clamp(firsty, 0, std::max(e->lines - e->vlines, 0));
    if (firstx == e->firstx && firsty == e->firsty)
        return false;
    e->firstx = firstx;
    e->firsty = firsty;
    kxedit_setbarpos(e);
    kxedit_emitscroll(e);
    kxedit_touchall(e);
    return true;
}

void kxedit_emitscroll(kxEdit *e)
{
    if (!e->quiet)
        kxwidget_emit(e, e->scrollid);
}

void kxedit_touch(kxEdit *e, int line)
{
    if (e->dirty == kxEdit::dirt::none) {
        e->dirty = kxEdit::dirt::line;
        e->dirtyline = line;
    } else if (e->dirty == kxEdit::dirt::line && e->dirtyline != line) {
        e->dirty = kxEdit::dirt::all;
    }
}

void kxedit_touchall(kxEdit *e) { e->dirty = kxEdit::dirt::all; }

// ---- whole text -------------------------------------------------------------

void kxEdit::set_text(const char *text)
{
    if (!created)
        return;
    if (!text)
        text = "";
    // The widest line decides the width once, as widening line by line would.
    int tab = tabwidth;
    int widest = 0, len = 0;
    for (const char *p = text; *p; p++) {
        if (*p == '\n')
            len = 0;
        else if (*p == '\t')
            widest = std::max(widest, len += tab - len % tab);
        else if (*p != '\r')
            widest = std::max(widest, ++len);
    }
    int cols = basecolumns;
    while (cols - (widest - 1) < KX_EDIT_ROOM && cols < KX_EDIT_MAX_COLUMNS)
        cols = std::min(cols + KX_EDIT_GROWTH, KX_EDIT_MAX_COLUMNS);
    grid.assign(cells(baselines, cols), ' ');
    lines = baselines;
    columns = cols;
    int c = 0, l = 0;
    // Lines past the grid's end make it longer, up to its limit.
    auto room = [&] {
        if (l < lines)
            return true;
        if (l >= KX_EDIT_MAX_LINES)
            return false;
        resize(this, l + 1, columns);
        return true;
    };
    auto put = [&](unsigned char ch) {
        if (!room())
            return;
        kxedit_row(this, l)[c++] = ch;
        if (c >= columns) {
            c = 0;
            l++;
        }
    };
    for (const char *p = text; *p && room(); p++) {
        auto ch = static_cast<unsigned char>(*p);
        if (ch == '\n') {
            if (wordbreak)
                kxedit_row(this, l)[c] = KX_EDIT_BREAK;
            c = 0;
            l++;
        } else if (ch == '\t') {
            // A tab that reaches the end of a full line stops there.
            for (int n = tab - c % tab; n > 0; n--) {
                put(' ');
                if (c == 0)
                    break;
            }
        } else if (ch != '\r' && !(wordbreak && ch == KX_EDIT_BREAK)) {
            put(ch);
        }
    }
    curx = cury = firstx = firsty = 0;
    selecting = dragging = wordmode = false;
    modified = false;
    kxedit_layout(this);
    kxwidget_emit(this, 0);
    draw();
}

std::string kxEdit::get_text() const
{
    std::string out;
    for (int l = 0; l < lines; l++) {
        if (!wordbreak) {
            append_trimmed(this, out, l, 0, columns);
            out += '\n';
            continue;
        }
        // Each marker ends a line; a line without one runs on after a space.
        int end = kxedit_extent(this, l), from = 0;
        bool hard = false;
        for (int c = 0; c < end; c++)
            if (at(c, l) == KX_EDIT_BREAK) {
                append_trimmed(this, out, l, from, c);
                // A soft-wrapped line before an empty paragraph left a space.
                while (!out.empty() && out.back() == ' ')
                    out.pop_back();
                out += '\n';
                from = c + 1;
                hard = true;
            }
        append_trimmed(this, out, l, from, end);
        if (!hard)
            out += ' ';
    }
    while (!out.empty() && (out.back() == '\n' || out.back() == ' '))
        out.pop_back();
    out += '\n';
    return out;
}
