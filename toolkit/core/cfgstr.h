// Attribute strings: the keys every widget shares (geometry, border, font,
// focus, grey, colours) and the common prefix of every create operation.
// The text core they build on is base/cfgtext.h.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdint>

#include "base/cfgtext.h"
#include "core/widget.h"

// ---- common keys --------------------------------------------------------

// Resolved positions lie within +-KX_GEOMETRY_LIMIT and sizes within
// 0..KX_GEOMETRY_LIMIT, so that the sums widgets form of them (edges, frames,
// text offsets) always fit an int.
constexpr int KX_GEOMETRY_LIMIT = 1 << 22;

// Geometry keywords into g; true when x= was given.
bool kxcfgstr_geometry(char **tokens, int start, kxgeometry *g);
// Empties g and sets the container size that percentages refer to.
void kxcfgstr_resetgeometry(kxgeometry *g, int container_xs, int container_ys);
// A widget's own size where xs (ys) was not given; a size <= 0 is skipped.
void kxcfgstr_defaultsize(kxgeometry *g, int xs, int ys);
// Resolves x, y, xs, ys against g's container size.
void kxcfgstr_resolve(kxgeometry *g);
// Resolves the widget's geometry against a new container size and tells the
// container the new rectangle.
void kxcfgstr_refit(kxwidget *w, int container_xs, int container_ys);

void kxcfgstr_border(char **tokens, int start, int *border);
// Font ids are slot indexes of the font table.
void kxcfgstr_font(char **tokens, int start, int *font);
void kxcfgstr_focus(char **tokens, int start, std::uint8_t *nofocus);
void kxcfgstr_grey(char **tokens, int start, std::uint8_t *grey);
void kxcfgstr_bgcolor(char **tokens, int start, int *colour);
// True when a text colour key was given (even with an unreadable value).
bool kxcfgstr_textcolor(char **tokens, int start, int *colour);
void kxcfgstr_transcolor(char **tokens, int start, int *colour);
void kxcfgstr_highlightcolor(char **tokens, int start, int *colour);
void kxcfgstr_activecolor(char **tokens, int start, int *colour);
// A colour value: after the first '=' (or the whole text), spaces removed.
// "0x" and hex digits, a colour name, or bare hex digits; -1 is no colour.
// Anything else, and an empty value, gives current.
int kxcfgstr_colorvalue(const char *text, int current);
// "hotkey=" values: one character, "space", "return", "f1".."f12".  False
// (after a diagnostic) for anything else; key is then left alone.
bool kxcfgstr_hotkey(const char *value, int *key);

// ---- the common prefix of every create operation ------------------------

// Values a create operation starts from before parsing.
struct kxcfgstr_defaults {
    int bgcolor = 0;
    int textcolor = 0;
    int frame = 0;
    int font = KX_FONT_DEFAULT;
};
// GUI grey on GUI text, no frame, the toolkit's current default font.
kxcfgstr_defaults kxcfgstr_standard();

// The formatted string and its tokens, for one create operation (kept on the
// caller's stack; the tokens point into the record itself).
struct kxcfgstr_tokens {
    char text[KX_CFG_TEXT] = {};
    alignas(char *) unsigned char block[KX_CFG_SPLIT_BLOCK];
    char **tok = nullptr;  // never null after kxcfgstr_vcommon
    int start = 0;         // 1 when token 0 is a caption
    bool xgiven = false;
    bool textcolorgiven = false;

    kxcfgstr_tokens() = default;
    kxcfgstr_tokens(const kxcfgstr_tokens &) = delete;
    kxcfgstr_tokens &operator=(const kxcfgstr_tokens &) = delete;
};

// Takes the parent from the current output target and sets the defaults:
// font, colours, frame, grey and no-focus off, the transparent colour from
// the container, copies of the GUI colours.
void kxcfgstr_attach(kxwidget *w, const kxcfgstr_defaults &d);
// Escape, format, split; reset the geometry to the parent pixmap's size and
// read it; then border, font, focus, grey, background, text and transparent
// colour, in this order.
void kxcfgstr_vcommon(kxwidget *w, kxcfgstr_tokens *t, bool caption, const char *fmt,
                      va_list ap);
// kxcfgstr_attach followed by kxcfgstr_vcommon.
void kxcfgstr_vprefix(kxwidget *w, kxcfgstr_tokens *t, const kxcfgstr_defaults &d,
                      bool caption, const char *fmt, va_list ap);
// Token 0 verbatim, spaces included (cut to cap - 1).  Returns the length.
std::size_t kxcfgstr_caption(const kxcfgstr_tokens *t, char *out, std::size_t cap);
