// Start and end of a toolkit program: command line, toolkit initialisation,
// the application's main function, and the exit sequence with its close and
// clean-up lists and the toolkit's temporary files.
#pragma once

#include <cstddef>

#include "graphics/pixmap.h"

constexpr int KX_MAX_ARGS = 500;
constexpr int KX_MAX_CLOSE_FUNCS = 100;
constexpr int KX_MAX_CLEANUP_FUNCS = 100;
constexpr int KX_PROGRAM_DIR_SIZE = 300;  // 299 characters and the NUL

using kxmainfn = int (*)();
using kxexitfn = void (*)();

// The host entry point: keeps the words of argv (argument 0 stays empty),
// initialises the toolkit, runs main, keeps pumping while a window it left
// open is still there, and ends with the exit sequence.  The result is the
// process's exit code.
int kxapp_start(int argc, char **argv, kxmainfn main);
// The same for a command line given as one string.
int kxapp_start_cmdline(const char *cmdline, kxmainfn main);
// A program's entry point: kxapp_start_cmdline with the host's command line
// where the host hands programs one string (Win32), else kxapp_start.
int kxapp_start_host(int argc, char **argv, kxmainfn main);
// Only the first step of kxapp_start_host: the argument list as the host
// gives it, for a program that reads its own options before it starts.
void kxapp_sethostargs(int argc, char **argv);

// Splits a command line into the argument list (argument 0 empty, at most
// KX_MAX_ARGS entries).
void kxapp_setargs(const char *cmdline);
int kxapp_argc();
// The argument list, ending with a null entry.
char **kxapp_argv();
// The program's directory (its path up to the last slash).
const char *kxapp_programdir();

// Toolkit initialisation without running a main function (tests, tools).
bool kxapp_init();

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
