// The eleven GUI colours of the toolkit's 3D look, the standard sizes of
// bars, and the toolkit-wide default font id.
#pragma once

constexpr int KX_GUI_COLOURS = 11;
constexpr int KX_FONT_DEFAULT = -2; // "builtin variable 13"

enum : int {
    KX_GUI_GREY = 0,
    KX_GUI_LIGHT = 1,
    KX_GUI_DARK = 2,
    KX_GUI_WHITE = 3,
    KX_GUI_BLACK = 4,
    KX_GUI_TEXTSEL = 5,
    KX_GUI_TEXT = 6,
    KX_GUI_TEXTGREY = 7,
    KX_GUI_DARKC0 = 8,
    KX_GUI_BLUE = 9,
    KX_GUI_VERYLIGHT = 10,
};

// GUI colour 0..10 (0x00RRGGBB); -1 for any other number.  The table is
// filled from the host on first use and never changes afterwards.
int kxgui_color(int number);
// A named standard size ("menuheight", "statusbarheight", "screenxs", ...);
// unknown names print "guimetrics: %s" and give 0.
int guimetrics(const char *name);
void kxgui_setdefaultfont(int font);
int kxgui_defaultfont();
