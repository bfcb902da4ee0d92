// Inside the editor: the grid of cells and the operations on it that the
// editor's files share.  Columns and lines passed in are valid grid cells
// unless a function says otherwise.
#pragma once

#include <string>

#include "widgets/editor.h"

// ---- cells ----------------------------------------------------------------

unsigned char *kxedit_row(kxEdit *e, int line);
// A space, and with word wrapping the break marker.
bool kxedit_blank(const kxEdit *e, unsigned char c);
bool kxedit_separator(const kxEdit *e, unsigned char c);
// The column after the last non-blank cell of the line (0 for a blank line).
int kxedit_textend(const kxEdit *e, int line);
// The same with the break marker counted as text.
int kxedit_extent(const kxEdit *e, int line);
// The last line holding text, 0 when there is none.
int kxedit_lastline(const kxEdit *e);
// Removes n cells at column from the line; blanks enter at its end.
void kxedit_cutcells(kxEdit *e, int line, int column, int n);
// Shifts the line right by n cells from column on (cells pushed past the
// end are lost) and fills the gap with spaces.
void kxedit_opencells(kxEdit *e, int line, int column, int n);

// ---- size and layout ------------------------------------------------------

// Visible lines and columns and the bars a grid of that size needs.
struct kxeditfit {
    int vlines = 0, vcolumns = 0;
    bool vbar = false, hbar = false;
};
kxeditfit kxedit_fit(const kxEdit *e, int lines, int columns);
// Fits the area to the grid, rebuilds the scroll bars and keeps the first
// visible cell in range.
void kxedit_layout(kxEdit *e);
// Grows the grid, keeping its text, to at least columns (in steps of
// KX_EDIT_GROWTH); false when the limit keeps it narrower.
bool kxedit_widen(kxEdit *e, int columns);
// Makes room for a blank line after the given line; false when the grid
// is full and its last line holds text.
bool kxedit_insertline(kxEdit *e, int after);
// Removes n lines from the given one on; the grid shrinks while it has more
// lines than it shows.
void kxedit_removelines(kxEdit *e, int line, int n);

// ---- selection ------------------------------------------------------------

bool kxedit_hasselection(const kxEdit *e);
bool kxedit_selected(const kxEdit *e, int column, int line);
void kxedit_clearselection(kxEdit *e);
// The selected text as copy puts it on the clipboard.
std::string kxedit_selectedtext(const kxEdit *e);
// Removes the selected cells and puts the cursor where they began.
void kxedit_deleteselection(kxEdit *e);

// ---- the visible part -----------------------------------------------------

// Scrolls in steps until the cursor is visible; true when anything moved.
bool kxedit_keepvisible(kxEdit *e);
// Moves the first visible cell (limited); true when it moved.
bool kxedit_scrollto(kxEdit *e, int firstx, int firsty);
void kxedit_setbarpos(kxEdit *e);
void kxedit_emitscroll(kxEdit *e);
// The change id (editor_keys.cpp); neither while pasting.
void kxedit_emitchange(kxEdit *e);
// Marks a line, or everything, for the next refresh.
void kxedit_touch(kxEdit *e, int line);
void kxedit_touchall(kxEdit *e);
// Redraws what was marked and shows the cursor anew.
void kxedit_refresh(kxEdit *e);

// ---- editing (editor_keys.cpp) ---------------------------------------------

void kxedit_keydown(kxEdit *e, int key);
void kxedit_type(kxEdit *e, int c);
void kxedit_selectall(kxEdit *e);
void kxedit_copy(kxEdit *e);
void kxedit_cut(kxEdit *e);
void kxedit_paste(kxEdit *e);
// Moves the cursor; with extend the selection follows it, else it goes.
void kxedit_moveto(kxEdit *e, int column, int line, bool extend);
// The word around a cell as columns [from, to).
void kxedit_wordat(const kxEdit *e, int column, int line, int *from, int *to);
void kxedit_contextmenu(kxEdit *e);
