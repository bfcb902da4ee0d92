// The server bitmap of these hosts: a 32-bit image in client memory that both
// the headless and the X11 host show as it is.  Only the platform layer sees
// this record; the rest of the toolkit holds it as an opaque pointer in the
// data field of a format-4 pixmap.
#pragma once

#include <cstdint>

struct kxpxmap;

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
    // Set when the pixels live in a store a host keeps (a shared-memory
    // segment the display reads directly): called instead of freeing them.
    void (*release)(void *context) = nullptr;
    void *release_context = nullptr;
};

// Moves the pixels of a server pixmap into store (width x height words that
// the host keeps), copying them there when keep is set; release(context)
// gives the store back when the bitmap goes.  False for a pixmap that is no
// server pixmap or already has such a store.
bool kxserver_adopt(kxpxmap *p, std::uint32_t *store, bool keep, void (*release)(void *),
                    void *context);
