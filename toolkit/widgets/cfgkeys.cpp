// The attribute keys of the widgets.
#include "widgets/cfgkeys.h"

#include <cstring>

#include "base/cfgmatch.h"

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

// ---- check box ----------------------------------------------------------

namespace {

using C = kxcheckattr;
constexpr FlagRow<C> checkbox_words[] = {
    {"checked", &C::checked}, {"round", &C::round}, {"boxonly", &C::boxonly},
    {"2d", &C::flat},         {"no3d", &C::flat},   {"lightframe", &C::lightframe},
};

} // namespace

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
