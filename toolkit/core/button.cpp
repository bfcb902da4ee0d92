#include "core/button.h"

#include <cstdarg>
#include <cstdio>

#include "core/cfgkeys.h"
#include "core/cfgstr.h"
#include "graphics/colours.h"
#include "graphics/draw.h"
#include "graphics/font.h"
#include "graphics/text.h"
#include "platform/platform.h"

namespace {

int channel_sum(int c) { return ((c >> 16) & 0xFF) + ((c >> 8) & 0xFF) + (c & 0xFF); }

int brighter(int c)
{
    auto up = [](int v) { return v + 32 > 255 ? 255 : v + 32; };
    return up((c >> 16) & 0xFF) << 16 | up((c >> 8) & 0xFF) << 8 | up(c & 0xFF);
}

void text_offsets(kxButton *b)
{
    const kxgeometry &g = b->geom;
    if (b->hyperlink) {
        b->textx = b->texty = 0;
        return;
    }
    int fh = kxfont_height(b->font);
    b->textx = (g.xs - kxtext_width(b->font, b->caption)) / 2;
    if (b->textx < 4)
        b->textx = 4;
    b->texty = (g.ys - fh) / 2 - 1;
    if (b->texty < 1)
        b->texty = 1;
    if (b->toolbutton)
        b->texty = g.ys - fh - 4;
}

void vcreate(kxButton *b, const char *fmt, va_list ap)
{
    if (b->created)
        b->destroy();
    // A button made again keeps its ids: the program may hold them.
    auto ids = b->ids;
    kxwidget_init(b);
    if (ids[0])
        b->ids = ids;
    kxcfgstr_tokens t;
    kxcfgstr_vprefix(b, &t, kxcfgstr_standard(), true, fmt, ap);
    kxcfgstr_caption(&t, b->caption, sizeof b->caption);

    b->text = b->textcolor;
    b->greytext = kxgui_color(KX_GUI_TEXTGREY);
    b->hovercolour = kxgui_color(KX_GUI_LIGHT);
    b->face = b->bgcolor;
    b->highlight = 0x0000FF;
    b->active = 0x8000FF;
    b->pressedframe = kxgui_color(KX_GUI_WHITE);
    b->framedark = kxgui_color(KX_GUI_DARK);
    b->frameblack = kxgui_color(KX_GUI_BLACK);
    b->framelight = kxgui_color(KX_GUI_VERYLIGHT);
    if (b->bgcolor != kxgui_color(KX_GUI_GREY)) {
        if (!t.textcolorgiven && channel_sum(b->bgcolor) < 384)
            b->text = b->textcolor = 0xFFFFFF;
        b->hovercolour = brighter(b->bgcolor);
    }

    kxbtnattr a;
    kxcfgstr_btnattr(t.tok, t.start, &a);
    b->arrow = a.arrow || a.smallarrow || a.bigarrow;
    b->smallarrow = a.smallarrow;
    b->bigarrow = a.bigarrow;
    b->flat = a.flat;
    b->isdefault = a.isdefault;
    b->mouserepeat = a.mouserepeat;
    b->thinframe = a.thinframe;
    b->hyperlink = a.hyperlink;
    b->keeppressed = a.keeppressed;
    b->toolbutton = a.toolbutton;
    b->hotkey = a.hotkey;
    b->hotkeymods = a.hotkeymods;

    int cw = kxtext_width(b->font, b->caption), fh = kxfont_height(b->font);
    if (b->hyperlink) {
        b->nofocus = 1;
        kxcfgstr_highlightcolor(t.tok, t.start, &b->highlight);
        kxcfgstr_activecolor(t.tok, t.start, &b->active);
        kxcfgstr_defaultsize(&b->geom, cw + 1, fh + 1);
    } else {
        kxcfgstr_defaultsize(&b->geom, cw + 20, fh + 8);
    }
    kxcfgstr_resolve(&b->geom);
    b->created = 1;
    kxwidget_register(b, kxButton::handler,
                      KX_REG_MOUSE | KX_REG_HOVER | (b->nofocus ? 0 : KX_REG_FOCUSABLE));
    text_offsets(b);
    b->pressed = a.pressed;
    b->draw();
}

void draw_standard(kxButton *b, kxpxmap *p)
{
    const kxgeometry &g = b->geom;
    const int pd = b->pressed ? 1 : 0;
    int face = b->hover && !b->flat && !b->pressed ? b->hovercolour : b->face;
    kxpxmap_fillrect(p, g.x, g.y, g.xs, g.ys, face);
    int colour = b->grey ? b->greytext : b->text;
    if (b->arrow) {
        auto fn = b->smallarrow ? kxgraphic_smallarrow
                  : b->bigarrow ? kxgraphic_bigarrow
                                : kxgraphic_arrow;
        fn(p, b->caption, g.x + pd, g.y + pd, g.xs, g.ys, colour);
    } else {
        int limit = g.xs - b->textx - 4;
        kxtext_draw(p, b->font, g.x + b->textx + pd, g.y + b->texty + pd, colour, b->grey != 0,
                    false, -1, limit > 0 ? limit : 1, -1, b->caption, -1, -1);
    }
    if (!b->flat || b->pressed || b->hover || b->focused) {
        if (b->thinframe)
            kxgraphic_frame(p, KX_FRAME_3DCOLOURS, b->pressed, g.x, g.y, g.xs, g.ys, 0xFFFFFF,
                            0x000000, -1, -1);
        else
            kxgraphic_frame(p, KX_FRAME_FIELD, b->pressed, g.x, g.y, g.xs, g.ys,
                            b->pressed ? b->pressedframe : b->face, b->framedark, b->frameblack,
                            b->framelight);
    }
    if (b->focused && !b->grey)
        kxgraphic_frame(p, KX_FRAME_DOTTED, false, g.x + pd + 2, g.y + pd + 2, g.xs - 6, g.ys - 6,
                        b->text, -1, -1, -1);
    if (b->isdefault)
        kxgraphic_frame(p, KX_FRAME_PLAIN, false, g.x - 1, g.y - 1, g.xs + 2, g.ys + 2,
                        kxgui_color(KX_GUI_BLACK), -1, -1, -1);
}

void draw_hyperlink(kxButton *b, kxpxmap *p)
{
    const kxgeometry &g = b->geom;
    const int pd = b->pressed ? 1 : 0;
    kxpxmap_fillrect(p, g.x, g.y, g.xs, g.ys, b->transcolor);
    int colour = b->pressed ? b->active : b->hover ? b->highlight : b->text;
    if (b->grey)
        colour = b->greytext;
    kxtext_draw(p, b->font, g.x + pd, g.y + pd, colour, b->grey != 0, false, -1, 0, -1, b->caption,
                -1, -1);
    int ly = g.y + kxfont_height(b->font) + pd - 1;
    kxgraphic_line(p, g.x + pd, ly, g.x + kxtext_width(b->font, b->caption) + pd - 1, ly, colour);
}

void emit(kxButton *b) { kxwidget_emit(b, 0, 0, 0, 0); }

void leave(kxButton *b)
{
    if (!b->hover && !b->pressed)
        return;
    if (b->hyperlink && !b->grey)
        kxsys_cursor("standard");
    if (!b->keeppressed)
        b->pressed = false;
    b->hover = 0;
    b->draw();
}

void press(kxButton *b)
{
    bool changed = false;
    if (!b->pressed) {
        b->pressed = true;
        changed = true;
        if (b->keeppressed) {
            b->draw();
            emit(b);
            changed = false;
        }
    }
    if (!b->focused && !b->nofocus && b->enabled &&
        kxwidget_request(b, KX_REQ_FOCUS, b->index)) {
        b->focused = 1;
        changed = true;
    }
    if (changed)
        b->draw();
}

// Return and Space press the focused button, which reports at their
// release; they are the button's own keys (1), not the window's.
int key_press(kxButton *b, int key)
{
    if (key == KX_KEY_F10 && (kxsys_modifiers() & KX_MOD_SHIFT)) {
        kxwidget_emit(b, b->ids[KX_ID_RDOWN]);
        return 1;
    }
    if (key != KX_KEY_RETURN && key != KX_KEY_CR && key != KX_KEY_SPACE)
        return 0;
    if (!b->pressed) {
        b->pressed = true;
        b->draw();
        if (b->keeppressed)
            emit(b);
    }
    return 1;
}

int focus_in(kxButton *b)
{
    if (b->nofocus)
        return 0;
    if (b->focused)
        return 1;
    b->focused = 1;
    kxwidget_request(b, KX_REQ_MAKE_VISIBLE, b->index);
    b->draw();
    return 1;
}

void resize(kxButton *b, int w, int h)
{
    kxcfgstr_refit(b, w, h);
    text_offsets(b);
    b->draw();
}

} // namespace

kxButton::kxButton(const char *fmt, ...)
{
    va_list ap;
    va_start(ap, fmt);
    vcreate(this, fmt, ap);
    va_end(ap);
}

kxButton::~kxButton() { destroy(); }

void kxButton::set_caption(const char *words)
{
    std::snprintf(caption, sizeof caption, "%s", words ? words : "");
    if (!created)
        return;
    text_offsets(this);
    draw();
}

void kxButton::create(const char *fmt, ...)
{
    va_list ap;
    va_start(ap, fmt);
    vcreate(this, fmt, ap);
    va_end(ap);
}

void kxButton::destroy()
{
    if (!created)
        return;
    kxwidget_unregister(this);
    created = 0;
    pressed = false;
    hover = 0;
    focused = 0;
}

void kxButton::set_pressed(bool on)
{
    if (on && !pressed) {
        pressed = true;
        draw();
    } else if (!on && pressed) {
        pressed = false;
        hover = 0;
        draw();
    }
}

void kxButton::focus() { focus_in(this); }

void kxButton::draw()
{
    if (!created || !enabled || !parent_pixmap)
        return;
    if (grey) {
        pressed = false;
        hover = 0;
    }
    if (hyperlink)
        draw_hyperlink(this, parent_pixmap);
    else
        draw_standard(this, parent_pixmap);
    kxwidget_request(this, KX_REQ_UPDATE, geom.x - 2, geom.y - 2, geom.xs + 4, geom.ys + 4);
}

kxarg kxButton::handler(void *obj, int code, kxarg a0, kxarg a1, kxarg, kxarg, kxarg, kxarg,
                        kxarg, kxarg)
{
    auto *b = static_cast<kxButton *>(obj);
    switch (code) {
    case KX_EV_CLOSE: b->destroy(); return 0;
    case KX_EV_RESIZE: resize(b, static_cast<int>(a0), static_cast<int>(a1)); return 0;
    case KX_EV_LDOWN:
    case KX_EV_LDOUBLE: press(b); return 0;
    case KX_EV_LUP:
        if (b->pressed && !b->keeppressed) {
            b->pressed = false;
            b->draw();
            emit(b);
        }
        return 0;
    case KX_EV_RDOWN:
        if (!b->grey)
            kxwidget_emit(b, b->ids[KX_ID_RDOWN], a0, a1);
        return 0;
    case KX_EV_MOTION:
        if (b->hyperlink && !b->grey)
            kxsys_cursor("hand");
        return 0;
    case KX_EV_KEYDOWN: return key_press(b, static_cast<int>(a0));
    case KX_EV_KEYUP:
        if (b->pressed && !b->keeppressed) {
            b->pressed = false;
            b->draw();
            emit(b);
        }
        return 0;
    case KX_EV_FOCUS_IN: return focus_in(b);
    case KX_EV_FOCUS_OUT:
        if (b->focused) {
            b->focused = 0;
            b->draw();
        }
        return 0;
    case KX_EV_LEAVE: leave(b); return 0;
    case KX_EV_ENTER:
        if (!b->hover) {
            b->hover = 1;
            b->draw();
        }
        if (b->hyperlink && !b->grey)
            kxsys_cursor("hand");
        return 0;
    case KX_EV_ENABLE:
        b->enabled = 1;
        handler(b, KX_EV_ENABLED, 0, 0, 0, 0, 0, 0, 0, 0);
        b->draw();
        return 0;
    case KX_EV_DISABLE: {
        leave(b);
        handler(b, KX_EV_DISABLED, 0, 0, 0, 0, 0, 0, 0, 0);
        bool was = b->focused;
        b->focused = 0;
        if (was)
            b->draw();
        b->enabled = 0;
        return 0;
    }
    default: return 0;
    }
}
