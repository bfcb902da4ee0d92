// The terminal: a character-cell text pane with colours per cell, optional
// scroll-back with a scroll bar, a blinking cursor, word wrapping and a log
// file that receives every printed character.  Text goes through the escape
// decoder, so colour and cursor sequences take effect.  It also reads keys
// and lines, shows the tail of a text file and runs child processes.
//
// The pane is a record people read back.  Scrolled up, it stays where the
// reader is while lines arrive, and a sign in its corner counts the lines
// waiting below; End, Ctrl+End, scrolling to the bottom or a click on the
// sign follow the output again.  The scroll bar stands for the lines that
// exist.  A device cannot hide the record: an erase of the whole screen
// moves what is shown into the history, and the program's own colours are
// always on the pane's background.
//
// The log is written through a buffer that is flushed whenever the terminal
// draws or drawing resumes, so whatever the screen shows is in the file, even
// if the program is killed.  The logs of the five sessions before are kept as
// "<name>.1" (the latest) to "<name>.5".  A log is locked while it is
// written: no other terminal moves or empties it, and one that finds it held
// writes to a name of its own ("quenlorix-2.log" for "quenlorix.log") and
// says so.  With "logutf8" the log is written in UTF-8.  With "logdeferred" the log waits for kxterm_startlog, so that a
// program whose session never starts leaves the earlier logs alone.  When the
// file cannot be written, logging stops and the terminal says so once.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "core/scrollbar.h"
#include "core/widget.h"
#include "graphics/pixmap.h"
#include "io/escape.h"
#include "io/termrows.h"

constexpr int KX_TERM_KEYS = 32;
constexpr int KX_TERM_WORD = 1000;
constexpr int KX_TERM_LOGNAME = 1001;
constexpr std::size_t KX_TERM_LOGBUF = 65536;  // a batch of received lines at least
// Sessions whose logs are kept, and names tried when a log is held.
constexpr int KX_TERM_LOGS_KEPT = 5;
constexpr int KX_TERM_LOGNAMES = 9;
// Sizes an attribute string may ask for; more is cut with a diagnostic.
constexpr int KX_TERM_SCROLLBACK_MAX = 100000;
constexpr int KX_TERM_LINES_MAX = 1000;
constexpr int KX_TERM_COLUMNS_MAX = 2000;
// The mark shown for a character the fonts do not have, or broken UTF-8.
constexpr int KX_TERM_NOGLYPH = 0xBF;
// Lines a notch of the mouse wheel scrolls.
constexpr int KX_TERM_WHEEL_LINES = 3;
// A click this soon after a double click selects the whole line.
constexpr int KX_TERM_TRIPLE_MS = 500;
constexpr int KX_TERM_COLOURS = 16;
constexpr int KX_TERM_BLINK_MS = 250;
constexpr int KX_TERM_NOPOSITION = -999999;
// The colour number of the terminal's own notices (a lost device, a log that
// cannot be written): a dark green-blue, readable on white (5.3:1) and apart
// from the sent (blue) and received (red) colours also for the red-green
// colour-blind.
constexpr int KX_TERM_NOTICE = 10;

// Terminal events beyond the common ones.
enum : int {
    KX_TERM_PUTC = 4001,
    KX_TERM_GETKEY = 4002,
    KX_TERM_GETLINE = 4003,
    KX_TERM_KEYWAITING = 4004,
    KX_TERM_LINES = 4005,
    KX_TERM_COLUMNS = 4006,
    KX_TERM_HOLD = 4009,
    KX_TERM_RESUME = 4010,
    KX_TERM_FOCUS = 4011,
    KX_TERM_RUN = 4012,
    KX_TERM_LOADFILE = 4013,
    KX_TERM_TOP = 4014,
    KX_EV_CHILD_CHAR = 2051,
};

struct kxTerminal : kxwidget {
    kxpxmap background;
    kxAnsiDecoder decoder;
    kxScrollBar bar;
    int scrollback = 0, columns = 80, lines = 25;
    int charw = 6, lineh = 13, visible = 0;
    int cx = 0, cy = 0;  // cursor column and buffer line
    int top = 0;         // first visible buffer line
    int home = 0;        // the buffer line that cursor positions count from
    bool follow = true;  // the view follows the output
    int waiting = 0;     // lines arrived below while it does not
    int sign_x = 0, sign_y = 0, sign_w = 0, sign_h = 0;  // the sign, as drawn
    int clicked = 0;
    bool logging = false;
    bool logdeferred = false;  // the log waits for kxterm_startlog
    char logname[KX_TERM_LOGNAME] = {};
    std::FILE *log = nullptr;
    std::string logbuf;   // what is not in the file yet (the stream has no buffer)
    std::string notices;  // lines to show once printing them disturbs nothing
    bool wordbreak = false, cursor = false, directdraw = false;
    bool drawing = true, held_drawing = true;
    // The selection in buffer lines and columns, from (sel_l0, sel_c0) to
    // (sel_l1, sel_c1) either way round, the cell at the later end not in it.
    bool selection = false;
    int sel_l0 = 0, sel_c0 = 0, sel_l1 = 0, sel_c1 = 0;
    int dragging = 0;              // 1 by characters, 2 by words, 3 by lines
    int anchor_l = 0, anchor_from = 0, anchor_to = 0;  // the word or line it began with
    std::int64_t doubled_at = -1;  // kxsys_ticks of the last double click
    kxTermRows rows;
    std::vector<kxTermCell> open;     // the line being written, as cells
    int openline = -1;                // its buffer line
    int openused = 0;                 // its cells that may not be blank
    std::vector<kxTermCell> scratch;  // a line read for drawing
    int cursor_drawn_x = -1, cursor_drawn_y = 0;
    int fg = 0, bg = 0;
    int deftext = 0x000040;
    std::array<int, KX_TERM_KEYS> keys{};
    int keyread = 0, keywrite = 0, keycount = 0;
    int pointer_x = 0, pointer_y = 0;
    char word[KX_TERM_WORD + 1] = {};
    int wordlen = 0;
    int child = -1;  // process slot while attached
    bool echoing = false;
    int exitcode = 0;
    int puts_depth = 0;
    bool utf8log = false;  // the log is UTF-8 (else ISO 8859-1)
    bool utf8in = false;   // printed text is UTF-8 (else ISO 8859-1)
    int u8need = 0;        // bytes still to come of a UTF-8 character
    char32_t u8char = 0, u8min = 0;
};

// The colour of a colour number 1..15.
int kxterm_palette(int number);

void kxterm_init(kxTerminal *t);
// Builds the terminal from the defaults and the attribute string (a created
// one is destroyed first).  Attribute strings hold percent signs, so no
// printf checking.
int kxterm_create(kxTerminal *t, const char *fmt, ...);
// Unregisters, frees, closes the log and restores the defaults; the ids stay.
void kxterm_destroy(kxTerminal *t);
// Opens the log that "logdeferred" held back (the program's session has
// begun); true when the terminal logs.
bool kxterm_startlog(kxTerminal *t);
void kxterm_printf(kxTerminal *t, const char *fmt, ...) __attribute__((format(printf, 2, 3)));
void kxterm_puts(kxTerminal *t, const char *text);
void kxterm_putc(kxTerminal *t, int ch);
// The program's colour for what it prints next, on the pane's background
// (a background the device chose ends here).
void kxterm_setcolor(kxTerminal *t, int number);
// Prints text as a line of its own in the notice colour (after a line end
// when the cursor is not at the start of a line); the current colour stays.
void kxterm_notice(kxTerminal *t, const char *text);
void kxterm_setfont(kxTerminal *t, int font);
void kxterm_clear(kxTerminal *t);
void kxterm_gotoxy(kxTerminal *t, int column, int line);
void kxterm_settext(kxTerminal *t, const char *text);
int kxterm_bottom(const kxTerminal *t);
// The encoding of the log: UTF-8 (each character of ISO 8859-1 as its
// UTF-8 bytes) or, as by default, ISO 8859-1.
void kxterm_setutf8log(kxTerminal *t, bool on);
// Whether text printed from now on is UTF-8 (received text of a device that
// speaks it).  A character begun before it is turned off goes on when it is
// turned on again; a byte that cannot continue it shows it as the mark.
void kxterm_setutf8input(kxTerminal *t, bool on);
// The buffer lines that exist: the last one written and all before it.
int kxterm_extent(const kxTerminal *t);
// A new size of the pane in pixels (its frame outside, as "xs=" and "ys="
// give it): as many columns and visible lines as fit.  The text stays, cut
// at the right when the columns are fewer; a pane that showed the cursor's
// line keeps it as its last line.  Sizes too small for one cell are ignored.
void kxterm_setsize(kxTerminal *t, int xs, int ys);
int kxterm_getkey(kxTerminal *t);
// Reads a line with echo into buf (count bytes, NUL-terminated); false when
// the program stopped meanwhile.
bool kxterm_getline(kxTerminal *t, char *buf, int count);
bool kxterm_loadfile(kxTerminal *t, const char *name);
bool kxterm_run(kxTerminal *t, const char *fmt, ...) __attribute__((format(printf, 2, 3)));
// The first columns cells of a buffer line (blanks outside the grid).
void kxterm_row(const kxTerminal *t, int line, kxTermCell *cells);
// Selects from one place to the other (buffer lines and columns, either way
// round; the cell at the later end is not in it) and redraws.
void kxterm_select(kxTerminal *t, int line0, int column0, int line1, int column1);
void kxterm_selectall(kxTerminal *t);
void kxterm_unselect(kxTerminal *t);
bool kxterm_selected(const kxTerminal *t, int column, int line);
// The selected text as it is shown: each line without the blanks at its
// end, the lines joined with LF.
std::string kxterm_selectedtext(const kxTerminal *t);
// The word (letters, digits and what joins them) around a cell: columns
// from and to, the cell at to not in it; from == to on a blank.
void kxterm_wordat(const kxTerminal *t, int column, int line, int *from, int *to);
// The selection to the clipboard; false when nothing is selected.  (One
// made with the mouse is offered as the primary selection when the button
// is let go.)
bool kxterm_copy(kxTerminal *t);
// The cell at a column and buffer line (a blank one outside the grid).
kxTermCell kxterm_cell(const kxTerminal *t, int column, int line);
kxarg kxterm_handler(void *obj, int code, kxarg a0, kxarg a1, kxarg a2, kxarg a3, kxarg a4,
                     kxarg a5, kxarg a6, kxarg a7);
