// Helpers shared by the parts of the markup engine (not for programs).
#pragma once

#include <cstddef>
#include <string>

#include "markup/guiscript.h"

namespace kxguil {

extern const char *const WORD_ENDS;
// A position held within +-KX_GUI_COORD_LIMIT.
int clamp(long long v);
// A decimal number with optional sign, saturating; *end after its digits.
long long readnum(const char *p, const char **end = nullptr);
int pagew();
int pageh();
// The x that text must not pass.
int limitx(const kxGUIScript *s);
void touch(kxGUIScript *s);
void newline(kxGUIScript *s);
bool hasownx(const char *attr);
void layout_word(kxGUIScript *s, std::string word);
kxguielement *newelement(kxGUIScript *s, const char *name, const char *type, void *widget);

void image(kxGUIScript *s, const char *arg);
void xpmimage(kxGUIScript *s, const char *arg);
void memimage(kxGUIScript *s, const char *arg);
void bullet(kxGUIScript *s, const char *arg);

} // namespace kxguil
