// The clipboard as the CLIPBOARD selection.  While we own it the text is
// served from the in-program store; otherwise the owner is asked and its
// answer awaited for a bounded time.  The toolkit's text is ISO 8859-1 with
// CR LF line ends; other clients get and give UTF-8 or STRING (which is
// ISO 8859-1 already) with LF.  Long texts travel in pieces (INCR) both ways.
#include <X11/Xatom.h>
#include <poll.h>

#include <algorithm>
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

std::string x11_crlf_to_lf(const std::string &in)
{
    std::string out;
    out.reserve(in.size());
    for (std::size_t i = 0; i < in.size(); i++)
        if (!(in[i] == '\r' && i + 1 < in.size() && in[i + 1] == '\n'))
            out += in[i];
    return out;
}

std::string x11_lf_to_crlf(const std::string &in)
{
    std::string out;
    out.reserve(in.size() + in.size() / 16);
    for (std::size_t i = 0; i < in.size(); i++) {
        if (in[i] == '\n' && (i == 0 || in[i - 1] != '\r'))
            out += '\r';
        out += in[i];
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

struct EventFor {
    Window window;
    Atom atom;  // the selection, or the property
};

Bool x11_is_notify(Display *, XEvent *e, XPointer arg)
{
    auto *want = reinterpret_cast<EventFor *>(arg);
    return e->type == SelectionNotify && e->xselection.requestor == want->window &&
           e->xselection.selection == want->atom;
}

Bool x11_is_new_value(Display *, XEvent *e, XPointer arg)
{
    auto *want = reinterpret_cast<EventFor *>(arg);
    return e->type == PropertyNotify && e->xproperty.window == want->window &&
           e->xproperty.atom == want->atom && e->xproperty.state == PropertyNewValue;
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

void X11::primary_put(const std::string &text)
{
    primary.put(text);
    clip_window_make();
    XSetSelectionOwner(dpy, XA_PRIMARY, clip_window, last_time);
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
    const kxclipstore &held = r.selection == XA_PRIMARY ? primary : clipboard;
    if (r.owner == clip_window && (r.selection == clipboard_atom || r.selection == XA_PRIMARY) &&
        held.held) {
        if (r.target == targets) {
            Atom list[] = {targets, utf8, XA_STRING, text_atom};
            XChangeProperty(dpy, r.requestor, property, XA_ATOM, 32, PropModeReplace,
                            reinterpret_cast<unsigned char *>(list), 4);
            ev.property = property;
        } else if (r.target == utf8 || r.target == XA_STRING || r.target == text_atom) {
            std::string data = x11_crlf_to_lf(held.text);
            if (r.target == utf8)
                data = x11_latin1_to_utf8(data);
            clip_send(r.requestor, property, r.target == utf8 ? utf8 : XA_STRING,
                      std::move(data));
            ev.property = property;
        }
    }
    XSendEvent(dpy, r.requestor, False, NoEventMask, reinterpret_cast<XEvent *>(&ev));
    XFlush(dpy);
}

// A short text goes into the property at once; a long one starts a transfer
// in pieces: the property says INCR and the text's size, and the pieces
// follow as the requestor deletes the property.
void X11::clip_send(Window requestor, Atom property, Atom type, std::string data)
{
    std::int64_t now = kxsys_ticks();
    std::erase_if(transfers, [&](const X11Transfer &t) {
        return (t.requestor == requestor && t.property == property) ||
               now - t.last > x11_incr_timeout_ms;
    });
    if (data.size() <= std::min(x11_incr_piece, x11_max_property(dpy))) {
        XChangeProperty(dpy, requestor, property, type, 8, PropModeReplace,
                        reinterpret_cast<const unsigned char *>(data.data()),
                        static_cast<int>(data.size()));
        return;
    }
    XSelectInput(dpy, requestor, PropertyChangeMask);
    long size = static_cast<long>(data.size());
    XChangeProperty(dpy, requestor, property, incr, 32, PropModeReplace,
                    reinterpret_cast<unsigned char *>(&size), 1);
    transfers.push_back({requestor, property, type, std::move(data), 0, now});
}

// A requestor deleted a property: the next piece of its transfer, if it is
// one of ours.  The empty piece after the last ends the transfer.
bool X11::clip_step(const XPropertyEvent &p)
{
    auto t = std::find_if(transfers.begin(), transfers.end(), [&](const X11Transfer &x) {
        return x.requestor == p.window && x.property == p.atom;
    });
    if (p.state != PropertyDelete || t == transfers.end())
        return false;
    std::size_t n = std::min({x11_incr_piece, x11_max_property(dpy), t->data.size() - t->sent});
    XChangeProperty(dpy, t->requestor, t->property, t->type, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char *>(t->data.data() + t->sent),
                    static_cast<int>(n));
    t->sent += n;
    t->last = kxsys_ticks();
    if (n == 0) {
        XSelectInput(dpy, t->requestor, NoEventMask);
        transfers.erase(t);
    }
    XFlush(dpy);
    return true;
}

// Waits for the event pred accepts; every other event stays queued for the
// pump, in order.  False when none came in time.
bool X11::clip_wait(XEvent *e, Bool (*pred)(Display *, XEvent *, XPointer), XPointer arg)
{
    std::int64_t end = kxsys_ticks() + x11_clip_wait_ms;
    for (;;) {
        if (XCheckIfEvent(dpy, e, pred, arg))
            return true;
        std::int64_t left = end - kxsys_ticks();
        if (left <= 0 || dead)
            return false;
        pollfd p{ConnectionNumber(dpy), POLLIN, 0};
        poll(&p, 1, static_cast<int>(left));
        XEventsQueued(dpy, QueuedAfterReading);
    }
}

// Reads the whole of our property and deletes it; false when it is not set.
// The bytes of 32-bit items are not needed: only INCR's size comes so.
bool X11::clip_read(Atom *type, std::string *bytes)
{
    bytes->clear();
    *type = None;
    long offset = 0;
    const long words = static_cast<long>(x11_max_property(dpy) / 4);
    for (;;) {
        Atom actual = None;
        int format = 0;
        unsigned long n = 0, after = 0;
        unsigned char *data = nullptr;
        if (XGetWindowProperty(dpy, clip_window, clip_property, offset, words, True,
                               AnyPropertyType, &actual, &format, &n, &after, &data) != Success)
            return false;
        *type = actual;
        if (data && format == 8)
            bytes->append(reinterpret_cast<const char *>(data), n);
        if (data)
            XFree(data);
        if (actual == None || after == 0)
            return actual != None;
        if (bytes->size() > x11_clip_max)
            return false;
        offset += static_cast<long>(n * static_cast<unsigned long>(format) / 32);
    }
}

// The pieces of an INCR transfer: each new value of the property is the next
// piece; deleting it asks for the one after; an empty piece is the end.
int X11::clip_fetch_pieces(std::string *bytes, Atom *type)
{
    EventFor want{clip_window, clip_property};
    XEvent e;
    bytes->clear();
    for (;;) {
        if (!clip_wait(&e, x11_is_new_value, reinterpret_cast<XPointer>(&want)))
            return -1;
        std::string piece;
        if (!clip_read(type, &piece))
            continue;
        if (piece.empty())
            return 1;
        if (bytes->size() + piece.size() > x11_clip_max) {
            std::printf("kxclip_gettext: the clipboard text is longer than %zu bytes\n",
                        x11_clip_max);
            return 0;
        }
        *bytes += piece;
    }
}

// Asks the owner for the text as type and waits for the answer; every
// other event stays queued for the pump, in order.  1 with the text, 0 when
// the owner refused, -1 when it did not answer in time.
int X11::clip_fetch(Atom type, std::string *text)
{
    XDeleteProperty(dpy, clip_window, clip_property);
    XConvertSelection(dpy, clipboard_atom, type, clip_property, clip_window, last_time);
    XFlush(dpy);
    EventFor want{clip_window, clipboard_atom};
    XEvent e;
    if (!clip_wait(&e, x11_is_notify, reinterpret_cast<XPointer>(&want)))
        return -1;
    if (e.xselection.property == None)
        return 0;
    // Property events queued so far came before the answer; the pieces of a
    // transfer come after it.
    EventFor earlier{clip_window, clip_property};
    while (XCheckIfEvent(dpy, &e, x11_is_new_value, reinterpret_cast<XPointer>(&earlier))) {
    }
    Atom actual = None;
    std::string raw;
    int got = clip_read(&actual, &raw) ? 1 : 0;
    if (got && actual == incr)
        got = clip_fetch_pieces(&raw, &actual);
    if (got != 1)
        return got;
    if (actual != utf8 && actual != XA_STRING && actual != text_atom)
        return 0;
    raw.resize(std::char_traits<char>::length(raw.c_str()));  // up to a NUL
    *text = x11_lf_to_crlf(actual == utf8 ? x11_utf8_to_latin1(raw) : raw);
    return 1;
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
