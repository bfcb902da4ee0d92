// The pixmap: the toolkit's one picture type, in five storage formats, with a
// 256-entry palette whose entry 255 is the transparent colour (the record is
// platform/pxrecord.h).
#pragma once

#include <array>
#include <cstdint>

#include "platform/pxrecord.h"

// Save-under: a copy of a rectangle of some pixmap, to be put back later.
struct kxPxMapCache {
    kxpxmap *source = nullptr;
    kxpxmap copy;
    int x = 0, y = 0, width = 0, height = 0;
    std::uint8_t held = 0;
};

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
