#include "widgets/tabbar.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>

#include "base/cfgtext.h"
#include "core/cfgstr.h"
#include "graphics/colours.h"
#include "graphics/draw.h"
#include "graphics/font.h"
#include "graphics/text.h"
#include "widgets/cfgkeys.h"

namespace {

constexpr int SELECTED_OUTLINE = 0x0023B1;
constexpr int STYLE2_LINE = 0xC0C0C0;
constexpr int WHITE = 0xFFFFFF;

int rgb(double r, double g, double b)
{
    auto c = [](double v) { return static_cast<int>(std::clamp(v, 0.0, 255.0)); };
    return c(r) << 16 | c(g) << 8 | c(b);
}

// One shading pattern: from the start colour down by dec per row to the
// middle, 8 darker there, then up by rise per row (capped at 255).
struct Shade {
    double r, g, b;
    double dr, dg, db;
    double rise;
};

void shade_rows(kxpxmap *p, int x0, int x1, int y, int rows, int half, Shade s)
{
    for (int i = 0; i < rows; i++) {
        if (i == half) {
            s.r -= 8;
            s.g -= 8;
            s.b -= 8;
        }
        kxgraphic_line(p, x0, y + i, x1, y + i, rgb(s.r, s.g, s.b));
        if (i < half) {
            s.r -= s.dr;
            s.g -= s.dg;
            s.b -= s.db;
        } else {
            s.r = std::min(s.r + s.rise, 255.0);
            s.g = std::min(s.g + s.rise, 255.0);
            s.b = std::min(s.b + s.rise, 255.0);
        }
    }
}

void draw_name(kxTabBar *t, kxpxmap *p, const kxTab &tab, int start, int colour)
{
    int w = tab.width;
    int tx = start + (w - kxtext_width(t->font, tab.name)) / 2;
    kxtext_draw(p, t->font, tx, t->geom.y + 4, colour, t->grey != 0, false, -1,
                std::max(w - 4, 1), -1, tab.name, -1, -1);
}

void draw_style1_tab(kxTabBar *t, kxpxmap *p, const kxTab &tab, int start)
{
    const kxgeometry &g = t->geom;
    int w = tab.width, y = g.y, bottom = g.y + g.ys - 1;
    int half = std::max(g.ys / 2, 1);
    double down = 30.0 / half;
    Shade s = tab.selected ? Shade{227, 236, 249, 80.0 / half, 50.0 / half, 0, down}
                           : Shade{255, 255, 255, down, down, down, down};
    shade_rows(p, start, start + w, y, g.ys, half, s);
    int line = tab.selected ? SELECTED_OUTLINE : 0x000000;
    kxgraphic_line(p, start + 3, y, start + w - 3, y, line);
    kxgraphic_line(p, start, y + 3, start, bottom, line);
    kxgraphic_line(p, start + w, y + 3, start + w, bottom, line);
    kxpxmap_setpixel(p, start + 1, y + 2, line);
    kxpxmap_setpixel(p, start + 2, y + 1, line);
    kxpxmap_setpixel(p, start + w - 1, y + 2, line);
    kxpxmap_setpixel(p, start + w - 2, y + 1, line);
    // The corners outside the rounding show the container.
    static constexpr int corner[6][2] = {{0, 0}, {1, 0}, {2, 0}, {0, 1}, {1, 1}, {0, 2}};
    for (const auto &c : corner) {
        kxpxmap_setpixel(p, start + c[0], y + c[1], t->transcolor);
        kxpxmap_setpixel(p, start + w - c[0], y + c[1], t->transcolor);
    }
    draw_name(t, p, tab, start, 0x000000);
}

void draw_style1(kxTabBar *t, kxpxmap *p)
{
    const kxgeometry &g = t->geom;
    kxpxmap_fillrect(p, g.x, g.y, g.xs, g.ys, t->transcolor);
    int rel = 1;
    for (int i = 0; i < t->count; i++) {
        kxTab &tab = t->tabs[i];
        tab.xstart = rel;
        tab.xend = rel + tab.width;
        draw_style1_tab(t, p, tab, g.x + rel);
        rel += tab.width + 2;
    }
}

void draw_style2(kxTabBar *t, kxpxmap *p)
{
    const kxgeometry &g = t->geom;
    int half = std::max(g.ys / 2, 1);
    double down = 30.0 / half, sel = 100.0 / half;
    kxpxmap_fillrect(p, g.x, g.y, g.xs, g.ys, t->transcolor);
    int right = g.x + g.xs - 1;
    kxgraphic_line(p, g.x, g.y, right, g.y, STYLE2_LINE);
    kxgraphic_line(p, g.x, g.y + g.ys - 1, right, g.y + g.ys - 1, STYLE2_LINE);
    shade_rows(p, g.x, right, g.y + 1, g.ys - 2, half,
               Shade{255, 255, 255, down, down, down, down});
    int rel = 0;
    for (int i = 0; i < t->count; i++) {
        kxTab &tab = t->tabs[i];
        tab.xstart = rel;
        tab.xend = rel + tab.width;
        int start = g.x + rel, w = tab.width;
        if (tab.selected)
            shade_rows(p, start, start + w - 1, g.y + 1, g.ys - 2, half,
                       Shade{216, 216, 216, sel, sel, sel, sel});
        kxgraphic_line(p, start + w, g.y + 2, start + w, g.y + g.ys - 2, STYLE2_LINE);
        kxgraphic_line(p, start + w + 1, g.y + 2, start + w + 1, g.y + g.ys - 2, WHITE);
        kxpxmap_setpixel(p, start + w, g.y, WHITE);
        kxpxmap_setpixel(p, start + w + 1, g.y, WHITE);
        draw_name(t, p, tab, start, tab.selected ? WHITE : t->textcolor);
        rel += w + 2;
    }
}

void build_tabs(kxTabBar *t, const char *list)
{
    t->count = 0;
    int number = t->autonumber;
    char name[KX_CFG_TEXT];
    const char *p = list;
    while (t->count < KX_MAX_TABS && (p = kxcfgstr_nextentry(p, name, sizeof name))) {
        kxTab &tab = t->tabs[t->count++];
        tab = kxTab{};
        if (t->autonumber)
            std::snprintf(tab.name, sizeof tab.name, "%.*s [%d]", KX_TAB_NAME - 16, name, number++);
        else
            std::snprintf(tab.name, sizeof tab.name, "%.*s", KX_TAB_NAME - 1, name);
        tab.width = std::max(kxtext_width(t->font, tab.name) + 10, KX_TAB_MINWIDTH);
    }
}

void press(kxTabBar *t, int x)
{
    int p = x - t->geom.x;
    for (int i = 0; i < t->count; i++) {
        kxTab &tab = t->tabs[i];
        if (tab.xstart < p && p < tab.xend) {
            if (tab.selected)
                return;
            for (int k = 0; k < t->count; k++)
                t->tabs[k].selected = k == i;
            t->draw();
            kxwidget_emit(t, 0);
            return;
        }
    }
}

void resize(kxTabBar *t, int w, int h)
{
    kxcfgstr_refit(t, w, h);
    t->draw();
}

} // namespace

kxTabBar::~kxTabBar() { destroy(); }

void kxTabBar::create(const char *fmt, ...)
{
    if (created)
        destroy();
    kxwidget_reinit(this);
    kxcfgstr_tokens t;
    va_list ap;
    va_start(ap, fmt);
    kxcfgstr_vprefix(this, &t, kxcfgstr_standard(), false, fmt, ap);
    va_end(ap);
    kxtabsattr a;
    kxcfgstr_tabs(t.tok, t.start, &a);
    style = a.style;
    autonumber = a.autonumber;
    build_tabs(this, a.list);
    if (count > 0)
        tabs[0].selected = true;
    int sum = 20;
    for (int i = 0; i < count; i++)
        sum += tabs[i].width;
    kxcfgstr_defaultsize(&geom, sum, kxfont_height(font) + 8);
    kxcfgstr_resolve(&geom);
    created = 1;
    kxwidget_register(this, handler,
                      KX_REG_MOUSE | KX_REG_HOVER | (nofocus ? 0 : KX_REG_FOCUSABLE));
    draw();
}

void kxTabBar::destroy()
{
    if (created)
        kxwidget_unregister(this);
    created = 0;
    count = 0;
    focused = hover = 0;
}

void kxTabBar::select(int tab)
{
    if (count == 0)
        return;
    int i = std::clamp(tab, 0, count - 1);
    for (int k = 0; k < count; k++)
        tabs[k].selected = k == i;
    draw();
}

int kxTabBar::selected_index() const
{
    for (int i = 0; i < count; i++)
        if (tabs[i].selected)
            return i;
    return -1;
}

void kxTabBar::draw()
{
    if (!created || !enabled || !parent_pixmap)
        return;
    if (style == 2)
        draw_style2(this, parent_pixmap);
    else
        draw_style1(this, parent_pixmap);
    kxwidget_request(this, KX_REQ_UPDATE, geom.x, geom.y, geom.xs, geom.ys);
}

kxarg kxTabBar::handler(void *obj, int code, kxarg a0, kxarg a1, kxarg, kxarg, kxarg, kxarg, kxarg,
                        kxarg)
{
    auto *t = static_cast<kxTabBar *>(obj);
    switch (code) {
    case KX_EV_CLOSE: t->destroy(); return 0;
    case KX_EV_RESIZE: resize(t, static_cast<int>(a0), static_cast<int>(a1)); return 0;
    case KX_EV_LDOWN:
    case KX_EV_LDOUBLE: press(t, static_cast<int>(a0)); return 0;
    case KX_EV_FOCUS_IN:
        if (t->nofocus)
            return 0;
        t->focused = 1;
        kxwidget_request(t, KX_REQ_MAKE_VISIBLE, t->index);
        t->draw();
        return 1;
    case KX_EV_FOCUS_OUT: t->focused = 0; return 0;
    case KX_EV_ENABLE:
        t->enabled = 1;
        t->draw();
        return 0;
    case KX_EV_DISABLE:
        t->focused = t->hover = 0;
        t->enabled = 0;
        return 0;
    default: return 0;
    }
}
