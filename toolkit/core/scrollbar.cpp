#include "core/scrollbar.h"

#include "core/timer.h"
#include "graphics/colours.h"
#include "graphics/draw.h"
#include "graphics/pixmap.h"

namespace {

int limit(int p) { return p < 0 ? 0 : p > 100 ? 100 : p; }

// Left and top edges excluded, right and bottom included.
bool in_box(int px, int py, int bx, int by, int w, int h)
{
    return bx < px && px <= bx + w && by < py && py <= by + h;
}

} // namespace

int kxScrollBar::vtrack() const
{
    return geom.ys - 2 * hheight - (horizontal ? hheight : 0);
}

int kxScrollBar::htrack() const
{
    return geom.xs - 2 * vwidth - (vertical ? vwidth : 0);
}

namespace {

void layout(kxScrollBar *s)
{
    const kxgeometry &g = s->geom;
    const int A = s->vwidth, B = s->hheight;
    s->arroww = A;
    s->arrowh = B;
    s->vx = g.x + g.xs - A;
    s->vy = g.y;
    int track = s->vtrack();
    s->thumblen = track * s->vsize / 100;
    if (s->thumblen < KX_SB_MIN_THUMB)
        s->thumblen = KX_SB_MIN_THUMB;
    s->above = (track - s->thumblen) * s->vpos / 100;
    if (s->above < 0)
        s->above = 0;
    s->below = track - s->above - s->thumblen;
    if (s->below < 0)
        s->below = 0;
    s->thumby = s->vy + B + s->above;

    s->hx = g.x;
    s->hy = g.y + g.ys - B;
    track = s->htrack();
    s->thumbw = track * s->hsize / 100;
    if (s->thumbw < KX_SB_MIN_THUMB)
        s->thumbw = KX_SB_MIN_THUMB;
    s->leftof = (track - s->thumbw) * s->hpos / 100;
    if (s->leftof < 0)
        s->leftof = 0;
    s->rightof = track - s->leftof - s->thumbw;
    if (s->rightof < 0)
        s->rightof = 0;
    s->thumbx = s->hx + A + s->leftof;

    s->leftx = g.x;
    s->lefty = s->hy;
    s->rightx = g.x + g.xs - A - (s->vertical ? A : 0);
    s->righty = s->hy;
    s->upx = s->vx;
    s->upy = s->vy;
    s->downx = s->vx;
    s->downy = g.y + g.ys - B - (s->horizontal ? B : 0);
}

void update(kxScrollBar *s, int x, int y, int w, int h)
{
    kxwidget_request(s, KX_REQ_UPDATE, x, y, w, h);
}

void draw_arrow(kxScrollBar *s, const char *name, int x, int y, bool held)
{
    kxpxmap *p = s->parent_pixmap;
    const auto &c = s->palette;
    const int w = s->arroww, h = s->arrowh;
    kxpxmap_fillrect(p, x, y, w, h, c[KX_GUI_GREY]);
    kxgraphic_frame(p, KX_FRAME_FIELD, held, x, y, w, h, c[KX_GUI_GREY], c[KX_GUI_DARK],
                    c[KX_GUI_BLACK], c[KX_GUI_LIGHT]);
    int d = held ? 1 : 0;
    if (w > 15 || h > 15)
        kxgraphic_arrow(p, name, x + d, y + d, w, h, c[KX_GUI_BLACK]);
    else
        kxgraphic_smallarrow(p, name, x + d, y + d, w, h, c[KX_GUI_BLACK]);
}

void draw_thumb(kxScrollBar *s, int x, int y, int w, int h, bool dragged)
{
    kxpxmap *p = s->parent_pixmap;
    const auto &c = s->palette;
    int inside = dragged ? c[KX_GUI_LIGHT] : c[KX_GUI_GREY];
    kxpxmap_fillrect(p, x + 2, y + 2, w - 4, h - 4, inside);
    kxgraphic_frame(p, KX_FRAME_FIELD, false, x, y, w, h, inside, c[KX_GUI_DARK], c[KX_GUI_BLACK],
                    c[KX_GUI_LIGHT]);
}

void draw_vertical(kxScrollBar *s)
{
    kxpxmap *p = s->parent_pixmap;
    const int A = s->vwidth, B = s->hheight, dark = s->palette[KX_GUI_DARK];
    draw_arrow(s, "up", s->upx, s->upy, s->up_held);
    draw_arrow(s, "down", s->downx, s->downy, s->down_held);
    if (s->above > 0)
        kxpxmap_fillrect(p, s->vx, s->vy + B, A, s->above, dark);
    if (s->below > 0)
        kxpxmap_fillrect(p, s->vx, s->thumby + s->thumblen, A, s->below, dark);
    draw_thumb(s, s->vx, s->thumby, A, s->thumblen, s->drag_v);
}

void draw_horizontal(kxScrollBar *s)
{
    kxpxmap *p = s->parent_pixmap;
    const int A = s->vwidth, B = s->hheight, dark = s->palette[KX_GUI_DARK];
    draw_arrow(s, "left", s->leftx, s->lefty, s->left_held);
    draw_arrow(s, "right", s->rightx, s->righty, s->right_held);
    if (s->leftof > 0)
        kxpxmap_fillrect(p, s->hx + A, s->hy, s->leftof, B, dark);
    if (s->rightof > 0)
        kxpxmap_fillrect(p, s->thumbx + s->thumbw, s->hy, s->rightof, B, dark);
    draw_thumb(s, s->thumbx, s->hy, s->thumbw, B, s->drag_h);
}

void update_vertical(kxScrollBar *s) { update(s, s->vx, s->vy, s->vwidth, s->geom.ys); }
void update_horizontal(kxScrollBar *s) { update(s, s->hx, s->hy, s->geom.xs, s->hheight); }

void send(kxScrollBar *s, int code, int value = 0)
{
    if (s->notify)
        s->notify(s->owner, code, value);
}

void stop_timer(kxScrollBar *s)
{
    if (s->timer_on)
        kxtimer_remove(s, 0);
    s->timer_on = false;
}

void press(kxScrollBar *s, int x, int y)
{
    const int A = s->arroww, B = s->arrowh;
    struct Arrow {
        bool shown, *held;
        int bx, by;
    } arrows[] = {
        {s->vertical, &s->up_held, s->upx, s->upy},
        {s->vertical, &s->down_held, s->downx, s->downy},
        {s->horizontal, &s->left_held, s->leftx, s->lefty},
        {s->horizontal, &s->right_held, s->rightx, s->righty},
    };
    for (Arrow &a : arrows) {
        if (!a.shown || *a.held || !in_box(x, y, a.bx, a.by, A, B))
            continue;
        *a.held = true;
        if (a.held == &s->up_held || a.held == &s->down_held) {
            draw_vertical(s);
            update_vertical(s);
        } else {
            draw_horizontal(s);
            update_horizontal(s);
        }
        kxtimer_add(kxScrollBar::handler, s, 5 * s->repeat, 0);
        s->timer_on = true;
        return;
    }
    if (s->vertical && !s->drag_v && in_box(x, y, s->vx, s->thumby, A, s->thumblen)) {
        s->drag_v = true;
        s->dragy0 = y;
        s->thumby0 = s->thumby;
        s->grabbing = 1;
        kxwidget_request(s, KX_REQ_GRAB, s->index);
        draw_vertical(s);
        update_vertical(s);
    } else if (s->horizontal && !s->drag_h && in_box(x, y, s->thumbx, s->hy, s->thumbw, B)) {
        s->drag_h = true;
        s->dragx0 = x;
        s->thumbx0 = s->thumbx;
        s->grabbing = 1;
        kxwidget_request(s, KX_REQ_GRAB, s->index);
        draw_horizontal(s);
        update_horizontal(s);
    }
}

void drag(kxScrollBar *s, int x, int y)
{
    const kxgeometry &g = s->geom;
    if (s->drag_v) {
        int t = y + (s->thumby0 - s->dragy0);
        int lo = s->vy + s->hheight, hi = s->downy - s->thumblen;
        t = t > hi ? hi : t;
        t = t < lo ? lo : t;
        s->thumby = t;
        int track = s->vtrack();
        s->above = t - lo;
        s->below = track - s->above - s->thumblen;
        if (s->below < 0)
            s->below = 0;
        draw_vertical(s);
        update_vertical(s);
        int pos = track == s->thumblen ? 0 : (t - s->hheight - g.y) * 100 / (track - s->thumblen);
        pos = limit(pos);
        if (pos != s->vpos) {
            s->vpos = pos;
            send(s, KX_SB_VPOS, pos);
        }
    }
    if (s->drag_h) {
        int t = x + (s->thumbx0 - s->dragx0);
        int lo = s->hx + s->vwidth, hi = s->rightx - s->thumbw;
        t = t > hi ? hi : t;
        t = t < lo ? lo : t;
        s->thumbx = t;
        int track = s->htrack();
        s->leftof = t - lo;
        s->rightof = track - s->leftof - s->thumbw;
        if (s->rightof < 0)
            s->rightof = 0;
        draw_horizontal(s);
        update_horizontal(s);
        int pos = track == s->thumbw ? 0 : (t - s->vwidth - g.x) * 100 / (track - s->thumbw);
        pos = limit(pos);
        if (pos != s->hpos) {
            s->hpos = pos;
            send(s, KX_SB_HPOS, pos);
        }
    }
}

// Ends every hold and drag without a notice.
void let_go(kxScrollBar *s)
{
    bool changed = s->up_held || s->down_held || s->left_held || s->right_held || s->drag_v ||
                   s->drag_h;
    s->up_held = s->down_held = s->left_held = s->right_held = false;
    s->drag_v = s->drag_h = false;
    stop_timer(s);
    if (!changed)
        return;
    s->draw();
    if (s->vertical)
        update_vertical(s);
    if (s->horizontal)
        update_horizontal(s);
}

void release(kxScrollBar *s, int x, int y)
{
    const int A = s->arroww, B = s->arrowh;
    // Only a drag of our own holds the grab; releasing someone else's would
    // cut off the widget that does.
    if (s->grabbing) {
        s->grabbing = 0;
        kxwidget_request(s, KX_REQ_UNGRAB);
    }
    if (s->vertical && x > s->vx && x <= s->vx + A) {
        if (s->up_held && in_box(x, y, s->upx, s->upy, A, B)) {
            s->up_held = false;
            draw_vertical(s);
            update_vertical(s);
            send(s, KX_SB_UP);
        } else if (s->down_held && in_box(x, y, s->downx, s->downy, A, B)) {
            s->down_held = false;
            draw_vertical(s);
            update_vertical(s);
            send(s, KX_SB_DOWN);
        } else if (!s->drag_v && y > s->upy + B && y <= s->thumby) {
            send(s, KX_SB_PAGEUP);
        } else if (!s->drag_v && y > s->thumby + s->thumblen && y <= s->downy) {
            send(s, KX_SB_PAGEDOWN);
        }
    }
    if (s->horizontal) {
        if (s->left_held && in_box(x, y, s->leftx, s->lefty, A, B)) {
            s->left_held = false;
            draw_horizontal(s);
            update_horizontal(s);
            send(s, KX_SB_LEFT);
        } else if (s->right_held && in_box(x, y, s->rightx, s->righty, A, B)) {
            s->right_held = false;
            draw_horizontal(s);
            update_horizontal(s);
            send(s, KX_SB_RIGHT);
        }
    }
    let_go(s);
}

} // namespace

void kxScrollBar::create(kxsbnotify callback, void *ownerdata, kxhandler container,
                         void *instance, kxpxmap *pixmap, int x, int y, int width, int height,
                         bool showvertical, bool showhorizontal, int thickness)
{
    remove();
    if (ids[0] == 0)
        kxwidget_init(this);
    notify = callback;
    owner = ownerdata;
    parent_handler = container;
    parent = instance;
    parent_pixmap = pixmap;
    for (int i = 0; i < KX_GUI_COLOURS; i++)
        palette[i] = kxgui_color(i);
    geom = kxgeometry{};
    geom.x = x, geom.y = y, geom.xs = width, geom.ys = height;
    vertical = showvertical;
    horizontal = showhorizontal;
    vwidth = thickness ? thickness : guimetrics("scrollbarwidth");
    hheight = thickness ? thickness : guimetrics("scrollbarheight");
    kxwidget_register(this, handler, 0);
    created = 1;
    layout(this);
    draw();
}

void kxScrollBar::remove()
{
    if (!created)
        return;
    kxwidget_unregister(this);
    stop_timer(this);
    if (grabbing)
        kxwidget_request(this, KX_REQ_UNGRAB);
    created = 0;
    grabbing = 0;
    horizontal = vertical = drag_h = drag_v = false;
    left_held = right_held = up_held = down_held = false;
    repeat = KX_SB_REPEAT_MS;
    vpos = vsize = hpos = hsize = 50;
    notify = nullptr;
    owner = nullptr;
}

void kxScrollBar::set_vpos(int p)
{
    vpos = limit(p);
    layout(this);
}

void kxScrollBar::set_vsize(int p)
{
    vsize = limit(p);
    layout(this);
}

void kxScrollBar::set_hpos(int p)
{
    hpos = limit(p);
    layout(this);
}

void kxScrollBar::set_hsize(int p)
{
    hsize = limit(p);
    layout(this);
}

void kxScrollBar::draw()
{
    if (!created || !parent_pixmap)
        return;
    if (vertical)
        draw_vertical(this);
    if (horizontal)
        draw_horizontal(this);
    if (vertical && horizontal)
        kxpxmap_fillrect(parent_pixmap, geom.x + geom.xs - vwidth, geom.y + geom.ys - hheight,
                         vwidth, hheight, palette[KX_GUI_DARK]);
}

void kxScrollBar::tick()
{
    if (!timer_on)
        return;
    kxtimer_add(handler, this, repeat, 0);
    if (up_held)
        send(this, KX_SB_UP);
    if (down_held)
        send(this, KX_SB_DOWN);
    if (left_held)
        send(this, KX_SB_LEFT);
    if (right_held)
        send(this, KX_SB_RIGHT);
}

void kxScrollBar::handle(int code, int x, int y)
{
    if (!created)
        return;
    switch (code) {
    case KX_EV_LDOWN: press(this, x, y); break;
    case KX_EV_LUP: release(this, x, y); break;
    case KX_EV_MOTION: drag(this, x, y); break;
    case KX_EV_LEAVE: let_go(this); break;
    default: break;
    }
}

// The bar's own timer and what its container sends the entry.
kxarg kxScrollBar::handler(void *obj, int code, kxarg a0, kxarg a1, kxarg, kxarg, kxarg, kxarg,
                           kxarg, kxarg)
{
    auto *s = static_cast<kxScrollBar *>(obj);
    if (code == KX_EV_TIMER && a0 == 0)
        s->tick();
    else if (code == KX_EV_CLOSE)
        s->remove();
    // While a thumb is dragged the container sends the mouse here, not to
    // the owner that usually passes it on.
    else if (s->grabbing && (code == KX_EV_MOTION || code == KX_EV_LUP || code == KX_EV_LEAVE))
        s->handle(code, static_cast<int>(a0), static_cast<int>(a1));
    return 0;
}
