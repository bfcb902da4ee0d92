// Serial devices on every host: the slot table, bindings of port numbers to
// paths, the read-ahead, and what happens on a failed open and on loss.  The
// host gives the primitives of serialhost.h; a path that names a serial
// server goes to the network port (netport.h) instead, so that nothing
// above this front knows whether a port is local.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "platform/netport.h"
#include "platform/platform.h"
#include "platform/serialhost.h"

namespace {

constexpr int SERIAL_NAME_SIZE = 20;     // "COM%d" and its NUL
constexpr int SERIAL_READAHEAD = 4096;   // bytes taken from the driver at once
// A device read empty is watched for its next bytes when they came faster
// than this since it was last empty (a flood: read on at once; 115200 baud
// gives 11.5 bytes/ms) or when none came for SERIAL_QUIET_MS (an answer:
// read at once).  A steady trickle is left to the reader's own rhythm, so
// that every few bytes do not wake the program.
constexpr std::int64_t SERIAL_FAST_BYTES_PER_MS = 20;
constexpr std::int64_t SERIAL_QUIET_MS = 50;
// How long an open waits for a server while a lost network port is retried
// once a second: the connection goes on being made between the tries, and
// the program is not held meanwhile.
constexpr int SERIAL_RETRY_CONNECT_MS = 50;

// Whether the host's waits watch a device for its next bytes.
struct SerialWatch {
    bool watched = false;  // the last read found nothing: wake for the next bytes
    bool arrived = false;  // a wait saw bytes come (kxserial_arrived)
    bool quiet = false;    // the last wait watched it and nothing came
    bool hung = false;     // a wait found it hung up: not watched until bytes come
    bool woken = false;    // a wait watching it was woken by bytes not read yet
    int burst = 0;                // bytes read since a read last found none
    std::int64_t last_empty = 0;  // when a burst last ended, or began after quiet
    std::int64_t last_bytes = 0;  // when a read last gave bytes; 0: never
};

struct SerialSlot {
    kxserialhandle handle = KX_SERIAL_NOHANDLE;
    unsigned char ahead[SERIAL_READAHEAD] = {};
    int head = 0, tail = 0;  // bytes ahead[head..tail) are read but not yet handed out
    kxserialstatus status;
    char bound[KX_SERIAL_PATH] = {};
    SerialWatch watch;
    bool net = false;       // the handle is a serial server's connection
    bool retrying = false;  // lost, and not opened again since
};

SerialSlot slots[KX_SERIAL_SLOTS];
// The open slots, so that a wait need not look at all of them (each slot
// holds its read-ahead: touching them all would map a megabyte).
int open_slots[KX_SERIAL_SLOTS];
int open_count = 0;

void list_open(int slot, bool open)
{
    int *end = open_slots + open_count;
    int *at = std::find(open_slots, end, slot);
    if (open && at == end)
        open_slots[open_count++] = slot;
    else if (!open && at != end)
        *at = open_slots[--open_count];
}

bool valid_slot(int slot) { return slot >= 0 && slot < KX_SERIAL_SLOTS; }

void copy(char *to, std::size_t size, const char *from) { std::snprintf(to, size, "%s", from); }

void fail(kxserialstatus *st, kxserialfault fault, const char *detail = "")
{
    st->fault = fault;
    copy(st->detail, sizeof st->detail, detail);
}

// "COMn" of this slot stands for its binding; other names for themselves.
void resolve(int slot, const char *name, char *path, std::size_t size)
{
    char own[SERIAL_NAME_SIZE];
    std::snprintf(own, sizeof own, "COM%d", slot + 1);
    if (slots[slot].bound[0] && std::strcmp(name, own) == 0)
        copy(path, size, slots[slot].bound);
    else
        kxserialhost_lookup(name, path, size);
}

int slot_of(const SerialSlot &s) { return static_cast<int>(&s - slots); }

void close_handle(SerialSlot &s)
{
    if (s.handle != KX_SERIAL_NOHANDLE && s.net)
        kxnet_close(slot_of(s));
    else if (s.handle != KX_SERIAL_NOHANDLE)
        kxserialhost_close(s.handle);
    s.handle = KX_SERIAL_NOHANDLE;
    s.watch = SerialWatch{};
    list_open(slot_of(s), false);
}

// The device is gone: nothing more can come, and the next open must find it anew.
void lose(SerialSlot &s)
{
    close_handle(s);
    s.status.fault = kxserialfault::lost;
    s.retrying = true;
}

// The device was read empty: whether the waits watch it for its next bytes.
// A burst decides when it ends; an empty read after an empty read changes a
// watch only once the device has been quiet long enough.
void watch_empty(SerialWatch &w)
{
    std::int64_t now = kxsys_ticks();
    if (w.hung) {
        w.watched = false;  // it reads empty for ever: the reader's timer looks
        return;
    }
    if (w.burst > 0) {
        std::int64_t took = std::max<std::int64_t>(1, now - w.last_empty);
        w.watched = w.burst > SERIAL_FAST_BYTES_PER_MS * took;
        w.burst = 0;
        w.last_empty = now;
    } else if (!w.watched) {
        w.watched = w.last_bytes == 0 || now - w.last_bytes >= SERIAL_QUIET_MS;
    }
}

// Bytes that woke a watching wait after a quiet spell start the burst's
// clock: they came just now, and counted from an empty read long before,
// the quiet time would make a flood look like a trickle that waits for the
// reader's timer.  Bytes a wait did not watch for may have gathered since
// the last empty read.
void watch_bytes(SerialWatch &w, int n, bool woken)
{
    const std::int64_t now = std::max<std::int64_t>(1, kxsys_ticks());
    if (woken && w.burst == 0 && (w.last_bytes == 0 || now - w.last_bytes >= SERIAL_QUIET_MS))
        w.last_empty = now;
    w.hung = false;
    w.burst += n;
    w.last_bytes = now;
}

} // namespace

bool kxserial_openname(const char *name, int slot, int baud)
{
    if (!valid_slot(slot) || !name)
        return false;
    SerialSlot &s = slots[slot];
    close_handle(s);  // a reopen replaces the slot's device
    s.head = s.tail = 0;
    s.status = kxserialstatus{};
    s.status.baud = baud;
    char path[KX_SERIAL_PATH];
    resolve(slot, name, path, sizeof path);
    s.net = kxnet_is(path);
    if (s.net) {
        copy(s.status.path, sizeof s.status.path, path);
        const int wait = s.retrying ? SERIAL_RETRY_CONNECT_MS : KX_SERIAL_CONNECT_MS;
        s.handle = kxnet_open(slot, path, wait, &s.status);
    } else {
        kxserialdevice dev = kxserialhost_identify(path);
        copy(s.status.path, sizeof s.status.path, dev.path[0] ? dev.path : path);
        s.handle = kxserialhost_open(path, &s.status);
    }
    if (s.handle == KX_SERIAL_NOHANDLE)
        return false;
    // A driver that refuses the line settings or the rate would leave the
    // port at some other speed: better to fail the open.
    list_open(slot, true);
    if (!kxserial_configure(slot) || !kxserial_settimeouts(slot)) {
        close_handle(s);
        return false;
    }
    s.retrying = false;
    return true;
}

bool kxserial_open(int slot, int baud)
{
    char name[SERIAL_NAME_SIZE];
    std::snprintf(name, sizeof name, "COM%d", slot + 1);
    return kxserial_openname(name, slot, baud);
}

bool kxserial_configure(int slot)
{
    if (!valid_slot(slot) || slots[slot].handle == KX_SERIAL_NOHANDLE)
        return false;
    SerialSlot &s = slots[slot];
    if (s.status.baud <= 0) {
        char rate[SERIAL_NAME_SIZE];
        std::snprintf(rate, sizeof rate, "%d", s.status.baud);
        fail(&s.status, kxserialfault::rate, rate);
        return false;
    }
    if (s.net)
        return kxnet_configure(slot, s.status.baud, &s.status);
    return kxserialhost_configure(s.handle, s.status.baud, &s.status);
}

bool kxserial_settimeouts(int slot)
{
    if (!valid_slot(slot) || slots[slot].handle == KX_SERIAL_NOHANDLE)
        return false;
    SerialSlot &s = slots[slot];
    if (s.net || kxserialhost_settimeouts(s.handle))
        return true;
    fail(&s.status, kxserialfault::setting);
    return false;
}

int kxserial_getc(int slot)
{
    if (!valid_slot(slot))
        return -1;
    SerialSlot &s = slots[slot];
    if (s.head == s.tail) {
        if (s.handle == KX_SERIAL_NOHANDLE)
            return -1;
        if (s.watch.quiet) {
            // The wait has just seen it empty: bytes that come meanwhile
            // wake the next wait, which watches it still.
            s.watch.quiet = false;
            return -1;
        }
        s.head = s.tail = 0;
        const bool woken = s.watch.woken;
        int n = s.net ? kxnet_read(slot, s.ahead, SERIAL_READAHEAD, &s.status)
                      : kxserialhost_read(s.handle, s.ahead, SERIAL_READAHEAD, &s.status);
        s.watch.arrived = false;
        s.watch.woken = false;
        if (n < 0) {
            lose(s);
            return -1;
        }
        s.tail = n;
        if (n == 0) {
            watch_empty(s.watch);
            return -1;
        }
        watch_bytes(s.watch, n, woken);
    }
    return s.ahead[s.head++];
}

bool kxserial_putc(int slot, int byte)
{
    if (!valid_slot(slot) || slots[slot].handle == KX_SERIAL_NOHANDLE)
        return false;
    SerialSlot &s = slots[slot];
    const unsigned char b = static_cast<unsigned char>(byte);
    if (s.net ? kxnet_write(slot, b, &s.status) : kxserialhost_write(s.handle, b, &s.status))
        return true;
    if (s.status.fault == kxserialfault::lost)
        lose(s);
    return false;
}

void kxserial_close(int slot)
{
    if (!valid_slot(slot))
        return;
    close_handle(slots[slot]);
    kxnet_close(slot);  // a connection still being made too
    slots[slot].head = slots[slot].tail = 0;
    slots[slot].retrying = false;
}

bool kxserial_isopen(int slot)
{
    return valid_slot(slot) && slots[slot].handle != KX_SERIAL_NOHANDLE;
}

const kxserialstatus *kxserial_status(int slot)
{
    return valid_slot(slot) ? &slots[slot].status : nullptr;
}

void kxserial_bind(int slot, const char *path)
{
    if (valid_slot(slot))
        copy(slots[slot].bound, sizeof slots[slot].bound, path ? path : "");
}

kxserialdevice kxserial_device(int slot)
{
    if (!valid_slot(slot))
        return kxserialdevice{};
    char name[SERIAL_NAME_SIZE], path[KX_SERIAL_PATH];
    std::snprintf(name, sizeof name, "COM%d", slot + 1);
    resolve(slot, name, path, sizeof path);
    if (!kxnet_is(path))
        return kxserialhost_identify(path);
    kxserialdevice d;
    d.present = true;
    copy(d.path, sizeof d.path, path);
    return d;
}

bool kxserial_arrived(int slot)
{
    if (!valid_slot(slot) || !slots[slot].watch.arrived)
        return false;
    slots[slot].watch.arrived = false;
    return true;
}

int kxserial_watched(kxserialhandle *handles, int max)
{
    int n = 0;
    for (int k = 0; k < open_count && n < max; k++)
        if (const SerialSlot &s = slots[open_slots[k]]; s.watch.watched)
            handles[n++] = s.handle;
    return n;
}

// A device that woke the wait is watched no more until it is read empty
// again, so that a program that does not read it now (or a device that has
// hung up) does not keep waking it.  One that stayed quiet needs no read to
// tell so.
void kxserial_seen(kxserialhandle handle, kxserialwake wake)
{
    for (int i = 0; i < open_count; i++) {
        SerialWatch &w = slots[open_slots[i]].watch;
        if (slots[open_slots[i]].handle != handle || !w.watched)
            continue;
        w.quiet = wake == kxserialwake::quiet;
        if (!w.quiet) {
            w.watched = false;
            w.hung = wake == kxserialwake::hung;
            w.arrived = w.woken = wake == kxserialwake::bytes;
        }
    }
}
