// X11 colour names ("red", "light grey", "Gray50"): the names other
// programs write into XPM files for their colours.
#pragma once

#include <string_view>

struct kxcolourname {
    std::string_view name;  // lower case, no blanks, "gray" for "grey"
    int rgb;
};

// The colour 0xRRGGBB of an X11 colour name, in any case, with or without
// blanks, with "grey" or "gray"; -1 for a name X11 does not know.
int kxcolourname_find(std::string_view name);
