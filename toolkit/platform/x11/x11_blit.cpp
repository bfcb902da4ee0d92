// Showing window pixmaps: through a shared-memory image where the server
// offers MIT-SHM and can reach our memory, else with XPutImage over the
// connection.  The server bitmap already holds 0x00RRGGBB words, the layout
// of the 24-bit TrueColor visual open() insists on.
#include <bit>
#include <cstdlib>
#include <cstring>

#include "platform/x11/x11host.h"

namespace {

constexpr int x11_native_order = std::endian::native == std::endian::little ? LSBFirst : MSBFirst;

} // namespace

#ifdef KX_HAVE_XSHM

// A server on another machine says it has MIT-SHM but cannot attach our
// segment; one trial attach tells.
void X11::shm_probe()
{
    use_shm = false;
    if (std::getenv("KX_X11_NOSHM") || !XShmQueryExtension(dpy))
        return;
    XShmSegmentInfo info{};
    info.shmid = shmget(IPC_PRIVATE, 4096, IPC_CREAT | 0600);
    if (info.shmid < 0)
        return;
    info.shmaddr = static_cast<char *>(shmat(info.shmid, nullptr, 0));
    if (info.shmaddr != reinterpret_cast<char *>(-1)) {
        info.readOnly = True;
        XSync(dpy, False);
        x11_last_error = 0;
        bool attached = XShmAttach(dpy, &info);
        XSync(dpy, False);
        use_shm = attached && x11_last_error == 0;
        if (use_shm)
            XShmDetach(dpy, &info);
        XSync(dpy, False);
        shmdt(info.shmaddr);
    }
    shmctl(info.shmid, IPC_RMID, nullptr);
}

void X11::shm_release(X11Window &w)
{
    if (!w.shm_image)
        return;
    XShmDetach(dpy, &w.shm);
    XDestroyImage(w.shm_image);  // frees only the XImage: data is the segment
    shmdt(w.shm.shmaddr);
    w.shm_image = nullptr;
    w.shm = {};
}

// One image per window, made again when the pixmap changes size.  The
// segment is marked for removal at once, so it goes away with the process.
bool X11::shm_show(X11Window &xw, kxllgui_window *w, int x, int y, int width, int height, int sx,
                   int sy)
{
    const kxpxmap &p = w->pixmap;
    if (xw.shm_image && (xw.shm_image->width != p.width || xw.shm_image->height != p.height))
        shm_release(xw);
    if (!xw.shm_image) {
        XImage *img = XShmCreateImage(dpy, visual, static_cast<unsigned>(depth), ZPixmap, nullptr,
                                      &xw.shm, static_cast<unsigned>(p.width),
                                      static_cast<unsigned>(p.height));
        if (!img)
            return false;
        xw.shm.shmid = shmget(IPC_PRIVATE, static_cast<std::size_t>(img->bytes_per_line) * p.height,
                              IPC_CREAT | 0600);
        if (xw.shm.shmid < 0) {
            XDestroyImage(img);
            return false;
        }
        xw.shm.shmaddr = static_cast<char *>(shmat(xw.shm.shmid, nullptr, 0));
        if (xw.shm.shmaddr == reinterpret_cast<char *>(-1)) {
            shmctl(xw.shm.shmid, IPC_RMID, nullptr);
            XDestroyImage(img);
            return false;
        }
        img->data = xw.shm.shmaddr;
        xw.shm.readOnly = True;
        x11_last_error = 0;
        XShmAttach(dpy, &xw.shm);
        XSync(dpy, False);
        shmctl(xw.shm.shmid, IPC_RMID, nullptr);
        if (x11_last_error) {
            shmdt(xw.shm.shmaddr);
            XDestroyImage(img);
            xw.shm = {};
            return false;
        }
        xw.shm_image = img;
    }
    const std::uint32_t *src = kxserver_pixels(&w->pixmap);
    XImage *img = xw.shm_image;
    for (int j = 0; j < height; j++)
        std::memcpy(img->data + static_cast<std::ptrdiff_t>(sy + j) * img->bytes_per_line + sx * 4,
                    src + static_cast<std::size_t>(sy + j) * p.width + sx,
                    static_cast<std::size_t>(width) * 4);
    XShmPutImage(dpy, xw.xid, gc, img, sx, sy, x, y, static_cast<unsigned>(width),
                 static_cast<unsigned>(height), False);
    // The segment is written again by the next copy: the server must be done
    // reading it first.
    XSync(dpy, False);
    return true;
}

#else

void X11::shm_probe() { use_shm = false; }
void X11::shm_release(X11Window &) {}
bool X11::shm_show(X11Window &, kxllgui_window *, int, int, int, int, int, int) { return false; }

#endif

void X11::show(kxllgui_window *w, int x, int y, int width, int height, int sx, int sy)
{
    const std::uint32_t *pixels = kxserver_pixels(&w->pixmap);
    X11Window *xw = find(static_cast<Window>(w->handle));
    if (!pixels || !xw)
        return;
    if (use_shm) {
        if (shm_show(*xw, w, x, y, width, height, sx, sy))
            return;
        use_shm = false;  // the server refused: stay with the plain transfer
    }
    XImage *img = XCreateImage(dpy, visual, static_cast<unsigned>(depth), ZPixmap, 0,
                               reinterpret_cast<char *>(const_cast<std::uint32_t *>(pixels)),
                               static_cast<unsigned>(w->pixmap.width),
                               static_cast<unsigned>(w->pixmap.height), 32, w->pixmap.width * 4);
    if (!img)
        return;
    // Our words are in this machine's byte order; Xlib swaps for a server
    // of the other order.
    img->byte_order = x11_native_order;
    XPutImage(dpy, xw->xid, gc, img, sx, sy, x, y, static_cast<unsigned>(width),
              static_cast<unsigned>(height));
    img->data = nullptr;  // the pixels belong to the pixmap
    XDestroyImage(img);
    XFlush(dpy);
}
