#include "core/statusbar.h"

#include <cstdlib>
#include <cstring>

#include "graphics/colours.h"
#include "graphics/draw.h"
#include "graphics/text.h"

void kxstatusbar_create(kxStatusBar *s, kxpxmap *pixmap, const char *widths, int top, int height,
                        int bgcolor, int font, int textcolor)
{
    *s = kxStatusBar{};
    s->pixmap = pixmap;
    s->top = top;
    s->height = height;
    s->bgcolor = bgcolor;
    s->font = font;
    s->textcolor = textcolor;
    const char *p = widths ? widths : "";
    while (s->count < KX_STATUS_FIELDS) {
        char *end = nullptr;
        long v = std::strtol(p, &end, 10);
        if (end == p)
            v = 0;
        s->fields[s->count++].percent = v < 0 ? 0 : v > 100 ? 100 : static_cast<int>(v);
        const char *comma = std::strchr(p, ',');
        if (!comma)
            break;
        p = comma + 1;
    }
}

void kxstatusbar_draw(const kxStatusBar *s)
{
    kxpxmap *p = s->pixmap;
    if (!p || s->height <= 0)
        return;
    const int dark = kxgui_color(KX_GUI_DARK), light = kxgui_color(KX_GUI_LIGHT);
    kxpxmap_fillrect(p, 0, s->top, p->width, s->height, s->bgcolor);
    int x = 0;
    for (int i = 0; i < s->count; i++) {
        const kxStatusField &f = s->fields[i];
        int a = f.percent * p->width / 100;
        if (f.text[0]) {
            kxtext_draw(p, s->font, x + 4, s->top + 3, s->textcolor, false, false, -1,
                        a - 8 > 0 ? a - 8 : 1, -1, f.text, -1, -1);
        } else if (f.progress > 0) {
            int w = (a - 6) * f.progress / 100;
            if (w > a - 6)
                w = a - 6;
            kxpxmap_fillrect(p, x + 3, s->top + 3, w, s->height - 5, dark);
        }
        // Sunken frame: top and left dark, right and bottom light.
        int fx = x + 1, fy = s->top + 1, fw = a - 2, fh = s->height - 2;
        if (fw > 0 && fh > 0) {
            kxgraphic_line(p, fx, fy, fx + fw - 1, fy, dark);
            kxgraphic_line(p, fx, fy, fx, fy + fh - 1, dark);
            kxgraphic_line(p, fx + fw - 1, fy, fx + fw - 1, fy + fh - 1, light);
            kxgraphic_line(p, fx, fy + fh - 1, fx + fw - 1, fy + fh - 1, light);
        }
        x += a;
    }
}

void kxstatusbar_move(kxStatusBar *s, int top) { s->top = top; }

bool kxstatusbar_settext(kxStatusBar *s, int field, const char *text)
{
    if (field < 0 || field >= s->count)
        return false;
    std::strncpy(s->fields[field].text, text ? text : "", KX_STATUS_TEXT - 1);
    s->fields[field].text[KX_STATUS_TEXT - 1] = 0;
    return true;
}

bool kxstatusbar_setprogress(kxStatusBar *s, int field, int percent)
{
    if (field < 0 || field >= s->count)
        return false;
    s->fields[field].progress = percent < 0 ? 0 : percent > 100 ? 100 : percent;
    return true;
}
