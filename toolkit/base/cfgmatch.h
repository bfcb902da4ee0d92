// Token matching shared by the attribute parsers: the space-free copy, number
// readers and the walk that consumes what a parser takes.
#pragma once

#include <cstddef>
#include <cstring>

#include "base/cfgtext.h"

namespace kxcfg {

// Copies src without spaces and tabs, cut to cap - 1.  Returns the length.
std::size_t squeeze(const char *src, char *dst, std::size_t cap);
// Standard decimal conversion: optional blanks and sign, then digits.
// Clamped to the int range; false (and out untouched) without a digit.
bool readint(const char *s, int *out);
// readint with 0 for an unreadable value.
int wholenumber(const char *s);
// Sign, digits, optional fraction and exponent; limited to +-1e9 so that
// nothing later overflows.  False (and out untouched) without a digit.
bool readreal(const char *s, double *out);
// The value after key when the squeezed token starts with it, else null.
inline const char *keyvalue(const char *sq, const char *key)
{
    std::size_t n = std::strlen(key);
    return std::strncmp(sq, key, n) == 0 ? sq + n : nullptr;
}
// The first key of a null-terminated list that starts the token.
const char *anykey(const char *sq, const char *const *keys);
bool anyword(const char *sq, const char *const *words);
// The text after the first '=' of the token as written (spaces kept).
const char *rawvalue(const char *token);
// Copies at most cap - 1 bytes and terminates.
void copytext(char *dst, std::size_t cap, const char *src);

enum class Take { no, yes, stop };

// Calls fn(squeezed, token) for every non-empty token from start on; a token
// for which fn answers yes or stop is emptied, and stop ends the walk.
template <class Fn> void walk(char **tokens, int start, Fn fn)
{
    if (!tokens)
        return;
    char sq[KX_CFG_TEXT];
    for (int i = 0; tokens[i]; i++) {
        char *t = tokens[i];
        if (i < start || !t[0])
            continue;
        if (!squeeze(t, sq, sizeof sq))
            continue;
        Take r = fn(static_cast<const char *>(sq), t);
        if (r != Take::no)
            t[0] = '\0';
        if (r == Take::stop)
            return;
    }
}

// Rows of the per-widget tables.
template <class R> struct FlagRow {
    const char *word;
    bool R::*field;
    bool value = true;
    bool R::*also = nullptr;  // a second flag the word sets the same way
};
enum class Num { whole, keep };  // unreadable gives 0, or keeps the old value
template <class R> struct IntRow {
    const char *key;
    int R::*field;
    Num kind = Num::whole;
};

template <class R, std::size_t N>
bool applyflags(const char *sq, R *rec, const FlagRow<R> (&rows)[N])
{
    for (const FlagRow<R> &row : rows)
        if (std::strcmp(sq, row.word) == 0) {
            rec->*row.field = row.value;
            if (row.also)
                rec->*row.also = row.value;
            return true;
        }
    return false;
}

template <class R, std::size_t N>
bool applyints(const char *sq, R *rec, const IntRow<R> (&rows)[N])
{
    for (const IntRow<R> &row : rows)
        if (const char *v = keyvalue(sq, row.key)) {
            if (row.kind == Num::keep)
                readint(v, &(rec->*row.field));
            else
                rec->*row.field = wholenumber(v);
            return true;
        }
    return false;
}

} // namespace kxcfg
