#include "core/view.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <vector>

#include "core/cfgkeys.h"
#include "core/cfgstr.h"
#include "core/event.h"
#include "core/target.h"
#include "graphics/colours.h"
#include "graphics/draw.h"
#include "platform/platform.h"

namespace {

int press_screen_x = 0, press_screen_y = 0;

bool palette_format(int format)
{
    return format == KX_PXFMT_PALETTE8 || format == KX_PXFMT_PALETTE16;
}

// The value a colour is stored as in the content pixmap.
int stored_colour(const kxView *v, int colour)
{
    if (!palette_format(v->content ? v->content->format : 0))
        return colour;
    int i = kxpxmap_findcolor(v->content, colour);
    return i < 0 ? 0 : i;
}

// A view that shares its parent's pixmap clears only its own rectangle there;
// a host-drawn one leaves it alone.
void clear_content(kxView *v)
{
    if (!v->content || v->content->format == KX_PXFMT_SCREEN || v->hostdrawn)
        return;
    const kxgeometry &g = v->geom;
    if (v->shared)
        kxpxmap_fillrect(v->content, g.x, g.y, g.xs, g.ys, stored_colour(v, v->bgcolor));
    else
        kxpxmap_clear(v->content, stored_colour(v, v->bgcolor));
}

// Copies a rectangle of the content into the parent pixmap, pixel for pixel.
void copy_out(kxView *v, int dx, int dy, int sx, int sy, int w, int h)
{
    if (v->shared || !v->parent_pixmap || !v->content)
        return;
    if (!kxpxmap_copyrect(v->parent_pixmap, v->content, dx, dy, sx, sy, w, h))
        kxpxmap_merge4(v->parent_pixmap, v->content, dx, dy, sx, sy, w, h, 0);
}

int percent_of(int pos, int range) { return range > 0 ? (pos * 100 + 100) / range : 0; }

void set_bar_positions(kxView *v)
{
    if (v->vbar)
        v->bars.set_vpos(percent_of(v->sy, v->pys - v->geom.ys));
    if (v->hbar)
        v->bars.set_hpos(percent_of(v->sx, v->pxs - v->geom.xs));
}

int clamp(int value, int lo, int hi) { return value < lo ? lo : value > hi ? hi : value; }

void clamp_scroll(kxView *v)
{
    v->sx = clamp(v->sx, 0, v->pxs > v->geom.xs ? v->pxs - v->geom.xs : 0);
    v->sy = clamp(v->sy, 0, v->pys > v->geom.ys ? v->pys - v->geom.ys : 0);
}

void bar_notice(void *owner, int code, int value)
{
    kxsend(kxview_handler, owner, code, value);
}

// Centring offsets and the scroll bars for the current sizes.
void layout(kxView *v)
{
    const kxgeometry &g = v->geom;
    v->ox = g.xs > v->pxs ? (g.xs - v->pxs) / 2 : 0;
    v->oy = g.ys > v->pys ? (g.ys - v->pys) / 2 : 0;
    v->bars.remove();
    v->vbar = v->hbar = false;
    if (!v->shared) {
        bool need_v = v->pys > g.ys + KX_VIEW_BAR_SLACK;
        bool need_h = v->pxs > g.xs + KX_VIEW_BAR_SLACK;
        if (need_h && !need_v)
            need_v = v->pys > g.ys - v->hthick + KX_VIEW_BAR_SLACK;
        if (need_v && !need_h)
            need_h = v->pxs > g.xs - v->vthick + KX_VIEW_BAR_SLACK;
        v->vbar = need_v && v->allow_vbar;
        v->hbar = need_h && v->allow_hbar;
    }
    if (v->vbar || v->hbar) {
        v->bars.create(bar_notice, v, v->parent_handler, v->parent, v->parent_pixmap, g.x, g.y,
                       g.xs, g.ys, v->vbar, v->hbar, 0);
        if (v->vbar) {
            v->bars.set_vsize(g.ys * 100 / v->pys);
            v->bars.set_vpos(0);
            v->sy = 0;
        }
        if (v->hbar) {
            v->bars.set_hsize(g.xs * 100 / v->pxs);
            v->bars.set_hpos(0);
            v->sx = 0;
        }
    }
    clamp_scroll(v);
    if (v->vbar) {
        kxwidget_request(v, KX_REQ_SET_SCROLLS, v->index, 1);
        v->told_scrolls = true;
    } else if (v->told_scrolls) {
        kxwidget_request(v, KX_REQ_SET_SCROLLS, v->index, 0);
        v->told_scrolls = false;
    }
}

void update_rect(kxView *v, int x, int y, int w, int h)
{
    const kxgeometry &g = v->geom;
    long long px = static_cast<long long>(x) + g.x + v->ox - v->sx;
    long long py = static_cast<long long>(y) + g.y + v->oy - v->sy;
    long long x0 = px > g.x ? px : g.x, y0 = py > g.y ? py : g.y;
    long long x1 = px + w < g.x + g.xs ? px + w : g.x + g.xs;
    long long y1 = py + h < g.y + g.ys ? py + h : g.y + g.ys;
    if (x1 <= x0 || y1 <= y0)
        return;
    int cx = static_cast<int>(x0 - g.x - v->ox + v->sx);
    int cy = static_cast<int>(y0 - g.y - v->oy + v->sy);
    copy_out(v, static_cast<int>(x0), static_cast<int>(y0), cx, cy, static_cast<int>(x1 - x0),
             static_cast<int>(y1 - y0));
    if (v->bars.created)
        v->bars.draw();
    kxwidget_request(v, KX_REQ_UPDATE, x0, y0, x1 - x0, y1 - y0);
    kxrefresh_cancel(v);
}

void make_visible(kxView *v, int index)
{
    if (!kxapp_started() || kxbuild_active())
        return;
    if (index < 0 || index >= static_cast<int>(v->c.entries.size()) || !v->c.entries[index].used)
        return;
    const kxentry &e = v->c.entries[index];
    const kxgeometry &g = v->geom;
    int sx = v->sx, sy = v->sy;
    int halfx = g.xs / 2 > 0 ? g.xs / 2 : 1, halfy = g.ys / 2 > 0 ? g.ys / 2 : 1;
    // Bounded by the content size, so a far entry cannot loop for long.
    while (e.x > sx + g.xs && sx < v->pxs)
        sx += halfx;
    while (e.y > sy + g.ys && sy < v->pys)
        sy += halfy;
    while (e.x < sx && sx > 0)
        sx -= halfx;
    while (e.y < sy && sy > 0)
        sy -= halfy;
    int oldx = v->sx, oldy = v->sy;
    v->sx = sx, v->sy = sy;
    clamp_scroll(v);
    if (v->sx == oldx && v->sy == oldy)
        return;
    if (v->bars.created) {
        if (v->vbar)
            v->bars.set_vpos(percent_of(v->sy, v->pys - g.ys));
        if (v->hbar)
            v->bars.set_hpos(percent_of(v->sx, v->pxs - g.xs));
    }
    kxview_refresh(v);
}

void repaint_entries(kxView *v)
{
    for (std::size_t i = 0; i < v->c.entries.size(); i++)
        kxcontainer_send(&v->c, static_cast<int>(i), KX_EV_REPAINT);
}

// A view that draws in its parent's pixmap: what lies beyond its old size
// there is new and gets the background.
void clear_grown(kxView *v, int oldxs, int oldys)
{
    if (!v->shared || !v->content || v->content->format == KX_PXFMT_SCREEN || v->hostdrawn)
        return;
    const kxgeometry &g = v->geom;
    const int bg = stored_colour(v, v->bgcolor);
    if (g.xs > oldxs)
        kxpxmap_fillrect(v->content, g.x + oldxs, g.y, g.xs - oldxs, g.ys, bg);
    if (g.ys > oldys)
        kxpxmap_fillrect(v->content, g.x, g.y + oldys, std::min(oldxs, g.xs), g.ys - oldys, bg);
}

// Where each child is: its own geometry, which every widget record begins
// with (the container's entry may lag behind until the child moves).
std::vector<kxgeometry> child_places(const kxView *v)
{
    std::vector<kxgeometry> places(v->c.entries.size());
    for (std::size_t i = 0; i < places.size(); i++)
        if (v->c.entries[i].used && v->c.entries[i].widget)
            places[i] = static_cast<const kxwidget *>(v->c.entries[i].widget)->geom;
    return places;
}

// Children placed in percent of the view move with it and would leave
// their old picture behind: it gets the background (with the two pixels a
// frame takes around a child), and every child draws itself again (each
// one draws on a resize, not every one on a repaint).
void erase_moved(kxView *v, const std::vector<kxgeometry> &before)
{
    if (!v->content || v->content->format == KX_PXFMT_SCREEN || v->hostdrawn)
        return;
    const std::vector<kxgeometry> after = child_places(v);
    const int bg = stored_colour(v, v->bgcolor);
    bool moved = false;
    for (std::size_t i = 0; i < before.size() && i < after.size(); i++) {
        const kxgeometry &was = before[i], &now = after[i];
        if (was.x == now.x && was.y == now.y && was.xs == now.xs && was.ys == now.ys)
            continue;
        kxpxmap_fillrect(v->content, was.x - 2, was.y - 2, was.xs + 4, was.ys + 4, bg);
        moved = true;
    }
    if (moved)
        for (std::size_t i = 0; i < v->c.entries.size(); i++)
            kxcontainer_send(&v->c, static_cast<int>(i), KX_EV_RESIZE, v->geom.xs, v->geom.ys);
}

// The content keeps what was drawn into it: the markup's text and lines are
// not redrawn by anyone.  A view drawing in its parent's pixmap has content
// of its own size, which grows and shrinks with it.
void resize(kxView *v, int w, int h)
{
    if (w <= 0 || h <= 0)
        return;
    kxgeometry &g = v->geom;
    if (w == g.xs && h == g.ys) {
        repaint_entries(v);
        kxview_refresh(v);
        return;
    }
    const int oldxs = g.xs, oldys = g.ys;
    g.xs = w, g.ys = h;
    if (v->shared)
        v->pxs = w, v->pys = h;
    kxwidget_request(v, KX_REQ_MOVE, v->index, g.x, g.y, g.xs, g.ys);
    layout(v);
    clear_grown(v, oldxs, oldys);
    const std::vector<kxgeometry> before = child_places(v);
    for (std::size_t i = 0; i < v->c.entries.size(); i++)
        kxcontainer_send(&v->c, static_cast<int>(i), KX_EV_RESIZE, g.xs, g.ys);
    erase_moved(v, before);
    kxview_refresh(v);
}

// Per-kind id of a mouse event, or -1.
int mouse_id(int code)
{
    switch (code) {
    case KX_EV_LDOWN: return KX_ID_LDOWN;
    case KX_EV_LUP: return KX_ID_LUP;
    case KX_EV_MDOWN: return KX_ID_MDOWN;
    case KX_EV_MUP: return KX_ID_MUP;
    case KX_EV_RDOWN: return KX_ID_RDOWN;
    case KX_EV_RUP: return KX_ID_RUP;
    case KX_EV_LDOUBLE: return KX_ID_LDOUBLE;
    case KX_EV_RDOUBLE: return KX_ID_RDOUBLE;
    case KX_EV_MOTION: return KX_ID_MOTION;
    case KX_EV_WHEEL_UP: return KX_ID_WHEEL_UP;
    case KX_EV_WHEEL_DOWN: return KX_ID_WHEEL_DOWN;
    default: return -1;
    }
}

void emit_mouse(kxView *v, int code, int x, int y)
{
    int k = mouse_id(code);
    if (k >= 0)
        kxwidget_emit(v, v->ids[k], x, y);
}

void mouse_button(kxView *v, int code, int x, int y)
{
    if (!v->enabled)
        return;
    const kxgeometry &g = v->geom;
    int cx = x + v->sx - g.x - v->ox, cy = y + v->sy - g.y - v->oy;
    if ((code == KX_EV_LDOWN || code == KX_EV_LDOUBLE) && !v->focused)
        kxwidget_request(v, KX_REQ_FOCUS, v->index);
    press_screen_x = static_cast<int>(kxwidget_request(v, KX_REQ_GET_SCREEN_X)) + x;
    press_screen_y = static_cast<int>(kxwidget_request(v, KX_REQ_GET_SCREEN_Y)) + y;
    if (code == KX_EV_RDOUBLE) {
        emit_mouse(v, code, cx, cy);
        return;
    }
    if (v->c.grab >= 0) {
        kxcontainer_mouse(&v->c, code, cx, cy);
    } else if (y >= g.y) {
        kxcontainer_mouse(&v->c, code, cx, cy);
    } else if (!v->grabbing) {
        return;
    }
    emit_mouse(v, code, cx, cy);
}

void wheel(kxView *v, int code, int x, int y)
{
    if (!v->enabled)
        return;
    const kxgeometry &g = v->geom;
    int cx = x + v->sx - g.x - v->ox, cy = y + v->sy - g.y - v->oy;
    if (v->c.focus >= 0)
        kxcontainer_send(&v->c, v->c.focus, code, cx, cy);
    else
        kxview_scroll(v, 0, code == KX_EV_WHEEL_UP ? -(v->pys / 20) : v->pys / 20);
    emit_mouse(v, code, cx, cy);
}

void motion(kxView *v, int x, int y)
{
    if (!v->enabled)
        return;
    const kxgeometry &g = v->geom;
    int cx = x + v->sx - g.x - v->ox, cy = y + v->sy - g.y - v->oy;
    kxcontainer_motion(&v->c, cx, cy);
    v->lastx = cx, v->lasty = cy;
    emit_mouse(v, KX_EV_MOTION, cx, cy);
}

// Nonzero when the focus entry took the key as a command of its own.
kxarg key(kxView *v, int code, int k)
{
    const bool shift = (kxsys_modifiers() & KX_MOD_SHIFT) != 0;
    switch (kxcontainer_key(&v->c, v, code, k, !v->nokeyscroll, shift)) {
    case kxkeyaction::scroll_up: kxview_scroll(v, 0, -(v->pys / 20)); break;
    case kxkeyaction::scroll_down: kxview_scroll(v, 0, v->pys / 20); break;
    case kxkeyaction::taken: return 1;
    case kxkeyaction::none: break;
    }
    return 0;
}

void to_all(kxView *v, int code)
{
    for (std::size_t i = 0; i < v->c.entries.size(); i++)
        kxcontainer_send(&v->c, static_cast<int>(i), code);
}

void scroll_command(kxView *v, int code, int value)
{
    const kxgeometry &g = v->geom;
    switch (code) {
    case KX_VIEW_LINEUP: kxview_scroll(v, 0, -(v->pys / 20)); break;
    case KX_VIEW_LINEDOWN: kxview_scroll(v, 0, v->pys / 20); break;
    case KX_VIEW_LINELEFT: kxview_scroll(v, -(v->pxs / 20), 0); break;
    case KX_VIEW_LINERIGHT: kxview_scroll(v, v->pxs / 20, 0); break;
    case KX_VIEW_PAGEUP: kxview_scroll(v, 0, -(v->pys / 5)); break;
    case KX_VIEW_PAGEDOWN: kxview_scroll(v, 0, v->pys / 5); break;
    case KX_VIEW_VPOS:
        if (v->vbar) {
            v->sy = clamp(value, 0, 100) * (v->pys - g.ys) / 100;
            clamp_scroll(v);
            kxview_refresh(v);
        }
        break;
    case KX_VIEW_HPOS:
        if (v->hbar) {
            v->sx = clamp(value, 0, 100) * (v->pxs - g.xs) / 100;
            clamp_scroll(v);
            kxview_refresh(v);
        }
        break;
    default: break;
    }
}

kxarg request(kxView *v, int code, kxarg a0, kxarg a1, kxarg a2, kxarg a3, kxarg a4,
              kxarg a5, kxarg a6)
{
    const kxgeometry &g = v->geom;
    switch (code) {
    case KX_REQ_REGISTER:
        return kxcontainer_register(&v->c, reinterpret_cast<kxhandler>(a0), kxunptr<void>(a1),
                                    static_cast<int>(a2), static_cast<int>(a3),
                                    static_cast<int>(a4), static_cast<int>(a5),
                                    static_cast<int>(a6));
    case KX_REQ_UNREGISTER: kxcontainer_unregister(&v->c, kxunptr<void>(a0)); return 0;
    case KX_REQ_MOVE:
        kxcontainer_move(&v->c, static_cast<int>(a0), static_cast<int>(a1), static_cast<int>(a2),
                         static_cast<int>(a3), static_cast<int>(a4));
        return 0;
    case KX_REQ_GET_XS: return g.xs;
    case KX_REQ_GET_YS: return g.ys;
    case KX_REQ_GET_SCREEN_X: return kxwidget_request(v, KX_REQ_GET_SCREEN_X) + g.x + v->ox - v->sx;
    case KX_REQ_GET_SCREEN_Y: return kxwidget_request(v, KX_REQ_GET_SCREEN_Y) + g.y + v->oy - v->sy;
    case KX_REQ_UPDATE:
        update_rect(v, static_cast<int>(a0), static_cast<int>(a1), static_cast<int>(a2),
                    static_cast<int>(a3));
        return 0;
    case KX_REQ_SHOW: return 0;
    case KX_REQ_FOCUS: return kxcontainer_focus(&v->c, v, static_cast<int>(a0));
    case KX_REQ_FOCUS_NEXT: kxcontainer_focus_next(&v->c, v); return 0;
    case KX_REQ_MAKE_VISIBLE: make_visible(v, static_cast<int>(a0)); return 0;
    case KX_REQ_SET_SCROLLS:
        kxcontainer_setscrolls(&v->c, static_cast<int>(a0), a1 != 0);
        return 0;
    case KX_REQ_POPUP_CLOSED: return kxwidget_request(v, KX_REQ_POPUP_CLOSED);
    case KX_REQ_GRAB:
        v->c.grab = static_cast<int>(a0);
        v->grabbing = 1;
        kxwidget_request(v, KX_REQ_GRAB, v->index);
        return 0;
    case KX_REQ_UNGRAB:
        v->c.grab = -1;
        v->grabbing = 0;
        kxwidget_request(v, KX_REQ_UNGRAB);
        return 0;
    case KX_REQ_GET_VIEW: return kxptr(v);
    case KX_REQ_AUTOREFRESH_OFF: v->autorefresh = false; return 0;
    case KX_REQ_GET_BGCOLOR: return v->bgcolor;
    case KX_REQ_TRUECOLOR:
        if (!v->shared && v->own.format != KX_PXFMT_TRUECOLOR)
            kxpxmap_convert2truecolor(&v->own, v->bgcolor);
        return 0;
    case KX_REQ_WANTS_FIT: return 0;
    case KX_REQ_FIT: return kxwidget_request(v, KX_REQ_FIT, a0, a1, a2, a3);
    default: return 0;
    }
}

} // namespace

void kxview_init(kxView *v)
{
    kxwidget_init(v);
    v->own = kxpxmap{};
    kxpxmap_init(&v->own);
    v->content = nullptr;
    v->format = KX_PXFMT_TRUECOLOR;
    v->pxs = v->pys = v->sx = v->sy = v->ox = v->oy = 0;
    v->bars = kxScrollBar{};
    v->vbar = v->hbar = false;
    v->allow_vbar = v->allow_hbar = true;
    v->told_scrolls = false;
    v->vthick = guimetrics("scrollbarwidth");
    v->hthick = guimetrics("scrollbarheight");
    kxcontainer_init(&v->c, false);
    v->c.entries.clear();
    v->lastx = v->lasty = 0;
    v->shared = false;
    v->autorefresh = true;
    v->hostdrawn = v->nokeyscroll = v->scrollwheelalways = v->autofocus = false;
    v->shown = false;
}

void kxview_create(kxView *v, const char *fmt, ...)
{
    if (v->created)
        kxview_destroy(v);
    kxcfgstr_defaults d = kxcfgstr_standard();
    d.bgcolor = 0;
    kxcfgstr_tokens t;
    va_list ap;
    va_start(ap, fmt);
    kxcfgstr_vprefix(v, &t, d, false, fmt, ap);
    va_end(ap);
    kxviewattr va;
    kxcfgstr_view(t.tok, t.start, &va);
    kxscrollbarsattr sa;
    kxcfgstr_scrollbars(t.tok, t.start, &sa);
    kxcfgstr_resolve(&v->geom);

    kxgeometry &g = v->geom;
    v->pxs = va.pxs > 0 ? va.pxs : g.xs;
    v->pys = va.pys > 0 ? va.pys : g.ys;
    v->format = va.pxmaptype;
    v->allow_vbar = !sa.novertical;
    v->allow_hbar = !sa.nohorizontal;
    v->nokeyscroll = va.nokeyscroll;
    v->scrollwheelalways = va.scrollwheelalways;
    v->autofocus = va.autofocus;
    v->autorefresh = !va.noredraw;
    v->hostdrawn = va.opengl;
    if (va.opengl) {
        v->autorefresh = false;
        v->shared = true;
    }
    kxcontainer_init(&v->c, v->nofocus != 0);

    if (v->shared) {
        v->content = v->parent_pixmap;
    } else {
        kxpxmap_init(&v->own);
        v->own.width = v->pxs;
        v->own.height = v->pys;
        v->own.format = v->format;
        if (v->pxs > 0 && v->pys > 0 && !kxpxmap_allocate(&v->own))
            std::printf("kxview_create: no content pixmap of %d x %d\n", v->pxs, v->pys);
        v->content = &v->own;
    }
    if (!va.nostandardview)
        kxdraw_settarget(kxview_handler, v);
    clear_content(v);

    v->created = 1;
    int flags = KX_REG_MOUSE | KX_REG_HOVER | KX_REG_SCROLLS | (v->nofocus ? 0 : KX_REG_FOCUSABLE);
    kxwidget_register(v, kxview_handler, flags);
    v->told_scrolls = true;
    layout(v);

    v->shown = kxwidget_request(v, KX_REQ_WANTS_FIT) == 0;
    if (va.opengl)
        kxwidget_request(v, KX_REQ_FIT, g.x, g.y, g.xs, g.ys);
    if (v->shown)
        kxview_refresh(v);
    if (va.standardview) {
        kxtarget_register(v->content, kxview_handler, v, v->bgcolor, false);
        kxdraw_settarget(kxview_handler, v);
    }
}

void kxview_destroy(kxView *v)
{
    if (!v->created)
        return;
    v->bars.remove();
    // A child may unregister itself while it closes: walk by index.
    for (std::size_t i = 0; i < v->c.entries.size(); i++)
        kxcontainer_send(&v->c, static_cast<int>(i), KX_EV_CLOSE);
    v->c.entries.clear();
    v->c.entries.shrink_to_fit();
    if (!v->shared)
        kxpxmap_free(&v->own);
    kxwidget_unregister(v);
    kxtarget_unregister(v);
    kxdraw_cleartarget(v);
    kxrefresh_cancel(v);
    kxview_init(v);
}

void kxview_refresh(kxView *v)
{
    const kxgeometry &g = v->geom;
    if (!v->created || !v->enabled)
        return;
    if (!v->shown) {
        if (v->hostdrawn)
            kxwidget_request(v, KX_REQ_UPDATE, g.x - 2, g.y - 2, g.xs + 4, g.ys + 4);
        return;
    }
    if (v->frame && v->parent_pixmap)
        kxgraphic_frame(v->parent_pixmap, v->frame, false, g.x - 2, g.y - 2, g.xs + 4, g.ys + 4,
                        -1, -1, -1, -1);
    if ((v->ox || v->oy) && v->parent_pixmap)
        kxpxmap_fillrect(v->parent_pixmap, g.x, g.y, g.xs, g.ys, v->bgcolor);
    copy_out(v, g.x + v->ox, g.y + v->oy, v->sx, v->sy, g.xs, g.ys);
    if (v->bars.created)
        v->bars.draw();
    kxrefresh_cancel(v);
    kxwidget_request(v, KX_REQ_UPDATE, g.x - 2, g.y - 2, g.xs + 4, g.ys + 4);
}

void kxview_scroll(kxView *v, int dx, int dy)
{
    const kxgeometry &g = v->geom;
    int oldx = v->sx, oldy = v->sy;
    if (dy && v->vbar)
        v->sy = clamp(v->sy + dy, 0, v->pys - g.ys > 0 ? v->pys - g.ys : 0);
    if (dx && v->hbar)
        v->sx = clamp(v->sx + dx, 0, v->pxs - g.xs > 0 ? v->pxs - g.xs : 0);
    if (v->sx == oldx && v->sy == oldy)
        return;
    set_bar_positions(v);
    kxview_refresh(v);
}

int kxview_press_screen_x() { return press_screen_x; }
int kxview_press_screen_y() { return press_screen_y; }

kxarg kxview_handler(void *obj, int code, kxarg a0, kxarg a1, kxarg a2, kxarg a3, kxarg a4,
                     kxarg a5, kxarg a6, kxarg a7)
{
    auto *v = static_cast<kxView *>(obj);
    if (!v)
        return 0;
    if (code >= KX_DRAW_SETPIXEL && code <= KX_DRAW_POINTER_Y)
        return kxview_draw(v, code, a0, a1, a2, a3, a4, a5, a6, a7);
    if (code >= KX_REQ_REGISTER && code <= KX_REQ_FIT)
        return request(v, code, a0, a1, a2, a3, a4, a5, a6);
    if (code >= KX_VIEW_LINEUP && code <= KX_VIEW_HPOS) {
        scroll_command(v, code, static_cast<int>(a0));
        return 0;
    }
    if (v->bars.created && v->enabled)
        v->bars.handle(code, static_cast<int>(a0), static_cast<int>(a1));
    int x = static_cast<int>(a0), y = static_cast<int>(a1);
    switch (code) {
    case KX_EV_CLOSE: kxview_destroy(v); return 0;
    case KX_EV_RESIZE: resize(v, x, y); return 0;
    case KX_EV_LDOWN:
    case KX_EV_LUP:
    case KX_EV_LDOUBLE:
    case KX_EV_MDOWN:
    case KX_EV_MUP:
    case KX_EV_RDOWN:
    case KX_EV_RUP:
    case KX_EV_RDOUBLE: mouse_button(v, code, x, y); return 0;
    case KX_EV_WHEEL_UP:
    case KX_EV_WHEEL_DOWN: wheel(v, code, x, y); return 0;
    case KX_EV_MOTION: motion(v, x, y); return 0;
    case KX_EV_KEYDOWN:
    case KX_EV_KEYUP: return key(v, code, x);
    case KX_EV_FOCUS_IN:
        if (v->nofocus || v->focused)
            return 0;
        v->focused = 1;
        return 1;
    case KX_EV_FOCUS_OUT: v->focused = 0; return 0;
    case KX_EV_KEEP_FOCUS: return 1;
    case KX_EV_LEAVE: to_all(v, KX_EV_LEAVE); return 0;
    case KX_EV_REPAINT: kxview_refresh(v); return 0;
    case KX_EV_REFRESH:
        if (v->created && v->shown && kxapp_started())
            kxview_refresh(v);
        return 0;
    case KX_EV_PASTE:
    case KX_EV_COPY:
    case KX_EV_CUT: return kxcontainer_send(&v->c, v->c.focus, code);
    case KX_EV_ENABLED:
        to_all(v, KX_EV_ENABLED);
        kxview_refresh(v);
        return 0;
    case KX_EV_ENABLE:
        v->enabled = 1;
        to_all(v, KX_EV_ENABLED);
        kxview_refresh(v);
        return 0;
    case KX_EV_DISABLE:
        to_all(v, KX_EV_LEAVE);
        v->focused = 0;
        v->enabled = 0;
        return 0;
    default: return 0;
    }
}
