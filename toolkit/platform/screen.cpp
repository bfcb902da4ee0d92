// The screen format (5) on these hosts: nothing is drawn.  Windows show their
// server pixmaps instead, so these calls only have to exist.
#include "platform/platform.h"

void kxscreen_init() {}
void kxscreen_fillrect(int x, int y, int width, int height, int colour) {}
void kxscreen_setpixel(int x, int y, int colour) {}
void kxscreen_setpixels(int count, const int *xs, const int *ys, int colour) {}
void kxscreen_line(int x0, int y0, int x1, int y1, int colour) {}
void kxscreen_blit(const kxpxmap *src, int dx, int dy, int sx, int sy, int width, int height) {}
