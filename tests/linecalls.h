// A double of the POSIX host's control-line calls: a device with control
// lines whose calls are recorded and whose input lines the test sets.
#pragma once

#include <sys/ioctl.h>

#include <cerrno>
#include <ostream>
#include <vector>

#include "platform/posix/serialterm.h"

struct kxtest_linecall {
    unsigned long request;  // TIOCMGET, TIOCMBIS, TIOCMBIC, TIOCSBRK, TIOCCBRK
    int bits;
    bool operator==(const kxtest_linecall &) const = default;
};
inline void PrintTo(const kxtest_linecall &c, std::ostream *os)
{
    *os << std::hex << c.request << ":" << c.bits;
}

struct kxtest_linecalls {
    static inline std::vector<kxtest_linecall> calls;
    static inline int modem_bits = 0;  // what TIOCMGET gives
    static inline int fail_with = 0;   // errno of every modem call; 0: they succeed

    posix_linecalls saved = posix_serial_linecalls();
    kxtest_linecalls()
    {
        calls.clear();
        modem_bits = fail_with = 0;
        posix_serial_linecalls() = {modem, brk};
    }
    ~kxtest_linecalls() { posix_serial_linecalls() = saved; }

    static int modem(int, unsigned long request, int *bits)
    {
        calls.push_back({request, request == TIOCMGET ? 0 : *bits});
        if (fail_with) {
            errno = fail_with;
            return -1;
        }
        if (request == TIOCMGET)
            *bits = modem_bits;
        return 0;
    }
    static int brk(int, bool on)
    {
        calls.push_back({on ? static_cast<unsigned long>(TIOCSBRK) : TIOCCBRK, 0});
        return 0;
    }
};
