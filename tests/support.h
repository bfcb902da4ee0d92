// Shared by the tests: the headless host and captured standard output.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>

#include "platform/headless/headless.h"
#include "platform/platform.h"

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
