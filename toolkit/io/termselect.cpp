// The terminal's selection: what is marked, its text as shown, and copying.
#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

#include "core/view.h"
#include "io/terminal.h"
#include "platform/platform.h"

namespace {

struct Place {
    int line, column;
};

bool before(Place a, Place b) { return a.line < b.line || (a.line == b.line && a.column < b.column); }

void ordered(const kxTerminal *t, Place *from, Place *to)
{
    Place a{t->sel_l0, t->sel_c0}, b{t->sel_l1, t->sel_c1};
    if (before(b, a))
        std::swap(a, b);
    *from = a, *to = b;
}

void redraw(kxTerminal *t) { kxterm_handler(t, KX_DRAW_REFRESH, 0, 0, 0, 0, 0, 0, 0, 0); }

// Letters (Latin-1's too), digits and what joins them in numbers and names.
bool word_char(std::uint8_t ch)
{
    return std::isalnum(ch) || ch >= 0xC0 || ch == '_' || ch == '.' || ch == '-' || ch == ':';
}

} // namespace

void kxterm_row(const kxTerminal *t, int line, kxTermCell *cells)
{
    if (line == t->openline && line >= 0) {
        std::copy(t->open.begin(), t->open.begin() + t->columns, cells);
        return;
    }
    kxtermrows_get(&t->rows, line, cells, t->columns);
}

void kxterm_select(kxTerminal *t, int line0, int column0, int line1, int column1)
{
    const int last = std::max(kxterm_extent(t) - 1, 0);
    t->sel_l0 = std::clamp(line0, 0, last), t->sel_c0 = std::clamp(column0, 0, t->columns);
    t->sel_l1 = std::clamp(line1, 0, last), t->sel_c1 = std::clamp(column1, 0, t->columns);
    t->selection = t->sel_l0 != t->sel_l1 || t->sel_c0 != t->sel_c1;
    redraw(t);
}

void kxterm_selectall(kxTerminal *t)
{
    kxterm_select(t, 0, 0, std::max(kxterm_extent(t) - 1, 0), t->columns);
}

void kxterm_unselect(kxTerminal *t)
{
    if (!t->selection)
        return;
    t->selection = false;
    redraw(t);
}

bool kxterm_selected(const kxTerminal *t, int column, int line)
{
    if (!t->selection)
        return false;
    Place from, to;
    ordered(t, &from, &to);
    const Place p{line, column};
    return !before(p, from) && before(p, to);
}

std::string kxterm_selectedtext(const kxTerminal *t)
{
    if (!t->selection)
        return "";
    Place from, to;
    ordered(t, &from, &to);
    std::vector<kxTermCell> cells(static_cast<std::size_t>(t->columns));
    std::string text;
    for (int l = from.line; l <= to.line; l++) {
        kxterm_row(t, l, cells.data());
        const int c0 = l == from.line ? from.column : 0;
        const int c1 = l == to.line ? to.column : t->columns;
        std::string piece;
        for (int c = c0; c < c1; c++)
            piece += static_cast<char>(cells[static_cast<std::size_t>(c)].ch);
        piece.erase(piece.find_last_not_of(' ') + 1);
        if (l > from.line)
            text += '\n';
        text += piece;
    }
    return text;
}

void kxterm_wordat(const kxTerminal *t, int column, int line, int *from, int *to)
{
    std::vector<kxTermCell> cells(static_cast<std::size_t>(t->columns));
    kxterm_row(t, line, cells.data());
    const auto ch = [&cells](int c) { return cells[static_cast<std::size_t>(c)].ch; };
    column = std::clamp(column, 0, t->columns - 1);
    *from = *to = column;
    if (!word_char(ch(column)))
        return;
    while (*from > 0 && word_char(ch(*from - 1)))
        --*from;
    while (*to < t->columns && word_char(ch(*to)))
        ++*to;
}

bool kxterm_copy(kxTerminal *t)
{
    if (!t->selection)
        return false;
    kxclip_puttext(kxterm_selectedtext(t).c_str());
    return true;
}
