// The container side of the widget protocol: the table of registered
// children, and the rules for focus, Tab, Escape, mouse hit-testing, hover
// and grab that every view follows.
#pragma once

#include <cstdint>
#include <vector>

#include "core/widget.h"

struct kxentry {
    std::uint8_t used = 0;
    int x = 0, y = 0, xs = 0, ys = 0;
    void *widget = nullptr;
    kxhandler handler = nullptr;
    std::uint8_t mouse = 0, focusable = 0, hover = 0, scrolls = 0, wants_tab = 0;
};

constexpr int KX_ENTRIES_INITIAL = 5;
constexpr int KX_ENTRIES_GROWTH = 100;

struct kxcontainer {
    std::vector<kxentry> entries;
    int focus = -1, hovered = -1, grab = -1;
    bool nofocus = false;  // a no-focus container keeps no focusable entries
};

// What a key leaves for the container itself to do.  taken: the focus entry
// used the key as a command of its own (its KX_EV_KEYDOWN answered nonzero,
// as a button does for Return), so nothing else is done with it.
enum class kxkeyaction { none, scroll_up, scroll_down, taken };

void kxcontainer_init(kxcontainer *c, bool nofocus);
// First free entry, else a new one at the end; the entry's index.
int kxcontainer_register(kxcontainer *c, kxhandler handler, void *widget, int x, int y, int xs,
                         int ys, int flags);
void kxcontainer_unregister(kxcontainer *c, void *widget);
void kxcontainer_move(kxcontainer *c, int index, int x, int y, int xs, int ys);
void kxcontainer_setscrolls(kxcontainer *c, int index, bool on);
// Sends an event to one entry (0 for an index not in use).
template <class... A> kxarg kxcontainer_send(kxcontainer *c, int index, int code, A... a);

// KX_REQ_FOCUS from entry index; self is the container's own header, which
// asks its parent in turn.  The parent's answer is the result.
int kxcontainer_focus(kxcontainer *c, kxwidget *self, int index);
// KX_REQ_FOCUS_NEXT and Tab: the next focusable entry that accepts.
void kxcontainer_focus_next(kxcontainer *c, kxwidget *self);
// Drops the focus entry (it gets KX_EV_FOCUS_OUT).
void kxcontainer_drop_focus(kxcontainer *c);
// Key routing: KX_EV_KEYDOWN / KX_EV_KEYUP with key; keyscroll says whether
// cursor up/down scroll a container without focus entry, shift whether Shift
// is held (Shift+Tab moves the focus backwards).
kxkeyaction kxcontainer_key(kxcontainer *c, kxwidget *self, int code, int key, bool keyscroll,
                            bool shift = false);
// Mouse buttons and wheel at content coordinates.  True when an entry got it.
bool kxcontainer_mouse(kxcontainer *c, int code, int x, int y);
// Pointer motion: every entry under the point, and the hover entry.
void kxcontainer_motion(kxcontainer *c, int x, int y);
// Index of the first entry in use for widget, or -1.
int kxcontainer_find(const kxcontainer *c, const void *widget);

template <class... A> kxarg kxcontainer_send(kxcontainer *c, int index, int code, A... a)
{
    if (index < 0 || index >= static_cast<int>(c->entries.size()))
        return 0;
    kxentry e = c->entries[index];
    return e.used ? kxsend(e.handler, e.widget, code, a...) : 0;
}
