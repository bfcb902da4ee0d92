// Start and end of a toolkit program, the core's part: command line, the
// core's initialisation, the run of the application's main function, and the
// exit sequence with its close and clean-up lists and the toolkit's
// temporary files.  A program's entry points are kx9d.h.
#pragma once

#include <cstddef>

#include "graphics/pixmap.h"

constexpr int KX_MAX_ARGS = 500;
constexpr int KX_MAX_CLOSE_FUNCS = 100;
constexpr int KX_MAX_CLEANUP_FUNCS = 100;
constexpr int KX_PROGRAM_DIR_SIZE = 300;  // 299 characters and the NUL

using kxmainfn = int (*)();
using kxexitfn = void (*)();

// Runs init, then main, keeps pumping while a window main left open is still
// there, and ends with the exit sequence (also when init fails).  The result
// is the process's exit code.
int kxapp_run(kxmainfn main, bool (*init)());

// Standard output carries the toolkit's one-line diagnostics: from this call
// on each line reaches its file or pipe when it is printed, not at exit, so
// that a program started from a menu or with "> file" and then killed
// leaves them all.  The start of every program (the argument list's
// setting, kxapp_initcore) makes it before anything is printed; done again
// it changes nothing.
void kxapp_linebuffer();
// Splits a command line into the argument list (argument 0 empty, at most
// KX_MAX_ARGS entries).
void kxapp_setargs(const char *cmdline);
// Takes the words of argv instead (argument 0 stays empty).
void kxapp_setwords(int argc, char **argv);
int kxapp_argc();
// The argument list, ending with a null entry.
char **kxapp_argv();
// The program's directory (its path up to the last slash).
const char *kxapp_programdir();

// The initialisation of the floors up to this one: the close list emptied,
// the builtin fonts, the program's directory, the platform layer and the GUI
// colours.  False when the platform layer cannot start.
bool kxapp_initcore();

// The program's name and icon for the desktop, for the windows made after
// the call.  The class (X11's WM_CLASS) is "Kx9d" unless set; the icon is
// the toolkit's own (kxapp_defaulticon) unless the program gives one, at
// most KX_APP_ICON_MAX pixels square, a palette picture's entry 255 being
// transparent.
constexpr int KX_APP_ICON_MAX = 256;
void kxapp_setclass(const char *name);
bool kxapp_seticon(const kxpxmap *icon);
// Draws the toolkit's icon into p (truecolor, 32 x 32).
void kxapp_defaulticon(kxpxmap *p);

// Functions run by the exit sequence, in registration order.
void kxapp_atclose(kxexitfn fn);
void kxapp_atcleanup(kxexitfn fn);
void kxapp_setexitcallback(kxexitfn fn);
// Runs the exit sequence once; with terminate the process ends with code.
void kxapp_exit(int code, bool terminate);
int kxapp_exitcode();

// Creates a temporary file that the exit sequence deletes.
bool kxapp_tempfile(char *path, std::size_t size);

// Count of open windows, kept by the window module.
void kxapp_window_opened();
void kxapp_window_closed();
int kxapp_windows_open();

// The toolkit's version, the project version of its build.
const char *kxapp_version();
// The text of the toolkit's information box.
const char *kxapp_infotext();
