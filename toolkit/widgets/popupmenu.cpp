#include "widgets/popupmenu.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "base/cfgtext.h"
#include "core/cfgstr.h"
#include "core/event.h"
#include "core/target.h"
#include "core/view.h"
#include "core/window.h"
#include "graphics/colours.h"
#include "graphics/draw.h"
#include "graphics/font.h"
#include "graphics/text.h"
#include "platform/platform.h"
#include "widgets/cfgkeys.h"

namespace {

struct Entry {
    char text[KX_MENU_TEXT] = {};
    bool separator = false;
    int top = 0, height = 0;
};

// One open menu; lives for the duration of the call.
struct Menu {
    std::array<Entry, KX_MENU_MAX_ENTRIES> entries{};
    int count = 0;
    int font = KX_FONT_DEFAULT;
    int xs = 0, ys = 0, x = 0, y = 0;
    int highlighted = -1;
    bool pressed = false;
    int result = 0;
    bool done = false;
    kxhandler owner = nullptr;
    void *ownerobj = nullptr;
    std::unique_ptr<kxWindow> win;
};

// The whole "key=" token value, or null.  Keys are compared without case.
const char *key_value(char **tok, const char *key)
{
    auto starts = [](const char *s, const char *k) {
        for (; *k; s++, k++)
            if (std::tolower(static_cast<unsigned char>(*s)) != *k)
                return false;
        return true;
    };
    for (char **t = tok; t && *t; t++)
        if (starts(*t, key))
            return *t + std::strlen(key);
    return nullptr;
}

bool read_int(const char *s, int *out)
{
    if (!s)
        return false;
    char *end = nullptr;
    long v = std::strtol(s, &end, 10);
    if (end == s)
        return false;
    *out = static_cast<int>(std::clamp(v, -100000L, 100000L));
    return true;
}

void read_entries(Menu *m, char **tok)
{
    char list[KX_CFG_TEXT] = {};
    if (!kxcfgstr_menus(tok, 0, list, sizeof list))
        return;
    const char *p = list;
    while (m->count < KX_MENU_MAX_ENTRIES) {
        Entry &en = m->entries[m->count];
        if (!(p = kxcfgstr_nextentry(p, en.text, sizeof en.text)))
            break;
        en.separator = en.text[0] == '-';
        m->count++;
    }
}

void layout(Menu *m)
{
    int fh = kxfont_height(m->font), widest = 0, y = 2;
    for (int i = 0; i < m->count; i++) {
        Entry &e = m->entries[i];
        e.top = y;
        e.height = e.separator ? KX_MENU_SEPARATOR : fh + 8;
        y += e.height;
        if (!e.separator)
            widest = std::max(widest, kxtext_width(m->font, e.text));
    }
    m->xs = std::max(widest + 25, KX_MENU_MINXS);
    m->ys = std::max(y + 2, KX_MENU_MINYS);
}

kxView *menu_view(Menu *m)
{
    return m->win && m->win->created ? &m->win->views[m->win->current] : nullptr;
}

void draw(Menu *m)
{
    kxView *v = menu_view(m);
    if (!v || !v->content)
        return;
    kxpxmap *p = v->content;
    const int grey = kxgui_color(KX_GUI_GREY), dark = kxgui_color(KX_GUI_DARK);
    const int white = kxgui_color(KX_GUI_WHITE), light = kxgui_color(KX_GUI_LIGHT);
    const int text = kxgui_color(KX_GUI_TEXT);
    kxpxmap_fillrect(p, 0, 0, m->xs, m->ys, grey);
    kxgraphic_frame(p, KX_FRAME_DOUBLE3D, false, 0, 0, m->xs, m->ys, -1, -1, -1, -1);
    for (int i = 0; i < m->count; i++) {
        const Entry &e = m->entries[i];
        if (e.separator) {
            kxgraphic_line(p, 4, e.top + 1, m->xs - 6, e.top + 1, dark);
            kxgraphic_line(p, 4, e.top + 2, m->xs - 6, e.top + 2, white);
            continue;
        }
        bool hi = i == m->highlighted;
        kxpxmap_fillrect(p, 3, e.top + 1, m->xs - 6, e.height - 2, hi ? light : grey);
        kxtext_draw(p, m->font, 12, e.top + 4, text, false, false, -1, std::max(m->xs - 16, 1),
                    -1, e.text, -1, -1);
        kxgraphic_frame(p, KX_FRAME_3DCOLOURS, false, 2, e.top, m->xs - 4, e.height,
                        hi ? white : grey, hi ? dark : grey, -1, -1);
    }
    kxview_refresh(v);
    kxwindow_blit(m->win.get(), 0, 0, m->xs, m->ys);
}

void close_with(Menu *m, int result)
{
    m->result = result;
    m->done = true;
}

void motion(Menu *m, int x, int y)
{
    if (x <= 0 || y <= 0 || x >= m->xs || y >= m->ys) {
        if (m->highlighted >= 0) {
            m->highlighted = -1;
            draw(m);
        }
        if (m->owner && kxsend(m->owner, m->ownerobj, KX_EV_MENU_HIT, x, y) == 0)
            close_with(m, 0);
        return;
    }
    int hit = -1;
    for (int i = 0; i < m->count; i++) {
        const Entry &e = m->entries[i];
        if (e.top <= y && y < e.top + e.height)
            hit = i;
    }
    if (hit != m->highlighted) {
        m->highlighted = hit;
        draw(m);
    }
}

void release(Menu *m, int x, int y)
{
    bool inner = x > 2 && y > 2 && x < m->xs - 4 && y < m->ys - 4;
    if (inner && m->highlighted >= 0)
        close_with(m, m->highlighted + 1);
    else if (m->pressed)
        close_with(m, 0);
    // Otherwise the release ends the click that opened the menu.
}

void menu_event(void *obj, int id, kxarg a, kxarg b, kxarg)
{
    auto *m = static_cast<Menu *>(obj);
    kxView *v = menu_view(m);
    if (m->done || !v)
        return;
    int x = static_cast<int>(a), y = static_cast<int>(b);
    if (id == KX_KEY_ESCAPE)
        close_with(m, 0);
    else if (id == v->ids[KX_ID_LDOWN] || id == v->ids[KX_ID_RDOWN] ||
             id == v->ids[KX_ID_LDOUBLE] || id == v->ids[KX_ID_RDOUBLE])
        m->pressed = true;
    else if (id == v->ids[KX_ID_LUP] || id == v->ids[KX_ID_RUP])
        release(m, x, y);
    else if (id == v->ids[KX_ID_MOTION])
        motion(m, x, y);
    else if (id == m->win->ids[0])
        close_with(m, 0);  // the host closed the menu window
}

void run(Menu *m)
{
    kxtarget_save();
    bool wasmodal = kxapp_modal();
    kxapp_setmodal(true);
    m->win = std::make_unique<kxWindow>();
    kxwindow_init(m->win.get());
    kxwindow_create(m->win.get(), ",x=%d,y=%d,xs=%d,ys=%d,nosysmenu,nosizemenu,popup,modal", m->x,
                    m->y, m->xs, m->ys);
    kxView *v = menu_view(m);
    if (v) {
        kxwindow_set_hook(m->win.get(), menu_event, m);
        kxview_handler(v, KX_REQ_GRAB, -1, 0, 0, 0, 0, 0, 0, 0);
        draw(m);
        while (!m->done && kxapp_running())
            if (!kxhost_dispatch())
                kxsys_idle();
        kxview_handler(v, KX_REQ_UNGRAB, 0, 0, 0, 0, 0, 0, 0, 0);
    }
    if (!m->done)
        m->result = 0;
    kxwindow_free(m->win.get());
    m->win.reset();
    kxapp_setmodal(wasmodal);
    kxtarget_restore();
}

int vpopup(kxhandler owner, void *ownerobj, char *text, int textsize, int x, int y, bool xyfromattr,
           const char *fmt, va_list ap)
{
    if (text && textsize > 0)
        text[0] = '\0';
    auto m = std::make_unique<Menu>();
    m->owner = owner;
    m->ownerobj = ownerobj;
    char buf[KX_CFG_TEXT];
    kxcfgstr_vattr(buf, sizeof buf, fmt ? fmt : "", ap);
    alignas(char *) unsigned char block[KX_CFG_SPLIT_BLOCK];
    char **tok = kxcfgstr_split(buf, block, sizeof block);
    if (!tok) {
        std::printf("kxmenu_popup: attribute string too long\n");
        return 0;
    }
    m->font = kxgui_defaultfont();
    kxcfgstr_font(tok, 0, &m->font);
    if (xyfromattr) {
        bool gx = read_int(key_value(tok, "x="), &x), gy = read_int(key_value(tok, "y="), &y);
        if (!gx || !gy)
            x = y = -1;
    }
    read_entries(m.get(), tok);
    layout(m.get());
    if (x == -1 || y == -1) {
        x = kxview_press_screen_x() - m->xs / 2;
        y = kxview_press_screen_y();
    }
    m->x = std::max(x, 0);
    m->y = std::max(y, 0);
    run(m.get());
    if (m->result > 0 && m->result <= m->count && text && textsize > 0)
        std::snprintf(text, static_cast<std::size_t>(textsize), "%s",
                      m->entries[m->result - 1].text);
    return m->result;
}

// The window's menu bar asks its own handler about titles under the pointer.
int window_popup(kxWindow *owner, int x, int y, const char *attr, char *entry, int entrysize)
{
    return kxmenu_popup_for(kxwindow_handler, owner, entry, entrysize, x, y, "%s", attr);
}

} // namespace

int kxmenu_popup(const char *fmt, ...)
{
    va_list ap;
    va_start(ap, fmt);
    int r = vpopup(nullptr, nullptr, nullptr, 0, -1, -1, true, fmt, ap);
    va_end(ap);
    return r;
}

int kxmenu_popup_for(kxhandler owner, void *ownerobj, char *text, int textsize, int x, int y,
                     const char *fmt, ...)
{
    va_list ap;
    va_start(ap, fmt);
    int r = vpopup(owner, ownerobj, text, textsize, x, y, false, fmt, ap);
    va_end(ap);
    return r;
}

void kxmenu_install() { kxwindow_setmenupopup(window_popup); }
