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

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/platform.h"
#include "platform/posix/serialrate.h"
#include "platform/posix/wakefd.h"

namespace {

constexpr int SERIAL_NAME_SIZE = 20;      // "COM%d" and its NUL
constexpr int SERIAL_PATH_SIZE = 4096;
constexpr int SERIAL_READAHEAD = 4096;    // bytes taken from the driver at once
// A device read empty is watched for its next bytes when they came faster
// than this since it was last empty (a flood: read on at once; 115200 baud
// gives 11.5 bytes/ms) or when none came for SERIAL_QUIET_MS (an answer:
// read at once).  A steady trickle is left to the reader's own rhythm, so
// that every few bytes do not wake the program.
constexpr std::int64_t SERIAL_FAST_BYTES_PER_MS = 20;
constexpr std::int64_t SERIAL_QUIET_MS = 50;
constexpr int SERIAL_WRITE_WAIT_MS = 2000;  // a device that takes nothing this long fails

struct SerialSlot {
    int fd = -1;  // -1: never opened, or the last open failed
    int baud = 0;
    unsigned char ahead[SERIAL_READAHEAD] = {};
    int head = 0, tail = 0;  // bytes ahead[head..tail) are read but not yet handed out
    // The last read found nothing: the hosts' waits watch the device until
    // bytes arrive, which then marks them arrived for kxserial_arrived.
    bool watched = false;
    bool arrived = false;
    bool quiet = false;  // the last wait watched it and nothing came
    bool hung = false;   // a wait found it hung up: not watched until bytes come
    int burst = 0;                // bytes read since a read last found none
    std::int64_t last_empty = 0;  // when a burst last ended
    std::int64_t last_bytes = 0;  // when a read last gave bytes; 0: never
};

SerialSlot slots[KX_SERIAL_SLOTS];
// The open slots, so that a wait need not look at all of them (each slot
// holds its read-ahead: touching them all would map a megabyte).
int open_slots[KX_SERIAL_SLOTS];
int open_count = 0;

void list_open(int slot, bool open)
{
    int *end = open_slots + open_count;
    int *at = std::find(open_slots, end, slot);
    if (open && at == end)
        open_slots[open_count++] = slot;
    else if (!open && at != end) {
        *at = open_slots[--open_count];
    }
}

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

// The device was read empty: whether the waits watch it for its next bytes.
// A burst decides when it ends; an empty read after an empty read changes a
// watch only once the device has been quiet long enough.
void watch_empty(SerialSlot &s)
{
    std::int64_t now = kxsys_ticks();
    if (s.hung) {
        s.watched = false;  // it reads empty for ever: the reader's timer looks
        return;
    }
    if (s.burst > 0) {
        std::int64_t took = std::max<std::int64_t>(1, now - s.last_empty);
        s.watched = s.burst > SERIAL_FAST_BYTES_PER_MS * took;
        s.burst = 0;
        s.last_empty = now;
    } else if (!s.watched) {
        s.watched = s.last_bytes == 0 || now - s.last_bytes >= SERIAL_QUIET_MS;
    }
}

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
    s.watched = s.arrived = s.quiet = s.hung = false;
    s.burst = 0;
    s.last_empty = 0;
    s.last_bytes = 0;
    list_open(static_cast<int>(&s - slots), false);
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
    list_open(slot, true);
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
        if (s.quiet) {
            // The wait has just seen it empty: bytes come meanwhile wake
            // the next wait, which watches it still.
            s.quiet = false;
            return -1;
        }
        s.head = s.tail = 0;
        ssize_t n = read(s.fd, s.ahead, sizeof s.ahead);
        s.arrived = false;
        if (n <= 0) {
            // Empty (a raw tty reads 0 then) is waited for, a failure not.
            if (n == 0 || errno == EAGAIN || errno == EWOULDBLOCK)
                watch_empty(s);
            else
                s.watched = false;
            return -1;  // nothing yet, or the device has gone
        }
        s.tail = static_cast<int>(n);
        s.hung = false;
        s.burst += static_cast<int>(n);
        s.last_bytes = std::max<std::int64_t>(1, kxsys_ticks());
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

bool kxserial_arrived(int slot)
{
    if (!valid_slot(slot) || !slots[slot].arrived)
        return false;
    slots[slot].arrived = false;
    return true;
}

int kxposix_serial_watch(pollfd *fds, int max)
{
    int n = 0;
    for (int k = 0; k < open_count && n < max; k++)
        if (const SerialSlot &s = slots[open_slots[k]]; s.watched)
            fds[n++] = {s.fd, POLLIN, 0};
    return n;
}

// A device that woke the wait is watched no more until it is read empty
// again, so that a program that does not read it now (or a device that has
// hung up) does not keep waking it.  One that stayed quiet needs no read to
// tell so.
void kxposix_serial_seen(const pollfd *fds, int count)
{
    for (int k = 0; k < count; k++)
        for (int i = 0; i < open_count; i++) {
            SerialSlot &s = slots[open_slots[i]];
            if (s.fd != fds[k].fd || !s.watched)
                continue;
            const short ev = fds[k].revents;
            s.quiet = ev == 0;
            if (!s.quiet) {
                s.watched = false;
                s.hung = (ev & (POLLHUP | POLLERR | POLLNVAL)) != 0;
                s.arrived = (ev & POLLIN) && !s.hung;
            }
        }
}
