// Showing window pixmaps: where the server offers MIT-SHM and can reach our
// memory, each window pixmap is drawn in a shared-memory segment that the
// server copies from; else XPutImage sends the pixels over the connection.
// The server bitmap already holds 0x00RRGGBB words, the layout of the 24-bit
// TrueColor visual open() insists on.
#include <bit>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "platform/serverbitmap.h"
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

namespace {

// The bitmap is going: the server lets go of the segment, then we do.
void x11_segment_release(void *context)
{
    auto *seg = static_cast<X11Segment *>(context);
    if (seg->host)
        seg->host->shm_forget(seg);
    shmdt(seg->info.shmaddr);
    delete seg;
}

} // namespace

// The server lets go of the segment and no window shows from it any more;
// the pixels stay ours until the bitmap goes.
void X11::shm_forget(X11Segment *seg)
{
    if (seg->image) {
        if (!dead)
            XShmDetach(dpy, &seg->info);
        XDestroyImage(seg->image);  // frees only the XImage: data is the segment
        seg->image = nullptr;
    }
    for (X11Window &w : windows)
        if (w.shm == seg)
            w.shm = nullptr;
    seg->host = nullptr;
}

// Gives the window pixmap a segment of its size as its pixel store (copying
// what it holds when keep is set).  The segment is marked for removal at
// once, so it goes away with the process.
bool X11::shm_adopt(X11Window &xw, kxllgui_window *w, bool keep)
{
    const kxpxmap &p = w->pixmap;
    auto seg = std::make_unique<X11Segment>();
    XImage *img = XShmCreateImage(dpy, visual, static_cast<unsigned>(depth), ZPixmap, nullptr,
                                  &seg->info, static_cast<unsigned>(p.width),
                                  static_cast<unsigned>(p.height));
    if (!img)
        return false;
    // The pixmap's rows are width words apart; the image's must be too.
    if (img->bytes_per_line != p.width * 4 || img->bits_per_pixel != 32) {
        XDestroyImage(img);
        return false;
    }
    seg->info.shmid = shmget(IPC_PRIVATE, static_cast<std::size_t>(img->bytes_per_line) * p.height,
                             IPC_CREAT | 0600);
    if (seg->info.shmid < 0) {
        XDestroyImage(img);
        return false;
    }
    seg->info.shmaddr = static_cast<char *>(shmat(seg->info.shmid, nullptr, 0));
    if (seg->info.shmaddr == reinterpret_cast<char *>(-1)) {
        shmctl(seg->info.shmid, IPC_RMID, nullptr);
        XDestroyImage(img);
        return false;
    }
    img->data = seg->info.shmaddr;
    seg->info.readOnly = True;
    x11_last_error = 0;
    XShmAttach(dpy, &seg->info);
    XSync(dpy, False);
    shmctl(seg->info.shmid, IPC_RMID, nullptr);
    if (x11_last_error) {
        shmdt(seg->info.shmaddr);
        XDestroyImage(img);
        return false;
    }
    seg->image = img;
    seg->host = this;
    auto *store = reinterpret_cast<std::uint32_t *>(seg->info.shmaddr);
    if (!kxserver_adopt(&w->pixmap, store, keep, x11_segment_release, seg.get())) {
        shm_forget(seg.get());
        shmdt(seg->info.shmaddr);
        return false;
    }
    xw.shm = seg.release();
    return true;
}

// The pixmap lives in the segment: the server copies straight from it.  A
// pixmap made again at a new size gets a new segment at its first showing.
bool X11::shm_show(X11Window &xw, kxllgui_window *w, int x, int y, int width, int height, int sx,
                   int sy)
{
    if (!xw.shm && !shm_adopt(xw, w, true))
        return false;
    if (kxserver_pixels(&w->pixmap) != reinterpret_cast<std::uint32_t *>(xw.shm->info.shmaddr))
        return false;
    XShmPutImage(dpy, xw.xid, gc, xw.shm->image, sx, sy, x, y, static_cast<unsigned>(width),
                 static_cast<unsigned>(height), False);
    // The toolkit draws into the segment next: the server must be done
    // reading it first.
    XSync(dpy, False);
    return true;
}

#else

void X11::shm_probe() { use_shm = false; }
bool X11::shm_adopt(X11Window &, kxllgui_window *, bool) { return false; }
void X11::shm_forget(X11Segment *) {}
bool X11::shm_show(X11Window &, kxllgui_window *, int, int, int, int, int, int) { return false; }

#endif

// ---- windows at a scale above 1

X11Enlarged *X11::enlarged_make(int width, int height)
{
    auto big = std::make_unique<X11Enlarged>();
    big->width = width, big->height = height;
    const auto w = static_cast<unsigned>(width), h = static_cast<unsigned>(height);
    const std::size_t bytes = static_cast<std::size_t>(width) * height * 4;
#ifdef KX_HAVE_XSHM
    if (use_shm) {
        XImage *img = XShmCreateImage(dpy, visual, static_cast<unsigned>(depth), ZPixmap, nullptr,
                                      &big->info, w, h);
        if (img && img->bytes_per_line == width * 4 && img->bits_per_pixel == 32) {
            big->info.shmid = shmget(IPC_PRIVATE, bytes, IPC_CREAT | 0600);
            void *at = big->info.shmid < 0 ? reinterpret_cast<void *>(-1)
                                           : shmat(big->info.shmid, nullptr, 0);
            if (at != reinterpret_cast<void *>(-1)) {
                big->info.shmaddr = img->data = static_cast<char *>(at);
                big->info.readOnly = True;
                x11_last_error = 0;
                XShmAttach(dpy, &big->info);
                XSync(dpy, False);
                shmctl(big->info.shmid, IPC_RMID, nullptr);
                if (!x11_last_error) {
                    big->image = img;
                    big->pixels = reinterpret_cast<std::uint32_t *>(at);
                    big->shm = true;
                    return big.release();
                }
                shmdt(at);
            } else if (big->info.shmid >= 0) {
                shmctl(big->info.shmid, IPC_RMID, nullptr);
            }
        }
        if (img)
            XDestroyImage(img);
        big->info = {};
    }
#endif
    big->pixels = static_cast<std::uint32_t *>(std::malloc(bytes));
    if (!big->pixels)
        return nullptr;
    big->image = XCreateImage(dpy, visual, static_cast<unsigned>(depth), ZPixmap, 0,
                              reinterpret_cast<char *>(big->pixels), w, h, 32, width * 4);
    if (!big->image) {
        std::free(big->pixels);
        return nullptr;
    }
    big->image->byte_order = x11_native_order;
    return big.release();
}

void X11::enlarged_free(X11Window &xw)
{
    X11Enlarged *big = xw.big;
    if (!big)
        return;
    xw.big = nullptr;
    big->image->data = nullptr;  // the pixels are freed below
    XDestroyImage(big->image);
#ifdef KX_HAVE_XSHM
    if (big->shm) {
        if (!dead) {
            XShmDetach(dpy, &big->info);
            XSync(dpy, False);
        }
        shmdt(big->info.shmaddr);
        delete big;
        return;
    }
#endif
    std::free(big->pixels);
    delete big;
}

// The rectangle is enlarged into the window's picture and put from there.
// The server may still be reading the last put when the toolkit draws on:
// the pixmap is not what it reads, and the picture is only written again
// after a round trip.
void X11::show_enlarged(X11Window &xw, kxllgui_window *w, int x, int y, int width, int height,
                        int sx, int sy)
{
    const int n = w->scale, pw = w->pixmap.width;
    const int dw = pw * n, dh = w->pixmap.height * n;
    if (xw.big && (xw.big->width != dw || xw.big->height != dh))
        enlarged_free(xw);
    if (!xw.big)
        xw.big = enlarged_make(dw, dh);
    X11Enlarged *big = xw.big;
    if (!big)
        return;
    if (big->put_request &&
        static_cast<long>(LastKnownRequestProcessed(dpy) - big->put_request) < 0)
        XSync(dpy, False);
    const std::uint32_t *pixels = kxserver_pixels(&w->pixmap);
    kxscale_enlarge(pixels + static_cast<std::size_t>(sy) * pw + sx, static_cast<std::size_t>(pw),
                    big->pixels + static_cast<std::size_t>(y) * n * dw + static_cast<std::size_t>(x) * n,
                    static_cast<std::size_t>(dw), width, height, n);
    const int dx = x * n, dy = y * n;
    const auto uw = static_cast<unsigned>(width * n), uh = static_cast<unsigned>(height * n);
#ifdef KX_HAVE_XSHM
    if (big->shm) {
        XShmPutImage(dpy, xw.xid, gc, big->image, dx, dy, dx, dy, uw, uh, False);
        big->put_request = NextRequest(dpy) - 1;
        XFlush(dpy);
        return;
    }
#endif
    XPutImage(dpy, xw.xid, gc, big->image, dx, dy, dx, dy, uw, uh);
    XFlush(dpy);
}

void X11::show(kxllgui_window *w, int x, int y, int width, int height, int sx, int sy)
{
    const std::uint32_t *pixels = kxserver_pixels(&w->pixmap);
    X11Window *xw = find(static_cast<Window>(w->handle));
    if (!pixels || !xw)
        return;
    if (w->scale > 1) {
        show_enlarged(*xw, w, x, y, width, height, sx, sy);
        return;
    }
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
