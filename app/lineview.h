// How a line of traffic is shown in the terminal and its log: the pieces
// of text to print and the colour number of each.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "settings.h"

constexpr int QX_SENT_COLOUR = 4;      // blue
constexpr int QX_RECEIVED_COLOUR = 1;  // red
// Before the rest of a received line that a sent row or a notice broke off,
// in the notice colour.
constexpr const char *QX_CONTINUED = "... ";

struct qxpiece {
    std::string text;
    int colour;
};
using qxpieces = std::vector<qxpiece>;

// "12:34:56.789 ": a time of day in milliseconds, as a line's prefix.
std::string qxline_stamp(int ms);
// A received line (its bytes, the line end included) in a view: the text
// without its end, NULs included (nothing for an empty line); its bytes in
// hex; or the text with every control byte as a token such as "<0D>" in the
// notice colour.  The pieces hold no line end of their own.
qxpieces qxline_received(std::string_view bytes, qxshow show);
