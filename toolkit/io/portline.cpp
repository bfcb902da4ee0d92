// Framing, flow control and control lines of ports, over the device layer.
#include "io/portline.h"

#include <algorithm>

#include "core/event.h"

namespace {

constexpr char parity_letters[] = "NOEMS";  // [kxparity]

bool valid_port(int port) { return port >= 1 && port <= KX_SERIAL_SLOTS; }

// Holds what was set for ms on the clock; the windows keep drawing.
void hold(int ms)
{
    const std::int64_t deadline = kxsys_ticks() + std::clamp(ms, 1, KX_LINE_HOLD_MAX_MS);
    while (kxsys_ticks() < deadline)
        kxsys_idle();
}

} // namespace

std::string kxport_frame(const kxserialline &line)
{
    const int parity = static_cast<int>(line.parity);
    std::string f = std::to_string(line.databits);
    f += parity >= 0 && parity < 5 ? parity_letters[parity] : '?';
    f += std::to_string(line.stopbits);
    return f;
}

std::string kxport_linename(const kxserialline &line)
{
    std::string name = kxport_frame(line);
    if (line.flow == kxflow::rtscts)
        name += " RTS/CTS";
    else if (line.flow == kxflow::xonxoff)
        name += " XON/XOFF";
    return name;
}

void kxport_setline(int port, const kxserialline &line)
{
    if (valid_port(port))
        kxserial_setline(port - 1, line);
}

kxserialline kxport_line(int port) { return valid_port(port) ? kxserial_line(port - 1) : kxserialline{}; }

bool kxport_reconfigure(int port, int baud, const kxserialline &line)
{
    return valid_port(port) && kxserial_reconfigure(port - 1, baud, line);
}

std::string kxport_linechange(int port)
{
    if (!valid_port(port) || !kxserial_isopen(port - 1))
        return "";
    const kxserialline asked = kxserial_line(port - 1);
    const kxserialline kept = kxserial_keptline(port - 1);
    if (kxport_linename(asked) == kxport_linename(kept))
        return "";
    return kxport_linename(kept);
}

kxlinecall kxport_setcontrol(int port, kxcontrol line, bool on)
{
    return valid_port(port) ? kxserial_control(port - 1, line, on) : kxlinecall::failed;
}

kxlinecall kxport_pulse(int port, kxcontrol line, int ms)
{
    if (line == kxcontrol::brk)
        return kxport_break(port, ms);
    kxlinecall r = kxport_setcontrol(port, line, false);
    if (r != kxlinecall::done)
        return r;
    hold(ms);
    return kxport_setcontrol(port, line, true);
}

kxlinecall kxport_break(int port, int ms)
{
    kxlinecall r = kxport_setcontrol(port, kxcontrol::brk, true);
    if (r != kxlinecall::done)
        return r;
    hold(ms);
    return kxport_setcontrol(port, kxcontrol::brk, false);
}

kxlinecall kxport_modemlines(int port, kxmodemlines *lines)
{
    return valid_port(port) ? kxserial_modemlines(port - 1, lines) : kxlinecall::failed;
}
