// The pixmap record's shared helpers: the default palette and the clipping
// of a copy between two stores.
#include "platform/pxrecord.h"

namespace {

constexpr std::array<int, KX_PALETTE_SIZE> make_default_palette()
{
    std::array<int, KX_PALETTE_SIZE> p{};
    constexpr int basic[16] = {0x000000, 0x000080, 0x008000, 0x008080, 0x800000, 0x800080,
                               0x808000, 0xC0C0C0, 0x808080, 0x0000FF, 0x00FF00, 0x00FFFF,
                               0xFF0000, 0xFF00FF, 0xFFFF00, 0xFFFFFF};
    for (int i = 0; i < 16; i++)
        p[i] = basic[i];
    constexpr int level[4] = {0x00, 0x55, 0xAA, 0xFF};
    for (int r = 0; r < 4; r++)
        for (int g = 0; g < 4; g++)
            for (int b = 0; b < 4; b++)
                p[16 + 16 * r + 4 * g + b] = level[r] << 16 | level[g] << 8 | level[b];
    for (int i = 0; i < 128; i++)
        p[80 + i] = (2 * i) << 16 | (2 * i) << 8 | (2 * i);
    for (int i = 0; i < 16; i++) {
        p[208 + i] = 16 * i;
        p[224 + i] = (16 * i) << 8;
        p[240 + i] = (16 * i) << 16;
    }
    return p;
}

constexpr std::array<int, KX_PALETTE_SIZE> DEFAULT_PALETTE = make_default_palette();

} // namespace

bool kxpxmap_cliprange(long long &pos, long long &len, int limit)
{
    if (pos < 0) {
        len += pos;
        pos = 0;
    }
    if (pos + len > limit)
        len = limit - pos;
    return len > 0;
}

bool kxpxmap_clipspan(long long &d, long long &s, long long &len, int dlimit, int slimit)
{
    if (s < 0) {
        d -= s;
        len += s;
        s = 0;
    }
    if (d < 0) {
        s -= d;
        len += d;
        d = 0;
    }
    if (s + len > slimit)
        len = slimit - s;
    if (d + len > dlimit)
        len = dlimit - d;
    return len > 0;
}

const std::array<int, KX_PALETTE_SIZE> &kxpxmap_defaultpalette() { return DEFAULT_PALETTE; }
