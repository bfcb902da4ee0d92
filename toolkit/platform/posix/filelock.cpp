// Files that one program writes at a time, on POSIX: flock, whose lock
// belongs to the open file (so two opens in one process exclude each other
// too) and ends with its last descriptor.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "platform/platform.h"

namespace {

// A holder renames the file while it holds it; a name that moved between
// our open and our lock is opened again, a few times at most.
constexpr int LOCK_TRIES = 5;

bool same_file(const struct stat &a, const struct stat &b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// The stream of a descriptor, which it then owns; null (descriptor closed,
// errno kept) when none can be made.
std::FILE *stream_of(int fd)
{
    std::FILE *f = fdopen(fd, "ab");
    if (!f) {
        int err = errno;
        ::close(fd);
        errno = err;
    }
    return f;
}

} // namespace

std::FILE *kxsys_openlocked(const char *name, bool *held)
{
    *held = false;
    for (int i = 0; i < LOCK_TRIES; i++) {
        int fd = open(name, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
        if (fd < 0)
            return nullptr;
        struct stat mine {}, named {};
        if (fstat(fd, &mine) != 0 || !S_ISREG(mine.st_mode))
            return stream_of(fd);  // a device: nothing a lock would keep
        if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
            int err = errno;
            ::close(fd);
            *held = err == EWOULDBLOCK;
            errno = err;
            return nullptr;
        }
        if (stat(name, &named) == 0 && same_file(mine, named))
            return stream_of(fd);
        ::close(fd);
    }
    errno = EBUSY;
    return nullptr;
}
