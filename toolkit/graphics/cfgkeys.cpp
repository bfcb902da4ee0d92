// The attribute keys of the graphics floor.
#include "graphics/cfgkeys.h"

#include "base/cfgmatch.h"

using kxcfg::FlagRow;
using kxcfg::IntRow;
using kxcfg::Take;

namespace {

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
