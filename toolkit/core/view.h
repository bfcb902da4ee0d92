// The view: the toolkit's one general container.  It owns a content pixmap
// that may be larger than its visible rectangle (or draws straight into its
// parent's), scrolls it with its own bars, the keyboard and the wheel, routes
// mouse and key events to the children that registered with it, answers their
// requests, and carries out the numbered drawing commands when it is the
// drawing target.
#pragma once

#include "core/container.h"
#include "core/scrollbar.h"
#include "core/widget.h"
#include "graphics/pixmap.h"

// Scroll commands: the notices of the view's bars, also accepted as codes.
enum : int {
    KX_VIEW_LINEUP = 3008,
    KX_VIEW_LINEDOWN = 3009,
    KX_VIEW_LINELEFT = 3010,
    KX_VIEW_LINERIGHT = 3011,
    KX_VIEW_PAGEUP = 3012,
    KX_VIEW_PAGEDOWN = 3013,
    KX_VIEW_VPOS = 3016,
    KX_VIEW_HPOS = 3017,
};

// Drawing commands carried out on the content pixmap.
enum : int {
    KX_DRAW_SETPIXEL = 1001,
    KX_DRAW_CIRCLE = 1002,
    KX_DRAW_FILLCIRCLE = 1003,
    KX_DRAW_RECT = 1004,
    KX_DRAW_BOX2 = 1005,
    KX_DRAW_FILLRECT = 1006,
    KX_DRAW_FILLEDBOX = 1007,
    KX_DRAW_SHADOWRECT = 1008,
    KX_DRAW_LINE = 1009,
    KX_DRAW_LINETO = 1010,
    KX_DRAW_MOVETO = 1011,
    KX_DRAW_DASHEDLINETO = 1012,
    KX_DRAW_FLOODFILL = 1013,
    KX_DRAW_ARC = 1014,
    KX_DRAW_ELLIPSE = 1015,
    KX_DRAW_FILLELLIPSE = 1016,
    KX_DRAW_REFRESH = 1017,
    KX_DRAW_CLEAR = 1018,
    KX_DRAW_TEXT = 1019,
    KX_DRAW_WRAPPED = 1020,
    KX_DRAW_CENTRED = 1021,
    KX_DRAW_SAVE = 1022,
    KX_DRAW_PICTURE = 1023,
    KX_DRAW_XPM = 1024,
    KX_DRAW_SETPALETTE = 1025,
    KX_DRAW_GETPIXEL = 1026,
    KX_DRAW_SETFONT = 1027,
    KX_DRAW_LOADFONT = 1028,
    KX_DRAW_FINDFONT = 1029,
    KX_DRAW_IMAGE = 1034,
    KX_DRAW_OPTION = 1035,
    KX_DRAW_TEXTWIDTH = 1036,
    KX_DRAW_FONTHEIGHT = 1037,
    KX_DRAW_CHARWIDTH = 1038,
    KX_DRAW_UPDATE = 1039,
    KX_DRAW_PIXMAP = 1041,
    KX_DRAW_WIDTH = 1043,
    KX_DRAW_HEIGHT = 1044,
    KX_DRAW_COPY = 1045,
    KX_DRAW_XPMPALETTE = 1046,
    KX_DRAW_DASHEDLINE = 1047,
    KX_DRAW_CHAR = 1048,
    KX_DRAW_POINTER_X = 1049,
    KX_DRAW_POINTER_Y = 1050,
};

// A bar is needed only when the content is more than this much larger.
constexpr int KX_VIEW_BAR_SLACK = 21;

struct kxView : kxwidget {
    kxpxmap own;                // the content pixmap, unless shared
    kxpxmap *content = nullptr; // &own, or the parent's pixmap
    int format = KX_PXFMT_TRUECOLOR;
    int pxs = 0, pys = 0;       // content size
    int sx = 0, sy = 0;         // scroll position
    int ox = 0, oy = 0;         // centring offsets
    kxScrollBar bars;
    bool vbar = false, hbar = false;               // present
    bool allow_vbar = true, allow_hbar = true;
    bool told_scrolls = false;  // the parent believes we have a vertical bar
    int vthick = 15, hthick = 15;
    kxcontainer c;
    int lastx = 0, lasty = 0;   // pointer, content coordinates
    // Set before kxview_create to draw straight into the parent's pixmap
    // (the window does this when its content view has the client's size).
    bool shared = false;
    bool autorefresh = true, hostdrawn = false, nokeyscroll = false;
    bool scrollwheelalways = false, autofocus = false, shown = false;
};

void kxview_init(kxView *v);
// Attribute strings hold percent signs ("x=50%"), so no printf checking.
void kxview_create(kxView *v, const char *fmt, ...);
void kxview_destroy(kxView *v);
kxarg kxview_handler(void *obj, int code, kxarg a0, kxarg a1, kxarg a2, kxarg a3, kxarg a4,
                     kxarg a5, kxarg a6, kxarg a7);

// What kxdraw_execute did: code was none of its commands, or it was one
// that left the pixels as they were, or one that may have changed them.
enum class kxdrawn { none, kept, changed };
// The drawing commands that act on a pixmap alone, the same for every
// drawing target (a view's content, a terminal's background): all but the
// font commands, the refresh and the update, and the questions about the
// target's size and pointer.  answer gets the command's answer.  width is
// the content width that centred text uses, font the target's font.
kxdrawn kxdraw_execute(kxpxmap *p, int font, int width, int code, kxarg a0, kxarg a1, kxarg a2,
                       kxarg a3, kxarg a4, kxarg a5, kxarg a6, kxarg *answer);
// The font commands (1027..1029 choose a font, 1036..1038 measure in font):
// true when code was one of them, with the answer and, when choose is set,
// the font to use from now on.
bool kxdraw_fontcommand(int font, int code, kxarg a0, kxarg *answer, bool *choose, int *chosen);
// Carries out drawing command code (1001..1050) on the content pixmap.
kxarg kxview_draw(kxView *v, int code, kxarg a0, kxarg a1, kxarg a2, kxarg a3, kxarg a4, kxarg a5,
                  kxarg a6, kxarg a7);
// Redraws the whole view into its parent and sends it towards the screen.
void kxview_refresh(kxView *v);
// Scrolls by an amount (negative: up or left) along an axis with a bar.
void kxview_scroll(kxView *v, int dx, int dy);
// Screen position of the last mouse press in any view (for popup menus).
int kxview_press_screen_x();
int kxview_press_screen_y();
