// Framing, flow control and the control lines of serial ports by port
// number (1..256): the line a port opens with, a new rate and line on an
// open port, DTR and RTS switched or pulsed, BREAK, and the input lines.
#pragma once

#include <string>

#include "platform/platform.h"

constexpr int KX_PULSE_MS_DEFAULT = 100;
constexpr int KX_BREAK_MS_DEFAULT = 250;
constexpr int KX_LINE_HOLD_MAX_MS = 5000;  // the longest pulse or BREAK

// "8N1", "7E2", "8M1": data bits, parity letter (N, O, E, M, S), stop bits.
std::string kxport_frame(const kxserialline &line);
// The frame and any flow control: "8N1", "7E1 RTS/CTS", "8N1 XON/XOFF".
std::string kxport_linename(const kxserialline &line);
// The line the port opens with from its next kxport_open on.
void kxport_setline(int port, const kxserialline &line);
kxserialline kxport_line(int port);
// A new rate and line on the open port (DTR and RTS as the line has them at
// open).  False when the port is not open or the driver refuses (then
// kxport_problem says why, and the port goes on as it was).
bool kxport_reconfigure(int port, int baud, const kxserialline &line);
// The framing or flow control the driver changed without refusing it since
// the port was last configured, as kxport_linename of the kept line; ""
// when it took the line as asked.
std::string kxport_linechange(int port);

// Raises or drops DTR or RTS; BREAK for kxport_break.
kxlinecall kxport_setcontrol(int port, kxcontrol line, bool on);
// Drops DTR or RTS for ms (1..KX_LINE_HOLD_MAX_MS), then raises it again;
// holds a BREAK for ms.  Host messages are pumped meanwhile.
kxlinecall kxport_pulse(int port, kxcontrol line, int ms);
kxlinecall kxport_break(int port, int ms);
// CTS, DSR, DCD and RI of the open port now.
kxlinecall kxport_modemlines(int port, kxmodemlines *lines);
