// The X11 host: top-level windows whose client area shows the window pixmap
// through XPutImage, and X events turned into the host messages of the
// shared window procedure.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/cursorfont.h>
#include <X11/keysym.h>
#include <poll.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <string>
#include <vector>

#include "platform/host.h"

namespace {

constexpr int x11_double_click_ms = 500;
constexpr int x11_double_click_slop = 4;
constexpr int x11_wheel_delta = 120;
// Used where no window manager tells the size of its frames.
constexpr int x11_border = 4;
constexpr int x11_caption = 20;

struct X11Window {
    Window xid = 0;
    kxllgui_window *owner = nullptr;
    int width = 0, height = 0;
};

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

kxhostkey x11_hostkey(KeySym sym)
{
    for (const KeysymRow &r : x11_keys)
        if (r.sym == sym)
            return r.key;
    return kxhostkey::other;
}

int x11_ioerror(Display *)
{
    std::printf("x11: connection to the display lost\n");
    std::fflush(stdout);
    std::_Exit(1);
}

struct X11 final : kxhost {
    Display *dpy = nullptr;
    int scr = 0;
    Visual *visual = nullptr;
    int depth = 24;
    GC gc = nullptr;
    Atom wm_delete = 0, wm_protocols = 0, net_workarea = 0, net_wm_name = 0, utf8 = 0;
    std::vector<X11Window> windows;
    Cursor arrow = 0, hand = 0;
    bool hand_on = false;
    kxclipstore clipboard;
    std::deque<kxhostmsg> queued;  // one X event may give two messages
    // Double clicks are made here, as X has none.
    Time last_press = 0;
    unsigned last_button = 0;
    int last_x = 0, last_y = 0;
    Window last_window = 0;

    const char *name() const override { return "x11"; }

    bool open() override
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
        if (visual->c_class != TrueColor || (depth != 24 && depth != 32)) {
            std::printf("x11: the display needs a 24-bit TrueColor visual (depth %d)\n", depth);
            XCloseDisplay(dpy);
            dpy = nullptr;
            return false;
        }
        XSetIOErrorHandler(x11_ioerror);
        gc = DefaultGC(dpy, scr);
        wm_delete = XInternAtom(dpy, "WM_DELETE_WINDOW", False);
        wm_protocols = XInternAtom(dpy, "WM_PROTOCOLS", False);
        net_workarea = XInternAtom(dpy, "_NET_WORKAREA", False);
        net_wm_name = XInternAtom(dpy, "_NET_WM_NAME", False);
        utf8 = XInternAtom(dpy, "UTF8_STRING", False);
        arrow = XCreateFontCursor(dpy, XC_left_ptr);
        hand = XCreateFontCursor(dpy, XC_hand2);
        return true;
    }

    void close() override
    {
        if (!dpy)
            return;
        for (X11Window &w : windows)
            XDestroyWindow(dpy, w.xid);
        windows.clear();
        XFreeCursor(dpy, arrow);
        XFreeCursor(dpy, hand);
        XCloseDisplay(dpy);
        dpy = nullptr;
    }

    kxscreeninfo screen() override
    {
        kxscreeninfo s;
        s.width = DisplayWidth(dpy, scr);
        s.height = DisplayHeight(dpy, scr);
        s.work_width = s.width, s.work_height = s.height;
        s.border = x11_border, s.caption = x11_caption;
        s.depth = depth;
        Atom type;
        int format;
        unsigned long n = 0, after = 0;
        unsigned char *data = nullptr;
        if (XGetWindowProperty(dpy, RootWindow(dpy, scr), net_workarea, 0, 4, False, XA_CARDINAL,
                               &type, &format, &n, &after, &data) == Success &&
            data && n >= 4 && format == 32) {
            const long *v = reinterpret_cast<const long *>(data);
            s.work_x = static_cast<int>(v[0]), s.work_y = static_cast<int>(v[1]);
            s.work_width = static_cast<int>(v[2]), s.work_height = static_cast<int>(v[3]);
        }
        if (data)
            XFree(data);
        return s;
    }

    X11Window *find(Window xid)
    {
        for (X11Window &w : windows)
            if (w.xid == xid)
                return &w;
        return nullptr;
    }

    // Titles are ISO 8859-1 in the toolkit; _NET_WM_NAME wants UTF-8.
    void set_title(Window xid, const char *title)
    {
        std::string u;
        for (const unsigned char *p = reinterpret_cast<const unsigned char *>(title); *p; p++) {
            if (*p < 0x80) {
                u += static_cast<char>(*p);
            } else {
                u += static_cast<char>(0xC0 | (*p >> 6));
                u += static_cast<char>(0x80 | (*p & 0x3F));
            }
        }
        XStoreName(dpy, xid, title);
        XChangeProperty(dpy, xid, net_wm_name, utf8, 8, PropModeReplace,
                        reinterpret_cast<const unsigned char *>(u.data()),
                        static_cast<int>(u.size()));
    }

    std::uintptr_t create_window(kxllgui_window *w, int x, int y, int width, int height,
                                 const kxwinstyle &style) override
    {
        XSetWindowAttributes a{};
        a.background_pixel = BlackPixel(dpy, scr);
        a.override_redirect = style.popup || style.fullscreen;
        a.event_mask = ExposureMask | StructureNotifyMask | FocusChangeMask | KeyPressMask |
                       KeyReleaseMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask;
        Window xid = XCreateWindow(dpy, RootWindow(dpy, scr), x, y, static_cast<unsigned>(width),
                                   static_cast<unsigned>(height), 0, CopyFromParent, InputOutput,
                                   CopyFromParent, CWBackPixel | CWOverrideRedirect | CWEventMask,
                                   &a);
        if (!xid)
            return 0;
        XSizeHints *hints = XAllocSizeHints();
        hints->flags = PPosition | USPosition;
        hints->x = x, hints->y = y;
        if (style.noresize || style.popup) {
            hints->flags |= PMinSize | PMaxSize;
            hints->min_width = hints->max_width = width;
            hints->min_height = hints->max_height = height;
        }
        XSetWMNormalHints(dpy, xid, hints);
        XFree(hints);
        XSetWMProtocols(dpy, xid, &wm_delete, 1);
        set_title(xid, w->title);
        XDefineCursor(dpy, xid, hand_on ? hand : arrow);
        XMapRaised(dpy, xid);
        if (style.popup)
            XGrabPointer(dpy, xid, False,
                         ButtonPressMask | ButtonReleaseMask | PointerMotionMask, GrabModeAsync,
                         GrabModeAsync, None, None, CurrentTime);
        XFlush(dpy);
        windows.push_back({xid, w, width, height});
        return xid;
    }

    void destroy_window(kxllgui_window *w) override
    {
        Window xid = static_cast<Window>(w->handle);
        std::erase_if(windows, [xid](const X11Window &x) { return x.xid == xid; });
        XDestroyWindow(dpy, xid);
        XFlush(dpy);
    }

    void show(kxllgui_window *w, int x, int y, int width, int height, int sx, int sy) override
    {
        const std::uint32_t *pixels = kxserver_pixels(&w->pixmap);
        if (!pixels)
            return;
        // The server bitmap already holds 0x00RRGGBB words, the layout of a
        // 24-bit TrueColor ZPixmap on this machine: no conversion.
        XImage *img = XCreateImage(dpy, visual, static_cast<unsigned>(depth), ZPixmap, 0,
                                   reinterpret_cast<char *>(const_cast<std::uint32_t *>(pixels)),
                                   static_cast<unsigned>(w->pixmap.width),
                                   static_cast<unsigned>(w->pixmap.height), 32,
                                   w->pixmap.width * 4);
        if (!img)
            return;
        XPutImage(dpy, static_cast<Window>(w->handle), gc, img, sx, sy, x, y,
                  static_cast<unsigned>(width), static_cast<unsigned>(height));
        img->data = nullptr;  // the pixels belong to the pixmap
        XDestroyImage(img);
        XFlush(dpy);
    }

    void client_origin(const kxllgui_window *w, int *x, int *y) override
    {
        Window child;
        XTranslateCoordinates(dpy, static_cast<Window>(w->handle), RootWindow(dpy, scr), 0, 0, x,
                              y, &child);
    }

    void grab(kxllgui_window *w) override
    {
        XUngrabPointer(dpy, CurrentTime);
        XGrabPointer(dpy, static_cast<Window>(w->handle), False,
                     ButtonPressMask | ButtonReleaseMask | PointerMotionMask, GrabModeAsync,
                     GrabModeAsync, None, None, CurrentTime);
    }

    void ungrab(kxllgui_window *) override { XUngrabPointer(dpy, CurrentTime); }

    void restore(kxllgui_window *w) override { XMapRaised(dpy, static_cast<Window>(w->handle)); }

    void cursor(bool on) override
    {
        if (on == hand_on)
            return;
        hand_on = on;
        for (X11Window &w : windows)
            XDefineCursor(dpy, w.xid, on ? hand : arrow);
        XFlush(dpy);
    }

    bool translate(XEvent &e, kxhostmsg *m)
    {
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
            *m = {kxmsgtype::size, e.xunmap.window, 0, 0, 1};
            return true;
        case FocusIn:
            m->type = kxmsgtype::focus_in;
            return true;
        case FocusOut:
            m->type = kxmsgtype::focus_out;
            return true;
        case ClientMessage:
            if (e.xclient.message_type == wm_protocols &&
                static_cast<Atom>(e.xclient.data.l[0]) == wm_delete) {
                m->type = kxmsgtype::close;
                return true;
            }
            return false;
        case MotionNotify:
            *m = {kxmsgtype::motion, e.xmotion.window, e.xmotion.x, e.xmotion.y};
            return true;
        case ButtonPress:
            return button_press(e.xbutton, m);
        case ButtonRelease:
            if (e.xbutton.button > 3)
                return false;
            *m = {kxmsgtype::button_up, e.xbutton.window, static_cast<int>(e.xbutton.button),
                  e.xbutton.x, e.xbutton.y};
            return true;
        default:
            return false;
        }
    }

    bool button_press(const XButtonEvent &b, kxhostmsg *m)
    {
        if (b.button == Button4 || b.button == Button5) {
            *m = {kxmsgtype::wheel, b.window, b.button == Button4 ? x11_wheel_delta : -x11_wheel_delta,
                  b.x_root, b.y_root};
            return true;
        }
        if (b.button > 3)
            return false;
        bool dbl = b.window == last_window && b.button == last_button &&
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

    // A key press gives the key message and, when the key types something,
    // the character; the window procedure sorts out which one counts.
    void key_event(XKeyEvent &k, bool down)
    {
        char buf[8];
        KeySym sym = 0;
        int n = XLookupString(&k, buf, sizeof buf, &sym, nullptr);
        kxhostkey key = x11_hostkey(sym);
        if (key == kxhostkey::other)
            key = x11_hostkey(XLookupKeysym(&k, 0));
        if (key != kxhostkey::other)
            queued.push_back({down ? kxmsgtype::keydown : kxmsgtype::keyup, k.window,
                              static_cast<int>(key)});
        if (down && n == 1)
            queued.push_back({kxmsgtype::character, k.window, static_cast<unsigned char>(buf[0])});
    }

    bool next_message(kxhostmsg *m) override
    {
        while (queued.empty() && XPending(dpy)) {
            XEvent e;
            XNextEvent(dpy, &e);
            if (e.type == KeyPress || e.type == KeyRelease)
                key_event(e.xkey, e.type == KeyPress);
            else if (translate(e, m))
                return true;
        }
        if (queued.empty())
            return false;
        *m = queued.front();
        queued.pop_front();
        return true;
    }

    void wait(int ms) override
    {
        XFlush(dpy);
        if (!queued.empty() || XPending(dpy))
            return;
        pollfd p{ConnectionNumber(dpy), POLLIN, 0};
        poll(&p, 1, ms);
    }

    // Text stays inside the program until the selection protocol is served.
    void clip_put(const std::string &text) override { clipboard.put(text); }
    bool clip_get(std::string *text) override { return clipboard.get(text); }
};

X11 the_host;

} // namespace

kxhost *kxhost_x11() { return &the_host; }
