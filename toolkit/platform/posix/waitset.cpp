// The descriptors the hosts' waits watch, kept registered with one epoll
// instance from wait to wait: an idle program wakes some ten times a
// second, and poll() would hook every descriptor into its wait queue and
// out again each time.  A descriptor must be forgotten before it is closed,
// so that a new one under the same number is registered afresh.
#include <poll.h>

#include "platform/posix/wakefd.h"

#ifdef __linux__

#include <sys/epoll.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>

namespace {

constexpr int WAITSET_SIZE = 16;  // the display, the wake-up and the serial devices

struct WaitSet {
    int epoll = -1;
    bool failed = false;  // no epoll here: poll() it is
    int fds[WAITSET_SIZE] = {};
    int count = 0;
};

WaitSet set;

bool wanted(const pollfd *fds, int n, int fd)
{
    return std::any_of(fds, fds + n, [fd](const pollfd &p) { return p.fd == fd; });
}

void drop(int at)
{
    epoll_ctl(set.epoll, EPOLL_CTL_DEL, set.fds[at], nullptr);
    set.fds[at] = set.fds[--set.count];
}

// Registers what the wait watches now and drops what it no longer does;
// false when a descriptor cannot be registered (the caller polls instead).
bool sync(const pollfd *fds, int n)
{
    for (int i = set.count - 1; i >= 0; i--)
        if (!wanted(fds, n, set.fds[i]))
            drop(i);
    for (int k = 0; k < n; k++) {
        if (std::find(set.fds, set.fds + set.count, fds[k].fd) != set.fds + set.count)
            continue;
        if (set.count == WAITSET_SIZE || fds[k].events != POLLIN)
            return false;
        epoll_event e{};
        e.events = EPOLLIN;
        e.data.fd = fds[k].fd;
        if (epoll_ctl(set.epoll, EPOLL_CTL_ADD, fds[k].fd, &e) != 0 && errno != EEXIST)
            return false;
        set.fds[set.count++] = fds[k].fd;
    }
    return true;
}

short poll_events(std::uint32_t e)
{
    return static_cast<short>(((e & EPOLLIN) ? POLLIN : 0) | ((e & EPOLLHUP) ? POLLHUP : 0) |
                              ((e & EPOLLERR) ? POLLERR : 0));
}

} // namespace

int kxposix_poll(pollfd *fds, int n, int ms)
{
    if (set.epoll < 0 && !set.failed) {
        set.epoll = epoll_create1(EPOLL_CLOEXEC);
        set.failed = set.epoll < 0;
    }
    if (set.failed || n > WAITSET_SIZE || !sync(fds, n))
        return poll(fds, static_cast<nfds_t>(n), ms);
    epoll_event ev[WAITSET_SIZE];
    int got = epoll_wait(set.epoll, ev, WAITSET_SIZE, ms);
    for (int k = 0; k < n; k++)
        fds[k].revents = 0;
    for (int i = 0; i < got; i++)
        for (int k = 0; k < n; k++)
            if (fds[k].fd == ev[i].data.fd)
                fds[k].revents = poll_events(ev[i].events);
    return got;
}

void kxposix_poll_forget(int fd)
{
    for (int i = 0; i < set.count; i++)
        if (set.fds[i] == fd) {
            drop(i);
            return;
        }
}

#else

int kxposix_poll(pollfd *fds, int n, int ms) { return poll(fds, static_cast<nfds_t>(n), ms); }
void kxposix_poll_forget(int) {}

#endif
