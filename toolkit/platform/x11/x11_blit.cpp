// Showing window pixmaps: where the server offers MIT-SHM and can reach our
// memory, each window pixmap is drawn in a shared-memory segment that the
// server copies from; else XPutImage sends the pixels over the connection.
// The server bitmap already holds 0x00RRGGBB words, the layout of the 24-bit
// TrueColor visual open() insists on.
#include <bit>
#include <cstdlib>
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
