// The markup gallery on a private Xvfb: its window shows the same pixels as
// the picture the headless host draws, and its screenshot is kept in the
// build directory (gallery_x11.png).
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "../platform/xvfb_support.h"
#include "core/app.h"
#include "graphics/font.h"

// Last: its macros (None, Bool, Status) would meet the toolkit's names.
#include <X11/Xatom.h>
#include <X11/Xlib.h>

namespace {

// A binary PPM (P6, maxval 255) as 0x00RRGGBB words.
bool read_ppm(const std::string &name, kxtest_shot *shot)
{
    std::ifstream in(name, std::ios::binary);
    std::string magic;
    int maxval = 0;
    in >> magic >> shot->width >> shot->height >> maxval;
    in.get();
    if (!in || magic != "P6" || maxval != 255 || shot->width <= 0 || shot->height <= 0)
        return false;
    std::string bytes{std::istreambuf_iterator<char>(in), {}};
    std::size_t n = static_cast<std::size_t>(shot->width) * shot->height;
    if (bytes.size() < n * 3)
        return false;
    shot->pixels.resize(n);
    for (std::size_t i = 0; i < n; i++) {
        const auto *b = reinterpret_cast<const unsigned char *>(bytes.data()) + i * 3;
        shot->pixels[i] = std::uint32_t{b[0]} << 16 | std::uint32_t{b[1]} << 8 | b[2];
    }
    return true;
}

TEST(GalleryX11, TheWindowShowsWhatTheHeadlessHostDraws)
{
    const std::string bin = KX_TEST_BINARY_DIR "/gallery";
    const std::string ppm = KX_TEST_BINARY_DIR "/gallery_headless.ppm";
    std::remove(ppm.c_str());
    ASSERT_EQ(kxtest_sh("KX_HOST=headless '" + bin + "' --screenshot '" + ppm + "' >/dev/null"), 0);
    kxtest_shot drawn;
    ASSERT_TRUE(read_ppm(ppm, &drawn));

    kxxvfb x;
    KX_NEED_XVFB(x);
    setenv("KX_HOST", "x11", 1);
    kxtest_proc gallery;
    ASSERT_TRUE(gallery.start({bin}));
    const unsigned long window = kxtest_find_window("^Galerie$");
    ASSERT_NE(window, 0u) << "the gallery window did not appear";
    // A blinking cursor may be caught in the other phase; nothing else differs.
    std::size_t same = 0;
    auto alike = [&](const kxtest_shot &s) {
        if (s.width != drawn.width || s.height != drawn.height)
            return false;
        same = 0;
        for (std::size_t i = 0; i < s.pixels.size(); i++)
            same += s.pixels[i] == drawn.pixels[i];
        return same * 1000 >= s.pixels.size() * 999;
    };
    kxtest_shot shown;
    EXPECT_TRUE(kxtest_wait_shot(window, alike, &shown))
        << same << " of " << shown.pixels.size() << " pixels alike";
    ASSERT_EQ(shown.width, drawn.width);
    ASSERT_EQ(shown.height, drawn.height);
    kxtest_sh("import -window " + std::to_string(window) + " '" KX_TEST_BINARY_DIR
              "/gallery_x11.png' 2>/dev/null");
    EXPECT_EQ(kxtest_sh("pngcheck -q '" KX_TEST_BINARY_DIR "/gallery_x11.png' >/dev/null"), 0);
}

// A program that names neither class nor icon has the toolkit's: the icon
// is the one the toolkit draws.
TEST(GalleryX11, AProgramOfTheToolkitCarriesItsClassAndIcon)
{
    kxxvfb x;
    KX_NEED_XVFB(x);
    setenv("KX_HOST", "x11", 1);
    kxtest_proc gallery;
    ASSERT_TRUE(gallery.start({KX_TEST_BINARY_DIR "/gallery"}));
    const unsigned long window = kxtest_find_window("^Galerie$");
    ASSERT_NE(window, 0u) << "the gallery window did not appear";
    std::string props = kxtest_sh_out("xprop -id " + std::to_string(window) + " WM_CLASS");
    EXPECT_EQ(props, "WM_CLASS(STRING) = \"gallery\", \"Kx9d\"\n");

    kxfont_loadbuiltins();
    kxpxmap drawn;
    kxapp_defaulticon(&drawn);
    std::vector<long> want{drawn.width, drawn.height};
    for (int y = 0; y < drawn.height; y++)
        for (int xx = 0; xx < drawn.width; xx++)
            want.push_back(static_cast<long>(0xFF000000u | static_cast<std::uint32_t>(
                                                               kxpxmap_getpixel(&drawn, xx, y))));
    kxpxmap_free(&drawn);

    Display *d = XOpenDisplay(nullptr);
    ASSERT_NE(d, nullptr);
    Atom actual = None;
    int format = 0;
    unsigned long n = 0, after = 0;
    unsigned char *data = nullptr;
    XGetWindowProperty(d, window, XInternAtom(d, "_NET_WM_ICON", False), 0, 1 << 16, False,
                       XA_CARDINAL, &actual, &format, &n, &after, &data);
    std::vector<long> icon;
    // Items of format 32 come as longs, sign-extended from their 32 bits.
    for (unsigned long i = 0; data && format == 32 && i < n; i++)
        icon.push_back(reinterpret_cast<long *>(data)[i] & 0xFFFFFFFFL);
    if (data)
        XFree(data);
    XCloseDisplay(d);
    ASSERT_GE(icon.size(), 2u);
    EXPECT_EQ(icon[0], 32);
    EXPECT_EQ(icon[1], 32);
    EXPECT_TRUE(icon == want) << "the icon is not the one the toolkit draws";
}

} // namespace
