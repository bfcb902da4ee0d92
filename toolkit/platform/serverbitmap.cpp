// Server pixmaps on these hosts: 32-bit images in client memory that the
// hosts show directly.  The operations give the results of the host bitmap
// operations they stand for (transparent blits as AND mask / OR colours, lines
// with both end points, circle outlines, cached brush and pen), and every one
// of them clips to the bitmap.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#include "platform/circlewalk.h"
#include "platform/serverbitmap.h"
#include "platform/serverhost.h"

namespace {

constexpr std::uint32_t RGB_BITS = 0xFFFFFF;
constexpr std::uint32_t MASK_TRANSPARENT = 0xFFFFFF;
constexpr std::uint32_t MASK_OPAQUE = 0;

// The current colour of fills and pixels, shared by all server pixmaps.
std::uint32_t current_colour = 0;

std::size_t at(const kxserverbitmap *b, long long x, long long y)
{
    return static_cast<std::size_t>(x) +
           static_cast<std::size_t>(y) * static_cast<std::size_t>(b->width);
}

void plot(kxserverbitmap *b, long long x, long long y)
{
    if (x >= 0 && y >= 0 && x < b->width && y < b->height)
        b->pixels[at(b, x, y)] = current_colour;
}

void use_brush(kxserverbitmap *b)
{
    if (b->brush_colour != static_cast<int>(current_colour)) {
        b->brush_colour = static_cast<int>(current_colour);
        b->brushes_made++;
    }
}

void use_pen(kxserverbitmap *b)
{
    if (b->pen_colour != static_cast<int>(current_colour)) {
        b->pen_colour = static_cast<int>(current_colour);
        b->pens_made++;
    }
}

void destroy(kxserverbitmap *b)
{
    if (b->release)
        b->release(b->release_context);
    else
        std::free(b->pixels);
    std::free(b->mask);
    delete b;
}

std::uint32_t *new_words(int width, int height)
{
    std::size_t n = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    return static_cast<std::uint32_t *>(std::calloc(std::max<std::size_t>(n, 1), 4));
}

// A source region as rows of words, copied out first when it is the
// destination's own bitmap so that overlapping moves read the old pixels.
class source_words {
  public:
    source_words(const std::uint32_t *words, int width, const kxserverrect &r, bool shared)
    {
        first_ = words + static_cast<std::size_t>(r.sx) +
                 static_cast<std::size_t>(r.sy) * static_cast<std::size_t>(width);
        stride_ = static_cast<std::size_t>(width);
        if (!shared)
            return;
        const std::size_t w = static_cast<std::size_t>(r.width);
        copy_.resize(w * static_cast<std::size_t>(r.height));
        for (long long j = 0; j < r.height; j++)
            std::copy_n(first_ + j * stride_, w, copy_.data() + j * w);
        first_ = copy_.data();
        stride_ = w;
    }
    const std::uint32_t *row(long long j) const { return first_ + j * stride_; }

  private:
    const std::uint32_t *first_ = nullptr;
    std::size_t stride_ = 0;
    std::vector<std::uint32_t> copy_;
};

std::uint32_t *dest_row(kxserverbitmap *d, const kxserverrect &r, long long j)
{
    return d->pixels + at(d, r.dx, r.dy + j);
}

// ------------------------------------------------------- lines and circles

// Pixel i of a line along its major axis lies minor(i) steps along the other
// axis: i * run / length rounded half up, as the midpoint rule gives.
long long minor_step(long long i, long long run, long long length)
{
    if (length == 0)
        return 0;
    __int128 num = static_cast<__int128>(2) * i * run + length;
    return static_cast<long long>(num / (2 * static_cast<__int128>(length)));
}

// The steps 0 .. last of a line whose major coordinate is start + dir * i
// and lies inside 0 .. limit - 1.
bool visible_steps(long long start, int dir, long long last, int limit, long long *lo,
                   long long *hi)
{
    long long a = dir > 0 ? -start : start - (limit - 1);
    long long b = dir > 0 ? (limit - 1) - start : start;
    *lo = std::max<long long>(a, 0);
    *hi = std::min(b, last);
    return *lo <= *hi;
}

// Only the steps that land inside the bitmap are walked, so far-away end
// points cost nothing.
void draw_line(kxserverbitmap *b, long long x0, long long y0, long long x1, long long y1)
{
    const long long adx = std::llabs(x1 - x0), ady = std::llabs(y1 - y0);
    const int sx = x1 < x0 ? -1 : 1, sy = y1 < y0 ? -1 : 1;
    const bool x_major = adx >= ady;
    const long long length = x_major ? adx : ady, run = x_major ? ady : adx;
    long long lo, hi;
    if (x_major ? !visible_steps(x0, sx, length, b->width, &lo, &hi)
                : !visible_steps(y0, sy, length, b->height, &lo, &hi))
        return;
    for (long long i = lo; i <= hi; i++) {
        // Frames are mostly straight lines: no division for those.
        const long long m = run == 0 ? 0 : minor_step(i, run, length);
        if (x_major)
            plot(b, x0 + sx * i, y0 + sy * m);
        else
            plot(b, x0 + sx * m, y0 + sy * i);
    }
}

} // namespace

// ---- what the shared front asks of these bitmaps -------------------------

void kxserverhost_size(const kxserverbitmap *b, int *width, int *height)
{
    *width = b->width;
    *height = b->height;
}

// Transparent pixels (index 255) leave the destination as the AND of the mask
// and the OR of a black colour would.
void kxserverhost_copypalette8(kxserverbitmap *d, const kxpxmap *src, const kxserverrect &r)
{
    std::uint32_t colour[KX_PALETTE_SIZE];
    for (int i = 0; i < KX_PALETTE_SIZE; i++)
        colour[i] = static_cast<std::uint32_t>(src->palette[i]) & RGB_BITS;
    const auto *in = static_cast<const std::uint8_t *>(src->data);
    for (long long j = 0; j < r.height; j++) {
        const std::uint8_t *s = in + static_cast<std::size_t>(r.sx) +
                                static_cast<std::size_t>(r.sy + j) * src->width;
        std::uint32_t *out = dest_row(d, r, j);
        for (long long i = 0; i < r.width; i++)
            if (s[i] != KX_TRANSPARENT_INDEX)
                out[i] = colour[s[i]];
    }
}

void kxserverhost_copytruecolor(kxserverbitmap *d, const kxpxmap *src, const kxserverrect &r)
{
    const auto *in = static_cast<const std::uint32_t *>(src->data);
    for (long long j = 0; j < r.height; j++) {
        const std::uint32_t *s = in + static_cast<std::size_t>(r.sx) +
                                 static_cast<std::size_t>(r.sy + j) * src->width;
        std::uint32_t *out = dest_row(d, r, j);
        for (long long i = 0; i < r.width; i++)
            out[i] = s[i] & RGB_BITS;
    }
}

void kxserverhost_copyserver(kxserverbitmap *d, const kxserverbitmap *s, const kxserverrect &r)
{
    const bool shared = s == d;
    source_words px(s->pixels, s->width, r, shared);
    if (!s->has_mask) {
        for (long long j = 0; j < r.height; j++)
            std::copy_n(px.row(j), r.width, dest_row(d, r, j));
        return;
    }
    source_words mask(s->mask, s->width, r, shared);
    for (long long j = 0; j < r.height; j++) {
        const std::uint32_t *sp = px.row(j), *sm = mask.row(j);
        std::uint32_t *out = dest_row(d, r, j);
        for (long long i = 0; i < r.width; i++)
            out[i] = (out[i] & sm[i]) | sp[i];
    }
}

void kxserverhost_fill(kxserverbitmap *b, const kxserverrect &r)
{
    use_brush(b);
    for (long long j = r.dy; j < r.dy + r.height; j++)
        std::fill_n(b->pixels + at(b, r.dx, j), r.width, current_colour);
}

// ---- the server entries ---------------------------------------------------

kxserverbitmap *kxserver_create(int width, int height)
{
    if (width < 0 || height < 0 ||
        static_cast<long long>(width) * height > KX_PXMAP_MAX_PIXELS)
        return nullptr;
    auto *b = new (std::nothrow) kxserverbitmap;
    if (!b)
        return nullptr;
    b->pixels = new_words(width, height);
    if (!b->pixels) {
        delete b;
        return nullptr;
    }
    b->width = width;
    b->height = height;
    return b;
}

bool kxserver_adopt(kxpxmap *p, std::uint32_t *store, bool keep, void (*release)(void *),
                    void *context)
{
    kxserverbitmap *b = kxserver_bitmap(p);
    if (!b || !store || !release || b->release)
        return false;
    if (keep)
        std::copy_n(b->pixels, static_cast<std::size_t>(b->width) * b->height, store);
    std::free(b->pixels);
    b->pixels = store;
    b->release = release;
    b->release_context = context;
    return true;
}

void kxserver_free(kxpxmap *p)
{
    kxserverbitmap *b = kxserver_bitmap(p);
    if (!b)
        return;
    destroy(b);
    p->data = nullptr;
}

bool kxserver_fromtruecolor(kxpxmap *p)
{
    if (!p || p->format != KX_PXFMT_TRUECOLOR || !p->data)
        return false;
    kxserverbitmap *b = kxserver_create(p->width, p->height);
    if (!b)
        return false;
    const auto *in = static_cast<const std::uint32_t *>(p->data);
    const std::size_t n = static_cast<std::size_t>(p->width) * p->height;
    for (std::size_t i = 0; i < n; i++)
        b->pixels[i] = in[i] & RGB_BITS;
    std::free(p->data);
    p->data = b;
    p->format = KX_PXFMT_SERVER;
    return true;
}

bool kxserver_frompalette8(kxpxmap *p)
{
    if (!p || p->format != KX_PXFMT_PALETTE8 || !p->data)
        return false;
    kxserverbitmap *b = kxserver_create(p->width, p->height);
    if (!b)
        return false;
    const auto *in = static_cast<const std::uint8_t *>(p->data);
    const std::size_t n = static_cast<std::size_t>(p->width) * p->height;
    std::uint32_t colour[KX_PALETTE_SIZE];
    for (int i = 0; i < KX_PALETTE_SIZE; i++)
        colour[i] = static_cast<std::uint32_t>(p->palette[i]) & RGB_BITS;
    colour[KX_TRANSPARENT_INDEX] = 0;
    bool transparent = false;
    for (std::size_t i = 0; i < n; i++) {
        b->pixels[i] = colour[in[i]];
        transparent |= in[i] == KX_TRANSPARENT_INDEX;
    }
    if (transparent) {
        b->mask = new_words(p->width, p->height);
        if (!b->mask) {
            destroy(b);
            return false;
        }
        for (std::size_t i = 0; i < n; i++)
            b->mask[i] = in[i] == KX_TRANSPARENT_INDEX ? MASK_TRANSPARENT : MASK_OPAQUE;
        b->has_mask = 1;
    }
    std::free(p->data);
    p->data = b;
    p->format = KX_PXFMT_SERVER;
    return true;
}

bool kxserver_totruecolor(kxpxmap *p)
{
    kxserverbitmap *b = kxserver_bitmap(p);
    if (!b)
        return false;
    std::uint32_t *out = new_words(b->width, b->height);
    if (!out)
        return false;
    std::copy_n(b->pixels, static_cast<std::size_t>(b->width) * b->height, out);
    p->width = b->width;
    p->height = b->height;
    kxserver_free(p);
    p->data = out;
    p->format = KX_PXFMT_TRUECOLOR;
    return true;
}

void kxserver_setpixel(kxpxmap *p, int x, int y)
{
    if (kxserverbitmap *b = kxserver_bitmap(p))
        plot(b, x, y);
}

int kxserver_getpixel(const kxpxmap *p, int x, int y)
{
    const kxserverbitmap *b = kxserver_bitmap(p);
    if (!b || x < 0 || y < 0 || x >= b->width || y >= b->height)
        return -1;
    return static_cast<int>(b->pixels[at(b, x, y)]);
}

void kxserver_setpixels(kxpxmap *p, int count, const int *xs, const int *ys, int colour)
{
    kxserver_setcolour(colour);
    kxserverbitmap *b = kxserver_bitmap(p);
    if (!b || count <= 0 || !xs || !ys)
        return;
    for (int i = 0; i < count; i++)
        plot(b, xs[i], ys[i]);
}

bool kxserver_line(kxpxmap *p, int x0, int y0, int x1, int y1, int colour)
{
    kxserverbitmap *b = kxserver_bitmap(p);
    if (!b)
        return false;
    kxserver_setcolour(colour);
    use_pen(b);
    draw_line(b, x0, y0, x1, y1);
    return true;
}

bool kxserver_circle(kxpxmap *p, int cx, int cy, int r, int colour)
{
    kxserverbitmap *b = kxserver_bitmap(p);
    if (!b || r < 0)
        return false;
    kxserver_setcolour(colour);
    use_pen(b);
    kxcirclewalk::walk(cx, cy, r, b->width, b->height,
                       [b](long long x, long long y) { plot(b, x, y); });
    return true;
}

void kxserver_setcolour(int colour) { current_colour = static_cast<std::uint32_t>(colour) & RGB_BITS; }

const std::uint32_t *kxserver_pixels(const kxpxmap *p)
{
    const kxserverbitmap *b = kxserver_bitmap(p);
    return b ? b->pixels : nullptr;
}

const std::uint32_t *kxserver_mask(const kxpxmap *p)
{
    const kxserverbitmap *b = kxserver_bitmap(p);
    return b && b->has_mask ? b->mask : nullptr;
}

int kxserver_brushes_made(const kxpxmap *p)
{
    const kxserverbitmap *b = kxserver_bitmap(p);
    return b ? b->brushes_made : 0;
}

int kxserver_pens_made(const kxpxmap *p)
{
    const kxserverbitmap *b = kxserver_bitmap(p);
    return b ? b->pens_made : 0;
}
