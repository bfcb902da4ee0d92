// The status strip at the bottom of a window: up to 12 framed fields, each
// with a text or a progress bar, drawn into the window pixmap.
#pragma once

#include <array>

#include "graphics/pixmap.h"

constexpr int KX_STATUS_FIELDS = 12;
constexpr int KX_STATUS_TEXT = 256;

struct kxStatusField {
    int percent = 0;  // width in percent of the strip
    char text[KX_STATUS_TEXT] = {};
    int progress = 0; // percent
};

struct kxStatusBar {
    kxpxmap *pixmap = nullptr;
    int top = 0, height = 0;
    int font = 0, textcolor = 0, bgcolor = 0;
    int count = 0;
    std::array<kxStatusField, KX_STATUS_FIELDS> fields{};
};

// Fields from a comma-separated list of widths in percent; a width that is
// not a number counts as 0.  At most 12 fields are kept.
void kxstatusbar_create(kxStatusBar *s, kxpxmap *pixmap, const char *widths, int top, int height,
                        int bgcolor, int font, int textcolor);
void kxstatusbar_draw(const kxStatusBar *s);
// A new top row (after a resize); the fields stay.
void kxstatusbar_move(kxStatusBar *s, int top);
// False for a field number outside the strip.
bool kxstatusbar_settext(kxStatusBar *s, int field, const char *text);
bool kxstatusbar_setprogress(kxStatusBar *s, int field, int percent);
