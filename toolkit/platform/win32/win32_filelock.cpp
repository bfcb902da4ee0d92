// Files that one program writes at a time, on Win32: a byte-range lock far
// beyond any content, so that others can still read the whole file, taken
// on a handle that shares deleting, so that its holder can rename it.
// windows.h first: the other host headers build on it.
#include "platform/win32/win32host.h"
#include <fcntl.h>
#include <io.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>

#include "platform/platform.h"

namespace {

// A holder renames the file while it holds it; a name that moved between
// our open and our lock is opened again, a few times at most.
constexpr int WIN32_LOCK_TRIES = 5;
// The locked byte: no log grows that far.
constexpr DWORD WIN32_LOCK_HIGH = 0x7FFFFFFF;

void set_errno(DWORD code)
{
    switch (code) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND: errno = ENOENT; break;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION: errno = EACCES; break;
    case ERROR_DISK_FULL: errno = ENOSPC; break;
    default: errno = EIO; break;
    }
}

bool identity(HANDLE h, BY_HANDLE_FILE_INFORMATION *info)
{
    return GetFileInformationByHandle(h, info) != 0;
}

// Whether name still names the file of h.
bool still_named(HANDLE h, const char *name)
{
    BY_HANDLE_FILE_INFORMATION mine{}, named{};
    HANDLE other = CreateFileA(name, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                               nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (other == INVALID_HANDLE_VALUE)
        return false;
    bool same = identity(h, &mine) && identity(other, &named) &&
                mine.dwVolumeSerialNumber == named.dwVolumeSerialNumber &&
                mine.nFileIndexHigh == named.nFileIndexHigh &&
                mine.nFileIndexLow == named.nFileIndexLow;
    CloseHandle(other);
    return same;
}

// The stream of a handle, which it then owns; null (handle closed) when
// none can be made.
std::FILE *stream_of(HANDLE h)
{
    int fd = _open_osfhandle(reinterpret_cast<std::intptr_t>(h), _O_APPEND | _O_BINARY);
    if (fd < 0) {
        CloseHandle(h);
        errno = EIO;
        return nullptr;
    }
    std::FILE *f = _fdopen(fd, "ab");
    if (!f) {
        _close(fd);
        errno = EIO;
    }
    return f;
}

} // namespace

std::FILE *kxsys_openlocked(const char *name, bool *held)
{
    *held = false;
    for (int i = 0; i < WIN32_LOCK_TRIES; i++) {
        HANDLE h = CreateFileA(name, GENERIC_WRITE,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE) {
            set_errno(GetLastError());
            return nullptr;
        }
        if (GetFileType(h) != FILE_TYPE_DISK)
            return stream_of(h);  // a device: nothing a lock would keep
        OVERLAPPED at{};
        at.Offset = 0;
        at.OffsetHigh = WIN32_LOCK_HIGH;
        if (!LockFileEx(h, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at)) {
            DWORD code = GetLastError();
            CloseHandle(h);
            *held = code == ERROR_LOCK_VIOLATION || code == ERROR_IO_PENDING;
            set_errno(code);
            return nullptr;
        }
        if (still_named(h, name))
            return stream_of(h);
        CloseHandle(h);
    }
    errno = EBUSY;
    return nullptr;
}
