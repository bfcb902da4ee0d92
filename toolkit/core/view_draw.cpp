// The drawing commands a view carries out on its content pixmap.  Commands
// that change pixels only put the view on the refresh list, so a burst of
// drawing costs one copy to the screen.
#include <cstdio>

#include "core/target.h"
#include "core/view.h"
#include "graphics/draw.h"
#include "graphics/font.h"
#include "graphics/image.h"
#include "graphics/text.h"

namespace {

int I(kxarg a) { return static_cast<int>(a); }
const char *S(kxarg a) { return kxunptr<const char>(a); }

void changed(kxView *v)
{
    if (v->shown && v->autorefresh)
        kxrefresh_schedule(kxview_handler, v);
}

// Outline plus a two-pixel shadow along the right and bottom edges.
void shadow_rect(kxpxmap *p, int x, int y, int w, int h, int colour)
{
    kxgraphic_rect(p, x, y, w, h, colour);
    kxpxmap_fillrect(p, x + w, y + 2, 2, h, colour);
    kxpxmap_fillrect(p, x + 2, y + h, w - 1, 2, colour);
}

// The commands that only draw.
bool draw_pixels(kxpxmap *p, int font, int width, int code, kxarg a0, kxarg a1, kxarg a2,
                 kxarg a3, kxarg a4, kxarg a5, kxarg a6)
{
    switch (code) {
    case KX_DRAW_SETPIXEL: kxpxmap_setpixel(p, I(a0), I(a1), I(a2)); break;
    case KX_DRAW_CIRCLE: kxgraphic_circle(p, I(a0), I(a1), I(a2), I(a3)); break;
    case KX_DRAW_FILLCIRCLE: kxgraphic_fillcircle(p, I(a0), I(a1), I(a2), I(a3)); break;
    case KX_DRAW_RECT: kxgraphic_rect(p, I(a0), I(a1), I(a2), I(a3), I(a4)); break;
    case KX_DRAW_BOX2: kxgraphic_box2(p, I(a0), I(a1), I(a2), I(a3), I(a4), I(a5)); break;
    case KX_DRAW_FILLRECT: kxpxmap_fillrect(p, I(a0), I(a1), I(a2), I(a3), I(a4)); break;
    case KX_DRAW_FILLEDBOX:
        kxgraphic_filledbox(p, I(a0), I(a1), I(a2), I(a3), I(a4), I(a5), I(a6));
        break;
    case KX_DRAW_SHADOWRECT: shadow_rect(p, I(a0), I(a1), I(a2), I(a3), I(a4)); break;
    case KX_DRAW_LINE: kxgraphic_line(p, I(a0), I(a1), I(a2), I(a3), I(a4)); break;
    case KX_DRAW_LINETO: kxgraphic_lineto(p, I(a0), I(a1), I(a2)); break;
    case KX_DRAW_DASHEDLINETO: kxgraphic_dashedlineto(p, I(a0), I(a1), I(a2)); break;
    case KX_DRAW_FLOODFILL: kxgraphic_floodfill(p, I(a0), I(a1), I(a2)); break;
    case KX_DRAW_ARC:
        kxgraphic_arc(p, I(a0), I(a1), I(a2), I(a3), I(a4), I(a5), I(a6));
        break;
    case KX_DRAW_ELLIPSE: kxgraphic_ellipse(p, I(a0), I(a1), I(a2), I(a3), I(a4)); break;
    case KX_DRAW_FILLELLIPSE: kxgraphic_fillellipse(p, I(a0), I(a1), I(a2), I(a3), I(a4)); break;
    case KX_DRAW_CLEAR: kxpxmap_clear(p, I(a0)); break;
    case KX_DRAW_TEXT:
        kxtext_draw(p, font, I(a0), I(a1), I(a2), false, false, -1, 0, -1, S(a3), -1, -1);
        break;
    case KX_DRAW_CENTRED:
        kxtext_draw(p, font, (width - kxtext_width(font, S(a2))) / 2, I(a0), I(a1), false,
                    false, -1, 0, -1, S(a2), -1, -1);
        break;
    case KX_DRAW_SETPALETTE: kxpxmap_setpalette(p, I(a0), I(a1)); break;
    case KX_DRAW_IMAGE:
        // image, dx, dy, sx, sy, w, h, palette code
        kxpxmap_merge4(p, kxunptr<const kxpxmap>(a0), I(a1), I(a2), I(a3), I(a4), I(a5), I(a6),
                       0);
        break;
    case KX_DRAW_COPY: {
        const kxpxmap *src = kxunptr<const kxpxmap>(a2);
        if (src)
            kxgraphic_copy(p, src, I(a0), I(a1), src->width, src->height, 0, 0);
        break;
    }
    case KX_DRAW_DASHEDLINE:
        kxgraphic_dashedline(p, I(a0), I(a1), I(a2), I(a3), I(a4), I(a5), I(a6));
        break;
    case KX_DRAW_CHAR:
        kxtext_drawchar(p, font, I(a0), I(a1), I(a2), false, false, -1, I(a3) & 0xFF, -1, -1);
        break;
    default: return false;
    }
    return true;
}

} // namespace

kxdrawn kxdraw_execute(kxpxmap *p, int font, int width, int code, kxarg a0, kxarg a1, kxarg a2,
                       kxarg a3, kxarg a4, kxarg a5, kxarg a6, kxarg *answer)
{
    *answer = 0;
    if (draw_pixels(p, font, width, code, a0, a1, a2, a3, a4, a5, a6))
        return kxdrawn::changed;
    switch (code) {
    case KX_DRAW_MOVETO: kxgraphic_moveto(p, I(a0), I(a1)); return kxdrawn::kept;
    case KX_DRAW_WRAPPED:
        *answer = kxtext_drawwrapped(p, font, I(a0), I(a1), I(a2), I(a3), I(a4), S(a5), false);
        return kxdrawn::changed;
    case KX_DRAW_SAVE:
        *answer = p && S(a0) && kxpxmap_savetofile(p, "%s", S(a0));
        return kxdrawn::kept;
    case KX_DRAW_PICTURE:
        if (!S(a2))
            return kxdrawn::kept;
        // The file text may carry its own "x=", "y="; a given position wins.
        *answer = I(a0) || I(a1)
                      ? kxgraphic_gloadintern_file(p, "%s,x=%d,y=%d", S(a2), I(a0), I(a1))
                      : kxgraphic_gloadintern_file(p, "%s", S(a2));
        return kxdrawn::changed;
    case KX_DRAW_XPM: {
        auto xpm = kxunptr<const char *const>(a2);
        if (!xpm)
            return kxdrawn::kept;
        *answer = kxgraphic_drawxpm(p, xpm, I(a0), I(a1), "%s", S(a3) ? S(a3) : "");
        return kxdrawn::changed;
    }
    case KX_DRAW_XPMPALETTE: {
        auto xpm = kxunptr<const char *const>(a2);
        if (!xpm)
            return kxdrawn::kept;
        *answer = kxgraphic_drawxpm_at(p, xpm, I(a0), I(a1), -1, -1, 0, kxunptr<const int>(a3));
        return kxdrawn::changed;
    }
    case KX_DRAW_GETPIXEL: *answer = kxpxmap_getpixel(p, I(a0), I(a1)); return kxdrawn::kept;
    case KX_DRAW_OPTION:
        // The one per-pixmap setting the pixmap module has: its transparent
        // colour.
        kxpxmap_settransparent(p, I(a0));
        return kxdrawn::kept;
    case KX_DRAW_PIXMAP: *answer = kxptr(p); return kxdrawn::kept;
    default: return kxdrawn::none;
    }
}

bool kxdraw_fontcommand(int font, int code, kxarg a0, kxarg *answer, bool *choose, int *chosen)
{
    *answer = 0;
    *choose = false;
    switch (code) {
    case KX_DRAW_SETFONT:
        *choose = true;
        *chosen = I(a0);
        return true;
    case KX_DRAW_LOADFONT:
    case KX_DRAW_FINDFONT: {
        int f = code == KX_DRAW_LOADFONT ? kxfont_loadtable(kxunptr<const char *const>(a0))
                : S(a0)                  ? kxfont_findbyname(S(a0))
                                         : -1;
        *answer = f;
        *choose = f >= 0;
        *chosen = f;
        return true;
    }
    case KX_DRAW_TEXTWIDTH: *answer = kxtext_width(font, S(a0)); return true;
    case KX_DRAW_FONTHEIGHT: *answer = kxfont_height(font); return true;
    case KX_DRAW_CHARWIDTH: *answer = kxfont_charwidth(font, I(a0) & 0xFF); return true;
    default: return false;
    }
}

kxarg kxview_draw(kxView *v, int code, kxarg a0, kxarg a1, kxarg a2, kxarg a3, kxarg a4, kxarg a5,
                  kxarg a6, kxarg a7)
{
    kxpxmap *p = v->content;
    kxarg answer = 0;
    bool choose = false;
    int chosen = 0;
    if (kxdraw_fontcommand(v->font, code, a0, &answer, &choose, &chosen)) {
        if (choose)
            v->font = chosen;
        return answer;
    }
    if (code == KX_DRAW_SAVE && p && S(a0))
        for (std::size_t i = 0; i < v->c.entries.size(); i++)
            kxcontainer_send(&v->c, static_cast<int>(i), KX_EV_SNAPSHOT);
    const kxdrawn done = kxdraw_execute(p, v->font, v->pxs, code, a0, a1, a2, a3, a4, a5, a6, &answer);
    if (done == kxdrawn::changed)
        changed(v);
    if (done != kxdrawn::none)
        return answer;
    switch (code) {
    case KX_DRAW_REFRESH: kxview_refresh(v); return 0;
    case KX_DRAW_UPDATE: kxview_handler(v, KX_REQ_UPDATE, a0, a1, a2, a3, 0, 0, 0, 0); return 0;
    case KX_DRAW_WIDTH: return v->pxs - (v->vbar ? v->vthick : 0);
    case KX_DRAW_HEIGHT: return v->pys - (v->hbar ? v->hthick : 0);
    case KX_DRAW_POINTER_X: return v->lastx;
    case KX_DRAW_POINTER_Y: return v->lasty;
    default: return 0;
    }
}
