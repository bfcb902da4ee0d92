// Serial devices on POSIX hosts: "COMn" names resolved to device paths,
// exclusive open, raw 8N1 line settings, reads that never block and tell a
// vanished device from an empty one, writes that wait a bounded time for
// room, and the reasons of failures as the system gives them.
#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "base/reason.h"
#include "platform/posix/serialrate.h"
#include "platform/posix/wakefd.h"
#include "platform/serialhost.h"

namespace {

constexpr int SERIAL_LINK_HOPS = 40;  // as the kernel's own limit
constexpr const char *BYID_DIR = "/dev/serial/by-id";

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

void copy(char *to, std::size_t size, const std::string &from)
{
    std::snprintf(to, size, "%s", from.c_str());
}

void fail(kxserialstatus *st, kxserialfault fault, const std::string &detail = "")
{
    st->fault = fault;
    copy(st->detail, sizeof st->detail, detail);
}

void fail_errno(kxserialstatus *st, kxserialfault fault, int err)
{
    fail(st, fault, kxreason_text(err));
}

bool exists(const char *path)
{
    struct stat st {};
    return lstat(path, &st) == 0;
}

const RateRow *find_rate(int baud)
{
    for (const RateRow &r : rate_table)
        if (r.baud == baud)
            return &r;
    return nullptr;
}

// The path with its symbolic links followed as far as they lead: the device
// itself, or the first name that is missing.
std::string follow(const std::string &path)
{
    char real[PATH_MAX];
    if (realpath(path.c_str(), real))
        return real;
    std::string at = path;
    for (int hop = 0; hop < SERIAL_LINK_HOPS; hop++) {
        char target[PATH_MAX];
        ssize_t n = readlink(at.c_str(), target, sizeof target - 1);
        if (n <= 0)
            break;
        target[n] = 0;
        std::size_t slash = at.rfind('/');
        at = target[0] == '/' || slash == std::string::npos ? std::string(target)
                                                            : at.substr(0, slash + 1) + target;
    }
    return at;
}

// The name in /dev/serial/by-id that leads to the device, or "".
std::string byid_name(const std::string &device)
{
    DIR *d = opendir(BYID_DIR);
    if (!d)
        return "";
    std::string found;
    while (dirent *e = readdir(d)) {
        if (e->d_name[0] == '.')
            continue;
        char real[PATH_MAX];
        std::string link = std::string(BYID_DIR) + "/" + e->d_name;
        if (realpath(link.c_str(), real) && device == real) {
            found = e->d_name;
            break;
        }
    }
    closedir(d);
    return found;
}

// Where the device's group could open it, its name: the user must join it.
std::string group_hint(const char *path)
{
    struct stat st {};
    if (stat(path, &st) != 0 || (st.st_mode & (S_IRGRP | S_IWGRP)) != (S_IRGRP | S_IWGRP))
        return "";
    struct group g {}, *found = nullptr;
    char buf[4096];
    if (getgrgid_r(st.st_gid, &g, buf, sizeof buf, &found) == 0 && found)
        return found->gr_name;
    return std::to_string(st.st_gid);
}

// The name of a process, as /proc shows it.
std::string process_name(const std::string &pid)
{
    char comm[64] = {};
    if (std::FILE *c = std::fopen(("/proc/" + pid + "/comm").c_str(), "r")) {
        if (std::fgets(comm, sizeof comm, c))
            comm[std::strcspn(comm, "\n")] = 0;
        std::fclose(c);
    }
    return std::string(comm[0] ? comm : "?") + " (PID " + pid + ")";
}

// The process holding the device's lock, from /proc/locks
// ("1: FLOCK ADVISORY WRITE <pid> <major>:<minor>:<inode> 0 EOF"), or "".
std::string lock_holder(const struct stat &dev)
{
    std::FILE *f = std::fopen("/proc/locks", "r");
    if (!f)
        return "";
    std::string found;
    char line[256];
    while (found.empty() && std::fgets(line, sizeof line, f)) {
        char kind[16];
        unsigned long pid = 0, inode = 0;
        unsigned major = 0, minor = 0;
        if (std::sscanf(line, "%*s %15s %*s %*s %lu %x:%x:%lu", kind, &pid, &major, &minor,
                        &inode) == 5 &&
            std::strcmp(kind, "FLOCK") == 0 && inode == dev.st_ino &&
            makedev(major, minor) == dev.st_dev)
            found = process_name(std::to_string(pid));
    }
    std::fclose(f);
    return found;
}

// Another process that has the device open, as its /proc/<pid>/fd shows it
// (only processes this user may look into), or "".
std::string opener(const struct stat &dev)
{
    DIR *proc = opendir("/proc");
    if (!proc)
        return "";
    std::string found;
    const std::string self = std::to_string(getpid());
    while (found.empty()) {
        dirent *p = readdir(proc);
        if (!p)
            break;
        if (p->d_name[0] < '1' || p->d_name[0] > '9' || self == p->d_name)
            continue;
        std::string fds = std::string("/proc/") + p->d_name + "/fd";
        DIR *d = opendir(fds.c_str());
        if (!d)
            continue;
        while (dirent *f = readdir(d)) {
            struct stat st {};
            if (f->d_name[0] != '.' && stat((fds + "/" + f->d_name).c_str(), &st) == 0 &&
                S_ISCHR(st.st_mode) && st.st_rdev == dev.st_rdev) {
                found = process_name(p->d_name);
                break;
            }
        }
        closedir(d);
    }
    closedir(proc);
    return found;
}

// Who holds the device: the owner of its lock, else any other opener.
std::string holder(const char *path)
{
    struct stat dev {};
    if (stat(path, &dev) != 0 || !S_ISCHR(dev.st_mode))
        return "";
    std::string who = lock_holder(dev);
    return who.empty() ? opener(dev) : who;
}

void open_failed(const char *path, int err, kxserialstatus *st)
{
    switch (err) {
    case ENOENT:
    case ENOTDIR:
    case ENXIO:
    case ENODEV: fail(st, kxserialfault::missing); break;
    case EACCES:
    case EPERM: fail(st, kxserialfault::access, group_hint(path)); break;
    case EBUSY:
    case EWOULDBLOCK: fail(st, kxserialfault::busy, holder(path)); break;
    default: fail_errno(st, kxserialfault::system, err);
    }
}

// DTR and RTS up.  A pseudo-terminal has no modem lines; that is no refusal.
bool raise_modem_lines(int fd)
{
    int bits = TIOCM_DTR | TIOCM_RTS;
    if (ioctl(fd, TIOCMBIS, &bits) == 0)
        return true;
    return errno == ENOTTY || errno == EINVAL || errno == ENOTSUP;
}

// The errors with which a terminal whose device has gone answers.
bool gone(int err) { return err == EIO || err == ENXIO || err == ENODEV || err == EBADF; }

// Waits for room to write: 1 when there is, 0 after ms, -1 when the device
// has gone or cannot be waited for (the status says which).
int wait_writable(int fd, int ms, kxserialstatus *st)
{
    const std::int64_t deadline = kxsys_ticks() + ms;
    for (;;) {
        std::int64_t left = deadline - kxsys_ticks();
        if (left <= 0)
            return 0;
        struct pollfd p {fd, POLLOUT, 0};
        int r = poll(&p, 1, static_cast<int>(left));
        if (r < 0 && errno == EINTR)
            continue;
        if (r < 0) {
            fail_errno(st, kxserialfault::system, errno);
            return -1;
        }
        if (r > 0 && (p.revents & (POLLERR | POLLHUP | POLLNVAL))) {
            fail(st, kxserialfault::lost);
            return -1;
        }
        if (r > 0 && (p.revents & POLLOUT))
            return 1;
    }
}

} // namespace

void kxserialhost_lookup(const char *name, char *path, std::size_t size)
{
    int n = 0;
    char rest = 0;
    bool com = std::sscanf(name, "COM%d%c", &n, &rest) == 1 && n > 0;
    if (!com || exists(name)) {
        copy(path, size, name);
        return;
    }
    const char *dir = std::getenv("KX_SERIAL_DIR");
    if (dir && *dir) {
        std::snprintf(path, size, "%s/%s", dir, name);
        if (exists(path))
            return;
    }
    std::snprintf(path, size, "/dev/ttyS%d", n - 1);
}

kxserialdevice kxserialhost_identify(const char *path)
{
    kxserialdevice d;
    std::string real = follow(path);
    struct stat st {};
    d.present = stat(real.c_str(), &st) == 0;
    copy(d.path, sizeof d.path, real);
    if (d.present)
        copy(d.byid, sizeof d.byid, byid_name(real));
    return d;
}

kxserialhandle kxserialhost_open(const char *path, kxserialstatus *st)
{
    int fd = open(path, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        open_failed(path, errno, st);
        return KX_SERIAL_NOHANDLE;
    }
    // No sharing: a device that another open holds is refused.
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        int err = errno;
        close(fd);
        open_failed(path, err, st);
        return KX_SERIAL_NOHANDLE;
    }
    return fd;
}

bool kxserialhost_configure(kxserialhandle h, int baud, kxserialstatus *st)
{
    int fd = static_cast<int>(h);
    struct termios t {};
    if (tcgetattr(fd, &t) != 0) {
        fail_errno(st, kxserialfault::setting, errno);
        return false;
    }
    cfmakeraw(&t);
    t.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY | INPCK | ISTRIP);
    t.c_iflag |= IGNBRK;
    t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB | CRTSCTS | HUPCL);
    t.c_cflag |= CS8 | CREAD | CLOCAL;
    // One byte at least, and O_NONBLOCK: an empty device answers EAGAIN, so
    // that a read of 0 means hang-up.
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
    const RateRow *rate = find_rate(baud);
    if (rate && (cfsetispeed(&t, rate->code) != 0 || cfsetospeed(&t, rate->code) != 0)) {
        fail(st, kxserialfault::rate, std::to_string(baud));
        return false;
    }
    if (tcsetattr(fd, TCSANOW, &t) != 0) {
        fail_errno(st, kxserialfault::setting, errno);
        return false;
    }
    // tcsetattr succeeds when any part was taken: check the parts that matter.
    struct termios back {};
    if (tcgetattr(fd, &back) != 0 || (back.c_cflag & (CSIZE | PARENB | CSTOPB | CRTSCTS)) != CS8) {
        fail(st, kxserialfault::setting);
        return false;
    }
    if (rate ? cfgetospeed(&back) != rate->code : !posix_serial_setrate(fd, baud)) {
        fail(st, kxserialfault::rate, std::to_string(baud));
        return false;
    }
    if (!raise_modem_lines(fd)) {
        fail_errno(st, kxserialfault::setting, errno);
        return false;
    }
    ioctl(fd, TIOCEXCL);
    return true;
}

bool kxserialhost_settimeouts(kxserialhandle h)
{
    int fd = static_cast<int>(h);
    int flags = fcntl(fd, F_GETFL);
    return flags >= 0 && fcntl(fd, F_SETFL, flags | O_NONBLOCK) == 0;
}

int kxserialhost_read(kxserialhandle h, unsigned char *buf, int size, kxserialstatus *st)
{
    for (;;) {
        ssize_t n = read(static_cast<int>(h), buf, static_cast<std::size_t>(size));
        if (n > 0)
            return static_cast<int>(n);
        if (n == 0) {
            fail(st, kxserialfault::lost);  // hung up
            return -1;
        }
        if (errno == EINTR)
            continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK || !gone(errno))
            return 0;
        fail_errno(st, kxserialfault::lost, errno);
        return -1;
    }
}

bool kxserialhost_write(kxserialhandle h, unsigned char byte, kxserialstatus *st)
{
    int fd = static_cast<int>(h);
    for (;;) {
        ssize_t n = write(fd, &byte, 1);
        if (n == 1)
            return true;
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
            fail_errno(st, gone(errno) ? kxserialfault::lost : kxserialfault::system, errno);
            return false;
        }
        int room = wait_writable(fd, KX_SERIAL_WRITE_WAIT_MS, st);
        if (room == 0)
            fail(st, kxserialfault::timeout);
        if (room <= 0)
            return false;
    }
}

void kxserialhost_close(kxserialhandle h)
{
    int fd = static_cast<int>(h);
    kxposix_poll_forget(fd);
    flock(fd, LOCK_UN);
    close(fd);
}

int kxposix_serial_watch(pollfd *fds, int max)
{
    kxserialhandle handles[KX_WAIT_SERIAL];
    int n = kxserial_watched(handles, std::min(max, KX_WAIT_SERIAL));
    for (int k = 0; k < n; k++)
        fds[k] = {static_cast<int>(handles[k]), POLLIN, 0};
    return n;
}

bool kxposix_serial_seen(const pollfd *fds, int count)
{
    bool wanted = false;
    for (int k = 0; k < count; k++) {
        const short ev = fds[k].revents;
        kxserialwake wake = ev == 0                                   ? kxserialwake::quiet
                            : (ev & (POLLHUP | POLLERR | POLLNVAL)) != 0 ? kxserialwake::hung
                                                                        : kxserialwake::bytes;
        wanted = kxserial_seen(fds[k].fd, wake) || wanted;
    }
    return wanted;
}

int kxposix_wait(pollfd *fds, int own, int ms)
{
    const int total = kxposix_wait_ms(ms);
    const std::int64_t end = kxsys_ticks() + total;
    for (;;) {
        const int serial = kxposix_serial_watch(fds + own, KX_WAIT_SERIAL);
        const int left =
            total < 0 ? -1 : static_cast<int>(std::max<std::int64_t>(0, end - kxsys_ticks()));
        const int n = kxposix_poll(fds, own + serial, left);
        if (n < 0)
            return n;
        const bool wanted = kxposix_serial_seen(fds + own, serial);
        const bool mine = std::any_of(fds, fds + own, [](const pollfd &p) { return p.revents; });
        if (n == 0 || mine || wanted || left == 0)
            return n;
    }
}
