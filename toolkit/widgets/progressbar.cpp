#include "widgets/progressbar.h"

#include <algorithm>
#include <cstdarg>

#include "core/cfgstr.h"
#include "graphics/colours.h"
#include "graphics/draw.h"

namespace {

constexpr int BLOCK_COLOUR = 0x000080;

void resize(kxProgressBar *b, int w, int h)
{
    kxcfgstr_refit(b, w, h);
    b->draw();
}

} // namespace

kxProgressBar::~kxProgressBar() { destroy(); }

void kxProgressBar::create(const char *fmt, ...)
{
    if (created)
        destroy();
    kxwidget_reinit(this);
    kxcfgstr_tokens t;
    va_list ap;
    va_start(ap, fmt);
    kxcfgstr_vprefix(this, &t, kxcfgstr_standard(), false, fmt, ap);
    va_end(ap);
    kxcfgstr_resolve(&geom);
    created = 1;
    kxwidget_register(this, handler, 0);
    draw();
}

void kxProgressBar::destroy()
{
    if (created)
        kxwidget_unregister(this);
    created = 0;
    value = 0;
}

void kxProgressBar::set_value(int v)
{
    if (v == value)
        return;
    int n = std::clamp(v, 0, 100);
    // 150 after 150 is no change: the bar already shows 100 %.
    if (n == value)
        return;
    value = n;
    if (created)
        draw();
}

void kxProgressBar::draw()
{
    if (!created || !enabled || !parent_pixmap)
        return;
    kxpxmap *p = parent_pixmap;
    const kxgeometry &g = geom;
    kxpxmap_fillrect(p, g.x, g.y, g.xs, g.ys, palette[KX_GUI_GREY]);
    kxgraphic_frame(p, KX_FRAME_DOUBLE3D, true, g.x - 2, g.y - 2, g.xs + 4, g.ys + 4, -1, -1, -1,
                    -1);
    double stepw = (g.xs - 2) * 0.05, c = 1.0;
    for (int i = 0; i < blocks(value); i++) {
        int x0 = g.x + static_cast<int>(c);
        int x1 = g.x + static_cast<int>(c + stepw) - 2;
        if (x1 >= x0)
            kxpxmap_fillrect(p, x0, g.y + 1, x1 - x0 + 1, g.ys - 2, BLOCK_COLOUR);
        c += stepw;
    }
    kxwidget_request(this, KX_REQ_UPDATE, g.x - 2, g.y - 2, g.xs + 4, g.ys + 4);
}

kxarg kxProgressBar::handler(void *obj, int code, kxarg a0, kxarg a1, kxarg, kxarg, kxarg, kxarg,
                             kxarg, kxarg)
{
    auto *b = static_cast<kxProgressBar *>(obj);
    switch (code) {
    case KX_EV_CLOSE: b->destroy(); return 0;
    case KX_EV_RESIZE: resize(b, static_cast<int>(a0), static_cast<int>(a1)); return 0;
    case KX_EV_ENABLE:
        b->enabled = 1;
        b->draw();
        return 0;
    case KX_EV_DISABLE: b->enabled = 0; return 0;
    default: return 0;
    }
}
