// Child processes on POSIX hosts: "/bin/sh -c" with three pipes, read and
// written without blocking.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

#include "platform/child.h"
#include "platform/platform.h"

namespace {

struct Child {
    pid_t pid = -1;
    int in = -1;   // our end of the child's standard input
    int out = -1;  // our ends of its standard output and error
    int err = -1;
};

Child kids[KX_MAX_CHILDREN];
bool sigpipe_ignored = false;

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

int exit_code(int status)
{
    if (WIFEXITED(status))
        return WEXITSTATUS(status);
    if (WIFSIGNALED(status))
        return 128 + WTERMSIG(status);
    return -1;
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

bool kxchild_start(int slot, const char *cmdline, bool hidden)
{
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
        return false;
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
        return false;
    }
    for (int fd : {in[1], out[0], err[0]})
        fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
    kids[slot] = {pid, in[1], out[0], err[0]};
    return true;
}

// An ended pipe is closed so that it is not read again.
int kxchild_read(int slot, int stream, char *buf, int cap)
{
    int *fd = stream == KX_CHILD_STDERR ? &kids[slot].err : &kids[slot].out;
    int at = 0;
    while (*fd >= 0 && at < cap) {
        ssize_t n = read(*fd, buf + at, static_cast<std::size_t>(cap - at));
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

bool kxchild_write(int slot, const char *text, std::size_t left, int wait_ms)
{
    int fd = kids[slot].in;
    std::int64_t deadline = kxsys_ticks() + wait_ms;
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

bool kxchild_ended(int slot, int *code)
{
    int status = 0;
    pid_t r = waitpid(kids[slot].pid, &status, WNOHANG);
    if (r == kids[slot].pid) {
        *code = exit_code(status);
        return true;
    }
    if (r < 0 && errno == ECHILD) {
        *code = 255;  // reaped elsewhere: the code is lost
        return true;
    }
    return false;
}

void kxchild_release(int slot)
{
    Child &c = kids[slot];
    close_fd(&c.in);
    close_fd(&c.out);
    close_fd(&c.err);
    c = Child{};
}
