#include "widgets/updown.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/cfgstr.h"
#include "core/timer.h"
#include "graphics/colours.h"
#include "graphics/draw.h"
#include "graphics/font.h"
#include "graphics/text.h"
#include "widgets/cfgkeys.h"

namespace {

constexpr int TIMER_REPEAT = 1;
constexpr int MAX_DIGITS = 10;

int clamp_int(long long v) { return static_cast<int>(std::clamp<long long>(v, INT_MIN, INT_MAX)); }

// An attribute value outside what the control can use (a page read from a
// file may hold any number) is limited, and the one-line diagnostic says so.
int limited(const char *key, int v, int lo, int hi)
{
    if (v >= lo && v <= hi)
        return v;
    const int used = std::clamp(v, lo, hi);
    std::printf("kxUpDownControl: %s%d out of range, %d used\n", key, v, used);
    return used;
}

void arrow_column(kxUpDownControl *u)
{
    const kxgeometry &g = u->geom;
    int border = u->frame ? 1 : 0;
    u->arroww = g.ys / 2 + 1;
    u->arrowx = g.x + g.xs - g.ys / 2 - 2 * border;
    u->arrowy = g.y + 2 * border;
    u->arrowh = (g.ys - 4 * border + 1) / 2;
    u->reserved = u->arroww;
}

void draw_arrows(kxLineInput *l)
{
    auto *u = static_cast<kxUpDownControl *>(l);
    kxpxmap *p = u->parent_pixmap;
    const auto &pal = u->palette;
    int x = u->arrowx, y = u->arrowy, w = u->arroww, h = u->arrowh;
    kxpxmap_fillrect(p, x, y, w, 2 * h, pal[KX_GUI_GREY]);
    struct {
        int y;
        bool held;
        const char *name;
    } boxes[] = {{y, u->uppressed, "up"}, {y + h, u->downpressed, "down"}};
    for (const auto &b : boxes) {
        kxgraphic_frame(p, KX_FRAME_FIELD, b.held, x, b.y, w, h, pal[KX_GUI_GREY],
                        pal[KX_GUI_DARK], pal[KX_GUI_BLACK], pal[KX_GUI_VERYLIGHT]);
        int d = b.held ? 1 : 0;
        kxgraphic_smallarrow(p, b.name, x + d, b.y + d, w, h, pal[KX_GUI_BLACK]);
    }
}

// Typed values are rounded and limited when the field is left.
void reformat(kxLineInput *l)
{
    auto *u = static_cast<kxUpDownControl *>(l);
    char buf[32];
    kxupdown_format(u, u->read_value(), buf, sizeof buf);
    std::snprintf(u->text, sizeof u->text, "%s", buf);
}

void release(kxUpDownControl *u)
{
    if (!u->uppressed && !u->downpressed)
        return;
    u->uppressed = u->downpressed = false;
    u->draw();
    kxtimer_remove(u, TIMER_REPEAT);
    kxwidget_emit(u, 0);
}

// True when the press was on the arrows.
bool arrow_press(kxUpDownControl *u, int x, int y)
{
    if (u->grey || !u->enabled || x <= u->arrowx)
        return false;
    bool up = y - u->geom.y < u->arrowh;
    bool &held = up ? u->uppressed : u->downpressed;
    if (held)
        return true;
    held = true;
    u->step(up ? 1 : -1, false);
    kxtimer_add(kxUpDownControl::handler, u, KX_UPDOWN_FIRST_REPEAT * u->repeat, TIMER_REPEAT);
    return true;
}

void repeat_tick(kxUpDownControl *u)
{
    if (!u->uppressed && !u->downpressed) {
        kxtimer_remove(u, TIMER_REPEAT);
        return;
    }
    u->step(u->uppressed ? 1 : -1, true);
    kxtimer_add(kxUpDownControl::handler, u, u->repeat, TIMER_REPEAT);
}

} // namespace

void kxupdown_format(const kxUpDownControl *u, int v, char *out, int cap)
{
    if (cap <= 0)
        return;
    // A step of 0 would divide by zero: it counts as 1.  The division is
    // done wide, where INT_MIN / -1 does not overflow.
    long long step = u->step_size ? u->step_size : 1;
    long long r = step * (v / step);
    if (r > u->max)
        r = u->max;
    if (r < u->min)
        r = u->min;
    char num[32];
    int digits = u->digits >= 1 && u->digits <= MAX_DIGITS ? u->digits : 0;
    std::snprintf(num, sizeof num, "%0*lld", digits, r);
    int d = std::clamp(u->decimals, 0, MAX_DIGITS);
    if (d == 0) {
        std::snprintf(out, static_cast<std::size_t>(cap), "%s", num);
        return;
    }
    // Sign apart; at least one digit before the point.
    const char *sign = num[0] == '-' ? "-" : "";
    const char *mag = num + std::strlen(sign);
    char padded[48];
    int len = static_cast<int>(std::strlen(mag));
    int zeros = std::max(d + 1 - len, 0);
    std::snprintf(padded, sizeof padded, "%.*s%s", zeros, "0000000000", mag);
    len += zeros;
    std::snprintf(out, static_cast<std::size_t>(cap), "%s%.*s.%s", sign, len - d, padded,
                  padded + len - d);
}

kxUpDownControl::~kxUpDownControl() { destroy(); }

void kxUpDownControl::create(const char *fmt, ...)
{
    if (created)
        destroy();
    kxcfgstr_tokens t;
    va_list ap;
    va_start(ap, fmt);
    kxlineinput_begin(this, &t, fmt, ap);
    va_end(ap);
    kxlineinputattr la;
    kxcfgstr_lineinput(t.tok, t.start, &la);
    maxlen = std::min(la.maxlen, KX_LINEINPUT_CHARS);
    keepfocus = la.keepfocus;
    password = la.password;
    right = true;
    kxupdownattr a;
    kxcfgstr_updown(t.tok, t.start, &a);
    min = a.min;
    max = a.max;
    step_size = limited("step=", a.step, 1, INT_MAX);
    value = a.value;
    digits = a.digits;
    decimals = limited("decimal=", a.decimals, 0, MAX_DIGITS);
    if (decimals != 0 && !a.digitsgiven)
        digits = decimals + 1;
    repeat = KX_UPDOWN_REPEAT_MS;
    on_leave = reformat;
    on_draw = draw_arrows;
    char buf[32];
    kxupdown_format(this, max, buf, sizeof buf);
    int defaultxs = kxtext_width(font, buf) + kxfont_height(font) + 8;
    kxupdown_format(this, value, text, sizeof text);
    // The arrows need the height, known only once the geometry is resolved.
    kxcfgstr_defaultsize(&geom, defaultxs, kxfont_height(font) + 8);
    kxcfgstr_resolve(&geom);
    arrow_column(this);
    kxlineinput_finish(this, handler,
                       KX_REG_MOUSE | KX_REG_FOCUSABLE | KX_REG_HOVER | KX_REG_SCROLLS, defaultxs);
}

void kxUpDownControl::destroy()
{
    kxtimer_remove(this, TIMER_REPEAT);
    uppressed = downpressed = false;
    kxLineInput::destroy();
}

void kxUpDownControl::set_value(int v)
{
    char buf[32];
    kxupdown_format(this, v, buf, sizeof buf);
    set_text(buf);
}

int kxUpDownControl::read_value() const
{
    int d = std::clamp(decimals, 0, MAX_DIGITS);
    if (d == 0)
        return clamp_int(std::strtoll(text, nullptr, 10));
    char digitsonly[KX_LINEINPUT_CHARS + MAX_DIGITS + 1];
    int n = 0, after = -1;
    for (const char *p = text; *p; p++) {
        if (*p == '.' || *p == ',') {
            if (after < 0)
                after = 0;
            continue;
        }
        // Digits beyond the shown decimals are cut off, not shifted in.
        if (after >= d && *p >= '0' && *p <= '9')
            continue;
        if (after >= 0 && *p >= '0' && *p <= '9')
            after++;
        digitsonly[n++] = *p;
    }
    for (int i = std::max(after, 0); i < d; i++)
        digitsonly[n++] = '0';
    digitsonly[n] = 0;
    return clamp_int(std::strtoll(digitsonly, nullptr, 10));
}

void kxUpDownControl::step(int direction, bool silent)
{
    long long v = static_cast<long long>(read_value()) +
                  static_cast<long long>(direction) * step_size;
    kxlineinput_hidecursor(this);
    kxupdown_format(this, clamp_int(v), text, sizeof text);
    kxlineinput_clearselection(this);
    if (focused)
        kxlineinput_selectall(this);
    kxlineinput_moveto(this, length());
    draw();
    if (!silent)
        kxwidget_emit(this, 0);
}

kxarg kxUpDownControl::handler(void *obj, int code, kxarg a0, kxarg a1, kxarg a2, kxarg a3,
                               kxarg a4, kxarg a5, kxarg a6, kxarg a7)
{
    auto *u = static_cast<kxUpDownControl *>(obj);
    int x = static_cast<int>(a0), y = static_cast<int>(a1);
    switch (code) {
    case KX_EV_CLOSE: u->destroy(); return 0;
    case KX_EV_RESIZE:
        kxlineinput_resize(u, x, y);
        arrow_column(u);
        kxlineinput_layout(u);
        u->draw();
        return 0;
    case KX_EV_LDOWN:
    case KX_EV_LDOUBLE:
        if (arrow_press(u, x, y))
            return 0;
        break;
    case KX_EV_LUP:
    case KX_EV_LEAVE: release(u); break;
    case KX_EV_WHEEL_UP: u->step(1, false); return 0;
    case KX_EV_WHEEL_DOWN: u->step(-1, false); return 0;
    case KX_EV_KEYDOWN:
        if (u->focused && (x == KX_KEY_UP || x == KX_KEY_DOWN)) {
            u->step(x == KX_KEY_UP ? 1 : -1, false);
            return 0;
        }
        break;
    case KX_EV_TIMER:
        if (x == TIMER_REPEAT) {
            repeat_tick(u);
            return 0;
        }
        break;
    default: break;
    }
    return kxLineInput::handler(obj, code, a0, a1, a2, a3, a4, a5, a6, a7);
}
