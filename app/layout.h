// The main window at any size from its own (700 x 570) up: the table keeps
// its place and size, the terminal pane takes the extra width and height,
// and the footer stays in the bottom-right corner.
#pragma once

#include "core/window.h"
#include "graphics/pixmap.h"
#include "io/terminal.h"
#include "settings.h"

// Where the main window's markup puts the footer, and the band it takes
// (to the window's right and bottom edges).
constexpr int QX_FOOTER_X = 565;
constexpr int QX_FOOTER_Y = 560;
// Where the port's state begins, left of the program's name in the footer.
constexpr int QX_FOOTER_LEFT = 10;
// How far the footer is below its place in the window's own size.
int qxlayout_footershift(const kxWindow *win);

struct qxlayout {
    kxpxmap footer;                    // as the markup drew it
    int footer_x = 0, footer_y = 0;    // where it is now
    int term_xs = 0, term_ys = 0;      // the pane's size at 700 x 570
    bool ready = false;
};

// Takes the footer and the pane's size from the window as the markup laid
// it out (at 700 x 570, whatever size the window has).
void qxlayout_init(qxlayout *l, kxWindow *win, const kxTerminal *term);
// Lays the window out for its content area of width x height.
void qxlayout_fit(qxlayout *l, kxWindow *win, kxTerminal *term, int width, int height);
void qxlayout_free(qxlayout *l);
