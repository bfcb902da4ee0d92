// The attribute keys of the terminal.
#pragma once

#include "base/cfgtext.h"

constexpr int KX_TERM_SCROLLBACK = 300;  // "scrollback" without a number
struct kxtermattr {
    int scrollback = 0, lines = 25, columns = 80;
    char logfile[KX_CFG_TEXT] = {};  // "" = no log
    bool wordbreak = false, cursor = false, directdraw = false, nostandardview = false;
    bool logdeferred = false;  // the log opens at kxterm_startlog, not at creation
    bool logutf8 = false;      // the log is written in UTF-8
};
void kxcfgstr_terminal(char **tokens, int start, kxtermattr *t);
