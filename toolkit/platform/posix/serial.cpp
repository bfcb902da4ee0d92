// Serial devices on POSIX hosts: "COMn" names resolved to device paths,
// exclusive open, raw 8N1 line settings, reads that never block and writes
// that wait a bounded time for room.
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/platform.h"
#include "platform/posix/serialrate.h"

namespace {

constexpr int SERIAL_NAME_SIZE = 20;      // "COM%d" and its NUL
constexpr int SERIAL_PATH_SIZE = 4096;
constexpr int SERIAL_READAHEAD = 4096;    // bytes taken from the driver at once
constexpr int SERIAL_WRITE_WAIT_MS = 2000;  // a device that takes nothing this long fails

struct SerialSlot {
    int fd = -1;  // -1: never opened, or the last open failed
    int baud = 0;
    unsigned char ahead[SERIAL_READAHEAD] = {};
    int head = 0, tail = 0;  // bytes ahead[head..tail) are read but not yet handed out
};

SerialSlot slots[KX_SERIAL_SLOTS];

struct RateRow {
    int baud;
    speed_t code;
};

constexpr RateRow rate_table[] = {
    {50, B50},         {75, B75},         {110, B110},       {134, B134},
    {150, B150},       {200, B200},       {300, B300},       {600, B600},
    {1200, B1200},     {1800, B1800},     {2400, B2400},     {4800, B4800},
    {9600, B9600},     {19200, B19200},   {38400, B38400},   {57600, B57600},
    {115200, B115200}, {230400, B230400}, {460800, B460800}, {921600, B921600},
};

bool valid_slot(int slot) { return slot >= 0 && slot < KX_SERIAL_SLOTS; }

bool is_file(const char *path)
{
    struct stat st {};
    return lstat(path, &st) == 0;
}

// "COMn" becomes ./COMn, else $KX_SERIAL_DIR/COMn, else /dev/ttyS<n-1>;
// any other name is taken as a path.
void resolve_name(const char *name, char *path, std::size_t size)
{
    int n = 0;
    char rest = 0;
    bool com = std::sscanf(name, "COM%d%c", &n, &rest) == 1 && n > 0;
    if (!com) {
        std::snprintf(path, size, "%s", name);
        return;
    }
    if (is_file(name)) {
        std::snprintf(path, size, "%s", name);
        return;
    }
    const char *dir = std::getenv("KX_SERIAL_DIR");
    if (dir && *dir) {
        std::snprintf(path, size, "%s/%s", dir, name);
        if (is_file(path))
            return;
    }
    std::snprintf(path, size, "/dev/ttyS%d", n - 1);
}

const RateRow *find_rate(int baud)
{
    for (const RateRow &r : rate_table)
        if (r.baud == baud)
            return &r;
    return nullptr;
}

// DTR and RTS up.  A pseudo-terminal has no modem lines; that is no refusal.
bool raise_modem_lines(int fd)
{
    int bits = TIOCM_DTR | TIOCM_RTS;
    if (ioctl(fd, TIOCMBIS, &bits) == 0)
        return true;
    return errno == ENOTTY || errno == EINVAL || errno == ENOTSUP;
}

void close_slot(SerialSlot &s)
{
    if (s.fd >= 0) {
        flock(s.fd, LOCK_UN);
        close(s.fd);
    }
    s.fd = -1;
    s.head = s.tail = 0;
}

// Waits for room to write; false after SERIAL_WRITE_WAIT_MS or when the
// device has gone.
bool wait_writable(int fd, std::int64_t deadline)
{
    for (;;) {
        std::int64_t left = deadline - kxsys_ticks();
        if (left <= 0)
            return false;
        struct pollfd p {fd, POLLOUT, 0};
        int r = poll(&p, 1, static_cast<int>(left));
        if (r < 0 && errno == EINTR)
            continue;
        if (r <= 0)
            return false;
        if (p.revents & (POLLERR | POLLHUP | POLLNVAL))
            return false;
        if (p.revents & POLLOUT)
            return true;
    }
}

} // namespace

bool kxserial_openname(const char *name, int slot, int baud)
{
    if (!valid_slot(slot) || !name)
        return false;
    SerialSlot &s = slots[slot];
    close_slot(s);  // a reopen replaces the slot's device
    s.baud = baud;
    char path[SERIAL_PATH_SIZE];
    resolve_name(name, path, sizeof path);
    int fd = open(path, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    // No sharing: a device that another open holds is refused.
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        close(fd);
        return false;
    }
    s.fd = fd;
    // A driver that refuses the line settings or the rate would leave the
    // port at some other speed: better to fail the open.
    if (!kxserial_configure(slot) || !kxserial_settimeouts(slot)) {
        close_slot(s);
        return false;
    }
    ioctl(fd, TIOCEXCL);
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
    if (!valid_slot(slot) || slots[slot].fd < 0)
        return false;
    const SerialSlot &s = slots[slot];
    if (s.baud <= 0)
        return false;
    struct termios t {};
    if (tcgetattr(s.fd, &t) != 0)
        return false;
    cfmakeraw(&t);
    t.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY | INPCK | ISTRIP);
    t.c_iflag |= IGNBRK;
    t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB | CRTSCTS | HUPCL);
    t.c_cflag |= CS8 | CREAD | CLOCAL;
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
    const RateRow *rate = find_rate(s.baud);
    if (rate && (cfsetispeed(&t, rate->code) != 0 || cfsetospeed(&t, rate->code) != 0))
        return false;
    if (tcsetattr(s.fd, TCSANOW, &t) != 0)
        return false;
    // tcsetattr succeeds when any part was taken: check the parts that matter.
    struct termios back {};
    if (tcgetattr(s.fd, &back) != 0)
        return false;
    if ((back.c_cflag & (CSIZE | PARENB | CSTOPB | CRTSCTS)) != CS8)
        return false;
    if (rate && cfgetospeed(&back) != rate->code)
        return false;
    if (!rate && !posix_serial_setrate(s.fd, s.baud))
        return false;
    return raise_modem_lines(s.fd);
}

bool kxserial_settimeouts(int slot)
{
    if (!valid_slot(slot) || slots[slot].fd < 0)
        return false;
    int fd = slots[slot].fd;
    int flags = fcntl(fd, F_GETFL);
    return flags >= 0 && fcntl(fd, F_SETFL, flags | O_NONBLOCK) == 0;
}

int kxserial_getc(int slot)
{
    if (!valid_slot(slot))
        return -1;
    SerialSlot &s = slots[slot];
    if (s.head == s.tail) {
        if (s.fd < 0)
            return -1;
        s.head = s.tail = 0;
        ssize_t n = read(s.fd, s.ahead, sizeof s.ahead);
        if (n <= 0)
            return -1;  // nothing yet, or the device has gone
        s.tail = static_cast<int>(n);
    }
    return s.ahead[s.head++];
}

bool kxserial_putc(int slot, int byte)
{
    if (!valid_slot(slot) || slots[slot].fd < 0)
        return false;
    int fd = slots[slot].fd;
    unsigned char c = static_cast<unsigned char>(byte);
    std::int64_t deadline = kxsys_ticks() + SERIAL_WRITE_WAIT_MS;
    for (;;) {
        ssize_t n = write(fd, &c, 1);
        if (n == 1)
            return true;
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK)
            return false;
        if (!wait_writable(fd, deadline))
            return false;
    }
}

void kxserial_close(int slot)
{
    if (valid_slot(slot))
        close_slot(slots[slot]);
}

bool kxserial_isopen(int slot) { return valid_slot(slot) && slots[slot].fd >= 0; }
