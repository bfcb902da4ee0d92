// The line settings of POSIX serial devices as termios flags, and the calls
// the control lines go through (host-local helpers).
#pragma once

#include <termios.h>

#include <string>

#include "platform/platform.h"

// Mark and space parity need the system's CMSPAR; without it they are refused.
#ifdef CMSPAR
constexpr tcflag_t POSIX_CMSPAR = CMSPAR;
#else
constexpr tcflag_t POSIX_CMSPAR = 0;
#endif

// Raw mode with the line's framing and flow control in t, cmspar being the
// system's mark/space flag (0: the system has none).  False when the line
// cannot be had, why naming the setting ("parity=mark: ...").
bool posix_line_totermios(const kxserialline &line, tcflag_t cmspar, struct termios *t,
                          std::string *why);
// The framing and flow control t holds; DTR and RTS at their defaults.
kxserialline posix_line_fromtermios(const struct termios &t, tcflag_t cmspar);

// The control-line calls, as ioctl makes them: 0, or -1 with errno.  A test
// puts its own in to watch pulses and BREAKs on a device without lines.
struct posix_linecalls {
    int (*modem)(int fd, unsigned long request, int *bits);  // TIOCMGET, TIOCMBIS, TIOCMBIC
    int (*brk)(int fd, bool on);                              // TIOCSBRK, TIOCCBRK
};
posix_linecalls &posix_serial_linecalls();
