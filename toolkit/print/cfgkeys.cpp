// The attribute keys of page output.
#include "print/cfgkeys.h"

#include <cstring>

#include "base/cfgmatch.h"
#include "print/print.h"

using kxcfg::FlagRow;
using kxcfg::IntRow;
using kxcfg::Take;

namespace {

struct Paper {
    const char *word;
    int code;
};
constexpr Paper papers[] = {
    {"a4", KX_PAPER_A4}, {"a3", KX_PAPER_A3}, {"a2", KX_PAPER_A2},
    {"a1", KX_PAPER_A1}, {"a0", KX_PAPER_A0}, {"a5", KX_PAPER_A5},
    {"a6", KX_PAPER_A6}, {"a7", KX_PAPER_A7}, {"a8", KX_PAPER_A8},
    {"a9", KX_PAPER_A9}, {"letter", KX_PAPER_LETTER}, {"legal", KX_PAPER_LEGAL},
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
