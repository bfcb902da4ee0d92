// What every host's server bitmaps provide to the shared front
// (platform/server.cpp), which looks up the kind of source a merge has,
// clips merges and fills, and resizes.  The bitmap record is the host's
// (serverbitmap.h, win32/win32host.h).
#pragma once

#include "platform/platform.h"

// A rectangle already clipped to the destination (and to the source).
struct kxserverrect {
    int dx = 0, dy = 0, sx = 0, sy = 0, width = 0, height = 0;
};

// The bitmap of a server pixmap; null for any other pixmap.
inline kxserverbitmap *kxserver_bitmap(const kxpxmap *p)
{
    if (!p || p->format != KX_PXFMT_SERVER)
        return nullptr;
    return static_cast<kxserverbitmap *>(p->data);
}

void kxserverhost_size(const kxserverbitmap *b, int *width, int *height);
// Copies from another server bitmap (or the same one: the source is read as
// it was), through its mask when it has one.
void kxserverhost_copyserver(kxserverbitmap *d, const kxserverbitmap *s, const kxserverrect &r);
// Copies palette8 pixels (index 255 transparent) and truecolor pixels.
void kxserverhost_copypalette8(kxserverbitmap *d, const kxpxmap *src, const kxserverrect &r);
void kxserverhost_copytruecolor(kxserverbitmap *d, const kxpxmap *src, const kxserverrect &r);
// Fills the rectangle (which may be empty) with the current colour; the
// brush for it is made all the same.
void kxserverhost_fill(kxserverbitmap *b, const kxserverrect &r);
