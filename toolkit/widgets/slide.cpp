#include "widgets/slide.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>

#include "core/cfgstr.h"
#include "graphics/colours.h"
#include "graphics/draw.h"
#include "graphics/font.h"
#include "graphics/text.h"
#include "widgets/cfgkeys.h"

namespace {

constexpr int GRIP_DARK = 0x959595;
constexpr int POS_TEXT = 0x808080;

// Pixels the thumb can travel; never negative, so a slide narrower than the
// thumb keeps it at the left edge.
int span(const kxSlide *s) { return std::max(s->geom.xs - (KX_SLIDE_THUMB + 4), 0); }

double limit(double v)
{
    if (!std::isfinite(v))
        return 0.0;
    return std::clamp(v, 0.0, 100.0);
}

void place_thumb(kxSlide *s) { s->thumbx = static_cast<int>(span(s) * s->value / 100.0); }

void changed(kxSlide *s)
{
    place_thumb(s);
    s->draw();
    kxwidget_emit(s, 0);
}

void step(kxSlide *s, int by)
{
    if (s->grey)
        return;
    s->value = limit(s->value + by);
    changed(s);
}

void set_end(kxSlide *s, double v)
{
    if (s->grey)
        return;
    s->value = v;
    changed(s);
}

void press(kxSlide *s, int x)
{
    if (s->dragging || s->grey)
        return;
    if (!s->focused && !s->nofocus && kxwidget_request(s, KX_REQ_FOCUS, s->index)) {
        s->focused = 1;
        s->draw();
    }
    int p = x - s->geom.x;
    if (p >= s->thumbx && p <= s->thumbx + s->thumbw) {
        s->dragging = true;
        kxwidget_request(s, KX_REQ_GRAB, s->index);
        s->draw();
        s->dragx = p;
    } else if (p < s->thumbx) {
        step(s, -KX_SLIDE_STEP);
    } else {
        step(s, KX_SLIDE_STEP);
    }
}

void drag(kxSlide *s, int x)
{
    if (!s->dragging || s->grey)
        return;
    int p = x - s->geom.x;
    if (p == s->dragx)
        return;
    s->thumbx = std::clamp(s->thumbx + p - s->dragx, 0, span(s));
    s->draw();
    s->dragx = p;
    if (span(s) > 0)
        s->value = s->thumbx * 100.0 / span(s);
    kxwidget_emit(s, 0);
}

void stop(kxSlide *s)
{
    if (!s->dragging)
        return;
    s->dragging = false;
    kxwidget_request(s, KX_REQ_UNGRAB, s->index);
    s->draw();
    kxwidget_emit(s, 0);
}

void keydown(kxSlide *s, int key)
{
    switch (key) {
    case KX_KEY_RIGHT:
    case KX_KEY_UP: step(s, KX_SLIDE_STEP); break;
    case KX_KEY_LEFT:
    case KX_KEY_DOWN: step(s, -KX_SLIDE_STEP); break;
    case KX_KEY_END: set_end(s, 100.0); break;
    case KX_KEY_HOME: set_end(s, 0.0); break;
    default: break;
    }
}

void draw_position(kxSlide *s, kxpxmap *p)
{
    const kxgeometry &g = s->geom;
    int font = kxfont_findbyname("5x7");
    if (font < 0)
        font = kxfont_builtin_5x7();
    char text[16];
    std::snprintf(text, sizeof text, "%d%%", static_cast<int>(std::lround(s->value)));
    int x = s->value >= 25.0 ? g.x + 4 : g.x + g.xs - 16;
    kxtext_draw(p, font, x, g.y + g.ys / 2 - 3, POS_TEXT, false, false, -1, 50, -1, text, -1, -1);
}

void resize(kxSlide *s, int w, int h)
{
    kxcfgstr_refit(s, w, h);
    place_thumb(s);
    s->draw();
}

} // namespace

kxSlide::~kxSlide() { destroy(); }

void kxSlide::create(const char *fmt, ...)
{
    if (created)
        destroy();
    kxwidget_reinit(this);
    kxcfgstr_tokens t;
    va_list ap;
    va_start(ap, fmt);
    kxcfgstr_vprefix(this, &t, kxcfgstr_standard(), false, fmt, ap);
    va_end(ap);
    kxvalueattr a;
    kxcfgstr_value(t.tok, t.start, &a);
    value = limit(a.value);
    showpos = a.showpos;
    thumbw = KX_SLIDE_THUMB;
    trackcolour = kxgui_color(KX_GUI_GREY);
    dragging = false;
    kxcfgstr_defaultsize(&geom, 0, 12);
    kxcfgstr_resolve(&geom);
    created = 1;
    kxwidget_register(this, handler,
                      KX_REG_MOUSE | KX_REG_HOVER | KX_REG_SCROLLS |
                          (nofocus ? 0 : KX_REG_FOCUSABLE));
    place_thumb(this);
    draw();
}

void kxSlide::destroy()
{
    if (created) {
        if (dragging)
            kxwidget_request(this, KX_REQ_UNGRAB, index);
        kxwidget_unregister(this);
    }
    created = 0;
    value = 0.0;
    thumbx = 0;
    thumbw = KX_SLIDE_THUMB;
    dragging = false;
    focused = hover = 0;
}

void kxSlide::set_value(double v)
{
    value = limit(v);
    place_thumb(this);
    draw();
}

void kxSlide::set_value_text(const char *text)
{
    long n = text ? std::strtol(text, nullptr, 10) : 0;
    set_value(static_cast<double>(std::clamp(n, -1000L, 1000L)));
}

void kxSlide::draw()
{
    if (!created || !enabled || !parent_pixmap)
        return;
    kxpxmap *p = parent_pixmap;
    const kxgeometry &g = geom;
    const auto &pal = palette;
    if (focused)
        kxgraphic_frame(p, KX_FRAME_3D, true, g.x, g.y, g.xs, g.ys, -1, -1, -1, -1);
    else
        kxgraphic_frame(p, KX_FRAME_FIELD, true, g.x, g.y, g.xs, g.ys, pal[KX_GUI_LIGHT],
                        pal[KX_GUI_DARK], pal[KX_GUI_BLACK], pal[KX_GUI_VERYLIGHT]);
    kxpxmap_fillrect(p, g.x + 2, g.y + 2, g.xs - 3, g.ys - 3, pal[KX_GUI_GREY]);
    int thumb = dragging ? pal[KX_GUI_LIGHT] : trackcolour;
    int tx = g.x + thumbx;
    kxpxmap_fillrect(p, tx + 4, g.y + 4, 27, g.ys - 6, thumb);
    kxgraphic_frame(p, KX_FRAME_FIELD, false, tx + 2, g.y + 2, thumbw, g.ys - 4, thumb,
                    pal[KX_GUI_DARK], pal[KX_GUI_BLACK], pal[KX_GUI_VERYLIGHT]);
    kxgraphic_line(p, tx + 16, g.y + 4, tx + 16, g.y + g.ys - 6, GRIP_DARK);
    kxgraphic_line(p, tx + 17, g.y + 4, tx + 17, g.y + g.ys - 6, pal[KX_GUI_WHITE]);
    if (showpos)
        draw_position(this, p);
    kxwidget_request(this, KX_REQ_UPDATE, g.x - 2, g.y - 2, g.xs + 4, g.ys + 4);
}

kxarg kxSlide::handler(void *obj, int code, kxarg a0, kxarg a1, kxarg, kxarg, kxarg, kxarg, kxarg,
                       kxarg)
{
    auto *s = static_cast<kxSlide *>(obj);
    int x = static_cast<int>(a0);
    switch (code) {
    case KX_EV_CLOSE: s->destroy(); return 0;
    case KX_EV_RESIZE: resize(s, x, static_cast<int>(a1)); return 0;
    case KX_EV_LDOWN: press(s, x); return 0;
    case KX_EV_MOTION: drag(s, x); return 0;
    case KX_EV_LUP:
    case KX_EV_LEAVE: stop(s); return 0;
    case KX_EV_WHEEL_UP: step(s, KX_SLIDE_STEP); return 0;
    case KX_EV_WHEEL_DOWN: step(s, -KX_SLIDE_STEP); return 0;
    case KX_EV_KEYDOWN: keydown(s, x); return 0;
    case KX_EV_FOCUS_IN:
        if (s->nofocus)
            return 0;
        s->focused = 1;
        kxwidget_request(s, KX_REQ_MAKE_VISIBLE, s->index);
        s->draw();
        return 1;
    case KX_EV_FOCUS_OUT:
        s->focused = 0;
        s->draw();
        return 0;
    case KX_EV_ENABLE:
        s->enabled = 1;
        s->draw();
        return 0;
    case KX_EV_DISABLE:
        stop(s);
        s->hover = 0;
        s->focused = 0;
        s->enabled = 0;
        return 0;
    default: return 0;
    }
}
