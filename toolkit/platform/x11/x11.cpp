// The X11 host: top-level windows that follow the toolkit's window styles,
// and X events turned into the host messages of the shared window procedure.
#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/cursorfont.h>
#include <X11/keysym.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/posix/wakefd.h"
#include "platform/x11/x11host.h"

int x11_last_error = 0;

namespace {

struct KeysymRow {
    KeySym sym;
    kxhostkey key;
};

constexpr std::array<KeysymRow, 38> x11_keys{{
    {XK_Tab, kxhostkey::tab},         {XK_ISO_Left_Tab, kxhostkey::tab},
    {XK_Return, kxhostkey::enter},    {XK_KP_Enter, kxhostkey::enter},
    {XK_Shift_L, kxhostkey::shift},   {XK_Shift_R, kxhostkey::shift},
    {XK_Control_L, kxhostkey::ctrl},  {XK_Control_R, kxhostkey::ctrl},
    {XK_Alt_L, kxhostkey::alt},       {XK_Alt_R, kxhostkey::alt},
    {XK_Escape, kxhostkey::escape},   {XK_space, kxhostkey::space},
    {XK_Prior, kxhostkey::pgup},      {XK_Next, kxhostkey::pgdown},
    {XK_End, kxhostkey::end},         {XK_Home, kxhostkey::home},
    {XK_Left, kxhostkey::left},       {XK_Up, kxhostkey::up},
    {XK_Right, kxhostkey::right},     {XK_Down, kxhostkey::down},
    {XK_Insert, kxhostkey::insert},   {XK_Delete, kxhostkey::del},
    {XK_KP_Insert, kxhostkey::insert}, {XK_KP_Delete, kxhostkey::del},
    {XK_F1, kxhostkey::f1},           {XK_F2, kxhostkey::f2},
    {XK_F3, kxhostkey::f3},           {XK_F4, kxhostkey::f4},
    {XK_F5, kxhostkey::f5},           {XK_F6, kxhostkey::f6},
    {XK_F7, kxhostkey::f7},           {XK_F8, kxhostkey::f8},
    {XK_F9, kxhostkey::f9},           {XK_F10, kxhostkey::f10},
    {XK_F11, kxhostkey::f11},         {XK_F12, kxhostkey::f12},
    {XK_ISO_Level3_Shift, kxhostkey::alt}, {XK_Meta_L, kxhostkey::alt},
}};

// _MOTIF_WM_HINTS: flags, functions, decorations, input mode, status.
constexpr long x11_mwm_functions = 1, x11_mwm_decorations = 2;
constexpr long x11_func_resize = 2, x11_func_move = 4, x11_func_minimize = 8,
               x11_func_maximize = 16, x11_func_close = 32;
constexpr long x11_decor_border = 2, x11_decor_resizeh = 4, x11_decor_title = 8,
               x11_decor_menu = 16, x11_decor_minimize = 32, x11_decor_maximize = 64;
constexpr long x11_iconic_state = 3;  // WM_STATE

kxhostkey x11_hostkey(KeySym sym)
{
    for (const KeysymRow &r : x11_keys)
        if (r.sym == sym)
            return r.key;
    return kxhostkey::other;
}

// The connection is gone.  Returning from both handlers leaves the display
// marked dead instead of ending the process; the host then makes no more X
// calls and the pump tells every window to close, so that the program ends
// through its own close path and keeps what it saves there.
int x11_ioerror(Display *)
{
    std::printf("x11: connection to the display lost\n");
    std::fflush(stdout);
    return 0;
}

void x11_ioexit(Display *, void *host) { static_cast<X11 *>(host)->dead = true; }

int x11_error(Display *, XErrorEvent *e)
{
    x11_last_error = e->error_code;
    return 0;
}

bool x11_native_layout(Visual *v, Display *dpy, int depth)
{
    if (v->c_class != TrueColor || (depth != 24 && depth != 32) || v->red_mask != 0xFF0000 ||
        v->green_mask != 0xFF00 || v->blue_mask != 0xFF)
        return false;
    int n = 0;
    XPixmapFormatValues *f = XListPixmapFormats(dpy, &n);
    bool ok = false;
    for (int i = 0; i < n; i++)
        if (f[i].depth == depth)
            ok = f[i].bits_per_pixel == 32;
    if (f)
        XFree(f);
    return ok;
}

// Reads up to count 32-bit items of a property; false when it is not set.
bool x11_longs(Display *dpy, Window w, Atom prop, Atom type, long *out, unsigned long count,
               unsigned long *got = nullptr)
{
    Atom actual;
    int format = 0;
    unsigned long n = 0, after = 0;
    unsigned char *data = nullptr;
    bool ok = XGetWindowProperty(dpy, w, prop, 0, static_cast<long>(count), False, type, &actual,
                                 &format, &n, &after, &data) == Success &&
              data && format == 32 && n > 0;
    if (ok) {
        const long *v = reinterpret_cast<const long *>(data);
        for (unsigned long i = 0; i < n && i < count; i++)
            out[i] = v[i];
        if (got)
            *got = n;
    }
    if (data)
        XFree(data);
    return ok;
}

} // namespace

bool X11::open()
{
    const char *display = std::getenv("DISPLAY");
    dpy = XOpenDisplay(nullptr);
    if (!dpy) {
        std::printf("x11: cannot open display \"%s\"\n", display ? display : "");
        return false;
    }
    scr = DefaultScreen(dpy);
    visual = DefaultVisual(dpy, scr);
    depth = DefaultDepth(dpy, scr);
    if (!x11_native_layout(visual, dpy, depth)) {
        std::printf("x11: the display needs a 24-bit TrueColor visual (depth %d)\n", depth);
        XCloseDisplay(dpy);
        dpy = nullptr;
        return false;
    }
    XSetIOErrorHandler(x11_ioerror);
    XSetIOErrorExitHandler(dpy, x11_ioexit, this);
    dead = false;
    XSetErrorHandler(x11_error);
    // Held keys repeat as presses only, as on other hosts.
    XkbSetDetectableAutoRepeat(dpy, True, nullptr);
    gc = DefaultGC(dpy, scr);
    auto atom = [this](const char *n) { return XInternAtom(dpy, n, False); };
    wm_delete = atom("WM_DELETE_WINDOW");
    wm_protocols = atom("WM_PROTOCOLS");
    wm_state = atom("WM_STATE");
    net_workarea = atom("_NET_WORKAREA");
    net_wm_name = atom("_NET_WM_NAME");
    utf8 = atom("UTF8_STRING");
    net_wm_state = atom("_NET_WM_STATE");
    net_state_above = atom("_NET_WM_STATE_ABOVE");
    net_state_fullscreen = atom("_NET_WM_STATE_FULLSCREEN");
    net_state_hidden = atom("_NET_WM_STATE_HIDDEN");
    net_frame_extents = atom("_NET_FRAME_EXTENTS");
    motif_hints = atom("_MOTIF_WM_HINTS");
    net_wm_pid = atom("_NET_WM_PID");
    net_wm_icon = atom("_NET_WM_ICON");
    net_wm_ping = atom("_NET_WM_PING");
    clipboard_atom = atom("CLIPBOARD");
    targets = atom("TARGETS");
    text_atom = atom("TEXT");
    clip_property = atom("KX_SELECTION");
    incr = atom("INCR");
    arrow = XCreateFontCursor(dpy, XC_left_ptr);
    hand = XCreateFontCursor(dpy, XC_hand2);
    shm_probe();
    return true;
}

void X11::close()
{
    if (!dpy)
        return;
    for (X11Window &w : windows) {
        if (w.shm)
            shm_forget(w.shm);  // the pixmap keeps its pixels until it goes
        enlarged_free(w);
        if (!dead)
            XDestroyWindow(dpy, w.xid);
    }
    windows.clear();
    if (clip_window && !dead)
        XDestroyWindow(dpy, clip_window);
    clip_window = 0;
    main_window = 0;
    queued.clear();
    transfers.clear();
    if (!dead) {
        XFreeCursor(dpy, arrow);
        XFreeCursor(dpy, hand);
    }
    // A dead display is still closed: that frees its memory without a word
    // to the server.
    kxposix_poll_forget(ConnectionNumber(dpy));
    XCloseDisplay(dpy);
    dpy = nullptr;
}

kxscreeninfo X11::screen()
{
    kxscreeninfo s;
    s.width = DisplayWidth(dpy, scr);
    s.height = DisplayHeight(dpy, scr);
    s.work_width = s.width, s.work_height = s.height;
    s.border = x11_border, s.caption = x11_caption;
    s.depth = depth;
    long v[4] = {};
    if (x11_longs(dpy, RootWindow(dpy, scr), net_workarea, XA_CARDINAL, v, 4) && v[2] > 0 &&
        v[3] > 0) {
        s.work_x = static_cast<int>(v[0]), s.work_y = static_cast<int>(v[1]);
        s.work_width = static_cast<int>(v[2]), s.work_height = static_cast<int>(v[3]);
    }
    // A window manager tells its frame: left, right, top, bottom; the top
    // holds the border and the caption.
    for (const X11Window &w : windows) {
        long e[4] = {};
        unsigned long n = 0;
        if (x11_longs(dpy, w.xid, net_frame_extents, XA_CARDINAL, e, 4, &n) && n == 4 &&
            e[2] > e[0]) {
            s.border = static_cast<int>(e[0]);
            s.caption = static_cast<int>(e[2] - e[0]);
            break;
        }
    }
    return s;
}

// GDK_SCALE is the user's own word; else the desktop's Xft.dpi, as the X
// resources held it when the display was opened.
int X11::scale()
{
    if (int s = kxscale_parse("GDK_SCALE", std::getenv("GDK_SCALE")))
        return s;
    if (const char *r = XResourceManagerString(dpy))
        if (int s = kxscale_fromresources(r))
            return s;
    return 1;
}

X11Window *X11::find(Window xid)
{
    for (X11Window &w : windows)
        if (w.xid == xid)
            return &w;
    return nullptr;
}

// Titles are ISO 8859-1 in the toolkit, which is what WM_NAME holds;
// _NET_WM_NAME wants UTF-8.
void X11::set_title(Window xid, const char *title)
{
    std::string u = x11_latin1_to_utf8(title);
    XStoreName(dpy, xid, title);
    XChangeProperty(dpy, xid, net_wm_name, utf8, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char *>(u.data()), static_cast<int>(u.size()));
}

namespace {

// The instance part of WM_CLASS: RESOURCE_NAME where set, else the name of
// the program's file.
std::string x11_instance()
{
    if (const char *r = std::getenv("RESOURCE_NAME"); r && *r)
        return r;
    char path[4096];
    kxsys_module_path(path, sizeof path);
    const char *slash = std::strrchr(path, '/');
    std::string name = slash ? slash + 1 : path;
    return name.empty() ? "kx9d" : name;
}

} // namespace

// What lets a desktop tell whose window this is: the class, the process and
// its machine (for xdotool search --pid, a task bar's grouping, a window
// manager's kill of a hung client) and the icon.
void X11::set_identity(Window xid)
{
    std::string instance = x11_instance();
    std::string cls = kxplatform_class();
    XClassHint hint{instance.data(), cls.data()};
    XSetClassHint(dpy, xid, &hint);
    long pid = static_cast<long>(getpid());
    XChangeProperty(dpy, xid, net_wm_pid, XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<unsigned char *>(&pid), 1);
    char host[256] = {};
    if (gethostname(host, sizeof host - 1) == 0 && host[0])
        XChangeProperty(dpy, xid, XA_WM_CLIENT_MACHINE, XA_STRING, 8, PropModeReplace,
                        reinterpret_cast<unsigned char *>(host),
                        static_cast<int>(std::strlen(host)));
    int width = 0, height = 0;
    const std::uint32_t *argb = nullptr;
    if (kxplatform_icon(&width, &height, &argb)) {
        // Format 32 means C longs on the client side, whatever their size.
        std::vector<long> data{width, height};
        data.insert(data.end(), argb, argb + static_cast<std::size_t>(width) * height);
        XChangeProperty(dpy, xid, net_wm_icon, XA_CARDINAL, 32, PropModeReplace,
                        reinterpret_cast<unsigned char *>(data.data()),
                        static_cast<int>(data.size()));
    }
}

// Window-manager hints for the toolkit's styles.  Everything here is only
// advice: with no window manager the window is simply where it was made.
void X11::set_style(Window xid, const kxwinstyle &st, bool titled, const kxllgui_window *w,
                    int x, int y, int width, int height)
{
    XSizeHints *hints = XAllocSizeHints();
    hints->flags = PPosition | USPosition;
    hints->x = x, hints->y = y;
    if (st.noresize || st.popup || st.fullscreen) {
        hints->flags |= PMinSize | PMaxSize;
        hints->min_width = hints->max_width = width;
        hints->min_height = hints->max_height = height;
    } else if (w->minwidth > 0 || w->minheight > 0) {
        hints->flags |= PMinSize;
        hints->min_width = w->minwidth * w->scale;
        hints->min_height = w->minheight * w->scale;
    }
    // Sizes in whole pixmap pixels.
    if (w->scale > 1) {
        hints->flags |= PResizeInc | PBaseSize;
        hints->width_inc = hints->height_inc = w->scale;
        hints->base_width = hints->base_height = 0;
    }
    XSetWMNormalHints(dpy, xid, hints);
    XFree(hints);
    // A window manager pings to tell a hung program from a busy one.
    Atom protocols[] = {wm_delete, net_wm_ping};
    XSetWMProtocols(dpy, xid, protocols, 2);
    set_identity(xid);

    bool resizable = !st.noresize && !st.popup && !st.fullscreen;
    long mwm[5] = {x11_mwm_functions | x11_mwm_decorations, x11_func_move, 0, 0, 0};
    if (!st.fullscreen)
        mwm[2] = x11_decor_border;
    if (titled)
        mwm[2] |= x11_decor_title;
    if (resizable)
        mwm[1] |= x11_func_resize, mwm[2] |= x11_decor_resizeh;
    if (st.sysmenu) {
        mwm[1] |= x11_func_close | x11_func_minimize;
        mwm[2] |= x11_decor_menu | x11_decor_minimize;
        if (st.maximizebox && resizable)
            mwm[1] |= x11_func_maximize, mwm[2] |= x11_decor_maximize;
    }
    XChangeProperty(dpy, xid, motif_hints, motif_hints, 32, PropModeReplace,
                    reinterpret_cast<unsigned char *>(mwm), 5);

    Atom states[2];
    int n = 0;
    if (st.modal)
        states[n++] = net_state_above;
    if (st.fullscreen)
        states[n++] = net_state_fullscreen;
    if (n)
        XChangeProperty(dpy, xid, net_wm_state, XA_ATOM, 32, PropModeReplace,
                        reinterpret_cast<unsigned char *>(states), n);
    // Modal windows and popups belong to the main window.
    if ((st.modal || st.popup) && main_window)
        XSetTransientForHint(dpy, xid, main_window);
}

std::uintptr_t X11::create_window(kxllgui_window *w, int x, int y, int width, int height,
                                  const kxwinstyle &style)
{
    XSetWindowAttributes a{};
    a.background_pixel = BlackPixel(dpy, scr);
    a.override_redirect = style.popup;
    a.event_mask = ExposureMask | StructureNotifyMask | FocusChangeMask | KeyPressMask |
                   KeyReleaseMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask |
                   PropertyChangeMask;
    Window xid = XCreateWindow(dpy, RootWindow(dpy, scr), x, y, static_cast<unsigned>(width),
                               static_cast<unsigned>(height), 0, CopyFromParent, InputOutput,
                               CopyFromParent, CWBackPixel | CWOverrideRedirect | CWEventMask, &a);
    if (!xid)
        return 0;
    bool titled = !style.popup && !style.fullscreen && w->title[0];
    set_style(xid, style, titled, w, x, y, width, height);
    set_title(xid, w->title);
    XDefineCursor(dpy, xid, hand_on ? hand : arrow);
    XMapRaised(dpy, xid);
    if (style.popup)
        XGrabPointer(dpy, xid, False, ButtonPressMask | ButtonReleaseMask | PointerMotionMask,
                     GrabModeAsync, GrabModeAsync, None, None, CurrentTime);
    XFlush(dpy);
    if (!style.popup && !style.modal)
        main_window = xid;
    windows.push_back({xid, w, width, height});
    // The new pixmap holds nothing yet, as a new segment.  A scaled window
    // shows an enlarged copy instead, which has a segment of its own.
    if (use_shm && w->scale == 1)
        shm_adopt(windows.back(), w, false);
    return xid;
}

void X11::destroy_window(kxllgui_window *w)
{
    Window xid = static_cast<Window>(w->handle);
    if (X11Window *xw = find(xid)) {
        if (xw->shm)
            shm_forget(xw->shm);
        enlarged_free(*xw);
    }
    std::erase_if(windows, [xid](const X11Window &x) { return x.xid == xid; });
    std::erase_if(queued, [xid](const kxhostmsg &m) { return m.handle == xid; });
    if (main_window == xid)
        main_window = 0;
    XDestroyWindow(dpy, xid);
    XFlush(dpy);
}

void X11::client_origin(const kxllgui_window *w, int *x, int *y)
{
    Window child;
    XTranslateCoordinates(dpy, static_cast<Window>(w->handle), RootWindow(dpy, scr), 0, 0, x, y,
                          &child);
}

void X11::grab(kxllgui_window *w)
{
    XUngrabPointer(dpy, CurrentTime);
    XGrabPointer(dpy, static_cast<Window>(w->handle), False,
                 ButtonPressMask | ButtonReleaseMask | PointerMotionMask, GrabModeAsync,
                 GrabModeAsync, None, None, CurrentTime);
    XFlush(dpy);
}

void X11::ungrab(kxllgui_window *)
{
    XUngrabPointer(dpy, CurrentTime);
    XFlush(dpy);
}

void X11::restore(kxllgui_window *w)
{
    XMapRaised(dpy, static_cast<Window>(w->handle));
    XFlush(dpy);
}

void X11::cursor(bool on)
{
    if (on == hand_on)
        return;
    hand_on = on;
    for (X11Window &w : windows)
        XDefineCursor(dpy, w.xid, on ? hand : arrow);
    XFlush(dpy);
}

// Minimising is seen once: an unmap, WM_STATE turning iconic or
// _NET_WM_STATE_HIDDEN, whichever comes first; mapping again ends it.
bool X11::minimised(X11Window *w, kxhostmsg *m)
{
    if (!w || w->iconic)
        return false;
    w->iconic = true;
    *m = {kxmsgtype::size, w->xid, 0, 0, 1};
    return true;
}

bool X11::property_change(const XPropertyEvent &p, kxhostmsg *m)
{
    X11Window *w = find(p.window);
    if (!w || p.state != PropertyNewValue)
        return false;
    long v[16] = {};
    unsigned long n = 0;
    if (p.atom == wm_state && x11_longs(dpy, w->xid, wm_state, wm_state, v, 1) &&
        v[0] == x11_iconic_state)
        return minimised(w, m);
    if (p.atom == net_wm_state && x11_longs(dpy, w->xid, net_wm_state, XA_ATOM, v, 16, &n))
        for (unsigned long i = 0; i < n && i < 16; i++)
            if (static_cast<Atom>(v[i]) == net_state_hidden)
                return minimised(w, m);
    return false;
}

bool X11::translate(XEvent &e, kxhostmsg *m)
{
    *m = kxhostmsg{};
    m->handle = e.xany.window;
    switch (e.type) {
    case Expose:
        *m = {kxmsgtype::paint, e.xexpose.window, e.xexpose.x, e.xexpose.y, e.xexpose.width,
              e.xexpose.height};
        return true;
    case ConfigureNotify: {
        X11Window *w = find(e.xconfigure.window);
        if (!w || (w->width == e.xconfigure.width && w->height == e.xconfigure.height))
            return false;
        w->width = e.xconfigure.width, w->height = e.xconfigure.height;
        *m = {kxmsgtype::size, w->xid, w->width, w->height};
        return true;
    }
    case UnmapNotify:
        return minimised(find(e.xunmap.window), m);
    case MapNotify:
        if (X11Window *w = find(e.xmap.window))
            w->iconic = false;
        return false;
    case PropertyNotify:
        if (clip_step(e.xproperty))
            return false;
        return property_change(e.xproperty, m);
    case FocusIn:
    case FocusOut:
        // Grabs move no focus.
        if (e.xfocus.mode == NotifyGrab || e.xfocus.mode == NotifyUngrab)
            return false;
        m->type = e.type == FocusIn ? kxmsgtype::focus_in : kxmsgtype::focus_out;
        return true;
    case ClientMessage:
        if (e.xclient.message_type != wm_protocols || e.xclient.format != 32)
            return false;
        if (static_cast<Atom>(e.xclient.data.l[0]) == net_wm_ping) {
            answer_ping(e.xclient);
            return false;
        }
        if (static_cast<Atom>(e.xclient.data.l[0]) == wm_delete) {
            m->type = kxmsgtype::close;
            return true;
        }
        return false;
    case MotionNotify:
        *m = {kxmsgtype::motion, e.xmotion.window, e.xmotion.x, e.xmotion.y};
        return true;
    case ButtonPress:
        last_time = e.xbutton.time;
        return button_press(e.xbutton, m);
    case ButtonRelease:
        last_time = e.xbutton.time;
        if (e.xbutton.button < 1 || e.xbutton.button > 3)
            return false;
        *m = {kxmsgtype::button_up, e.xbutton.window, static_cast<int>(e.xbutton.button),
              e.xbutton.x, e.xbutton.y};
        return true;
    case MappingNotify:
        if (e.xmapping.request != MappingPointer)
            XRefreshKeyboardMapping(&e.xmapping);
        return false;
    case SelectionRequest:
        clip_request(e.xselectionrequest);
        return false;
    case SelectionClear:
        if (e.xselectionclear.window == clip_window && e.xselectionclear.selection == XA_PRIMARY)
            primary = kxclipstore{};
        else if (e.xselectionclear.window == clip_window)
            clipboard = kxclipstore{};
        return false;
    default:
        return false;
    }
}

// The answer is the ping itself, sent back to the root window.  It is
// given while the pump runs, so a program that hangs does not answer.
void X11::answer_ping(const XClientMessageEvent &ping)
{
    XClientMessageEvent pong = ping;
    Window root = RootWindow(dpy, scr);
    pong.window = root;
    XSendEvent(dpy, root, False, SubstructureNotifyMask | SubstructureRedirectMask,
               reinterpret_cast<XEvent *>(&pong));
    XFlush(dpy);
}

bool X11::button_press(const XButtonEvent &b, kxhostmsg *m)
{
    if (b.button == Button4 || b.button == Button5) {
        *m = {kxmsgtype::wheel, b.window, b.button == Button4 ? x11_wheel_delta : -x11_wheel_delta,
              b.x_root, b.y_root};
        return true;
    }
    if (b.button < 1 || b.button > 3)
        return false;
    bool dbl = b.window == last_window && b.button == last_button && last_press &&
               b.time - last_press <= static_cast<Time>(x11_double_click_ms) &&
               std::abs(b.x - last_x) <= x11_double_click_slop &&
               std::abs(b.y - last_y) <= x11_double_click_slop;
    *m = {dbl ? kxmsgtype::button_double : kxmsgtype::button_down, b.window,
          static_cast<int>(b.button), b.x, b.y};
    // A third press starts a new pair.
    last_press = dbl ? 0 : b.time;
    last_button = b.button, last_x = b.x, last_y = b.y, last_window = b.window;
    return true;
}

// A key of the table gives its key message; any other key its character in
// ISO 8859-1 (XLookupString's encoding), as the window procedure expects.
void X11::key_event(XKeyEvent &k, bool down)
{
    last_time = k.time;
    char buf[8];
    KeySym sym = 0;
    int n = XLookupString(&k, buf, sizeof buf, &sym, nullptr);
    kxhostkey key = x11_hostkey(sym);
    if (key == kxhostkey::other && n == 0)
        key = x11_hostkey(XLookupKeysym(&k, 0));
    if (key != kxhostkey::other)
        queued.push_back({down ? kxmsgtype::keydown : kxmsgtype::keyup, k.window,
                          static_cast<int>(key)});
    else if (down && n == 1)
        queued.push_back({kxmsgtype::character, k.window, static_cast<unsigned char>(buf[0])});
}

bool X11::dispatch()
{
    kxhostmsg m;
    if (!next_message(&m))
        return false;
    kxwinproc(m);
    return true;
}

bool X11::next_message(kxhostmsg *m)
{
    // The wait has just seen the connection quiet and nothing was asked
    // since: no event can have come but what the next wait will see.
    bool quiet = quiet_request && quiet_request == NextRequest(dpy) && !XQLength(dpy);
    quiet_request = 0;
    if (quiet && queued.empty()) {
        idle_request = NextRequest(dpy);
        return false;
    }
    idle_request = 0;
    while (queued.empty() && XPending(dpy)) {
        XEvent e;
        XNextEvent(dpy, &e);
        if (e.type == KeyPress || e.type == KeyRelease)
            key_event(e.xkey, e.type == KeyPress);
        else if (translate(e, m))
            return true;
    }
    if (queued.empty()) {
        // Nothing waits and everything was sent: a wait that follows with no
        // request in between need not ask the server again.
        idle_request = NextRequest(dpy);
        return false;
    }
    *m = queued.front();
    queued.pop_front();
    return true;
}

void X11::wait(int ms)
{
    if (!queued.empty())
        return;
    // XPending sends what is buffered and reads what has come.
    bool asked = idle_request && idle_request == NextRequest(dpy) && !XQLength(dpy);
    if (!asked && XPending(dpy))
        return;
    // The wait ends at the next due timer or when a serial device that is
    // read has bytes, so an idle program sleeps until its next timer or
    // input.
    pollfd p[2 + KX_WAIT_SERIAL] = {{ConnectionNumber(dpy), POLLIN, 0},
                                       {kxposix_wakefd(), POLLIN, 0}};
    if (p[1].fd < 0) {
        poll(p, 1, std::min(ms, 1));  // no base tick: nothing would wake it
        return;
    }
    if (kxposix_wait(p, 2, ms) < 0)
        return;
    quiet_request = p[0].revents ? 0 : NextRequest(dpy);
    if (p[1].revents & POLLIN)
        kxposix_drain_wakefd();
}

namespace {
X11 the_host;
}

kxhost *kxhost_x11() { return &the_host; }

void X11::retitle(kxllgui_window *w)
{
    set_title(static_cast<Window>(w->handle), w->title);
    XFlush(dpy);
}
