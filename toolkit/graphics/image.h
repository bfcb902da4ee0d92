// Image files: pixmaps saved as PNG, BMP, XPM, PPM and PCX and loaded from
// BMP, XPM, PPM and PCX, with our own small readers and writers.  The type
// comes from the file name's extension, compared without case.  Small images
// (icons, arrows) are also kept as XPM strings in memory and drawn from there.
//
// Readers trust no file: a size above KX_IMAGE_MAX_SIDE or below 1 on either
// side, a file too short for the size its header claims, or XPM text with
// short rows, missing colours or unknown keys gives false after a one-line
// diagnostic naming the operation.  Files that cannot be opened give false
// without one.  Writers go through a temporary file that replaces the target
// only when complete.
#pragma once

#include <cstddef>

#include "graphics/pixmap.h"

// Largest width or height read or written.  Checked before anything is
// allocated, so a forged header cannot ask for gigabytes.
constexpr int KX_IMAGE_MAX_SIDE = 16384;

// ---- printf-style entry points ------------------------------------------
// The attribute string is the file name, then optional "x=", "y=", "xs=",
// "ys=" (-1 when absent) and, for drawing, "palettecode=".  Stray '%' signs
// are doubled before formatting, as for every attribute string.

// Saves the region x, y, xs, ys (-1: from 0, to the edge) of p.  ".ps" and
// ".pdf" go to the page output with the settings after the first comma.
bool kxpxmap_savetofile(const kxpxmap *p, const char *fmt, ...);
// Loads a BMP, XPM, PPM or PCX file into target at x, y (negative: 0), xs x ys
// pixels of it (-1 or 0: all, cut at the target's edges).
bool kxgraphic_gloadintern_file(kxpxmap *target, const char *fmt, ...);
// Width and height from a BMP, XPM, PPM or PCX header; 0 when the file
// cannot be read, its type is not one of these, or the size is out of range.
int kxgetpicturesizes(const char *name, int *width, int *height);
// Draws the XPM strings into target at x, y; the attribute string may move
// it ("x=", "y="), cut it ("xs=", "ys=") and set the merge's "palettecode=".
bool kxgraphic_drawxpm(kxpxmap *target, const char *const *xpm, int x, int y, const char *fmt,
                       ...);

// The page output (".ps", ".pdf") sits on a higher floor and registers its
// saver here; without one those names are an unsupported format.
using kximage_pagesaver = bool (*)(const kxpxmap *p, const char *name, const char *options);
void kximage_setpagesaver(kximage_pagesaver saver);

// ---- the codecs, with explicit arguments --------------------------------

// Saves by the name's type; options go to the page output for ".ps"/".pdf".
bool kximage_save(const kxpxmap *p, const char *name, int x, int y, int xs, int ys,
                  const char *options);
// Loads by the name's type.
bool kximage_load(kxpxmap *target, const char *name, int x, int y, int xs, int ys);

// Loaders into a truecolor, server or palette8 target (see kxgraphic_gloadintern_file).
bool kxpxmap_loadfromfile_bmp(kxpxmap *target, const char *name, int x, int y, int xs, int ys);
bool kxpxmap_loadfromfile_ppm(kxpxmap *target, const char *name, int x, int y, int xs, int ys);
bool kxpxmap_loadfromfile_pcx(kxpxmap *target, const char *name, int x, int y, int xs, int ys);
// Merges the XPM picture into target (transparent pixels leave it as it was).
bool kxpxmap_loadfromfile_xpm(kxpxmap *target, const char *name, int x, int y, int xs, int ys);

// Writers of palette8, truecolor and server pixmaps (the first four write
// transparent pixels black).  True when the whole file was written.
bool kxpxmap_savetofile_png(const kxpxmap *p, const char *name);
bool kxpxmap_savetofile_bmp(const kxpxmap *p, const char *name);
bool kxpxmap_savetofile_ppm(const kxpxmap *p, const char *name);
bool kxpxmap_savetofile_pcx(const kxpxmap *p, const char *name);
// Palette8 as it is; truecolor through a palette8 copy (p is not changed),
// reduced to 64 colours first when it has 256 or more.
bool kxpxmap_savetofile_xpm(const kxpxmap *p, const char *name);

// ---- XPM in memory ------------------------------------------------------
// The pixmap record is taken as fresh (as kxpxmap_duplicate does): a store it
// holds is not released.  On failure it is left initialised.

// A palette8 pixmap from XPM strings; the array must hold as many strings as
// its header announces (a null entry ends it early and fails).
bool kxpxmap_createfrommem_xpm(kxpxmap *p, const char *const *xpm);
// The same from exactly count strings.
bool kxpxmap_createfromstrings_xpm(kxpxmap *p, const char *const *xpm, std::size_t count);
// The same from the text of an XPM file.
bool kxpxmap_createfromtext_xpm(kxpxmap *p, const char *text, std::size_t length);
// Draws XPM strings into target at x, y, xs x ys of them (-1 or 0: all), with
// the merge's palette code; palette, when not null, replaces all 256 entries
// of the picture's palette first.
bool kxgraphic_drawxpm_at(kxpxmap *target, const char *const *xpm, int x, int y, int xs, int ys,
                          int palettecode, const int *palette);
