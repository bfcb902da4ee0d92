// Baud rates outside the termios table, through the Linux termios2
// interface.  Kept apart because <asm/termbits.h> clashes with <termios.h>.
#include <asm/termbits.h>
#include <sys/ioctl.h>

#include "platform/posix/serialrate.h"

bool posix_serial_setrate(int fd, int baud)
{
#if defined(TCGETS2) && defined(BOTHER)
    struct termios2 t2 {};
    if (ioctl(fd, TCGETS2, &t2) != 0)
        return false;
    t2.c_cflag &= ~static_cast<tcflag_t>(CBAUD | (CBAUD << IBSHIFT));
    t2.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
    t2.c_ispeed = static_cast<speed_t>(baud);
    t2.c_ospeed = static_cast<speed_t>(baud);
    if (ioctl(fd, TCSETS2, &t2) != 0)
        return false;
    // The driver may round or ignore the rate: check what it kept.
    struct termios2 back {};
    if (ioctl(fd, TCGETS2, &back) != 0)
        return false;
    long got = static_cast<long>(back.c_ospeed);
    long want = baud;
    return got > 0 && got * 100 >= want * 97 && got * 100 <= want * 103;
#else
    (void)fd;
    (void)baud;
    return false;
#endif
}
