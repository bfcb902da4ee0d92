// Token matching shared by the attribute parsers.
#include "base/cfgmatch.h"

#include <climits>
#include <cmath>
#include <cstdlib>

namespace kxcfg {

std::size_t squeeze(const char *src, char *dst, std::size_t cap)
{
    if (!cap)
        return 0;
    std::size_t n = 0;
    for (; src && *src; src++) {
        if (*src == ' ' || *src == '\t')
            continue;
        if (n + 1 >= cap)
            break;
        dst[n++] = *src;
    }
    dst[n] = '\0';
    return n;
}

static bool isdigit_(char c) { return c >= '0' && c <= '9'; }

bool readint(const char *s, int *out)
{
    if (!s)
        return false;
    while (*s == ' ' || *s == '\t')
        s++;
    bool negative = *s == '-';
    if (*s == '+' || *s == '-')
        s++;
    if (!isdigit_(*s))
        return false;
    long long v = 0;
    for (; isdigit_(*s); s++)
        if (v <= INT_MAX)  // past the int range the digits no longer matter
            v = v * 10 + (*s - '0');
    if (negative)
        v = -v;
    *out = v > INT_MAX ? INT_MAX : v < INT_MIN ? INT_MIN : static_cast<int>(v);
    return true;
}

int wholenumber(const char *s)
{
    int v = 0;
    readint(s, &v);
    return v;
}

constexpr double REAL_LIMIT = 1e9;

bool readreal(const char *s, double *out)
{
    if (!s)
        return false;
    // Only the plain decimal form: strtod alone would also take "inf", "nan"
    // and hexadecimal numbers.
    const char *p = s;
    if (*p == '+' || *p == '-')
        p++;
    int digits = 0;
    for (; isdigit_(*p); p++)
        digits++;
    if (*p == '.')
        for (p++; isdigit_(*p); p++)
            digits++;
    if (!digits)
        return false;
    if (*p == 'e' || *p == 'E') {
        const char *e = p + 1;
        if (*e == '+' || *e == '-')
            e++;
        if (isdigit_(*e)) {
            for (; isdigit_(*e); e++) {
            }
            p = e;
        }
    }
    char num[KX_CFG_TEXT];
    copytext(num, sizeof num, s);
    std::size_t len = static_cast<std::size_t>(p - s);
    if (len < sizeof num)
        num[len] = '\0';
    double v = std::strtod(num, nullptr);
    if (std::isnan(v))
        v = 0.0;
    *out = v > REAL_LIMIT ? REAL_LIMIT : v < -REAL_LIMIT ? -REAL_LIMIT : v;
    return true;
}

const char *anykey(const char *sq, const char *const *keys)
{
    for (; *keys; keys++)
        if (const char *v = keyvalue(sq, *keys))
            return v;
    return nullptr;
}

bool anyword(const char *sq, const char *const *words)
{
    for (; *words; words++)
        if (std::strcmp(sq, *words) == 0)
            return true;
    return false;
}

const char *rawvalue(const char *token)
{
    const char *eq = std::strchr(token, '=');
    return eq ? eq + 1 : token + std::strlen(token);
}

void copytext(char *dst, std::size_t cap, const char *src)
{
    if (!cap)
        return;
    std::size_t n = 0;
    for (; src && src[n] && n + 1 < cap; n++)
        dst[n] = src[n];
    dst[n] = '\0';
}

} // namespace kxcfg
