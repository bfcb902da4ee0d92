// UTF-8 beside the toolkit's ISO 8859-1: characters written as UTF-8, and
// the check of a decoded one.
#pragma once

#include <string>
#include <string_view>

// Appends a character (up to U+10FFFF) as its UTF-8 bytes.
void kxutf8_append(std::string *to, char32_t ch);
// A decoded character is one: not below the least its length may carry
// (no overlong form), no surrogate, not beyond U+10FFFF.
bool kxutf8_valid(char32_t ch, char32_t least);
// ISO 8859-1 text as UTF-8.
std::string kxutf8_from_latin1(std::string_view text);
