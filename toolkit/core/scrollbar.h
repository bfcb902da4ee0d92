// The scroll bar pair embedded in the widgets that scroll (view, terminal,
// listbox, editor): a vertical bar along the owner's right edge and/or a
// horizontal bar along its bottom edge.  Positions and thumb sizes are
// percentages; the owner decides what a line or a page is.
//
// Use: create() with the owner's rectangle in its container's coordinates,
// pass every event the owner receives to handle(), set positions and thumb
// sizes when the content moves, draw() when the owner redraws, and act on the
// notices sent to the callback.
#pragma once

#include "core/widget.h"

struct kxpxmap;

// Notices sent to the owner callback (owner data, code, value).
enum : int {
    KX_SB_UP = 3008,
    KX_SB_DOWN = 3009,
    KX_SB_LEFT = 3010,
    KX_SB_RIGHT = 3011,
    KX_SB_PAGEUP = 3012,
    KX_SB_PAGEDOWN = 3013,
    KX_SB_VPOS = 3016,
    KX_SB_HPOS = 3017,
};

using kxsbnotify = void (*)(void *owner, int code, int value);

constexpr int KX_SB_REPEAT_MS = 100;
constexpr int KX_SB_MIN_THUMB = 5;

struct kxScrollBar : kxwidget {
    bool horizontal = false, vertical = false;
    bool drag_h = false, drag_v = false;
    int repeat = KX_SB_REPEAT_MS;
    int vwidth = 15, hheight = 15;
    int vx = 0, vy = 0, above = 0, below = 0, thumby = 0, thumblen = 0;
    int dragy0 = 0, thumby0 = 0;
    int hx = 0, hy = 0, leftof = 0, rightof = 0, thumbx = 0, thumbw = 0;
    int dragx0 = 0, thumbx0 = 0;
    int arroww = 15, arrowh = 15;
    int leftx = 0, lefty = 0, rightx = 0, righty = 0, upx = 0, upy = 0, downx = 0, downy = 0;
    bool left_held = false, right_held = false, up_held = false, down_held = false;
    int vpos = 50, vsize = 50, hpos = 50, hsize = 50;
    kxsbnotify notify = nullptr;
    void *owner = nullptr;
    bool timer_on = false;

    void create(kxsbnotify callback, void *ownerdata, kxhandler container, void *instance,
                kxpxmap *pixmap, int x, int y, int width, int height, bool showvertical,
                bool showhorizontal, int thickness);
    void remove();
    void set_vpos(int p);
    void set_vsize(int p);
    void set_hpos(int p);
    void set_hsize(int p);
    void draw();
    void handle(int code, int x, int y);

    // The vertical track length (between the arrows).
    int vtrack() const;
    int htrack() const;
    void tick();
    static kxarg handler(void *obj, int code, kxarg a0, kxarg a1, kxarg a2, kxarg a3, kxarg a4,
                         kxarg a5, kxarg a6, kxarg a7);
};
