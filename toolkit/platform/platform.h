// The one door to the host.  Everything the toolkit needs from the machine it
// runs on (windows and input, showing pixmaps, time, the base tick, serial
// devices, clipboard, child processes, temporary files) is declared here and
// nowhere else; portable modules include no host headers.
//
// Two display hosts sit behind these calls on Linux and are chosen at start:
// "x11" (the default when DISPLAY is set) and "headless" (KX_HOST=headless),
// which keeps every window's pixmap in memory and takes injected input.
// Time, the base tick, serial devices and processes are POSIX for both.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/widget.h"
#include "graphics/pixmap.h"

// ---------------------------------------------------------------- host choice

// Picks and opens the host: KX_HOST ("x11" or "headless") wins, else x11 when
// DISPLAY is set, else headless.  Prints one line and returns false when the
// chosen host cannot start (for x11: "cannot open display").
bool kxplatform_init();
// Closes the host; windows still open are forgotten.
void kxplatform_exit();
// "x11", "headless", or "" before kxplatform_init.
const char *kxplatform_hostname();

// ---------------------------------------------------------- windows and input

constexpr int KX_MAX_HOST_WINDOWS = 1000;
constexpr int KX_TITLE_SIZE = 1024;

// One per toolkit window: the host window, where its events go, and the
// window pixmap (server format, client width x height).
struct kxllgui_window {
    std::uintptr_t handle = 0;  // host handle; 0 = none
    kxhandler handler = nullptr;
    void *object = nullptr;
    std::uint8_t created = 0;
    std::uint8_t hidden = 0;  // nothing is copied to the screen while set
    char title[KX_TITLE_SIZE] = {};
    kxpxmap pixmap;
    int x = 0, y = 0, width = 0, height = 0;  // position and outer size at creation
};

// Window style flags of kxplatwin_create.
struct kxwinstyle {
    bool sysmenu = true;
    bool maximizebox = true;
    bool fullscreen = false;
    bool modal = false;
    bool noresize = false;
    bool popup = false;
};

// Creates and shows the host window (x = -1 places it at the work area's
// top-left) and allocates its pixmap of width x height.
bool kxplatwin_create(kxllgui_window *w, kxhandler handler, void *object, int x, int y, int width,
                      int height, const char *title, const kxwinstyle &style);
void kxplatwin_destroy(kxllgui_window *w);
// Copies a rectangle of the window pixmap to the screen; xs 0 (ys 0) means
// the whole width (height).  Nothing while hidden, nor while the toolkit is
// building a page unless forced.
void kxplatwin_blit(kxllgui_window *w, int x, int y, int xs, int ys, int sx, int sy, bool force);
int kxplatwin_screen_x(const kxllgui_window *w);
int kxplatwin_screen_y(const kxllgui_window *w);
void kxplatwin_grab(kxllgui_window *w);
void kxplatwin_ungrab(kxllgui_window *w);
void kxplatwin_tray_restore(kxllgui_window *w);

// "hand" or "standard"; other names are ignored.
void kxsys_cursor(const char *name);
// Named screen metric ("screenxs", "maxwindowys", ...); unknown names print
// "get setting: %s" and give 0.
int kxsys_metric(const char *name);
// Named system colour 0xRRGGBB, or -1 where the toolkit's default applies.
int kxsys_syscolor(const char *name);
int kxsys_colordepth();
// Bit set of held modifiers: 1 Shift, 2 Alt, 4 Ctrl.
int kxsys_modifiers();
enum : int { KX_MOD_SHIFT = 1, KX_MOD_ALT = 2, KX_MOD_CTRL = 4 };
// Fonts of the host system: not available; prints what was asked and gives 0.
int kxfont_loadfromsystem(const char *face, int points, int xs, int ys, int bold, int italic,
                          int underlined, int ascent, int descent);
// The program's own path with forward slashes.
void kxsys_module_path(char *buf, std::size_t size);
// The command line after the program's name, where the host hands programs
// one string that the toolkit splits itself (Win32); null where the words
// of argv are the arguments.
const char *kxsys_cmdline();

// Takes one waiting host message, translates it and hands it to its window;
// false when none was waiting.
bool kxhost_dispatch();
// Sleeps up to ms milliseconds; returns early when host input arrives.
void kxhost_wait(int ms);

// ------------------------------------------------------------------ time

// Sleeps microseconds / 1000 milliseconds.
void kxsys_sleep(long microseconds);
// Milliseconds since an arbitrary fixed point; never goes backwards.
std::int64_t kxsys_ticks();
// Today's date in local time: year (2007), month 1 to 12, day 1 to 31.
void kxsys_today(int *year, int *month, int *day);
// The local date and time as "Mon Dec 07 21:14:14 2026".
void kxsys_datetime(char *buf, std::size_t size);

// The base tick: callback(periods) is told how many whole periods of
// period_ms have passed since its last call (0 when it is only asked again)
// and answers after how many periods from there it wants the next call (0:
// at once, something is due).  POSIX hosts count in kxsys_timer_catchup and
// end their waits at the wanted period, so a waiting program sleeps through
// periods in which nothing is due; the Win32 multimedia timer calls back on
// its own thread every period with 1 and does not heed the answer.  The
// callback must only touch atomics (and may call kxsys_wake).
using kxtickfn = int (*)(int periods);
int kxsys_timer_minperiod();
bool kxsys_timer_start(int period_ms, kxtickfn callback);
void kxsys_timer_stop();
// Calls back at once with the periods passed since the last call and takes
// its new answer; the pump calls it as it delivers ticks and when timers
// change.
void kxsys_timer_catchup();
// Ends the current or next kxhost_wait early; callable from any thread.
void kxsys_wake();
// Sleeps until kxsys_wake is called, the base tick wants its next call,
// bytes arrive on a serial device that was read empty, or ms have passed.
void kxsys_waitwake(int ms);

// ------------------------------------------------------------ serial devices

// Slots 0..255.  "COMn" names a file or link COMn in the working directory,
// else COMn in the directory $KX_SERIAL_DIR, else /dev/ttyS<n-1>.  The open
// is exclusive and fails when the driver refuses the line settings (raw,
// 8N1, no flow control, DTR and RTS up) or the baud rate.
constexpr int KX_SERIAL_SLOTS = 256;
bool kxserial_openname(const char *name, int slot, int baud);
// Opens "COM<slot+1>".
bool kxserial_open(int slot, int baud);
bool kxserial_configure(int slot);
bool kxserial_settimeouts(int slot);
// The next received byte 0..255, or -1 at once when none has arrived.
int kxserial_getc(int slot);
// Waits up to 2 s for room; false when the byte could not be written.
bool kxserial_putc(int slot, int byte);
void kxserial_close(int slot);
bool kxserial_isopen(int slot);
// True once after bytes have arrived on a slot that was read empty: where
// the host can watch its devices (POSIX), a waiting program wakes for them,
// and the pump asks this to tell the reader.  Win32 polls: always false.
bool kxserial_arrived(int slot);

// --------------------------------------------------- clipboard and processes

void kxclip_puttext(const char *text);
// The clipboard's text, or null; valid until the next call.
const char *kxclip_gettext();

// Children run "/bin/sh -c cmdline" with their standard input, output and
// error on pipes.  The pump polls them: output goes to
// handler(owner, KX_EV_CHILD_OUTPUT, text) in pieces of at most
// KX_CHILD_PIECE bytes, then handler(owner, KX_EV_CHILD_EXIT, code) once the
// child has ended and all its output has been delivered (a child killed by
// a signal ends with 128 + the signal number).
constexpr int KX_MAX_CHILDREN = 100;
constexpr int KX_CHILD_PIECE = 19001;
// Starts a child; its slot 0..99, or -1 when none is free or the start failed.
int kxprocess_run(kxhandler handler, void *owner, const char *cmdline, bool hidden);
// Writes the whole text to the child's standard input, waiting up to 2 s
// for the child to take it.
bool kxprocess_write(int slot, const char *text);
void kxprocess_poll();
// Count of slots in use.
int kxprocess_running();

// ----------------------------------------------------------- temporary files

// The system's temporary directory, with forward slashes and no trailing one.
const char *kxsys_tempdir();
// Creates a new empty file "<tempdir>/kxtmpXXXXXX" and writes its name into
// path; false when none could be made.
bool kxsys_tempfile(char *path, std::size_t size);

// ------------------------------------------------------- server bitmaps

// The pixels of a server pixmap live in client memory as 0x00RRGGBB words
// (the layout the X server and the headless screen take directly), with an
// optional mask that is 0xFFFFFF where transparent.
struct kxserverbitmap;

kxserverbitmap *kxserver_create(int width, int height);
void kxserver_free(kxpxmap *p);
bool kxserver_fromtruecolor(kxpxmap *p);
bool kxserver_frompalette8(kxpxmap *p);
bool kxserver_totruecolor(kxpxmap *p);
void kxserver_merge(kxpxmap *dst, const kxpxmap *src, int dx, int dy, int width, int height, int sx,
                    int sy);
bool kxserver_fillrect(kxpxmap *p, int x, int y, int width, int height);
void kxserver_setpixel(kxpxmap *p, int x, int y);
int kxserver_getpixel(const kxpxmap *p, int x, int y);
void kxserver_setpixels(kxpxmap *p, int count, const int *xs, const int *ys, int colour);
bool kxserver_line(kxpxmap *p, int x0, int y0, int x1, int y1, int colour);
bool kxserver_circle(kxpxmap *p, int cx, int cy, int r, int colour);
void kxserver_setcolour(int colour);
// Read access for hosts and tests: row-major 0x00RRGGBB words, and the mask
// (null when the bitmap has none).
const std::uint32_t *kxserver_pixels(const kxpxmap *p);
const std::uint32_t *kxserver_mask(const kxpxmap *p);
// How often the cached brush and pen were made (they are remade only when
// the colour changes).
int kxserver_brushes_made(const kxpxmap *p);
int kxserver_pens_made(const kxpxmap *p);

// The screen format draws nothing on these hosts: windows show their server
// pixmaps instead.
void kxscreen_init();
void kxscreen_fillrect(int x, int y, int width, int height, int colour);
void kxscreen_setpixel(int x, int y, int colour);
void kxscreen_setpixels(int count, const int *xs, const int *ys, int colour);
void kxscreen_line(int x0, int y0, int x1, int y1, int colour);
void kxscreen_blit(const kxpxmap *src, int dx, int dy, int sx, int sy, int width, int height);
