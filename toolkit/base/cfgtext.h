// Attribute strings, the text core: the creation text of every window and
// widget.  A printf format is escaped and formatted into a 1000-byte buffer,
// split at commas into tokens, and read by a family of small parsers (the
// common keys in core/cfgstr.h, each floor's own keys in its cfgkeys.h).  A
// parser that recognises a token empties it, so a word taken by one parser is
// never seen by the next.  Every parser writes only the outputs it found a
// token for.
#pragma once

#include <cstdarg>
#include <cstddef>

// The formatted string, NUL included; also the size of each token copy.
constexpr std::size_t KX_CFG_TEXT = 1000;
// Room for the escaped format: every '%' may double.
constexpr std::size_t KX_CFG_FORMAT = 2 * KX_CFG_TEXT;
// A split block that holds any formatted string: up to 1000 tokens (all
// commas) plus the null, the strings, and slack for aligning the table.
constexpr std::size_t KX_CFG_SPLIT_BLOCK =
    (KX_CFG_TEXT + 1) * sizeof(char *) + KX_CFG_TEXT + alignof(char *);

// ---- formatting ---------------------------------------------------------

// Doubles every '%' that is followed by a byte below '0' (comma, space,
// '%', the end, bytes of 128 and above) or by '>', so "x=50%" survives
// formatting while "%d" and "%06x" stay conversions.  A conversion cut off
// at the end (by the capacity or in the input) is dropped rather than handed
// to the formatter.  Returns the length written; out is always terminated.
std::size_t kxcfgstr_escapepercent(const char *in, char *out, std::size_t cap);
// vsnprintf into out: longer text is cut at cap - 1.  Returns the length kept.
int kxcfgstr_vformat(char *out, std::size_t cap, const char *fmt, va_list ap);
int kxcfgstr_format(char *out, std::size_t cap, const char *fmt, ...)
    __attribute__((format(printf, 3, 4)));
// Escape, then format: what a create operation does with its arguments.
int kxcfgstr_vattr(char *out, std::size_t cap, const char *fmt, va_list ap);
int kxcfgstr_attr(char *out, std::size_t cap, const char *fmt, ...);

// ---- tokens -------------------------------------------------------------

// Bytes a block must have for kxcfgstr_split of this text.
std::size_t kxcfgstr_splitsize(const char *text);
// Splits at every comma into a null-terminated pointer table followed by the
// token strings, all inside block.  "" gives no tokens, ",," three empty
// ones.  Null (and nothing written) when the block is too small.
char **kxcfgstr_split(const char *text, void *block, std::size_t cap);
// The same with one allocation per string; free with kxcfgstr_freesplit.
char **kxcfgstr_splitalloc(const char *text);
void kxcfgstr_freesplit(char **tokens);
// Joins the non-empty tokens from start on, each preceded by a comma ("" when
// none).  A token that no longer fits ends the text.  Returns the length.
std::size_t kxcfgstr_rest(char *const *tokens, int start, char *out, std::size_t cap);

// Reads a geometry value: everything after the first '=', spaces removed, as
// a real number.  The result is the unit written after the last digit.
enum : int { KX_UNIT_NONE = 0, KX_UNIT_PERCENT = 1, KX_UNIT_PIXELS = 2 };
int kxcfgstr_number(const char *token, double *value);

// ---- lookups in the whole string, without case, consuming nothing -------

// The whole number after the first "name=", else def (also when unreadable).
int kxcfgstr_getint(const char *text, const char *name, int def);
bool kxcfgstr_contains(const char *text, const char *word);
