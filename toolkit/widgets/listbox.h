// The list box: text lines in a framed box, one of them selected, with a
// vertical scroll bar of its own when they do not all fit.  A double click
// or Enter reports the choice; "markedlines" shades every other line.
#pragma once

#include <string>
#include <vector>

#include "core/scrollbar.h"
#include "core/widget.h"

constexpr int KX_LISTBOX_LINE = 1000;        // 999 characters and the end
constexpr int KX_LISTBOX_GROWTH = 1000;      // the line table grows in such blocks
constexpr int KX_LISTBOX_STRIPE = 0xEDF3FE;  // even lines with marked lines
constexpr int KX_LISTBOX_MARKSEL = 0x3D80DF; // the selected line with marked lines

struct kxListBox : kxwidget {
    kxScrollBar bar;
    int count = 0;
    int visible = 0;
    int selected = 0;
    int first = 0;
    int lineh = 0;
    std::vector<std::string> lines;
    bool hasbar = false, adding = false, marked = false;

    kxListBox() = default;
    ~kxListBox();
    kxListBox(const kxListBox &) = delete;
    kxListBox &operator=(const kxListBox &) = delete;

    // Attribute strings hold percent signs ("x=50%"), so no printf checking.
    void create(const char *fmt, ...);
    void destroy();
    void add_line(const char *fmt, ...) __attribute__((format(printf, 2, 3)));
    int selected_index() const { return count ? selected : -1; }
    // Copies the selected line out (cut to cap - 1); the selected index.
    int selected_text(char *out, int cap) const;
    void select(int i);
    int right_edge() const { return geom.x + geom.xs; }
    void draw();
    static kxarg handler(void *obj, int code, kxarg a0, kxarg a1, kxarg a2, kxarg a3, kxarg a4,
                         kxarg a5, kxarg a6, kxarg a7);
};
