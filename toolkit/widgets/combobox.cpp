#include "widgets/combobox.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "base/cfgtext.h"
#include "core/cfgstr.h"
#include "core/target.h"
#include "core/view.h"
#include "core/window.h"
#include "graphics/colours.h"
#include "graphics/draw.h"
#include "graphics/font.h"
#include "graphics/text.h"
#include "widgets/cfgkeys.h"

namespace {

constexpr int KEY_BACKSPACE = 8;

bool button_shown(const kxComboBox *c) { return !c->nobutton || c->focused; }

void layout(kxComboBox *c)
{
    const kxgeometry &g = c->geom;
    c->texty = (g.ys - kxfont_height(c->font)) / 2;
    c->buttonx = g.xs - g.ys;
    c->buttonw = g.ys;
}

int entry_width(const kxComboBox *c, int i) { return kxtext_width(c->font, c->entries[i]); }

const char *shown_text(const kxComboBox *c)
{
    return c->typing ? c->typed : c->count ? c->entries[c->selected] : "";
}

// Sets the selection; a change redraws the field.
void set(kxComboBox *c, int index)
{
    if (index == c->selected && !c->typing)
        return;
    c->typing = false;
    c->selected = std::clamp(index, 0, std::max(c->count - 1, 0));
    c->draw();
}

void set_and_emit(kxComboBox *c, int index)
{
    set(c, index);
    kxwidget_emit(c, 0);
}

// A choice in the open list, by click or by Enter: the line (when it is
// one) becomes the selection, the list closes, and the main id is emitted
// even when nothing changed.
void choose(kxComboBox *c, int line)
{
    if (line >= 0 && line < c->count) {
        c->selected = line;
        c->typing = false;
    }
    c->close_popup();
    c->draw();
    kxwidget_emit(c, 0);
}

kxView *popup_view(kxComboBox *c)
{
    return c->popup && c->popup->created ? &c->popup->views[c->popup->current] : nullptr;
}

void popup_event(void *obj, int id, kxarg, kxarg b, kxarg)
{
    auto *c = static_cast<kxComboBox *>(obj);
    kxView *v = popup_view(c);
    if (!c->open || !v)
        return;
    int y = static_cast<int>(b);
    int fh = std::max(kxfont_height(c->font), 1);
    int line = (y - 2) / fh;
    if (id == v->ids[KX_ID_MOTION]) {
        if (y > 0 && line < c->count && line != c->highlighted) {
            c->highlighted = line;
            c->draw_list();
        }
    } else if (id == v->ids[KX_ID_LDOWN] || id == v->ids[KX_ID_LDOUBLE] ||
               (id == v->ids[KX_ID_LUP] && y >= 0)) {
        choose(c, y >= 0 ? line : -1);
    } else if (id == v->ids[KX_ID_WHEEL_UP] || id == v->ids[KX_ID_WHEEL_DOWN]) {
        set_and_emit(c, c->selected + (id == v->ids[KX_ID_WHEEL_UP] ? -1 : 1));
    }
}

void press(kxComboBox *c, int x)
{
    if (c->grey)
        return;
    if (!c->focused && kxwidget_askfocus(c)) {
        c->focused = 1;
        c->draw();
    }
    if (x - c->geom.x > c->buttonx && !c->held) {
        c->held = true;
        c->draw();
    }
    if (c->open)
        c->close_popup();
    else
        c->open_popup(-1);
}

void release(kxComboBox *c)
{
    if (!c->held)
        return;
    c->held = false;
    c->draw();
}

// Typing replaces the shown text, and goes on from there; Backspace takes
// back the last character.
void type_key(kxComboBox *c, int key)
{
    const bool printable = (key >= 32 && key < 127) || (key >= 160 && key <= 255);
    const bool allowed = c->digitsonly ? key >= '0' && key <= '9' : printable;
    if (!c->editable || c->open || (key != KEY_BACKSPACE && !allowed))
        return;
    std::size_t n = c->typing ? std::strlen(c->typed) : 0;
    if (key == KEY_BACKSPACE) {
        if (!c->typing)
            std::snprintf(c->typed, sizeof c->typed, "%s", shown_text(c));
        n = std::strlen(c->typed);
        if (n > 0)
            c->typed[n - 1] = 0;
    } else if (n + 1 < sizeof c->typed) {
        c->typed[n] = static_cast<char>(key);
        c->typed[n + 1] = 0;
    }
    c->typing = true;
    c->draw();
}

// Nonzero for a key the open list took: a choice by Enter or a close by
// Escape belongs to the list, not to the window (and so not to a dialog).
int keydown(kxComboBox *c, int key)
{
    const bool open = c->open;
    switch (key) {
    case KX_KEY_UP:
        if (!c->open) {
            set_and_emit(c, c->selected - 1);
        } else if (c->highlighted > 0) {
            c->highlighted--;
            c->draw_list();
        }
        break;
    case KX_KEY_DOWN:
        if (!c->open) {
            set_and_emit(c, c->selected + 1);
        } else if (c->highlighted < c->count - 1) {
            c->highlighted++;
            c->draw_list();
        }
        break;
    case KX_KEY_RETURN:
    case KX_KEY_CR:
        if (c->open)
            choose(c, c->highlighted);
        else
            c->open_popup(c->selected);
        break;
    case KX_KEY_ESCAPE:
        if (c->open)
            c->close_popup();
        break;
    default: type_key(c, key); return 0;
    }
    return open ? 1 : 0;
}

int focus_in(kxComboBox *c)
{
    if (c->grey || c->nofocus)
        return 0;
    c->focused = 1;
    c->draw();
    return 1;
}

void draw_text(kxComboBox *c, kxpxmap *p, int colour)
{
    if (c->count == 0 && !c->typing)
        return;
    const kxgeometry &g = c->geom;
    const char *t = shown_text(c);
    bool shown = button_shown(c);
    int edge = g.x + (shown ? c->buttonx : g.xs);
    int x = g.x + 2;
    if (c->right)
        x = g.x + g.xs - c->buttonw - kxtext_width(c->font, t) - 2 + (shown ? 0 : c->buttonw);
    for (const char *s = t; *s; s++) {
        int ch = static_cast<unsigned char>(*s);
        int w = kxfont_charwidth(c->font, ch);
        if (x + w > edge)
            break;
        kxtext_drawchar(p, c->font, x, g.y + c->texty, colour, c->grey != 0, false, -1, ch, -1,
                        -1);
        x += w;
    }
}

void draw_button(kxComboBox *c, kxpxmap *p)
{
    const kxgeometry &g = c->geom;
    const auto &pal = c->palette;
    int bx = g.x + c->buttonx, d = c->held ? 1 : 0;
    kxpxmap_fillrect(p, bx, g.y, c->buttonw, g.ys, pal[KX_GUI_GREY]);
    kxgraphic_frame(p, KX_FRAME_FIELD, c->held, bx, g.y, c->buttonw, g.ys, pal[KX_GUI_GREY],
                    pal[KX_GUI_DARK], pal[KX_GUI_BLACK], pal[KX_GUI_VERYLIGHT]);
    kxgraphic_arrow(p, "down", bx + d, g.y + d, c->buttonw, g.ys, pal[KX_GUI_BLACK]);
}

} // namespace

kxComboBox::kxComboBox() = default;

kxComboBox::~kxComboBox()
{
    destroy();
    if (popup)
        kxwindow_free(popup.get());
}

void kxComboBox::create(const char *fmt, ...)
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
    char list[KX_CFG_TEXT];
    count = 0;
    if (kxcfgstr_entries(t.tok, t.start, list, sizeof list)) {
        char e[KX_CFG_TEXT];
        // Entries beyond the table, and the end of long ones, are left out.
        const char *p = list;
        while (count < KX_COMBO_ENTRIES && (p = kxcfgstr_nextentry(p, e, sizeof e)))
            std::snprintf(entries[count++], KX_COMBO_ENTRY, "%.*s", KX_COMBO_ENTRY - 1, e);
    }
    int start = kxcfgstr_getint(t.text, "start", 0);
    selected = count > 0 ? std::clamp(start, 0, count - 1) : 0;
    nobutton = kxcfgstr_contains(t.text, "nobutton");
    kxcfgstr_flag(t.tok, t.start, "edit", &editable);
    kxcfgstr_flag(t.tok, t.start, "digitsonly", &digitsonly);
    kxcfgstr_alignright(t.tok, t.start, &right);
    int fh = kxfont_height(font), widest = 0;
    for (int i = 0; i < count; i++)
        widest = std::max(widest, entry_width(this, i));
    kxcfgstr_defaultsize(&geom, widest + fh + 12, fh + 4);
    kxcfgstr_resolve(&geom);
    created = 1;
    kxwidget_register(this, handler,
                      KX_REG_MOUSE | KX_REG_FOCUSABLE | KX_REG_HOVER | KX_REG_SCROLLS);
    layout(this);
    draw();
}

void kxComboBox::destroy()
{
    close_popup();
    if (created)
        kxwidget_unregister(this);
    created = 0;
    count = selected = 0;
    focused = hover = 0;
    held = nobutton = right = editable = digitsonly = typing = false;
    typed[0] = 0;
    highlighted = -1;
}

void kxComboBox::selected_text(char *out, int cap) const
{
    if (cap > 0)
        std::snprintf(out, static_cast<std::size_t>(cap), "%s", shown_text(this));
}

void kxComboBox::select_text(const char *text)
{
    for (int i = 0; text && i < count; i++)
        if (std::strcmp(entries[i], text) == 0) {
            set(this, i);
            return;
        }
    if (editable && text) {
        std::snprintf(typed, sizeof typed, "%s", text);
        typing = true;
        draw();
    }
}

void kxComboBox::select(int i) { set(this, i); }

void kxComboBox::open_popup(int highlight)
{
    if (open || !created)
        return;
    kxtarget_save();
    const kxgeometry &g = geom;
    popx = static_cast<int>(kxwidget_request(this, KX_REQ_GET_SCREEN_X)) + g.x;
    popy = static_cast<int>(kxwidget_request(this, KX_REQ_GET_SCREEN_Y)) + g.y + g.ys;
    poph = kxfont_height(font) * count + 4;
    popw = g.xs;
    for (int i = 0; i < count; i++)
        if (entry_width(this, i) > popw)
            popw = entry_width(this, i) + 2;
    if (!popup) {
        popup = std::make_unique<kxWindow>();
        kxwindow_init(popup.get());
    }
    kxwindow_create(popup.get(), ",x=%d,y=%d,xs=%d,ys=%d,popup,modal", popx, popy, popw, poph);
    kxwindow_set_hook(popup.get(), popup_event, this);
    // The popup holds the pointer: its view reports presses above it too, so
    // that a click outside closes the list.
    if (kxView *v = popup_view(this))
        v->grabbing = 1;
    highlighted = highlight;
    open = true;
    draw_list();
    kxtarget_restore();
}

void kxComboBox::close_popup()
{
    if (!open)
        return;
    open = false;
    highlighted = -1;
    if (popup)
        kxwindow_close(popup.get());
    kxwidget_request(this, KX_REQ_POPUP_CLOSED);
}

void kxComboBox::draw_list()
{
    kxView *v = popup_view(this);
    if (!open || !v || !v->content)
        return;
    kxpxmap *p = v->content;
    int fh = kxfont_height(font);
    kxpxmap_fillrect(p, 0, 0, p->width, p->height, 0xFFFFFF);
    v->font = font;
    for (int i = 0; i < count; i++) {
        int colour = textcolor;
        if (i == highlighted) {
            kxpxmap_fillrect(p, 0, i * fh + 2, popw, fh, palette[KX_GUI_BLUE]);
            colour = palette[KX_GUI_TEXTSEL];
        }
        kxtext_draw(p, font, 2, i * fh + 2, colour, false, false, -1, 0, -1, entries[i], -1, -1);
    }
    kxview_refresh(v);
    kxwindow_blit(popup.get(), 0, 0, popw, poph);
}

void kxComboBox::draw()
{
    if (!created || !enabled || !parent_pixmap)
        return;
    kxpxmap *p = parent_pixmap;
    const kxgeometry &g = geom;
    const auto &pal = palette;
    kxpxmap_fillrect(p, g.x, g.y, g.xs, g.ys, focused ? pal[KX_GUI_BLUE] : bgcolor);
    if (frame)
        kxgraphic_frame(p, KX_FRAME_FIELD, true, g.x - 2, g.y - 2, g.xs + 4, g.ys + 4,
                        pal[KX_GUI_LIGHT], pal[KX_GUI_DARK], pal[KX_GUI_BLACK],
                        pal[KX_GUI_VERYLIGHT]);
    draw_text(this, p, focused ? pal[KX_GUI_TEXTSEL] : textcolor);
    if (button_shown(this))
        draw_button(this, p);
    kxwidget_request(this, KX_REQ_UPDATE, g.x - 2, g.y - 2, g.xs + 4, g.ys + 4);
}

kxarg kxComboBox::handler(void *obj, int code, kxarg a0, kxarg a1, kxarg, kxarg, kxarg, kxarg,
                          kxarg, kxarg)
{
    auto *c = static_cast<kxComboBox *>(obj);
    int x = static_cast<int>(a0);
    switch (code) {
    case KX_EV_CLOSE: c->destroy(); return 0;
    case KX_EV_RESIZE: {
        kxgeometry &g = c->geom;
        g.container_xs = x;
        g.container_ys = static_cast<int>(a1);
        kxcfgstr_resolve(&g);
        kxwidget_request(c, KX_REQ_MOVE, c->index, g.x, g.y, g.xs, g.ys);
        layout(c);
        c->draw();
        return 0;
    }
    case KX_EV_LDOWN:
    case KX_EV_LDOUBLE: press(c, x); return 0;
    case KX_EV_LUP:
    case KX_EV_LEAVE: release(c); return 0;
    case KX_EV_ENTER: c->hover = 1; return 0;
    case KX_EV_KEYDOWN: return keydown(c, x);
    case KX_EV_WHEEL_UP: set_and_emit(c, c->selected - 1); return 0;
    case KX_EV_WHEEL_DOWN: set_and_emit(c, c->selected + 1); return 0;
    case KX_EV_FOCUS_IN: return focus_in(c);
    case KX_EV_FOCUS_OUT:
        c->focused = 0;
        c->draw();
        return 0;
    case KX_EV_ENABLE:
        c->enabled = 1;
        c->draw();
        return 0;
    case KX_EV_DISABLE:
        release(c);
        c->hover = 0;
        if (c->focused) {
            c->focused = 0;
            c->draw();
        }
        c->enabled = 0;
        return 0;
    default: return 0;
    }
}
