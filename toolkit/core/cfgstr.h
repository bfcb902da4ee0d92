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

// ---- lists --------------------------------------------------------------

// "entries=" / "contents=": the '|'-separated list as written (spaces kept)
// into list.  True when found.
bool kxcfgstr_entries(char **tokens, int start, char *list, std::size_t cap);
// "menus=" / "entries=", the same.
bool kxcfgstr_menus(char **tokens, int start, char *list, std::size_t cap);
// Walks a '|'-separated list: copies the entry at p into out (cut to cap - 1)
// and returns the position after it; null, with out untouched, when no entry
// is left.  "" has no entries, "a||b" three (the second empty), and a final
// '|' adds none.  for (const char *p = list; (p = kxcfgstr_nextentry(p, e, n));)
const char *kxcfgstr_nextentry(const char *p, char *out, std::size_t cap);

// ---- per-widget keys ----------------------------------------------------

constexpr int KX_CFG_HOTKEY_NONE = 0;

struct kxbtnattr {
    bool arrow = false, smallarrow = false, bigarrow = false;
    bool flat = false, isdefault = false, mouserepeat = false, thinframe = false;
    bool hyperlink = false, keeppressed = false, toolbutton = false;
    bool pressed = false;  // "pressed", "checked", "on": starts pressed
    int hotkey = KX_CFG_HOTKEY_NONE, hotkeymods = 0;
};
void kxcfgstr_btnattr(char **tokens, int start, kxbtnattr *b);

struct kxcheckattr {
    bool checked = false, round = false, boxonly = false, flat = false, lightframe = false;
};
void kxcfgstr_checkbox(char **tokens, int start, kxcheckattr *c);

constexpr int KX_LINEINPUT_TEXT = 1024;
struct kxlineinputattr {
    int maxlen = 1000;
    char text[KX_LINEINPUT_TEXT] = {};  // "default=", spaces removed
    bool right = false, keepfocus = false, password = false;
};
void kxcfgstr_lineinput(char **tokens, int start, kxlineinputattr *l);

struct kxupdownattr {
    int min = -100000, max = 100000, step = 1, value = 0;
    int digits = 0, decimals = 0;
    bool digitsgiven = false;
};
// Runs after kxcfgstr_lineinput, which has taken "default=" already.
void kxcfgstr_updown(char **tokens, int start, kxupdownattr *u);

bool kxcfgstr_alignright(char **tokens, int start, bool *right);
// One given word; true when found.
bool kxcfgstr_flag(char **tokens, int start, const char *word, bool *flag);

struct kxeditorattr {
    int lines = 0, columns = 0;
    bool linesgiven = false, columnsgiven = false;
    int tabwidth = 8;
    bool colored = false, linenumbers = false, autoindent = false, wordbreak = false;
};
void kxcfgstr_editor(char **tokens, int start, kxeditorattr *e);

struct kxvalueattr {
    double value = 0.0;  // limited to 0..100
    bool showpos = false;
};
void kxcfgstr_value(char **tokens, int start, kxvalueattr *v);

struct kxtabsattr {
    char list[KX_CFG_TEXT] = {};  // names separated by '|', as written
    bool given = false;
    int style = 1;
    int autonumber = 0;
};
void kxcfgstr_tabs(char **tokens, int start, kxtabsattr *t);

constexpr int KX_TERM_SCROLLBACK = 300;  // "scrollback" without a number
struct kxtermattr {
    int scrollback = 0, lines = 25, columns = 80;
    char logfile[KX_CFG_TEXT] = {};  // "" = no log
    bool wordbreak = false, cursor = false, directdraw = false, nostandardview = false;
};
void kxcfgstr_terminal(char **tokens, int start, kxtermattr *t);

struct kxscrollbarsattr {
    bool nohorizontal = false, novertical = false;
};
void kxcfgstr_scrollbars(char **tokens, int start, kxscrollbarsattr *s);

// Pixmap type of a type word ("palette", "truecolor", "server", ...), 0 for
// any other word.
int kxcfgstr_pxmaptypeword(const char *word);
// The bare type words; true when one was found.
bool kxcfgstr_pxmaptype(char **tokens, int start, int *type);

struct kxviewattr {
    int pxs = 0, pys = 0;  // content size, 0 = the visible size
    int colors = 0;
    int pxmaptype = 3;     // truecolor
    bool noredraw = false, directdraw = false, nostandardview = false, opengl = false;
    bool nokeyscroll = false, scrollwheelalways = false, autofocus = false;
    bool standardview = false;
};
// View words, pixmap keys and bare type words (scroll bars: kxcfgstr_scrollbars).
void kxcfgstr_view(char **tokens, int start, kxviewattr *v);

struct kxwindowattr {
    bool fullscreen = false, modal = false, popup = false, sysmenu = true, resize = false;
    bool maximized = false, nostandardview = false;
    bool destroyonclose = true, quitonclose = true;  // "noclose", "noquit"
    int maxxs = 0, maxys = 0;                        // from text, 0 = no limit
    bool ownpxmap = false;                           // from text
};
// The window words; text is the whole formatted string, searched without
// case for "maxxs=", "maxys=" and "ownpxmap" (null skips that).  The
// background keys are read with kxcfgstr_bgcolor.
void kxcfgstr_window(char **tokens, int start, const char *text, kxwindowattr *w);

// A bar given without a height takes the standard one of the GUI metrics.
constexpr int KX_CFG_STANDARD_BAR = -1;
struct kxbarsattr {
    int menu = 0, toolbar = 0, statusbar = 0;  // 0 = none
};
void kxcfgstr_bars(char **tokens, int start, kxbarsattr *b);
// "cxs=", "pxs=", ... and "cys=", "pys=", ...: content size of a window.
void kxcfgstr_contentsize(char **tokens, int start, int *cxs, int *cys);

struct kxfontstyleattr {
    bool bold = false, italic = false, underlined = false, understriked = false;
    int xs = 0, ys = 0, ascent = 0, descent = 0, points = 0, xsextra = 0;
};
void kxcfgstr_fontstyle(char **tokens, int start, kxfontstyleattr *f);

void kxcfgstr_palettecode(char **tokens, int start, int *code);

struct kxrectattr {
    int x = -1, y = -1, xs = -1, ys = -1;
};
void kxcfgstr_rect(char **tokens, int start, kxrectattr *r);

struct kxprintattr {
    int dpi = 300, xdpi = 0, ydpi = 0;  // 0 = take dpi
    int paper = 0;                      // paper code, 0 = none given
    bool landscape = false, truecolor = false;
    double top = 0.0, bottom = 0.0, left = 0.0, right = 0.0;  // points
};
void kxcfgstr_print(char **tokens, int start, kxprintattr *p);
