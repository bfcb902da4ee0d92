#include "widgets/listbox.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "base/cfgtext.h"
#include "core/cfgstr.h"
#include "graphics/colours.h"
#include "graphics/draw.h"
#include "graphics/font.h"
#include "graphics/text.h"
#include "widgets/cfgkeys.h"

namespace {

void bar_notice(void *owner, int code, int value);

void set_barpos(kxListBox *l)
{
    if (l->hasbar && l->visible != l->count)
        l->bar.set_vpos(l->first * 100 / (l->count - l->visible));
}

void layout(kxListBox *l)
{
    const kxgeometry &g = l->geom;
    l->lineh = std::max(kxfont_height(l->font), 1);
    l->visible = std::clamp((g.ys - 8) / l->lineh, 0, l->count);
    l->bar.remove();
    l->hasbar = false;
    if (l->visible < l->count) {
        l->bar.create(bar_notice, l, l->parent_handler, l->parent, l->parent_pixmap, g.x, g.y,
                      g.xs, g.ys, true, false, 0);
        l->bar.set_vsize(l->visible * 100 / l->count);
        l->bar.set_vpos(0);
        l->hasbar = true;
    }
    l->first = std::clamp(l->first, 0, std::max(l->count - l->visible, 0));
    set_barpos(l);
    kxwidget_request(l, KX_REQ_SET_SCROLLS, l->index, l->hasbar ? 1 : 0);
}

void keep_visible(kxListBox *l)
{
    int before = l->first;
    while (l->first > 0 && l->selected < l->first)
        l->first--;
    while (l->visible > 0 && l->selected >= l->first + l->visible)
        l->first++;
    if (l->first != before)
        set_barpos(l);
}

void scroll_to(kxListBox *l, int first)
{
    l->first = std::clamp(first, 0, std::max(l->count - l->visible, 0));
    set_barpos(l);
    l->draw();
}

void bar_notice(void *owner, int code, int value)
{
    auto *l = static_cast<kxListBox *>(owner);
    switch (code) {
    case KX_SB_UP:
        if (l->first > 0)
            scroll_to(l, l->first - 1);
        break;
    case KX_SB_DOWN:
        if (l->first < l->count - l->visible)
            scroll_to(l, l->first + 1);
        break;
    case KX_SB_PAGEUP: scroll_to(l, l->first - l->visible); break;
    case KX_SB_PAGEDOWN: scroll_to(l, l->first + l->visible); break;
    case KX_SB_VPOS: scroll_to(l, value * (l->count - l->visible) / 100); break;
    default: break;
    }
}

void emit_change(kxListBox *l) { kxwidget_emit(l, l->ids[14]); }

void press(kxListBox *l, int code, int x, int y)
{
    if (l->count == 0)
        return;
    kxwidget_askfocus(l);
    const kxgeometry &g = l->geom;
    if (l->hasbar && x - g.x > g.xs - l->bar.vwidth)
        return;
    int line = std::clamp((y - g.y - 4) / l->lineh, 0, std::max(l->visible - 1, 0)) + l->first;
    line = std::min(line, l->count - 1);
    if (line != l->selected) {
        l->selected = line;
        l->draw();
        emit_change(l);
    }
    if (code == KX_EV_LDOUBLE)
        kxwidget_emit(l, 0);
    else if (code == KX_EV_RDOWN)
        kxwidget_emit(l, l->ids[KX_ID_RDOWN]);
}

void move_selection(kxListBox *l, int d)
{
    int to = l->selected + d;
    if (to < 0 || to >= l->count)
        return;
    l->selected = to;
    keep_visible(l);
    l->draw();
    emit_change(l);
}

void clear(kxListBox *l)
{
    l->lines.clear();
    l->lines.shrink_to_fit();
    l->count = l->visible = l->selected = l->first = 0;
}

void append(kxListBox *l, const char *text)
{
    if (l->lines.size() == l->lines.capacity())
        l->lines.reserve(l->lines.size() + KX_LISTBOX_GROWTH);
    l->lines.emplace_back(text, strnlen(text, KX_LISTBOX_LINE - 1));
    l->count = static_cast<int>(l->lines.size());
}

int focus_in(kxListBox *l)
{
    if (l->nofocus)
        return 0;
    l->focused = 1;
    kxwidget_request(l, KX_REQ_MAKE_VISIBLE, l->index);
    l->draw();
    return 1;
}

void draw_line(kxListBox *l, kxpxmap *p, int i)
{
    const kxgeometry &g = l->geom;
    int index = l->first + i;
    int by = g.y + 4 + i * l->lineh;
    int colour = l->grey ? l->palette[KX_GUI_TEXTGREY] : l->palette[KX_GUI_TEXT];
    if (l->marked && index % 2 == 0)
        kxpxmap_fillrect(p, g.x + 2, by, g.xs - 4, l->lineh, KX_LISTBOX_STRIPE);
    if (index == l->selected) {
        kxpxmap_fillrect(p, g.x + 2, by, g.xs - 4, l->lineh,
                         l->marked ? KX_LISTBOX_MARKSEL : l->palette[KX_GUI_BLUE]);
        colour = l->marked ? 0xFFFFFF : l->palette[KX_GUI_TEXTSEL];
    }
    int x = g.x + 4, edge = g.x + g.xs - 4;
    for (unsigned char c : l->lines[static_cast<std::size_t>(index)]) {
        int w = kxfont_charwidth(l->font, c);
        if (x + w > edge)
            break;
        kxtext_drawchar(p, l->font, x, by, colour, l->grey && index != l->selected, false, -1, c,
                        -1, -1);
        x += w;
    }
}

} // namespace

kxListBox::~kxListBox() { destroy(); }

void kxListBox::create(const char *fmt, ...)
{
    if (created)
        destroy();
    kxwidget_reinit(this);
    kxcfgstr_defaults d = kxcfgstr_standard();
    d.bgcolor = kxgui_color(KX_GUI_WHITE);
    d.frame = 1;
    kxcfgstr_tokens t;
    va_list ap;
    va_start(ap, fmt);
    kxcfgstr_vprefix(this, &t, d, false, fmt, ap);
    va_end(ap);
    kxcfgstr_resolve(&geom);
    adding = true;
    char list[KX_CFG_TEXT];
    if (kxcfgstr_entries(t.tok, t.start, list, sizeof list)) {
        char e[KX_LISTBOX_LINE];
        for (const char *p = list; (p = kxcfgstr_nextentry(p, e, sizeof e));)
            append(this, e);
    }
    adding = false;
    kxcfgstr_flag(t.tok, t.start, "markedlines", &marked);
    created = 1;
    kxwidget_register(this, handler,
                      KX_REG_MOUSE | KX_REG_HOVER | KX_REG_SCROLLS |
                          (nofocus ? 0 : KX_REG_FOCUSABLE));
    layout(this);
    draw();
}

void kxListBox::destroy()
{
    bar.remove();
    if (created)
        kxwidget_unregister(this);
    clear(this);
    created = 0;
    focused = 0;
    hasbar = marked = adding = false;
}

void kxListBox::add_line(const char *fmt, ...)
{
    char buf[KX_LISTBOX_LINE];
    va_list ap;
    va_start(ap, fmt);
    std::vsnprintf(buf, sizeof buf, fmt, ap);
    va_end(ap);
    append(this, buf);
    if (!adding && created) {
        layout(this);
        draw();
    }
}

int kxListBox::selected_text(char *out, int cap) const
{
    if (cap > 0)
        std::snprintf(out, static_cast<std::size_t>(cap), "%s",
                      count ? lines[static_cast<std::size_t>(selected)].c_str() : "");
    return selected_index();
}

void kxListBox::select(int i)
{
    // Beyond the end would index past the table: the last line instead.
    selected = std::clamp(i, 0, std::max(count - 1, 0));
    keep_visible(this);
    draw();
}

void kxListBox::draw()
{
    if (!created || !enabled || !parent_pixmap)
        return;
    kxpxmap *p = parent_pixmap;
    const kxgeometry &g = geom;
    kxpxmap_fillrect(p, g.x, g.y, g.xs, g.ys, bgcolor);
    if (frame)
        kxgraphic_frame(p, KX_FRAME_FIELD, true, g.x - 2, g.y - 2, g.xs + 4, g.ys + 4,
                        palette[KX_GUI_LIGHT], palette[KX_GUI_DARK], palette[KX_GUI_BLACK],
                        palette[KX_GUI_VERYLIGHT]);
    for (int i = 0; i < visible && first + i < count; i++)
        draw_line(this, p, i);
    if (hasbar)
        bar.draw();
    kxwidget_request(this, KX_REQ_UPDATE, g.x - 2, g.y - 2, g.xs + 4, g.ys + 4);
}

kxarg kxListBox::handler(void *obj, int code, kxarg a0, kxarg a1, kxarg, kxarg, kxarg, kxarg,
                         kxarg, kxarg)
{
    auto *l = static_cast<kxListBox *>(obj);
    int x = static_cast<int>(a0), y = static_cast<int>(a1);
    if (l->hasbar && l->enabled)
        l->bar.handle(code, x, y);
    switch (code) {
    case KX_EV_CLOSE: l->destroy(); return 0;
    case KX_EV_RESIZE: {
        kxgeometry &g = l->geom;
        g.container_xs = x;
        g.container_ys = y;
        kxcfgstr_resolve(&g);
        kxwidget_request(l, KX_REQ_MOVE, l->index, g.x, g.y, g.xs, g.ys);
        layout(l);
        l->draw();
        return 0;
    }
    case KX_EV_LDOWN:
    case KX_EV_LDOUBLE:
    case KX_EV_RDOWN: press(l, code, x, y); return 0;
    case KX_EV_KEYDOWN:
        if (x == KX_KEY_UP)
            move_selection(l, -1);
        else if (x == KX_KEY_DOWN)
            move_selection(l, 1);
        else if (x == KX_KEY_RETURN || x == KX_KEY_CR)
            kxwidget_emit(l, 0);
        return 0;
    case KX_EV_WHEEL_UP: bar_notice(l, KX_SB_UP, 0); return 0;
    case KX_EV_WHEEL_DOWN: bar_notice(l, KX_SB_DOWN, 0); return 0;
    case KX_EV_FOCUS_IN: return focus_in(l);
    case KX_EV_FOCUS_OUT:
        l->focused = 0;
        l->draw();
        return 0;
    case KX_EV_ENTER: l->hover = 1; return 0;
    case KX_EV_LEAVE: l->hover = 0; return 0;
    case KX_EV_ENABLE:
        l->enabled = 1;
        l->draw();
        return 0;
    case KX_EV_DISABLE:
        l->hover = 0;
        l->focused = 0;
        l->enabled = 0;
        return 0;
    default: return 0;
    }
}
