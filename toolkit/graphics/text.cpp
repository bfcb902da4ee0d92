#include "graphics/text.h"

#include <string_view>

#include "graphics/colours.h"
#include "graphics/draw.h"
#include "graphics/font.h"

namespace {

constexpr int wrapped_measure_height = 10000;

unsigned char code(char c) { return static_cast<unsigned char>(c); }

// Widths straight from the font record: measuring touches no glyph.
int width_of(const kxfont *f, std::string_view s)
{
    if (!f)
        return 0;
    int w = 0;
    for (char c : s)
        if (code(c) >= KX_FONT_FIRST_CODE)
            w += f->widths[code(c) - KX_FONT_FIRST_CODE];
    return w;
}

int char_width(const kxfont *f, char c)
{
    return f && code(c) >= KX_FONT_FIRST_CODE ? f->widths[code(c) - KX_FONT_FIRST_CODE] : 0;
}

struct Pen {
    kxpxmap *p;
    int slot;
    const kxfont *font;
    int colour;
    bool engraved;
    int background, light, dark;
    void draw(int x, int y, char c, bool underline) const
    {
        kxtext_drawchar(p, slot, x, y, colour, engraved, underline, background, code(c), light,
                        dark);
    }
};

} // namespace

int kxtext_width(int font, const char *text)
{
    return text ? width_of(kxfont_get(font), text) : 0;
}

void kxtext_drawchar(kxpxmap *p, int font, int x, int y, int colour, bool engraved,
                     bool underline, int background, int ch, int light, int dark)
{
    kxglyph g;
    if (!p || ch < KX_FONT_FIRST_CODE || !kxfont_glyph(font, ch, &g))
        return;
    if (engraved) {
        if (background != -1)
            kxpxmap_fillrect(p, x, y, g.width, g.height, background);
        kxgraphic_mask(p, x + 1, y + 1, g.width, g.height, g.bits,
                       light == -1 ? kxgui_color(KX_GUI_WHITE) : light);
        kxgraphic_mask(p, x, y, g.width, g.height, g.bits,
                       dark == -1 ? kxgui_color(KX_GUI_DARK) : dark);
        return;
    }
    if (background == -1)
        kxgraphic_mask(p, x, y, g.width, g.height, g.bits, colour);
    else
        kxgraphic_mask2(p, x, y, g.width, g.height, g.bits, colour, background);
    if (underline)
        kxgraphic_line(p, x, y + g.height - 1, x + g.width - 1, y + g.height - 1, colour);
}

int kxtext_draw(kxpxmap *p, int font, int x, int y, int colour, bool engraved, bool underline_all,
                int background, int maxwidth, int hotkey, const char *text, int light, int dark)
{
    if (!text)
        return x;
    int slot = kxfont_resolve(font);
    const kxfont *f = kxfont_get(slot);
    if (!f)
        return x;
    Pen pen{p, slot, f, colour, engraved, background, light, dark};
    std::string_view s = text;
    int px = x, py = y;
    if (maxwidth > 0 && width_of(f, s) > maxwidth) {
        // The pen is tested after each character; the first one always shows.
        int limit = x + maxwidth - width_of(f, "... ");
        for (std::size_t i = 0; i < s.size(); i++) {
            pen.draw(px, py, s[i], underline_all || static_cast<int>(i) == hotkey);
            px += char_width(f, s[i]);
            if (px >= limit) {
                if (i + 1 < s.size())
                    px = kxtext_draw(p, slot, px, py, colour, engraved, underline_all, background,
                                     0, -1, "...", light, dark);
                return px;
            }
        }
        return px;
    }
    for (std::size_t i = 0; i < s.size(); i++) {
        if (s[i] == '\n') {
            px = x;
            py += f->ysize;
            continue;
        }
        pen.draw(px, py, s[i], underline_all || static_cast<int>(i) == hotkey);
        px += char_width(f, s[i]);
    }
    return px;
}

int kxtext_drawwrapped(kxpxmap *p, int font, int x, int y, int width, int height, int colour,
                       const char *text, bool measure_only)
{
    int slot = kxfont_resolve(font);
    const kxfont *f = kxfont_get(slot);
    if (!f || !text)
        return f ? f->ysize : 0;
    const int fh = f->ysize;
    // 64-bit pens: a long text in a tiny box moves far down.
    long long px = x, py = y;
    const long long right = static_cast<long long>(x) + width;
    const long long bottom = static_cast<long long>(y) + height;
    auto newline = [&] {
        px = x;
        py += fh;
    };
    auto place = [&](char c) {
        if (py >= bottom || code(c) < KX_FONT_FIRST_CODE)
            return;
        if (!measure_only && p)
            kxtext_drawchar(p, slot, static_cast<int>(px), static_cast<int>(py), colour, false,
                            false, -1, code(c), -1, -1);
        px += char_width(f, c);
        if (px >= right)
            newline();
    };
    std::string_view s = text;
    std::size_t i = 0;
    while (i < s.size()) {
        char c = s[i];
        if (c == '\n') {
            newline();
            i++;
        } else if (c == '\r') {
            i++;
        } else if (c == ' ') {
            place(c);
            i++;
        } else if (code(c) < 33) {
            i++;
        } else {
            // A word runs to just before a break, or up to and including a hyphen.
            std::size_t end = s.find_first_of("- \n\r", i);
            end = end == std::string_view::npos ? s.size() : s[end] == '-' ? end + 1 : end;
            std::string_view word = s.substr(i, end - i);
            if (px + width_of(f, word) >= right)
                newline();
            for (char w : word)
                place(w);
            i = end;
        }
    }
    long long used = py + fh - y;
    return used > 2147483647LL ? 2147483647 : static_cast<int>(used);
}

int kxtext_wrappedheight(int width, const char *text, int font)
{
    return kxtext_drawwrapped(nullptr, font, 0, 0, width, wrapped_measure_height, 0, text, true);
}
