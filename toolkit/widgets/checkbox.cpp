#include "widgets/checkbox.h"

#include <cstdarg>

#include "core/cfgstr.h"
#include "graphics/colours.h"
#include "graphics/draw.h"
#include "graphics/font.h"
#include "graphics/text.h"
#include "widgets/cfgkeys.h"

namespace {

// 9 by 9, '*' in the check colour.
constexpr char CHECK_MARK[] = "                *       **  *   ***  ** ***   *****     ***  "
                              "     *              ";
static_assert(sizeof CHECK_MARK - 1 == 81);

// 12 by 12; the digits pick the colours of round_palette.
constexpr char ROUND_BOX[] = "    1111      11222211   1223333226  1233333346 123335533346"
                             "123355553346123355553346123335533346 1233333346  1443333446 "
                             "  66444466      6666    ";
static_assert(sizeof ROUND_BOX - 1 == 144);

void draw_round(kxCheckBox *c, kxpxmap *p, int bx, int by)
{
    const auto &pal = c->palette;
    int inside = c->grey ? pal[KX_GUI_GREY] : c->bgcolor;
    int dot = c->checked ? c->checkcolour : inside;
    if (c->grey)
        dot = c->checked ? pal[KX_GUI_DARK] : pal[KX_GUI_GREY];
    const int table[6] = {pal[KX_GUI_BLACK], pal[KX_GUI_LIGHT], inside, pal[KX_GUI_DARKC0], dot,
                          c->bgcolor};
    kxgraphic_colorpattern(p, bx, by, ROUND_BOX, 12, 12, table);
}

void draw_square(kxCheckBox *c, kxpxmap *p, int bx, int by)
{
    const auto &pal = c->palette;
    kxpxmap_fillrect(p, bx + 2, by + 2, 10, 10, c->grey ? pal[KX_GUI_GREY] : c->bgcolor);
    if (c->flat)
        kxgraphic_frame(p, KX_FRAME_PLAIN2, false, bx, by, KX_CHECKBOX_BOX, KX_CHECKBOX_BOX,
                        c->lightframe ? pal[KX_GUI_DARK] : pal[KX_GUI_BLACK], -1, -1, -1);
    else
        kxgraphic_frame(p, KX_FRAME_FIELD, true, bx, by, KX_CHECKBOX_BOX, KX_CHECKBOX_BOX,
                        pal[KX_GUI_VERYLIGHT], pal[KX_GUI_DARK], pal[KX_GUI_BLACK],
                        pal[KX_GUI_VERYLIGHT]);
    if (c->checked)
        kxgraphic_pattern(p, bx + 2, by + 2, CHECK_MARK, 9, 9,
                          c->grey ? pal[KX_GUI_TEXTGREY] : c->checkcolour);
}

void change(kxCheckBox *c, bool on)
{
    c->checked = on;
    c->draw();
    kxwidget_emit(c, 0);
}

void press(kxCheckBox *c)
{
    if (c->grey)
        return;
    c->checked = !c->checked;
    if (!c->focused && !c->nofocus && kxwidget_askfocus(c))
        c->focused = 1;
    c->draw();
    kxwidget_emit(c, 0);
}

void keydown(kxCheckBox *c, int key)
{
    if (c->grey)
        return;
    switch (key) {
    case ' ': change(c, !c->checked); break;
    case KX_KEY_RETURN:
    case KX_KEY_CR: kxwidget_request(c, KX_REQ_FOCUS_NEXT); break;
    case '1':
    case 'j':
    case 'y': change(c, true); break;
    case '0':
    case 'n': change(c, false); break;
    default: break;
    }
}

int focus_in(kxCheckBox *c)
{
    if (c->nofocus)
        return 0;
    if (c->focused)
        return 1;
    c->focused = 1;
    kxwidget_request(c, KX_REQ_MAKE_VISIBLE, c->index);
    c->draw();
    return 1;
}

} // namespace

kxCheckBox::~kxCheckBox() { destroy(); }

void kxCheckBox::create(const char *fmt, ...)
{
    if (created)
        destroy();
    kxwidget_reinit(this);
    kxcfgstr_defaults d = kxcfgstr_standard();
    d.bgcolor = kxgui_color(KX_GUI_WHITE);
    kxcfgstr_tokens t;
    va_list ap;
    va_start(ap, fmt);
    kxcfgstr_vprefix(this, &t, d, true, fmt, ap);
    va_end(ap);
    kxcfgstr_caption(&t, caption, sizeof caption);
    kxcheckattr a;
    kxcfgstr_checkbox(t.tok, t.start, &a);
    round = a.round;
    checked = a.checked;
    boxonly = a.boxonly;
    flat = a.flat;
    lightframe = a.lightframe;
    checkcolour = palette[KX_GUI_BLACK];
    captioncolour = textcolor;
    kxcfgstr_defaultsize(&geom, kxtext_width(font, caption) + 25, kxfont_height(font) + 8);
    kxcfgstr_resolve(&geom);
    created = 1;
    kxwidget_register(this, handler, KX_REG_MOUSE | (nofocus ? 0 : KX_REG_FOCUSABLE));
    draw();
}

void kxCheckBox::destroy()
{
    if (!created)
        return;
    kxwidget_unregister(this);
    created = 0;
    caption[0] = 0;
    round = checked = boxonly = flat = lightframe = false;
    focused = hover = grey = 0;
}

void kxCheckBox::set_checked(bool on)
{
    if (on == checked)
        return;
    checked = on;
    draw();
}

void kxCheckBox::draw()
{
    if (!created || !enabled || !parent_pixmap)
        return;
    kxpxmap *p = parent_pixmap;
    const kxgeometry &g = geom;
    int bx = boxonly ? g.x + (g.xs - KX_CHECKBOX_BOX) / 2 : g.x;
    int by = g.y + (g.ys - KX_CHECKBOX_BOX) / 2;
    if (!boxonly)
        kxpxmap_fillrect(p, g.x, g.y, g.xs, g.ys, transcolor);
    if (round)
        draw_round(this, p, bx, by);
    else
        draw_square(this, p, bx, by);
    if (!boxonly && caption[0]) {
        int ty = g.y + (g.ys - kxfont_height(font)) / 2 - 2;
        int colour = grey ? palette[KX_GUI_TEXTGREY] : captioncolour;
        int limit = g.xs - 17;
        kxtext_draw(p, font, bx + 16, ty, colour, grey != 0, false, -1, limit > 0 ? limit : 1,
                    -1, caption, -1, -1);
        if (focused)
            kxgraphic_frame(p, KX_FRAME_DOTTED, false, bx + 14, ty, g.xs - 21, g.ys - 8,
                            captioncolour, -1, -1, -1);
    } else if (focused) {
        kxgraphic_frame(p, KX_FRAME_PLAIN2, false, bx - 1, by - 1, KX_CHECKBOX_BOX + 2,
                        KX_CHECKBOX_BOX + 2, palette[KX_GUI_BLACK], -1, -1, -1);
    }
    kxwidget_request(this, KX_REQ_UPDATE, g.x - 2, g.y - 2, g.xs + 4, g.ys + 4);
}

kxarg kxCheckBox::handler(void *obj, int code, kxarg a0, kxarg a1, kxarg, kxarg, kxarg, kxarg,
                          kxarg, kxarg)
{
    auto *c = static_cast<kxCheckBox *>(obj);
    switch (code) {
    case KX_EV_CLOSE: c->destroy(); return 0;
    case KX_EV_RESIZE: {
        kxgeometry &g = c->geom;
        g.container_xs = static_cast<int>(a0);
        g.container_ys = static_cast<int>(a1);
        kxcfgstr_resolve(&g);
        kxwidget_request(c, KX_REQ_MOVE, c->index, g.x, g.y, g.xs, g.ys);
        c->draw();
        return 0;
    }
    case KX_EV_LDOWN:
    case KX_EV_LDOUBLE: press(c); return 0;
    case KX_EV_KEYDOWN: keydown(c, static_cast<int>(a0)); return 0;
    case KX_EV_FOCUS_IN: return focus_in(c);
    case KX_EV_FOCUS_OUT:
        if (c->focused) {
            c->focused = 0;
            c->draw();
        }
        return 0;
    case KX_EV_ENABLE:
        c->enabled = 1;
        c->draw();
        return 0;
    case KX_EV_DISABLE: {
        bool was = c->focused;
        c->focused = 0;
        if (was)
            c->draw();
        c->enabled = 0;
        return 0;
    }
    default: return 0;
    }
}
