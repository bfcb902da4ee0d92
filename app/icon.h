// Quenlorix's icon, drawn with the toolkit's own drawing at any size within
// limits: for the desktop's icon files and for the window's icon.
#pragma once

#include "graphics/pixmap.h"

constexpr int QUENLORIX_ICON_MIN = 16;
constexpr int QUENLORIX_ICON_MAX = 512;

// Allocates p (a fresh record) as a truecolor pixmap of size x size and draws
// the icon into it.  False, with p left empty, for a size outside the limits
// or when the pixmap cannot be allocated.
bool quenlorix_drawicon(kxpxmap *p, int size);
