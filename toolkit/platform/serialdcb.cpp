// A line's settings as the fields of the Win32 device control block.
#include "platform/serialdcb.h"

#include <cstdio>
#include <iterator>

namespace {

// [kxparity]: none, odd, even, mark, space.
constexpr std::uint8_t parity_codes[] = {KX_DCB_NOPARITY, KX_DCB_ODDPARITY, KX_DCB_EVENPARITY,
                                         KX_DCB_MARKPARITY, KX_DCB_SPACEPARITY};

} // namespace

bool kxdcb_fromline(const kxserialline &line, int baud, kxdcbfields *d, char *why,
                    std::size_t size)
{
    const int parity = static_cast<int>(line.parity);
    const int flow = static_cast<int>(line.flow);
    if (line.databits < KX_SERIAL_DATABITS_MIN || line.databits > KX_SERIAL_DATABITS_MAX) {
        std::snprintf(why, size, "databits=%d", line.databits);
        return false;
    }
    if (parity < 0 || parity > static_cast<int>(kxparity::space)) {
        std::snprintf(why, size, "parity=%d", parity);
        return false;
    }
    if (line.stopbits != 1 && line.stopbits != 2) {
        std::snprintf(why, size, "stopbits=%d", line.stopbits);
        return false;
    }
    if (flow < 0 || flow > static_cast<int>(kxflow::xonxoff)) {
        std::snprintf(why, size, "flow=%d", flow);
        return false;
    }
    *d = kxdcbfields{};
    d->baud = static_cast<std::uint32_t>(baud);
    d->bytesize = static_cast<std::uint8_t>(line.databits);
    d->parity = parity_codes[parity];
    // Two stop bits after five data bits are one and a half, as on the wire.
    d->stopbits = line.stopbits == 1   ? KX_DCB_ONESTOPBIT
                  : line.databits == 5 ? KX_DCB_ONE5STOPBITS
                                       : KX_DCB_TWOSTOPBITS;
    const bool rtscts = line.flow == kxflow::rtscts;
    const bool xonxoff = line.flow == kxflow::xonxoff;
    d->outx_cts = rtscts;
    d->rts_control = rtscts     ? KX_DCB_HANDSHAKE
                     : line.rts ? KX_DCB_CONTROL_ENABLE
                                : KX_DCB_CONTROL_DISABLE;
    d->dtr_control = line.dtr ? KX_DCB_CONTROL_ENABLE : KX_DCB_CONTROL_DISABLE;
    d->outx = d->inx = xonxoff;
    d->xon = xonxoff ? KX_DCB_XON : 0;
    d->xoff = xonxoff ? KX_DCB_XOFF : 0;
    return true;
}

kxserialline kxdcb_toline(const kxdcbfields &d)
{
    kxserialline l;
    l.databits = d.bytesize;
    for (int p = 0; p < static_cast<int>(std::size(parity_codes)); p++)
        if (parity_codes[p] == d.parity)
            l.parity = static_cast<kxparity>(p);
    l.stopbits = d.stopbits == KX_DCB_ONESTOPBIT ? 1 : 2;
    l.flow = d.outx_cts ? kxflow::rtscts : d.outx ? kxflow::xonxoff : kxflow::none;
    l.dtr = d.dtr_control != KX_DCB_CONTROL_DISABLE;
    l.rts = d.rts_control != KX_DCB_CONTROL_DISABLE;
    return l;
}
