// The check box: a 13 by 13 box (square, or round) followed by its caption.
// A click, Space and the yes and no keys change it and report the main id.
// "boxonly" shows the box alone, centred, as table cells do.
#pragma once

#include "core/widget.h"

constexpr int KX_CHECKBOX_CAPTION = 256;  // 255 characters and the end
constexpr int KX_CHECKBOX_BOX = 13;

struct kxCheckBox : kxwidget {
    bool round = false, checked = false, boxonly = false, flat = false, lightframe = false;
    int checkcolour = 0;
    char caption[KX_CHECKBOX_CAPTION] = {};
    int captioncolour = 0;

    kxCheckBox() = default;
    ~kxCheckBox();
    kxCheckBox(const kxCheckBox &) = delete;
    kxCheckBox &operator=(const kxCheckBox &) = delete;

    // Attribute strings hold percent signs ("x=50%"), so no printf checking.
    void create(const char *fmt, ...);
    void destroy();
    void set_checked(bool on);
    bool is_checked() const { return checked; }
    int right_edge() const { return geom.x + geom.xs; }
    void draw();
    static kxarg handler(void *obj, int code, kxarg a0, kxarg a1, kxarg a2, kxarg a3, kxarg a4,
                         kxarg a5, kxarg a6, kxarg a7);
};
