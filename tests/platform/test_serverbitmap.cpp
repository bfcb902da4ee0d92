#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "graphics/pixmap.h"
#include "support.h"
#include "platform/platform.h"
#ifndef _WIN32
#include "platform/serverbitmap.h"
#endif

namespace {


// The raw words the hosts show, row by row.
std::vector<int> words(const kxpxmap &p)
{
    const std::uint32_t *w = kxserver_pixels(&p);
    std::vector<int> v;
    if (w)
        v.assign(w, w + p.width * p.height);
    return v;
}

int count_colour(const kxpxmap &p, int colour)
{
    int n = 0;
    for (int v : words(p))
        n += v == colour;
    return n;
}

} // namespace

TEST(ServerMerge, Palette8IconChangesOnlyOpaquePixels)
{
    Px dst(KX_PXFMT_SERVER, 3, 1);
    kxpxmap_clear(&dst.p, 0x111111);
    Px icon(KX_PXFMT_PALETTE8, 3, 1);  // 0xABCDEF, transparent, white
    kxpxmap_setpalette(&icon.p, 5, 0xABCDEF);
    kxpxmap_setpixel(&icon.p, 0, 0, 5);
    kxpxmap_setpixel(&icon.p, 1, 0, 255);
    kxpxmap_setpixel(&icon.p, 2, 0, 15);
    kxpxmap_merge4(&dst.p, &icon.p, 0, 0, 0, 0, 0, 0, 0);
    EXPECT_EQ(words(dst.p), (std::vector<int>{0xABCDEF, 0x111111, 0xFFFFFF}));

    // The same icon as a server pixmap carries a mask and blits the same way.
    ASSERT_TRUE(kxpxmap_convert2server(&icon.p));
    const std::uint32_t *mask = kxserver_mask(&icon.p);
    ASSERT_NE(mask, nullptr);
    EXPECT_EQ(std::vector<std::uint32_t>(mask, mask + 3), (std::vector<std::uint32_t>{0, 0xFFFFFF, 0}));
    EXPECT_EQ(icon.at(1, 0), 0);
    kxpxmap_clear(&dst.p, 0x222222);
    kxpxmap_merge4(&dst.p, &icon.p, 0, 0, 0, 0, 0, 0, 0);
    EXPECT_EQ(words(dst.p), (std::vector<int>{0xABCDEF, 0x222222, 0xFFFFFF}));
}

TEST(ServerMerge, TruecolorCopiesEveryPixel)
{
    Px dst(KX_PXFMT_SERVER, 3, 1);
    kxpxmap_clear(&dst.p, 0x111111);
    Px src(KX_PXFMT_TRUECOLOR, 3, 1);
    kxpxmap_setpixel(&src.p, 0, 0, 0xF00000);  // the source's transparent colour
    kxpxmap_setpixel(&src.p, 1, 0, 0x0000FF);
    kxpxmap_merge4(&dst.p, &src.p, 0, 0, 0, 0, 0, 0, 0);
    EXPECT_EQ(words(dst.p), (std::vector<int>{0xF00000, 0x0000FF, 0}));

    ASSERT_TRUE(kxpxmap_convert2server(&src.p));
    EXPECT_EQ(kxserver_mask(&src.p), nullptr);
}

TEST(ServerMerge, Palette8WithoutIndex255IsPlainCopy)
{
    Px icon(KX_PXFMT_PALETTE8, 2, 1);
    kxpxmap_setpixel(&icon.p, 0, 0, 12);  // red; pixel 1 stays black (index 0)
    ASSERT_TRUE(kxpxmap_convert(&icon.p, KX_PXFMT_SERVER, 0));
    EXPECT_EQ(kxserver_mask(&icon.p), nullptr);
    Px dst(KX_PXFMT_SERVER, 2, 1);
    kxpxmap_clear(&dst.p, 0x333333);
    kxpxmap_merge4(&dst.p, &icon.p, 0, 0, 0, 0, 0, 0, 0);
    EXPECT_EQ(words(dst.p), (std::vector<int>{0xFF0000, 0}));
}

TEST(ServerMerge, UnsupportedSourcePrintsAndCopiesNothing)
{
    Px dst(KX_PXFMT_SERVER, 2, 2);
    kxpxmap_clear(&dst.p, 0x444444);
    Px w(KX_PXFMT_PALETTE16, 2, 2);
    kxpxmap_clear(&w.p, 7);
    EXPECT_EQ(kxtest_stdout([&] { kxpxmap_merge4(&dst.p, &w.p, 0, 0, 0, 0, 0, 0, 0); }),
              "pxmapmerge not supported: 2 -> 4\n");
    EXPECT_EQ(words(dst.p), std::vector<int>(4, 0x444444));
}

TEST(ServerMerge, ClipsAgainstBothBitmaps)
{
    Px src(KX_PXFMT_TRUECOLOR, 4, 4);
    for (int y = 0; y < 4; y++)
        for (int x = 0; x < 4; x++)
            kxpxmap_setpixel(&src.p, x, y, 1 + x + 16 * y);
    Px dst(KX_PXFMT_SERVER, 4, 4);
    kxserver_merge(&dst.p, &src.p, -1, -1, 4, 4, 0, 0);
    kxserver_merge(&dst.p, &src.p, 3, 3, INT_MAX, INT_MAX, INT_MIN, INT_MIN);
    kxserver_merge(&dst.p, &src.p, INT_MAX, 0, 4, 4, 0, 0);
    kxserver_merge(&dst.p, &src.p, 0, 0, -4, 4, 0, 0);
    for (int y = 0; y < 4; y++)
        for (int x = 0; x < 4; x++)
            EXPECT_EQ(dst.at(x, y), x < 3 && y < 3 ? 1 + (x + 1) + 16 * (y + 1) : 0) << x << "," << y;

    // A move inside one bitmap reads the pixels as they were.
    kxserver_merge(&dst.p, &dst.p, 1, 1, 3, 3, 0, 0);
    for (int y = 1; y < 4; y++)
        for (int x = 1; x < 4; x++)
            EXPECT_EQ(dst.at(x, y), 1 + x + 16 * y) << x << "," << y;
    EXPECT_EQ(dst.at(3, 0), 0);
}

TEST(ServerConvert, RoundTripsKeepPixels)
{
    Px s(KX_PXFMT_SERVER, 5, 3);
    for (int y = 0; y < 3; y++)
        for (int x = 0; x < 5; x++)
            kxpxmap_setpixel(&s.p, x, y, (x * 0x330000) | (y * 0x5500) | 0x17);
    const std::vector<int> before = words(s.p);
    ASSERT_TRUE(kxpxmap_convert2truecolor(&s.p, -1));
    ASSERT_EQ(s.p.format, KX_PXFMT_TRUECOLOR);
    EXPECT_EQ(s.at(4, 2), 4 * 0x330000 + 2 * 0x5500 + 0x17);
    ASSERT_TRUE(kxpxmap_convert2server(&s.p));
    EXPECT_EQ(words(s.p), before);
}

TEST(ServerPixels, BoundsAndChannelOrder)
{
    Px s(KX_PXFMT_SERVER, 3, 2);
    kxserver_setcolour(0x00FF00);
    kxpxmap_setpixel(&s.p, 0, 0, 0xFF0000);  // sets the current colour first
    kxpxmap_setpixel(&s.p, 3, 0, 0xFF0000);
    kxpxmap_setpixel(&s.p, 0, -1, 0xFF0000);
    EXPECT_EQ(words(s.p), (std::vector<int>{0xFF0000, 0, 0, 0, 0, 0}));
    EXPECT_EQ(s.at(0, 0), 0xFF0000);
    EXPECT_EQ(s.at(-1, 0), -1);
    EXPECT_EQ(kxserver_getpixel(&s.p, 0, 2), -1);

    const int xs[] = {1, 5, -1, 2}, ys[] = {1, 0, 0, INT_MAX};
    kxpxmap_setpixels(&s.p, 4, xs, ys, 0x0000FF);
    EXPECT_EQ(words(s.p), (std::vector<int>{0xFF0000, 0, 0, 0, 0x0000FF, 0}));
}

TEST(ServerFill, BrushMadeOnlyOnColourChange)
{
    Px s(KX_PXFMT_SERVER, 4, 4);
    EXPECT_EQ(kxserver_brushes_made(&s.p), 0);
    kxpxmap_fillrect(&s.p, 0, 0, 2, 2, 0x123456);
    kxpxmap_fillrect(&s.p, 2, 2, 2, 2, 0x123456);
    EXPECT_EQ(kxserver_brushes_made(&s.p), 1);
    EXPECT_EQ(count_colour(s.p, 0x123456), 8);
    kxpxmap_fillrect(&s.p, -5, 1, 7, 10, 0x654321);  // x 0..1, y 1..3
    EXPECT_EQ(kxserver_brushes_made(&s.p), 2);
    EXPECT_EQ(count_colour(s.p, 0x654321), 6);

    kxserver_setcolour(0x0000AA);
    EXPECT_TRUE(kxserver_fillrect(&s.p, 3, 0, 100, 1));
    EXPECT_TRUE(kxserver_fillrect(&s.p, INT_MIN, INT_MIN, INT_MAX, INT_MAX));
    EXPECT_EQ(s.at(3, 0), 0x0000AA);
    EXPECT_EQ(count_colour(s.p, 0x0000AA), 1);
}

TEST(ServerLine, BothEndPointsAndClipping)
{
    Px s(KX_PXFMT_SERVER, 10, 10);
    ASSERT_TRUE(kxserver_line(&s.p, 2, 1, 6, 1, 0xFF));
    EXPECT_EQ(count_colour(s.p, 0xFF), 5);
    EXPECT_EQ(s.at(2, 1), 0xFF);
    EXPECT_EQ(s.at(6, 1), 0xFF);

    kxpxmap_clear(&s.p, 0);
    kxserver_line(&s.p, 3, 9, 2, 0, 0xFF);  // steep, drawn upwards
    EXPECT_EQ(count_colour(s.p, 0xFF), 10);
    EXPECT_EQ(s.at(3, 9), 0xFF);
    EXPECT_EQ(s.at(2, 0), 0xFF);
    for (int y = 0; y < 10; y++)
        EXPECT_EQ((s.at(2, y) == 0xFF) + (s.at(3, y) == 0xFF), 1) << y;

    // Far-away end points: only the visible part is walked and drawn.
    kxpxmap_clear(&s.p, 0);
    kxserver_line(&s.p, INT_MIN, 3, INT_MAX, 3, 0xFF);
    kxserver_line(&s.p, INT_MIN, INT_MIN, INT_MAX, INT_MIN, 0xFF);
    kxserver_line(&s.p, -5, -5, 14, 14, 0xFF);
    EXPECT_EQ(count_colour(s.p, 0xFF), 19);
    for (int i = 0; i < 10; i++) {
        EXPECT_EQ(s.at(i, 3), 0xFF);
        EXPECT_EQ(s.at(i, i), 0xFF);
    }
    EXPECT_EQ(kxserver_pens_made(&s.p), 1);
    kxserver_line(&s.p, 0, 0, 1, 0, 0xFE);
    EXPECT_EQ(kxserver_pens_made(&s.p), 2);
}

TEST(ServerCircle, OutlineInsideItsBox)
{
    Px s(KX_PXFMT_SERVER, 11, 11);
    ASSERT_TRUE(kxserver_circle(&s.p, 5, 5, 3, 0xFF));
    EXPECT_EQ(count_colour(s.p, 0xFF), 16);
    // One quadrant of the outline, mirrored into the other three.
    const int quadrant[][2] = {{3, 0}, {3, 1}, {2, 2}, {1, 3}, {0, 3}};
    for (const auto &q : quadrant)
        for (int sx : {-1, 1})
            for (int sy : {-1, 1})
                EXPECT_EQ(s.at(5 + sx * q[0], 5 + sy * q[1]), 0xFF) << q[0] << "," << q[1];
    EXPECT_EQ(s.at(5, 5), 0);  // never filled

    kxpxmap_clear(&s.p, 0);
    EXPECT_FALSE(kxserver_circle(&s.p, 5, 5, -1, 0xFF));
    kxserver_circle(&s.p, 0, 0, 3, 0xFF);  // three quarters outside
    EXPECT_EQ(count_colour(s.p, 0xFF), 5);
    // A huge circle whose rightmost point is (5, 5).
    kxpxmap_clear(&s.p, 0);
    ASSERT_TRUE(kxserver_circle(&s.p, -1000000000, 5, 1000000005, 0xFF));
    EXPECT_EQ(s.at(5, 5), 0xFF);
    EXPECT_EQ(s.at(6, 5), 0);
}

// Remade at the new size, keeping the pixels where the sizes overlap.
TEST(ServerResize, RemadeAtNewSize)
{
    Px s(KX_PXFMT_SERVER, 4, 4);
    kxpxmap_clear(&s.p, 0x999999);
    ASSERT_TRUE(kxpxmap_resize(&s.p, 6, 2));
    const int k = 0x999999;
    EXPECT_EQ(words(s.p), (std::vector<int>{k, k, k, k, 0, 0, k, k, k, k, 0, 0}));
}

#ifndef _WIN32
namespace {

int released = 0;
void count_release(void *) { released++; }

} // namespace

// A host keeping server bitmaps in client memory (not Win32's GDI) may keep
// the pixels in a store of its own (a shared segment the display reads): the bitmap draws there and gives the store back, instead
// of freeing it, whenever it goes.
TEST(ServerStore, AHostStoreHoldsThePixelsUntilTheBitmapGoes)
{
    Px s(KX_PXFMT_SERVER, 3, 2);
    kxpxmap_clear(&s.p, 0x345678);
    std::uint32_t store[6] = {}, other[16] = {};
    ASSERT_TRUE(kxserver_adopt(&s.p, store, true, count_release, nullptr));
    EXPECT_EQ(kxserver_pixels(&s.p), store);
    EXPECT_EQ(store[5], 0x345678u) << "kept pixels are copied";
    kxpxmap_setpixel(&s.p, 1, 1, 0xABCDEF);
    EXPECT_EQ(store[4], 0xABCDEFu);
    EXPECT_FALSE(kxserver_adopt(&s.p, other, false, count_release, nullptr)) << "has one already";
    ASSERT_TRUE(kxpxmap_resize(&s.p, 4, 4));
    EXPECT_EQ(released, 1);
    ASSERT_TRUE(kxserver_adopt(&s.p, other, false, count_release, nullptr));
    kxpxmap_setpixel(&s.p, 3, 3, 0x010203);
    ASSERT_TRUE(kxpxmap_convert2truecolor(&s.p, -1));
    EXPECT_EQ(released, 2);
    EXPECT_EQ(s.at(3, 3), 0x010203) << "the pixels were copied out first";
    Px t(KX_PXFMT_TRUECOLOR, 2, 2);
    EXPECT_FALSE(kxserver_adopt(&t.p, other, false, count_release, nullptr));
}
#endif
