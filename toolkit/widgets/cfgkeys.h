// The attribute keys of the widgets: entry lists, check box, line input,
// up-down control, editor, slide, tab bar.
#pragma once

#include <cstddef>

#include "base/cfgtext.h"

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
