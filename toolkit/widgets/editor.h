// The multi-line text editor: a framed white grid of fixed-width character
// cells with a blinking cursor, selection by mouse and keyboard, word-wise
// movement, tab stops, automatic indentation, word wrapping, clipboard
// commands, a context menu and scroll bars when the text does not fit.
//
// The text is a rectangle of lines by columns, one ISO 8859-1 byte per cell,
// a space for an empty cell.  It grows as the user types: ten more columns
// when a line comes near the right edge, one more line before a line is
// inserted.  With word wrapping, byte 255 marks a hard line break (Enter);
// a line without it continues on the next.
#pragma once

#include <string>
#include <vector>

#include "core/scrollbar.h"
#include "core/widget.h"

constexpr int KX_EDIT_BLINK_MS = 250;
constexpr int KX_EDIT_ROOM = 5;          // blank cells a line keeps before the grid widens
constexpr int KX_EDIT_GROWTH = 10;       // columns added at a time
constexpr int KX_EDIT_STEP_LINES = 5;    // scroll steps that bring the cursor back
constexpr int KX_EDIT_STEP_COLUMNS = 10;
constexpr int KX_EDIT_WHEEL_LINES = 3;
constexpr int KX_EDIT_DRAG_STEPS = 10;   // cursor moves per tick of drag scrolling
constexpr int KX_EDIT_MAX_LINES = 10000; // the grid never grows beyond these
constexpr int KX_EDIT_MAX_COLUMNS = 4000;
constexpr int KX_EDIT_MAX_TAB = 100;
constexpr int KX_EDIT_MAX_PASTE = 100000; // bytes of clipboard text taken
constexpr unsigned char KX_EDIT_BREAK = 255;
// Notice to an owner's event hook before a redraw: value 1 for the whole
// editor, 2 (and the line) for one line.
constexpr int KX_EV_EDIT_REDRAW = 2054;
enum : int { KX_EDIT_REDRAW_ALL = 1, KX_EDIT_REDRAW_LINE = 2 };

enum class kxdragscroll { none, up, down, left, right };

struct kxEdit : kxwidget {
    kxScrollBar bar;
    int lines = 0, columns = 0;
    int vlines = 0, vcolumns = 0;  // cells that fit in the area
    int cellw = 1, cellh = 1;
    int curx = 0, cury = 0;        // cursor cell
    int blinkx = -1, blinky = -1;  // where the cursor was last drawn
    int firstx = 0, firsty = 0;    // top-left visible cell
    std::vector<unsigned char> grid;
    int tabwidth = 8;
    int scrollid = 0;              // emitted when the visible part moves
    int anchorx = 0, anchory = 0, endx = 0, endy = 0;
    bool selecting = false, dragging = false, wordmode = false;
    kxdragscroll dragscroll = kxdragscroll::none;
    bool shown = false, cursoron = false;
    int selcolor = 0;
    bool autoindent = false, wordbreak = false, modified = false;

    int baselines = 0, basecolumns = 0;  // the grid's size at creation
    bool hasbar = false;
    int quiet = 0;   // while pasting: no drawing, no notices
    // What the next refresh redraws.
    enum class dirt { none, line, all } dirty = dirt::none;
    int dirtyline = 0;

    kxEdit() = default;
    ~kxEdit();
    kxEdit(const kxEdit &) = delete;
    kxEdit &operator=(const kxEdit &) = delete;

    // Attribute strings hold percent signs ("x=50%"), so no printf checking.
    void create(const char *fmt, ...);
    void destroy();
    // Replaces the whole text; '\n' starts a new line.
    void set_text(const char *text);
    // Lines without their trailing blanks, each ending in "\n" (with word
    // wrapping, soft-wrapped lines joined by one space); trailing line feeds
    // are folded into one.
    std::string get_text() const;
    unsigned char at(int column, int line) const
    {
        return grid[static_cast<std::size_t>(line) * static_cast<std::size_t>(columns) +
                    static_cast<std::size_t>(column)];
    }
    void draw();
    void draw_line(int line);
    static kxarg handler(void *obj, int code, kxarg a0, kxarg a1, kxarg a2, kxarg a3, kxarg a4,
                         kxarg a5, kxarg a6, kxarg a7);
};
