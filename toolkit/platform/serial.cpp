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
// Bytes a wait takes are kept for the reader; whether they also wake it
// (kxserial_arrived) follows the pace they came at since it last read the
// device empty: faster than this (a flood: read on at once; 115200 baud
// gives 11.5 bytes/ms), or after none came for SERIAL_QUIET_MS (an answer:
// shown at once).  A steady trickle is left to the reader's own rhythm, so
// that every few bytes do not wake the program.
constexpr std::int64_t SERIAL_FAST_BYTES_PER_MS = 20;
constexpr std::int64_t SERIAL_QUIET_MS = 50;
// How long an open waits for a server while a lost network port is retried
// once a second: the connection goes on being made between the tries, and
// the program is not held meanwhile.
constexpr int SERIAL_RETRY_CONNECT_MS = 50;

// How the host's waits watch a device and when its bytes wake the reader.
struct SerialWatch {
    bool wake = false;     // the next bytes a wait takes wake the reader
    bool arrived = false;  // they did (kxserial_arrived)
    bool quiet = false;    // the last wait watched it and nothing came
    bool hung = false;     // a wait found it hung up yet not gone: not watched until bytes come
    int burst = 0;                // bytes taken since a read last found none
    std::int64_t last_empty = 0;  // when a burst last ended, or began after quiet
    std::int64_t last_bytes = 0;  // when a read last gave bytes; 0: never
};

struct SerialSlot {
    kxserialhandle handle = KX_SERIAL_NOHANDLE;
    unsigned char ahead[SERIAL_READAHEAD] = {};
    int head = 0, tail = 0;  // bytes ahead[head..tail) are read but not yet handed out
    kxserialstatus status;
    char bound[KX_SERIAL_PATH] = {};
    char opened[KX_SERIAL_PATH] = {};  // the name the last good open took
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

// Opens the device at path into the slot, whose status it fills.
bool open_path(int slot, const char *path, int baud)
{
    SerialSlot &s = slots[slot];
    close_handle(s);  // a reopen replaces the slot's device
    s.head = s.tail = 0;
    s.status = kxserialstatus{};
    s.status.baud = baud;
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

// The reader found no bytes: whether the next bytes a wait takes wake it.
// A burst decides when it ends; an empty read after an empty read changes
// that only once the device has been quiet long enough.
void watch_empty(SerialWatch &w)
{
    std::int64_t now = kxsys_ticks();
    if (w.burst > 0) {
        std::int64_t took = std::max<std::int64_t>(1, now - w.last_empty);
        w.wake = w.burst > SERIAL_FAST_BYTES_PER_MS * took;
        w.burst = 0;
        w.last_empty = now;
    } else if (!w.wake) {
        w.wake = w.last_bytes == 0 || now - w.last_bytes >= SERIAL_QUIET_MS;
    }
}

// Bytes a wait took after a quiet spell start the burst's clock: they came
// just now, and counted from an empty read long before, the quiet time
// would make a flood look like a trickle that waits for the reader's timer.
void watch_bytes(SerialWatch &w, int n, bool by_wait)
{
    const std::int64_t now = std::max<std::int64_t>(1, kxsys_ticks());
    if (by_wait && w.burst == 0 && (w.last_bytes == 0 || now - w.last_bytes >= SERIAL_QUIET_MS))
        w.last_empty = now;
    w.hung = false;
    w.burst += n;
    w.last_bytes = now;
}

// Takes what the driver holds into the read-ahead, after the bytes still
// there: the count (0 when nothing came or there is no room), or -1 when
// the device has gone (it is closed then, and nothing more can come).
int take(SerialSlot &s, bool by_wait)
{
    if (s.head > 0) {
        std::memmove(s.ahead, s.ahead + s.head, static_cast<std::size_t>(s.tail - s.head));
        s.tail -= s.head;
        s.head = 0;
    }
    if (s.tail == SERIAL_READAHEAD)
        return 0;
    const int room = SERIAL_READAHEAD - s.tail;
    int n = s.net ? kxnet_read(slot_of(s), s.ahead + s.tail, room, &s.status)
                  : kxserialhost_read(s.handle, s.ahead + s.tail, room, &s.status);
    if (n < 0) {
        lose(s);
        return -1;
    }
    s.tail += n;
    if (n > 0)
        watch_bytes(s.watch, n, by_wait);
    return n;
}

} // namespace

bool kxserial_openname(const char *name, int slot, int baud)
{
    if (!valid_slot(slot) || !name)
        return false;
    char path[KX_SERIAL_PATH];
    resolve(slot, name, path, sizeof path);
    if (!open_path(slot, path, baud))
        return false;
    copy(slots[slot].opened, sizeof slots[slot].opened, path);
    return true;
}

bool kxserial_open(int slot, int baud)
{
    char name[SERIAL_NAME_SIZE];
    std::snprintf(name, sizeof name, "COM%d", slot + 1);
    return kxserial_openname(name, slot, baud);
}

bool kxserial_reopen(int slot)
{
    if (!valid_slot(slot) || !slots[slot].opened[0])
        return false;
    char path[KX_SERIAL_PATH];
    copy(path, sizeof path, slots[slot].opened);
    return open_path(slot, path, slots[slot].status.baud);
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
    return kxserial_configureline(slot, s.status.baud, &s.status);
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
        s.watch.arrived = false;
        // The wait has just seen it empty: bytes that come meanwhile wake
        // the next wait, which takes them.
        const int n = s.watch.quiet ? 0 : take(s, false);
        s.watch.quiet = false;
        if (n == 0)
            watch_empty(s.watch);
        if (n <= 0)
            return -1;
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

// A serial server's bytes come in the small pieces the server sends: while
// they flow they gather in the socket's buffer, which keeps them (and holds
// the server back when full), for the reader's own reads, rather than wake
// the program for every piece.  After a quiet spell they wake it at once.
bool gathering(const SerialSlot &s, std::int64_t now)
{
    return s.net && s.watch.last_bytes != 0 && now - s.watch.last_bytes < SERIAL_QUIET_MS;
}

// Every open device with room in its read-ahead, unless it hung up: its
// bytes are taken as they arrive.
int kxserial_watched(kxserialhandle *handles, int max)
{
    int n = 0;
    const std::int64_t now = kxsys_ticks();
    for (int k = 0; k < open_count && n < max; k++)
        if (const SerialSlot &s = slots[open_slots[k]];
            !s.watch.hung && !gathering(s, now) && (s.head > 0 || s.tail < SERIAL_READAHEAD))
            handles[n++] = s.handle;
    return n;
}

// A device that woke the wait is read at once, since its bytes do not
// outlive it (a pseudo-terminal's hang-up, an unplugged adapter).  They wake
// the reader when it waits for them, when the read-ahead is full, and when
// the device has gone; otherwise they keep for its next read.  One that hung
// up yet reads empty is watched no more until bytes come, rather than
// waking every wait.  One that stayed quiet needs no read to tell so.
bool kxserial_seen(kxserialhandle handle, kxserialwake wake)
{
    for (int i = 0; i < open_count; i++) {
        SerialSlot &s = slots[open_slots[i]];
        if (s.handle != handle)
            continue;
        SerialWatch &w = s.watch;
        w.quiet = wake == kxserialwake::quiet;
        if (w.quiet)
            return false;
        const int n = take(s, true);
        if (n < 0) {
            s.watch.arrived = true;  // the reader tells the loss
        } else if (n == 0) {
            w.hung = wake == kxserialwake::hung;
        } else if (w.wake || s.tail == SERIAL_READAHEAD) {
            w.wake = false;
            w.arrived = true;
        }
        return s.watch.arrived;
    }
    return false;
}

kxserialhandle kxserial_handle(int slot)
{
    return valid_slot(slot) ? slots[slot].handle : KX_SERIAL_NOHANDLE;
}

kxserialstatus *kxserial_hoststatus(int slot) { return valid_slot(slot) ? &slots[slot].status : nullptr; }

bool kxserial_isnet(int slot) { return valid_slot(slot) && slots[slot].net; }
