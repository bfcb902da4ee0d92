// The attribute keys of the core's records: button, view and window.
#include "core/cfgkeys.h"

#include <cstring>

#include "base/cfgmatch.h"
#include "core/cfgstr.h"

using kxcfg::FlagRow;
using kxcfg::IntRow;
using kxcfg::Take;

// ---- button -------------------------------------------------------------

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
