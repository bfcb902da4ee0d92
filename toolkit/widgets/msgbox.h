// The message box: a short text in a small modal window with an information
// icon and an "OK" button.  The call returns when the user dismisses it; the
// program's own ids that arrive meanwhile are discarded.
#pragma once

// The formatted text is shown as it is (a percent sign in it stays).  Once
// the program is ending (kxapp_ending) no box is shown and the call returns
// at once; a box open when the end is asked for is closed with the windows.
void kxmsgbox(const char *fmt, ...) __attribute__((format(printf, 1, 2)));

// The information box behind five presses of F12.
void kxmsgbox_info();

// The 29 x 29 icon (in-memory XPM).
extern const char *const kxmsgbox_icon[];
