// The drawing interface: each call sends its drawing command to the drawing
// target and returns the answer.
#include <cstdarg>
#include <cstdio>
#include <vector>

#include "base/cfgtext.h"
#include "core/target.h"
#include "core/view.h"

namespace {

constexpr std::size_t KX_DRAW_TEXT_MAX = 65536;
constexpr std::size_t KX_DRAW_FILE_MAX = 4000;

} // namespace

kxarg kxdraw_fillrect(int x, int y, int w, int h, int colour)
{
    return kxdraw_command(KX_DRAW_FILLRECT, x, y, w, h, colour);
}

kxarg kxdraw_line(int x0, int y0, int x1, int y1, int colour)
{
    return kxdraw_command(KX_DRAW_LINE, x0, y0, x1, y1, colour);
}

kxarg kxdraw_text(int x, int y, int colour, const char *text)
{
    return kxdraw_command(KX_DRAW_TEXT, x, y, colour, kxptr(text));
}

kxarg kxdraw_printf(int x, int y, int colour, const char *fmt, ...)
{
    if (!kxdraw_hastarget())
        return 0;
    std::vector<char> text(KX_DRAW_TEXT_MAX);
    va_list ap;
    va_start(ap, fmt);
    std::vsnprintf(text.data(), text.size(), fmt, ap);
    va_end(ap);
    return kxdraw_command(KX_DRAW_TEXT, x, y, colour, kxptr(text.data()));
}

kxarg kxdraw_picture(const char *fmt, ...)
{
    if (!kxdraw_hastarget())
        return 0;
    char file[KX_DRAW_FILE_MAX];
    va_list ap;
    va_start(ap, fmt);
    kxcfgstr_vattr(file, sizeof file, fmt, ap);
    va_end(ap);
    return kxdraw_command(KX_DRAW_PICTURE, 0, 0, kxptr(file));
}

kxarg kxdraw_xpm(const char *const *xpm, const char *fmt, ...)
{
    if (!kxdraw_hastarget())
        return 0;
    char attr[KX_DRAW_FILE_MAX];
    va_list ap;
    va_start(ap, fmt);
    kxcfgstr_vattr(attr, sizeof attr, fmt, ap);
    va_end(ap);
    return kxdraw_command(KX_DRAW_XPM, 0, 0, kxptr(xpm), kxptr(attr));
}

kxarg kxdraw_setfont(int font) { return kxdraw_command(KX_DRAW_SETFONT, font); }
kxarg kxdraw_textwidth(const char *text) { return kxdraw_command(KX_DRAW_TEXTWIDTH, kxptr(text)); }
kxarg kxdraw_fontheight() { return kxdraw_command(KX_DRAW_FONTHEIGHT); }
kxarg kxdraw_width() { return kxdraw_command(KX_DRAW_WIDTH); }
kxarg kxdraw_height() { return kxdraw_command(KX_DRAW_HEIGHT); }
kxarg kxdraw_copy(int x, int y, const kxpxmap *source)
{
    return kxdraw_command(KX_DRAW_COPY, x, y, kxptr(source));
}
kxarg kxdraw_char(int x, int y, int colour, int ch) { return kxdraw_command(KX_DRAW_CHAR, x, y, colour, ch); }
