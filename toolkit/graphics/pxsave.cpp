// Save-under: keeps a copy of a rectangle of a pixmap (the area under a text
// cursor, say) so that it can be put back later.
#include "graphics/pixmap.h"

namespace {

bool usable(const kxpxmap *p)
{
    switch (p->format) {
    case KX_PXFMT_PALETTE8:
    case KX_PXFMT_PALETTE16:
    case KX_PXFMT_TRUECOLOR:
    case KX_PXFMT_SERVER:
        return p->data != nullptr;
    case KX_PXFMT_SCREEN:
        return true;
    default:
        return false;
    }
}

} // namespace

void kxpxsave_grab(kxPxMapCache *s, kxpxmap *p, int x, int y, int width, int height)
{
    if (!s || !p || !usable(p))
        return;
    if (s->held &&
        (s->copy.width != width || s->copy.height != height || s->copy.format != p->format))
        kxpxsave_release(s);
    if (!s->held) {
        kxpxmap_init(&s->copy);
        s->copy.width = width;
        s->copy.height = height;
        s->copy.format = p->format;
        if (!kxpxmap_allocate(&s->copy)) {
            kxpxmap_init(&s->copy);
            return;
        }
        s->held = 1;
    }
    // A plain copy both ways: a merge would skip the pixels that happen to
    // have the transparent colour and put black back in their place.
    s->copy.palette = p->palette;
    kxpxmap_copyrect(&s->copy, p, 0, 0, x, y, width, height);
    s->source = p;
    s->x = x;
    s->y = y;
    s->width = width;
    s->height = height;
}

void kxpxsave_restore(kxPxMapCache *s)
{
    if (!s || !s->held || !s->source)
        return;
    kxpxmap_copyrect(s->source, &s->copy, s->x, s->y, 0, 0, s->width, s->height);
}

void kxpxsave_release(kxPxMapCache *s)
{
    if (!s)
        return;
    kxpxmap_free(&s->copy);
    s->held = 0;
    s->source = nullptr;
}
