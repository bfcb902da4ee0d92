// Serial ports on Win32: the system's COMn opened as files, the line's
// settings in the device control block (read back, so that a refused rate
// fails the open and a silent change shows), time-outs that make every read
// return at once with what the driver holds and a write wait at most
// KX_SERIAL_WRITE_WAIT_MS, a removed device told by the errors of its reads
// and of ClearCommError, and the control and input lines.
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/serialdcb.h"
#include "platform/serialhost.h"
#include "platform/win32/win32host.h"

// The portable mapping speaks the system's values.
static_assert(KX_DCB_NOPARITY == NOPARITY && KX_DCB_ODDPARITY == ODDPARITY &&
              KX_DCB_EVENPARITY == EVENPARITY && KX_DCB_MARKPARITY == MARKPARITY &&
              KX_DCB_SPACEPARITY == SPACEPARITY);
static_assert(KX_DCB_ONESTOPBIT == ONESTOPBIT && KX_DCB_ONE5STOPBITS == ONE5STOPBITS &&
              KX_DCB_TWOSTOPBITS == TWOSTOPBITS);
static_assert(KX_DCB_CONTROL_DISABLE == DTR_CONTROL_DISABLE &&
              KX_DCB_CONTROL_ENABLE == DTR_CONTROL_ENABLE && KX_DCB_HANDSHAKE == DTR_CONTROL_HANDSHAKE &&
              KX_DCB_CONTROL_DISABLE == RTS_CONTROL_DISABLE &&
              KX_DCB_CONTROL_ENABLE == RTS_CONTROL_ENABLE && KX_DCB_HANDSHAKE == RTS_CONTROL_HANDSHAKE);

namespace {

HANDLE handle_of(kxserialhandle h) { return reinterpret_cast<HANDLE>(h); }

void fail(kxserialstatus *st, kxserialfault fault, const char *detail = "")
{
    st->fault = fault;
    std::snprintf(st->detail, sizeof st->detail, "%s", detail);
}

// The system's message for an error code, without its line end.
void fail_code(kxserialstatus *st, kxserialfault fault, DWORD code)
{
    char text[KX_SERIAL_TEXT] = {};
    DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                             code, 0, text, sizeof text, nullptr);
    while (n > 0 && (text[n - 1] == '\r' || text[n - 1] == '\n' || text[n - 1] == '.'))
        text[--n] = 0;
    if (n == 0)
        std::snprintf(text, sizeof text, "error %lu", static_cast<unsigned long>(code));
    fail(st, fault, text);
}

// "\\.\COM12" names COM12 for the system; the device name is COM12.
const char *dos_name(const char *path)
{
    return std::strncmp(path, "\\\\.\\", 4) == 0 ? path + 4 : path;
}

// Binary mode, no parity check, no DSR handshake, nothing replaced or
// discarded, and the line's framing, flow control and DTR and RTS at open.
void line_settings(DCB *d, const kxdcbfields &f)
{
    d->DCBlength = sizeof(DCB);
    d->BaudRate = f.baud;
    d->fBinary = 1;
    d->fParity = 0;
    d->fOutxCtsFlow = f.outx_cts;
    d->fOutxDsrFlow = 0;
    d->fDtrControl = f.dtr_control;
    d->fDsrSensitivity = 0;
    d->fTXContinueOnXoff = 1;
    d->fOutX = f.outx;
    d->fInX = f.inx;
    d->fErrorChar = 0;
    d->fNull = 0;
    d->fRtsControl = f.rts_control;
    d->fAbortOnError = 0;
    d->ByteSize = f.bytesize;
    d->Parity = f.parity;
    d->StopBits = f.stopbits;
    d->XonChar = f.xon;
    d->XoffChar = f.xoff;
    d->ErrorChar = 0;
    d->EofChar = 0;
    d->EvtChar = 0;
}

kxdcbfields fields_of(const DCB &d)
{
    kxdcbfields f;
    f.baud = d.BaudRate;
    f.bytesize = d.ByteSize;
    f.parity = d.Parity;
    f.stopbits = d.StopBits;
    f.outx_cts = d.fOutxCtsFlow;
    f.rts_control = static_cast<std::uint8_t>(d.fRtsControl);
    f.dtr_control = static_cast<std::uint8_t>(d.fDtrControl);
    f.outx = d.fOutX;
    f.inx = d.fInX;
    f.xon = d.XonChar;
    f.xoff = d.XoffChar;
    return f;
}

// A device without modem lines (a driver that has none) answers so.
kxlinecall call_failed(kxserialstatus *st)
{
    DWORD code = GetLastError();
    if (code == ERROR_INVALID_FUNCTION || code == ERROR_NOT_SUPPORTED)
        return kxlinecall::nolines;
    fail_code(st, kxserialfault::system, code);
    return kxlinecall::failed;
}

} // namespace

void kxserialhost_lookup(const char *name, char *path, std::size_t size)
{
    // Ports above 9 are reached only through the device namespace.
    int n = 0;
    char rest = 0;
    if (std::sscanf(name, "COM%d%c", &n, &rest) == 1 && n >= 10)
        std::snprintf(path, size, "\\\\.\\%s", name);
    else
        std::snprintf(path, size, "%s", name);
}

kxserialdevice kxserialhost_identify(const char *path)
{
    kxserialdevice d;
    std::snprintf(d.path, sizeof d.path, "%s", dos_name(path));
    char target[KX_SERIAL_PATH] = {};
    d.present = QueryDosDeviceA(dos_name(path), target, sizeof target) != 0;
    return d;
}

kxserialhandle kxserialhost_open(const char *path, kxserialstatus *st)
{
    // No sharing: a port another handle holds is refused.
    HANDLE h = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0,
                           nullptr);
    if (h != INVALID_HANDLE_VALUE) {
        SetCommMask(h, EV_RXCHAR);
        return reinterpret_cast<kxserialhandle>(h);
    }
    DWORD code = GetLastError();
    switch (code) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND: fail(st, kxserialfault::missing); break;
    // The system answers "access denied" for a port that is open elsewhere.
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION: fail(st, kxserialfault::busy); break;
    default: fail_code(st, kxserialfault::system, code);
    }
    return KX_SERIAL_NOHANDLE;
}

bool kxserialhost_configure(kxserialhandle h, int baud, const kxserialline &line,
                            kxserialline *kept, kxserialstatus *st)
{
    kxdcbfields f;
    char why[KX_SERIAL_TEXT] = {};
    if (!kxdcb_fromline(line, baud, &f, why, sizeof why)) {
        fail(st, kxserialfault::setting, why);
        return false;
    }
    // The XON and XOFF limits and the reserved fields stay as the driver has them.
    DCB d{};
    d.DCBlength = sizeof d;
    if (!GetCommState(handle_of(h), &d)) {
        fail_code(st, kxserialfault::setting, GetLastError());
        return false;
    }
    line_settings(&d, f);
    if (!SetCommState(handle_of(h), &d)) {
        // The system does not say which part it refused: with the default
        // line it can only be the rate.
        DWORD code = GetLastError();
        if (code == ERROR_INVALID_PARAMETER && line == kxserialline{})
            fail(st, kxserialfault::rate, std::to_string(baud).c_str());
        else
            fail_code(st, kxserialfault::setting, code);
        return false;
    }
    // A driver may take a rate it cannot keep and run at another one, or
    // change the framing without a word.
    DCB back{};
    back.DCBlength = sizeof back;
    if (!GetCommState(handle_of(h), &back)) {
        fail_code(st, kxserialfault::setting, GetLastError());
        return false;
    }
    *kept = kxdcb_toline(fields_of(back));
    kept->dtr = line.dtr;
    kept->rts = line.rts;
    if (back.BaudRate != static_cast<DWORD>(baud)) {
        fail(st, kxserialfault::rate, std::to_string(baud).c_str());
        return false;
    }
    return true;
}

bool kxserialhost_settimeouts(kxserialhandle h)
{
    COMMTIMEOUTS t{};
    t.ReadIntervalTimeout = MAXDWORD;
    t.ReadTotalTimeoutMultiplier = 0;
    t.ReadTotalTimeoutConstant = 0;
    t.WriteTotalTimeoutMultiplier = 0;
    t.WriteTotalTimeoutConstant = KX_SERIAL_WRITE_WAIT_MS;
    return SetCommTimeouts(handle_of(h), &t) != 0;
}

int kxserialhost_read(kxserialhandle h, unsigned char *buf, int size, kxserialstatus *st)
{
    DWORD got = 0;
    if (!ReadFile(handle_of(h), buf, static_cast<DWORD>(size), &got, nullptr)) {
        fail_code(st, kxserialfault::lost, GetLastError());
        return -1;
    }
    if (got > 0)
        return static_cast<int>(got);
    // Nothing came: a removed device also fails its status query.
    DWORD errors = 0;
    COMSTAT stat{};
    if (!ClearCommError(handle_of(h), &errors, &stat)) {
        fail_code(st, kxserialfault::lost, GetLastError());
        return -1;
    }
    return 0;
}

bool kxserialhost_write(kxserialhandle h, unsigned char byte, kxserialstatus *st)
{
    // The wait for room is the write time-out set with the others.
    DWORD put = 0;
    if (!WriteFile(handle_of(h), &byte, 1, &put, nullptr) && GetLastError() != ERROR_TIMEOUT) {
        fail_code(st, kxserialfault::lost, GetLastError());
        return false;
    }
    if (put != 1) {
        fail(st, kxserialfault::timeout);
        return false;
    }
    return true;
}

void kxserialhost_close(kxserialhandle h) { CloseHandle(handle_of(h)); }

kxlinecall kxserialhost_control(kxserialhandle h, kxcontrol line, bool on, kxserialstatus *st)
{
    BOOL ok = FALSE;
    if (line == kxcontrol::brk)
        ok = on ? SetCommBreak(handle_of(h)) : ClearCommBreak(handle_of(h));
    else if (line == kxcontrol::dtr)
        ok = EscapeCommFunction(handle_of(h), on ? SETDTR : CLRDTR);
    else
        ok = EscapeCommFunction(handle_of(h), on ? SETRTS : CLRRTS);
    return ok ? kxlinecall::done : call_failed(st);
}

kxlinecall kxserialhost_modemlines(kxserialhandle h, kxmodemlines *lines, kxserialstatus *st)
{
    DWORD bits = 0;
    if (!GetCommModemStatus(handle_of(h), &bits))
        return call_failed(st);
    lines->cts = bits & MS_CTS_ON;
    lines->dsr = bits & MS_DSR_ON;
    lines->dcd = bits & MS_RLSD_ON;
    lines->ri = bits & MS_RING_ON;
    return kxlinecall::done;
}
