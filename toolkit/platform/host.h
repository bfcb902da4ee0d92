// What a display host provides.  The platform layer keeps everything that is
// the same on every host (the window table, the window procedure that turns
// host messages into toolkit events, the blit rules, metric and colour names)
// and asks the host only for these.  Every entry is pure virtual, so a host
// that forgets one does not build.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/platform.h"

// Positions and sizes in host messages are the screen's pixels; the window
// procedure turns them into the window's logical ones.
enum class kxmsgtype : std::uint8_t {
    size,       // a = client width, b = client height, c = minimised
    focus_in,
    focus_out,
    paint,      // a, b, c, d = rectangle
    close,
    keydown,    // a = kxhostkey
    keyup,      // a = kxhostkey
    character,  // a = character code 1..255 (ISO 8859-1)
    motion,     // a, b = client position
    button_down,    // a = button (1 left, 2 middle, 3 right), b, c = client position
    button_up,
    button_double,
    wheel,      // a = delta (positive away from the user), b, c = screen position
    tray,       // a = button released (1 left, 3 right)
};

// Keys that have a meaning of their own; every other key reaches the toolkit
// through its character.
enum class kxhostkey : int {
    other = 0,
    tab,
    enter,
    shift,
    ctrl,
    alt,
    escape,
    space,
    pgup,
    pgdown,
    end,
    home,
    left,
    up,
    right,
    down,
    insert,
    del,
    f1,
    f2,
    f3,
    f4,
    f5,
    f6,
    f7,
    f8,
    f9,
    f10,
    f11,
    f12,
};

struct kxhostmsg {
    kxmsgtype type = kxmsgtype::paint;
    std::uintptr_t handle = 0;
    int a = 0, b = 0, c = 0, d = 0;
};

struct kxscreeninfo {
    int width = 0, height = 0;
    int work_x = 0, work_y = 0, work_width = 0, work_height = 0;
    int border = 0;   // width of a sizing frame
    int caption = 0;  // height of a caption
    int depth = 24;
    // Colours of the host's own controls, 0xRRGGBB; -1 where the host has
    // none and the toolkit's defaults apply.
    int face = -1, shadow = -1, button_text = -1, grey_text = -1;
};

// Clipboard text kept inside the program, for hosts without a system
// clipboard of their own.
struct kxclipstore {
    std::string text;
    bool held = false;
    void put(const std::string &t)
    {
        text = t;
        held = true;
    }
    bool get(std::string *out) const
    {
        if (held)
            *out = text;
        return held;
    }
};

struct kxhost {
    virtual ~kxhost() = default;
    virtual const char *name() const = 0;
    // Connects to the display; prints one line and returns false on failure.
    virtual bool open() = 0;
    virtual void close() = 0;
    // In the screen's pixels; the front divides by the scale.
    virtual kxscreeninfo screen() = 0;
    // The scale the desktop asks for (1 when it asks for none).
    virtual int scale() = 0;
    // Creates and shows a window whose client area is width x height screen
    // pixels at outer position x, y (w->scale and w->minwidth, w->minheight
    // are set); returns its handle, 0 on failure.
    virtual std::uintptr_t create_window(kxllgui_window *w, int x, int y, int width, int height,
                                         const kxwinstyle &style) = 0;
    virtual void destroy_window(kxllgui_window *w) = 0;
    // Shows the window's title (w->title), which has changed.
    virtual void retitle(kxllgui_window *w) = 0;
    // Copies a rectangle of the window pixmap (already clipped; pixmap
    // pixels) to the screen, each pixel as a w->scale square.
    virtual void show(kxllgui_window *w, int x, int y, int width, int height, int sx, int sy) = 0;
    // Screen position of the client area's top-left corner, screen pixels.
    virtual void client_origin(const kxllgui_window *w, int *x, int *y) = 0;
    virtual void grab(kxllgui_window *w) = 0;
    virtual void ungrab(kxllgui_window *w) = 0;
    virtual void restore(kxllgui_window *w) = 0;
    virtual void cursor(bool hand) = 0;
    // Takes one waiting message and hands it to the window procedure
    // (kxwinproc); false when none waits.  Win32 calls its window procedure
    // itself, so each host dispatches rather than returning messages.
    virtual bool dispatch() = 0;
    virtual void wait(int ms) = 0;
    // True once the connection to the display is gone; the front then makes
    // no more calls but close.
    virtual bool lost() const = 0;
    virtual void clip_put(const std::string &text) = 0;
    virtual bool clip_get(std::string *text) = 0;
    // The text offered as the primary selection (a middle click elsewhere
    // pastes it), where the host has one; the others keep it to themselves.
    virtual void primary_put(const std::string &text) = 0;
};

kxhost *kxhost_headless();
#ifdef _WIN32
kxhost *kxhost_win32();
#else
kxhost *kxhost_x11();
#endif

// The host's requests to end the program: caught from the first start of
// the platform on (POSIX signals, Win32 console events), each one seen once
// by kxsys_endrequested.
void kxsys_catchend();
bool kxsys_endrequested();

// Screen pixels to logical ones: a position rounds down (towards minus
// infinity, for a pointer left of a window), a size up, so that a window
// of an odd size is covered whole.
constexpr int kxscale_down(int v, int scale)
{
    if (scale <= 1)
        return v;
    return v >= 0 ? v / scale : -((-v + scale - 1) / scale);
}
constexpr int kxscale_up(int v, int scale)
{
    return scale <= 1 || v <= 0 ? v : (v + scale - 1) / scale;
}
// Enlarges width x height pixels (rows src_stride words apart) into dst
// (rows dst_stride apart), each pixel a scale x scale square.
void kxscale_enlarge(const std::uint32_t *src, std::size_t src_stride, std::uint32_t *dst,
                     std::size_t dst_stride, int width, int height, int scale);
// The scale of a window on a screen of dpi dots per inch: KX_SCALE where
// set, else one step per 96.
int kxplatform_dpiscale(int dpi);
// The client area's top-left on the screen, in screen pixels.
void kxplatwin_device_origin(const kxllgui_window *w, int *x, int *y);

// The window procedure: turns one host message into toolkit events for the
// window it belongs to.
void kxwinproc(const kxhostmsg &msg);
// Finds the platform window of a host handle (null when not in the table).
kxllgui_window *kxwintable_find(std::uintptr_t handle);
