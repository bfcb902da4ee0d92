// Server pixmaps, the part that is the same on every host: the kind of
// source a merge copies from, the clipping of merges and fills, and resizing.
// The bitmaps themselves are the host's (serverbitmap.cpp, win32/win32_gdi.cpp).
#include <algorithm>
#include <cstdio>

#include "platform/serverhost.h"

bool kxserver_resize(kxpxmap *p, int width, int height)
{
    const kxserverbitmap *old = kxserver_bitmap(p);
    if (!old)
        return false;
    kxserverbitmap *fresh = kxserver_create(width, height);
    if (!fresh)
        return false;
    int ow = 0, oh = 0;
    kxserverhost_size(old, &ow, &oh);
    const kxserverrect keep{0, 0, 0, 0, std::min(ow, width), std::min(oh, height)};
    if (keep.width > 0 && keep.height > 0)
        kxserverhost_copyserver(fresh, old, keep);
    kxserver_free(p);
    p->data = fresh;
    p->width = width;
    p->height = height;
    return true;
}

void kxserver_merge(kxpxmap *dst, const kxpxmap *src, int dx, int dy, int width, int height, int sx,
                    int sy)
{
    kxserverbitmap *d = kxserver_bitmap(dst);
    if (!d || !src)
        return;
    if (src->format != KX_PXFMT_PALETTE8 && src->format != KX_PXFMT_TRUECOLOR &&
        src->format != KX_PXFMT_SERVER) {
        std::printf("pxmapmerge not supported: %d -> %d\n", src->format, dst->format);
        return;
    }
    if (!src->data)
        return;
    const kxserverbitmap *s = kxserver_bitmap(src);
    int dw = 0, dh = 0, sw = src->width, sh = src->height;
    kxserverhost_size(d, &dw, &dh);
    if (s)
        kxserverhost_size(s, &sw, &sh);
    long long rdx = dx, rdy = dy, rsx = sx, rsy = sy, rw = width, rh = height;
    if (!kxpxmap_clipspan(rdx, rsx, rw, dw, sw) || !kxpxmap_clipspan(rdy, rsy, rh, dh, sh))
        return;
    const kxserverrect r{static_cast<int>(rdx), static_cast<int>(rdy), static_cast<int>(rsx),
                         static_cast<int>(rsy), static_cast<int>(rw), static_cast<int>(rh)};
    if (s)
        kxserverhost_copyserver(d, s, r);
    else if (src->format == KX_PXFMT_PALETTE8)
        kxserverhost_copypalette8(d, src, r);
    else
        kxserverhost_copytruecolor(d, src, r);
}

bool kxserver_fillrect(kxpxmap *p, int x, int y, int width, int height)
{
    kxserverbitmap *b = kxserver_bitmap(p);
    if (!b)
        return false;
    int bw = 0, bh = 0;
    kxserverhost_size(b, &bw, &bh);
    long long lx = x, ly = y, lw = width, lh = height;
    kxserverrect r;
    if (kxpxmap_cliprange(lx, lw, bw) && kxpxmap_cliprange(ly, lh, bh))
        r = {static_cast<int>(lx), static_cast<int>(ly), 0, 0, static_cast<int>(lw),
             static_cast<int>(lh)};
    kxserverhost_fill(b, r);
    return true;
}
