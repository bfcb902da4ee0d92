// The per-widget key tables of attribute strings.
#include <cstring>

#include "base/cfgmatch.h"
#include "core/cfgstr.h"

using kxcfg::FlagRow;
using kxcfg::IntRow;
using kxcfg::Num;
using kxcfg::Take;

namespace {

// List values keep their spaces: they come from the token as written.
bool list_keys(char **tokens, int start, const char *const *keys, char *list, std::size_t cap)
{
    bool found = false;
    kxcfg::walk(tokens, start, [&](const char *sq, char *token) {
        if (!kxcfg::anykey(sq, keys))
            return Take::no;
        kxcfg::copytext(list, cap, kxcfg::rawvalue(token));
        found = true;
        return Take::yes;
    });
    return found;
}

// A parser made of flag rows and number rows only.
template <class R, std::size_t F, std::size_t I>
void flags_and_ints(char **tokens, int start, R *rec, const FlagRow<R> (&flags)[F],
                    const IntRow<R> (&ints)[I])
{
    kxcfg::walk(tokens, start, [&](const char *sq, char *) {
        return kxcfg::applyflags(sq, rec, flags) || kxcfg::applyints(sq, rec, ints) ? Take::yes
                                                                                    : Take::no;
    });
}

} // namespace

// ---- lists --------------------------------------------------------------

bool kxcfgstr_entries(char **tokens, int start, char *list, std::size_t cap)
{
    static constexpr const char *keys[] = {"entries=", "contents=", nullptr};
    return list_keys(tokens, start, keys, list, cap);
}

bool kxcfgstr_menus(char **tokens, int start, char *list, std::size_t cap)
{
    static constexpr const char *keys[] = {"menus=", "entries=", nullptr};
    return list_keys(tokens, start, keys, list, cap);
}

const char *kxcfgstr_nextentry(const char *p, char *out, std::size_t cap)
{
    if (!p || !*p)
        return nullptr;
    const char *end = std::strchr(p, '|');
    std::size_t len = end ? static_cast<std::size_t>(end - p) : std::strlen(p);
    if (out && cap) {
        std::size_t n = len < cap - 1 ? len : cap - 1;
        std::memcpy(out, p, n);
        out[n] = '\0';
    }
    return end ? end + 1 : p + len;
}

// ---- button and checkbox ------------------------------------------------

namespace {

using B = kxbtnattr;
constexpr FlagRow<B> button_words[] = {
    {"arrow", &B::arrow},
    {"bigarrow", &B::arrow, true, &B::bigarrow},
    {"smallarrow", &B::arrow, true, &B::smallarrow},
    {"flat", &B::flat},
    {"default", &B::isdefault},
    {"defaultbutton", &B::isdefault},
    {"mouserepeat", &B::mouserepeat},
    {"singleborder", &B::thinframe},
    {"thinborder", &B::thinframe},
    {"singleframe", &B::thinframe},
    {"thinframe", &B::thinframe},
    {"hyperlink", &B::hyperlink},
    {"hyperlinkstyle", &B::hyperlink},
    {"hlink", &B::hyperlink},
    {"hlinkstyle", &B::hyperlink},
    {"text", &B::hyperlink},
    {"no3d", &B::hyperlink},
    {"2d", &B::hyperlink},
    {"switch", &B::keeppressed},
    {"keeppressed", &B::keeppressed},
    {"toolbutton", &B::toolbutton},
    {"pressed", &B::pressed},
    {"checked", &B::pressed},
    {"on", &B::pressed},
};

using C = kxcheckattr;
constexpr FlagRow<C> checkbox_words[] = {
    {"checked", &C::checked}, {"round", &C::round}, {"boxonly", &C::boxonly},
    {"2d", &C::flat},         {"no3d", &C::flat},   {"lightframe", &C::lightframe},
};

} // namespace

void kxcfgstr_btnattr(char **tokens, int start, kxbtnattr *b)
{
    kxcfg::walk(tokens, start, [&](const char *sq, char *) {
        if (kxcfg::applyflags(sq, b, button_words))
            return Take::yes;
        const char *v = kxcfg::keyvalue(sq, "hotkey=");
        if (!v)
            return Take::no;
        kxcfgstr_hotkey(v, &b->hotkey);
        b->hotkeymods = 0;
        return Take::yes;
    });
}

void kxcfgstr_checkbox(char **tokens, int start, kxcheckattr *c)
{
    kxcfg::walk(tokens, start, [&](const char *sq, char *) {
        return kxcfg::applyflags(sq, c, checkbox_words) ? Take::yes : Take::no;
    });
}

// ---- line input and up-down control -------------------------------------

namespace {

using L = kxlineinputattr;
constexpr FlagRow<L> lineinput_words[] = {
    {"align=right", &L::right},
    {"alignright", &L::right},
    {"rightalign", &L::right},
    {"nofocusswitchwithenter", &L::keepfocus},
    {"keepfocus", &L::keepfocus},
    {"password", &L::password},
};
constexpr IntRow<L> lineinput_numbers[] = {{"maxlen=", &L::maxlen, Num::keep}};

using U = kxupdownattr;
constexpr IntRow<U> updown_numbers[] = {
    {"min=", &U::min},     {"max=", &U::max},       {"step=", &U::step},
    {"default=", &U::value}, {"def=", &U::value},   {"start=", &U::value},
    {"digits=", &U::digits}, {"decimal=", &U::decimals},
};

} // namespace

void kxcfgstr_lineinput(char **tokens, int start, kxlineinputattr *l)
{
    kxcfg::walk(tokens, start, [&](const char *sq, char *) {
        if (kxcfg::applyflags(sq, l, lineinput_words) ||
            kxcfg::applyints(sq, l, lineinput_numbers))
            return Take::yes;
        const char *v = kxcfg::keyvalue(sq, "default=");
        if (!v)
            return Take::no;
        kxcfg::copytext(l->text, sizeof l->text, v);
        return Take::yes;
    });
}

void kxcfgstr_updown(char **tokens, int start, kxupdownattr *u)
{
    kxcfg::walk(tokens, start, [&](const char *sq, char *) {
        if (!kxcfg::applyints(sq, u, updown_numbers))
            return Take::no;
        if (kxcfg::keyvalue(sq, "digits="))
            u->digitsgiven = true;
        return Take::yes;
    });
}

bool kxcfgstr_alignright(char **tokens, int start, bool *right)
{
    static constexpr const char *words[] = {"right", "align=right", "rightaligned", nullptr};
    bool found = false;
    kxcfg::walk(tokens, start, [&](const char *sq, char *) {
        if (!kxcfg::anyword(sq, words))
            return Take::no;
        *right = found = true;
        return Take::yes;
    });
    return found;
}

bool kxcfgstr_flag(char **tokens, int start, const char *word, bool *flag)
{
    bool found = false;
    if (!word)
        return false;
    kxcfg::walk(tokens, start, [&](const char *sq, char *) {
        if (std::strcmp(sq, word) != 0)
            return Take::no;
        *flag = found = true;
        return Take::yes;
    });
    return found;
}

// ---- editor, slide, tab bar ---------------------------------------------

namespace {

using E = kxeditorattr;
constexpr FlagRow<E> editor_words[] = {
    {"colored", &E::colored},
    {"showlinenumbers", &E::linenumbers},
    {"autoindent", &E::autoindent},
    {"wordbreak", &E::wordbreak},
};
constexpr IntRow<E> editor_numbers[] = {
    {"lines=", &E::lines},
    {"columns=", &E::columns},
    {"tabspace=", &E::tabwidth},
    {"tabs=", &E::tabwidth},
};

} // namespace

void kxcfgstr_editor(char **tokens, int start, kxeditorattr *e)
{
    kxcfg::walk(tokens, start, [&](const char *sq, char *) {
        if (kxcfg::applyflags(sq, e, editor_words))
            return Take::yes;
        if (!kxcfg::applyints(sq, e, editor_numbers))
            return Take::no;
        if (kxcfg::keyvalue(sq, "lines="))
            e->linesgiven = true;
        if (kxcfg::keyvalue(sq, "columns="))
            e->columnsgiven = true;
        return Take::yes;
    });
}

void kxcfgstr_value(char **tokens, int start, kxvalueattr *v)
{
    static constexpr const char *keys[] = {"default=", "def=", "start=", nullptr};
    kxcfg::walk(tokens, start, [&](const char *sq, char *) {
        if (std::strcmp(sq, "showpos") == 0) {
            v->showpos = true;
            return Take::yes;
        }
        const char *text = kxcfg::anykey(sq, keys);
        if (!text)
            return Take::no;
        double n = 0.0;
        kxcfg::readreal(text, &n);
        v->value = n < 0.0 ? 0.0 : n > 100.0 ? 100.0 : n;
        return Take::yes;
    });
}

void kxcfgstr_tabs(char **tokens, int start, kxtabsattr *t)
{
    static constexpr const char *list[] = {"tabs=", "tabulators=", nullptr};
    static constexpr const char *style2[] = {"greystyle", "graystyle", "style=2", "style2",
                                             nullptr};
    kxcfg::walk(tokens, start, [&](const char *sq, char *token) {
        if (kxcfg::anyword(sq, style2)) {
            t->style = 2;
        } else if (const char *v = kxcfg::keyvalue(sq, "autonumber=")) {
            t->autonumber = kxcfg::wholenumber(v);
        } else if (kxcfg::anykey(sq, list)) {
            kxcfg::copytext(t->list, sizeof t->list, kxcfg::rawvalue(token));
            t->given = true;
        } else {
            return Take::no;
        }
        return Take::yes;
    });
}

// ---- terminal -----------------------------------------------------------

namespace {

using T = kxtermattr;
constexpr FlagRow<T> terminal_words[] = {
    {"wordbreak", &T::wordbreak},    {"cursor", &T::cursor},
    {"cursor=on", &T::cursor},       {"cursor=1", &T::cursor},
    {"cursoron", &T::cursor},        {"directdraw", &T::directdraw},
    {"drawdirect", &T::directdraw},  {"nostandardview", &T::nostandardview},
};
constexpr IntRow<T> terminal_numbers[] = {
    {"scrollback=", &T::scrollback, Num::keep},
    {"lines=", &T::lines, Num::keep},
    {"columns=", &T::columns, Num::keep},
};

} // namespace

void kxcfgstr_terminal(char **tokens, int start, kxtermattr *t)
{
    kxcfg::walk(tokens, start, [&](const char *sq, char *) {
        if (std::strcmp(sq, "scrollback") == 0)
            t->scrollback = KX_TERM_SCROLLBACK;
        else if (const char *v = kxcfg::keyvalue(sq, "logfile="))
            kxcfg::copytext(t->logfile, sizeof t->logfile, v);
        else if (!kxcfg::applyflags(sq, t, terminal_words) &&
                 !kxcfg::applyints(sq, t, terminal_numbers))
            return Take::no;
        return Take::yes;
    });
}

// ---- view ---------------------------------------------------------------

void kxcfgstr_scrollbars(char **tokens, int start, kxscrollbarsattr *s)
{
    using S = kxscrollbarsattr;
    static constexpr FlagRow<S> words[] = {
        {"nohorizontalscrollbar", &S::nohorizontal},
        {"noverticalscrollbar", &S::novertical},
    };
    kxcfg::walk(tokens, start, [&](const char *sq, char *) {
        return kxcfg::applyflags(sq, s, words) ? Take::yes : Take::no;
    });
}

namespace {

struct TypeWord {
    const char *word;
    int type;
};
constexpr TypeWord pixmap_types[] = {
    {"palette", 1},   {"palette8", 1},   {"palette_8", 1}, {"indexed", 1},
    {"palette16", 2}, {"palette_16", 2}, {"truecolor", 3}, {"server", 4},
    {"screen", 5},
};

using V = kxviewattr;
constexpr FlagRow<V> view_words[] = {
    {"nokeyscroll", &V::nokeyscroll},
    {"scrollwheelalways", &V::scrollwheelalways},
    {"autofocus", &V::autofocus},
    {"standardview", &V::standardview},
    {"drawoff", &V::noredraw},
    {"noredraw", &V::noredraw},
    {"norefresh", &V::noredraw},
    {"redraw=0", &V::noredraw},
    {"refresh=0", &V::noredraw},
    {"redraw=off", &V::noredraw},
    {"refresh=off", &V::noredraw},
    {"directdraw", &V::directdraw},
    {"nostandardview", &V::nostandardview},
    {"opengl", &V::opengl},
};
constexpr IntRow<V> view_numbers[] = {
    {"pxmapxs=", &V::pxs},       {"pxmap_xs=", &V::pxs},      {"pixmapxs=", &V::pxs},
    {"pixmap_xs=", &V::pxs},     {"bitmapxs=", &V::pxs},      {"bitmap_xs=", &V::pxs},
    {"bmpxs=", &V::pxs},         {"bmp_xs=", &V::pxs},        {"pxs=", &V::pxs},
    {"pxmapys=", &V::pys},       {"pxmap_ys=", &V::pys},      {"pixmapys=", &V::pys},
    {"pixmap_ys=", &V::pys},     {"bitmapys=", &V::pys},      {"bitmap_ys=", &V::pys},
    {"bmpys=", &V::pys},         {"bmp_ys=", &V::pys},        {"pys=", &V::pys},
    {"colors=", &V::colors},     {"pxmapcolors=", &V::colors}, {"pixmapcolors=", &V::colors},
    {"pxmap_colors=", &V::colors}, {"pixmap_colors=", &V::colors},
    {"bitmapcolors=", &V::colors}, {"bitmap_colors=", &V::colors},
    {"bmpcolors=", &V::colors},  {"bmp_colors=", &V::colors},
};
constexpr const char *pixmap_keys[] = {"pxmap=", "pixmap=", "bmp=", "bitmap=", nullptr};

} // namespace

int kxcfgstr_pxmaptypeword(const char *word)
{
    for (const TypeWord &t : pixmap_types)
        if (word && std::strcmp(word, t.word) == 0)
            return t.type;
    return 0;
}

bool kxcfgstr_pxmaptype(char **tokens, int start, int *type)
{
    bool found = false;
    kxcfg::walk(tokens, start, [&](const char *sq, char *) {
        int t = kxcfgstr_pxmaptypeword(sq);
        if (!t)
            return Take::no;
        *type = t;
        found = true;
        return Take::yes;
    });
    return found;
}

void kxcfgstr_view(char **tokens, int start, kxviewattr *v)
{
    kxcfg::walk(tokens, start, [&](const char *sq, char *) {
        if (kxcfg::applyflags(sq, v, view_words) || kxcfg::applyints(sq, v, view_numbers))
            return Take::yes;
        if (const char *word = kxcfg::anykey(sq, pixmap_keys)) {
            if (int t = kxcfgstr_pxmaptypeword(word))
                v->pxmaptype = t;
            return Take::yes;
        }
        if (int t = kxcfgstr_pxmaptypeword(sq)) {
            v->pxmaptype = t;
            return Take::yes;
        }
        return Take::no;
    });
}

// ---- window -------------------------------------------------------------

namespace {

using W = kxwindowattr;
constexpr FlagRow<W> window_words[] = {
    {"fullscreen", &W::fullscreen},
    {"modal", &W::modal},
    {"popup", &W::popup},
    {"nosysmenu", &W::sysmenu, false},
    {"sysmenu=0", &W::sysmenu, false},
    {"nosystemmenu", &W::sysmenu, false},
    {"systemmenu=0", &W::sysmenu, false},
    {"sysmenu", &W::sysmenu},
    {"sysmenu=1", &W::sysmenu},
    {"systemmenu", &W::sysmenu},
    {"systemmenu=1", &W::sysmenu},
    {"noresize", &W::resize, false},
    {"resize", &W::resize},
    {"maximized", &W::maximized},
    {"max", &W::maximized},
    {"maximal", &W::maximized},
    {"noquit", &W::destroyonclose, false, &W::quitonclose},
    {"noclose", &W::destroyonclose, false},
    {"nostandardview", &W::nostandardview},
};

} // namespace

void kxcfgstr_window(char **tokens, int start, const char *text, kxwindowattr *w)
{
    kxcfg::walk(tokens, start, [&](const char *sq, char *) {
        return kxcfg::applyflags(sq, w, window_words) ? Take::yes : Take::no;
    });
    if (!text)
        return;
    w->maxxs = kxcfgstr_getint(text, "maxxs", w->maxxs);
    w->maxys = kxcfgstr_getint(text, "maxys", w->maxys);
    if (kxcfgstr_contains(text, "ownpxmap"))
        w->ownpxmap = true;
}

void kxcfgstr_bars(char **tokens, int start, kxbarsattr *b)
{
    struct Bar {
        const char *word, *key;
        int kxbarsattr::*field;
    };
    static constexpr Bar bars[] = {
        {"menu", nullptr, &kxbarsattr::menu},
        {"toolbar", "toolbar=", &kxbarsattr::toolbar},
        {"statusbar", "statusbar=", &kxbarsattr::statusbar},
    };
    kxcfg::walk(tokens, start, [&](const char *sq, char *) {
        for (const Bar &bar : bars) {
            if (std::strcmp(sq, bar.word) == 0) {
                b->*bar.field = KX_CFG_STANDARD_BAR;
                return Take::yes;
            }
            if (const char *v = bar.key ? kxcfg::keyvalue(sq, bar.key) : nullptr) {
                b->*bar.field = kxcfg::wholenumber(v);
                return Take::yes;
            }
        }
        return Take::no;
    });
}

void kxcfgstr_contentsize(char **tokens, int start, int *cxs, int *cys)
{
    static constexpr const char *xs_keys[] = {"cxs=",    "contentxs=", "contentwidth=",
                                              "cwidth=", "pxs=",       nullptr};
    static constexpr const char *ys_keys[] = {"cys=",     "contentys=", "contentheight=",
                                              "cheight=", "pys=",       nullptr};
    kxcfg::walk(tokens, start, [&](const char *sq, char *) {
        if (const char *v = kxcfg::anykey(sq, xs_keys))
            *cxs = kxcfg::wholenumber(v);
        else if (const char *v2 = kxcfg::anykey(sq, ys_keys))
            *cys = kxcfg::wholenumber(v2);
        else
            return Take::no;
        return Take::yes;
    });
}

// ---- fonts, pixmaps, pages ----------------------------------------------

namespace {

using FS = kxfontstyleattr;
constexpr FlagRow<FS> fontstyle_words[] = {
    {"bold", &FS::bold},
    {"italic", &FS::italic},
    {"underlined", &FS::underlined},
    {"understriked", &FS::understriked},
};
constexpr IntRow<FS> fontstyle_numbers[] = {
    {"xs=", &FS::xs},         {"width=", &FS::xs},       {"ys=", &FS::ys},
    {"height=", &FS::ys},     {"ascent=", &FS::ascent},  {"descent=", &FS::descent},
    {"points=", &FS::points}, {"xsextra=", &FS::xsextra},
};

using RA = kxrectattr;
constexpr IntRow<RA> rect_numbers[] = {
    {"x=", &RA::x}, {"y=", &RA::y}, {"xs=", &RA::xs}, {"ys=", &RA::ys}};

struct Paper {
    const char *word;
    int code;
};
constexpr Paper papers[] = {
    {"a4", 1}, {"a3", 2}, {"a2", 3},  {"a1", 4},  {"a0", 5},      {"a5", 6},
    {"a6", 7}, {"a7", 8}, {"a8", 9},  {"a9", 10}, {"letter", 11}, {"legal", 12},
};

using P = kxprintattr;
constexpr FlagRow<P> print_words[] = {
    {"portrait", &P::landscape, false},
    {"landscape", &P::landscape},
    {"truecolor", &P::truecolor},
    {"truecolors", &P::truecolor},
    {"hicolor", &P::truecolor},
    {"highcolor", &P::truecolor},
};
constexpr IntRow<P> print_numbers[] = {
    {"dpi=", &P::dpi},   {"xdpi=", &P::xdpi}, {"x-dpi=", &P::xdpi},
    {"ydpi=", &P::ydpi}, {"y-dpi=", &P::ydpi},
};
struct Margin {
    const char *key;
    double P::*field;
};
constexpr Margin margins[] = {
    {"topborder=", &P::top},
    {"bottomborder=", &P::bottom},
    {"leftborder=", &P::left},
    {"rightborder=", &P::right},
};

} // namespace

void kxcfgstr_fontstyle(char **tokens, int start, kxfontstyleattr *f)
{
    flags_and_ints(tokens, start, f, fontstyle_words, fontstyle_numbers);
}

void kxcfgstr_palettecode(char **tokens, int start, int *code)
{
    kxcfg::walk(tokens, start, [&](const char *sq, char *) {
        const char *v = kxcfg::keyvalue(sq, "palettecode=");
        if (!v)
            return Take::no;
        kxcfg::readint(v, code);
        return Take::yes;
    });
}

void kxcfgstr_rect(char **tokens, int start, kxrectattr *r)
{
    kxcfg::walk(tokens, start, [&](const char *sq, char *) {
        return kxcfg::applyints(sq, r, rect_numbers) ? Take::yes : Take::no;
    });
}

void kxcfgstr_print(char **tokens, int start, kxprintattr *p)
{
    kxcfg::walk(tokens, start, [&](const char *sq, char *) {
        if (kxcfg::applyflags(sq, p, print_words) || kxcfg::applyints(sq, p, print_numbers))
            return Take::yes;
        for (const Paper &paper : papers)
            if (std::strcmp(sq, paper.word) == 0) {
                p->paper = paper.code;
                return Take::yes;
            }
        for (const Margin &m : margins)
            if (const char *v = kxcfg::keyvalue(sq, m.key)) {
                double d = 0.0;
                kxcfg::readreal(v, &d);
                p->*m.field = d;
                return Take::yes;
            }
        return Take::no;
    });
}
