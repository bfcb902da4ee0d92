// Child processes on POSIX hosts: "/bin/sh -c" with three pipes, polled from
// the pump without blocking.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/platform.h"

namespace {

constexpr int CHILD_WRITE_WAIT_MS = 2000;  // a child that takes no input this long fails the write
// After the child has ended its pipes hold at most their capacity, unless a
// process it left behind keeps writing: stop draining after this many.
constexpr int CHILD_DRAIN_PIECES = 256;

struct ChildSlot {
    bool in_use = false;
    pid_t pid = -1;
    kxhandler handler = nullptr;
    void *owner = nullptr;
    int in = -1;   // our end of the child's standard input
    int out = -1;  // our ends of its standard output and error
    int err = -1;
};

ChildSlot children[KX_MAX_CHILDREN];
bool children_running = false;
bool sigpipe_ignored = false;
char piece[KX_CHILD_PIECE + 1];

void close_fd(int *fd)
{
    if (*fd >= 0)
        close(*fd);
    *fd = -1;
}

void close_pipe(int p[2])
{
    close_fd(&p[0]);
    close_fd(&p[1]);
}

bool valid_slot(int slot) { return slot >= 0 && slot < KX_MAX_CHILDREN; }

// Reads what is waiting on fd into piece from position at; the new length.
// An ended pipe is closed so that it is not read again.
int read_waiting(int *fd, int at)
{
    while (*fd >= 0 && at < KX_CHILD_PIECE) {
        ssize_t n = read(*fd, piece + at, static_cast<std::size_t>(KX_CHILD_PIECE - at));
        if (n > 0) {
            at += static_cast<int>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK))
            close_fd(fd);
        break;
    }
    return at;
}

// One piece of output, standard output first; false when none was waiting.
// The handler may start or write to children, so the slot is looked at
// again by the caller.
bool deliver_piece(int slot)
{
    ChildSlot &c = children[slot];
    int length = read_waiting(&c.out, 0);
    if (length == 0)
        length = read_waiting(&c.err, 0);
    if (length == 0)
        return false;
    piece[length] = 0;
    kxsend(c.handler, c.owner, KX_EV_CHILD_OUTPUT, kxptr(piece));
    return true;
}

int exit_code(int status)
{
    if (WIFEXITED(status))
        return WEXITSTATUS(status);
    if (WIFSIGNALED(status))
        return 128 + WTERMSIG(status);
    return -1;
}

void finish(int slot, int status)
{
    ChildSlot &c = children[slot];
    // Everything the child wrote before it ended is in the pipes now.
    for (int i = 0; i < CHILD_DRAIN_PIECES && deliver_piece(slot); i++) {
    }
    kxhandler handler = c.handler;
    void *owner = c.owner;
    close_fd(&c.in);
    close_fd(&c.out);
    close_fd(&c.err);
    c = ChildSlot{};
    kxsend(handler, owner, KX_EV_CHILD_EXIT, exit_code(status));
}

void poll_slot(int slot)
{
    deliver_piece(slot);
    ChildSlot &c = children[slot];
    if (!c.in_use)
        return;
    int status = 0;
    pid_t r = waitpid(c.pid, &status, WNOHANG);
    if (r == c.pid)
        finish(slot, status);
    else if (r < 0 && errno == ECHILD)
        finish(slot, 255 << 8);  // reaped elsewhere: the code is lost
}

[[noreturn]] void exec_child(int in[2], int out[2], int err[2], const char *cmdline, bool hidden)
{
    signal(SIGPIPE, SIG_DFL);
    if (dup2(in[0], 0) < 0 || dup2(out[1], 1) < 0 || dup2(err[1], 2) < 0)
        _exit(127);
    closefrom(3);
    if (hidden)
        setsid();  // detached from the terminal the program runs in
    execl("/bin/sh", "sh", "-c", cmdline, static_cast<char *>(nullptr));
    _exit(127);
}

} // namespace

int kxprocess_run(kxhandler handler, void *owner, const char *cmdline, bool hidden)
{
    if (!cmdline)
        return -1;
    int slot = 0;
    while (slot < KX_MAX_CHILDREN && children[slot].in_use)
        slot++;
    if (slot == KX_MAX_CHILDREN)
        return -1;
    if (!sigpipe_ignored) {
        // A child that stops reading must not end the program with SIGPIPE.
        signal(SIGPIPE, SIG_IGN);
        sigpipe_ignored = true;
    }
    int in[2] = {-1, -1}, out[2] = {-1, -1}, err[2] = {-1, -1};
    if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0) {
        close_pipe(in);
        close_pipe(out);
        close_pipe(err);
        return -1;
    }
    pid_t pid = fork();
    if (pid == 0)
        exec_child(in, out, err, cmdline, hidden);
    close_fd(&in[0]);
    close_fd(&out[1]);
    close_fd(&err[1]);
    if (pid < 0) {
        close_pipe(in);
        close_pipe(out);
        close_pipe(err);
        return -1;
    }
    for (int fd : {in[1], out[0], err[0]})
        fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
    ChildSlot &c = children[slot];
    c.in_use = true;
    c.pid = pid;
    c.handler = handler;
    c.owner = owner;
    c.in = in[1];
    c.out = out[0];
    c.err = err[0];
    children_running = true;
    return slot;
}

bool kxprocess_write(int slot, const char *text)
{
    if (!valid_slot(slot) || !children[slot].in_use || !text)
        return false;
    int fd = children[slot].in;
    std::size_t left = std::strlen(text);
    std::int64_t deadline = kxsys_ticks() + CHILD_WRITE_WAIT_MS;
    while (left > 0 && fd >= 0) {
        ssize_t n = write(fd, text, left);
        if (n > 0) {
            text += n;
            left -= static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK)
            return false;
        std::int64_t wait = deadline - kxsys_ticks();
        if (wait <= 0)
            return false;
        struct pollfd p {fd, POLLOUT, 0};
        if (poll(&p, 1, static_cast<int>(wait)) < 0 && errno != EINTR)
            return false;
        if (p.revents & (POLLERR | POLLHUP | POLLNVAL))
            return false;
    }
    return left == 0;
}

void kxprocess_poll()
{
    if (!children_running)
        return;
    children_running = false;
    for (int slot = 0; slot < KX_MAX_CHILDREN; slot++)
        if (children[slot].in_use)
            poll_slot(slot);
    for (const ChildSlot &c : children)
        if (c.in_use)
            children_running = true;
}

int kxprocess_running()
{
    int n = 0;
    for (const ChildSlot &c : children)
        n += c.in_use ? 1 : 0;
    return n;
}
