// Reading a row's notation: one pass over the text into a fresh string; the
// first fault ends the pass and the bytes read so far are dropped.
#include "io/notation.h"

#include <string>
#include <utility>

#include "base/checksum.h"
#include "base/hexdigit.h"
#include "core/language.h"

namespace {

enum class Fault {
    unknown,    // \ and a letter that names no sequence
    lone,       // \ as the row's last byte
    xdigits,    // \x without two hex digits
    noparen,    // \h or \c not followed by (
    unclosed,   // \h( or \c( without )
    nothex,     // a byte in \h( ) that is neither a hex digit nor a blank
    odd,        // a run of hex digits of odd length
    noname,     // \c()
    checksum,   // \c(NAME) with a name the table does not hold
};

// A text with %s takes the detail: a sequence's letter, a byte, a name.
struct FaultText {
    Fault fault;
    const char *text[2];  // English, German
};
constexpr FaultText fault_texts[] = {
    {Fault::unknown, {"unknown sequence \\%s", "unbekannte Folge \\%s"}},
    {Fault::lone, {"lone \\ at the end of the row", "einzelnes \\ am Zeilenende"}},
    {Fault::xdigits, {"\\x needs two hex digits", "\\x braucht zwei Hexziffern"}},
    {Fault::noparen, {"\\%s without (", "\\%s ohne ("}},
    {Fault::unclosed, {"\\%s( without )", "\\%s( ohne )"}},
    {Fault::nothex, {"not a hex digit: %s", "keine Hexziffer: %s"}},
    {Fault::odd, {"odd number of hex digits", "ungerade Zahl von Hexziffern"}},
    {Fault::noname, {"\\c() without a name", "\\c() ohne Namen"}},
    {Fault::checksum, {"unknown checksum %s", "unbekannte Pr\xfc" "fsumme %s"}},
};
// A checksum name longer than this is shown cut, with "...".
constexpr std::size_t SHOWN_NAME = 24;

constexpr char HEX_DIGITS[] = "0123456789ABCDEF";

bool blank(char ch) { return ch == ' ' || ch == '\t'; }

// A byte of the row as a fault shows it: printable Latin-1 as itself, any
// other byte as a token such as <0D>, so no control byte reaches the screen.
void show_byte(std::string &to, unsigned char b)
{
    if ((b > 0x20 && b < 0x7F) || b >= 0xA0) {
        to += static_cast<char>(b);
        return;
    }
    to += '<';
    to += HEX_DIGITS[b >> 4];
    to += HEX_DIGITS[b & 0xF];
    to += '>';
}

std::string shown(std::string_view text)
{
    std::string s;
    for (std::size_t i = 0; i < text.size() && i < SHOWN_NAME; i++)
        show_byte(s, static_cast<unsigned char>(text[i]));
    if (text.size() > SHOWN_NAME)
        s += "...";
    return s;
}

kxnotation_result failure(Fault fault, const std::string &detail, std::size_t at)
{
    const int german = kxlanguage_get() == KX_LANG_GERMAN ? 1 : 0;
    const char *format = "%s";
    for (const FaultText &f : fault_texts)
        if (f.fault == fault)
            format = f.text[german];
    kxnotation_result r;
    r.column = static_cast<int>(at) + 1;
    const std::string_view fmt(format);
    const std::size_t slot = fmt.find("%s");
    r.error.append(fmt.substr(0, slot));
    if (slot != std::string_view::npos) {
        r.error += detail;
        r.error.append(fmt.substr(slot + 2));
    }
    r.error += german ? " in Spalte " : " at column ";
    r.error += std::to_string(r.column);
    return r;
}

struct Reader {
    std::string_view row;
    std::size_t pos = 0;  // the next byte to read
    std::string out;
};

// The byte that \ and one letter stand for, or -1.
int simple_escape(char letter)
{
    switch (letter) {
    case 'r': return '\r';
    case 'n': return '\n';
    case 't': return '\t';
    case 'e': return 0x1B;
    case '0': return 0;
    case '\\': return '\\';
    default: return -1;
    }
}

// The text between "\h(" or "\c(" and its ), with pos moved past the );
// false when the row holds no ).
bool bracketed(Reader &r, std::size_t start, std::string_view *inside)
{
    const std::size_t close = r.row.find(')', start);
    if (close == std::string_view::npos)
        return false;
    *inside = r.row.substr(start, close - start);
    r.pos = close + 1;
    return true;
}

// \h(...): pairs of hex digits, each blank-separated run of even length.
bool hex_run(Reader &r, std::size_t at, kxnotation_result *fail)
{
    std::string_view inside;
    if (!bracketed(r, at + 3, &inside)) {
        *fail = failure(Fault::unclosed, "h", at);
        return false;
    }
    const std::size_t base = at + 3;
    std::size_t i = 0;
    while (i < inside.size()) {
        if (blank(inside[i])) {
            i++;
            continue;
        }
        const std::size_t first = i;
        for (; i < inside.size() && !blank(inside[i]); i++)
            if (kxhex_digit(inside[i]) < 0) {
                std::string detail;
                show_byte(detail, static_cast<unsigned char>(inside[i]));
                *fail = failure(Fault::nothex, detail, base + i);
                return false;
            }
        if ((i - first) % 2) {
            *fail = failure(Fault::odd, "", base + first);
            return false;
        }
        for (std::size_t k = first; k < i; k += 2)
            r.out += static_cast<char>(kxhex_digit(inside[k]) * 16 + kxhex_digit(inside[k + 1]));
    }
    return true;
}

// \c(NAME): the checksum of every byte so far.
bool checksum(Reader &r, std::size_t at, kxnotation_result *fail)
{
    std::string_view name;
    if (!bracketed(r, at + 3, &name)) {
        *fail = failure(Fault::unclosed, "c", at);
        return false;
    }
    if (name.find_first_not_of(" \t") == std::string_view::npos) {
        *fail = failure(Fault::noname, "", at);
        return false;
    }
    const kxChecksum *c = kxchecksum_find(name);
    if (!c) {
        *fail = failure(Fault::checksum, shown(name), at + 3);
        return false;
    }
    kxchecksum_append(c, kxchecksum_compute(c, r.out.data(), r.out.size()), &r.out);
    return true;
}

// One sequence from the backslash at r.pos on.
bool sequence(Reader &r, kxnotation_result *fail)
{
    const std::size_t at = r.pos;
    if (at + 1 >= r.row.size()) {
        *fail = failure(Fault::lone, "", at);
        return false;
    }
    const char letter = r.row[at + 1];
    if (const int b = simple_escape(letter); b >= 0) {
        r.out += static_cast<char>(b);
        r.pos = at + 2;
        return true;
    }
    if (letter == 'x') {
        const int hi = at + 2 < r.row.size() ? kxhex_digit(r.row[at + 2]) : -1;
        const int lo = at + 3 < r.row.size() ? kxhex_digit(r.row[at + 3]) : -1;
        if (hi < 0 || lo < 0) {
            *fail = failure(Fault::xdigits, "", at);
            return false;
        }
        r.out += static_cast<char>(hi * 16 + lo);
        r.pos = at + 4;
        return true;
    }
    if (letter == 'h' || letter == 'c') {
        if (at + 2 >= r.row.size() || r.row[at + 2] != '(') {
            *fail = failure(Fault::noparen, std::string(1, letter), at);
            return false;
        }
        return letter == 'h' ? hex_run(r, at, fail) : checksum(r, at, fail);
    }
    std::string detail;
    show_byte(detail, static_cast<unsigned char>(letter));
    *fail = failure(Fault::unknown, detail, at);
    return false;
}

} // namespace

kxnotation_result kxnotation_parse(std::string_view row)
{
    Reader r;
    r.row = row;
    r.out.reserve(row.size());
    while (r.pos < row.size()) {
        const std::size_t next = row.find('\\', r.pos);
        const std::size_t plain = (next == std::string_view::npos ? row.size() : next) - r.pos;
        r.out.append(row.substr(r.pos, plain));
        r.pos += plain;
        if (r.pos == row.size())
            break;
        kxnotation_result fail;
        if (!sequence(r, &fail))
            return fail;
    }
    kxnotation_result done;
    done.ok = true;
    done.bytes = std::move(r.out);
    return done;
}
