#include "widgets/lineinput.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/cfgstr.h"
#include "core/timer.h"
#include "graphics/colours.h"
#include "graphics/draw.h"
#include "graphics/font.h"
#include "graphics/text.h"
#include "platform/platform.h"
#include "widgets/cfgkeys.h"

namespace {

constexpr int TIMER_BLINK = 0;
constexpr int TIMER_REPEAT = 1;

unsigned char at(const kxLineInput *l, int i) { return static_cast<unsigned char>(l->text[i]); }

int shown_char(const kxLineInput *l, int i) { return l->password ? '*' : at(l, i); }

int charwidth(const kxLineInput *l, int i) { return kxfont_charwidth(l->font, shown_char(l, i)); }

// Width of the characters from..to - 1 as drawn.
int span(const kxLineInput *l, int from, int to)
{
    int w = 0;
    for (int i = std::max(from, 0); i < to; i++)
        w += charwidth(l, i);
    return w;
}

int inner(const kxLineInput *l) { return l->geom.xs - l->reserved - (l->frame ? 8 : 0); }

// Where the text starts inside the box.
int text_start(const kxLineInput *l)
{
    if (!l->right || l->scroll != 0)
        return 4;
    int tw = span(l, 0, l->length());
    int room = l->geom.xs - l->reserved;
    return tw < room - 8 ? room - tw - 2 : 4;
}

void request_update(kxLineInput *l, int x, int y, int xs, int ys)
{
    if (l->enabled)
        kxwidget_request(l, KX_REQ_UPDATE, x, y, xs, ys);
}

bool cursor_saved(const kxLineInput *l) { return l->under.held && l->under.source; }

void forget_cursor(kxLineInput *l) { l->under.source = nullptr; }

void blink(kxLineInput *l)
{
    if (!l->created || !l->enabled || !l->parent_pixmap)
        return;
    const kxgeometry &g = l->geom;
    if (cursor_saved(l)) {
        kxpxsave_restore(&l->under);
        forget_cursor(l);
    }
    l->shown = !l->shown;
    if (l->shown) {
        int cx = g.x + l->cursorx;
        kxpxsave_grab(&l->under, l->parent_pixmap, cx - 2, g.y, 4, g.ys);
        kxgraphic_line(l->parent_pixmap, cx, g.y + 3, cx, g.y + g.ys - 4, l->textcolor);
    }
    request_update(l, g.x + l->cursorx - 2, g.y, 4, g.ys);
}

// Hides the cursor and restarts the blink phase.
void restart_blink(kxLineInput *l)
{
    kxlineinput_hidecursor(l);
    kxtimer_add(kxLineInput::handler, l, KX_LINEINPUT_BLINK_MS, TIMER_BLINK);
}

int first_selected(const kxLineInput *l)
{
    int len = l->length();
    for (int i = 0; i < len; i++)
        if (l->selected[i])
            return i;
    return -1;
}

int last_selected(const kxLineInput *l)
{
    for (int i = l->length() - 1; i >= 0; i--)
        if (l->selected[i])
            return i;
    return -1;
}

void select_range(kxLineInput *l, int a, int b)
{
    kxlineinput_clearselection(l);
    if (a > b)
        std::swap(a, b);
    int len = l->length();
    for (int i = std::max(a, 0); i < b && i < len; i++)
        l->selected[i] = 1;
}

// Removes the run of selected characters at the first selected one.
void delete_selection(kxLineInput *l)
{
    int first = first_selected(l);
    if (first < 0)
        return;
    int len = l->length(), end = first;
    while (end < len && l->selected[end])
        end++;
    std::memmove(l->text + first, l->text + end, static_cast<std::size_t>(len - end + 1));
    kxlineinput_clearselection(l);
    kxlineinput_moveto(l, first);
}

void insert_text(kxLineInput *l, int pos, const char *s, int n)
{
    int len = l->length();
    n = std::min(n, KX_LINEINPUT_CHARS - len);
    if (n <= 0)
        return;
    pos = std::clamp(pos, 0, len);
    std::memmove(l->text + pos + n, l->text + pos, static_cast<std::size_t>(len - pos + 1));
    std::memcpy(l->text + pos, s, static_cast<std::size_t>(n));
}

void emit_change(kxLineInput *l) { kxwidget_emit(l, l->ids[KX_ID_CHANGE]); }

// Cursor position under a pointer x relative to the field.
int position_at(const kxLineInput *l, int px)
{
    int len = l->length();
    if (l->right)
        px += span(l, 0, len) - (l->geom.xs - l->reserved) + 2;
    px += kxfont_charwidth(l->font, 'm') / 2;
    int i = l->scroll;
    while (i < len && px >= charwidth(l, i)) {
        px -= charwidth(l, i);
        i++;
    }
    return std::min(i, len);
}

void copy_selection(kxLineInput *l)
{
    char out[KX_LINEINPUT_CHARS + 1];
    int n = 0, len = l->length();
    for (int i = 0; i < len; i++)
        if (l->selected[i])
            out[n++] = l->text[i];
    out[n] = 0;
    kxclip_puttext(out);
}

// Redraws after an edit and shows the cursor at once at its new place.
void redraw_with_cursor(kxLineInput *l)
{
    kxlineinput_hidecursor(l);
    l->draw();
    if (l->focused)
        blink(l);
}

// The clipboard text goes in at the cursor, which then stands after it.  A
// paste stops at the maximum length as typing does: what the field shows
// is all it holds, so a table cell never keeps more than its file takes.
void paste(kxLineInput *l)
{
    const char *clip = kxclip_gettext();
    delete_selection(l);
    if (!clip)
        return;
    const int room = std::min(l->maxlen, KX_LINEINPUT_CHARS) - l->length();
    const int n = static_cast<int>(strnlen(clip, static_cast<std::size_t>(std::max(room, 0))));
    const int pos = l->position();
    insert_text(l, pos, clip, n);
    kxlineinput_moveto(l, pos + n);
    redraw_with_cursor(l);
}

// Takes the selection out of the text; without one the whole text goes.
void cut(kxLineInput *l)
{
    copy_selection(l);
    kxlineinput_hidecursor(l);
    if (l->has_selection()) {
        delete_selection(l);
        l->draw();
        return;
    }
    l->text[0] = 0;
    kxlineinput_clearselection(l);
    l->scroll = 0;
    kxlineinput_moveto(l, 0);
    l->draw();
}

void arrow_key(kxLineInput *l, int key)
{
    int pos = l->position(), len = l->length();
    bool left = key == KX_KEY_LEFT;
    if (l->shiftheld) {
        if (left ? pos > 0 : pos < len) {
            pos += left ? -1 : 1;
            kxlineinput_moveto(l, pos);
            select_range(l, l->shiftanchor, pos);
        }
    } else if (l->has_selection()) {
        pos = left ? first_selected(l) : last_selected(l) + 1;
        kxlineinput_clearselection(l);
        kxlineinput_moveto(l, pos);
    } else if (left ? pos > 0 : pos < len) {
        kxlineinput_moveto(l, pos + (left ? -1 : 1));
    }
}

void home_end(kxLineInput *l, int pos)
{
    kxlineinput_moveto(l, pos);
    if (l->shiftheld)
        select_range(l, l->shiftanchor, pos);
    else
        kxlineinput_clearselection(l);
}

void type_char(kxLineInput *l, int c)
{
    delete_selection(l);
    if (l->length() < std::min(l->maxlen, KX_LINEINPUT_CHARS)) {
        char ch = static_cast<char>(c);
        int pos = l->position();
        insert_text(l, pos, &ch, 1);
        kxlineinput_moveto(l, pos + 1);
    }
    emit_change(l);
}

void delete_key(kxLineInput *l)
{
    if (l->has_selection()) {
        delete_selection(l);
        kxlineinput_moveto(l, l->scroll);
    } else {
        int pos = l->position(), len = l->length();
        if (pos < len)
            std::memmove(l->text + pos, l->text + pos + 1, static_cast<std::size_t>(len - pos));
    }
    emit_change(l);
}

void backspace(kxLineInput *l)
{
    if (l->has_selection()) {
        delete_selection(l);
    } else {
        int pos = l->position(), len = l->length();
        if (pos > 0) {
            std::memmove(l->text + pos - 1, l->text + pos, static_cast<std::size_t>(len - pos + 1));
            kxlineinput_moveto(l, pos - 1);
        }
    }
    emit_change(l);
}

void keydown(kxLineInput *l, int key)
{
    switch (key) {
    case KX_KEY_SHIFT:
        l->shiftheld = true;
        l->shiftanchor = l->position();
        return;
    case KX_KEY_LEFT:
    case KX_KEY_RIGHT:
        if (!l->focused)
            return;
        arrow_key(l, key);
        break;
    case KX_KEY_END:
        if (!l->focused)
            return;
        home_end(l, l->length());
        break;
    case KX_KEY_HOME:
        if (!l->focused)
            return;
        home_end(l, 0);
        break;
    case KX_KEY_DELETE: delete_key(l); break;
    case KX_KEY_BACKSPACE: backspace(l); break;
    case KX_KEY_RETURN:
    case KX_KEY_CR:
        if (l->keepfocus)
            kxwidget_emit(l, 0);
        else
            kxwidget_request(l, KX_REQ_FOCUS_NEXT);
        return;
    case KX_KEY_CTRL_A:
        kxlineinput_selectall(l);
        kxlineinput_moveto(l, l->length());
        break;
    default:
        if (!kxlineinput_accepts(key))
            return;
        type_char(l, key);
    }
    redraw_with_cursor(l);
}

void press(kxLineInput *l, int x)
{
    if (l->grey || !l->enabled)
        return;
    if (!l->focused) {
        if (!kxwidget_request(l, KX_REQ_FOCUS, l->index))
            return;
        l->focused = 1;
    }
    restart_blink(l);
    int pos = position_at(l, x - l->geom.x - 4);
    kxlineinput_clearselection(l);
    kxlineinput_moveto(l, pos);
    l->dragging = true;
    l->draganchor = pos;
    redraw_with_cursor(l);
}

void drag(kxLineInput *l, int x)
{
    if (!l->dragging || l->grey)
        return;
    int pos = position_at(l, x - l->geom.x - 4);
    select_range(l, l->draganchor, pos);
    int last = last_selected(l);
    kxlineinput_hidecursor(l);
    kxlineinput_moveto(l, last >= 0 ? last + 1 : pos);
    l->draw();
}

void double_click(kxLineInput *l)
{
    if (l->grey || !l->enabled)
        return;
    if (!l->focused && kxwidget_request(l, KX_REQ_FOCUS, l->index)) {
        l->focused = 1;
        restart_blink(l);
    }
    kxlineinput_selectall(l);
    kxlineinput_hidecursor(l);
    kxlineinput_moveto(l, l->length());
    l->draw();
}

int focus_in(kxLineInput *l)
{
    if (l->grey)
        return 0;
    restart_blink(l);
    kxlineinput_selectall(l);
    l->focused = 1;
    kxlineinput_moveto(l, l->length());
    kxwidget_request(l, KX_REQ_MAKE_VISIBLE, l->index);
    l->draw();
    return 1;
}

void focus_out(kxLineInput *l)
{
    if (!l->focused)
        return;
    kxlineinput_hidecursor(l);
    kxtimer_remove(l, TIMER_BLINK);
    l->focused = 0;
    l->dragging = false;
    if (l->on_leave)
        l->on_leave(l);
    kxlineinput_clearselection(l);
    l->scroll = l->cursor = 0;
    l->cursorx = text_start(l);
    l->draw();
    kxwidget_emit(l, 0);
}

void leave(kxLineInput *l)
{
    l->dragging = false;
    l->hover = 0;
}

} // namespace

// ---- shared with the up-down control and the editor -----------------------

bool kxlineinput_accepts(int c)
{
    return (c >= 32 && c <= 126) || c == 167 || c == 176 || c == 181 || (c >= 192 && c <= 255);
}

void kxlineinput_begin(kxLineInput *l, kxcfgstr_tokens *t, const char *fmt, va_list ap)
{
    if (l->created)
        l->destroy();
    auto ids = l->ids;
    kxwidget_init(l);
    if (ids[0])
        l->ids = ids;
    kxcfgstr_defaults d = kxcfgstr_standard();
    d.bgcolor = kxgui_color(KX_GUI_WHITE);
    d.textcolor = kxgui_color(KX_GUI_TEXT);
    d.frame = 1;
    kxcfgstr_vprefix(l, t, d, false, fmt, ap);
}

void kxlineinput_finish(kxLineInput *l, kxhandler self, int flags, int defaultxs)
{
    kxcfgstr_defaultsize(&l->geom, defaultxs, kxfont_height(l->font) + 8);
    kxcfgstr_resolve(&l->geom);
    l->created = 1;
    kxwidget_register(l, self, flags);
    kxlineinput_layout(l);
    l->draw();
}

void kxlineinput_layout(kxLineInput *l)
{
    l->texty = (l->geom.ys - kxfont_height(l->font)) / 2;
    kxlineinput_moveto(l, std::min(l->position(), l->length()));
}

void kxlineinput_resize(kxLineInput *l, int xs, int ys)
{
    kxgeometry &g = l->geom;
    g.container_xs = xs;
    g.container_ys = ys;
    kxcfgstr_resolve(&g);
    kxwidget_request(l, KX_REQ_MOVE, l->index, g.x, g.y, g.xs, g.ys);
    kxlineinput_layout(l);
}

void kxlineinput_hidecursor(kxLineInput *l)
{
    if (cursor_saved(l)) {
        kxpxsave_restore(&l->under);
        forget_cursor(l);
        const kxgeometry &g = l->geom;
        request_update(l, g.x + l->cursorx - 2, g.y, 4, g.ys);
    }
    l->shown = 0;
}

void kxlineinput_selectall(kxLineInput *l)
{
    int len = l->length();
    for (int i = 0; i < len; i++)
        l->selected[i] = 1;
}

void kxlineinput_clearselection(kxLineInput *l) { l->selected.fill(0); }

void kxlineinput_moveto(kxLineInput *l, int pos)
{
    pos = std::clamp(pos, 0, l->length());
    int wW = kxfont_charwidth(l->font, 'W');
    int avail = inner(l) - wW;
    int step = wW > 0 ? std::max((avail / wW + 1) / 2, 1) : 1;
    int w = pos > l->scroll ? span(l, l->scroll, pos) : 0;
    if (!(pos > l->scroll && w < avail)) {
        // Restart at 0 and grow by steps, dropping the passed widths as we go.
        l->scroll = 0;
        w = span(l, 0, pos);
        while (l->scroll < pos && w >= avail) {
            int next = std::min(l->scroll + step, pos);
            w -= span(l, l->scroll, next);
            l->scroll = next;
        }
    }
    l->cursor = pos - l->scroll;
    l->cursorx = w + text_start(l);
}

// ---- the record -----------------------------------------------------------

kxLineInput::~kxLineInput()
{
    destroy();
    kxpxsave_release(&under);
}

void kxLineInput::create(const char *fmt, ...)
{
    kxcfgstr_tokens t;
    va_list ap;
    va_start(ap, fmt);
    kxlineinput_begin(this, &t, fmt, ap);
    va_end(ap);
    kxlineinputattr a;
    kxcfgstr_lineinput(t.tok, t.start, &a);
    maxlen = std::min(a.maxlen, KX_LINEINPUT_CHARS);
    std::snprintf(text, sizeof text, "%s", a.text);
    right = a.right;
    keepfocus = a.keepfocus;
    password = a.password;
    kxlineinput_finish(this, handler, KX_REG_MOUSE | KX_REG_FOCUSABLE | KX_REG_HOVER, 0);
}

void kxLineInput::destroy()
{
    kxtimer_remove(this, TIMER_BLINK);
    kxtimer_remove(this, TIMER_REPEAT);
    if (!created)
        return;
    kxlineinput_hidecursor(this);
    kxwidget_unregister(this);
    created = 0;
    focused = 0;
    text[0] = 0;
    selected.fill(0);
    scroll = cursor = cursorx = shown = 0;
    draganchor = shiftanchor = 0;
    maxlen = KX_LINEINPUT_MAXLEN;
    dragging = shiftheld = right = keepfocus = password = false;
}

void kxLineInput::set_text(const char *t)
{
    kxlineinput_hidecursor(this);
    std::snprintf(text, sizeof text, "%s", t ? t : "");
    kxlineinput_moveto(this, position());
    draw();
}

void kxLineInput::set_textf(const char *fmt, ...)
{
    char buf[KX_LINEINPUT_CHARS + 1];
    va_list ap;
    va_start(ap, fmt);
    std::vsnprintf(buf, sizeof buf, fmt, ap);
    va_end(ap);
    set_text(buf);
}

void kxLineInput::set_number(int n) { set_textf("%d", n); }

double kxLineInput::get_number() const { return std::strtod(text, nullptr); }

int kxLineInput::length() const { return static_cast<int>(strnlen(text, KX_LINEINPUT_CHARS)); }

bool kxLineInput::has_selection() const { return first_selected(this) >= 0; }

void kxLineInput::draw()
{
    if (!created || !enabled || !parent_pixmap)
        return;
    kxpxmap *p = parent_pixmap;
    const kxgeometry &g = geom;
    forget_cursor(this);
    shown = 0;
    kxpxmap_fillrect(p, g.x, g.y, g.xs, g.ys, bgcolor);
    if (frame)
        kxgraphic_frame(p, KX_FRAME_FIELD, true, g.x, g.y, g.xs, g.ys, palette[KX_GUI_LIGHT],
                        palette[KX_GUI_DARK], palette[KX_GUI_BLACK], palette[KX_GUI_VERYLIGHT]);
    if (on_draw)
        on_draw(this);
    int cx = g.x + text_start(this);
    int edge = g.x + g.xs - reserved;
    int len = length();
    for (int i = scroll; i < len; i++) {
        int w = charwidth(this, i);
        if (cx + w > edge)
            break;
        if (selected[i])
            kxtext_drawchar(p, font, cx, g.y + texty, palette[KX_GUI_TEXTSEL], false, false,
                            palette[KX_GUI_BLUE], shown_char(this, i), -1, -1);
        else
            kxtext_drawchar(p, font, cx, g.y + texty, grey ? palette[KX_GUI_TEXTGREY] : textcolor,
                            grey != 0, false, -1, shown_char(this, i), -1, -1);
        cx += w;
    }
    request_update(this, g.x - 2, g.y - 2, g.xs + 4, g.ys + 4);
}

kxarg kxLineInput::handler(void *obj, int code, kxarg a0, kxarg a1, kxarg, kxarg, kxarg, kxarg,
                           kxarg, kxarg)
{
    auto *l = static_cast<kxLineInput *>(obj);
    int x = static_cast<int>(a0);
    switch (code) {
    case KX_EV_CLOSE: l->destroy(); return 0;
    case KX_EV_RESIZE:
        kxlineinput_resize(l, x, static_cast<int>(a1));
        l->draw();
        return 0;
    case KX_EV_LDOWN: press(l, x); return 0;
    case KX_EV_MOTION: drag(l, x); return 0;
    case KX_EV_LUP: l->dragging = false; return 0;
    case KX_EV_LEAVE: leave(l); return 0;
    case KX_EV_ENTER: l->hover = 1; return 0;
    case KX_EV_LDOUBLE: double_click(l); return 0;
    case KX_EV_KEYDOWN: keydown(l, x); return 0;
    case KX_EV_KEYUP:
        if (x == KX_KEY_SHIFT)
            l->shiftheld = false;
        return 0;
    case KX_EV_FOCUS_IN: return focus_in(l);
    case KX_EV_FOCUS_OUT: focus_out(l); return 0;
    case KX_EV_TIMER:
        if (x == TIMER_BLINK && l->focused)
            blink(l);
        return 0;
    case KX_EV_PASTE: paste(l); return 0;
    case KX_EV_COPY: copy_selection(l); return 0;
    case KX_EV_CUT: cut(l); return 0;
    case KX_EV_SNAPSHOT: kxlineinput_hidecursor(l); return 0;
    case KX_EV_ENABLE:
        l->enabled = 1;
        handler(l, KX_EV_ENABLED, 0, 0, 0, 0, 0, 0, 0, 0);
        l->draw();
        return 0;
    case KX_EV_DISABLE:
        leave(l);
        handler(l, KX_EV_DISABLED, 0, 0, 0, 0, 0, 0, 0, 0);
        l->enabled = 0;
        return 0;
    case KX_EV_DISABLED: focus_out(l); return 0;
    default: return 0;
    }
}
