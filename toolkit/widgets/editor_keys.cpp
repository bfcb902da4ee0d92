// The editor's keys, edits, clipboard commands and context menu.
#include <algorithm>
#include <cstring>
#include <string>

#include "core/language.h"
#include "platform/platform.h"
#include "widgets/editor_grid.h"
#include "widgets/lineinput.h"
#include "widgets/popupmenu.h"

namespace {

bool word_char(const kxEdit *e, int column, int line)
{
    return !kxedit_separator(e, e->at(column, line));
}

void changed(kxEdit *e)
{
    e->modified = true;
    kxedit_emitchange(e);
}

// ---- cursor movement ------------------------------------------------------

int word_right(const kxEdit *e, int x, int y)
{
    int end = kxedit_textend(e, y);
    if (x < end && word_char(e, x, y))
        while (x < end && word_char(e, x, y))
            x++;
    while (x < end && !word_char(e, x, y))
        x++;
    // From the trailing blanks this backs up to the end of the text.
    return std::min(x, end);
}

int word_left(const kxEdit *e, int x, int y)
{
    while (x > 0 && !word_char(e, x - 1, y))
        x--;
    while (x > 0 && word_char(e, x - 1, y))
        x--;
    return x;
}

void key_right(kxEdit *e, bool ctrl, bool extend)
{
    int x = e->curx, y = e->cury;
    if (ctrl) {
        x = word_right(e, x, y);
    } else if (x < e->columns - 1) {
        x++;
    } else if (y < e->lines - 1) {
        x = 0;
        y++;
    }
    kxedit_moveto(e, x, y, extend);
}

void key_left(kxEdit *e, bool ctrl, bool extend)
{
    int x = e->curx, y = e->cury;
    if (ctrl || e->wordmode) {
        x = word_left(e, x, y);
    } else if (x > 0) {
        x--;
    } else if (y > 0) {
        y--;
        x = kxedit_textend(e, y);
    }
    kxedit_moveto(e, x, y, extend);
}

void key_vertical(kxEdit *e, int dy, bool extend)
{
    int y = std::clamp(e->cury + dy, 0, e->lines - 1);
    int x = std::min(e->curx, kxedit_textend(e, y));
    kxedit_moveto(e, std::min(x, e->columns - 1), y, extend);
}

void key_page(kxEdit *e, int dir, bool extend)
{
    int n = std::max(e->vlines, 1) * dir;
    kxedit_scrollto(e, e->firstx, e->firsty + n);
    key_vertical(e, n, extend);
}

void key_home_end(kxEdit *e, bool end, bool ctrl, bool extend)
{
    int y = ctrl ? (end ? kxedit_lastline(e) : 0) : e->cury;
    int x = end ? std::min(kxedit_textend(e, y), e->columns - 1) : 0;
    kxedit_moveto(e, x, y, extend);
}

// ---- edits ------------------------------------------------------------------

// Moves the line's cells from column on to the start of a new line after it;
// false when the grid has no room for another line.
bool split_line(kxEdit *e, int line, int column)
{
    if (!kxedit_insertline(e, line))
        return false;
    unsigned char *from = kxedit_row(e, line), *to = kxedit_row(e, line + 1);
    std::size_t n = static_cast<std::size_t>(e->columns - column);
    std::memcpy(to, from + column, n);
    std::memset(from + column, ' ', n);
    return true;
}

int last_separator(const kxEdit *e, int line, int before)
{
    for (int c = before - 1; c >= 0; c--)
        if (kxedit_separator(e, e->at(c, line)))
            return c;
    return -1;
}

// Inside a paragraph the word pushed off the end goes to the front of the
// following line, which continues the same paragraph.
bool join_next(kxEdit *e, int line, const unsigned char *word, int len)
{
    if (line + 1 >= e->lines || kxedit_textend(e, line + 1) == 0)
        return false;
    int need = kxedit_extent(e, line + 1) + len + 1;
    if (!kxedit_widen(e, need))
        return false;
    kxedit_opencells(e, line + 1, 0, len + 1);
    std::memcpy(kxedit_row(e, line + 1), word, static_cast<std::size_t>(len));
    return true;
}

// A line whose text reached the right edge of the area is broken after its
// last separator; the cursor goes with the text it was in.
void wrap_line(kxEdit *e, int line)
{
    int end = kxedit_textend(e, line);
    if (e->vcolumns < 4 || end < e->vcolumns - 2)
        return;
    bool here = e->cury == line;
    bool at_end = here && e->curx >= end;
    int sep = last_separator(e, line, at_end ? e->curx : end);
    int brk = sep >= 0 ? sep + 1 : here ? e->curx : end;
    if (brk <= 0 || (!at_end && brk >= end))
        return;
    int ext = kxedit_extent(e, line);
    std::string tail(reinterpret_cast<const char *>(kxedit_row(e, line) + brk),
                     static_cast<std::size_t>(std::max(ext - brk, 0)));
    bool hard = tail.find(static_cast<char>(KX_EDIT_BREAK)) != std::string::npos;
    const auto *word = reinterpret_cast<const unsigned char *>(tail.data());
    if (!at_end && !hard && join_next(e, line, word, static_cast<int>(tail.size()))) {
        std::memset(kxedit_row(e, line) + brk, ' ', static_cast<std::size_t>(e->columns - brk));
    } else if (!split_line(e, line, brk)) {
        return;
    }
    if (here && e->curx >= brk) {
        e->cury = line + 1;
        e->curx = std::min(e->curx - brk, e->columns - 1);
    }
    kxedit_touchall(e);
}

void type_one(kxEdit *e, int c)
{
    int line = e->cury;
    int room = e->columns - (e->wordbreak ? kxedit_extent(e, line) : kxedit_textend(e, line));
    if ((!e->wordbreak && room < KX_EDIT_ROOM) || room < 1)
        kxedit_widen(e, e->columns + 1);
    kxedit_opencells(e, line, e->curx, 1);
    kxedit_row(e, line)[e->curx] = static_cast<unsigned char>(c);
    kxedit_touch(e, line);
    if (e->curx < e->columns - 1) {
        e->curx++;
    } else if (line < e->lines - 1) {
        e->curx = 0;
        e->cury++;
        kxedit_touchall(e);
    }
    if (e->wordbreak)
        wrap_line(e, line);
}

void tab(kxEdit *e)
{
    for (int n = e->tabwidth - e->curx % e->tabwidth; n > 0; n--)
        type_one(e, ' ');
}

void backspace(kxEdit *e)
{
    if (kxedit_hasselection(e)) {
        kxedit_deleteselection(e);
        return;
    }
    int x = e->curx, y = e->cury;
    if (x > 0) {
        bool indent = true;
        for (int c = 0; c < x && indent; c++)
            indent = kxedit_blank(e, e->at(c, y));
        int n = indent ? (x - 1) % e->tabwidth + 1 : 1;
        kxedit_cutcells(e, y, x - n, n);
        e->curx = x - n;
        kxedit_touch(e, y);
    } else if (y > 0) {
        // Joins the line to the end of the text of the one above.
        int p = kxedit_textend(e, y - 1), len = kxedit_extent(e, y);
        kxedit_widen(e, p + len);
        len = std::min(len, e->columns - p);
        unsigned char *above = kxedit_row(e, y - 1);
        std::memset(above + p, ' ', static_cast<std::size_t>(e->columns - p));
        std::memcpy(above + p, kxedit_row(e, y), static_cast<std::size_t>(len));
        kxedit_removelines(e, y, 1);
        e->cury = y - 1;
        e->curx = std::min(p, e->columns - 1);
    }
    e->modified = true;
}

// Delete takes the cell under the cursor, or at the end of a line joins
// the next line to it.
void delete_key(kxEdit *e)
{
    if (kxedit_hasselection(e)) {
        kxedit_deleteselection(e);
    } else if (kxedit_textend(e, e->cury) > e->curx) {
        kxedit_cutcells(e, e->cury, e->curx, 1);
        kxedit_touch(e, e->cury);
    } else if (e->cury < e->lines - 1) {
        e->curx = 0;
        e->cury++;
        backspace(e);
    } else {
        return;
    }
    e->modified = true;
}

int indentation(const kxEdit *e, int above)
{
    for (int l = above; l >= 0; l--) {
        if (kxedit_textend(e, l) == 0)
            continue;
        int n = 0;
        while (n < e->columns - 4 && kxedit_blank(e, e->at(n, l)))
            n++;
        return n;
    }
    return 0;
}

void newline(kxEdit *e)
{
    kxedit_deleteselection(e);
    int x = e->curx, y = e->cury;
    if (!split_line(e, y, x))
        return;
    if (e->wordbreak)
        kxedit_row(e, y)[x] = KX_EDIT_BREAK;
    e->cury = y + 1;
    e->curx = 0;
    if (e->autoindent && x != 0) {
        int n = indentation(e, y);
        if (n > 0 && kxedit_widen(e, kxedit_extent(e, y + 1) + n)) {
            kxedit_opencells(e, y + 1, 0, n);
            e->curx = std::min(n, e->columns - 1);
        }
    }
    e->modified = true;
    kxedit_touchall(e);
}

// One key of typing or pasting; true when it edited.
bool edit_key(kxEdit *e, int key)
{
    switch (key) {
    case KX_KEY_BACKSPACE: backspace(e); return true;
    case KX_KEY_DELETE: delete_key(e); return true;
    case KX_KEY_RETURN:
    case KX_KEY_CR: newline(e); return true;
    case KX_KEY_TAB: kxedit_deleteselection(e); tab(e); return true;
    default:
        if (!kxlineinput_accepts(key))
            return false;
        kxedit_type(e, key);
        return true;
    }
}

// The context menu's entries; with a selection the first three act on it.
struct MenuTexts {
    const char *with_selection;
    const char *without;
};
constexpr MenuTexts menu_texts[] = {
    {"entries=Cut|Copy|Paste|-|Select All", "entries=Paste|-|Select All"},
    {"entries=Ausschneiden|Kopieren|Einf\xfcgen|-|Alles markieren",
     "entries=Einf\xfcgen|-|Alles markieren"},
};

} // namespace

void kxedit_emitchange(kxEdit *e)
{
    if (!e->quiet)
        kxwidget_emit(e, e->ids[KX_ID_CHANGE]);
}

void kxedit_moveto(kxEdit *e, int column, int line, bool extend)
{
    column = std::clamp(column, 0, e->columns - 1);
    line = std::clamp(line, 0, e->lines - 1);
    if (extend) {
        if (!e->selecting) {
            e->selecting = true;
            e->anchorx = e->curx;
            e->anchory = e->cury;
        }
        e->endx = column;
        e->endy = line;
        kxedit_touchall(e);
    } else {
        kxedit_clearselection(e);
    }
    e->curx = column;
    e->cury = line;
    kxedit_keepvisible(e);
}

void kxedit_wordat(const kxEdit *e, int column, int line, int *from, int *to)
{
    int a = column, b = column;
    if (column < e->columns && word_char(e, column, line)) {
        while (a > 0 && word_char(e, a - 1, line))
            a--;
        while (b < e->columns && word_char(e, b, line))
            b++;
    }
    *from = a;
    *to = b;
}

void kxedit_type(kxEdit *e, int c)
{
    kxedit_deleteselection(e);
    e->modified = true;
    if (c == '\t')
        tab(e);
    else
        type_one(e, c);
}

void kxedit_keydown(kxEdit *e, int key)
{
    int mods = kxsys_modifiers();
    bool ctrl = (mods & KX_MOD_CTRL) != 0;
    bool extend = (mods & KX_MOD_SHIFT) != 0 || e->wordmode || e->dragging;
    switch (key) {
    case KX_KEY_RIGHT: key_right(e, ctrl, extend); break;
    case KX_KEY_LEFT: key_left(e, ctrl, extend); break;
    case KX_KEY_UP: key_vertical(e, -1, extend); break;
    case KX_KEY_DOWN: key_vertical(e, 1, extend); break;
    case KX_KEY_PGUP: key_page(e, -1, extend); break;
    case KX_KEY_PGDOWN: key_page(e, 1, extend); break;
    case KX_KEY_HOME: key_home_end(e, false, ctrl, extend); break;
    case KX_KEY_END: key_home_end(e, true, ctrl, extend); break;
    case KX_KEY_CTRL_A: kxedit_selectall(e); break;
    default:
        if (e->grey || !edit_key(e, key))
            return;
        kxedit_keepvisible(e);
        kxedit_emitchange(e);
        break;
    }
    e->shown = true;
    kxedit_refresh(e);
}

void kxedit_selectall(kxEdit *e)
{
    int last = kxedit_lastline(e);
    e->selecting = true;
    e->anchorx = e->anchory = 0;
    e->endy = e->cury = last;
    e->endx = kxedit_textend(e, last);
    e->curx = std::min(e->endx, e->columns - 1);
    kxedit_keepvisible(e);
    kxedit_touchall(e);
}

void kxedit_copy(kxEdit *e)
{
    if (kxedit_hasselection(e))
        kxclip_puttext(kxedit_selectedtext(e).c_str());
}

void kxedit_cut(kxEdit *e)
{
    if (e->grey || !kxedit_hasselection(e))
        return;
    kxedit_copy(e);
    kxedit_deleteselection(e);
    kxedit_keepvisible(e);
    changed(e);
    kxedit_refresh(e);
}

void kxedit_paste(kxEdit *e)
{
    const char *clip = kxclip_gettext();
    if (e->grey || !clip)
        return;
    std::string text(clip, strnlen(clip, KX_EDIT_MAX_PASTE));
    bool indent = e->autoindent;
    e->autoindent = false;
    e->quiet++;
    for (unsigned char c : text) {
        if (c == '\n')
            newline(e);
        else if (c == '\t' || kxlineinput_accepts(c))
            kxedit_type(e, c);
    }
    e->quiet--;
    e->autoindent = indent;
    e->modified = true;
    kxedit_keepvisible(e);
    kxedit_touchall(e);
    kxedit_refresh(e);
    kxwidget_emit(e, 0);
}

void kxedit_contextmenu(kxEdit *e)
{
    bool sel = kxedit_hasselection(e);
    const MenuTexts &t = menu_texts[kxlanguage_get() == KX_LANG_GERMAN ? 1 : 0];
    int r = kxmenu_popup("%s", sel ? t.with_selection : t.without);
    // The menu ran its own loop: the editor may have been closed meanwhile.
    if (!e->created)
        return;
    // The numbers count the separator as a line.
    enum { none, cut, copy, paste, all } action = none;
    if (sel)
        action = r == 1 ? cut : r == 2 ? copy : r == 3 ? paste : r == 5 ? all : none;
    else
        action = r == 1 ? paste : r == 3 ? all : none;
    switch (action) {
    case cut: kxedit_cut(e); break;
    case copy: kxedit_copy(e); break;
    case paste: kxedit_paste(e); break;
    case all:
        kxedit_selectall(e);
        kxedit_refresh(e);
        break;
    case none: break;
    }
}
