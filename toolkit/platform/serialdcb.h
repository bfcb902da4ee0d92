// The fields of the Win32 device control block that carry a line's
// settings, with the system's values: the mapping is a pure function that
// every host builds and tests (the Win32 host copies the fields into its
// DCB and checks the values against the system's own).
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/platform.h"

enum : std::uint8_t {
    KX_DCB_NOPARITY = 0,
    KX_DCB_ODDPARITY = 1,
    KX_DCB_EVENPARITY = 2,
    KX_DCB_MARKPARITY = 3,
    KX_DCB_SPACEPARITY = 4,
};
enum : std::uint8_t { KX_DCB_ONESTOPBIT = 0, KX_DCB_ONE5STOPBITS = 1, KX_DCB_TWOSTOPBITS = 2 };
enum : std::uint8_t { KX_DCB_CONTROL_DISABLE = 0, KX_DCB_CONTROL_ENABLE = 1, KX_DCB_HANDSHAKE = 2 };
constexpr char KX_DCB_XON = 0x11;
constexpr char KX_DCB_XOFF = 0x13;

struct kxdcbfields {
    std::uint32_t baud = 0;            // BaudRate
    std::uint8_t bytesize = 8;         // ByteSize
    std::uint8_t parity = KX_DCB_NOPARITY;      // Parity
    std::uint8_t stopbits = KX_DCB_ONESTOPBIT;  // StopBits
    bool outx_cts = false;             // fOutxCtsFlow
    std::uint8_t rts_control = KX_DCB_CONTROL_ENABLE;  // fRtsControl
    std::uint8_t dtr_control = KX_DCB_CONTROL_ENABLE;  // fDtrControl
    bool outx = false, inx = false;    // fOutX, fInX
    char xon = 0, xoff = 0;            // XonChar, XoffChar
    bool operator==(const kxdcbfields &) const = default;
};

// The fields for a line at a rate; false when the line is out of range,
// why (size bytes) naming the setting ("stopbits=3").
bool kxdcb_fromline(const kxserialline &line, int baud, kxdcbfields *d, char *why,
                    std::size_t size);
// The framing and flow control the fields hold, and DTR and RTS as their
// controls leave them at open.
kxserialline kxdcb_toline(const kxdcbfields &d);
