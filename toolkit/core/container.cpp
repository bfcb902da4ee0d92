#include "core/container.h"

namespace {

int size(const kxcontainer *c) { return static_cast<int>(c->entries.size()); }

bool valid(const kxcontainer *c, int index)
{
    return index >= 0 && index < size(c) && c->entries[index].used;
}

// Strictly inside: a point on the border pixel does not hit the entry.
bool contains(const kxentry &e, int x, int y)
{
    return x > e.x && x < e.x + e.xs && y > e.y && y < e.y + e.ys;
}

bool offer_focus(kxcontainer *c, int index)
{
    return kxcontainer_send(c, index, KX_EV_FOCUS_IN) != 0;
}

void move_focus(kxcontainer *c, int index)
{
    int old = c->focus;
    c->focus = index;
    if (old != index)
        kxcontainer_send(c, old, KX_EV_FOCUS_OUT);
}

} // namespace

void kxcontainer_init(kxcontainer *c, bool nofocus)
{
    *c = kxcontainer{};
    c->entries.reserve(KX_ENTRIES_INITIAL);
    c->nofocus = nofocus;
}

int kxcontainer_register(kxcontainer *c, kxhandler handler, void *widget, int x, int y, int xs,
                         int ys, int flags)
{
    int i = 0;
    while (i < size(c) && c->entries[i].used)
        i++;
    if (i == size(c)) {
        if (c->entries.size() == c->entries.capacity())
            c->entries.reserve(c->entries.capacity() + KX_ENTRIES_GROWTH);
        c->entries.emplace_back();
    }
    kxentry &e = c->entries[i];
    e.used = 1;
    e.x = x, e.y = y, e.xs = xs, e.ys = ys;
    e.widget = widget;
    e.handler = handler;
    e.mouse = (flags & KX_REG_MOUSE) != 0;
    e.focusable = !c->nofocus && (flags & KX_REG_FOCUSABLE) != 0;
    e.hover = (flags & KX_REG_HOVER) != 0;
    e.scrolls = (flags & KX_REG_SCROLLS) != 0;
    e.wants_tab = (flags & KX_REG_WANTS_TAB) != 0;
    return i;
}

// A freed entry also stops being the focus, hover or grab entry, so nothing
// is ever sent to a widget that has gone.
void kxcontainer_unregister(kxcontainer *c, void *widget)
{
    for (int i = 0; i < size(c); i++) {
        if (!c->entries[i].used || c->entries[i].widget != widget)
            continue;
        c->entries[i] = kxentry{};
        if (c->focus == i)
            c->focus = -1;
        if (c->hovered == i)
            c->hovered = -1;
        if (c->grab == i)
            c->grab = -1;
    }
}

void kxcontainer_move(kxcontainer *c, int index, int x, int y, int xs, int ys)
{
    if (!valid(c, index))
        return;
    kxentry &e = c->entries[index];
    e.x = x, e.y = y, e.xs = xs, e.ys = ys;
}

void kxcontainer_setscrolls(kxcontainer *c, int index, bool on)
{
    if (valid(c, index))
        c->entries[index].scrolls = on;
}

int kxcontainer_find(const kxcontainer *c, const void *widget)
{
    for (int i = 0; i < size(c); i++)
        if (c->entries[i].used && c->entries[i].widget == widget)
            return i;
    return -1;
}

int kxcontainer_focus(kxcontainer *c, kxwidget *self, int index)
{
    if (c->nofocus || self->nofocus)
        return 0;
    if (c->focus != index && c->focus >= 0)
        kxcontainer_send(c, c->focus, KX_EV_FOCUS_OUT);
    c->focus = index;
    kxarg granted = kxwidget_request(self, KX_REQ_FOCUS, self->index);
    if (granted)
        kxcontainer_send(c, index, KX_EV_FOCUS_IN);
    return static_cast<int>(granted);
}

namespace {

// One step of Tab (dir 1) or Shift+Tab (dir -1).  Without a focus entry the
// walk starts before the first entry, or after the last one going back.
void focus_step(kxcontainer *c, kxwidget *self, int dir)
{
    if (c->nofocus || self->nofocus || !self->enabled)
        return;
    kxwidget_request(self, KX_REQ_FOCUS, self->index);
    int n = size(c);
    if (n == 0)
        return;
    if (n == 1) {
        if (c->focus != 0 && valid(c, 0) && offer_focus(c, 0))
            move_focus(c, 0);
        return;
    }
    if (c->focus >= 0 && kxcontainer_send(c, c->focus, KX_EV_KEEP_FOCUS))
        return;
    int start = c->focus >= 0 ? c->focus : dir > 0 ? -1 : n;
    for (int k = 1; k <= n; k++) {
        int i = ((start + dir * k) % n + n) % n;
        if (i == start)
            return;
        if (i >= size(c))  // a handler may have changed the table
            return;
        if (!c->entries[i].used || !c->entries[i].focusable)
            continue;
        if (offer_focus(c, i)) {
            move_focus(c, i);
            return;
        }
    }
}

} // namespace

void kxcontainer_focus_next(kxcontainer *c, kxwidget *self) { focus_step(c, self, 1); }

void kxcontainer_drop_focus(kxcontainer *c)
{
    int old = c->focus;
    c->focus = -1;
    kxcontainer_send(c, old, KX_EV_FOCUS_OUT);
}

kxkeyaction kxcontainer_key(kxcontainer *c, kxwidget *self, int code, int key, bool keyscroll,
                            bool shift)
{
    kxkeyaction action = kxkeyaction::none;
    bool down = code == KX_EV_KEYDOWN;
    if (valid(c, c->focus)) {
        if (kxcontainer_send(c, c->focus, code, key) && down)
            return kxkeyaction::taken;
    } else if (down && keyscroll && key == KX_KEY_UP) {
        action = kxkeyaction::scroll_up;
    } else if (down && keyscroll && key == KX_KEY_DOWN) {
        action = kxkeyaction::scroll_down;
    }
    if (!down)
        return action;
    if (key == KX_KEY_ESCAPE) {
        if (c->focus >= 0)
            kxcontainer_drop_focus(c);
    } else if (key == KX_KEY_TAB) {
        if (!valid(c, c->focus) || !c->entries[c->focus].wants_tab)
            focus_step(c, self, shift ? -1 : 1);
    }
    return action;
}

bool kxcontainer_mouse(kxcontainer *c, int code, int x, int y)
{
    if (valid(c, c->grab)) {
        kxcontainer_send(c, c->grab, code, x, y);
        return true;
    }
    bool hit = false;
    for (int i = 0; i < size(c); i++) {
        kxentry e = c->entries[i];
        if (e.used && e.mouse && contains(e, x, y)) {
            kxsend(e.handler, e.widget, code, x, y);
            hit = true;
        }
    }
    if (!hit && (code == KX_EV_LDOWN || code == KX_EV_LDOUBLE) && c->focus >= 0)
        kxcontainer_drop_focus(c);
    return hit;
}

void kxcontainer_motion(kxcontainer *c, int x, int y)
{
    if (valid(c, c->grab)) {
        kxcontainer_send(c, c->grab, KX_EV_MOTION, x, y);
        return;
    }
    int hover = -1;
    for (int i = 0; i < size(c); i++) {
        kxentry e = c->entries[i];
        if (!e.used || !e.mouse || !contains(e, x, y))
            continue;
        kxsend(e.handler, e.widget, KX_EV_MOTION, x, y);
        if (e.hover)
            hover = i;
    }
    if (hover == c->hovered)
        return;
    int old = c->hovered;
    c->hovered = hover;
    kxcontainer_send(c, old, KX_EV_LEAVE);
    kxcontainer_send(c, hover, KX_EV_ENTER);
}
