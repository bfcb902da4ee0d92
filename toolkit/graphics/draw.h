// The drawing layer on top of the pixmap: lines, rectangles, the 3D frames
// of the widgets, arrows, ellipses and circles, flood fill, masks and
// character patterns.  Coordinates are pixels from the top-left corner and
// may lie anywhere (far outside the pixmap, huge or negative): only the
// pixels that land inside are drawn.  Colours are 0x00RRGGBB.
//
// Not re-entrant: the primitives share one point batch (user-interface
// thread only).
#pragma once

#include <cstdint>

#include "graphics/pixmap.h"

// Frame types of kxgraphic_frame; any other number draws as KX_FRAME_3D.
enum : int {
    KX_FRAME_3DCOLOURS = 0,  // simple 3D frame in colour1 (light), colour2 (dark)
    KX_FRAME_DOUBLE3D = 1,   // two-pixel 3D frame in four colours
    KX_FRAME_FIELD = 2,      // field frame, sunken when pressed
    KX_FRAME_DOTTED = 3,     // every second pixel, x .. x + w, y .. y + h
    KX_FRAME_PLAIN = 4,      // one-colour rectangle
    KX_FRAME_3D = 5,         // simple 3D frame, white and black
    KX_FRAME_PLAIN2 = 6,     // same as KX_FRAME_PLAIN
};

// r * 65536 + g * 256 + b, each taken modulo 256.
int kxgraphic_rgb(int r, int g, int b);

// Solid line including both end points; the pen moves to (x1, y1).
void kxgraphic_line(kxpxmap *p, int x0, int y0, int x1, int y1, int colour);
// Runs of `on` drawn and `off` skipped points along the line's walk; the end
// point is always drawn and the pen moves there.  on <= 0 draws only the end
// point, off <= 0 draws a solid line.
void kxgraphic_dashedline(kxpxmap *p, int x0, int y0, int x1, int y1, int colour, int on,
                          int off);
void kxgraphic_moveto(kxpxmap *p, int x, int y);
void kxgraphic_lineto(kxpxmap *p, int x, int y, int colour);
// Dashed 3 on, 3 off from the pen position.
void kxgraphic_dashedlineto(kxpxmap *p, int x, int y, int colour);

// Outlines of x .. x + w - 1, y .. y + h - 1; nothing when w or h is below 1.
void kxgraphic_rect(kxpxmap *p, int x, int y, int w, int h, int colour);
// Top and left edges in colour1, right and bottom edges in colour2.
void kxgraphic_box2(kxpxmap *p, int x, int y, int w, int h, int colour1, int colour2);
void kxgraphic_fillrect(kxpxmap *p, int x, int y, int w, int h, int colour);
// The inside (x + 1, y + 1, w - 2, h - 2) in fill, then kxgraphic_box2.
void kxgraphic_filledbox(kxpxmap *p, int x, int y, int w, int h, int fill, int colour1,
                         int colour2);

// Elliptic arc from start to end degrees, clockwise on the screen; nothing
// when a radius is 0 or negative or end < start.
void kxgraphic_arc(kxpxmap *p, int cx, int cy, int rx, int ry, int start, int end, int colour);
void kxgraphic_ellipse(kxpxmap *p, int cx, int cy, int rx, int ry, int colour);
void kxgraphic_circle(kxpxmap *p, int cx, int cy, int r, int colour);
// Filled shapes as horizontal lines.  Negative radii draw nothing; radius 0
// (both radii 0 for the ellipse) sets the one pixel of the first row.
void kxgraphic_fillellipse(kxpxmap *p, int cx, int cy, int rx, int ry, int colour);
void kxgraphic_fillcircle(kxpxmap *p, int cx, int cy, int r, int colour);

// Fills the 4-connected area holding the start pixel's stored value.
void kxgraphic_floodfill(kxpxmap *p, int x, int y, int colour);

// mask: w * h bytes, row after row.  kxgraphic_mask sets the pixels of the
// non-zero bytes; kxgraphic_mask2 sets every pixel, foreground or background.
void kxgraphic_mask(kxpxmap *p, int x, int y, int w, int h, const std::uint8_t *mask,
                    int colour);
void kxgraphic_mask2(kxpxmap *p, int x, int y, int w, int h, const std::uint8_t *mask,
                     int foreground, int background);
// pattern: w * h characters, row after row; '*' sets a pixel, anything else
// leaves it.  A string shorter than w * h ends the pattern early.
void kxgraphic_pattern(kxpxmap *p, int x, int y, const char *pattern, int w, int h, int colour);
// Character '1' and above sets table[c - '1'] (the caller sizes the table);
// ' ', '0' and the characters below '1' leave the pixel.
void kxgraphic_colorpattern(kxpxmap *p, int x, int y, const char *pattern, int w, int h,
                            const int *table);

// kxpxmap_merge4 of the source rectangle (sx, sy, w, h) to (dx, dy) with
// palette code 0, so transparent source pixels are skipped.
void kxgraphic_copy(kxpxmap *dst, const kxpxmap *src, int dx, int dy, int w, int h, int sx,
                    int sy);

// The named arrow centred in the box (x, y, w, h).  Names are compared
// without case: "up", "down", "left", "right", and for the normal size also
// "double left", "double right"; any other name draws nothing.
void kxgraphic_arrow(kxpxmap *p, const char *name, int x, int y, int w, int h, int colour);
void kxgraphic_smallarrow(kxpxmap *p, const char *name, int x, int y, int w, int h, int colour);
void kxgraphic_bigarrow(kxpxmap *p, const char *name, int x, int y, int w, int h, int colour);

// Frame of the given type around x .. x + w - 1, y .. y + h - 1 (the dotted
// type reaches x + w, y + h); pressed swaps light and dark.  Colours -1 take
// the GUI colours each type names.  Nothing when w or h is below 1, and no
// type draws outside its box however small it is.
void kxgraphic_frame(kxpxmap *p, int type, bool pressed, int x, int y, int w, int h, int colour1,
                     int colour2, int colour3, int colour4);
