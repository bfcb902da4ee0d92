#include "widgets/switchbutton.h"

#include <cstdarg>

#include "core/cfgkeys.h"
#include "core/cfgstr.h"
#include "graphics/colours.h"
#include "graphics/draw.h"
#include "graphics/font.h"
#include "graphics/text.h"

namespace {

void layout(kxSwitchButton *b)
{
    const kxgeometry &g = b->geom;
    int d = (g.xs - kxtext_width(b->font, b->caption)) / 2;
    b->textx = d < 4 ? 14 : d + 10;
    b->texty = (g.ys - kxfont_height(b->font)) / 2 - 1;
    if (b->texty < 1)
        b->texty = 1;
    b->lampx = g.x + 5;
    b->lampy = g.y + g.ys / 2 - 4;
}

void leave(kxSwitchButton *b)
{
    if (!b->hover && !b->pressed)
        return;
    b->hover = 0;
    b->pressed = false;
    b->draw();
}

void resize(kxSwitchButton *b, int w, int h)
{
    kxcfgstr_refit(b, w, h);
    layout(b);
    b->draw();
}

} // namespace

kxSwitchButton::~kxSwitchButton() { destroy(); }

void kxSwitchButton::create(const char *fmt, ...)
{
    if (created)
        destroy();
    kxwidget_reinit(this);
    kxcfgstr_tokens t;
    va_list ap;
    va_start(ap, fmt);
    kxcfgstr_vprefix(this, &t, kxcfgstr_standard(), true, fmt, ap);
    va_end(ap);
    kxcfgstr_caption(&t, caption, sizeof caption);
    kxbtnattr a;
    kxcfgstr_btnattr(t.tok, t.start, &a);
    thinframe = a.thinframe;
    flat = a.flat;
    arrow = a.arrow || a.smallarrow || a.bigarrow;
    isdefault = a.isdefault;
    mouserepeat = a.mouserepeat;
    hyperlink = a.hyperlink;
    keeppressed = a.keeppressed;
    toolbutton = a.toolbutton;
    hotkey = a.hotkey;
    hotkeymods = a.hotkeymods;
    lampcolour = 0x00FF00;
    text = kxgui_color(KX_GUI_TEXT);
    greytext = kxgui_color(KX_GUI_TEXTGREY);
    hovercolour = kxgui_color(KX_GUI_LIGHT);
    face = kxgui_color(KX_GUI_GREY);
    framelight = kxgui_color(KX_GUI_WHITE);
    framedark = kxgui_color(KX_GUI_DARK);
    frameblack = kxgui_color(KX_GUI_BLACK);
    framevery = kxgui_color(KX_GUI_VERYLIGHT);
    kxcfgstr_defaultsize(&geom, 0, kxfont_height(font) + 8);
    kxcfgstr_resolve(&geom);
    created = 1;
    kxwidget_register(this, handler, KX_REG_MOUSE | KX_REG_FOCUSABLE | KX_REG_HOVER);
    layout(this);
    pressed = false;
    on = a.pressed;
    draw();
}

void kxSwitchButton::destroy()
{
    if (created)
        kxwidget_unregister(this);
    created = 0;
    on = pressed = false;
    hover = focused = 0;
}

void kxSwitchButton::set_on(bool v)
{
    on = v;
    draw();
}

void kxSwitchButton::draw()
{
    if (!created || !enabled || !parent_pixmap)
        return;
    kxpxmap *p = parent_pixmap;
    const kxgeometry &g = geom;
    if (grey) {
        pressed = false;
        hover = 0;
    }
    const int pd = pressed ? 1 : 0;
    int fill = hover && !flat && !pressed ? hovercolour : face;
    kxpxmap_fillrect(p, g.x, g.y, g.xs, g.ys, fill);
    int limit = g.xs - textx - 4;
    kxtext_draw(p, font, g.x + textx + pd, g.y + texty + pd, grey ? greytext : text, grey != 0,
                false, -1, limit > 0 ? limit : 1, -1, caption, -1, -1);
    if (!flat || pressed || hover || focused) {
        if (thinframe)
            kxgraphic_frame(p, KX_FRAME_3DCOLOURS, pressed, g.x, g.y, g.xs, g.ys, 0xFFFFFF,
                            0x000000, -1, -1);
        else
            kxgraphic_frame(p, KX_FRAME_FIELD, pressed, g.x, g.y, g.xs, g.ys, fill, framedark,
                            frameblack, framevery);
    }
    if (on)
        kxpxmap_fillrect(p, lampx + pd, lampy + pd, lampw, lamph, lampcolour);
    kxgraphic_frame(p, KX_FRAME_3DCOLOURS, true, lampx + pd, lampy + pd, lampw, lamph,
                    framelight, frameblack, -1, -1);
    kxwidget_request(this, KX_REQ_UPDATE, g.x - 2, g.y - 2, g.xs + 4, g.ys + 4);
}

kxarg kxSwitchButton::handler(void *obj, int code, kxarg a0, kxarg a1, kxarg, kxarg, kxarg, kxarg,
                              kxarg, kxarg)
{
    auto *b = static_cast<kxSwitchButton *>(obj);
    switch (code) {
    case KX_EV_CLOSE: b->destroy(); return 0;
    case KX_EV_RESIZE: resize(b, static_cast<int>(a0), static_cast<int>(a1)); return 0;
    case KX_EV_LDOWN:
    case KX_EV_LDOUBLE:
        if (!b->pressed && !b->grey) {
            b->pressed = true;
            b->draw();
        }
        return 0;
    case KX_EV_LUP:
        if (b->pressed) {
            b->pressed = false;
            b->on = !b->on;
            b->draw();
            kxwidget_emit(b, 0);
        }
        return 0;
    case KX_EV_LEAVE: leave(b); return 0;
    case KX_EV_ENTER:
        b->hover = 1;
        b->draw();
        return 0;
    case KX_EV_FOCUS_IN: return 0;
    case KX_EV_ENABLE:
        b->enabled = 1;
        b->draw();
        return 0;
    case KX_EV_DISABLE:
        leave(b);
        b->focused = 0;
        b->enabled = 0;
        return 0;
    default: return 0;
    }
}
