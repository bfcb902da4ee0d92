// A child that records what its container sends it, for view and window
// tests.
#pragma once

#include <vector>

#include "core/target.h"
#include "core/widget.h"

struct ProbeEvent {
    int code;
    kxarg a, b;
};

struct Probe : kxwidget {
    std::vector<ProbeEvent> got;
    bool accept_focus = true;
    int name = 0;
    std::vector<int> *order = nullptr;  // shared log of names, in arrival order

    int count(int code) const
    {
        int n = 0;
        for (const ProbeEvent &e : got)
            n += e.code == code;
        return n;
    }
};

inline kxarg probe_handler(void *obj, int code, kxarg a, kxarg b, kxarg, kxarg, kxarg, kxarg,
                           kxarg, kxarg)
{
    auto *p = static_cast<Probe *>(obj);
    p->got.push_back({code, a, b});
    if (p->order && code == KX_EV_LDOWN)
        p->order->push_back(p->name);
    if (code == KX_EV_FOCUS_IN) {
        if (!p->accept_focus || p->focused)
            return 0;
        p->focused = 1;
        return 1;
    }
    if (code == KX_EV_FOCUS_OUT)
        p->focused = 0;
    if (code == KX_EV_CLOSE)
        kxwidget_unregister(p);
    return 0;
}

// Registers the probe with the current output target's container.
inline void probe_place(Probe *p, int x, int y, int xs, int ys,
                        int flags = KX_REG_MOUSE | KX_REG_FOCUSABLE | KX_REG_HOVER)
{
    kxwidget_init(p);
    kxtarget t;
    kxtarget_current(&t);
    p->parent = t.object;
    p->parent_handler = t.handler;
    p->parent_pixmap = t.pixmap;
    p->geom.x = x, p->geom.y = y, p->geom.xs = xs, p->geom.ys = ys;
    kxwidget_register(p, probe_handler, flags);
}
