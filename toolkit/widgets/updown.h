// The numeric field: a line input with two small arrow buttons at its right
// end.  Arrows (with auto repeat), the wheel and the Up and Down keys step the
// value within its limits; a typed value is rounded to the step and limited
// when the field loses the focus.  Decimals are shown by a decimal point
// inserted into the whole-number value.
#pragma once

#include "widgets/lineinput.h"

constexpr int KX_UPDOWN_REPEAT_MS = 100;
constexpr int KX_UPDOWN_FIRST_REPEAT = 5;  // the first repeat waits this many intervals

struct kxUpDownControl : kxLineInput {
    int arroww = 0, arrowx = 0, arrowy = 0, arrowh = 0;
    int min = -100000, max = 100000, step_size = 1, value = 0;
    int digits = 0, decimals = 0;
    int repeat = KX_UPDOWN_REPEAT_MS;
    bool uppressed = false, downpressed = false;

    kxUpDownControl() = default;
    ~kxUpDownControl();
    // Attribute strings hold percent signs ("x=50%"), so no printf checking.
    void create(const char *fmt, ...);
    void destroy();
    void set_value(int v);
    // The value the text stands for, before rounding and limits.
    int read_value() const;
    void step(int direction, bool silent);
    static kxarg handler(void *obj, int code, kxarg a0, kxarg a1, kxarg a2, kxarg a3, kxarg a4,
                         kxarg a5, kxarg a6, kxarg a7);
};

// The text a value shows: rounded toward zero to the step, limited, padded
// to digits and with decimals after a point.  out holds at least 32 bytes.
void kxupdown_format(const kxUpDownControl *u, int v, char *out, int cap);
