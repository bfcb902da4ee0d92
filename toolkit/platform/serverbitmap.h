// The server bitmap of these hosts: a 32-bit image in client memory that both
// the headless and the X11 host show as it is.  Only the platform layer sees
// this record; the rest of the toolkit holds it as an opaque pointer in the
// data field of a format-4 pixmap.
#pragma once

#include <cstdint>

struct kxserverbitmap {
    int width = 0;
    int height = 0;
    // width x height words, 0x00RRGGBB, row-major.  Red stays in bits 16..23:
    // the hosts take this layout directly, so nothing swaps channels.
    std::uint32_t *pixels = nullptr;
    // Same size as pixels: 0xFFFFFF where transparent, 0 elsewhere.  Only
    // meaningful while has_mask is set.
    std::uint32_t *mask = nullptr;
    std::uint8_t has_mask = 0;
    // The colours the cached brush (rectangle fills) and pen (lines, circles)
    // were made for; -1 until the first one is made.
    int brush_colour = -1;
    int pen_colour = -1;
    int brushes_made = 0;
    int pens_made = 0;
};
