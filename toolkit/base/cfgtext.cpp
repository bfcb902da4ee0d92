// Attribute strings, the text core: escaping and formatting, splitting into
// tokens, joining what is left, geometry values and lookups in the whole
// string.
#include "base/cfgtext.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "base/cfgmatch.h"

namespace {

// A '%' left unpaired at the end would start a conversion without its letter.
std::size_t drop_open_conversion(char *s, std::size_t n)
{
    static const char conversion_chars[] = "0123456789.-+ #'*hlLqjzt";
    std::size_t i = 0;
    while (i < n) {
        if (s[i] != '%') {
            i++;
            continue;
        }
        if (i + 1 < n && s[i + 1] == '%') {
            i += 2;
            continue;
        }
        std::size_t j = i + 1;
        while (j < n && std::strchr(conversion_chars, s[j]))
            j++;
        if (j >= n) {
            s[i] = '\0';
            return i;
        }
        i = j + 1;
    }
    return n;
}

} // namespace

// ---- formatting ---------------------------------------------------------

std::size_t kxcfgstr_escapepercent(const char *in, char *out, std::size_t cap)
{
    if (!out || !cap)
        return 0;
    std::size_t n = 0;
    for (const unsigned char *p = reinterpret_cast<const unsigned char *>(in); p && *p; p++) {
        unsigned char next = p[1];
        bool twice = *p == '%' && (next < '0' || next >= 128 || next == '>');
        std::size_t need = twice ? 2 : 1;
        if (n + need >= cap)
            break;  // never half of a doubled pair
        out[n++] = static_cast<char>(*p);
        if (twice)
            out[n++] = '%';
    }
    out[n] = '\0';
    return drop_open_conversion(out, n);
}

int kxcfgstr_vformat(char *out, std::size_t cap, const char *fmt, va_list ap)
{
    if (!out || !cap)
        return 0;
    if (!fmt) {
        out[0] = '\0';
        return 0;
    }
    int n = std::vsnprintf(out, cap, fmt, ap);
    if (n < 0) {
        out[0] = '\0';
        return 0;
    }
    if (static_cast<std::size_t>(n) >= cap)
        n = static_cast<int>(cap - 1);
    return n;
}

int kxcfgstr_format(char *out, std::size_t cap, const char *fmt, ...)
{
    va_list ap;
    va_start(ap, fmt);
    int n = kxcfgstr_vformat(out, cap, fmt, ap);
    va_end(ap);
    return n;
}

int kxcfgstr_vattr(char *out, std::size_t cap, const char *fmt, va_list ap)
{
    char escaped[KX_CFG_FORMAT];
    kxcfgstr_escapepercent(fmt, escaped, sizeof escaped);
    return kxcfgstr_vformat(out, cap, escaped, ap);
}

int kxcfgstr_attr(char *out, std::size_t cap, const char *fmt, ...)
{
    va_list ap;
    va_start(ap, fmt);
    int n = kxcfgstr_vattr(out, cap, fmt, ap);
    va_end(ap);
    return n;
}

// ---- tokens -------------------------------------------------------------

namespace {

struct SplitShape {
    std::size_t length = 0, tokens = 0;
    std::size_t table_bytes() const { return (tokens + 1) * sizeof(char *); }
    std::size_t string_bytes() const { return length ? length + 1 : 0; }
};

SplitShape shape_of(const char *text)
{
    SplitShape s;
    if (!text || !*text)
        return s;
    s.length = std::strlen(text);
    s.tokens = 1;
    for (const char *p = text; *p; p++)
        if (*p == ',')
            s.tokens++;
    return s;
}

} // namespace

std::size_t kxcfgstr_splitsize(const char *text)
{
    SplitShape s = shape_of(text);
    return s.table_bytes() + s.string_bytes() + alignof(char *) - 1;
}

char **kxcfgstr_split(const char *text, void *block, std::size_t cap)
{
    if (!block)
        return nullptr;
    SplitShape s = shape_of(text);
    void *p = block;
    std::size_t space = cap;
    if (!std::align(alignof(char *), s.table_bytes() + s.string_bytes(), p, space))
        return nullptr;
    char **table = static_cast<char **>(p);
    char *out = reinterpret_cast<char *>(table + s.tokens + 1);
    std::size_t k = 0;
    if (s.length) {
        table[k++] = out;
        for (const char *c = text; *c; c++) {
            if (*c == ',') {
                *out++ = '\0';
                table[k++] = out;
            } else {
                *out++ = *c;
            }
        }
        *out = '\0';
    }
    table[k] = nullptr;
    return table;
}

char **kxcfgstr_splitalloc(const char *text)
{
    SplitShape s = shape_of(text);
    auto **table = static_cast<char **>(std::calloc(s.tokens + 1, sizeof(char *)));
    if (!table)
        return nullptr;
    const char *from = text;
    for (std::size_t k = 0; k < s.tokens; k++) {
        const char *end = std::strchr(from, ',');
        std::size_t len = end ? static_cast<std::size_t>(end - from) : std::strlen(from);
        table[k] = static_cast<char *>(std::malloc(len + 1));
        if (!table[k]) {
            kxcfgstr_freesplit(table);
            return nullptr;
        }
        std::memcpy(table[k], from, len);
        table[k][len] = '\0';
        from = end ? end + 1 : from + len;
    }
    return table;
}

void kxcfgstr_freesplit(char **tokens)
{
    if (!tokens)
        return;
    for (char **t = tokens; *t; t++)
        std::free(*t);
    std::free(tokens);
}

std::size_t kxcfgstr_rest(char *const *tokens, int start, char *out, std::size_t cap)
{
    if (!out || !cap)
        return 0;
    std::size_t n = 0;
    out[0] = '\0';
    for (int i = 0; tokens && tokens[i]; i++) {
        if (i < start || !tokens[i][0])
            continue;
        std::size_t len = std::strlen(tokens[i]);
        if (n + 1 + len >= cap)
            break;
        out[n++] = ',';
        std::memcpy(out + n, tokens[i], len);
        n += len;
        out[n] = '\0';
    }
    return n;
}

// ---- geometry values ----------------------------------------------------

int kxcfgstr_number(const char *token, double *value)
{
    const char *src = token ? token : "";
    const char *eq = std::strchr(src, '=');
    char sq[KX_CFG_TEXT];
    kxcfg::squeeze(eq ? eq + 1 : src, sq, sizeof sq);
    const char *last = nullptr;
    for (const char *p = sq; *p; p++)
        if (*p >= '0' && *p <= '9')
            last = p;
    *value = 0.0;
    if (!last)
        return KX_UNIT_NONE;  // "x=%": no number, no unit
    kxcfg::readreal(sq, value);
    const char *unit = last + 1;
    if (unit[0] == '%' || std::strcmp(unit, "percent") == 0)
        return KX_UNIT_PERCENT;
    if (std::strcmp(unit, "pix") == 0 || std::strcmp(unit, "pixel") == 0)
        return KX_UNIT_PIXELS;
    return KX_UNIT_NONE;
}

// ---- lookups without case -----------------------------------------------

namespace {

char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c; }

// Where word (then '=' when wanted) starts in text, compared without case.
const char *find_nocase(const char *text, const char *word, bool equals)
{
    if (!text || !word)
        return nullptr;
    for (const char *p = text; *p; p++) {
        const char *a = p, *b = word;
        while (*b && *a && lower(*a) == lower(*b))
            a++, b++;
        if (*b)
            continue;
        if (!equals)
            return p;
        if (*a == '=')
            return a + 1;
    }
    if (!*word && !equals)
        return text;
    return nullptr;
}

} // namespace

int kxcfgstr_getint(const char *text, const char *name, int def)
{
    const char *v = find_nocase(text, name, true);
    int n = def;
    if (v)
        kxcfg::readint(v, &n);
    return n;
}

bool kxcfgstr_contains(const char *text, const char *word)
{
    return find_nocase(text, word, false) != nullptr;
}
