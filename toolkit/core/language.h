// The language of the toolkit's own few texts (the editor's context menu,
// the reasons of failures).  Programs choose it once at start; it is English
// unless set.
#pragma once

#include <string>

enum : int { KX_LANG_ENGLISH = 0, KX_LANG_GERMAN = 1 };

// Any other value selects English.
void kxlanguage_set(int language);
int kxlanguage_get();

// The words for a system error number (errno) in the language: in English
// the system's own ("Permission denied"), in German the toolkit's
// ("keine Berechtigung"; the system's own for a number it does not know).
std::string kxlanguage_reason(int err);
