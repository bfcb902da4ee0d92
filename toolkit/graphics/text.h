// Text: single characters, one-line strings with a width limit and hotkey
// underline, and word-wrapped text in a box, in the toolkit's bitmap fonts.
// A character at (x, y) fills the cell x .. x + width - 1, y .. y + height - 1
// of its font; the baseline is row y + ascent.
#pragma once

#include "graphics/pixmap.h"

// Sum of the character widths; 0 for null text or no font.
int kxtext_width(int font, const char *text);
// One character.  background -1 is transparent; light and dark -1 take the
// GUI colours white and dark (the engraved look of disabled text).
void kxtext_drawchar(kxpxmap *p, int font, int x, int y, int colour, bool engraved,
                     bool underline, int background, int ch, int light, int dark);
// A string.  With maxwidth > 0 a text that does not fit is cut and ends in
// "..."; otherwise line feeds start new lines.  Character number hotkey (or
// every character, with underline_all) is underlined.  Returns the pen's x.
int kxtext_draw(kxpxmap *p, int font, int x, int y, int colour, bool engraved, bool underline_all,
                int background, int maxwidth, int hotkey, const char *text, int light, int dark);
// Word-wrapped text in the box; returns the height used.
int kxtext_drawwrapped(kxpxmap *p, int font, int x, int y, int width, int height, int colour,
                       const char *text, bool measure_only);
int kxtext_wrappedheight(int width, const char *text, int font);
