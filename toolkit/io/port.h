// Serial ports by port number (1..256; port N is slot N-1 and device "COMN")
// and the current port the application opened last.
#pragma once

#include <string>

#include "platform/platform.h"

constexpr int KX_PORTS = KX_SERIAL_SLOTS;
constexpr int KX_LINE_MAX = 20480;  // longest line kept between calls
constexpr int KX_LINE_BUFFER = KX_LINE_MAX + 3;  // what kxport_getline may fill
constexpr int KX_PORT_TIMEOUT_START = 1;
constexpr int KX_PORT_POLL_MS = 10;  // the longest wait between two reads of kxport_getc

// The byte 0..255, or -1 once the read time-out has passed (measured on the
// clock; a time-out below KX_PORT_POLL_MS makes one read only) or the port
// is not open; while it waits, host messages are pumped.
int kxport_getc(int port);
bool kxport_putc(int port, int byte);
// Writes up to the NUL; false at the first byte that could not be written.
bool kxport_puts(int port, const char *text);
// Reads what has arrived into buf (count + 1 characters, and at least
// KX_LINE_MAX + 1).  True with a complete line (its CR or LF removed, a
// line longer than count comes in pieces of count); false when no line is
// complete yet, buf then being "" and the partial line kept for the next
// call.  When the port's device has gone, the partial line it left is
// complete.
bool kxport_gets(int port, char *buf, int count);
// The same with every byte kept: the line's length, its end included (LF,
// CR, or CR LF when both have arrived), NULs as they came; -1 when no line
// is complete.  buf holds KX_LINE_BUFFER bytes and count is at most
// KX_LINE_MAX.  stamp (may be null) gets the local time of day in
// milliseconds at which the line's first byte was read.
int kxport_getline(int port, char *buf, int count, int *stamp);
void kxport_close(int port);

// The current port.
bool kxport_open(int port, int baud);
// Opens the device the port lost again (kxserial_reopen: the same binding
// or link, never another step of the lookup) and makes it the current
// port; a failure prints as kxport_open's does.
bool kxport_reopen(int port);
bool kxport_write(const char *text);
bool kxport_readline(char *buf, int count);
int kxport_readbytes(char *buf, int count, int *stamp);
void kxport_settimeout(int ms);
int kxport_current();
// The id posted when bytes arrive on the current port after it was read
// empty (on hosts that watch their devices; 0 before the first open).
int kxport_arrivalid();
// Closes every port opened through this layer (also run at exit).
void kxport_closeall();
// Drops a partial line kept between calls.
void kxport_reset();

// True once the open device of the port has vanished (it is closed then).
bool kxport_lost(int port);
// "COM3 (/dev/ttyUSB0)": the port and the device its last open resolved to.
std::string kxport_device(int port);
// Why the last open, read or write of the port failed, in the toolkit's
// language ("" when nothing failed).  A failed kxport_open also prints
// "kxport_open: <device>: <problem>" once for each new problem.
std::string kxport_problem(int port);
