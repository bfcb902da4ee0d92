#include "core/window.h"

#include <cctype>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "base/cfgtext.h"
#include "core/app.h"
#include "core/cfgkeys.h"
#include "core/cfgstr.h"
#include "core/event.h"
#include "core/target.h"
#include "graphics/colours.h"
#include "graphics/draw.h"
#include "graphics/text.h"

namespace {

bool left_held = false;
kxmenupopupfn menu_popup = nullptr;

void copy_text(char *dst, std::size_t cap, const char *src)
{
    std::snprintf(dst, cap, "%s", src ? src : "");
}

// Window keys are compared without regard to case: the key part of every
// item after the title is lowered (values keep their case).
void lower_keys(char **tok)
{
    for (int i = 1; tok[i]; i++)
        for (char *p = tok[i]; *p && *p != '='; p++)
            *p = static_cast<char>(std::tolower(static_cast<unsigned char>(*p)));
}

int bars_height(const kxWindow *w) { return w->menuh + w->toolh + w->statush; }

int bar_height(int given, const char *metric)
{
    if (given == KX_CFG_STANDARD_BAR)
        return guimetrics(metric);
    return given > 0 ? given : 0;
}

kxView &current_view(kxWindow *w) { return w->views[w->current]; }

// A bar view (tool bar or menu line) across the client width.
void create_bar(kxWindow *w, kxView *v, int y, int height, int xs)
{
    const int grey = kxgui_color(KX_GUI_GREY);
    kxview_create(v,
                  "server,x=0,y=%d,xs=%d,ys=%d,bgcolor=%06x,nofocus,no vertical scrollbar,"
                  "no horizontal scrollbar,resize",
                  y, xs, height, grey);
}

// The two lines along the bottom of a bar: its second-last and last rows.
void draw_bar_lines(kxView *v, int second_last, int last)
{
    kxpxmap *p = v->content;
    if (!p)
        return;
    kxgraphic_line(p, 0, p->height - 2, p->width - 1, p->height - 2, kxgui_color(second_last));
    kxgraphic_line(p, 0, p->height - 1, p->width - 1, p->height - 1, kxgui_color(last));
}

void draw_toolbar_lines(kxView *v) { draw_bar_lines(v, KX_GUI_BLACK, KX_GUI_DARK); }
void draw_menuline_lines(kxView *v) { draw_bar_lines(v, KX_GUI_DARK, KX_GUI_LIGHT); }

void show_status(kxWindow *w)
{
    if (!w->statush)
        return;
    kxstatusbar_draw(&w->status);
    kxwindow_blit(w, 0, w->status.top, w->clientxs, w->statush);
}

void resize(kxWindow *w, int width, int height)
{
    int ch = height - bars_height(w);
    if (width <= 0 || height <= 0 || (width == w->contentxs && ch == w->contentys))
        return;
    w->contentxs = width;
    w->contentys = ch;
    w->clientxs = width;
    kxview_handler(&current_view(w), KX_EV_RESIZE, width, ch, 0, 0, 0, 0, 0, 0);
    if (w->statush) {
        kxstatusbar_move(&w->status, height - w->statush);
        kxstatusbar_draw(&w->status);
    }
    if (w->toolh) {
        kxview_handler(&w->toolbar, KX_EV_RESIZE, width, w->toolh, 0, 0, 0, 0, 0, 0);
        draw_toolbar_lines(&w->toolbar);
        kxview_refresh(&w->toolbar);
    }
    if (w->menuh) {
        kxview_handler(&w->menuline, KX_EV_RESIZE, width, w->menuh, 0, 0, 0, 0, 0, 0);
        draw_menuline_lines(&w->menuline);
        kxview_refresh(&w->menuline);
    }
    kxwindow_blit(w, 0, 0, 0, 0);
    kxwindow_emit(w, w->resize_id, width, ch);
}

void show(kxWindow *w)
{
    kxview_refresh(&current_view(w));
    if (w->toolh)
        kxview_refresh(&w->toolbar);
    if (w->menuh)
        kxview_refresh(&w->menuline);
    if (w->statush)
        kxstatusbar_draw(&w->status);
    kxwindow_blit(w, 0, 0, 0, 0);
}

// A point (relative to the open popup) on another title of the menu bar.
kxarg menu_hit(kxWindow *w, int x, int y)
{
    int px = w->popx + x - kxplatwin_screen_x(&w->plat);
    int py = w->popy + y - kxplatwin_screen_y(&w->plat);
    for (int i = 0; i < w->menucount; i++) {
        if (i == w->openmenu)
            continue;
        const kxgeometry &g = w->menus[i].button.geom;
        if (px >= g.x && px < g.x + g.xs && py >= g.y && py < g.y + g.ys) {
            w->switchto = i;
            w->switchmenu = true;
            return 0;
        }
    }
    return 1;
}

int menu_index_of(const kxWindow *w, int code)
{
    for (int i = 0; i < w->menucount; i++)
        if (w->menus[i].button.created && code == w->menus[i].button.ids[KX_ID_MAIN])
            return i;
    return -1;
}

kxarg pass_on(kxWindow *w, int code, kxarg a0, kxarg a1, kxarg a2, kxarg a3, kxarg a4, kxarg a5,
              kxarg a6, kxarg a7)
{
    if (w->toolh)
        kxview_handler(&w->toolbar, code, a0, a1, a2, a3, a4, a5, a6, a7);
    if (w->menuh)
        kxview_handler(&w->menuline, code, a0, a1, a2, a3, a4, a5, a6, a7);
    return kxview_handler(&current_view(w), code, a0, a1, a2, a3, a4, a5, a6, a7);
}

kxarg handle(kxWindow *w, int code, kxarg a0, kxarg a1, kxarg a2, kxarg a3, kxarg a4, kxarg a5,
             kxarg a6, kxarg a7)
{
    switch (code) {
    case KX_EV_CLOSE: {
        bool destroy = w->destroy, quit = w->quit;
        kxwindow_emit(w, 0);
        if (destroy)
            kxwindow_close(w);
        if (quit)
            kxapp_quit();
        return 0;
    }
    case KX_EV_RESIZE: resize(w, static_cast<int>(a0), static_cast<int>(a1)); return 0;
    case KX_EV_MENU_HIT: return menu_hit(w, static_cast<int>(a0), static_cast<int>(a1));
    case KX_EV_MINIMIZED: kxwindow_emit(w, w->minimize_id); return 0;
    case KX_EV_TRAY: kxplatwin_tray_restore(&w->plat); return 0;
    case KX_REQ_REGISTER:
    case KX_REQ_UNREGISTER: return 0;
    case KX_REQ_GET_SCREEN_X: return kxplatwin_screen_x(&w->plat);
    case KX_REQ_GET_SCREEN_Y: return kxplatwin_screen_y(&w->plat);
    case KX_REQ_UPDATE:
        kxwindow_blit(w, static_cast<int>(a0), static_cast<int>(a1), static_cast<int>(a2),
                      static_cast<int>(a3));
        return 0;
    case KX_REQ_SHOW: show(w); return 0;
    case KX_REQ_FOCUS: return 1;
    case KX_REQ_POPUP_CLOSED: return 0;
    case KX_REQ_GRAB: kxplatwin_grab(&w->plat); return 0;
    case KX_REQ_UNGRAB: kxplatwin_ungrab(&w->plat); return 0;
    case KX_REQ_GET_VIEW: return kxptr(&current_view(w));
    case KX_REQ_WANTS_FIT: return 0;
    case KX_REQ_FIT: w->fitted = 1; return 0;
    default: break;
    }
    int menu = code >= KX_FIRST_EVENT_ID ? menu_index_of(w, code) : -1;
    if (menu >= 0) {
        kxwindow_open_menu(w, menu);
        return 0;
    }
    return pass_on(w, code, a0, a1, a2, a3, a4, a5, a6, a7);
}

// The menu-title buttons report to their window instead of the queue.
void menu_title_hook(void *obj, int id, kxarg, kxarg, kxarg)
{
    kxwindow_handler(obj, id, 0, 0, 0, 0, 0, 0, 0, 0);
}

// What the attribute string says about a window besides its geometry.
struct WindowKeys {
    kxwindowattr wa;
    bool xgiven = false;
    int pxs = 0, pys = 0;  // content size, 0 = the client size
    int screenxs = 0, screenys = 0;
};

// Stage 1: the title, the geometry against the screen and the window's own
// keys, which are consumed; the rest stays in t for the content view.
WindowKeys read_keys(kxWindow *w, kxcfgstr_tokens *t, const char *fmt, va_list ap)
{
    kxcfgstr_vattr(t->text, sizeof t->text, fmt, ap);
    t->tok = kxcfgstr_split(t->text, t->block, sizeof t->block);
    static char *no_tokens[] = {nullptr};
    if (!t->tok)
        t->tok = no_tokens;
    copy_text(w->title, sizeof w->title, t->tok[0] ? t->tok[0] : "");
    if (t->tok[0])
        lower_keys(t->tok);

    WindowKeys k;
    k.screenxs = kxsys_metric("screenxs");
    k.screenys = kxsys_metric("screenys");
    kxcfgstr_resetgeometry(&w->geom, k.screenxs, k.screenys);
    k.xgiven = t->tok[0] && kxcfgstr_geometry(t->tok, 1, &w->geom);
    kxbarsattr ba;
    int bg = w->bgcolor;
    if (t->tok[0]) {
        kxcfgstr_contentsize(t->tok, 1, &k.pxs, &k.pys);
        kxcfgstr_window(t->tok, 1, t->text, &k.wa);
        kxcfgstr_bars(t->tok, 1, &ba);
        kxcfgstr_bgcolor(t->tok, 1, &bg);
        // Consumed here, read from the whole text by kxcfgstr_window.
        for (int i = 1; t->tok[i]; i++)
            if (std::strncmp(t->tok[i], "maxxs=", 6) == 0 ||
                std::strncmp(t->tok[i], "maxys=", 6) == 0 || std::strcmp(t->tok[i], "ownpxmap") == 0)
                t->tok[i][0] = 0;
    }
    w->bgcolor = bg;
    w->menuh = bar_height(ba.menu, "menuheight");
    w->toolh = bar_height(ba.toolbar, "toolbarheight");
    w->statush = bar_height(ba.statusbar, "statusbarheight");
    w->maxxs = k.wa.maxxs;
    w->maxys = k.wa.maxys;
    w->quit = k.wa.quitonclose;
    w->destroy = k.wa.destroyonclose;
    return k;
}

// Stage 2: the client size and the host position (x = -1 for the work
// area's top-left): full screen, maximized, then the size limits.
void place(kxWindow *w, const WindowKeys &k, int *x, int *y)
{
    kxcfgstr_resolve(&w->geom);
    kxgeometry &g = w->geom;
    if (g.xs <= 0)
        g.xs = 100;
    if (g.ys <= 0)
        g.ys = 100;
    *x = g.x;
    *y = g.y;
    if (k.wa.fullscreen) {
        *x = *y = 0;
        g.xs = k.screenxs;
        g.ys = k.screenys;
    } else if (k.wa.maximized) {
        g.xs = kxsys_metric("maxwindowxs");
        g.ys = kxsys_metric("maxwindowys") - bars_height(w);
    }
    if (w->maxxs > 0 && g.xs > w->maxxs)
        g.xs = w->maxxs;
    if (w->maxys > 0 && g.ys > w->maxys)
        g.ys = w->maxys;
    if (!k.wa.fullscreen && (!k.xgiven || k.wa.maximized))
        *x = -1;
}

// Stage 3: the host window, counted as open and entered as output target
// (with the broadcast mark, so the first wait shows it).
void open_host_window(kxWindow *w, const kxwindowattr &wa, int x, int y)
{
    const kxgeometry &g = w->geom;
    kxwinstyle style;
    style.sysmenu = wa.sysmenu;
    style.maximizebox = wa.sysmenu && wa.resize;
    style.fullscreen = wa.fullscreen;
    style.modal = wa.modal;
    style.noresize = !wa.resize;
    style.popup = wa.popup;
    const int clientys = g.ys + bars_height(w);
    if (wa.resize) {
        style.minwidth = g.minxs;
        style.minheight = g.minys > 0 ? g.minys + bars_height(w) : 0;
    }
    if (!kxplatwin_create(&w->plat, kxwindow_handler, w, x, y, g.xs, clientys, w->title, style))
        std::printf("kxwindow_create: no host window for \"%s\"\n", w->title);
    w->clientxs = g.xs;
    w->contentxs = g.xs;
    w->contentys = g.ys;

    kxapp_window_opened();
    w->created = 1;
    kxtarget_register(&w->plat.pixmap, kxwindow_handler, w, w->bgcolor, true);
}

// Stage 4: tool bar and menu line, each drawn; the window is the output
// target again after each.
void open_bar(kxWindow *w, kxView *v, int y, int height, void (*draw_lines)(kxView *))
{
    create_bar(w, v, y, height, w->geom.xs);
    draw_lines(v);
    kxview_refresh(v);
    kxtarget_register(&w->plat.pixmap, kxwindow_handler, w, w->bgcolor, true);
}

void open_bars(kxWindow *w)
{
    if (w->toolh)
        open_bar(w, &w->toolbar, w->menuh, w->toolh, draw_toolbar_lines);
    if (w->menuh)
        open_bar(w, &w->menuline, 0, w->menuh, draw_menuline_lines);
}

// Stage 5: content view 0 from the keys the window left, made the output
// and drawing target.  Without bars or "ownpxmap" and with the client's
// size it draws straight into the window pixmap.
void open_content(kxWindow *w, kxcfgstr_tokens *t, const WindowKeys &k)
{
    const kxgeometry &g = w->geom;
    const int pxs = k.pxs > 0 ? k.pxs : g.xs;
    const int pys = k.pys > 0 ? k.pys : g.ys;
    kxView &v = w->views[0];
    w->current = 0;
    kxview_init(&v);
    v.shared = !k.wa.ownpxmap && pxs == g.xs && pys == g.ys && bars_height(w) == 0;
    char rest[KX_CFG_TEXT];
    if (t->tok[0])
        kxcfgstr_rest(t->tok, 1, rest, sizeof rest);
    else
        rest[0] = 0;
    kxview_create(&v, "server,x=0,y=%d,xs=%d,ys=%d,pxs=%d,pys=%d,bgcolor=%06x%s",
                  w->toolh + w->menuh, g.xs, g.ys, pxs, pys, w->bgcolor & 0xFFFFFF, rest);
    kxtarget_register(v.content, kxview_handler, &v, v.bgcolor, false);
    kxdraw_settarget(kxview_handler, &v);
}

// Stage 6: the status strip.
void open_status(kxWindow *w)
{
    if (!w->statush)
        return;
    kxstatusbar_create(&w->status, &w->plat.pixmap, "*", w->plat.pixmap.height - w->statush,
                       w->statush, kxgui_color(KX_GUI_GREY), w->font, kxgui_color(KX_GUI_TEXT));
    kxstatusbar_draw(&w->status);
}

// Stage 7: the content view's mouse ids become the window's, so that the
// application sees the view's mouse events under the window's ids.
void take_mouse_ids(kxWindow *w)
{
    const kxView &v = w->views[0];
    static constexpr int mouse_ids[] = {KX_ID_LDOWN,  KX_ID_LUP,     KX_ID_MDOWN,
                                        KX_ID_MUP,    KX_ID_RDOWN,   KX_ID_RUP,
                                        KX_ID_LDOUBLE, KX_ID_RDOUBLE, KX_ID_MOTION,
                                        KX_ID_WHEEL_UP, KX_ID_WHEEL_DOWN};
    for (int k : mouse_ids)
        w->ids[k] = v.ids[k];
}

} // namespace

bool kxwindow_leftheld() { return left_held; }
void kxwindow_setmenupopup(kxmenupopupfn fn) { menu_popup = fn; }

void kxwindow_init(kxWindow *w)
{
    kxwidget_init(w);
    w->plat = kxllgui_window{};
    kxpxmap_init(&w->plat.pixmap);
    for (kxView &v : w->views)
        kxview_init(&v);
    w->current = 0;
    kxview_init(&w->toolbar);
    kxview_init(&w->menuline);
    w->status = kxStatusBar{};
    for (kxMenuTitle &m : w->menus) {
        m.button.destroy();
        m.title[0] = m.entries[0] = 0;
        m.x = 0;
    }
    w->menucount = 0;
    w->openmenu = -1;
    w->chosen = 0;
    w->menu_id = kxid_new();
    w->menufont = kxgui_defaultfont();
    w->popx = w->popy = 0;
    w->lasttitle[0] = w->lastentry[0] = 0;
    w->switchmenu = false;
    w->switchto = -1;
    w->menuh = w->toolh = w->statush = 0;
    w->maxxs = w->maxys = 0;
    w->contentxs = w->contentys = w->clientxs = 0;
    w->bgcolor = kxgui_color(KX_GUI_GREY);
    w->quit = 1;
    w->destroy = 1;
    w->fitted = 0;
    w->minimize_id = kxid_new();
    w->resize_id = kxid_new();
    w->title[0] = 0;
}

void kxwindow_create(kxWindow *w, const char *fmt, ...)
{
    if (w->created)
        kxwindow_close(w);
    kxcfgstr_tokens t;
    va_list ap;
    va_start(ap, fmt);
    WindowKeys k = read_keys(w, &t, fmt, ap);
    va_end(ap);
    int x = 0, y = 0;
    place(w, k, &x, &y);
    open_host_window(w, k.wa, x, y);
    open_bars(w);
    open_content(w, &t, k);
    open_status(w);
    take_mouse_ids(w);
}

void kxwindow_close(kxWindow *w)
{
    if (!w->created)
        return;
    for (kxMenuTitle &m : w->menus)
        if (m.button.created)
            kxsend(kxButton::handler, &m.button, KX_EV_CLOSE);
    for (kxView &v : w->views)
        kxview_destroy(&v);
    kxview_destroy(&w->toolbar);
    kxview_destroy(&w->menuline);
    kxplatwin_destroy(&w->plat);
    kxtarget_unregister(w);
    kxwindow_init(w);
    kxapp_window_closed();
}

void kxwindow_free(kxWindow *w)
{
    kxwindow_close(w);
    kxpxmap_free(&w->plat.pixmap);
}

void kxwindow_emit(kxWindow *w, int id, kxarg a, kxarg b, kxarg c) { kxwidget_emit(w, id, a, b, c); }

void kxwindow_set_hook(kxWindow *w, kxhook hook, void *hookobj)
{
    w->hook = hook;
    w->hook_obj = hookobj;
    current_view(w).hook = hook;
    current_view(w).hook_obj = hookobj;
}

void kxwindow_settitle(kxWindow *w, const char *title)
{
    copy_text(w->title, sizeof w->title, title ? title : "");
    kxplatwin_settitle(&w->plat, w->title);
}

void kxwindow_blit(kxWindow *w, int x, int y, int xs, int ys)
{
    if (!w->created || !kxapp_started())
        return;
    kxplatwin_blit(&w->plat, x, y, xs, ys, x, y, false);
}

kxarg kxwindow_handler(void *obj, int code, kxarg a0, kxarg a1, kxarg a2, kxarg a3, kxarg a4,
                       kxarg a5, kxarg a6, kxarg a7)
{
    auto *w = static_cast<kxWindow *>(obj);
    if (!w)
        return 0;
    // A key press the focused widget took as a command of its own (Return
    // on a button, a choice in an open list) is no key of the window's: the
    // application then does not see it, so that Return on "Abbrechen" does
    // not also act as a dialog's OK.
    if (code == KX_EV_KEYDOWN) {
        kxarg taken = handle(w, code, a0, a1, a2, a3, a4, a5, a6, a7);
        if (!taken)
            kxwindow_emit(w, static_cast<int>(a0), KX_EV_KEYDOWN, a0);
        return taken;
    }
    if (code == KX_EV_KEYUP)
        kxwindow_emit(w, static_cast<int>(a0) + KX_KEYUP_BIT, KX_EV_KEYUP, a0);
    else if (code == KX_EV_LDOWN)
        left_held = true;
    else if (code == KX_EV_LUP)
        left_held = false;
    // A switch to a neighbouring menu (KX_EV_MENU_HIT) only happens while a
    // menu is open; kxwindow_open_menu carries it out once the popup closed.
    return handle(w, code, a0, a1, a2, a3, a4, a5, a6, a7);
}

void kxwindow_open_menu(kxWindow *w, int index)
{
    // Moving onto another title closes the popup and opens that title's
    // menu: a loop, so that going back and forth does not nest popups.
    while (index >= 0 && index < w->menucount && w->created) {
        kxMenuTitle &m = w->menus[index];
        w->openmenu = index;
        w->switchmenu = false;
        w->popx = kxplatwin_screen_x(&w->plat) + m.x;
        w->popy = kxplatwin_screen_y(&w->plat) + w->menuh - 2;
        w->chosen = 0;
        char attr[KX_MENU_ENTRIES + 32];
        std::snprintf(attr, sizeof attr, "entries=%s,fontid=%d", m.entries, w->menufont);
        char entry[KX_MENU_ENTRIES] = {};
        if (menu_popup)
            w->chosen = menu_popup(w, w->popx, w->popy, attr, entry, sizeof entry);
        if (w->chosen > 0) {
            copy_text(w->lasttitle, sizeof w->lasttitle, m.title);
            copy_text(w->lastentry, sizeof w->lastentry, entry);
            kxwindow_emit(w, w->menu_id);
        }
        w->openmenu = -1;
        if (m.button.created)
            m.button.set_pressed(false);
        if (!w->switchmenu || w->chosen > 0)
            break;
        w->switchmenu = false;
        while (kxhost_dispatch()) {
        }
        index = w->switchto;
        if (index >= 0 && index < w->menucount && w->created)
            w->menus[index].button.set_pressed(true);
    }
    w->switchmenu = false;
}

bool kxwindow_addmenu(kxWindow *w, const char *title, const char *entries)
{
    if (!w->created || !w->menuh || w->menucount >= KX_MAX_MENUS)
        return false;
    kxMenuTitle &m = w->menus[w->menucount];
    copy_text(m.title, sizeof m.title, title);
    copy_text(m.entries, sizeof m.entries, entries);
    int x = 2;
    for (int i = 0; i < w->menucount; i++)
        x = w->menus[i].x + w->menus[i].button.geom.xs;
    m.x = x;
    // The title button lives in the menu line; the content view stays the
    // place where new widgets go.
    kxtarget_save();
    kxtarget_register(w->menuline.content, kxview_handler, &w->menuline, w->menuline.bgcolor,
                      false);
    int xs = kxtext_width(w->menufont, m.title) + 16;
    m.button.create("%s,x=%d,y=1,xs=%d,ys=%d,flat,fontid=%d,nofocus", m.title, x, xs,
                    w->menuh - 3, w->menufont);
    m.button.hook = menu_title_hook;
    m.button.hook_obj = w;
    kxtarget_unregister(&w->menuline);
    kxtarget_restore();
    w->menucount++;
    kxview_refresh(&w->menuline);
    return true;
}

void kxwindow_statusfields(kxWindow *w, const char *widths)
{
    if (!w->statush)
        return;
    kxstatusbar_create(&w->status, &w->plat.pixmap, widths, w->status.top, w->statush,
                       w->status.bgcolor, w->status.font, w->status.textcolor);
    show_status(w);
}

void kxwindow_statustext(kxWindow *w, int field, const char *text)
{
    if (w->statush && kxstatusbar_settext(&w->status, field, text))
        show_status(w);
}

void kxwindow_statusprogress(kxWindow *w, int field, int percent)
{
    if (w->statush && kxstatusbar_setprogress(&w->status, field, percent))
        show_status(w);
}
