// The progress bar: a passive bar showing a percentage as a row of up to 20
// blocks.  It takes no input.
#pragma once

#include "core/widget.h"

constexpr int KX_PROGRESS_BLOCKS = 20;

struct kxProgressBar : kxwidget {
    int value = 0;  // 0..100

    kxProgressBar() = default;
    ~kxProgressBar();
    kxProgressBar(const kxProgressBar &) = delete;
    kxProgressBar &operator=(const kxProgressBar &) = delete;

    // Attribute strings hold percent signs ("x=50%"), so no printf checking.
    void create(const char *fmt, ...);
    void destroy();
    // Limited to 0..100; redraws only when the value changes.
    void set_value(int v);
    int get_value() const { return value; }
    // Blocks shown for a value: 0 and 1 % none, 2 to 6 % one, 100 % twenty.
    static int blocks(int v) { return (v + 3) / 5; }
    void draw();
    static kxarg handler(void *obj, int code, kxarg a0, kxarg a1, kxarg a2, kxarg a3, kxarg a4,
                         kxarg a5, kxarg a6, kxarg a7);
};
