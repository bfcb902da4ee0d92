// What a host provides for serial devices.  The shared front (serial.cpp)
// keeps the slot table, the bindings, the read-ahead and the rules of open,
// loss and failure; each host (posix/serial.cpp, win32/win32_serial.cpp)
// gives only these primitives.  Failures fill the status's fault and detail.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/platform.h"

// A host's open device: a file descriptor or a HANDLE.
using kxserialhandle = std::intptr_t;
constexpr kxserialhandle KX_SERIAL_NOHANDLE = -1;

// The path the host gives a name that is not bound ("COMn" by the host's
// rules, any other name as it is).
void kxserialhost_lookup(const char *name, char *path, std::size_t size);
// What is at a path now.
kxserialdevice kxserialhost_identify(const char *path);
// Opens the device exclusively, without waiting.
kxserialhandle kxserialhost_open(const char *path, kxserialstatus *st);
// Raw mode, the line's framing and flow control, DTR and RTS as the line
// has them at open, and the baud rate; false when the driver refused any
// part (fault rate or setting).  The framing and flow control the driver
// keeps, read back, go to kept.
bool kxserialhost_configure(kxserialhandle h, int baud, const kxserialline &line,
                            kxserialline *kept, kxserialstatus *st);
// Raises or drops DTR or RTS, or starts or ends a BREAK.
kxlinecall kxserialhost_control(kxserialhandle h, kxcontrol line, bool on, kxserialstatus *st);
// CTS, DSR, DCD and RI now.
kxlinecall kxserialhost_modemlines(kxserialhandle h, kxmodemlines *lines, kxserialstatus *st);
// Reads and writes that never block the caller beyond their own wait.
bool kxserialhost_settimeouts(kxserialhandle h);
// Up to size bytes: the count, 0 when nothing has arrived, -1 when the
// device has gone.
int kxserialhost_read(kxserialhandle h, unsigned char *buf, int size, kxserialstatus *st);
// Writes one byte, waiting up to KX_SERIAL_WRITE_WAIT_MS for room: false
// (fault lost, timeout or system) when it was not written.
bool kxserialhost_write(kxserialhandle h, unsigned char byte, kxserialstatus *st);
void kxserialhost_close(kxserialhandle h);

// Waking for bytes, where a host's waits can watch its devices (POSIX): the
// open devices whose bytes are to be taken as they arrive, up to max of
// them; after each wait (also one that timed out) the host tells what it
// saw of each, and those with bytes are read then: true when the reader is
// to come for them now (kxserial_arrived).
enum class kxserialwake { quiet, bytes, hung };
int kxserial_watched(kxserialhandle *handles, int max);
bool kxserial_seen(kxserialhandle handle, kxserialwake wake);

// The slot's device and status for the framing front (serialline.cpp); the
// handle is KX_SERIAL_NOHANDLE and the status null outside the table.
kxserialhandle kxserial_handle(int slot);
kxserialstatus *kxserial_hoststatus(int slot);
// True for a slot open on a serial server (netport.h) rather than a device.
bool kxserial_isnet(int slot);
// Configures an open slot's device with the slot's line (the open's step).
bool kxserial_configureline(int slot, int baud, kxserialstatus *st);
