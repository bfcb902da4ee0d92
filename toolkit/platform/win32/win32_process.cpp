// Child processes on Win32: pipes as the child's standard handles and
// CreateProcess.  The output pipes are read only as far as PeekNamedPipe
// shows, so that a read never blocks; the input pipe is a named pipe written
// with overlapped I/O, so that a write gives up after its wait as on POSIX.
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <string>

#include "platform/child.h"
#include "platform/platform.h"
#include "platform/win32/win32host.h"

namespace {

constexpr DWORD PIPE_BUFFER = 4096;

struct Pipe {
    HANDLE read = nullptr, write = nullptr;
};

struct Child {
    HANDLE process = nullptr, thread = nullptr;
    Pipe in, out, err;
};

Child kids[KX_MAX_CHILDREN];
std::atomic<unsigned> pipe_serial{0};

void close_handle(HANDLE *h)
{
    if (*h)
        CloseHandle(*h);
    *h = nullptr;
}

void close_pipe(Pipe *p)
{
    close_handle(&p->read);
    close_handle(&p->write);
}

void release(Child *c)
{
    close_handle(&c->process);
    close_handle(&c->thread);
    close_pipe(&c->in);
    close_pipe(&c->out);
    close_pipe(&c->err);
}

// An output pipe: the child's end inheritable, ours private so that later
// children do not hold this child's pipes open.
bool make_output_pipe(Pipe *p)
{
    SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
    if (!CreatePipe(&p->read, &p->write, &sa, 0))
        return false;
    SetHandleInformation(p->read, HANDLE_FLAG_INHERIT, 0);
    return true;
}

// The input pipe: a named pipe whose end of ours is overlapped (anonymous
// pipes cannot be), the child's end an ordinary inheritable handle.
bool make_input_pipe(Pipe *p)
{
    char name[64];
    std::snprintf(name, sizeof name, "\\\\.\\pipe\\kx9d-child-%lu-%u", GetCurrentProcessId(),
                  pipe_serial++);
    p->write = CreateNamedPipeA(name, PIPE_ACCESS_OUTBOUND | FILE_FLAG_OVERLAPPED |
                                          FILE_FLAG_FIRST_PIPE_INSTANCE,
                                PIPE_TYPE_BYTE | PIPE_WAIT, 1, PIPE_BUFFER, PIPE_BUFFER, 0,
                                nullptr);
    if (p->write == INVALID_HANDLE_VALUE) {
        p->write = nullptr;
        return false;
    }
    SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
    p->read = CreateFileA(name, GENERIC_READ, 0, &sa, OPEN_EXISTING, 0, nullptr);
    if (p->read == INVALID_HANDLE_VALUE) {
        p->read = nullptr;
        return false;
    }
    return true;
}

} // namespace

bool kxchild_start(int slot, const char *cmdline, bool hidden)
{
    Child &c = kids[slot];
    if (!make_input_pipe(&c.in) || !make_output_pipe(&c.out) || !make_output_pipe(&c.err)) {
        release(&c);
        return false;
    }
    STARTUPINFOA si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW;
    si.hStdInput = c.in.read;
    si.hStdOutput = c.out.write;
    si.hStdError = c.err.write;
    si.wShowWindow = hidden ? SW_HIDE : SW_SHOWNORMAL;
    PROCESS_INFORMATION pi{};
    // CreateProcess may write into the command line.
    std::string line = cmdline;
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE,
                        hidden ? DETACHED_PROCESS : 0, nullptr, nullptr, &si, &pi)) {
        release(&c);
        return false;
    }
    c.process = pi.hProcess;
    c.thread = pi.hThread;
    return true;
}

int kxchild_read(int slot, int stream, char *buf, int cap)
{
    HANDLE pipe = stream == KX_CHILD_STDERR ? kids[slot].err.read : kids[slot].out.read;
    int at = 0;
    while (pipe && at < cap) {
        DWORD avail = 0;
        if (!PeekNamedPipe(pipe, nullptr, 0, nullptr, &avail, nullptr) || avail == 0)
            break;
        DWORD want = std::min<DWORD>(avail, static_cast<DWORD>(cap - at)), got = 0;
        if (!ReadFile(pipe, buf + at, want, &got, nullptr) || got == 0)
            break;
        at += static_cast<int>(got);
    }
    return at;
}

bool kxchild_write(int slot, const char *text, std::size_t length, int wait_ms)
{
    if (length == 0)
        return true;
    HANDLE pipe = kids[slot].in.write;
    OVERLAPPED ov{};
    ov.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (!ov.hEvent)
        return false;
    const DWORD want = static_cast<DWORD>(length);
    DWORD put = 0;
    bool ok = WriteFile(pipe, text, want, nullptr, &ov) != 0;
    if (!ok && GetLastError() == ERROR_IO_PENDING) {
        // A child that takes nothing for that long fails the write.
        if (WaitForSingleObject(ov.hEvent, static_cast<DWORD>(wait_ms)) != WAIT_OBJECT_0)
            CancelIo(pipe);
        ok = true;
    }
    ok = ok && GetOverlappedResult(pipe, &ov, &put, TRUE) && put == want;
    CloseHandle(ov.hEvent);
    return ok;
}

bool kxchild_ended(int slot, int *code)
{
    if (WaitForSingleObject(kids[slot].process, 1) != WAIT_OBJECT_0)
        return false;
    DWORD status = 0;
    *code = GetExitCodeProcess(kids[slot].process, &status) ? static_cast<int>(status) : -1;
    return true;
}

void kxchild_release(int slot) { release(&kids[slot]); }
