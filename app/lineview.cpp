// The three views of a received line, and the time-stamp prefix.
#include "lineview.h"

#include "io/terminal.h"

namespace {

// A line of a flood is a few dozen bytes: its views are built by appending,
// without a formatter or a string per byte.
constexpr char HEX_DIGITS[] = "0123456789ABCDEF";

bool control(unsigned char b) { return b < 0x20 || (b >= 0x7F && b <= 0x9F); }

void append_hex(std::string &to, unsigned char b)
{
    to += HEX_DIGITS[b >> 4];
    to += HEX_DIGITS[b & 0xF];
}

void append_token(std::string &to, unsigned char b)
{
    to += '<';
    append_hex(to, b);
    to += '>';
}

// The line without its end.  A NUL is a byte like any other: the terminal
// logs it and draws nothing for it, and the text goes on after it.
qxpieces as_text(std::string_view bytes)
{
    const std::string_view text = bytes.substr(0, bytes.find_first_of("\r\n"));
    if (text.empty())
        return {};
    return {{std::string(text), QX_RECEIVED_COLOUR}};
}

qxpieces as_hex(std::string_view bytes)
{
    std::string hex;
    hex.reserve(bytes.size() * 3);
    for (unsigned char b : bytes) {
        if (!hex.empty())
            hex += ' ';
        append_hex(hex, b);
    }
    return {{hex, QX_RECEIVED_COLOUR}};
}

// Text in the received colour, each control byte a token in the notice
// colour; the terminal never sees a control byte, so no escape acts.
qxpieces as_both(std::string_view bytes)
{
    qxpieces out;
    for (unsigned char b : bytes) {
        const bool token = control(b);
        const int colour = token ? KX_TERM_NOTICE : QX_RECEIVED_COLOUR;
        if (out.empty() || out.back().colour != colour)
            out.push_back({std::string(), colour});
        if (token)
            append_token(out.back().text, b);
        else
            out.back().text += static_cast<char>(b);
    }
    return out;
}

void append_digits(std::string &to, int value, int digits)
{
    char d[3];
    for (int i = digits - 1; i >= 0; i--, value /= 10)
        d[i] = static_cast<char>('0' + value % 10);
    to.append(d, static_cast<std::size_t>(digits));
}

} // namespace

std::string qxline_stamp(int ms)
{
    if (ms < 0)
        ms = 0;
    std::string t;
    t.reserve(13);
    append_digits(t, ms / 3600000 % 24, 2);
    t += ':';
    append_digits(t, ms / 60000 % 60, 2);
    t += ':';
    append_digits(t, ms / 1000 % 60, 2);
    t += '.';
    append_digits(t, ms % 1000, 3);
    t += ' ';
    return t;
}

qxpieces qxline_received(std::string_view bytes, qxshow show)
{
    switch (show) {
    case qxshow::hex: return as_hex(bytes);
    case qxshow::both: return as_both(bytes);
    default: return as_text(bytes);
    }
}
