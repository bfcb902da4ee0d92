// Shared by the tests: the headless host and captured standard output.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>

#include "graphics/pixmap.h"
#include "platform/headless/headless.h"
#include "platform/platform.h"

#ifdef _WIN32
// The Windows C runtime has _putenv_s instead.
inline int setenv(const char *name, const char *value, int overwrite)
{
    if (!overwrite && std::getenv(name))
        return 0;
    return _putenv_s(name, value);
}
inline int unsetenv(const char *name) { return _putenv_s(name, ""); }
#endif

// An allocated pixmap that frees itself.
struct Px {
    kxpxmap p;
    Px(int format, int w, int h)
    {
        kxpxmap_init(&p);
        p.width = w;
        p.height = h;
        p.format = format;
        EXPECT_TRUE(kxpxmap_allocate(&p));
    }
    ~Px() { kxpxmap_free(&p); }
    Px(const Px &) = delete;
    Px &operator=(const Px &) = delete;
    int at(int x, int y) const { return kxpxmap_getpixel(&p, x, y); }
};

// Every test process starts on the headless host.
inline void kxtest_headless()
{
    setenv("KX_HOST", "headless", 1);
    ASSERT_TRUE(kxplatform_init());
    ASSERT_STREQ(kxplatform_hostname(), "headless");
}

// Runs fn and returns what it printed on standard output.
inline std::string kxtest_stdout(const std::function<void()> &fn)
{
    testing::internal::CaptureStdout();
    fn();
    std::fflush(stdout);
    return testing::internal::GetCapturedStdout();
}

// Runs a lambda from the pump whenever it would sleep.
struct kxtest_idle {
    std::function<void()> fn;
    explicit kxtest_idle(std::function<void()> f) : fn(std::move(f))
    {
        kxheadless_setidle([](void *ctx) { static_cast<kxtest_idle *>(ctx)->fn(); }, this);
    }
    ~kxtest_idle() { kxheadless_setidle(nullptr, nullptr); }
};

// Writes a pixmap as a binary PPM (for people to look at test output).
inline bool kxtest_write_ppm(const std::string &path, const kxpxmap &p)
{
    std::FILE *f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    std::fprintf(f, "P6\n%d %d\n255\n", p.width, p.height);
    for (int y = 0; y < p.height; y++)
        for (int x = 0; x < p.width; x++) {
            int c = kxpxmap_getpixel(&p, x, y);
            unsigned char rgb[3] = {static_cast<unsigned char>(c >> 16),
                                    static_cast<unsigned char>(c >> 8),
                                    static_cast<unsigned char>(c)};
            std::fwrite(rgb, 1, 3, f);
        }
    return std::fclose(f) == 0;
}

inline std::string kxtest_output_dir()
{
#ifdef KX_TEST_BINARY_DIR
    return KX_TEST_BINARY_DIR;
#else
    return "/tmp";
#endif
}
