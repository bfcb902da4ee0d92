// The X side of the benchmarks of whole programs: a private Xvfb on a
// display it picks itself, and a client of our own that sees another
// program's windows appear and change.
#pragma once

#include <X11/Xlib.h>
#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "procstat.h"

namespace kxbench {

struct Xserver {
    pid_t pid = -1;
    std::string display;  // ":n", empty when it did not start

    Xserver()
    {
        XInitThreads();  // the watching threads have connections of their own
        int fds[2];
        if (pipe(fds) != 0)
            return;
        // -noreset: the server does not start afresh between its clients.
        // The screen holds the tester's window at scale 2.
        const char *argv[] = {"Xvfb",     "-displayfd", "3", "-nolisten",   "tcp",
                              "-noreset", "-screen",    "0", "2048x1536x24", nullptr};
        pid = spawn(argv, nullptr, -1, fds[1]);
        close(fds[1]);
        std::string number;
        char c;
        pollfd p{fds[0], POLLIN, 0};
        while (poll(&p, 1, 20000) > 0 && read(fds[0], &c, 1) == 1 && c != '\n')
            number += c;
        close(fds[0]);
        if (!number.empty())
            display = ":" + number;
    }
    ~Xserver() { end(pid); }
};

// A rectangle of some window.
struct Area {
    Window window = 0;
    int x = 0, y = 0, width = 0, height = 0;
    bool empty() const { return width <= 0 || height <= 0; }
};

// Our own connection: finds windows by name, reads their pixels.
struct Xclient {
    Display *dpy = nullptr;

    explicit Xclient(const std::string &display) : dpy(XOpenDisplay(display.c_str()))
    {
        if (dpy)
            XSelectInput(dpy, DefaultRootWindow(dpy), SubstructureNotifyMask);
    }
    ~Xclient()
    {
        if (dpy)
            XCloseDisplay(dpy);
    }

    std::string name_of(Window w)
    {
        char *name = nullptr;
        std::string s;
        if (XFetchName(dpy, w, &name) && name)
            s = name;
        if (name)
            XFree(name);
        return s;
    }

    // The process that says it owns the window (_NET_WM_PID), or 0.
    pid_t pid_of(Window w)
    {
        Atom type = 0;
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char *data = nullptr;
        pid_t pid = 0;
        if (XGetWindowProperty(dpy, w, XInternAtom(dpy, "_NET_WM_PID", False), 0, 1, False,
                               XA_CARDINAL, &type, &format, &count, &after, &data) == Success &&
            data && format == 32 && count == 1)
            pid = static_cast<pid_t>(*reinterpret_cast<unsigned long *>(data));
        if (data)
            XFree(data);
        return pid;
    }

    // A window's title is its name, or its name and " - " and what it shows
    // (the tester's main window names its port).
    static bool titled(const std::string &title, const std::string &name)
    {
        return title == name || title.rfind(name + " - ", 0) == 0;
    }

    // The top-level window of that name already there, or 0; with a pid, the
    // one of that process, as several programs may show windows of one name.
    Window find(const std::string &name, pid_t pid = 0)
    {
        Window root, parent, *children = nullptr;
        unsigned n = 0;
        Window found = 0;
        if (XQueryTree(dpy, DefaultRootWindow(dpy), &root, &parent, &children, &n)) {
            for (unsigned i = 0; i < n && !found; i++)
                if (titled(name_of(children[i]), name) && (pid <= 0 || pid_of(children[i]) == pid))
                    found = children[i];
        }
        if (children)
            XFree(children);
        return found;
    }

    // Waits up to limit seconds for a window of that name to be mapped.
    Window wait_mapped(const std::string &name, double limit)
    {
        double until = seconds() + limit;
        while (seconds() < until) {
            while (XPending(dpy)) {
                XEvent e;
                XNextEvent(dpy, &e);
                if (e.type == MapNotify && name_of(e.xmap.window) == name)
                    return e.xmap.window;
            }
            pollfd p{ConnectionNumber(dpy), POLLIN, 0};
            poll(&p, 1, 1);
        }
        return 0;
    }

    // The pixels of an area as 0x00RRGGBB words; empty when the window went.
    std::vector<std::uint32_t> pixels(const Area &a)
    {
        std::vector<std::uint32_t> out;
        XImage *img = XGetImage(dpy, a.window, a.x, a.y, static_cast<unsigned>(a.width),
                                static_cast<unsigned>(a.height), AllPlanes, ZPixmap);
        if (!img)
            return out;
        out.resize(static_cast<std::size_t>(a.width) * a.height);
        for (int y = 0; y < a.height; y++) {
            std::uint32_t *row = out.data() + static_cast<std::size_t>(y) * a.width;
            if (img->bits_per_pixel == 32) {
                std::memcpy(row, img->data + static_cast<std::ptrdiff_t>(y) * img->bytes_per_line,
                            static_cast<std::size_t>(a.width) * 4);
                for (int x = 0; x < a.width; x++)
                    row[x] &= 0xFFFFFF;
            } else {
                for (int x = 0; x < a.width; x++)
                    row[x] = static_cast<std::uint32_t>(XGetPixel(img, x, y)) & 0xFFFFFF;
            }
        }
        XDestroyImage(img);
        return out;
    }

    // A window's whole client area.
    Area whole(Window w)
    {
        XWindowAttributes at{};
        if (!XGetWindowAttributes(dpy, w, &at))
            return {};
        return {w, 0, 0, at.width, at.height};
    }
};

// The smallest area of w in which the two snapshots of it differ.
inline Area changed_area(const Area &all, const std::vector<std::uint32_t> &a,
                         const std::vector<std::uint32_t> &b)
{
    Area out{all.window, all.width, all.height, -1, -1};
    int x1 = -1, y1 = -1;
    if (a.size() != b.size())
        return {};
    for (int y = 0; y < all.height; y++)
        for (int x = 0; x < all.width; x++)
            if (a[static_cast<std::size_t>(y) * all.width + x] !=
                b[static_cast<std::size_t>(y) * all.width + x]) {
                out.x = std::min(out.x, x), out.y = std::min(out.y, y);
                x1 = std::max(x1, x), y1 = std::max(y1, y);
            }
    if (x1 < 0)
        return {};
    out.width = x1 - out.x + 1;
    out.height = y1 - out.y + 1;
    return out;
}

} // namespace kxbench
