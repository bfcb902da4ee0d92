// The three views of a received line, and the time-stamp prefix.
#include "lineview.h"

#include <cstdio>

#include "io/terminal.h"

namespace {

bool control(unsigned char b) { return b < 0x20 || (b >= 0x7F && b <= 0x9F); }

std::string token(unsigned char b)
{
    char t[8];
    std::snprintf(t, sizeof t, "<%02X>", b);
    return t;
}

// As the tester has always shown it: up to a NUL, cut at CR or LF.
qxpieces as_text(std::string_view bytes)
{
    std::string_view text = bytes.substr(0, bytes.find('\0'));
    text = text.substr(0, text.find_first_of("\r\n"));
    if (text.empty())
        return {};
    return {{std::string(text), QX_RECEIVED_COLOUR}};
}

qxpieces as_hex(std::string_view bytes)
{
    std::string hex;
    for (unsigned char b : bytes) {
        char h[4];
        std::snprintf(h, sizeof h, hex.empty() ? "%02X" : " %02X", b);
        hex += h;
    }
    return {{hex, QX_RECEIVED_COLOUR}};
}

// Text in the received colour, each control byte a token in the notice
// colour; the terminal never sees a control byte, so no escape acts.
qxpieces as_both(std::string_view bytes)
{
    qxpieces out;
    auto add = [&](const std::string &s, int colour) {
        if (out.empty() || out.back().colour != colour)
            out.push_back({s, colour});
        else
            out.back().text += s;
    };
    for (unsigned char b : bytes)
        if (control(b))
            add(token(b), KX_TERM_NOTICE);
        else
            add(std::string(1, static_cast<char>(b)), QX_RECEIVED_COLOUR);
    return out;
}

} // namespace

std::string qxline_stamp(int ms)
{
    char t[24];
    std::snprintf(t, sizeof t, "%02d:%02d:%02d.%03d ", ms / 3600000 % 24, ms / 60000 % 60,
                  ms / 1000 % 60, ms % 1000);
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
