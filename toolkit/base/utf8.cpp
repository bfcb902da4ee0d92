#include "base/utf8.h"

void kxutf8_append(std::string *to, char32_t ch)
{
    const auto byte = [to](char32_t b) { *to += static_cast<char>(b); };
    if (ch < 0x80) {
        byte(ch);
    } else if (ch < 0x800) {
        byte(0xC0 | ch >> 6);
        byte(0x80 | (ch & 0x3F));
    } else if (ch < 0x10000) {
        byte(0xE0 | ch >> 12);
        byte(0x80 | (ch >> 6 & 0x3F));
        byte(0x80 | (ch & 0x3F));
    } else {
        byte(0xF0 | (ch >> 18 & 0x07));
        byte(0x80 | (ch >> 12 & 0x3F));
        byte(0x80 | (ch >> 6 & 0x3F));
        byte(0x80 | (ch & 0x3F));
    }
}

bool kxutf8_valid(char32_t ch, char32_t least)
{
    return ch >= least && ch <= 0x10FFFF && (ch < 0xD800 || ch > 0xDFFF);
}

std::string kxutf8_from_latin1(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (char c : text)
        kxutf8_append(&out, static_cast<unsigned char>(c));
    return out;
}
