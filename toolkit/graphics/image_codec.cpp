// The shared parts of the image readers and writers: size limits, the
// placing of a picture into a target, and truecolor copies for writers.
// Kept apart from the dispatch so that a program using only some codecs
// does not pull in the page output.
#include "graphics/image_codec.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "base/file.h"
#include "graphics/image.h"

namespace kximage {

bool size_ok(const char *op, long long width, long long height)
{
    if (width >= 1 && height >= 1 && width <= KX_IMAGE_MAX_SIDE && height <= KX_IMAGE_MAX_SIDE)
        return true;
    std::printf("%s: picture size %lld x %lld not supported\n", op, width, height);
    return false;
}

bool target_ok(const char *op, const kxpxmap *target)
{
    if (!target)
        return false;
    const int f = target->format;
    if (f != KX_PXFMT_TRUECOLOR && f != KX_PXFMT_SERVER && f != KX_PXFMT_PALETTE8) {
        std::printf("%s: PX-Format %d not supported (should load and copy then)\n", op, f);
        return false;
    }
    if (!target->data) {
        std::printf("%s: target pixmap has no pixels\n", op);
        return false;
    }
    return true;
}

long remaining(std::FILE *f)
{
    const long pos = std::ftell(f);
    const long end = kxfile_streamsize(f);
    return pos < 0 || end < pos ? -1 : end - pos;
}

namespace {

std::uint32_t rgb_at(const std::uint8_t *p)
{
    return std::uint32_t(p[0]) << 16 | std::uint32_t(p[1]) << 8 | p[2];
}

// Straight into a truecolor target: no transparency, clipped at its edges.
bool place_truecolor(kxpxmap *t, int w, int h, row_source &rows, int x, int y, int xs, int ys)
{
    std::vector<std::uint8_t> line(static_cast<std::size_t>(w) * 3);
    long long cols = xs > 0 ? std::min(xs, w) : w;
    long long lines = ys > 0 ? std::min(ys, h) : h;
    cols = std::min<long long>(cols, static_cast<long long>(t->width) - x);
    lines = std::min<long long>(lines, static_cast<long long>(t->height) - y);
    auto *px = static_cast<std::uint32_t *>(t->data);
    for (int j = 0; j < h; j++) {
        if (!rows.next(line.data()))
            return false;
        if (j >= lines || cols <= 0)
            continue;
        std::uint32_t *out = px + static_cast<std::size_t>(y + j) * t->width + x;
        for (long long i = 0; i < cols; i++)
            out[i] = rgb_at(&line[3 * i]);
    }
    return true;
}

} // namespace

bool place(kxpxmap *t, int w, int h, row_source &rows, int x, int y, int xs, int ys)
{
    x = std::max(x, 0);
    y = std::max(y, 0);
    if (t->format == KX_PXFMT_TRUECOLOR)
        return place_truecolor(t, w, h, rows, x, y, xs, ys);

    kxpxmap tmp;
    kxpxmap_init(&tmp);
    tmp.width = w;
    tmp.height = h;
    tmp.format = KX_PXFMT_TRUECOLOR;
    if (!kxpxmap_allocate(&tmp))
        return false;
    std::vector<std::uint8_t> line(static_cast<std::size_t>(w) * 3);
    auto *px = static_cast<std::uint32_t *>(tmp.data);
    for (int j = 0; j < h; j++) {
        if (!rows.next(line.data())) {
            kxpxmap_free(&tmp);
            return false;
        }
        for (int i = 0; i < w; i++)
            px[static_cast<std::size_t>(j) * w + i] = rgb_at(&line[3 * i]);
    }
    // No transparent key: every pixel of a file is opaque.
    if (t->format == KX_PXFMT_PALETTE8)
        kxpxmap_convert2palette8(&tmp, -1);
    kxpxmap_merge4(t, &tmp, x, y, 0, 0, std::max(xs, 0), std::max(ys, 0), 0);
    kxpxmap_free(&tmp);
    return true;
}

truecolor_view::truecolor_view(const char *op, const kxpxmap *p)
{
    kxpxmap_init(&copy_);
    if (!p)
        return;
    switch (p->format) {
    case KX_PXFMT_TRUECOLOR:
        if (p->data)
            use_ = p;
        break;
    case KX_PXFMT_PALETTE8:
    case KX_PXFMT_SERVER:
        if (p->data && kxpxmap_duplicate(&copy_, p, -1, -1, -1, -1) &&
            kxpxmap_convert2truecolor(&copy_, 0))
            use_ = &copy_;
        break;
    default:
        std::printf("%s: unsupported format %d\n", op, p->format);
        break;
    }
}

truecolor_view::~truecolor_view() { kxpxmap_free(&copy_); }

} // namespace kximage
