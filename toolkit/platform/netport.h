// Serial ports on serial servers ("tcp://host:port", "rfc2217://host:port"):
// the connection and, for RFC 2217, the Telnet COM-PORT-OPTION, as
// primitives of the same shape as a host's serial ones, by slot.  The
// serial front (serial.cpp) uses them for a path that is a server's URL.
#pragma once

#include "platform/serialhost.h"

// Whether a path names a serial server.
bool kxnet_is(const char *path);
// Connects, waiting up to ms.  A connection not made by then goes on being
// made, up to KX_SERIAL_CONNECT_MS from its start, and the next open of the
// slot with the same URL picks it up: a port retried once a second never
// holds the program for long.
kxserialhandle kxnet_open(int slot, const char *url, int ms, kxserialstatus *st);
// The rate and the line (framing, flow control, DTR and RTS); over RFC 2217
// it waits up to KX_SERIAL_ANSWER_MS for the server's answers.  A raw TCP
// port has the server's own line settings: nothing to set.
bool kxnet_configure(int slot, int baud, const kxserialline &line, kxserialstatus *st);
// DTR, RTS and BREAK, and the input lines as the server last reported
// them: over RFC 2217 only; a raw TCP port has no lines (nolines).
kxlinecall kxnet_control(int slot, kxcontrol line, bool on, kxserialstatus *st);
kxlinecall kxnet_modemlines(int slot, kxmodemlines *lines);
int kxnet_read(int slot, unsigned char *buf, int size, kxserialstatus *st);
bool kxnet_write(int slot, unsigned char byte, kxserialstatus *st);
void kxnet_close(int slot);
