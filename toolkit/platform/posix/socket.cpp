// TCP connections to serial servers on POSIX hosts: a connect that never
// waits beyond its time, keepalive that notices a silent server, and the
// system's errors sorted into the reasons a user is told.
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "base/reason.h"
#include "platform/posix/wakefd.h"
#include "platform/sockethost.h"

namespace {

// A silent server is given up after KEEPIDLE + KEEPCNT * KEEPINTVL seconds;
// data it does not acknowledge, after USER_TIMEOUT_MS.
constexpr int KEEPIDLE_S = 5;
constexpr int KEEPINTVL_S = 1;
constexpr int KEEPCNT = 5;
constexpr int USER_TIMEOUT_MS = 10000;

void fail(kxserialstatus *st, kxserialfault fault, const char *detail = "")
{
    st->fault = fault;
    std::snprintf(st->detail, sizeof st->detail, "%s", detail);
}

void lose(kxserialstatus *st, int err)
{
    const bool closed = err == 0 || err == ECONNRESET || err == EPIPE || err == ECONNABORTED;
    const bool silent = err == ETIMEDOUT || err == EHOSTUNREACH || err == ENETUNREACH;
    fail(st, kxserialfault::lost, closed || silent ? "" : kxreason_text(err).c_str());
    st->loss = closed ? kxserialloss::closed : silent ? kxserialloss::silent : kxserialloss::gone;
}

void connect_failed(kxserialstatus *st, int err)
{
    if (err == ECONNREFUSED)
        fail(st, kxserialfault::refused);
    else if (err == ETIMEDOUT)
        fail(st, kxserialfault::unanswered);
    else
        fail(st, kxserialfault::system, kxreason_text(err).c_str());
}

void tune(int fd)
{
    const int on = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    setsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on);
#ifdef TCP_KEEPIDLE
    const int idle = KEEPIDLE_S, interval = KEEPINTVL_S, count = KEEPCNT;
    setsockopt(fd, IPPROTO_TCP, TCP_KEEPIDLE, &idle, sizeof idle);
    setsockopt(fd, IPPROTO_TCP, TCP_KEEPINTVL, &interval, sizeof interval);
    setsockopt(fd, IPPROTO_TCP, TCP_KEEPCNT, &count, sizeof count);
#endif
#ifdef TCP_USER_TIMEOUT
    const unsigned user = USER_TIMEOUT_MS;
    setsockopt(fd, IPPROTO_TCP, TCP_USER_TIMEOUT, &user, sizeof user);
#endif
}

// Polls for one event up to ms, through interruptions: poll's count.
int wait_for(int fd, short events, int ms, short *revents)
{
    const std::int64_t deadline = kxsys_ticks() + ms;
    for (;;) {
        struct pollfd p {fd, events, 0};
        const std::int64_t left = deadline - kxsys_ticks();
        int r = poll(&p, 1, left > 0 ? static_cast<int>(left) : 0);
        if (r < 0 && errno == EINTR)
            continue;
        *revents = p.revents;
        return r;
    }
}

} // namespace

kxserialhandle kxsockhost_connect(const char *host, const char *service, int ms,
                                  kxserialstatus *st)
{
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo *list = nullptr;
    if (getaddrinfo(host, service, &hints, &list) != 0 || !list) {
        fail(st, kxserialfault::unresolved, host);
        return KX_SERIAL_NOHANDLE;
    }
    // Each address in turn; a refusal says more than a later address that
    // cannot be reached, so the first reason is kept.
    int first_err = 0;
    int fd = -1;
    for (addrinfo *a = list; a && fd < 0; a = a->ai_next) {
        int s = socket(a->ai_family, a->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, a->ai_protocol);
        if (s < 0) {
            first_err = first_err ? first_err : errno;
            continue;
        }
        tune(s);
        if (connect(s, a->ai_addr, a->ai_addrlen) == 0 || errno == EINPROGRESS) {
            fd = s;
            break;
        }
        first_err = first_err ? first_err : errno;
        close(s);
    }
    freeaddrinfo(list);
    if (fd < 0) {
        connect_failed(st, first_err ? first_err : ECONNREFUSED);
        return KX_SERIAL_NOHANDLE;
    }
    int made = kxsockhost_finish(fd, ms, st);
    if (made < 0) {
        close(fd);
        return KX_SERIAL_NOHANDLE;
    }
    if (made == 0)
        fail(st, kxserialfault::unanswered);
    return fd;
}

int kxsockhost_finish(kxserialhandle h, int ms, kxserialstatus *st)
{
    const int fd = static_cast<int>(h);
    short ev = 0;
    int r = wait_for(fd, POLLOUT, ms, &ev);
    if (r == 0)
        return 0;
    int err = 0;
    socklen_t len = sizeof err;
    if (r < 0)
        err = errno;
    else if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len) != 0)
        err = errno;
    if (err == 0 && (ev & POLLOUT)) {
        st->fault = kxserialfault::none;
        st->detail[0] = 0;
        return 1;
    }
    connect_failed(st, err ? err : ECONNREFUSED);
    return -1;
}

int kxsockhost_recv(kxserialhandle h, unsigned char *buf, int size, kxserialstatus *st)
{
    for (;;) {
        ssize_t n = recv(static_cast<int>(h), buf, static_cast<std::size_t>(size), 0);
        if (n > 0)
            return static_cast<int>(n);
        if (n == 0) {
            lose(st, 0);
            return -1;
        }
        if (errno == EINTR)
            continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK)
            return 0;
        lose(st, errno);
        return -1;
    }
}

bool kxsockhost_send(kxserialhandle h, const unsigned char *buf, int n, int ms, kxserialstatus *st)
{
    const int fd = static_cast<int>(h);
    const std::int64_t deadline = kxsys_ticks() + ms;
    int done = 0;
    while (done < n) {
        ssize_t k = send(fd, buf + done, static_cast<std::size_t>(n - done), MSG_NOSIGNAL);
        if (k > 0) {
            done += static_cast<int>(k);
            continue;
        }
        if (k < 0 && errno == EINTR)
            continue;
        if (k < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
            lose(st, errno);
            return false;
        }
        const std::int64_t left = deadline - kxsys_ticks();
        short ev = 0;
        if (left <= 0 || wait_for(fd, POLLOUT, static_cast<int>(left), &ev) == 0) {
            fail(st, kxserialfault::timeout);
            return false;
        }
    }
    return true;
}

bool kxsockhost_wait(kxserialhandle h, int ms)
{
    short ev = 0;
    return wait_for(static_cast<int>(h), POLLIN, ms, &ev) > 0;
}

void kxsockhost_close(kxserialhandle h)
{
    const int fd = static_cast<int>(h);
    kxposix_poll_forget(fd);
    close(fd);
}
