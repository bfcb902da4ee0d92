// The X11 host in this test process: where the server can reach our shared
// memory, a window pixmap lives in the segment the server copies from, so
// there is no second buffer; without it the pixmap is plain memory.  Either
// way the screen shows what was drawn, also after a resize.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "core/event.h"
#include "support.h"
#include "xvfb_support.h"

namespace {

kxarg ignore(void *, int, kxarg, kxarg, kxarg, kxarg, kxarg, kxarg, kxarg, kxarg) { return 0; }

// Whether the address lies in a System V shared-memory mapping of ours.
bool in_segment(const void *p)
{
    std::ifstream maps("/proc/self/maps");
    auto at = reinterpret_cast<std::uintptr_t>(p);
    for (std::string line; std::getline(maps, line);) {
        std::uintptr_t lo = 0, hi = 0;
        if (std::sscanf(line.c_str(), "%lx-%lx", &lo, &hi) == 2 && at >= lo && at < hi)
            return line.find("/SYSV") != std::string::npos;
    }
    return false;
}

int pattern(int x, int y) { return (x * 7 & 0xFF) << 16 | (y * 5 & 0xFF) << 8 | ((x ^ y) & 0xFF); }

struct X11Pixmaps : testing::Test {
    kxxvfb xvfb;
    kxllgui_window win;

    void open(int width, int height)
    {
        kxplatform_exit();
        setenv("KX_HOST", "x11", 1);
        ASSERT_TRUE(kxplatform_init());
        ASSERT_TRUE(kxplatwin_create(&win, ignore, nullptr, 10, 10, width, height, "shm", {}));
    }
    void TearDown() override
    {
        kxplatwin_destroy(&win);
        kxplatform_exit();
    }
    // Draws the pattern, shows it and counts the pixels the server shows
    // otherwise (-1: no screenshot).
    int shown_wrong()
    {
        kxpxmap &p = win.pixmap;
        for (int y = 0; y < p.height; y++)
            for (int x = 0; x < p.width; x++)
                kxpxmap_setpixel(&p, x, y, pattern(x, y));
        kxplatwin_blit(&win, 0, 0, 0, 0, 0, 0, true);
        kxtest_shot shot;
        if (!kxtest_xwd(win.handle, &shot) || shot.width != p.width || shot.height != p.height)
            return -1;
        int wrong = 0;
        for (int y = 0; y < p.height; y++)
            for (int x = 0; x < p.width; x++)
                wrong += static_cast<int>(shot.pixels[static_cast<std::size_t>(y) * p.width + x]) !=
                         pattern(x, y);
        return wrong;
    }
    // The host's own resize: the window procedure makes the pixmap anew.
    void resize(int width, int height)
    {
        ASSERT_EQ(kxtest_sh("xdotool windowsize --sync " + std::to_string(win.handle) + " " +
                            std::to_string(width) + " " + std::to_string(height)),
                  0);
        for (std::int64_t end = kxtest_now_ms() + 10000;
             win.pixmap.width != width && kxtest_now_ms() < end;)
            kxsys_pump_all();
        ASSERT_EQ(win.pixmap.width, width);
    }
};

} // namespace

TEST_F(X11Pixmaps, TheWindowPixmapIsTheSharedSegmentAndShowsFromIt)
{
    KX_NEED_XVFB(xvfb);
    open(160, 120);
    EXPECT_TRUE(in_segment(kxserver_pixels(&win.pixmap)));
    EXPECT_EQ(shown_wrong(), 0);
    resize(200, 90);
    EXPECT_TRUE(in_segment(kxserver_pixels(&win.pixmap))) << "a new segment at the new size";
    EXPECT_EQ(shown_wrong(), 0);
    const void *pixels = kxserver_pixels(&win.pixmap);
    kxplatwin_destroy(&win);
    EXPECT_FALSE(in_segment(pixels)) << "the segment outlived its window";
}

TEST_F(X11Pixmaps, WithoutSharedMemoryThePixmapIsPlainMemory)
{
    KX_NEED_XVFB(xvfb);
    setenv("KX_X11_NOSHM", "1", 1);
    open(160, 120);
    EXPECT_FALSE(in_segment(kxserver_pixels(&win.pixmap)));
    EXPECT_EQ(shown_wrong(), 0);
    resize(200, 90);
    EXPECT_EQ(shown_wrong(), 0);
}

// The display may go before the windows: their pixmaps stay drawable.
TEST_F(X11Pixmaps, APixmapOutlivesTheClosedDisplay)
{
    KX_NEED_XVFB(xvfb);
    open(64, 48);
    kxplatform_exit();
    kxpxmap_clear(&win.pixmap, 0x123456);
    EXPECT_EQ(kxpxmap_getpixel(&win.pixmap, 63, 47), 0x123456);
    kxplatwin_destroy(&win);
}
