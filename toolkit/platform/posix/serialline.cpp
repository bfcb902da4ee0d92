// The line settings of POSIX serial devices: the framing, flow control and
// rate in termios (read back, so that a refusal fails and a silent change
// shows), DTR and RTS at open, and the control and input lines.
#include <sys/ioctl.h>
#include <termios.h>

#include <cerrno>
#include <cstdio>
#include <string>

#include "base/reason.h"
#include "platform/posix/serialrate.h"
#include "platform/posix/serialterm.h"
#include "platform/serialhost.h"

namespace {

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

constexpr tcflag_t size_flags[] = {CS5, CS6, CS7, CS8};  // [databits - 5]
constexpr const char *parity_names[] = {"none", "odd", "even", "mark", "space"};
constexpr cc_t XON = 0x11, XOFF = 0x13;

const RateRow *find_rate(int baud)
{
    for (const RateRow &r : rate_table)
        if (r.baud == baud)
            return &r;
    return nullptr;
}

void fail(kxserialstatus *st, kxserialfault fault, const std::string &detail = "")
{
    st->fault = fault;
    std::snprintf(st->detail, sizeof st->detail, "%s", detail.c_str());
}

int real_modem(int fd, unsigned long request, int *bits) { return ioctl(fd, request, bits); }
int real_brk(int fd, bool on) { return ioctl(fd, on ? TIOCSBRK : TIOCCBRK); }

posix_linecalls calls = {real_modem, real_brk};

// The answer of a device that has no modem lines (a pseudo-terminal).
bool no_lines(int err) { return err == ENOTTY || err == EINVAL || err == ENOTSUP; }

kxlinecall call_failed(int err, kxserialstatus *st)
{
    if (no_lines(err))
        return kxlinecall::nolines;
    fail(st, kxserialfault::system, kxreason_text(err));
    return kxlinecall::failed;
}

// DTR and RTS as the line has them at open: the raised ones in one call,
// the dropped ones in another.  A device without lines is no refusal.
bool lines_at_open(int fd, const kxserialline &line)
{
    int up = (line.dtr ? TIOCM_DTR : 0) | (line.rts ? TIOCM_RTS : 0);
    int down = (line.dtr ? 0 : TIOCM_DTR) | (line.rts ? 0 : TIOCM_RTS);
    if (up && calls.modem(fd, TIOCMBIS, &up) != 0 && !no_lines(errno))
        return false;
    return !down || calls.modem(fd, TIOCMBIC, &down) == 0 || no_lines(errno);
}

} // namespace

posix_linecalls &posix_serial_linecalls() { return calls; }

bool posix_line_totermios(const kxserialline &line, tcflag_t cmspar, struct termios *t,
                          std::string *why)
{
    const int parity = static_cast<int>(line.parity);
    if (line.databits < KX_SERIAL_DATABITS_MIN || line.databits > KX_SERIAL_DATABITS_MAX) {
        *why = "databits=" + std::to_string(line.databits);
        return false;
    }
    if (parity < 0 || parity > static_cast<int>(kxparity::space)) {
        *why = "parity=" + std::to_string(parity);
        return false;
    }
    if (line.stopbits != 1 && line.stopbits != 2) {
        *why = "stopbits=" + std::to_string(line.stopbits);
        return false;
    }
    if (line.flow != kxflow::none && line.flow != kxflow::rtscts && line.flow != kxflow::xonxoff) {
        *why = "flow=" + std::to_string(static_cast<int>(line.flow));
        return false;
    }
    const bool sticky = line.parity == kxparity::mark || line.parity == kxparity::space;
    if (sticky && !cmspar) {
        *why = std::string("parity=") + parity_names[parity] + ": the system has no CMSPAR";
        return false;
    }
    cfmakeraw(t);
    t->c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY | INPCK | ISTRIP);
    t->c_iflag |= IGNBRK;
    t->c_cflag &=
        ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS | HUPCL | cmspar);
    t->c_cflag |= size_flags[line.databits - KX_SERIAL_DATABITS_MIN] | CREAD | CLOCAL;
    // Mark is odd with the sticky bit, space even with it.
    if (line.parity != kxparity::none)
        t->c_cflag |= PARENB;
    if (line.parity == kxparity::odd || line.parity == kxparity::mark)
        t->c_cflag |= PARODD;
    if (sticky)
        t->c_cflag |= cmspar;
    if (line.stopbits == 2)
        t->c_cflag |= CSTOPB;
    if (line.flow == kxflow::rtscts)
        t->c_cflag |= CRTSCTS;
    if (line.flow == kxflow::xonxoff) {
        t->c_iflag |= IXON | IXOFF;
        t->c_cc[VSTART] = XON;
        t->c_cc[VSTOP] = XOFF;
    }
    // One byte at least, and O_NONBLOCK: an empty device answers EAGAIN, so
    // that a read of 0 means hang-up.
    t->c_cc[VMIN] = 1;
    t->c_cc[VTIME] = 0;
    return true;
}

kxserialline posix_line_fromtermios(const struct termios &t, tcflag_t cmspar)
{
    kxserialline l;
    for (int bits = KX_SERIAL_DATABITS_MIN; bits <= KX_SERIAL_DATABITS_MAX; bits++)
        if ((t.c_cflag & CSIZE) == size_flags[bits - KX_SERIAL_DATABITS_MIN])
            l.databits = bits;
    const bool odd = (t.c_cflag & PARODD) != 0;
    if (!(t.c_cflag & PARENB))
        l.parity = kxparity::none;
    else if (cmspar && (t.c_cflag & cmspar))
        l.parity = odd ? kxparity::mark : kxparity::space;
    else
        l.parity = odd ? kxparity::odd : kxparity::even;
    l.stopbits = t.c_cflag & CSTOPB ? 2 : 1;
    l.flow = t.c_cflag & CRTSCTS ? kxflow::rtscts
             : t.c_iflag & IXON  ? kxflow::xonxoff
                                 : kxflow::none;
    return l;
}

bool kxserialhost_configure(kxserialhandle h, int baud, const kxserialline &line,
                            kxserialline *kept, kxserialstatus *st)
{
    int fd = static_cast<int>(h);
    struct termios t {};
    if (tcgetattr(fd, &t) != 0) {
        fail(st, kxserialfault::setting, kxreason_text(errno));
        return false;
    }
    std::string why;
    if (!posix_line_totermios(line, POSIX_CMSPAR, &t, &why)) {
        fail(st, kxserialfault::setting, why);
        return false;
    }
    const RateRow *rate = find_rate(baud);
    if (rate && (cfsetispeed(&t, rate->code) != 0 || cfsetospeed(&t, rate->code) != 0)) {
        fail(st, kxserialfault::rate, std::to_string(baud));
        return false;
    }
    if (tcsetattr(fd, TCSANOW, &t) != 0) {
        fail(st, kxserialfault::setting, kxreason_text(errno));
        return false;
    }
    // tcsetattr succeeds when any part was taken: read back what was.
    struct termios back {};
    if (tcgetattr(fd, &back) != 0) {
        fail(st, kxserialfault::setting, kxreason_text(errno));
        return false;
    }
    *kept = posix_line_fromtermios(back, POSIX_CMSPAR);
    kept->dtr = line.dtr;
    kept->rts = line.rts;
    if (rate ? cfgetospeed(&back) != rate->code : !posix_serial_setrate(fd, baud)) {
        fail(st, kxserialfault::rate, std::to_string(baud));
        return false;
    }
    if (!lines_at_open(fd, line)) {
        fail(st, kxserialfault::setting, kxreason_text(errno));
        return false;
    }
    ioctl(fd, TIOCEXCL);
    return true;
}

kxlinecall kxserialhost_control(kxserialhandle h, kxcontrol line, bool on, kxserialstatus *st)
{
    const int fd = static_cast<int>(h);
    if (line == kxcontrol::brk) {
        // A pseudo-terminal takes a BREAK and does nothing: a device without
        // modem lines has none.
        int bits = 0;
        if (on && calls.modem(fd, TIOCMGET, &bits) != 0)
            return call_failed(errno, st);
        return calls.brk(fd, on) == 0 ? kxlinecall::done : call_failed(errno, st);
    }
    int bit = line == kxcontrol::dtr ? TIOCM_DTR : TIOCM_RTS;
    if (calls.modem(fd, on ? TIOCMBIS : TIOCMBIC, &bit) == 0)
        return kxlinecall::done;
    return call_failed(errno, st);
}

kxlinecall kxserialhost_modemlines(kxserialhandle h, kxmodemlines *lines, kxserialstatus *st)
{
    int bits = 0;
    if (calls.modem(static_cast<int>(h), TIOCMGET, &bits) != 0)
        return call_failed(errno, st);
    lines->cts = bits & TIOCM_CTS;
    lines->dsr = bits & TIOCM_DSR;
    lines->dcd = bits & TIOCM_CAR;
    lines->ri = bits & TIOCM_RNG;
    return kxlinecall::done;
}
