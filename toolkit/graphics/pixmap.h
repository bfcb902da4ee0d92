// The pixmap: the toolkit's one picture type, in five storage formats, with a
// 256-entry palette whose entry 255 is the transparent colour.
#pragma once

#include <array>
#include <cstdint>

enum : int {
    KX_PXFMT_NONE = 0,
    KX_PXFMT_PALETTE8 = 1,
    KX_PXFMT_PALETTE16 = 2,
    KX_PXFMT_TRUECOLOR = 3,
    KX_PXFMT_SERVER = 4,
    KX_PXFMT_SCREEN = 5,
};

constexpr int KX_PALETTE_SIZE = 256;
constexpr int KX_TRANSPARENT_INDEX = 255;
// Largest pixel count a store may have; larger requests fail with a diagnostic
// instead of trying to allocate gigabytes.
constexpr long long KX_PXMAP_MAX_PIXELS = 16384LL * 16384LL;

struct kxpxmap {
    int width = 0;
    int height = 0;
    int format = KX_PXFMT_NONE;
    void *data = nullptr;  // pixel store, or the platform's server bitmap
    std::array<int, KX_PALETTE_SIZE> palette{};
    int next_free_slot = 254;
    int pen_x = 0, pen_y = 0;
};

// Save-under: a copy of a rectangle of some pixmap, to be put back later.
struct kxPxMapCache {
    kxpxmap *source = nullptr;
    kxpxmap copy;
    int x = 0, y = 0, width = 0, height = 0;
    std::uint8_t held = 0;
};

// Clips one axis of a copy between two stores: negative positions shift the
// span inwards and shrink it, then it is cut at the far edges of source and
// destination.  False when nothing is left.
bool kxpxmap_clipspan(long long &d, long long &s, long long &len, int dlimit, int slimit);

// The fixed default palette that allocation loads.
const std::array<int, KX_PALETTE_SIZE> &kxpxmap_defaultpalette();

void kxpxmap_init(kxpxmap *p);
bool kxpxmap_allocate(kxpxmap *p);
void kxpxmap_free(kxpxmap *p);
void kxpxmap_clear(kxpxmap *p, int colour);
void kxpxmap_setpixel(kxpxmap *p, int x, int y, int colour);
int kxpxmap_getpixel(const kxpxmap *p, int x, int y);
void kxpxmap_setpixels(kxpxmap *p, int count, const int *xs, const int *ys, int colour);
void kxpxmap_fillrect(kxpxmap *p, int x, int y, int width, int height, int colour);
bool kxpxmap_duplicate(kxpxmap *dst, const kxpxmap *src, int x, int y, int width, int height);
bool kxpxmap_resize(kxpxmap *p, int width, int height);
bool kxpxmap_convert(kxpxmap *p, int format, int colour);
bool kxpxmap_convert2palette8(kxpxmap *p, int transparent);
bool kxpxmap_convert2truecolor(kxpxmap *p, int background);
bool kxpxmap_convert2server(kxpxmap *p);
void kxpxmap_merge4(kxpxmap *dst, const kxpxmap *src, int dx, int dy, int sx, int sy, int width,
                    int height, int palettecode);
// Copies a rectangle between pixmaps of one format, every pixel as stored
// (no transparency, no palette remapping); clipped on all sides.
bool kxpxmap_copyrect(kxpxmap *dst, const kxpxmap *src, int dx, int dy, int sx, int sy, int width,
                      int height);
void kxpxmap_setpalette(kxpxmap *p, int index, int colour);
void kxpxmap_settransparent(kxpxmap *p, int colour);
int kxpxmap_findcolor(const kxpxmap *p, int colour);
void kxpxmap_makedisabled(kxpxmap *p);

void kxpxsave_grab(kxPxMapCache *s, kxpxmap *p, int x, int y, int width, int height);
void kxpxsave_restore(kxPxMapCache *s);
void kxpxsave_release(kxPxMapCache *s);
