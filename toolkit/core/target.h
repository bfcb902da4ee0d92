// The output-target list: every window and standard view, and which of them
// new widgets join; the drawing target that drawing calls go to; the views
// waiting for a deferred refresh; and the building flag that holds back
// screen copies while a page is laid out.
#pragma once

#include "core/widget.h"

constexpr int KX_MAX_TARGETS = 99;

struct kxtarget {
    kxhandler handler = nullptr;
    void *object = nullptr;
    kxpxmap *pixmap = nullptr;
    int bgcolor = -1;
};

// Enters or updates the object's entry and makes it current.  A bgcolor of -1
// stands for the standard grey.
void kxtarget_register(kxpxmap *pixmap, kxhandler handler, void *object, int bgcolor,
                       bool broadcast);
void kxtarget_unregister(void *object);
// The current output target; false (and an empty record) when there is none.
bool kxtarget_current(kxtarget *out);
void kxtarget_save();
void kxtarget_restore();
// Sends KX_REQ_SHOW to every window in the list.
void kxtarget_broadcast_show();

// The drawing target: the view that carries out the drawing calls.
struct kxdrawtarget {
    kxhandler handler = nullptr;
    void *object = nullptr;
};
void kxdraw_settarget(kxhandler handler, void *object);
// The drawing target as it stands; empty without one.
kxdrawtarget kxdraw_current();
void kxdraw_cleartarget(void *object);
bool kxdraw_hastarget();
void kxdraw_save();
void kxdraw_restore();
// Sends a drawing command to the drawing target; 0 without one.
kxarg kxdraw_command(int code, kxarg a0 = 0, kxarg a1 = 0, kxarg a2 = 0, kxarg a3 = 0,
                     kxarg a4 = 0, kxarg a5 = 0, kxarg a6 = 0, kxarg a7 = 0);

// Views waiting for their deferred refresh, sent KX_EV_REFRESH every 200 ms.
constexpr int KX_MAX_REFRESH = 25;
constexpr int KX_REFRESH_PERIOD = 200;
void kxrefresh_schedule(kxhandler handler, void *view);
void kxrefresh_cancel(void *view);
int kxrefresh_count();

void kxbuild_begin();
void kxbuild_end();
bool kxbuild_active();

// ---- drawing calls on the drawing target (0 without one) -----------------

kxarg kxdraw_fillrect(int x, int y, int w, int h, int colour);
kxarg kxdraw_line(int x0, int y0, int x1, int y1, int colour);
kxarg kxdraw_text(int x, int y, int colour, const char *text);
// The text is formatted into at most 64 kB first.
kxarg kxdraw_printf(int x, int y, int colour, const char *fmt, ...)
    __attribute__((format(printf, 4, 5)));
// A picture file (its name, then options) placed at 0, 0.
kxarg kxdraw_picture(const char *fmt, ...);
// An in-memory XPM image at 0, 0; the attribute string may move and cut it.
kxarg kxdraw_xpm(const char *const *xpm, const char *fmt, ...);
kxarg kxdraw_setfont(int font);
kxarg kxdraw_textwidth(const char *text);
kxarg kxdraw_fontheight();
kxarg kxdraw_width();
kxarg kxdraw_height();
kxarg kxdraw_copy(int x, int y, const kxpxmap *source);
kxarg kxdraw_char(int x, int y, int colour, int ch);
