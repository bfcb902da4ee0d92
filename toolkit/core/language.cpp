#include "core/language.h"

namespace {
int current = KX_LANG_ENGLISH;
}

void kxlanguage_set(int language)
{
    current = language == KX_LANG_GERMAN ? KX_LANG_GERMAN : KX_LANG_ENGLISH;
}

int kxlanguage_get() { return current; }
