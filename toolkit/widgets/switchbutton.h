// The switch button: a push button with a small lamp at its left end that
// goes on (green) and off with every click.
#pragma once

#include "core/button.h"
#include "core/widget.h"

struct kxSwitchButton : kxwidget {
    bool on = false;
    int lampcolour = 0x00FF00;
    bool thinframe = false;
    bool pressed = false;
    bool flat = false;
    // Button words without an effect here, kept as given.
    bool arrow = false, isdefault = false, mouserepeat = false, hyperlink = false;
    bool keeppressed = false, toolbutton = false;
    int hotkey = 0, hotkeymods = 0;
    char caption[KX_BUTTON_CAPTION] = {};
    int textx = 0, texty = 0;
    int lampx = 0, lampy = 0, lampw = 10, lamph = 8;
    int text = 0, greytext = 0, hovercolour = 0, face = 0;
    int framelight = 0, framedark = 0, frameblack = 0, framevery = 0;

    kxSwitchButton() = default;
    ~kxSwitchButton();
    kxSwitchButton(const kxSwitchButton &) = delete;
    kxSwitchButton &operator=(const kxSwitchButton &) = delete;

    // Attribute strings hold percent signs ("x=50%"), so no printf checking.
    void create(const char *fmt, ...);
    void destroy();
    // The program's own setting: redraws, reports nothing.
    void set_on(bool v);
    bool is_on() const { return on; }
    void draw();
    static kxarg handler(void *obj, int code, kxarg a0, kxarg a1, kxarg a2, kxarg a3, kxarg a4,
                         kxarg a5, kxarg a6, kxarg a7);
};
