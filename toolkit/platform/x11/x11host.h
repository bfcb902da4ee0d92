// The X11 host's own record, shared by its files: windows and input
// (x11.cpp), showing pixmaps (x11_blit.cpp) and the CLIPBOARD selection
// (x11_clip.cpp).  Nothing outside this folder includes it.
#pragma once

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#ifdef KX_HAVE_XSHM
#include <X11/extensions/XShm.h>
#include <sys/ipc.h>
#include <sys/shm.h>
#endif

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "platform/host.h"

constexpr int x11_double_click_ms = 500;
constexpr int x11_double_click_slop = 4;
constexpr int x11_wheel_delta = 120;
// Used where no window manager tells the size of its frames.
constexpr int x11_border = 4;
constexpr int x11_caption = 20;
// How long kxclip_gettext waits for the selection owner (for each piece of a
// text that comes in pieces).
constexpr int x11_clip_wait_ms = 1000;
// Texts longer than this go out in pieces of this size (INCR), as other
// clients send them: a client reading a property in one request need not
// take more.
constexpr std::size_t x11_incr_piece = 256 * 1024;
// A client that stops taking pieces for this long has gone away.
constexpr int x11_incr_timeout_ms = 5000;
// The longest text taken from the clipboard.
constexpr std::size_t x11_clip_max = 64 * 1024 * 1024;

// A text on its way to another client in pieces: each time the requestor
// deletes the property the next piece goes out, an empty one ends it.
struct X11Transfer {
    Window requestor = 0;
    Atom property = 0, type = 0;
    std::string data;
    std::size_t sent = 0;
    std::int64_t last = 0;  // kxsys_ticks of the latest step
};

struct X11;

// A shared-memory segment that holds a window pixmap's pixels, so that the
// server reads what the toolkit draws with no copy in between.  The pixmap's
// bitmap owns it and gives it back when it goes (x11_blit.cpp).
struct X11Segment {
    X11 *host = nullptr;  // null once the display is closed
#ifdef KX_HAVE_XSHM
    XShmSegmentInfo info{};
    XImage *image = nullptr;  // null once the server has let go of it
#endif
};

// A window's picture at a scale above 1: its pixmap enlarged, each pixel
// a scale x scale square, in a segment the server reads (or in client
// memory without MIT-SHM).  The pixmap itself stays in client memory.
struct X11Enlarged {
    int width = 0, height = 0;  // screen pixels
    std::uint32_t *pixels = nullptr;
    XImage *image = nullptr;
    // The request after the last put from the segment: until the server
    // has got that far it may still be reading.
    unsigned long put_request = 0;
#ifdef KX_HAVE_XSHM
    XShmSegmentInfo info{};
    bool shm = false;
#endif
};

struct X11Window {
    Window xid = 0;
    kxllgui_window *owner = nullptr;
    int width = 0, height = 0;
    bool iconic = false;
    X11Segment *shm = nullptr;  // the pixmap's segment, if it has one
    X11Enlarged *big = nullptr;  // at a scale above 1
};

struct X11 final : kxhost {
    Display *dpy = nullptr;
    int scr = 0;
    Visual *visual = nullptr;
    int depth = 24;
    GC gc = nullptr;
    Atom wm_delete = 0, wm_protocols = 0, wm_state = 0, net_workarea = 0, net_wm_name = 0,
         utf8 = 0, net_wm_state = 0, net_state_above = 0, net_state_fullscreen = 0,
         net_state_hidden = 0, net_frame_extents = 0, motif_hints = 0, clipboard_atom = 0,
         targets = 0, text_atom = 0, clip_property = 0, incr = 0, net_wm_pid = 0,
         net_wm_icon = 0, net_wm_ping = 0;
    // Set once the connection is gone (see x11_ioerror): no X call may follow.
    bool dead = false;
    std::vector<X11Window> windows;
    Window main_window = 0;  // the latest window that is neither popup nor modal
    Cursor arrow = 0, hand = 0;
    bool hand_on = false;
    std::deque<kxhostmsg> queued;  // one X event may give several messages
    Time last_time = CurrentTime;  // of the latest input event, for the selection
    // Double clicks are made here, as X has none.
    Time last_press = 0;
    unsigned last_button = 0;
    int last_x = 0, last_y = 0;
    Window last_window = 0;
    // Clipboard: what we offer while we own CLIPBOARD, served from a window
    // of our own that no toolkit window's end can take away.
    kxclipstore clipboard, primary;
    Window clip_window = 0;
    std::vector<X11Transfer> transfers;
    bool use_shm = false;
    // The request number at which the last look found no event, and the one
    // at which the last wait found the connection quiet; 0 when anything may
    // have come since.
    unsigned long idle_request = 0;
    unsigned long quiet_request = 0;

    const char *name() const override { return "x11"; }
    bool open() override;
    void close() override;
    kxscreeninfo screen() override;
    int scale() override;
    std::uintptr_t create_window(kxllgui_window *w, int x, int y, int width, int height,
                                 const kxwinstyle &style) override;
    void destroy_window(kxllgui_window *w) override;
    void retitle(kxllgui_window *w) override;
    void show(kxllgui_window *w, int x, int y, int width, int height, int sx, int sy) override;
    void client_origin(const kxllgui_window *w, int *x, int *y) override;
    void grab(kxllgui_window *w) override;
    void ungrab(kxllgui_window *w) override;
    void restore(kxllgui_window *w) override;
    void cursor(bool hand) override;
    bool dispatch() override;
    bool next_message(kxhostmsg *m);
    void wait(int ms) override;
    bool lost() const override { return dead; }
    void clip_put(const std::string &text) override;
    void primary_put(const std::string &text) override;
    bool clip_get(std::string *text) override;

    X11Window *find(Window xid);
    void set_title(Window xid, const char *title);
    void set_identity(Window xid);
    void answer_ping(const XClientMessageEvent &ping);
    void set_style(Window xid, const kxwinstyle &style, bool titled, const kxllgui_window *w,
                   int x, int y, int width, int height);
    bool translate(XEvent &e, kxhostmsg *m);
    bool button_press(const XButtonEvent &b, kxhostmsg *m);
    void key_event(XKeyEvent &k, bool down);
    bool property_change(const XPropertyEvent &p, kxhostmsg *m);
    bool minimised(X11Window *w, kxhostmsg *m);
    // Blit helpers.
    void shm_probe();
    bool shm_adopt(X11Window &xw, kxllgui_window *w, bool keep);
    void shm_forget(X11Segment *seg);
    bool shm_show(X11Window &xw, kxllgui_window *w, int x, int y, int width, int height, int sx,
                  int sy);
    void show_enlarged(X11Window &xw, kxllgui_window *w, int x, int y, int width, int height,
                       int sx, int sy);
    X11Enlarged *enlarged_make(int width, int height);
    void enlarged_free(X11Window &xw);
    // Selection helpers.
    void clip_request(const XSelectionRequestEvent &r);
    void clip_send(Window requestor, Atom property, Atom type, std::string data);
    bool clip_step(const XPropertyEvent &p);
    void clip_window_make();
    bool clip_wait(XEvent *e, Bool (*pred)(Display *, XEvent *, XPointer), XPointer arg);
    bool clip_read(Atom *type, std::string *bytes);
    int clip_fetch(Atom type, std::string *text);
    int clip_fetch_pieces(std::string *bytes, Atom *type);
};

// Set by the error handler: X errors are expected (a requestor that went
// away, a shared-memory segment a remote server cannot reach) and must not
// end the program.
extern int x11_last_error;

std::string x11_latin1_to_utf8(const std::string &in);
std::string x11_utf8_to_latin1(const std::string &in);
// Line ends: X11 clients use LF, the toolkit keeps CR LF.
std::string x11_crlf_to_lf(const std::string &in);
std::string x11_lf_to_crlf(const std::string &in);
