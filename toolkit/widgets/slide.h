// The slide: a horizontal percentage slider.  A sunken track holds a
// 30-pixel thumb that is dragged, clicked beside, or moved by the wheel and
// the cursor keys in steps of 5 %; "showpos" prints the value on the track.
#pragma once

#include "core/widget.h"

constexpr int KX_SLIDE_THUMB = 30;
constexpr int KX_SLIDE_STEP = 5;

struct kxSlide : kxwidget {
    int thumbx = 0;  // pixels from the left edge to the thumb
    int thumbw = KX_SLIDE_THUMB;
    int trackcolour = 0;
    int dragx = 0;  // last pointer x while dragging, relative to the slide
    double value = 0.0;
    bool dragging = false;
    bool showpos = false;

    kxSlide() = default;
    ~kxSlide();
    kxSlide(const kxSlide &) = delete;
    kxSlide &operator=(const kxSlide &) = delete;

    // Attribute strings hold percent signs ("x=50%"), so no printf checking.
    void create(const char *fmt, ...);
    void destroy();
    // The program's own settings: limited to 0..100, nothing is reported.
    void set_value(double v);
    void set_value_text(const char *text);
    double get_value() const { return value; }
    void draw();
    static kxarg handler(void *obj, int code, kxarg a0, kxarg a1, kxarg a2, kxarg a3, kxarg a4,
                         kxarg a5, kxarg a6, kxarg a7);
};
