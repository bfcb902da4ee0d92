// Whole-number scaling: where the scale comes from, and a window at scale 2
// on the headless host, whose screen keeps screen pixels.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/event.h"
#include "platform/host.h"
#include "support.h"

namespace {

TEST(ScaleText, KxScaleIsAWholeNumberOneToFour)
{
    EXPECT_EQ(kxscale_parse("KX_SCALE", "2"), 2);
    EXPECT_EQ(kxscale_parse("KX_SCALE", "4 "), 4);
    EXPECT_EQ(kxscale_parse("KX_SCALE", nullptr), 0);
    EXPECT_EQ(kxscale_parse("KX_SCALE", ""), 0);
    int s = -1;
    EXPECT_EQ(kxtest_stdout([&] { s = kxscale_parse("KX_SCALE", "9"); }),
              "KX_SCALE=9 is outside 1 to 4: scale 4\n");
    EXPECT_EQ(s, 4);
    EXPECT_EQ(kxtest_stdout([&] { s = kxscale_parse("GDK_SCALE", "0"); }),
              "GDK_SCALE=0 is outside 1 to 4: scale 1\n");
    EXPECT_EQ(s, 1);
    for (const char *bad : {"two", "2x", "1.5", "99999999999999999999"}) {
        EXPECT_EQ(kxtest_stdout([&] { s = kxscale_parse("KX_SCALE", bad); }),
                  std::string("KX_SCALE=") + bad + " is not a whole number 1 to 4: ignored\n");
        EXPECT_EQ(s, 0) << bad;
    }
}

TEST(ScaleText, OneStepPer96DotsPerInchRoundedDown)
{
    EXPECT_EQ(kxscale_fromdpi(0), 0);
    EXPECT_EQ(kxscale_fromdpi(72), 1);
    EXPECT_EQ(kxscale_fromdpi(96), 1);
    EXPECT_EQ(kxscale_fromdpi(191.9), 1);
    EXPECT_EQ(kxscale_fromdpi(192), 2);
    EXPECT_EQ(kxscale_fromdpi(288), 3);
    EXPECT_EQ(kxscale_fromdpi(2000), 4);
    EXPECT_EQ(kxscale_fromresources("Xft.antialias:\t1\nXft.dpi:\t192\nXft.hinting:\t1\n"), 2);
    EXPECT_EQ(kxscale_fromresources("Xft.dpi: 144.5"), 1);
    EXPECT_EQ(kxscale_fromresources("Xft.dpi:\t96\nXft.dpi:\t288\n"), 3);
    EXPECT_EQ(kxscale_fromresources("*Xft.dpi:\t192\nXft.dpi:\tbig\n"), 0);
    EXPECT_EQ(kxscale_fromresources(""), 0);
    EXPECT_EQ(kxscale_fromresources(nullptr), 0);
}

TEST(ScaleText, EnlargingMakesEachPixelASquareAtEveryScale)
{
    constexpr int W = 7, H = 3;  // more than one SSE2 step, and a remainder
    std::vector<std::uint32_t> src(W * H);
    for (int i = 0; i < W * H; i++)
        src[static_cast<std::size_t>(i)] = 0x010203u * static_cast<std::uint32_t>(i + 1);
    for (int n = 1; n <= KX_SCALE_MAX; n++) {
        const int dw = W * n + 1;  // a row longer than the picture keeps its last word
        std::vector<std::uint32_t> dst(static_cast<std::size_t>(dw) * H * n, 0xDEAD);
        kxscale_enlarge(src.data(), W, dst.data(), static_cast<std::size_t>(dw), W, H, n);
        for (int y = 0; y < H * n; y++) {
            for (int x = 0; x < W * n; x++)
                ASSERT_EQ(dst[static_cast<std::size_t>(y) * dw + x],
                          src[static_cast<std::size_t>(y / n) * W + x / n])
                    << n << ": " << x << "," << y;
            ASSERT_EQ(dst[static_cast<std::size_t>(y) * dw + W * n], 0xDEADu);
        }
    }
}

struct Recorder {
    std::vector<std::string> got;
};

kxarg record(void *obj, int code, kxarg a, kxarg b, kxarg, kxarg, kxarg, kxarg, kxarg, kxarg)
{
    static_cast<Recorder *>(obj)->got.push_back(std::to_string(code) + "@" + std::to_string(a) +
                                                "," + std::to_string(b));
    return 0;
}

std::string at(int code, int x, int y)
{
    return std::to_string(code) + "@" + std::to_string(x) + "," + std::to_string(y);
}

struct ScaleTwo : testing::Test {
    Recorder rec;
    kxllgui_window win;

    void SetUp() override
    {
        kxplatform_exit();
        setenv("KX_SCALE", "2", 1);
        kxtest_headless();
        ASSERT_EQ(kxplatform_scale(), 2);
    }
    void TearDown() override
    {
        kxplatwin_destroy(&win);
        kxplatform_exit();
        unsetenv("KX_SCALE");
    }
    void open(int width, int height, kxwinstyle style = {})
    {
        ASSERT_TRUE(kxplatwin_create(&win, record, &rec, 10, 20, width, height, "s", style));
        kxsys_pump_all();
        rec.got.clear();
    }
    std::vector<std::string> run()
    {
        kxsys_pump_all();
        auto got = rec.got;
        rec.got.clear();
        return got;
    }
};

TEST_F(ScaleTwo, TheScreenShowsEachPixelAsASquareAndMetricsStayLogical)
{
    EXPECT_EQ(kxsys_metric("screenxs"), KX_HEADLESS_SCREEN_XS / 2);
    EXPECT_EQ(kxsys_metric("screenys"), KX_HEADLESS_SCREEN_YS / 2);
    open(5, 3);
    for (int y = 0; y < 3; y++)
        for (int x = 0; x < 5; x++)
            kxpxmap_setpixel(&win.pixmap, x, y, x * 0x10 + y * 0x1000 + 0x010000);
    kxplatwin_blit(&win, 0, 0, 0, 0, 0, 0, true);
    ASSERT_NE(kxheadless_screen(&win), nullptr);
    for (int y = 0; y < 6; y++)
        for (int x = 0; x < 10; x++)
            ASSERT_EQ(kxheadless_screen_pixel(&win, x, y), kxpxmap_getpixel(&win.pixmap, x / 2, y / 2))
                << x << "," << y;
    EXPECT_EQ(kxheadless_screen_pixel(&win, 10, 0), -1);
    // The client area's position counts whole logical pixels.
    EXPECT_EQ(kxplatwin_screen_x(&win), (20 + KX_HEADLESS_BORDER) / 2);
}

TEST_F(ScaleTwo, PointerPositionsAndSizesArriveInLogicalPixels)
{
    open(40, 30);
    kxheadless_click(&win, 1, 21, 11);
    kxheadless_move(&win, -1, 59);
    kxheadless_wheel(&win, -120, 7, 8);
    kxheadless_resize(&win, 101, 80);
    EXPECT_EQ(run(), (std::vector<std::string>{at(KX_EV_LDOWN, 10, 5), at(KX_EV_LUP, 10, 5),
                                               at(KX_EV_MOTION, -1, 29),
                                               at(KX_EV_WHEEL_DOWN, 3, 4),
                                               at(KX_EV_RESIZE, 51, 40)}));
    EXPECT_EQ(win.pixmap.width, 51);
}

// Every window keeps what it showed when the host makes it bigger; a fixed
// one never gets a pixmap smaller than its own size, a resizable one none
// smaller than its lower limits.
TEST_F(ScaleTwo, APixmapKeepsItsPixelsAndNeverShrinksBelowItsLimits)
{
    kxwinstyle fixed;
    fixed.noresize = true;
    open(8, 6, fixed);
    kxpxmap_setpixel(&win.pixmap, 7, 5, 0x123456);
    kxheadless_resize(&win, 10, 8);  // 5 x 4: smaller than its own size
    EXPECT_TRUE(run().empty());
    kxheadless_resize(&win, 20, 14);
    EXPECT_EQ(run(), std::vector<std::string>{at(KX_EV_RESIZE, 10, 7)});
    EXPECT_EQ(kxpxmap_getpixel(&win.pixmap, 7, 5), 0x123456);
    EXPECT_EQ(kxpxmap_getpixel(&win.pixmap, 9, 6), 0);
    kxheadless_resize(&win, 4, 4);
    EXPECT_EQ(run(), std::vector<std::string>{at(KX_EV_RESIZE, 8, 6)});
    EXPECT_EQ(kxpxmap_getpixel(&win.pixmap, 7, 5), 0x123456);
    kxplatwin_destroy(&win);

    kxwinstyle limited;
    limited.minwidth = 6, limited.minheight = 5;
    open(8, 6, limited);
    kxheadless_resize(&win, 2, 2);
    EXPECT_EQ(run(), std::vector<std::string>{at(KX_EV_RESIZE, 6, 5)});
}

} // namespace
