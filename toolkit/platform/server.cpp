// Server pixmaps, the part that is the same on every host; the bitmaps
// themselves are the host's (serverbitmap.cpp, win32/win32_gdi.cpp).
#include "platform/platform.h"

bool kxserver_resize(kxpxmap *p, int width, int height)
{
    if (!p || p->format != KX_PXFMT_SERVER)
        return false;
    kxserverbitmap *fresh = kxserver_create(width, height);
    if (!fresh)
        return false;
    kxserver_free(p);
    p->data = fresh;
    p->width = width;
    p->height = height;
    return true;
}
