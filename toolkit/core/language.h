// The language of the toolkit's own few texts (the editor's context menu).
// Programs choose it once at start; it is English unless set.
#pragma once

enum : int { KX_LANG_ENGLISH = 0, KX_LANG_GERMAN = 1 };

// Any other value selects English.
void kxlanguage_set(int language);
int kxlanguage_get();
