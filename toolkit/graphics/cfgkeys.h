// The attribute keys of the graphics floor: the region and palette code of
// the pixmap operations and the style of a font to load.
#pragma once

struct kxfontstyleattr {
    bool bold = false, italic = false, underlined = false, understriked = false;
    int xs = 0, ys = 0, ascent = 0, descent = 0, points = 0, xsextra = 0;
};
void kxcfgstr_fontstyle(char **tokens, int start, kxfontstyleattr *f);

void kxcfgstr_palettecode(char **tokens, int start, int *code);

struct kxrectattr {
    int x = -1, y = -1, xs = -1, ys = -1;
};
void kxcfgstr_rect(char **tokens, int start, kxrectattr *r);
