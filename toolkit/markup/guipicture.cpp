// Pictures on markup pages: files, in-memory XPM images and pixmaps, and the
// bullet.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "base/cfgtext.h"
#include "core/target.h"
#include "graphics/image.h"
#include "graphics/pixmap.h"
#include "markup/guilayout.h"

namespace {

const char *const bullet_xpm[] = {
    "5 5 2 1", ". c None", "o c #000000", ".ooo.", "ooooo", "ooooo", "ooooo", ".ooo.", nullptr,
};

const void *allowed_images[KX_GUI_IMAGES] = {};

} // namespace

namespace kxguil {

// The in-memory picture an argument names, if the program announced it.
static const void *imageaddress(const char *arg)
{
    unsigned long long a = std::strtoull(arg, nullptr, 16);
    for (const void *p : allowed_images)
        if (p && reinterpret_cast<unsigned long long>(p) == a)
            return p;
    std::printf("kxgui: unknown image address %.30s\n", arg);
    return nullptr;
}

void image(kxGUIScript *s, const char *arg)
{
    char file[KX_CFG_TEXT];
    std::size_t n = std::strcspn(arg, ",");
    std::snprintf(file, sizeof file, "%.*s", static_cast<int>(std::min<std::size_t>(n, 900)), arg);
    int w = 0, h = 0;
    if (!kxgetpicturesizes(file, &w, &h)) {
        std::string msg = std::string("#### IMAGE NOT FOUND: ") + file + " ####\n";
        // Laid out word by word, as text from the markup would be.
        std::size_t p = 0;
        while (p < msg.size()) {
            std::size_t e = msg.find_first_of(WORD_ENDS, p);
            e = e == std::string::npos ? msg.size() : e + 1;
            layout_word(s, msg.substr(p, e - p));
            p = e;
        }
        return;
    }
    touch(s);
    if (s->centring)
        s->x = (pagew() - w) / 2;
    if (hasownx(arg + n))
        kxdraw_picture("%s,y=%d", arg, s->y);
    else
        kxdraw_picture("%s,x=%d,y=%d", arg, s->x, s->y);
    s->y = clamp(static_cast<long long>(s->y) + h);
    s->x = s->leftborder;
}

void xpmimage(kxGUIScript *s, const char *arg)
{
    auto *xpm = static_cast<const char *const *>(imageaddress(arg));
    if (!xpm)
        return;
    touch(s);
    const char *attr = std::strchr(arg, ',');
    attr = attr ? attr + 1 : "";
    if (hasownx(attr))
        kxdraw_xpm(xpm, "%s,y=%d", attr, s->y);
    else
        kxdraw_xpm(xpm, "x=%d,y=%d,%s", s->x, s->y, attr);
    int w = 0, h = 0;
    if (xpm[0])
        std::sscanf(xpm[0], "%d %d", &w, &h);
    s->y = clamp(static_cast<long long>(s->y) + std::clamp(h, 0, KX_GUI_COORD_LIMIT));
    s->x = s->leftborder;
}

void memimage(kxGUIScript *s, const char *arg)
{
    auto *px = static_cast<const kxpxmap *>(imageaddress(arg));
    if (!px)
        return;
    touch(s);
    if (s->centring)
        s->x = s->leftborder + (pagew() - s->rightborder - s->leftborder - px->width) / 2;
    kxdraw_copy(s->x, s->y, px);
    s->x = clamp(static_cast<long long>(s->x) + px->width);
    s->y = clamp(static_cast<long long>(s->y) + px->height);
}

void bullet(kxGUIScript *s, const char *arg)
{
    if (std::strcmp(arg, "1") != 0) {
        s->x = s->leftborder;
        return;
    }
    kxdraw_xpm(bullet_xpm, "x=%d,y=%d", s->x, s->y + 4);
    s->x = s->leftborder + 12;
}

} // namespace kxguil

void kxgui_allowimage(const void *image)
{
    for (const void *&p : allowed_images)
        if (!p || p == image) {
            p = image;
            return;
        }
    std::printf("kxgui_allowimage: too many images\n");
}

void kxgui_forbidimage(const void *image)
{
    for (const void *&p : allowed_images)
        if (p == image)
            p = nullptr;
}

