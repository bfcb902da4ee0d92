#include "layout.h"

#include <algorithm>

namespace {

constexpr int WHITE = 0xFFFFFF;  // the main window's background
constexpr int FRAME = 2;         // the pane's frame around its size

kxpxmap *page_of(kxWindow *win) { return win->views[win->current].content; }

} // namespace

void qxlayout_init(qxlayout *l, kxWindow *win, const kxTerminal *term)
{
    qxlayout_free(l);
    kxpxmap *page = page_of(win);
    if (!page || !kxpxmap_duplicate(&l->footer, page, QX_FOOTER_X, QX_FOOTER_Y,
                                    QX_WINDOW_XS - QX_FOOTER_X, QX_WINDOW_YS - QX_FOOTER_Y))
        return;
    l->footer_x = QX_FOOTER_X, l->footer_y = QX_FOOTER_Y;
    l->term_xs = term->geom.xs, l->term_ys = term->geom.ys;
    l->ready = true;
}

void qxlayout_fit(qxlayout *l, kxWindow *win, kxTerminal *term, int width, int height)
{
    kxpxmap *page = page_of(win);
    if (!l->ready || !page)
        return;
    const int dx = std::max(width, QX_WINDOW_XS) - QX_WINDOW_XS;
    const int dy = std::max(height, QX_WINDOW_YS) - QX_WINDOW_YS;
    // The footer (the port's state too) and a pane that shrinks leave their
    // old places blank.
    kxpxmap_fillrect(page, QX_FOOTER_LEFT, l->footer_y, l->footer_x + l->footer.width - QX_FOOTER_LEFT,
                     l->footer.height, WHITE);
    const kxgeometry &g = term->geom;
    const int xs = l->term_xs + dx, ys = l->term_ys + dy;
    if (xs != g.xs || ys != g.ys) {
        kxpxmap_fillrect(page, g.x - FRAME, g.y - FRAME, g.xs + 2 * FRAME, g.ys + 2 * FRAME, WHITE);
        kxterm_setsize(term, xs, ys);
    }
    l->footer_x = QX_FOOTER_X + dx, l->footer_y = QX_FOOTER_Y + dy;
    kxpxmap_copyrect(page, &l->footer, l->footer_x, l->footer_y, 0, 0, l->footer.width,
                     l->footer.height);
    kxwindow_blit(win, 0, 0, 0, 0);
}

int qxlayout_footershift(const kxWindow *win)
{
    return std::max(win->contentys, QX_WINDOW_YS) - QX_WINDOW_YS;
}

void qxlayout_free(qxlayout *l)
{
    kxpxmap_free(&l->footer);
    *l = qxlayout{};
}
