// Serial ports by port number (1..256; port N is slot N-1 and device "COMN")
// and the current port the application opened last.
#pragma once

#include "platform/platform.h"

constexpr int KX_PORTS = KX_SERIAL_SLOTS;
constexpr int KX_LINE_MAX = 20480;  // longest line kept between calls
constexpr int KX_PORT_TIMEOUT_START = 1;
constexpr int KX_PORT_POLL_MS = 10;  // one wait round of kxport_getc

// The byte 0..255, or -1 once the read time-out has passed; waits of 10 ms
// pump host messages.
int kxport_getc(int port);
bool kxport_putc(int port, int byte);
// Writes up to the NUL; false at the first byte that could not be written.
bool kxport_puts(int port, const char *text);
// Reads what has arrived into buf (count + 1 characters, and at least
// KX_LINE_MAX + 1).  True with a complete line (its CR or LF removed, a
// line longer than count comes in pieces of count); false when no line is
// complete yet, the partial line being kept for the next call.
bool kxport_gets(int port, char *buf, int count);
void kxport_close(int port);

// The current port.
bool kxport_open(int port, int baud);
bool kxport_write(const char *text);
bool kxport_readline(char *buf, int count);
void kxport_settimeout(int ms);
int kxport_current();
// The id posted when bytes arrive on the current port after it was read
// empty (on hosts that watch their devices; 0 before the first open).
int kxport_arrivalid();
// Closes every port opened through this layer (also run at exit).
void kxport_closeall();
// Drops a partial line kept between calls.
void kxport_reset();
