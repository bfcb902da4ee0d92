// The one door to the host.  Everything the toolkit needs from the machine it
// runs on (windows and input, showing pixmaps, time, the base tick, serial
// devices, clipboard, child processes, temporary files) is declared here and
// nowhere else; portable modules include no host headers.
//
// Every host provides every entry and keeps what its comment here promises,
// so that a program behaves the same on each.  The hosts are "headless"
// (every window's pixmap in memory, injected input; on every system), "x11"
// on Linux and "win32" on Windows; beside the display, Linux has POSIX time,
// serial devices and processes under both of its display hosts.  Duties that
// are the same everywhere (the window table and procedure, the slots and
// delivery of child processes, the merges of server pixmaps) have one shared
// front in this folder over a few primitives of each host.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "base/protocol.h"
#include "platform/pxrecord.h"

// ---------------------------------------------------------------- host choice

// Picks and opens the host: KX_HOST ("x11" or "headless") wins, else x11.
// Prints one line and returns false when the chosen host cannot start (for
// x11: "cannot open display"), and when neither DISPLAY nor KX_HOST is set:
// a program never starts on the invisible headless screen unless asked to.
bool kxplatform_init();
// The host the next kxplatform_init opens, in place of KX_HOST's: a program
// that runs without a window asks for "headless".  "" returns to KX_HOST.
void kxplatform_sethost(const char *name);
// Closes the host; windows still open are forgotten.
void kxplatform_exit();
// "x11", "headless", or "" before kxplatform_init.
const char *kxplatform_hostname();

// ------------------------------------------------------------------ scale

// Windows are shown at a whole-number scale: the toolkit draws into their
// pixmaps at their logical size and the host copies each pixel to the
// screen as an N x N block.  Everything the toolkit sees (mouse positions,
// window and screen sizes, the work area) is in logical pixels.
constexpr int KX_SCALE_MAX = 4;
constexpr int KX_SCALE_DPI_STEP = 96;  // dots per inch of one step
// The scale new windows get, fixed at kxplatform_init: KX_SCALE=N where
// set, else the desktop's (X11: GDK_SCALE, else Xft.dpi of the X
// resources; Win32: the screen's DPI), else 1.
int kxplatform_scale();
// A scale given as text (the value of the variable name): 1..4; a number
// outside is brought into that range, text that is no number gives 0; both
// print one line.
int kxscale_parse(const char *name, const char *text);
// One step per 96 dots per inch, rounded down, 1..4; 0 for no figure.
int kxscale_fromdpi(double dpi);
// The scale an X resource text asks for with its Xft.dpi line; 0 without one.
int kxscale_fromresources(const char *resources);

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
    // Screen pixels per pixmap pixel; a host may change it (Win32, when the
    // window moves to a screen of another DPI).
    int scale = 1;
    // The pixmap never gets smaller than this, whatever size the host gives
    // the window: a fixed window's own size, a resizable one's lower limits.
    // The screen then shows the pixmap's top-left part.
    int minwidth = 0, minheight = 0;
};

// Window style flags of kxplatwin_create.
struct kxwinstyle {
    bool sysmenu = true;
    bool maximizebox = true;
    bool fullscreen = false;
    bool modal = false;
    bool noresize = false;
    bool popup = false;
    // Lower limits of a resizable window's client size (0: none).
    int minwidth = 0, minheight = 0;
};

// Creates and shows the host window (x = -1 places it at the work area's
// top-left) and allocates its pixmap of width x height.  A new size from
// the host reaches handler as KX_EV_RESIZE with the pixmap's new size: the
// pixmap keeps its pixels where the old and new sizes overlap.
bool kxplatwin_create(kxllgui_window *w, kxhandler handler, void *object, int x, int y, int width,
                      int height, const char *title, const kxwinstyle &style);
void kxplatwin_destroy(kxllgui_window *w);
// Gives the window another title.
void kxplatwin_settitle(kxllgui_window *w, const char *title);
// Copies a rectangle of the window pixmap to the screen; xs 0 (ys 0) means
// the whole width (height).  Nothing while hidden, nor while held unless
// forced.
void kxplatwin_blit(kxllgui_window *w, int x, int y, int xs, int ys, int sx, int sy, bool force);
// Holds back (or lets through again) the copies of every window: the toolkit
// holds them while it builds a page.
void kxplatwin_hold(bool held);
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
// false when none was waiting.  The host's requests to end the program
// (SIGTERM, SIGHUP and SIGINT on POSIX; Ctrl+C, Ctrl+Break and the closing
// console on Win32) and the loss of the display come as the close of every
// window, so that the program ends the way it ends when the user closes its
// windows.  Once the display is lost and its closes are delivered, nothing
// more comes and kxhost_lost is true.
bool kxhost_dispatch();
bool kxhost_lost();
// True once such a close of every window was delivered: from then on a
// window's close must end the program, and nobody will answer a question
// (the desktop that sent SIGTERM at logout kills the program soon after).
bool kxhost_ended();
// Sleeps up to ms milliseconds; returns early when host input arrives.
void kxhost_wait(int ms);

// The program's name for the desktop: the class of its windows (X11's
// WM_CLASS; "Kx9d" unless set) and its icon, as rows of 0xAARRGGBB words
// (the toolkit's own unless set).  Both apply to windows made afterwards.
void kxplatform_setclass(const char *name);
const char *kxplatform_class();
void kxplatform_seticon(int width, int height, const std::uint32_t *argb);
bool kxplatform_icon(int *width, int *height, const std::uint32_t **argb);

// ------------------------------------------------------------------ time

// Sleeps microseconds / 1000 milliseconds.
void kxsys_sleep(long microseconds);
// Milliseconds since an arbitrary fixed point; never goes backwards.
std::int64_t kxsys_ticks();
// Today's date in local time: year (2007), month 1 to 12, day 1 to 31.
void kxsys_today(int *year, int *month, int *day);
// The local date and time as "Mon Dec 07 21:14:14 2026".
void kxsys_datetime(char *buf, std::size_t size);
// The local time of day in milliseconds since midnight (0 .. 86399999).
int kxsys_daytime_ms();

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
// bytes arrive that a serial device's reader is to come for
// (kxserial_arrived), or ms have passed.  Every open device's bytes are
// read as they arrive, also those of a trickle that does not end the wait.
void kxsys_waitwake(int ms);

// ------------------------------------------------------------ serial devices

// Slots 0..255; slot n-1 is port n, the device named "COMn".  A name "COMn"
// stands for the path bound to port n (kxserial_bind), else for the host's
// own: on POSIX a file or link COMn in the working directory, else COMn in
// the directory $KX_SERIAL_DIR, else /dev/ttyS<n-1>; on Win32 the system's
// COMn.  Any other name is the device's path.  On every host the open is
// exclusive and fails when the driver refuses the line settings (raw, and
// the slot's framing: by default 8N1, no flow control, DTR and RTS up) or
// the baud rate.  A device that vanishes while open (unplugged, hung up) is
// closed, and its status says so.
//
// A path "tcp://host:port" is a serial server's port over TCP, bytes both
// ways and nothing else; "rfc2217://host:port" one that speaks the Telnet
// COM-PORT-OPTION, through which the line settings and the rate reach the
// server's device.  The host may be a name, an IPv4 address or an IPv6
// address in brackets.  A connection the server closes, resets or lets go
// silent (TCP keepalive) is a lost device.
constexpr int KX_SERIAL_SLOTS = 256;
constexpr int KX_SERIAL_PATH = 1024;
constexpr int KX_SERIAL_TEXT = 256;
constexpr int KX_SERIAL_WRITE_WAIT_MS = 2000;
// How long an open waits for a server to accept the connection, and then
// for its answers to the line settings.
constexpr int KX_SERIAL_CONNECT_MS = 5000;
constexpr int KX_SERIAL_ANSWER_MS = 2000;

// Why the last open, read or write of a slot failed.
enum class kxserialfault : std::uint8_t {
    none,
    missing,  // there is no device at the path
    access,   // no permission; detail: the device's group when it grants access
    busy,     // another program holds it; detail: "name (PID n)" where known
    rate,     // the driver refused the baud rate
    setting,  // the driver refused the line settings; detail: the system's message
    lost,     // the open device vanished; detail: the system's message, if any
    timeout,  // a write found no room for KX_SERIAL_WRITE_WAIT_MS
    system,   // anything else; detail: the system's message
    unresolved,  // a server's name that does not resolve; detail: the name
    refused,     // the server refused the connection
    unanswered,  // the server did not accept it within KX_SERIAL_CONNECT_MS
    protocol,    // the server does not speak RFC 2217
    answered,    // the server refused or changed a setting; detail: its answer
};

// How an open port was lost, where the host knows more than that it went.
enum class kxserialloss : std::uint8_t {
    gone,    // the device vanished
    closed,  // the server closed or reset the connection
    silent,  // the server stopped answering (TCP keepalive, unacknowledged data)
};

struct kxserialstatus {
    kxserialfault fault = kxserialfault::none;
    kxserialloss loss = kxserialloss::gone;  // with fault lost
    int baud = 0;                        // of the last open
    char path[KX_SERIAL_PATH] = {};      // the device the last open resolved to
    char detail[KX_SERIAL_TEXT] = {};
};

// What a name stands for now: the device's path (links followed as far as
// they go) and, for a USB adapter, its stable name in /dev/serial/by-id.
struct kxserialdevice {
    bool present = false;
    char path[KX_SERIAL_PATH] = {};
    char byid[KX_SERIAL_PATH] = {};
};

bool kxserial_openname(const char *name, int slot, int baud);
// Opens "COM<slot+1>".
bool kxserial_open(int slot, int baud);
// Opens again, at the same rate, the name the slot's last good open took:
// the same binding, link or path, its links followed anew (so a by-id link
// finds its adapter under a new name), never another step of the lookup,
// which could answer with another device.  False when the slot never opened.
bool kxserial_reopen(int slot);
bool kxserial_configure(int slot);
bool kxserial_settimeouts(int slot);
// The next received byte 0..255, or -1 at once when none has arrived (or the
// device has gone: then the slot is closed and its status is lost).  Where
// the host's waits watch the open devices (POSIX), bytes are taken from the
// driver as they arrive and kept for this, so that a device that vanishes
// takes none of what it sent with it.
int kxserial_getc(int slot);
// Waits up to KX_SERIAL_WRITE_WAIT_MS for room; false when the byte could
// not be written (the status says why).
bool kxserial_putc(int slot, int byte);
void kxserial_close(int slot);
bool kxserial_isopen(int slot);
// The slot's last failure and the device its last open resolved to; fault
// none after a good open.  Null for a slot outside the table.
const kxserialstatus *kxserial_status(int slot);
// Binds port slot+1 to a path, looked up before the host's names; a null or
// empty path removes the binding.
void kxserial_bind(int slot, const char *path);
// What opening port slot+1 would open now (a server's URL as it is: whether
// the server is there only a connection tells).
kxserialdevice kxserial_device(int slot);
// True once after bytes have arrived on a slot that was read empty and that
// the reader is to come for now (an answer after a quiet spell, a flood, a
// full read-ahead, or the device's loss; a steady trickle waits for the
// reader's own rhythm): where the host can watch its devices (POSIX), the
// pump asks this to tell the reader.  Win32 polls: always false.
bool kxserial_arrived(int slot);

// ------------------------------------------- serial framing and control lines

// How a port frames its bytes and what its control lines do.  The default
// is what every port had before it could be chosen: 8 data bits, no
// parity, one stop bit, no flow control, DTR and RTS raised at open.
enum class kxparity : std::uint8_t { none, odd, even, mark, space };
enum class kxflow : std::uint8_t { none, rtscts, xonxoff };
constexpr int KX_SERIAL_DATABITS_MIN = 5;
constexpr int KX_SERIAL_DATABITS_MAX = 8;

struct kxserialline {
    int databits = 8;  // 5..8
    kxparity parity = kxparity::none;
    int stopbits = 1;  // 1 or 2 (with 5 data bits, 2 means 1.5 on the wire)
    kxflow flow = kxflow::none;
    bool dtr = true;  // the lines' state at open
    bool rts = true;
    bool operator==(const kxserialline &) const = default;
};

// The lines a program drives (BREAK holds the data line at space) and the
// ones it reads.
enum class kxcontrol : std::uint8_t { dtr, rts, brk };
struct kxmodemlines {
    bool cts = false, dsr = false, dcd = false, ri = false;
    bool operator==(const kxmodemlines &) const = default;
};
// What a control-line call did: nolines for a device that has none (a
// pseudo-terminal), failed with the slot's status saying why.
enum class kxlinecall : std::uint8_t { done, nolines, failed };

// The line of port slot+1 from its next open on.  A refused line fails the
// open as a refused rate does (fault setting, the detail names the setting).
void kxserial_setline(int slot, const kxserialline &line);
kxserialline kxserial_line(int slot);
// The framing and flow control the driver keeps since the slot was last
// configured: where it differs from kxserial_line, the driver changed the
// setting without refusing it.  DTR and RTS are as asked.
kxserialline kxserial_keptline(int slot);
// Takes a new rate and line on the open device.  False when the driver
// refuses either: the status says why, and the device goes on with the
// rate and line it had.
bool kxserial_reconfigure(int slot, int baud, const kxserialline &line);
// Raises or drops DTR or RTS, or starts or ends a BREAK.
kxlinecall kxserial_control(int slot, kxcontrol line, bool on);
// The input lines as the device shows them now.
kxlinecall kxserial_modemlines(int slot, kxmodemlines *lines);

// --------------------------------------------------- clipboard and processes

void kxclip_puttext(const char *text);
// Offers text as the primary selection on hosts that have one (X11).
void kxclip_putprimary(const char *text);
// The clipboard's text, or null; valid until the next call.
const char *kxclip_gettext();

// Children run cmdline ("/bin/sh -c cmdline" on POSIX, the command line of a
// new process on Win32) with their standard input, output and error on
// pipes.  The pump polls them without blocking: output goes to
// handler(owner, KX_EV_CHILD_OUTPUT, text) in pieces of at most
// KX_CHILD_PIECE bytes, standard output first, then
// handler(owner, KX_EV_CHILD_EXIT, code) once the child has ended and all
// its output has been delivered (on POSIX a child killed by a signal ends
// with 128 + the signal number).
constexpr int KX_MAX_CHILDREN = 100;
constexpr int KX_CHILD_PIECE = 19001;
constexpr int KX_CHILD_WRITE_WAIT_MS = 2000;
// Starts a child; its slot 0..99, or -1 when none is free or the start failed.
int kxprocess_run(kxhandler handler, void *owner, const char *cmdline, bool hidden);
// Writes the whole text to the child's standard input, waiting up to
// KX_CHILD_WRITE_WAIT_MS for the child to take it; false when it did not
// take all of it in that time or has gone.
bool kxprocess_write(int slot, const char *text);
// The slot's output and exit reach its handler no more (its owner is going);
// the child runs on, and its slot is freed when it ends.
void kxprocess_detach(int slot);
void kxprocess_poll();
// Count of slots in use.
int kxprocess_running();

// ------------------------------------------------------------------ files

// Forces the bytes of an open stream onto the device; false when the device
// reports a failure (errno tells it).
bool kxsys_syncfile(std::FILE *f);
// Makes the latest changes of a directory's entries (a rename) last.
bool kxsys_syncdir(const char *dir);

// Opens a file for appending (made when missing) and takes its lock: while
// one stream holds it, every other kxsys_openlocked of the same file, in this
// process or another, is refused.  The lock goes with the stream and ends
// when it is closed or the program ends, however it ends.  The file stays
// readable by others, and the holder may rename it while it is open; a name
// that another holder gave to another file meanwhile is opened anew, so the
// lock is always on the file the name names.  A name that is no plain file
// (a device) is opened without a lock.  Null with *held set when another
// holds the lock; null with *held clear when the file cannot be opened
// (errno tells why).
std::FILE *kxsys_openlocked(const char *name, bool *held);

// ----------------------------------------------------------- temporary files

// The system's temporary directory, with forward slashes and no trailing one.
const char *kxsys_tempdir();
// Creates a new empty file "<tempdir>/kxtmpXXXXXX" and writes its name into
// path; false when none could be made.
bool kxsys_tempfile(char *path, std::size_t size);

// The user's folder for the data of programs, with forward slashes: on POSIX
// $XDG_DATA_HOME when it is absolute, else $HOME/.local/share; on Win32
// %APPDATA%.  "" when the environment names none.
const char *kxsys_datadir();

// ------------------------------------------------------- server bitmaps

// A server pixmap's pixels are the host's: 0x00RRGGBB words in client memory
// that the X server and the headless screen take directly, a GDI bitmap on
// Win32.  Every host gives the same results: transparent pixels of a merged
// palette8 or masked source leave the destination as it was (an AND mask,
// 0xFFFFFF where transparent, then an OR of the colours), lines include both
// end points, circles are outlines, every operation clips to the bitmap, and
// one brush and one pen are kept per bitmap until the colour changes.
struct kxserverbitmap;

kxserverbitmap *kxserver_create(int width, int height);
void kxserver_free(kxpxmap *p);
// A new bitmap of width x height for a server pixmap, keeping the pixels
// where the old and new sizes overlap (the rest is black, the mask is
// dropped); false, with the pixmap as it was, when none could be made.
bool kxserver_resize(kxpxmap *p, int width, int height);
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

// The screen format draws nothing on any host: windows show their server
// pixmaps instead.
void kxscreen_init();
void kxscreen_fillrect(int x, int y, int width, int height, int colour);
void kxscreen_setpixel(int x, int y, int colour);
void kxscreen_setpixels(int count, const int *xs, const int *ys, int colour);
void kxscreen_line(int x0, int y0, int x1, int y1, int colour);
void kxscreen_blit(const kxpxmap *src, int dx, int dy, int sx, int sy, int width, int height);
