// The attribute keys of the terminal.
#include "io/cfgkeys.h"

#include <cstring>

#include "base/cfgmatch.h"

using kxcfg::FlagRow;
using kxcfg::IntRow;
using kxcfg::Num;
using kxcfg::Take;

namespace {

using T = kxtermattr;
constexpr FlagRow<T> terminal_words[] = {
    {"wordbreak", &T::wordbreak},    {"cursor", &T::cursor},
    {"cursor=on", &T::cursor},       {"cursor=1", &T::cursor},
    {"cursoron", &T::cursor},        {"directdraw", &T::directdraw},
    {"drawdirect", &T::directdraw},  {"nostandardview", &T::nostandardview},
    {"logdeferred", &T::logdeferred}, {"logutf8", &T::logutf8},
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

