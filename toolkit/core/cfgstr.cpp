#include "core/cfgstr.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "base/cfgmatch.h"
#include "core/target.h"
#include "graphics/colours.h"
#include "graphics/font.h"
#include "graphics/pixmap.h"

using kxcfg::Take;

namespace {

// Doubles are limited to +-1e9 on reading, but products with the container
// size can still leave the int range.
int clampint(double v)
{
    if (std::isnan(v))
        return 0;
    if (v >= static_cast<double>(INT_MAX))
        return INT_MAX;
    if (v <= static_cast<double>(INT_MIN))
        return INT_MIN;
    return static_cast<int>(v);
}

} // namespace

// ---- geometry -----------------------------------------------------------

namespace {

// One axis of the geometry record, so x and y share their code.
struct Axis {
    double *pos, *size;
    std::uint8_t *pos_pixels, *size_pixels, *not_percent;
    int *min, *max;
    int *out_pos, *out_size;
    int container;
};

Axis axis(kxgeometry *g, int which)
{
    if (which == 0)
        return {&g->xval, &g->xsval, &g->x_pixels, &g->xs_pixels, &g->x_notpercent,
                &g->minxs, &g->maxxs, &g->x, &g->xs, g->container_xs};
    return {&g->yval, &g->ysval, &g->y_pixels, &g->ys_pixels, &g->y_notpercent,
            &g->minys, &g->maxys, &g->y, &g->ys, g->container_ys};
}

enum class Geo { pixsize, pixpos, min, max, size, pos };
enum : int { AXIS_X = 1, AXIS_Y = 2, AXIS_BOTH = 3 };

struct GeoRow {
    const char *word;
    Geo what;
    int axes;
};

// Matched in order; the first word that starts the token wins.
constexpr GeoRow geo_rows[] = {
    {"sizepixel", Geo::pixsize, AXIS_BOTH},      {"sizepix", Geo::pixsize, AXIS_BOTH},
    {"xsizepixel", Geo::pixsize, AXIS_X},        {"xsizepix", Geo::pixsize, AXIS_X},
    {"ysizepixel", Geo::pixsize, AXIS_Y},        {"ysizepix", Geo::pixsize, AXIS_Y},
    {"pospixel", Geo::pixpos, AXIS_BOTH},        {"positionpixel", Geo::pixpos, AXIS_BOTH},
    {"pospix", Geo::pixpos, AXIS_BOTH},          {"xpositionpixel", Geo::pixpos, AXIS_X},
    {"xpospixel", Geo::pixpos, AXIS_X},          {"xpospix", Geo::pixpos, AXIS_X},
    {"ypositionpixel", Geo::pixpos, AXIS_Y},     {"ypospixel", Geo::pixpos, AXIS_Y},
    {"ypospix", Geo::pixpos, AXIS_Y},            {"minxsize=", Geo::min, AXIS_X},
    {"minxs=", Geo::min, AXIS_X},                {"minysize=", Geo::min, AXIS_Y},
    {"minys=", Geo::min, AXIS_Y},                {"maxxsize=", Geo::max, AXIS_X},
    {"maxxs=", Geo::max, AXIS_X},                {"maxysize=", Geo::max, AXIS_Y},
    {"maxys=", Geo::max, AXIS_Y},                {"xs=", Geo::size, AXIS_X},
    {"width=", Geo::size, AXIS_X},               {"ys=", Geo::size, AXIS_Y},
    {"height=", Geo::size, AXIS_Y},              {"x=", Geo::pos, AXIS_X},
    {"y=", Geo::pos, AXIS_Y},
};

void apply_geo(const GeoRow &row, const Axis &a, const char *sq)
{
    double v = 0.0;
    int unit = KX_UNIT_NONE;
    if (row.what != Geo::pixsize && row.what != Geo::pixpos)
        unit = kxcfgstr_number(sq, &v);
    switch (row.what) {
    case Geo::pixsize: *a.size_pixels = 1; break;
    case Geo::pixpos: *a.pos_pixels = 1; break;
    case Geo::min: *a.min = clampint(v); break;
    case Geo::max: *a.max = clampint(v); break;
    case Geo::size:
        *a.size = v;
        if (unit != KX_UNIT_NONE)
            *a.size_pixels = unit == KX_UNIT_PIXELS;
        break;
    case Geo::pos:
        *a.pos = v;
        if (unit == KX_UNIT_PERCENT)
            *a.pos_pixels = 0, *a.not_percent = 0;
        else if (unit == KX_UNIT_PIXELS)
            *a.pos_pixels = 1;
        break;
    }
}

// A resolved position or size, held within the geometry limit.
int geometry_pixels(double v, double low)
{
    return clampint(std::clamp(v, low, static_cast<double>(KX_GEOMETRY_LIMIT)));
}

void resolve_axis(const Axis &a)
{
    const double w = a.container;
    double size;
    if (*a.size_pixels) {
        size = std::trunc(*a.size);
    } else if (*a.not_percent) {
        size = std::trunc(w * *a.size / 100.0);
    } else {
        // Centred on pos; both edges are truncated so that boxes touching
        // in percent touch in pixels.
        double left = *a.pos - *a.size / 2.0;
        size = std::trunc(w * (left + *a.size) / 100.0) - std::trunc(w * left / 100.0);
    }
    if (size > w)
        size = w;
    if (size < *a.min)
        size = *a.min;
    if (*a.max != 0 && *a.max < size)
        size = *a.max;
    const int s = geometry_pixels(size, 0);
    double half = s / 2;
    double pos;
    if (*a.pos_pixels)
        pos = std::trunc(*a.pos);
    else if (*a.size_pixels)
        pos = std::trunc(w * *a.pos / 100.0 - half);
    else
        pos = std::trunc(w * *a.pos / 100.0) - half;
    *a.out_size = s;
    *a.out_pos = geometry_pixels(pos, -KX_GEOMETRY_LIMIT);
}

} // namespace

bool kxcfgstr_geometry(char **tokens, int start, kxgeometry *g)
{
    kxcfg::walk(tokens, start, [&](const char *sq, char *) {
        for (const GeoRow &row : geo_rows) {
            if (std::strncmp(sq, row.word, std::strlen(row.word)) != 0)
                continue;
            for (int which = 0; which < 2; which++)
                if (row.axes & (1 << which))
                    apply_geo(row, axis(g, which), sq);
            return Take::yes;
        }
        return Take::no;
    });
    if (g->xval == -1.0) {
        g->xval = 0.0;
        return false;
    }
    return true;
}

void kxcfgstr_resetgeometry(kxgeometry *g, int container_xs, int container_ys)
{
    *g = kxgeometry{};
    g->container_xs = container_xs;
    g->container_ys = container_ys;
}

void kxcfgstr_defaultsize(kxgeometry *g, int xs, int ys)
{
    if (xs > 0 && g->xsval == 0.0)
        g->xsval = xs, g->xs_pixels = 1;
    if (ys > 0 && g->ysval == 0.0)
        g->ysval = ys, g->ys_pixels = 1;
}

void kxcfgstr_resolve(kxgeometry *g)
{
    resolve_axis(axis(g, 0));
    resolve_axis(axis(g, 1));
}

void kxcfgstr_refit(kxwidget *w, int container_xs, int container_ys)
{
    kxgeometry &g = w->geom;
    g.container_xs = container_xs;
    g.container_ys = container_ys;
    kxcfgstr_resolve(&g);
    kxwidget_request(w, KX_REQ_MOVE, w->index, g.x, g.y, g.xs, g.ys);
}

// ---- border, font, focus, grey ------------------------------------------

// The first border word decides; later ones stay for other parsers.
void kxcfgstr_border(char **tokens, int start, int *border)
{
    kxcfg::walk(tokens, start, [&](const char *sq, char *) {
        if (std::strcmp(sq, "noborder") == 0)
            *border = 0;
        else if (std::strcmp(sq, "border") == 0)
            *border = 2;
        else if (const char *v = kxcfg::keyvalue(sq, "border="))
            kxcfg::readint(v, border);
        else
            return Take::no;
        return Take::stop;
    });
}

namespace {

struct FontName {
    const char *shortname;
    const char *id;
};

constexpr FontName font_names[] = {
    {"6x13", "builtin 6x13"},          {"6x13b", "builtin 6x13 bold"},
    {"6x13bold", "builtin 6x13 bold"}, {"9x15", "builtin 9x15"},
    {"9x15b", "builtin 9x15 bold"},    {"9x15bold", "builtin 9x15 bold"},
    {"8x16", "builtin 8x16"},          {"8x16b", "builtin 8x16 bold"},
    {"8x16bold", "builtin 8x16 bold"}, {"12x24", "builtin 12x24"},
    {"5x7", "builtin 5x7"},            {"8x8", "builtin 8x8"},
    {"var13", "builtin variable 13"},  {"variable13", "builtin variable 13"},
    {"13var", "builtin variable 13"},  {"13variable", "builtin variable 13"},
};

void font_by_name(const char *name, int *font)
{
    for (const FontName &f : font_names)
        if (std::strcmp(name, f.shortname) == 0) {
            int slot = kxfont_findbyid(f.id);
            if (slot >= 0) {
                *font = slot;
                return;
            }
            break;
        }
    int slot = kxfont_findbyname(name);
    if (slot >= 0)
        *font = slot;
    else
        std::printf("font not loaded/found: %s\n", name);
}

} // namespace

// The first font key decides; later ones stay unconsumed.
void kxcfgstr_font(char **tokens, int start, int *font)
{
    kxcfg::walk(tokens, start, [&](const char *sq, char *) {
        if (const char *v = kxcfg::keyvalue(sq, "fontid="))
            kxcfg::readint(v, font);
        else if (const char *name = kxcfg::keyvalue(sq, "font="))
            font_by_name(name, font);
        else
            return Take::no;
        return Take::stop;
    });
}

namespace {
constexpr const char *focus_words[] = {"nokeyfocus", "nofocus",    "skip",        "focus=0",
                                       "focus=no",   "keyfocus=0", "keyfocus=no", nullptr};
constexpr const char *grey_words[] = {"grey", "greyed", nullptr};
} // namespace

void kxcfgstr_focus(char **tokens, int start, std::uint8_t *nofocus)
{
    kxcfg::walk(tokens, start, [&](const char *sq, char *) {
        if (!kxcfg::anyword(sq, focus_words))
            return Take::no;
        *nofocus = 1;
        return Take::yes;
    });
}

void kxcfgstr_grey(char **tokens, int start, std::uint8_t *grey)
{
    kxcfg::walk(tokens, start, [&](const char *sq, char *) {
        if (!kxcfg::anyword(sq, grey_words))
            return Take::no;
        *grey = 1;
        return Take::yes;
    });
}

// ---- colours ------------------------------------------------------------

namespace {

struct ColourName {
    const char *name;
    int value;
};

constexpr ColourName colour_names[] = {
    {"none", -1},           {"off", -1},           {"black", 0x000000},
    {"blue", 0x000080},     {"green", 0x008000},   {"cyan", 0x008080},
    {"red", 0x800000},      {"magenta", 0x800080}, {"brown", 0x808000},
    {"lightgrey", 0xC0C0C0}, {"darkgrey", 0x808080}, {"lightblue", 0x0000FF},
    {"lightgreen", 0x00FF00}, {"lightcyan", 0x00FFFF}, {"lightred", 0xFF0000},
    {"lightmagenta", 0xFF00FF}, {"yellow", 0xFFFF00}, {"white", 0xFFFFFF},
    {"transparent", 0x0000FF}, {"grey", 0xD0D0D0},
};

constexpr int COLOUR_MAX = 0xFFFFFF;

// The whole text as hex digits; colours have 24 bits, so more is clamped.
bool hexvalue(const char *s, int *out)
{
    if (!*s)
        return false;
    long long v = 0;
    for (; *s; s++) {
        int d;
        if (*s >= '0' && *s <= '9')
            d = *s - '0';
        else if (*s >= 'a' && *s <= 'f')
            d = *s - 'a' + 10;
        else if (*s >= 'A' && *s <= 'F')
            d = *s - 'A' + 10;
        else
            return false;
        if (v <= COLOUR_MAX)
            v = v * 16 + d;
    }
    *out = v > COLOUR_MAX ? COLOUR_MAX : static_cast<int>(v);
    return true;
}

constexpr const char *bg_keys[] = {"bgcol=", "bgcolor=", "backgroundcolor=", "background=",
                                   nullptr};
constexpr const char *text_keys[] = {"color=", "col=", "txtcol=", "textcol=", "textcolor=",
                                     nullptr};
constexpr const char *trans_keys[] = {"transcolor=", "transparentcol=", "transparentcolor=",
                                      nullptr};
constexpr const char *highlight_keys[] = {"highlightcolor=", nullptr};
constexpr const char *active_keys[] = {"activecolor=", nullptr};

bool colour_keys(char **tokens, int start, const char *const *keys, int *colour)
{
    bool given = false;
    kxcfg::walk(tokens, start, [&](const char *sq, char *) {
        const char *v = kxcfg::anykey(sq, keys);
        if (!v)
            return Take::no;
        *colour = kxcfgstr_colorvalue(v, *colour);
        given = true;
        return Take::yes;
    });
    return given;
}

} // namespace

int kxcfgstr_colorvalue(const char *text, int current)
{
    if (!text)
        return current;
    char sq[KX_CFG_TEXT];
    kxcfg::squeeze(text, sq, sizeof sq);
    const char *eq = std::strchr(sq, '=');
    const char *v = eq ? eq + 1 : sq;
    if (!*v)
        return current;
    int c;
    if (v[0] == '0' && v[1] == 'x' && hexvalue(v + 2, &c))
        return c;
    for (const ColourName &n : colour_names)
        if (std::strcmp(v, n.name) == 0)
            return n.value;
    if (hexvalue(v, &c))
        return c;
    return current;
}

void kxcfgstr_bgcolor(char **tokens, int start, int *colour)
{
    colour_keys(tokens, start, bg_keys, colour);
}

bool kxcfgstr_textcolor(char **tokens, int start, int *colour)
{
    return colour_keys(tokens, start, text_keys, colour);
}

void kxcfgstr_transcolor(char **tokens, int start, int *colour)
{
    colour_keys(tokens, start, trans_keys, colour);
}

void kxcfgstr_highlightcolor(char **tokens, int start, int *colour)
{
    colour_keys(tokens, start, highlight_keys, colour);
}

void kxcfgstr_activecolor(char **tokens, int start, int *colour)
{
    colour_keys(tokens, start, active_keys, colour);
}

bool kxcfgstr_hotkey(const char *value, int *key)
{
    static constexpr const char *fkeys[] = {"f1", "f2", "f3", "f4",  "f5",  "f6",
                                            "f7", "f8", "f9", "f10", "f11", "f12"};
    if (value && value[0] && !value[1]) {
        *key = static_cast<unsigned char>(value[0]);
        return true;
    }
    if (value && std::strcmp(value, "space") == 0) {
        *key = KX_KEY_SPACE;
        return true;
    }
    if (value && std::strcmp(value, "return") == 0) {
        *key = KX_KEY_RETURN;
        return true;
    }
    for (int i = 0; value && i < 12; i++)
        if (std::strcmp(value, fkeys[i]) == 0) {
            *key = KX_KEY_F1 + i;
            return true;
        }
    std::printf("complex hotkey not fully supported yet ! (kxcfgstr_btnattr) \"%s\"\n",
                value ? value : "");
    return false;
}

// ---- the common prefix --------------------------------------------------

kxcfgstr_defaults kxcfgstr_standard()
{
    kxcfgstr_defaults d;
    d.bgcolor = kxgui_color(KX_GUI_GREY);
    d.textcolor = kxgui_color(KX_GUI_TEXT);
    d.frame = 0;
    d.font = kxgui_defaultfont();
    return d;
}

void kxcfgstr_attach(kxwidget *w, const kxcfgstr_defaults &d)
{
    kxtarget t;
    bool has = kxtarget_current(&t);
    w->parent_handler = t.handler;
    w->parent = t.object;
    w->parent_pixmap = t.pixmap;
    w->font = d.font;
    w->bgcolor = d.bgcolor;
    w->textcolor = d.textcolor;
    w->frame = d.frame;
    w->grey = 0;
    w->nofocus = 0;
    w->transcolor = has ? t.bgcolor : kxgui_color(KX_GUI_GREY);
    for (int i = 0; i < KX_GUI_COLOURS; i++)
        w->palette[i] = kxgui_color(i);
}

void kxcfgstr_vcommon(kxwidget *w, kxcfgstr_tokens *t, bool caption, const char *fmt,
                      va_list ap)
{
    static char *no_tokens[] = {nullptr};
    kxcfgstr_vattr(t->text, sizeof t->text, fmt, ap);
    t->tok = kxcfgstr_split(t->text, t->block, sizeof t->block);
    if (!t->tok)  // cannot happen: the block holds any formatted text
        t->tok = no_tokens;
    t->start = caption ? 1 : 0;
    const kxpxmap *px = w->parent_pixmap;
    kxcfgstr_resetgeometry(&w->geom, px ? px->width : 0, px ? px->height : 0);
    t->xgiven = kxcfgstr_geometry(t->tok, t->start, &w->geom);
    kxcfgstr_border(t->tok, t->start, &w->frame);
    kxcfgstr_font(t->tok, t->start, &w->font);
    kxcfgstr_focus(t->tok, t->start, &w->nofocus);
    kxcfgstr_grey(t->tok, t->start, &w->grey);
    kxcfgstr_bgcolor(t->tok, t->start, &w->bgcolor);
    t->textcolorgiven = kxcfgstr_textcolor(t->tok, t->start, &w->textcolor);
    kxcfgstr_transcolor(t->tok, t->start, &w->transcolor);
}

void kxcfgstr_vprefix(kxwidget *w, kxcfgstr_tokens *t, const kxcfgstr_defaults &d,
                      bool caption, const char *fmt, va_list ap)
{
    kxcfgstr_attach(w, d);
    kxcfgstr_vcommon(w, t, caption, fmt, ap);
}

std::size_t kxcfgstr_caption(const kxcfgstr_tokens *t, char *out, std::size_t cap)
{
    if (!out || !cap)
        return 0;
    kxcfg::copytext(out, cap, t->tok && t->tok[0] ? t->tok[0] : "");
    return std::strlen(out);
}
