// The widget protocol: the common widget header that begins every widget,
// view and window record, its ids and registration flags, and the helpers
// through which a widget talks to its container.  The messages themselves
// are base/protocol.h.
#pragma once

#include <array>
#include <cstdint>

#include "base/id.h"
#include "base/protocol.h"
#include "graphics/colours.h"

struct kxpxmap;

// Event hook: receives the events a widget emits instead of the queue.
using kxhook = void (*)(void *hookobj, int id, kxarg a, kxarg b, kxarg c);
using kxcallback = void (*)();

// Ids of the header.
constexpr int KX_WIDGET_IDS = 15;

// Registration flags of KX_REQ_REGISTER.
enum : int {
    KX_REG_MOUSE = 0x01,
    KX_REG_FOCUSABLE = 0x02,
    KX_REG_HOVER = 0x04,
    KX_REG_SCROLLS = 0x08,
    KX_REG_WANTS_TAB = 0x10,
};

// Indexes of the per-kind ids of the header (id 0 is the main id).
enum : int {
    KX_ID_MAIN = 0,
    KX_ID_LDOWN = 1,
    KX_ID_LUP = 2,
    KX_ID_MDOWN = 3,
    KX_ID_MUP = 4,
    KX_ID_RDOWN = 5,
    KX_ID_RUP = 6,
    KX_ID_LDOUBLE = 7,
    KX_ID_RDOUBLE = 8,
    KX_ID_MOTION = 9,
    KX_ID_WHEEL_UP = 12,
    KX_ID_WHEEL_DOWN = 13,
};

// Position and size of a widget, resolved against its container from the
// values of its attribute string.
struct kxgeometry {
    int x = 0, y = 0, xs = 0, ys = 0;
    int minxs = 0, minys = 0;
    double xval = -1.0, yval = 0.0, xsval = 0.0, ysval = 0.0;
    int maxxs = 0, maxys = 0;
    std::uint8_t x_pixels = 1, y_pixels = 1, xs_pixels = 1, ys_pixels = 1;
    std::uint8_t x_notpercent = 1, y_notpercent = 1;
    int container_xs = 0, container_ys = 0;
};

// The common header that begins every widget, view and window record.
struct kxwidget {
    std::array<int, KX_WIDGET_IDS> ids{};
    int font = KX_FONT_DEFAULT;
    std::array<int, KX_GUI_COLOURS> palette{};
    int frame = 0;
    int bgcolor = 0, transcolor = 0, textcolor = 0;
    std::array<kxarg, 3> last{};  // arguments of the last emitted event
    const char *const *xpm = nullptr;
    void *parent = nullptr;
    kxhandler parent_handler = nullptr;
    void *hook_obj = nullptr;
    kxhook hook = nullptr;
    kxcallback on_activate = nullptr;
    int index = -1;  // registration index in the parent
    std::uint8_t general = 0, hover = 0, grey = 0, created = 0, focused = 0, enabled = 0,
                 nofocus = 0, grabbing = 0;
    kxgeometry geom;
    kxpxmap *parent_pixmap = nullptr;
};

// Initialises the header: new ids, default font and colours, flags cleared,
// enabled and the general flag set.
void kxwidget_init(kxwidget *w);
// The same for a widget created again: it keeps the ids it had, so the
// application's comparisons stay valid.
void kxwidget_reinit(kxwidget *w);
// Reports an activation to the application (or the hook); id 0 is the main id.
void kxwidget_emit(kxwidget *w, int id, kxarg a = 0, kxarg b = 0, kxarg c = 0);
// Sends a request to the widget's container.
template <class... A> inline kxarg kxwidget_request(kxwidget *w, int code, A... a)
{
    return kxsend(w->parent_handler, w->parent, code, a...);
}
// Registers the widget's rectangle with its container and keeps the index.
int kxwidget_register(kxwidget *w, kxhandler self, int flags);
void kxwidget_unregister(kxwidget *w);
// Copies the widget's rectangle, enlarged by 2 on every side, to the screen.
void kxwidget_update(kxwidget *w);
// Asks the container for the keyboard focus (enabled, focusable widgets only).
bool kxwidget_askfocus(kxwidget *w);
