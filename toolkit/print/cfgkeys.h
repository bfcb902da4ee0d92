// The attribute keys of page output: resolution, paper, orientation,
// margins and colour depth.
#pragma once

struct kxprintattr {
    int dpi = 300, xdpi = 0, ydpi = 0;  // 0 = take dpi
    int paper = 0;                      // paper code, 0 = none given
    bool landscape = false, truecolor = false;
    double top = 0.0, bottom = 0.0, left = 0.0, right = 0.0;  // points
};
void kxcfgstr_print(char **tokens, int start, kxprintattr *p);
