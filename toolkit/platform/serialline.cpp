// The framing front of serial slots: the line each slot opens with, what
// the driver kept of it, a new rate and line on an open device, and the
// control lines.  The hosts give the primitives of serialhost.h.
#include <cstdio>

#include "platform/netport.h"
#include "platform/platform.h"
#include "platform/serialhost.h"

namespace {

struct LineSlot {
    kxserialline asked;  // for the next open
    kxserialline kept;   // as the driver took it at the last configure
};

LineSlot line_slots[KX_SERIAL_SLOTS];

bool valid(int slot) { return slot >= 0 && slot < KX_SERIAL_SLOTS; }

void refuse_rate(kxserialstatus *st, int baud)
{
    st->fault = kxserialfault::rate;
    std::snprintf(st->detail, sizeof st->detail, "%d", baud);
}

} // namespace

void kxserial_setline(int slot, const kxserialline &line)
{
    if (valid(slot))
        line_slots[slot].asked = line;
}

kxserialline kxserial_line(int slot) { return valid(slot) ? line_slots[slot].asked : kxserialline{}; }

kxserialline kxserial_keptline(int slot)
{
    return valid(slot) ? line_slots[slot].kept : kxserialline{};
}

bool kxserial_configureline(int slot, int baud, kxserialstatus *st)
{
    const kxserialhandle h = kxserial_handle(slot);
    if (!valid(slot) || h == KX_SERIAL_NOHANDLE || !st)
        return false;
    LineSlot &l = line_slots[slot];
    kxserialline kept = l.asked;
    if (kxserial_isnet(slot)) {
        // The server answers each setting: one it changed fails the open.
        if (!kxnet_configure(slot, baud, l.asked, st))
            return false;
    } else if (!kxserialhost_configure(h, baud, l.asked, &kept, st))
        return false;
    l.kept = kept;
    return true;
}

bool kxserial_reconfigure(int slot, int baud, const kxserialline &line)
{
    kxserialstatus *st = kxserial_hoststatus(slot);
    if (!st || !kxserial_isopen(slot))
        return false;
    if (baud <= 0) {
        refuse_rate(st, baud);
        return false;
    }
    LineSlot &l = line_slots[slot];
    const kxserialline before = l.asked;
    const int before_baud = st->baud;
    l.asked = line;
    if (kxserial_configureline(slot, baud, st)) {
        st->baud = baud;
        st->fault = kxserialfault::none;
        st->detail[0] = 0;
        return true;
    }
    // The driver may have taken a part: back to what worked, and the
    // status keeps why the new one did not.
    const kxserialstatus refused = *st;
    l.asked = before;
    kxserial_configureline(slot, before_baud, st);
    st->fault = refused.fault;
    std::snprintf(st->detail, sizeof st->detail, "%s", refused.detail);
    return false;
}

kxlinecall kxserial_control(int slot, kxcontrol line, bool on)
{
    kxserialstatus *st = kxserial_hoststatus(slot);
    const kxserialhandle h = kxserial_handle(slot);
    if (!st || h == KX_SERIAL_NOHANDLE)
        return kxlinecall::failed;
    if (kxserial_isnet(slot))
        return kxnet_control(slot, line, on, st);
    return kxserialhost_control(h, line, on, st);
}

kxlinecall kxserial_modemlines(int slot, kxmodemlines *lines)
{
    kxserialstatus *st = kxserial_hoststatus(slot);
    const kxserialhandle h = kxserial_handle(slot);
    if (!st || !lines || h == KX_SERIAL_NOHANDLE)
        return kxlinecall::failed;
    if (kxserial_isnet(slot))
        return kxnet_modemlines(slot, lines);
    return kxserialhost_modemlines(h, lines, st);
}
