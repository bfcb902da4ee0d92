// The pixmap record: the toolkit's one picture type, in five storage
// formats, with a 256-entry palette whose entry 255 is the transparent
// colour.  Only the record and the helpers every floor needs are here; the
// operations on pixmaps are graphics/pixmap.h.  The platform keeps window
// pixmaps and server bitmaps in such records.
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

// Cuts the span pos .. pos + len to 0 .. limit; false when nothing is left.
bool kxpxmap_cliprange(long long &pos, long long &len, int limit);
// Clips one axis of a copy between two stores: negative positions shift the
// span inwards and shrink it, then it is cut at the far edges of source and
// destination.  False when nothing is left.
bool kxpxmap_clipspan(long long &d, long long &s, long long &len, int dlimit, int slimit);

// The fixed default palette that allocation loads.
const std::array<int, KX_PALETTE_SIZE> &kxpxmap_defaultpalette();
