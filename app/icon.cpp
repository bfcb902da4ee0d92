// The icon is the program in small: a window with a table whose rows end in
// buttons, above a terminal with a sent line in blue and answers in red.  It
// is laid out on a 48 x 48 grid and scaled, every part at least one pixel.
#include "icon.h"

#include <algorithm>
#include <cstdio>

#include "graphics/draw.h"

namespace {

constexpr int GRID = 48;

constexpr int BACKGROUND = 0x1C2A4A;
constexpr int FACE = 0xD4D0C8;
constexpr int TITLE = 0x000080;
constexpr int CELL = 0xFFFFFF;
constexpr int SHADOW = 0x808080;
constexpr int BUTTON = 0xA0A0A0;  // a button too small for its frame
constexpr int SENT = 0x0000C0;
constexpr int RECEIVED = 0xC00000;

struct Grid {
    kxpxmap *p;
    int size;
    int at(int v) const { return (v * size + GRID / 2) / GRID; }
    // The grid rectangle x, y, w, h filled.
    void fill(int x, int y, int w, int h, int colour) const
    {
        int x0 = at(x), y0 = at(y);
        kxgraphic_fillrect(p, x0, y0, std::max(1, at(x + w) - x0), std::max(1, at(y + h) - y0),
                           colour);
    }
};

// A table row: a text cell and its button, raised where there is room for
// a frame.
void draw_row(const Grid &g, int y)
{
    g.fill(6, y, 24, 3, CELL);
    if (g.size >= 64) {
        g.fill(32, y, 10, 3, FACE);
        int x0 = g.at(32), y0 = g.at(y);
        kxgraphic_box2(g.p, x0, y0, g.at(42) - x0, g.at(y + 3) - y0, CELL, SHADOW);
    } else {
        g.fill(32, y, 10, 3, BUTTON);
    }
}

} // namespace

bool quenlorix_drawicon(kxpxmap *p, int size)
{
    kxpxmap_init(p);
    if (size < QUENLORIX_ICON_MIN || size > QUENLORIX_ICON_MAX) {
        std::printf("quenlorix_drawicon: size %d outside %d to %d\n", size, QUENLORIX_ICON_MIN,
                    QUENLORIX_ICON_MAX);
        return false;
    }
    p->width = p->height = size;
    p->format = KX_PXFMT_TRUECOLOR;
    if (!kxpxmap_allocate(p)) {
        kxpxmap_init(p);
        return false;
    }
    const Grid g{p, size};
    kxpxmap_clear(p, BACKGROUND);
    g.fill(3, 3, 42, 42, FACE);
    g.fill(3, 3, 42, 7, TITLE);
    // Below 32 pixels three rows or lines would run together: two, further
    // apart.
    const bool small = size < 32;
    const int pitch = small ? 6 : 4;
    for (int y = 13; y + 3 <= 24; y += pitch)
        draw_row(g, y);
    g.fill(6, 27, 36, 15, CELL);
    g.fill(8, 29, 18, 2, SENT);
    g.fill(8, 29 + pitch, 28, 2, RECEIVED);
    if (!small)
        g.fill(8, 37, 22, 2, RECEIVED);
    return true;
}
