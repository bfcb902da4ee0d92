// Serial ports on Win32: "COM%d" opened as files, the fixed line settings
// in the device control block, and time-outs that make every read return at
// once with what the driver holds.
#include <cstdio>

#include "platform/platform.h"
#include "platform/win32/win32host.h"

namespace {

constexpr int SERIAL_NAME_SIZE = 20;  // "COM%d" and its NUL

struct SerialSlot {
    HANDLE handle = INVALID_HANDLE_VALUE;
    int baud = 0;
};

SerialSlot slots[KX_SERIAL_SLOTS];

bool valid_slot(int slot) { return slot >= 0 && slot < KX_SERIAL_SLOTS; }

HANDLE handle_of(int slot) { return valid_slot(slot) ? slots[slot].handle : INVALID_HANDLE_VALUE; }

// 8 data bits, no parity, one stop bit, no handshake, DTR and RTS raised.
void line_settings(DCB *d, int baud)
{
    d->DCBlength = sizeof(DCB);
    d->BaudRate = static_cast<DWORD>(baud);
    d->fBinary = 1;
    d->fParity = 0;
    d->fOutxCtsFlow = 0;
    d->fOutxDsrFlow = 0;
    d->fDtrControl = DTR_CONTROL_ENABLE;
    d->fDsrSensitivity = 0;
    d->fTXContinueOnXoff = 1;
    d->fOutX = 0;
    d->fInX = 0;
    d->fErrorChar = 0;
    d->fNull = 0;
    d->fRtsControl = RTS_CONTROL_ENABLE;
    d->fAbortOnError = 0;
    d->ByteSize = 8;
    d->Parity = NOPARITY;
    d->StopBits = ONESTOPBIT;
    d->XonChar = 0;
    d->XoffChar = 0;
    d->ErrorChar = 0;
    d->EofChar = 0;
    d->EvtChar = 0;
}

} // namespace

bool kxserial_openname(const char *name, int slot, int baud)
{
    if (!valid_slot(slot) || !name)
        return false;
    SerialSlot &s = slots[slot];
    // A reopen replaces the slot's device; the old handle would hold the port.
    if (s.handle != INVALID_HANDLE_VALUE)
        CloseHandle(s.handle);
    s.baud = baud;
    s.handle = CreateFileA(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0,
                           nullptr);
    if (s.handle == INVALID_HANDLE_VALUE)
        return false;
    // Refusals of the settings are not told: the open stands.
    kxserial_configure(slot);
    kxserial_settimeouts(slot);
    SetCommMask(s.handle, EV_RXCHAR);
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
    HANDLE h = handle_of(slot);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    // The XON and XOFF limits and the reserved fields stay as the driver has them.
    DCB d{};
    d.DCBlength = sizeof d;
    GetCommState(h, &d);
    line_settings(&d, slots[slot].baud);
    return SetCommState(h, &d) != 0;
}

bool kxserial_settimeouts(int slot)
{
    HANDLE h = handle_of(slot);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    COMMTIMEOUTS t{};
    t.ReadIntervalTimeout = MAXDWORD;
    t.ReadTotalTimeoutMultiplier = 0;
    t.ReadTotalTimeoutConstant = 0;
    t.WriteTotalTimeoutMultiplier = 0;
    t.WriteTotalTimeoutConstant = 0;
    return SetCommTimeouts(h, &t) != 0;
}

int kxserial_getc(int slot)
{
    HANDLE h = handle_of(slot);
    if (h == INVALID_HANDLE_VALUE)
        return -1;
    unsigned char c = 0;
    DWORD got = 0;
    if (!ReadFile(h, &c, 1, &got, nullptr) || got != 1)
        return -1;
    return c;
}

bool kxserial_putc(int slot, int byte)
{
    HANDLE h = handle_of(slot);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    unsigned char c = static_cast<unsigned char>(byte);
    DWORD put = 0;
    return WriteFile(h, &c, 1, &put, nullptr) != 0;
}

void kxserial_close(int slot)
{
    if (!valid_slot(slot) || slots[slot].handle == INVALID_HANDLE_VALUE)
        return;
    CloseHandle(slots[slot].handle);
    slots[slot].handle = INVALID_HANDLE_VALUE;
}

bool kxserial_isopen(int slot) { return handle_of(slot) != INVALID_HANDLE_VALUE; }

// Reads are polled (the application's timer): no wait watches the ports.
bool kxserial_arrived(int) { return false; }
