// The program's name and icon for the desktop.  The toolkit's own icon is
// drawn here, with the toolkit's own drawing: a small window with a blue
// caption and "kx" in it.
#include <cstdint>
#include <cstdio>
#include <vector>

#include "core/app.h"
#include "graphics/draw.h"
#include "graphics/font.h"
#include "graphics/text.h"
#include "platform/platform.h"

namespace {

constexpr int ICON_SIZE = 32;

std::uint32_t argb_of(const kxpxmap *p, int x, int y)
{
    int v = kxpxmap_getpixel(p, x, y);
    bool palette = p->format == KX_PXFMT_PALETTE8 || p->format == KX_PXFMT_PALETTE16;
    if (v < 0 || (palette && v == KX_TRANSPARENT_INDEX))
        return 0;  // transparent
    int rgb = palette ? p->palette[static_cast<std::size_t>(v) % KX_PALETTE_SIZE] : v;
    return 0xFF000000u | (static_cast<std::uint32_t>(rgb) & 0xFFFFFFu);
}

} // namespace

void kxapp_setclass(const char *name) { kxplatform_setclass(name); }

bool kxapp_seticon(const kxpxmap *icon)
{
    if (!icon || icon->width <= 0 || icon->height <= 0 || icon->width > KX_APP_ICON_MAX ||
        icon->height > KX_APP_ICON_MAX || !icon->data) {
        std::printf("kxapp_seticon: no picture of at most %d x %d pixels\n", KX_APP_ICON_MAX,
                    KX_APP_ICON_MAX);
        return false;
    }
    std::vector<std::uint32_t> argb;
    argb.reserve(static_cast<std::size_t>(icon->width) * icon->height);
    for (int y = 0; y < icon->height; y++)
        for (int x = 0; x < icon->width; x++)
            argb.push_back(argb_of(icon, x, y));
    kxplatform_seticon(icon->width, icon->height, argb.data());
    return true;
}

void kxapp_defaulticon(kxpxmap *p)
{
    p->width = p->height = ICON_SIZE;
    p->format = KX_PXFMT_TRUECOLOR;
    kxpxmap_allocate(p);
    kxpxmap_clear(p, 0xFFFFFF);
    kxgraphic_fillrect(p, 0, 0, ICON_SIZE, 9, 0x0000A0);          // caption
    kxgraphic_fillrect(p, ICON_SIZE - 8, 2, 5, 5, 0xC0C0C0);       // its close box
    kxgraphic_rect(p, 0, 0, ICON_SIZE, ICON_SIZE, 0x000000);
    int font = kxfont_findbyname("8x16b");
    int w = kxtext_width(font, "kx");
    kxtext_draw(p, font, (ICON_SIZE - w) / 2, 12, 0x000000, false, false, -1, 0, -1, "kx", -1,
                -1);
}
