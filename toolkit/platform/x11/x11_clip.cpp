// The clipboard as the CLIPBOARD selection.  While we own it the text is
// served from the in-program store; otherwise the owner is asked and its
// answer awaited for a bounded time.  The toolkit's text is ISO 8859-1;
// other clients get and give UTF-8 or STRING (which is ISO 8859-1 already).
#include <X11/Xatom.h>
#include <poll.h>

#include <cstdio>

#include "platform/x11/x11host.h"

std::string x11_latin1_to_utf8(const std::string &in)
{
    std::string u;
    for (unsigned char c : in) {
        if (c < 0x80) {
            u += static_cast<char>(c);
        } else {
            u += static_cast<char>(0xC0 | (c >> 6));
            u += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return u;
}

// Characters beyond ISO 8859-1 and broken sequences become '?'.
std::string x11_utf8_to_latin1(const std::string &in)
{
    std::string out;
    std::size_t i = 0, n = in.size();
    while (i < n) {
        unsigned char c = static_cast<unsigned char>(in[i]);
        int len = c < 0x80                ? 1
                  : (c & 0xE0) == 0xC0 ? 2
                  : (c & 0xF0) == 0xE0 ? 3
                  : (c & 0xF8) == 0xF0 ? 4
                                       : 0;
        if (len == 0 || i + static_cast<std::size_t>(len) > n) {
            out += '?';
            i++;
            continue;
        }
        unsigned long cp = len == 1 ? c : c & (0x7F >> len);
        bool ok = true;
        for (int k = 1; k < len; k++) {
            unsigned char d = static_cast<unsigned char>(in[i + k]);
            if ((d & 0xC0) != 0x80) {
                ok = false;
                break;
            }
            cp = (cp << 6) | (d & 0x3F);
        }
        if (!ok) {
            out += '?';
            i++;
            continue;
        }
        out += cp <= 0xFF ? static_cast<char>(cp) : '?';
        i += static_cast<std::size_t>(len);
    }
    return out;
}

namespace {

// Largest property we write in one request (the rest of the request is
// a few words of header).
std::size_t x11_max_property(Display *dpy)
{
    long words = XExtendedMaxRequestSize(dpy);
    if (words <= 0)
        words = XMaxRequestSize(dpy);
    return static_cast<std::size_t>(words) * 4 - 64;
}

} // namespace

// The selection belongs to a window of its own, unmapped, that lives as
// long as the connection.
void X11::clip_window_make()
{
    if (clip_window)
        return;
    XSetWindowAttributes a{};
    a.event_mask = PropertyChangeMask;
    clip_window = XCreateWindow(dpy, RootWindow(dpy, scr), -10, -10, 1, 1, 0, 0, InputOnly,
                                CopyFromParent, CWEventMask, &a);
}

void X11::clip_put(const std::string &text)
{
    clipboard.put(text);
    clip_window_make();
    XSetSelectionOwner(dpy, clipboard_atom, clip_window, last_time);
    if (XGetSelectionOwner(dpy, clipboard_atom) != clip_window)
        std::printf("kxclip_puttext: the X server did not give us the clipboard\n");
    XFlush(dpy);
}

// Another client asks for our text.  Requests we cannot serve are refused
// with property None, as the selection protocol says.
void X11::clip_request(const XSelectionRequestEvent &r)
{
    XSelectionEvent ev{};
    ev.type = SelectionNotify;
    ev.display = dpy;
    ev.requestor = r.requestor;
    ev.selection = r.selection;
    ev.target = r.target;
    ev.time = r.time;
    ev.property = None;
    Atom property = r.property != None ? r.property : r.target;  // obsolete clients
    if (r.owner == clip_window && r.selection == clipboard_atom && clipboard.held) {
        if (r.target == targets) {
            Atom list[] = {targets, utf8, XA_STRING, text_atom};
            XChangeProperty(dpy, r.requestor, property, XA_ATOM, 32, PropModeReplace,
                            reinterpret_cast<unsigned char *>(list), 4);
            ev.property = property;
        } else if (r.target == utf8 || r.target == XA_STRING || r.target == text_atom) {
            std::string data =
                r.target == utf8 ? x11_latin1_to_utf8(clipboard.text) : clipboard.text;
            Atom type = r.target == utf8 ? utf8 : XA_STRING;
            if (data.size() <= x11_max_property(dpy)) {
                XChangeProperty(dpy, r.requestor, property, type, 8, PropModeReplace,
                                reinterpret_cast<const unsigned char *>(data.data()),
                                static_cast<int>(data.size()));
                ev.property = property;
            } else {
                std::printf("kxclip_puttext: text of %zu bytes too long for the X clipboard\n",
                            data.size());
            }
        }
    }
    XSendEvent(dpy, r.requestor, False, NoEventMask, reinterpret_cast<XEvent *>(&ev));
    XFlush(dpy);
}

namespace {

struct NotifyFor {
    Window window;
    Atom selection;
};

Bool x11_is_notify(Display *, XEvent *e, XPointer arg)
{
    auto *want = reinterpret_cast<NotifyFor *>(arg);
    return e->type == SelectionNotify && e->xselection.requestor == want->window &&
           e->xselection.selection == want->selection;
}

} // namespace

// Asks the owner for the text as type and waits for the answer; every
// other event stays queued for the pump, in order.  1 with the text, 0 when
// the owner refused, -1 when it did not answer in time.
int X11::clip_fetch(Atom type, std::string *text)
{
    XDeleteProperty(dpy, clip_window, clip_property);
    XConvertSelection(dpy, clipboard_atom, type, clip_property, clip_window, last_time);
    XFlush(dpy);
    NotifyFor want{clip_window, clipboard_atom};
    XEvent e;
    std::int64_t end = kxsys_ticks() + x11_clip_wait_ms;
    for (;;) {
        if (XCheckIfEvent(dpy, &e, x11_is_notify, reinterpret_cast<XPointer>(&want)))
            break;
        std::int64_t left = end - kxsys_ticks();
        if (left <= 0)
            return -1;
        pollfd p{ConnectionNumber(dpy), POLLIN, 0};
        poll(&p, 1, static_cast<int>(left));
        XEventsQueued(dpy, QueuedAfterReading);
    }
    if (e.xselection.property == None)
        return 0;
    Atom actual = None;
    int format = 0;
    unsigned long n = 0, after = 0;
    unsigned char *data = nullptr;
    long max_words = static_cast<long>(x11_max_property(dpy) / 4);
    bool ok = XGetWindowProperty(dpy, clip_window, clip_property, 0, max_words, True,
                                 AnyPropertyType, &actual, &format, &n, &after, &data) == Success;
    if (ok && actual == incr) {
        // Transfers in pieces are not taken part in.
        std::printf("kxclip_gettext: the clipboard text is too long\n");
        ok = false;
    } else if (ok) {
        ok = data && format == 8 && (actual == utf8 || actual == XA_STRING || actual == text_atom);
        if (ok) {
            std::string raw(reinterpret_cast<const char *>(data), n);
            *text = actual == utf8 ? x11_utf8_to_latin1(raw) : raw;
            text->resize(std::char_traits<char>::length(text->c_str()));  // up to a NUL
        }
    }
    if (data)
        XFree(data);
    XDeleteProperty(dpy, clip_window, clip_property);
    return ok ? 1 : 0;
}

bool X11::clip_get(std::string *text)
{
    Window owner = XGetSelectionOwner(dpy, clipboard_atom);
    if (owner == None)
        return false;
    if (clip_window && owner == clip_window)
        return clipboard.get(text);
    clip_window_make();
    int got = clip_fetch(utf8, text);
    if (got == 0)
        got = clip_fetch(XA_STRING, text);
    return got == 1;
}
