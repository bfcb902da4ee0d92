// The push button: a captioned rectangle pressed with the mouse, Enter or
// Space, which then reports its main id.  A right press, or Shift+F10 while
// it has the focus, reports its KX_ID_RDOWN id: the program's menu for it.
// Attribute words choose the look: 3D, flat, thin frame, arrow, hyperlink,
// tool button, keep-pressed switch.
#pragma once

#include "core/widget.h"

constexpr int KX_BUTTON_CAPTION = 152;  // 151 characters and the end

struct kxButton : kxwidget {
    char caption[KX_BUTTON_CAPTION] = {};
    int textx = 0, texty = 0;
    bool thinframe = false, pressed = false, arrow = false, smallarrow = false;
    bool flat = false, isdefault = false, mouserepeat = false, hyperlink = false;
    bool keeppressed = false, toolbutton = false, bigarrow = false;
    int hotkey = 0, hotkeymods = 0;
    int text = 0, greytext = 0, highlight = 0x0000FF, active = 0x8000FF;
    int hovercolour = 0, face = 0, pressedframe = 0;
    int framedark = 0, frameblack = 0, framelight = 0;

    kxButton() = default;
    // Attribute strings hold percent signs ("x=50%"), so no printf checking.
    explicit kxButton(const char *fmt, ...);
    ~kxButton();
    kxButton(const kxButton &) = delete;
    kxButton &operator=(const kxButton &) = delete;

    void create(const char *fmt, ...);
    void destroy();
    bool is_pressed() const { return pressed; }
    void set_pressed(bool on);
    void focus();
    // A new caption, cut to fit, drawn at once.
    void set_caption(const char *words);
    int right_edge() const { return geom.x + geom.xs; }
    bool contains(int px, int py) const
    {
        return geom.x <= px && px < geom.x + geom.xs && geom.y <= py && py < geom.y + geom.ys;
    }
    void draw();
    static kxarg handler(void *obj, int code, kxarg a0, kxarg a1, kxarg a2, kxarg a3, kxarg a4,
                         kxarg a5, kxarg a6, kxarg a7);
};
