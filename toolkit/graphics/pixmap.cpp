// Pixmaps: allocation, pixel and rectangle access, conversion between the
// storage formats and the merge that copies one pixmap into another with
// transparency.  Memory stores are flat arrays, pixel (x, y) at x + y * width;
// server and screen pixmaps go through the platform layer.
#include "graphics/pixmap.h"

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unordered_map>
#include <vector>

#include "platform/platform.h"

namespace {

using pal8_t = std::uint8_t;
using pal16_t = std::uint16_t;
using true_t = std::uint32_t;

// Reducing a colour to the top two bits of each channel leaves at most 64.
constexpr int REDUCE_MASK = 0xC0C0C0;
// Palette slots that remapping hands out: 254 down to 1, then 254 again.
constexpr int FIRST_ADDED_SLOT = 254;
constexpr int LAST_ADDED_SLOT = 1;
// Entry 255 is the transparent index, so a conversion can give real colours
// to 255 entries at most.
constexpr int MAX_OPAQUE_COLOURS = 255;
// Greyed-out icons: dark parts become this grey with a white shadow.
constexpr int DISABLED_GREY = 0x808080;
constexpr int DISABLED_SHADOW = 0xFFFFFF;
constexpr int DISABLED_THRESHOLD = 128;

bool is_memory_format(int format)
{
    return format == KX_PXFMT_PALETTE8 || format == KX_PXFMT_PALETTE16 ||
           format == KX_PXFMT_TRUECOLOR;
}

std::size_t bytes_per_pixel(int format)
{
    switch (format) {
    case KX_PXFMT_PALETTE8: return sizeof(pal8_t);
    case KX_PXFMT_PALETTE16: return sizeof(pal16_t);
    case KX_PXFMT_TRUECOLOR: return sizeof(true_t);
    default: return 0;
    }
}

// Formats whose pixels can be used, with their store present.
bool has_store(const kxpxmap *p)
{
    if (p->format == KX_PXFMT_SCREEN)
        return true;
    return p->data != nullptr && (is_memory_format(p->format) || p->format == KX_PXFMT_SERVER);
}

// Memory and server formats need their store; a missing one (never
// allocated, or the allocation failed) means the operation does nothing.
bool missing_store(const kxpxmap *p)
{
    return (is_memory_format(p->format) || p->format == KX_PXFMT_SERVER) && !p->data;
}

std::size_t pixel_count(const kxpxmap *p)
{
    return static_cast<std::size_t>(p->width) * static_cast<std::size_t>(p->height);
}

std::size_t offset(const kxpxmap *p, long long x, long long y)
{
    return static_cast<std::size_t>(x) +
           static_cast<std::size_t>(y) * static_cast<std::size_t>(p->width);
}

template <class T> T *pixels(kxpxmap *p) { return static_cast<T *>(p->data); }
template <class T> const T *pixels(const kxpxmap *p) { return static_cast<const T *>(p->data); }

bool inside(const kxpxmap *p, int x, int y)
{
    return x >= 0 && y >= 0 && x < p->width && y < p->height;
}

// Checks a size before a store is made for it; op names the operation in the
// diagnostic.
bool size_ok(const char *op, long long width, long long height)
{
    if (width < 0 || height < 0) {
        std::printf("%s: negative size %lld x %lld\n", op, width, height);
        return false;
    }
    if (width * height > KX_PXMAP_MAX_PIXELS) {
        std::printf("%s: size %lld x %lld too large\n", op, width, height);
        return false;
    }
    return true;
}

// A zero-filled store; never null for an empty size, so that "no store"
// keeps meaning "not allocated".
void *new_store(int format, int width, int height)
{
    std::size_t n = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    return std::calloc(std::max<std::size_t>(n, 1), bytes_per_pixel(format));
}

void release_store(kxpxmap *p)
{
    if (p->format == KX_PXFMT_SERVER)
        kxserver_free(p);
    else if (is_memory_format(p->format))
        std::free(p->data);
    p->data = nullptr;
}

// Fills a rectangle that is already clipped to a memory pixmap.
void fill_memory(kxpxmap *p, long long x, long long y, long long w, long long h, int colour)
{
    for (long long j = y; j < y + h; j++) {
        std::size_t at = offset(p, x, j);
        switch (p->format) {
        case KX_PXFMT_PALETTE8:
            std::memset(pixels<pal8_t>(p) + at, static_cast<pal8_t>(colour),
                        static_cast<std::size_t>(w));
            break;
        case KX_PXFMT_PALETTE16:
            std::fill_n(pixels<pal16_t>(p) + at, w, static_cast<pal16_t>(colour));
            break;
        case KX_PXFMT_TRUECOLOR:
            std::fill_n(pixels<true_t>(p) + at, w, static_cast<true_t>(colour));
            break;
        }
    }
}

// Server rectangle in a colour, with the per-pixel path when the platform's
// fill does not do it.
void fill_server(kxpxmap *p, int x, int y, int w, int h, int colour)
{
    kxserver_setcolour(colour);
    if (kxserver_fillrect(p, x, y, w, h))
        return;
    for (int j = y; j < y + h; j++)
        for (int i = x; i < x + w; i++)
            kxserver_setpixel(p, i, j);
}

// ------------------------------------------------------------------ merge

// A merge region after clipping: every pixel of it lies in both pixmaps.
struct region {
    int dx, dy, sx, sy, w, h;
};

bool clip_merge(const kxpxmap *d, const kxpxmap *s, int dx, int dy, int sx, int sy, int w, int h,
                region *r)
{
    long long ldx = dx, ldy = dy, lsx = sx, lsy = sy;
    long long lw = (w == 0 || w == -1) ? s->width : w;
    long long lh = (h == 0 || h == -1) ? s->height : h;
    if (!kxpxmap_clipspan(ldx, lsx, lw, d->width, s->width) ||
        !kxpxmap_clipspan(ldy, lsy, lh, d->height, s->height))
        return false;
    *r = {static_cast<int>(ldx), static_cast<int>(ldy), static_cast<int>(lsx),
          static_cast<int>(lsy), static_cast<int>(lw), static_cast<int>(lh)};
    return true;
}

// Rows of a merge source.  When source and destination share one store the
// region is copied out first, so overlapping moves read the old pixels.
template <class T> class source_rows {
  public:
    source_rows(const kxpxmap *s, const region &r, bool shared)
    {
        const T *base = pixels<T>(s) + offset(s, r.sx, r.sy);
        stride_ = static_cast<std::size_t>(s->width);
        first_ = base;
        if (!shared)
            return;
        copy_.resize(static_cast<std::size_t>(r.w) * static_cast<std::size_t>(r.h));
        for (int j = 0; j < r.h; j++)
            std::copy_n(base + j * stride_, r.w, copy_.data() + static_cast<std::size_t>(j) * r.w);
        first_ = copy_.data();
        stride_ = static_cast<std::size_t>(r.w);
    }
    const T *row(int j) const { return first_ + static_cast<std::size_t>(j) * stride_; }

  private:
    const T *first_ = nullptr;
    std::size_t stride_ = 0;
    std::vector<T> copy_;
};

template <class T> T *dest_row(kxpxmap *d, const region &r, int j)
{
    return pixels<T>(d) + offset(d, r.dx, r.dy + j);
}

// Copies indexes through a table; mapped value 255 leaves the destination.
void copy_mapped_pal8(kxpxmap *d, const kxpxmap *s, const region &r, const pal8_t *map)
{
    source_rows<pal8_t> src(s, r, s->data == d->data);
    for (int j = 0; j < r.h; j++) {
        const pal8_t *in = src.row(j);
        pal8_t *out = dest_row<pal8_t>(d, r, j);
        for (int i = 0; i < r.w; i++) {
            pal8_t m = map[in[i]];
            if (m != KX_TRANSPARENT_INDEX)
                out[i] = m;
        }
    }
}

void copy_rows_pal8(kxpxmap *d, const kxpxmap *s, const region &r)
{
    source_rows<pal8_t> src(s, r, s->data == d->data);
    for (int j = 0; j < r.h; j++)
        std::memcpy(dest_row<pal8_t>(d, r, j), src.row(j), static_cast<std::size_t>(r.w));
}

// Stores a colour that remapping could not find: slots 254 down to 1, then
// 254 again.  A counter outside that range restarts at 254 too.
int add_colour(kxpxmap *d, int colour)
{
    int slot = d->next_free_slot;
    if (slot < LAST_ADDED_SLOT || slot > FIRST_ADDED_SLOT)
        slot = FIRST_ADDED_SLOT;
    d->palette[slot] = colour;
    d->next_free_slot = slot - 1;
    return slot;
}

int find_in(const kxpxmap *p, int colour, int last)
{
    for (int i = 0; i <= last; i++)
        if (p->palette[i] == colour)
            return i;
    return -1;
}

// Palette code 0: each source colour goes to an equal destination colour, a
// close one, or a newly added one.
void remap_pal8(kxpxmap *d, const kxpxmap *s, const region &r)
{
    // The source palette may be the destination's own, which changes below.
    const std::array<int, KX_PALETTE_SIZE> colours = s->palette;
    pal8_t map[KX_PALETTE_SIZE];
    map[KX_TRANSPARENT_INDEX] = KX_TRANSPARENT_INDEX;
    for (int c = 0; c < KX_TRANSPARENT_INDEX; c++) {
        int i = find_in(d, colours[c], KX_TRANSPARENT_INDEX - 1);
        if (i < 0)
            i = find_in(d, colours[c] & REDUCE_MASK, KX_TRANSPARENT_INDEX);
        if (i < 0)
            i = add_colour(d, colours[c]);
        map[c] = static_cast<pal8_t>(i);
    }
    copy_mapped_pal8(d, s, r, map);
}

void merge_pal8topal8(kxpxmap *d, const kxpxmap *s, const region &r, int palettecode)
{
    switch (palettecode) {
    case 0:
        remap_pal8(d, s, r);
        break;
    case 1: {
        pal8_t same[KX_PALETTE_SIZE];
        for (int i = 0; i < KX_PALETTE_SIZE; i++)
            same[i] = static_cast<pal8_t>(i);
        copy_mapped_pal8(d, s, r, same);
        break;
    }
    case 2:
        std::printf("kxpxmap_merge_pal8topal8_pc2\n");
        break;
    case 3:
        copy_rows_pal8(d, s, r);
        d->palette = s->palette;
        break;
    default:
        std::printf("kxpxmap_merge_pal8topal8: wrong PaletteCode (%d)\n", palettecode);
        break;
    }
}

// Destination palette8.
void merge1(kxpxmap *d, const kxpxmap *s, const region &r, int palettecode)
{
    if (s->format == KX_PXFMT_PALETTE8)
        merge_pal8topal8(d, s, r, palettecode);
    else if (s->format == KX_PXFMT_TRUECOLOR)
        std::printf("kxpxmap_merge_truecolortopal8: not implemented\n");
    else
        std::printf("kxpxmap_merge1: unsupported formats: %d -> %d\n", s->format, d->format);
}

// Destination truecolor.
void merge2(kxpxmap *d, const kxpxmap *s, const region &r)
{
    const bool shared = s->data == d->data;
    if (s->format == KX_PXFMT_PALETTE8) {
        true_t colour[KX_PALETTE_SIZE];
        for (int i = 0; i < KX_PALETTE_SIZE; i++)
            colour[i] = static_cast<true_t>(s->palette[i]);
        source_rows<pal8_t> src(s, r, shared);
        for (int j = 0; j < r.h; j++) {
            const pal8_t *in = src.row(j);
            true_t *out = dest_row<true_t>(d, r, j);
            for (int i = 0; i < r.w; i++)
                if (in[i] != KX_TRANSPARENT_INDEX)
                    out[i] = colour[in[i]];
        }
    } else if (s->format == KX_PXFMT_TRUECOLOR) {
        const true_t key = static_cast<true_t>(s->palette[KX_TRANSPARENT_INDEX]);
        source_rows<true_t> src(s, r, shared);
        for (int j = 0; j < r.h; j++) {
            const true_t *in = src.row(j);
            true_t *out = dest_row<true_t>(d, r, j);
            for (int i = 0; i < r.w; i++)
                if (in[i] != key)
                    out[i] = in[i];
        }
    } else {
        std::printf("kxpxmap_merge2: unsupported formats: %d -> %d\n", s->format, d->format);
    }
}

// Destination screen.
void merge3(const kxpxmap *s, const region &r)
{
    if (s->format == KX_PXFMT_TRUECOLOR || s->format == KX_PXFMT_SERVER)
        kxscreen_blit(s, r.dx, r.dy, r.sx, r.sy, r.w, r.h);
    else
        std::printf("kxpxmap_merge3: unsupported formats: %d -> screen\n", s->format);
}

// ------------------------------------------------------------ conversions

// Palette8 store and palette of a truecolor image; false when it has more
// opaque colours than fit (only possible when reduce is off).
bool build_pal8(const true_t *in, std::size_t n, bool reduce, int key, pal8_t *out,
                std::array<int, KX_PALETTE_SIZE> *palette, int *used)
{
    std::unordered_map<true_t, pal8_t> index;
    index.reserve(2 * MAX_OPAQUE_COLOURS);
    int count = 0;
    true_t last = 0;
    pal8_t last_index = 0;
    bool have_last = false;
    for (std::size_t i = 0; i < n; i++) {
        true_t c = reduce ? in[i] & REDUCE_MASK : in[i];
        if (!have_last || c != last) {
            auto it = index.find(c);
            if (it != index.end()) {
                last_index = it->second;
            } else {
                if (count == MAX_OPAQUE_COLOURS)
                    return false;
                last_index = static_cast<pal8_t>(count);
                (*palette)[count++] = static_cast<int>(c);
                index.emplace(c, last_index);
            }
            last = c;
            have_last = true;
        }
        // The key is compared with the pixel as it was, so a reduction does not
        // make the caller's transparent colour opaque.
        out[i] = in[i] == static_cast<true_t>(key) ? KX_TRANSPARENT_INDEX : last_index;
    }
    *used = count;
    return true;
}

} // namespace

void kxpxmap_init(kxpxmap *p)
{
    if (!p)
        return;
    p->width = 0;
    p->height = 0;
    p->format = KX_PXFMT_NONE;
    p->data = nullptr;
    p->next_free_slot = FIRST_ADDED_SLOT;
}

bool kxpxmap_allocate(kxpxmap *p)
{
    if (!p)
        return false;
    const bool memory = is_memory_format(p->format);
    if (!memory && p->format != KX_PXFMT_SERVER && p->format != KX_PXFMT_SCREEN) {
        std::printf("kxpxmap_allocate: wrong format\n");
        return false;
    }
    if (!size_ok("kxpxmap_allocate", p->width, p->height))
        return false;
    if (memory)
        p->data = new_store(p->format, p->width, p->height);
    else if (p->format == KX_PXFMT_SERVER)
        p->data = kxserver_create(p->width, p->height);
    else
        kxscreen_init();
    if (p->format != KX_PXFMT_SCREEN && !p->data) {
        std::printf("kxpxmap_allocate: out of memory for %d x %d\n", p->width, p->height);
        return false;
    }
    p->palette = kxpxmap_defaultpalette();
    return true;
}

void kxpxmap_free(kxpxmap *p)
{
    if (!p)
        return;
    release_store(p);
    kxpxmap_init(p);
}

void kxpxmap_clear(kxpxmap *p, int colour)
{
    if (!p)
        return;
    if (is_memory_format(p->format)) {
        if (p->data)
            fill_memory(p, 0, 0, p->width, p->height, colour);
    } else if (p->format == KX_PXFMT_SERVER) {
        if (p->data)
            fill_server(p, 0, 0, p->width, p->height, colour);
    } else if (p->format == KX_PXFMT_SCREEN) {
        kxscreen_fillrect(0, 0, p->width, p->height, colour);
    } else {
        std::printf("kxpxmap_clear: wrong format\n");
    }
}

void kxpxmap_setpixel(kxpxmap *p, int x, int y, int colour)
{
    if (!p || !inside(p, x, y))
        return;
    if (missing_store(p))
        return;
    switch (p->format) {
    case KX_PXFMT_PALETTE8:
        pixels<pal8_t>(p)[offset(p, x, y)] = static_cast<pal8_t>(colour);
        break;
    case KX_PXFMT_PALETTE16:
        pixels<pal16_t>(p)[offset(p, x, y)] = static_cast<pal16_t>(colour);
        break;
    case KX_PXFMT_TRUECOLOR:
        pixels<true_t>(p)[offset(p, x, y)] = static_cast<true_t>(colour);
        break;
    case KX_PXFMT_SERVER:
        kxserver_setcolour(colour);
        kxserver_setpixel(p, x, y);
        break;
    case KX_PXFMT_SCREEN:
        kxscreen_setpixel(x, y, colour);
        break;
    default:
        std::printf("kxpxmap_setpixel: wrong format %d\n", p->format);
        break;
    }
}

int kxpxmap_getpixel(const kxpxmap *p, int x, int y)
{
    if (!p || !inside(p, x, y))
        return -1;
    if (missing_store(p))
        return -1;
    switch (p->format) {
    case KX_PXFMT_PALETTE8:
        return pixels<pal8_t>(p)[offset(p, x, y)];
    case KX_PXFMT_PALETTE16:
        return pixels<pal16_t>(p)[offset(p, x, y)];
    case KX_PXFMT_TRUECOLOR:
        return static_cast<int>(pixels<true_t>(p)[offset(p, x, y)]);
    case KX_PXFMT_SERVER:
        return kxserver_getpixel(p, x, y);
    default:
        std::printf("kxpxmap_getpixel: wrong format\n");
        return -1;
    }
}

void kxpxmap_setpixels(kxpxmap *p, int count, const int *xs, const int *ys, int colour)
{
    if (!p || count <= 0 || !xs || !ys)
        return;
    if (p->format == KX_PXFMT_SERVER) {
        if (p->data)
            kxserver_setpixels(p, count, xs, ys, colour);
    } else if (p->format == KX_PXFMT_SCREEN) {
        kxscreen_setpixels(count, xs, ys, colour);
    } else {
        for (int i = 0; i < count; i++)
            kxpxmap_setpixel(p, xs[i], ys[i], colour);
    }
}

void kxpxmap_fillrect(kxpxmap *p, int x, int y, int width, int height, int colour)
{
    if (!p || !has_store(p))
        return;
    long long lx = x, ly = y, lw = width, lh = height;
    if (!kxpxmap_cliprange(lx, lw, p->width) || !kxpxmap_cliprange(ly, lh, p->height))
        return;
    if (is_memory_format(p->format))
        fill_memory(p, lx, ly, lw, lh, colour);
    else if (p->format == KX_PXFMT_SERVER)
        fill_server(p, static_cast<int>(lx), static_cast<int>(ly), static_cast<int>(lw),
                    static_cast<int>(lh), colour);
    else
        kxscreen_fillrect(static_cast<int>(lx), static_cast<int>(ly), static_cast<int>(lw),
                          static_cast<int>(lh), colour);
}

bool kxpxmap_duplicate(kxpxmap *dst, const kxpxmap *src, int x, int y, int width, int height)
{
    if (!dst || !src)
        return false;
    if (!is_memory_format(src->format) && src->format != KX_PXFMT_SERVER) {
        std::printf("kxpxmap_duplicate: wrong format\n");
        return false;
    }
    if (!src->data)
        return false;
    long long rx = x == -1 ? 0 : x, ry = y == -1 ? 0 : y;
    long long rw = width == -1 ? src->width - rx : width;
    long long rh = height == -1 ? src->height - ry : height;
    // Whatever else was asked, only pixels of the source are read.
    if (!kxpxmap_cliprange(rx, rw, src->width))
        rw = 0;
    if (!kxpxmap_cliprange(ry, rh, src->height))
        rh = 0;

    kxpxmap copy;
    kxpxmap_init(&copy);
    copy.width = static_cast<int>(rw);
    copy.height = static_cast<int>(rh);
    copy.format = src->format;
    if (!kxpxmap_allocate(&copy))
        return false;
    if (src->format == KX_PXFMT_SERVER) {
        kxserver_merge(&copy, src, 0, 0, copy.width, copy.height, static_cast<int>(rx),
                       static_cast<int>(ry));
    } else {
        const std::size_t bpp = bytes_per_pixel(src->format);
        const auto *in = static_cast<const unsigned char *>(src->data);
        auto *out = static_cast<unsigned char *>(copy.data);
        for (long long j = 0; j < rh; j++)
            std::memcpy(out + offset(&copy, 0, j) * bpp, in + offset(src, rx, ry + j) * bpp,
                        static_cast<std::size_t>(rw) * bpp);
    }
    copy.palette = src->palette;
    // Duplicating a pixmap onto itself replaces its store.
    if (dst == src)
        release_store(dst);
    copy.pen_x = dst->pen_x;
    copy.pen_y = dst->pen_y;
    *dst = copy;
    return true;
}

bool kxpxmap_resize(kxpxmap *p, int width, int height)
{
    if (!p)
        return false;
    switch (p->format) {
    case KX_PXFMT_TRUECOLOR: {
        if (!size_ok("kxpxmap_resize", width, height) || !p->data)
            return false;
        auto *out = static_cast<true_t *>(new_store(p->format, width, height));
        if (!out) {
            std::printf("kxpxmap_resize: out of memory for %d x %d\n", width, height);
            return false;
        }
        const int keep_w = std::min(width, p->width), keep_h = std::min(height, p->height);
        const true_t *in = pixels<true_t>(p);
        for (int j = 0; j < keep_h; j++)
            std::copy_n(in + offset(p, 0, j),
                        keep_w, out + static_cast<std::size_t>(j) * static_cast<std::size_t>(width));
        std::free(p->data);
        p->data = out;
        break;
    }
    case KX_PXFMT_SERVER:
        if (!size_ok("kxpxmap_resize", width, height) || !p->data)
            return false;
        if (!kxserver_resize(p, width, height)) {
            std::printf("kxpxmap_resize: out of memory for %d x %d\n", width, height);
            return false;
        }
        break;
    case KX_PXFMT_SCREEN:
        if (!size_ok("kxpxmap_resize", width, height))
            return false;
        break;
    default:
        std::printf("kxpxmap_resize: wrong format %d\n", p->format);
        return false;
    }
    p->width = width;
    p->height = height;
    return true;
}

bool kxpxmap_convert(kxpxmap *p, int format, int colour)
{
    if (!p)
        return false;
    switch (format) {
    case KX_PXFMT_PALETTE8:
        return kxpxmap_convert2palette8(p, colour);
    case KX_PXFMT_TRUECOLOR:
        return kxpxmap_convert2truecolor(p, colour);
    case KX_PXFMT_SERVER:
        return kxpxmap_convert2server(p);
    case KX_PXFMT_SCREEN:
        release_store(p);
        p->format = KX_PXFMT_SCREEN;
        return true;
    default:
        std::printf("kxpxmap_convert: format %d not supported\n", format);
        return false;
    }
}

// Exactly 256 distinct colours would put one into entry 255, where it reads
// as transparent; such images are reduced like larger ones, so entry 255
// keeps the transparent colour.
bool kxpxmap_convert2palette8(kxpxmap *p, int transparent)
{
    if (!p)
        return false;
    if (p->format == KX_PXFMT_PALETTE8)
        return true;
    if (p->format != KX_PXFMT_TRUECOLOR) {
        std::printf("kxpxmap_convert2palette8: wrong format %d\n", p->format);
        return false;
    }
    if (!p->data)
        return false;
    auto *out = static_cast<pal8_t *>(new_store(KX_PXFMT_PALETTE8, p->width, p->height));
    if (!out) {
        std::printf("kxpxmap_convert2palette8: out of memory\n");
        return false;
    }
    const true_t *in = pixels<true_t>(p);
    std::array<int, KX_PALETTE_SIZE> palette = p->palette;
    int used = 0;
    if (!build_pal8(in, pixel_count(p), false, transparent, out, &palette, &used))
        build_pal8(in, pixel_count(p), true, transparent, out, &palette, &used);
    std::copy_n(palette.begin(), used, p->palette.begin());
    std::free(p->data);
    p->data = out;
    p->format = KX_PXFMT_PALETTE8;
    return true;
}

bool kxpxmap_convert2truecolor(kxpxmap *p, int background)
{
    if (!p)
        return false;
    switch (p->format) {
    case KX_PXFMT_PALETTE8: {
        if (!p->data)
            return false;
        auto *out = static_cast<true_t *>(new_store(KX_PXFMT_TRUECOLOR, p->width, p->height));
        if (!out) {
            std::printf("kxpxmap_convert2truecolor: out of memory\n");
            return false;
        }
        true_t colour[KX_PALETTE_SIZE];
        for (int i = 0; i < KX_PALETTE_SIZE; i++)
            colour[i] = static_cast<true_t>(p->palette[i]);
        colour[KX_TRANSPARENT_INDEX] = static_cast<true_t>(background == -1 ? 0 : background);
        const pal8_t *in = pixels<pal8_t>(p);
        const std::size_t n = pixel_count(p);
        for (std::size_t i = 0; i < n; i++)
            out[i] = colour[in[i]];
        std::free(p->data);
        p->data = out;
        p->format = KX_PXFMT_TRUECOLOR;
        return true;
    }
    case KX_PXFMT_TRUECOLOR:
        return true;
    case KX_PXFMT_SERVER:
        if (!p->data)
            return false;
        if (!kxserver_totruecolor(p)) {
            std::printf("kxpxmap_convert2truecolor: out of memory\n");
            return false;
        }
        return true;
    default:
        std::printf("kxpxmap_convert2truecolor: wrong format\n");
        return false;
    }
}

bool kxpxmap_convert2server(kxpxmap *p)
{
    if (!p)
        return false;
    bool done;
    if (p->format == KX_PXFMT_PALETTE8) {
        if (!p->data)
            return false;
        done = kxserver_frompalette8(p);
    } else if (p->format == KX_PXFMT_TRUECOLOR) {
        if (!p->data)
            return false;
        done = kxserver_fromtruecolor(p);
    } else {
        std::printf("kxpxmap_convert2server: unsupported format %d\n", p->format);
        return false;
    }
    if (!done)
        std::printf("kxpxmap_convert2server: out of memory\n");
    return done;
}

void kxpxmap_merge4(kxpxmap *dst, const kxpxmap *src, int dx, int dy, int sx, int sy, int width,
                    int height, int palettecode)
{
    if (!dst || !src || !has_store(dst) || !has_store(src))
        return;
    region r;
    if (!clip_merge(dst, src, dx, dy, sx, sy, width, height, &r))
        return;
    switch (dst->format) {
    case KX_PXFMT_PALETTE8:
        merge1(dst, src, r, palettecode);
        break;
    case KX_PXFMT_TRUECOLOR:
        merge2(dst, src, r);
        break;
    case KX_PXFMT_SERVER:
        kxserver_merge(dst, src, r.dx, r.dy, r.w, r.h, r.sx, r.sy);
        break;
    case KX_PXFMT_SCREEN:
        merge3(src, r);
        break;
    default:
        std::printf("kxpxmap_merge4: unsupported formats: %d -> %d\n", src->format, dst->format);
        break;
    }
}

// Copies every pixel, transparent ones included, between two pixmaps of the
// same format.
bool kxpxmap_copyrect(kxpxmap *dst, const kxpxmap *src, int dx, int dy, int sx, int sy, int width,
                      int height)
{
    if (!dst || !src || !has_store(dst) || !has_store(src) || dst->format != src->format)
        return false;
    region r;
    if (!clip_merge(dst, src, dx, dy, sx, sy, width, height, &r))
        return true;
    if (dst->format == KX_PXFMT_SERVER) {
        kxserver_merge(dst, src, r.dx, r.dy, r.w, r.h, r.sx, r.sy);
        return true;
    }
    if (!is_memory_format(dst->format))
        return false;
    std::size_t bpp = bytes_per_pixel(dst->format);
    auto *d = static_cast<unsigned char *>(dst->data);
    const auto *sp = static_cast<const unsigned char *>(src->data);
    for (int j = 0; j < r.h; j++)
        std::memmove(d + offset(dst, r.dx, r.dy + j) * bpp, sp + offset(src, r.sx, r.sy + j) * bpp,
                     static_cast<std::size_t>(r.w) * bpp);
    return true;
}

void kxpxmap_setpalette(kxpxmap *p, int index, int colour)
{
    if (p && index >= 0 && index < KX_PALETTE_SIZE)
        p->palette[index] = colour;
}

void kxpxmap_settransparent(kxpxmap *p, int colour)
{
    if (p)
        p->palette[KX_TRANSPARENT_INDEX] = colour;
}

int kxpxmap_findcolor(const kxpxmap *p, int colour)
{
    return p ? find_in(p, colour, KX_PALETTE_SIZE - 1) : -1;
}

void kxpxmap_makedisabled(kxpxmap *p)
{
    if (!p)
        return;
    const true_t t = static_cast<true_t>(p->palette[KX_TRANSPARENT_INDEX]);
    const int w = p->width, h = p->height;
    if (!size_ok("kxpxmap_makedisabled", w + 1LL, h + 1LL))
        return;
    if (!kxpxmap_convert2palette8(p, -1) || !p->data)
        return;
    const int rw = w + 1, rh = h + 1;
    auto *res = static_cast<true_t *>(new_store(KX_PXFMT_TRUECOLOR, rw, rh));
    if (!res) {
        std::printf("kxpxmap_makedisabled: out of memory\n");
        return;
    }
    const pal8_t *src = pixels<pal8_t>(p);
    auto at = [rw](int x, int y) { return static_cast<std::size_t>(x) + static_cast<std::size_t>(y) * rw; };
    auto transparent = [&](int x, int y) { return src[offset(p, x, y)] == KX_TRANSPARENT_INDEX; };

    for (int x = 0; x < rw; x++)
        res[at(x, h)] = t;
    for (int y = 0; y < rh; y++)
        res[at(w, y)] = t;
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) {
            if (transparent(x, y)) {
                res[at(x, y)] = t;
                continue;
            }
            const int c = p->palette[src[offset(p, x, y)]];
            const int grey = (((c >> 16) & 0xFF) + ((c >> 8) & 0xFF) + (c & 0xFF)) / 3;
            res[at(x, y)] = grey > DISABLED_THRESHOLD ? t : DISABLED_GREY;
        }
    // The white shadow one pixel down and to the right of grey parts: first
    // along the rows, then along the columns (the second pass sees the first).
    for (int j = 0; j + 1 < h; j++)
        for (int k = w - 1; k >= 1; k--)
            if (res[at(k, j)] == DISABLED_GREY && (k + 1 == w || transparent(k + 1, j + 1)))
                res[at(k + 1, j + 1)] = DISABLED_SHADOW;
    for (int j = 0; j + 1 < w; j++)
        for (int k = h - 1; k >= 1; k--)
            if (res[at(j, k)] == DISABLED_GREY && (k + 1 == h || transparent(j + 1, k + 1)))
                res[at(j + 1, k + 1)] = DISABLED_SHADOW;

    std::free(p->data);
    p->data = res;
    p->width = rw;
    p->height = rh;
    p->format = KX_PXFMT_TRUECOLOR;
}
