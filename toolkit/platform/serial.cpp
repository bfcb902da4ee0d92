// Serial devices on every host: the slot table, bindings of port numbers to
// paths, the read-ahead, and what happens on a failed open and on loss.  The
// host gives the primitives of serialhost.h.
#include <cstdio>
#include <cstring>

#include "platform/platform.h"
#include "platform/serialhost.h"

namespace {

constexpr int SERIAL_NAME_SIZE = 20;     // "COM%d" and its NUL
constexpr int SERIAL_READAHEAD = 4096;   // bytes taken from the driver at once

struct SerialSlot {
    kxserialhandle handle = KX_SERIAL_NOHANDLE;
    unsigned char ahead[SERIAL_READAHEAD] = {};
    int head = 0, tail = 0;  // bytes ahead[head..tail) are read but not yet handed out
    kxserialstatus status;
    char bound[KX_SERIAL_PATH] = {};
};

SerialSlot slots[KX_SERIAL_SLOTS];

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

void close_handle(SerialSlot &s)
{
    if (s.handle != KX_SERIAL_NOHANDLE)
        kxserialhost_close(s.handle);
    s.handle = KX_SERIAL_NOHANDLE;
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
    kxserialdevice dev = kxserialhost_identify(path);
    copy(s.status.path, sizeof s.status.path, dev.path[0] ? dev.path : path);
    s.handle = kxserialhost_open(path, &s.status);
    if (s.handle == KX_SERIAL_NOHANDLE)
        return false;
    // A driver that refuses the line settings or the rate would leave the
    // port at some other speed: better to fail the open.
    if (!kxserial_configure(slot) || !kxserial_settimeouts(slot)) {
        close_handle(s);
        return false;
    }
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
    return kxserialhost_configure(s.handle, s.status.baud, &s.status);
}

bool kxserial_settimeouts(int slot)
{
    if (!valid_slot(slot) || slots[slot].handle == KX_SERIAL_NOHANDLE)
        return false;
    SerialSlot &s = slots[slot];
    if (kxserialhost_settimeouts(s.handle))
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
        s.head = s.tail = 0;
        int n = kxserialhost_read(s.handle, s.ahead, SERIAL_READAHEAD, &s.status);
        if (n < 0) {
            // Gone: nothing more can come, and the next open must find it anew.
            close_handle(s);
            s.status.fault = kxserialfault::lost;
            return -1;
        }
        s.tail = n;
        if (n == 0)
            return -1;
    }
    return s.ahead[s.head++];
}

bool kxserial_putc(int slot, int byte)
{
    if (!valid_slot(slot) || slots[slot].handle == KX_SERIAL_NOHANDLE)
        return false;
    SerialSlot &s = slots[slot];
    if (kxserialhost_write(s.handle, static_cast<unsigned char>(byte), &s.status))
        return true;
    if (s.status.fault == kxserialfault::lost)
        close_handle(s);
    return false;
}

void kxserial_close(int slot)
{
    if (!valid_slot(slot))
        return;
    close_handle(slots[slot]);
    slots[slot].head = slots[slot].tail = 0;
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
    return kxserialhost_identify(path);
}
