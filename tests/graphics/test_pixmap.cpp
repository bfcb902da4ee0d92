#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "graphics/pixmap.h"
#include "support.h"

namespace {


std::vector<int> all_pixels(const kxpxmap &p)
{
    std::vector<int> v;
    for (int y = 0; y < p.height; y++)
        for (int x = 0; x < p.width; x++)
            v.push_back(kxpxmap_getpixel(&p, x, y));
    return v;
}

// Distinct value per pixel.
int pattern(int x, int y) { return 1 + x + 16 * y; }

void fill_pattern(kxpxmap *p)
{
    for (int y = 0; y < p->height; y++)
        for (int x = 0; x < p->width; x++)
            kxpxmap_setpixel(p, x, y, pattern(x, y));
}

void set_row(kxpxmap *p, const std::vector<int> &values)
{
    for (int x = 0; x < static_cast<int>(values.size()); x++)
        kxpxmap_setpixel(p, x, 0, values[x]);
}

// dst after merging a pattern source of sw x sh into an empty dw x dh.
std::vector<int> merged(int dw, int dh, int sw, int sh, int dx, int dy, int sx, int sy, int w, int h)
{
    Px src(KX_PXFMT_TRUECOLOR, sw, sh), dst(KX_PXFMT_TRUECOLOR, dw, dh);
    fill_pattern(&src.p);
    kxpxmap_merge4(&dst.p, &src.p, dx, dy, sx, sy, w, h, 0);
    return all_pixels(dst.p);
}

// What merged() must give: source (x - dx + sx, y - dy + sy) inside the
// destination rectangle x0 <= x < x1, y0 <= y < y1, zero elsewhere.
std::vector<int> expected(int dw, int dh, int x0, int y0, int x1, int y1, int ox, int oy)
{
    std::vector<int> v;
    for (int y = 0; y < dh; y++)
        for (int x = 0; x < dw; x++)
            v.push_back(x >= x0 && x < x1 && y >= y0 && y < y1 ? pattern(x + ox, y + oy) : 0);
    return v;
}

} // namespace

TEST(PixmapAllocate, DefaultPaletteAndZeroStore)
{
    Px t(KX_PXFMT_TRUECOLOR, 3, 2);
    const auto &pal = t.p.palette;
    EXPECT_EQ(pal[7], 0xC0C0C0);
    EXPECT_EQ(pal[16 + 16 * 1 + 4 * 2 + 3], 0x55AAFF);
    EXPECT_EQ(pal[80 + 127], 0xFEFEFE);
    EXPECT_EQ(pal[208 + 15], 0x0000F0);
    EXPECT_EQ(pal[224 + 1], 0x001000);
    EXPECT_EQ(pal[255], 0xF00000);
    EXPECT_EQ(all_pixels(t.p), std::vector<int>(6, 0));
    EXPECT_EQ(kxpxmap_findcolor(&t.p, 0x000000), 0);  // also at 80
    EXPECT_EQ(kxpxmap_findcolor(&t.p, 0x123457), -1);
    kxpxmap_setpalette(&t.p, 256, 1);  // ignored: would reach next_free_slot
    kxpxmap_setpalette(&t.p, -1, 1);
    EXPECT_EQ(t.p.next_free_slot, 254);
    EXPECT_EQ(t.p.palette, kxpxmap_defaultpalette());
}

TEST(PixmapAllocate, RejectsBadSizes)
{
    const int sizes[][2] = {{-1, 4}, {4, -1}, {INT_MAX, INT_MAX}, {16385, 16384}};
    for (const auto &s : sizes) {
        kxpxmap p;
        kxpxmap_init(&p);
        p.width = s[0];
        p.height = s[1];
        p.format = KX_PXFMT_TRUECOLOR;
        std::string out = kxtest_stdout([&] { EXPECT_FALSE(kxpxmap_allocate(&p)); });
        EXPECT_EQ(out.rfind("kxpxmap_allocate: ", 0), 0u) << out;
        EXPECT_EQ(out.find('\n'), out.size() - 1) << out;
        EXPECT_EQ(p.data, nullptr);
    }
}

TEST(PixmapAllocate, PixmapWithoutStoreIsHarmless)
{
    kxpxmap p;  // truecolor 8 x 8 that was never allocated
    kxpxmap_init(&p);
    p.width = p.height = 8;
    p.format = KX_PXFMT_TRUECOLOR;
    Px other(KX_PXFMT_TRUECOLOR, 8, 8);
    kxpxmap copy;
    kxpxmap_init(&copy);
    EXPECT_EQ(kxtest_stdout([&] {
                  kxpxmap_clear(&p, 1);
                  kxpxmap_setpixel(&p, 1, 1, 1);
                  EXPECT_EQ(kxpxmap_getpixel(&p, 1, 1), -1);
                  kxpxmap_fillrect(&p, 0, 0, 8, 8, 1);
                  kxpxmap_merge4(&p, &other.p, 0, 0, 0, 0, 0, 0, 0);
                  kxpxmap_merge4(&other.p, &p, 0, 0, 0, 0, 0, 0, 0);
                  EXPECT_FALSE(kxpxmap_duplicate(&copy, &p, -1, -1, -1, -1));
                  EXPECT_FALSE(kxpxmap_resize(&p, 4, 4));
                  EXPECT_FALSE(kxpxmap_convert2palette8(&p, -1));
                  kxpxmap_makedisabled(&p);
              }),
              "");
    EXPECT_EQ(p.data, nullptr);
    EXPECT_EQ(all_pixels(other.p), std::vector<int>(64, 0));
}

TEST(PixmapPixels, BoundsAndStoredWidth)
{
    Px t(KX_PXFMT_TRUECOLOR, 4, 3);
    EXPECT_EQ(kxtest_stdout([&] { EXPECT_EQ(t.at(-1, 0), -1); }), "");
    EXPECT_EQ(t.at(4, 0), -1);
    EXPECT_EQ(t.at(0, 3), -1);
    kxpxmap_setpixel(&t.p, 4, 0, 0x123456);
    kxpxmap_setpixel(&t.p, 0, -1, 0x123456);
    EXPECT_EQ(all_pixels(t.p), std::vector<int>(12, 0));

    Px b(KX_PXFMT_PALETTE8, 2, 2), w(KX_PXFMT_PALETTE16, 2, 2);
    kxpxmap_setpixel(&b.p, 1, 1, 0x1234);
    kxpxmap_setpixel(&w.p, 1, 1, 0x123456);
    EXPECT_EQ(b.at(1, 1), 0x34);
    EXPECT_EQ(w.at(1, 1), 0x3456);
}

TEST(PixmapFill, ClipsOnEverySide)
{
    Px t(KX_PXFMT_TRUECOLOR, 5, 4);
    kxpxmap_fillrect(&t.p, -2, -1, 4, 3, 7);  // x 0..1, y 0..1
    kxpxmap_fillrect(&t.p, 4, 3, 10, 10, 9);  // only (4, 3)
    kxpxmap_fillrect(&t.p, INT_MAX, 0, INT_MAX, 1, 5);
    kxpxmap_fillrect(&t.p, INT_MIN, INT_MIN, INT_MAX, INT_MAX, 5);
    kxpxmap_fillrect(&t.p, 1, 1, 0, 3, 5);
    kxpxmap_fillrect(&t.p, 1, 1, 3, -1, 5);
    std::vector<int> want(20, 0);
    want[0] = want[1] = want[5] = want[6] = 7;
    want[19] = 9;
    EXPECT_EQ(all_pixels(t.p), want);
}

TEST(PixmapMerge, TransparencyOntoTruecolor)
{
    Px dst(KX_PXFMT_TRUECOLOR, 3, 1);
    kxpxmap_clear(&dst.p, 0x111111);
    Px icon(KX_PXFMT_PALETTE8, 3, 1);
    kxpxmap_setpalette(&icon.p, 5, 0xABCDEF);
    set_row(&icon.p, {5, 255, 15});
    kxpxmap_merge4(&dst.p, &icon.p, 0, 0, 0, 0, 0, 0, 0);
    EXPECT_EQ(all_pixels(dst.p), (std::vector<int>{0xABCDEF, 0x111111, 0xFFFFFF}));

    // A fresh truecolor pixmap's transparent colour is 0xF00000.
    Px src(KX_PXFMT_TRUECOLOR, 3, 1);
    set_row(&src.p, {0xF00000, 0xF00001, 0x00FF00});
    kxpxmap_clear(&dst.p, 0x111111);
    kxpxmap_merge4(&dst.p, &src.p, 0, 0, 0, 0, -1, -1, 0);
    EXPECT_EQ(all_pixels(dst.p), (std::vector<int>{0x111111, 0xF00001, 0x00FF00}));
    kxpxmap_settransparent(&src.p, 0x00FF00);
    kxpxmap_clear(&dst.p, 0x111111);
    kxpxmap_merge4(&dst.p, &src.p, 0, 0, 0, 0, -1, -1, 0);
    EXPECT_EQ(all_pixels(dst.p), (std::vector<int>{0xF00000, 0xF00001, 0x111111}));
}

TEST(PixmapMerge, RegionClipping)
{
    // Over the destination's and the source's right and bottom edges.
    EXPECT_EQ(merged(5, 5, 4, 4, 3, 3, 0, 0, 4, 4), expected(5, 5, 3, 3, 5, 5, -3, -3));
    EXPECT_EQ(merged(5, 5, 4, 4, 0, 0, 2, 3, 10, 10), expected(5, 5, 0, 0, 2, 1, 2, 3));
    // 0 and -1 take the whole source.
    EXPECT_EQ(merged(5, 4, 3, 2, 1, 1, 0, 0, 0, 0), expected(5, 4, 1, 1, 4, 3, -1, -1));
    EXPECT_EQ(merged(5, 4, 3, 2, 1, 1, 0, 0, -1, -1), expected(5, 4, 1, 1, 4, 3, -1, -1));
    // Negative positions shift the region inwards and shrink it.
    EXPECT_EQ(merged(4, 4, 4, 4, -1, -2, 0, 0, 4, 4), expected(4, 4, 0, 0, 3, 2, 1, 2));
    EXPECT_EQ(merged(4, 4, 4, 4, 0, 0, -1, -3, 4, 4), expected(4, 4, 1, 3, 4, 4, -1, -3));
    const std::vector<int> none(16, 0);
    EXPECT_EQ(merged(4, 4, 4, 4, INT_MIN, -5, INT_MIN, INT_MIN, INT_MAX, INT_MAX), none);
    EXPECT_EQ(merged(4, 4, 4, 4, -4, 0, 0, 0, 0, 0), none);
    EXPECT_EQ(merged(4, 4, 4, 4, 2, 2, INT_MAX, INT_MAX, -1, -1), none);
    EXPECT_EQ(merged(4, 4, 4, 4, 0, 0, 0, 0, -2, 4), none);
}

TEST(PixmapMerge, OverlappingMoveInsideOnePixmap)
{
    Px p(KX_PXFMT_TRUECOLOR, 4, 4);
    fill_pattern(&p.p);
    kxpxmap_merge4(&p.p, &p.p, 1, 1, 0, 0, 3, 3, 0);
    for (int y = 1; y < 4; y++)
        for (int x = 1; x < 4; x++)
            EXPECT_EQ(p.at(x, y), pattern(x - 1, y - 1)) << x << "," << y;
}

TEST(PixmapMerge, PaletteCodes)
{
    Px src(KX_PXFMT_PALETTE8, 3, 1);
    set_row(&src.p, {200, 255, 3});
    kxpxmap_setpalette(&src.p, 3, 0x010203);
    Px d1(KX_PXFMT_PALETTE8, 3, 1), d2(KX_PXFMT_PALETTE8, 3, 1), d3(KX_PXFMT_PALETTE8, 3, 1);
    for (Px *d : {&d1, &d2, &d3})
        kxpxmap_clear(&d->p, 9);
    kxpxmap_merge4(&d1.p, &src.p, 0, 0, 0, 0, 0, 0, 1);
    EXPECT_EQ(all_pixels(d1.p), (std::vector<int>{200, 9, 3}));
    EXPECT_EQ(d1.p.palette, kxpxmap_defaultpalette());
    kxpxmap_merge4(&d3.p, &src.p, 0, 0, 0, 0, 0, 0, 3);
    EXPECT_EQ(all_pixels(d3.p), (std::vector<int>{200, 255, 3}));
    EXPECT_EQ(d3.p.palette, src.p.palette);
    EXPECT_EQ(kxtest_stdout([&] { kxpxmap_merge4(&d2.p, &src.p, 0, 0, 0, 0, 0, 0, 2); }),
              "kxpxmap_merge_pal8topal8_pc2\n");
    EXPECT_EQ(kxtest_stdout([&] { kxpxmap_merge4(&d2.p, &src.p, 0, 0, 0, 0, 0, 0, 7); }),
              "kxpxmap_merge_pal8topal8: wrong PaletteCode (7)\n");
    EXPECT_EQ(all_pixels(d2.p), std::vector<int>(3, 9));
}

TEST(PixmapMerge, RemapFindsExactCloseOrNewColour)
{
    Px src(KX_PXFMT_PALETTE8, 4, 1);
    kxpxmap_setpalette(&src.p, 0, 0xFFFF00);  // exact in the destination at 14
    kxpxmap_setpalette(&src.p, 1, 0xC1C2C3);  // reduces to C0C0C0, at 7
    kxpxmap_setpalette(&src.p, 2, 0x404001);  // reduces to 404000, absent
    set_row(&src.p, {0, 1, 2, 255});
    Px dst(KX_PXFMT_PALETTE8, 4, 1);
    kxpxmap_clear(&dst.p, 100);
    kxpxmap_merge4(&dst.p, &src.p, 0, 0, 0, 0, 0, 0, 0);
    EXPECT_EQ(all_pixels(dst.p), (std::vector<int>{14, 7, 254, 100}));
    EXPECT_EQ(dst.p.palette[254], 0x404001);
    EXPECT_EQ(dst.p.next_free_slot, 253);
}

TEST(PixmapMerge, AddedColoursReuseSlotsFrom254Down)
{
    Px dst(KX_PXFMT_PALETTE8, 1, 1), src(KX_PXFMT_PALETTE8, 1, 1);
    // Every other source entry is black, which the destination has at 0.
    for (int i = 1; i < 255; i++)
        kxpxmap_setpalette(&src.p, i, 0);
    for (int k = 0; k < 300; k++) {
        // All reduce to 0x404000, which the destination never holds.
        const int colour = 0x404000 + ((k + 1) / 64 << 8) + (k + 1) % 64;
        kxpxmap_setpalette(&src.p, 0, colour);
        kxpxmap_merge4(&dst.p, &src.p, 0, 0, 0, 0, 0, 0, 0);
        const int slot = k < 254 ? 254 - k : 254 - (k - 254);
        ASSERT_EQ(dst.at(0, 0), slot) << k;
        ASSERT_EQ(dst.p.palette[slot], colour) << k;
    }
    EXPECT_EQ(dst.p.palette[0], 0);
    EXPECT_EQ(dst.p.palette[255], 0xF00000);
}

TEST(PixmapDiagnostics, WrongFormatsPrintAndChangeNothing)
{
    Px p8(KX_PXFMT_PALETTE8, 2, 2), p16(KX_PXFMT_PALETTE16, 2, 2), tc(KX_PXFMT_TRUECOLOR, 2, 2),
        scr(KX_PXFMT_SCREEN, 2, 2);
    kxpxmap_clear(&p16.p, 5);
    kxpxmap_clear(&tc.p, 6);
    kxpxmap odd, out;
    kxpxmap_init(&odd);
    kxpxmap_init(&out);
    odd.width = odd.height = 2;
    odd.format = 7;
    auto merge = [](Px &d, Px &s) { kxpxmap_merge4(&d.p, &s.p, 0, 0, 0, 0, 0, 0, 0); };
    const std::pair<std::function<void()>, const char *> cases[] = {
        {[&] { kxpxmap_allocate(&odd); }, "kxpxmap_allocate: wrong format\n"},
        {[&] { kxpxmap_setpixel(&odd, 0, 0, 1); }, "kxpxmap_setpixel: wrong format 7\n"},
        {[&] { kxpxmap_clear(&odd, 1); }, "kxpxmap_clear: wrong format\n"},
        {[&] { kxpxmap_getpixel(&scr.p, 0, 0); }, "kxpxmap_getpixel: wrong format\n"},
        {[&] { merge(p8, tc); }, "kxpxmap_merge_truecolortopal8: not implemented\n"},
        {[&] { merge(p8, p16); }, "kxpxmap_merge1: unsupported formats: 2 -> 1\n"},
        {[&] { merge(tc, p16); }, "kxpxmap_merge2: unsupported formats: 2 -> 3\n"},
        {[&] { merge(scr, p8); }, "kxpxmap_merge3: unsupported formats: 1 -> screen\n"},
        {[&] { merge(p16, tc); }, "kxpxmap_merge4: unsupported formats: 3 -> 2\n"},
        {[&] { kxpxmap_convert(&p16.p, 2, 0); }, "kxpxmap_convert: format 2 not supported\n"},
        {[&] { kxpxmap_convert2palette8(&p16.p, 0); }, "kxpxmap_convert2palette8: wrong format 2\n"},
        {[&] { kxpxmap_convert2truecolor(&p16.p, 0); }, "kxpxmap_convert2truecolor: wrong format\n"},
        {[&] { kxpxmap_convert2server(&p16.p); }, "kxpxmap_convert2server: unsupported format 2\n"},
        {[&] { kxpxmap_resize(&p8.p, 3, 3); }, "kxpxmap_resize: wrong format 1\n"},
        {[&] { kxpxmap_duplicate(&out, &scr.p, -1, -1, -1, -1); }, "kxpxmap_duplicate: wrong format\n"},
    };
    for (const auto &[call, text] : cases)
        EXPECT_EQ(kxtest_stdout(call), text);
    EXPECT_EQ(all_pixels(p8.p), std::vector<int>(4, 0));
    EXPECT_EQ(all_pixels(tc.p), std::vector<int>(4, 6));
    EXPECT_EQ(all_pixels(p16.p), std::vector<int>(4, 5));
    EXPECT_EQ(p16.p.format, KX_PXFMT_PALETTE16);
    EXPECT_EQ(p8.p.width, 2);
    EXPECT_EQ(out.data, nullptr);
}

TEST(PixmapConvert, TruecolorToPalette8InOrderOfAppearance)
{
    Px t(KX_PXFMT_TRUECOLOR, 5, 1);
    const int a = 0x102030, b = 0x405060, key = 0x0000FF, c = 0x708090;
    set_row(&t.p, {a, b, a, key, c});
    ASSERT_TRUE(kxpxmap_convert(&t.p, KX_PXFMT_PALETTE8, key));
    EXPECT_EQ(t.p.format, KX_PXFMT_PALETTE8);
    EXPECT_EQ(all_pixels(t.p), (std::vector<int>{0, 1, 0, 255, 3}));
    EXPECT_EQ(std::vector<int>(t.p.palette.begin(), t.p.palette.begin() + 4),
              (std::vector<int>{a, b, key, c}));
}

// 256 colours are reduced as well, so none lands in the transparent entry.
TEST(PixmapConvert, TooManyColoursReduceToTwoBits)
{
    for (int n : {300, 256}) {
        Px t(KX_PXFMT_TRUECOLOR, n, 1);
        std::vector<int> original;
        for (int x = 0; x < n; x++)
            original.push_back((x % 256) * 0x010101 ^ (x / 256) << 22);
        set_row(&t.p, original);
        ASSERT_TRUE(kxpxmap_convert2palette8(&t.p, -1));
        int most = 0;
        for (int x = 0; x < n; x++) {
            const int index = t.at(x, 0);
            ASSERT_NE(index, 255) << n << " " << x;
            EXPECT_EQ(t.p.palette[index], original[x] & 0xC0C0C0) << n << " " << x;
            most = std::max(most, index);
        }
        EXPECT_LT(most, 64);
        EXPECT_EQ(t.p.palette[255], 0xF00000);
    }
}

TEST(PixmapConvert, Palette8ToTruecolorAndScreen)
{
    for (int bg : {-1, 0x123456}) {
        Px p(KX_PXFMT_PALETTE8, 2, 1);
        set_row(&p.p, {255, 12});
        ASSERT_TRUE(kxpxmap_convert(&p.p, KX_PXFMT_TRUECOLOR, bg));
        EXPECT_EQ(p.p.format, KX_PXFMT_TRUECOLOR);
        EXPECT_EQ(all_pixels(p.p), (std::vector<int>{bg == -1 ? 0 : bg, 0xFF0000}));
        ASSERT_TRUE(kxpxmap_convert(&p.p, KX_PXFMT_SCREEN, 0));
        EXPECT_EQ(p.p.format, KX_PXFMT_SCREEN);
        EXPECT_EQ(p.p.data, nullptr);
    }
}

TEST(PixmapResize, TruecolorKeepsOverlap)
{
    Px t(KX_PXFMT_TRUECOLOR, 10, 10);
    fill_pattern(&t.p);
    ASSERT_TRUE(kxpxmap_resize(&t.p, 20, 5));
    ASSERT_EQ(t.p.width, 20);
    ASSERT_EQ(t.p.height, 5);
    for (int y = 0; y < 5; y++)
        for (int x = 0; x < 20; x++)
            EXPECT_EQ(t.at(x, y), x < 10 ? pattern(x, y) : 0) << x << "," << y;
    std::string out = kxtest_stdout([&] { EXPECT_FALSE(kxpxmap_resize(&t.p, -1, 5)); });
    EXPECT_EQ(out.rfind("kxpxmap_resize: ", 0), 0u);
    EXPECT_EQ(t.p.width, 20);
}

TEST(PixmapDuplicate, RegionsAndDefaults)
{
    Px src(KX_PXFMT_PALETTE8, 5, 4);
    fill_pattern(&src.p);
    kxpxmap_setpalette(&src.p, 3, 0x123456);
    struct Case {
        int x, y, w, h, want_w, want_h, ox, oy;
    };
    for (const Case &c : {Case{-1, -1, -1, -1, 5, 4, 0, 0}, Case{2, 1, -1, -1, 3, 3, 2, 1},
                          Case{3, -1, 100, 100, 2, 4, 3, 0}}) {
        kxpxmap d;
        kxpxmap_init(&d);
        ASSERT_TRUE(kxpxmap_duplicate(&d, &src.p, c.x, c.y, c.w, c.h));
        EXPECT_EQ(d.width, c.want_w);
        EXPECT_EQ(d.height, c.want_h);
        EXPECT_EQ(d.palette[3], 0x123456);
        for (int y = 0; y < d.height; y++)
            for (int x = 0; x < d.width; x++)
                EXPECT_EQ(kxpxmap_getpixel(&d, x, y), pattern(x + c.ox, y + c.oy));
        kxpxmap_free(&d);
    }
    ASSERT_TRUE(kxpxmap_duplicate(&src.p, &src.p, 1, 1, 2, 2));
    EXPECT_EQ(all_pixels(src.p), (std::vector<int>{18, 19, 34, 35}));
}

// Worked out by hand from the shadow rule: G grey, W white shadow, T the
// transparent colour.
TEST(PixmapDisabled, GreyWithShadow)
{
    constexpr int T = 0x123456, G = 0x808080, W = 0xFFFFFF, F = 0xF00000;
    Px icon(KX_PXFMT_PALETTE8, 3, 3);
    kxpxmap_settransparent(&icon.p, T);
    const int rows[3][3] = {{0, 0, 255}, {0, 255, 255}, {15, 255, 255}};
    for (int y = 0; y < 3; y++)
        for (int x = 0; x < 3; x++)
            kxpxmap_setpixel(&icon.p, x, y, rows[y][x]);
    kxpxmap_makedisabled(&icon.p);
    ASSERT_EQ(icon.p.format, KX_PXFMT_TRUECOLOR);
    ASSERT_EQ(icon.p.width, 4);
    ASSERT_EQ(icon.p.height, 4);
    EXPECT_EQ(all_pixels(icon.p), (std::vector<int>{G, G, T, T, G, T, W, T, T, W, T, T, T, T, T, T}));

    // A solid truecolor block shadows into the added column and row; channel
    // mean 128 is still dark, 129 is light.
    Px block(KX_PXFMT_TRUECOLOR, 2, 2);
    kxpxmap_clear(&block.p, 0x808080);
    kxpxmap_setpixel(&block.p, 1, 1, 0x818181);
    kxpxmap_makedisabled(&block.p);
    EXPECT_EQ(all_pixels(block.p), (std::vector<int>{G, G, F, G, F, W, F, W, F}));
}

TEST(PixmapSaveUnder, GrabRestoreRoundTrip)
{
    Px t(KX_PXFMT_TRUECOLOR, 6, 5);
    fill_pattern(&t.p);
    kxPxMapCache save;
    kxpxsave_grab(&save, &t.p, 2, 1, 3, 3);
    ASSERT_TRUE(save.held);
    kxpxmap_clear(&t.p, 0x777777);
    kxpxsave_restore(&save);
    for (int y = 0; y < 5; y++)
        for (int x = 0; x < 6; x++) {
            const bool held = x >= 2 && x < 5 && y >= 1 && y < 4;
            EXPECT_EQ(t.at(x, y), held ? pattern(x, y) : 0x777777) << x << "," << y;
        }
    // Another size takes a fresh copy.
    fill_pattern(&t.p);
    kxpxsave_grab(&save, &t.p, 0, 0, 2, 1);
    kxpxmap_clear(&t.p, 0);
    kxpxsave_restore(&save);
    EXPECT_EQ(t.at(0, 0), 1);
    EXPECT_EQ(t.at(1, 0), 2);
    EXPECT_EQ(t.at(2, 0), 0);
    kxpxsave_release(&save);
    EXPECT_FALSE(save.held);
    EXPECT_EQ(save.copy.data, nullptr);
}

TEST(PixmapSaveUnder, KeepsPixelsOfTheTransparentColour)
{
    // The area under a cursor may hold the transparent colour or index 255:
    // they must come back as they were, not as black.
    Px t(KX_PXFMT_TRUECOLOR, 4, 4);
    kxpxmap_clear(&t.p, 0xF00000);
    kxpxmap_setpixel(&t.p, 1, 1, 0x00FF00);
    kxPxMapCache save;
    kxpxsave_grab(&save, &t.p, 0, 0, 3, 3);
    kxpxmap_clear(&t.p, 0x123456);
    kxpxsave_restore(&save);
    EXPECT_EQ(t.at(0, 0), 0xF00000);
    EXPECT_EQ(t.at(1, 1), 0x00FF00);
    EXPECT_EQ(t.at(3, 3), 0x123456);
    kxpxsave_release(&save);

    Px p8(KX_PXFMT_PALETTE8, 3, 3);
    kxpxmap_clear(&p8.p, 255);
    kxpxsave_grab(&save, &p8.p, -1, -1, 3, 3);  // partly outside: only the inside is kept
    kxpxmap_clear(&p8.p, 7);
    kxpxsave_restore(&save);
    EXPECT_EQ(kxpxmap_getpixel(&p8.p, 0, 0), 255);
    EXPECT_EQ(kxpxmap_getpixel(&p8.p, 1, 1), 255);
    EXPECT_EQ(kxpxmap_getpixel(&p8.p, 2, 2), 7);
    kxpxsave_release(&save);
}
