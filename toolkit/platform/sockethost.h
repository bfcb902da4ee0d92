// What a host provides for TCP connections to serial servers (POSIX
// sockets, Winsock).  The network port (netport.cpp) builds the port on
// these; failures fill the status's fault, detail and loss.
#pragma once

#include "platform/serialhost.h"

// Connects to host:service, waiting up to ms for the server to accept.  The
// connection sends each write at once (no Nagle) and is kept alive, so that
// a server that goes silent is noticed within seconds.  A connection still
// being made when ms run out is handed back with fault unanswered, so that
// a caller may go on waiting (kxsockhost_finish) instead of starting anew.
kxserialhandle kxsockhost_connect(const char *host, const char *service, int ms,
                                  kxserialstatus *st);
// Waits up to ms more for a connection that was handed back still being
// made: 1 once it is made, 0 while it is not yet, -1 when it failed (the
// status says why).
int kxsockhost_finish(kxserialhandle h, int ms, kxserialstatus *st);
// Up to size bytes: the count, 0 when nothing has arrived, -1 when the
// connection has gone (fault lost, with its loss).
int kxsockhost_recv(kxserialhandle h, unsigned char *buf, int size, kxserialstatus *st);
// Sends all n bytes, waiting up to ms in all for room: false (fault lost or
// timeout) when they did not all go.
bool kxsockhost_send(kxserialhandle h, const unsigned char *buf, int n, int ms,
                     kxserialstatus *st);
// Waits up to ms for bytes (or the end of the connection): whether any came.
bool kxsockhost_wait(kxserialhandle h, int ms);
void kxsockhost_close(kxserialhandle h);
