// Child processes on Win32: three anonymous pipes, CreateProcess with the
// child's ends as its standard handles, and a poll from the pump that only
// reads what PeekNamedPipe shows, so that it never blocks.
#include <algorithm>
#include <cstring>
#include <string>

#include "platform/platform.h"
#include "platform/win32/win32host.h"

namespace {

// After the child has ended its pipes hold at most their capacity, unless a
// process it left behind keeps writing: stop draining after this many.
constexpr int CHILD_DRAIN_PIECES = 256;

struct Pipe {
    HANDLE read = nullptr, write = nullptr;
};

struct ChildSlot {
    bool in_use = false;
    HANDLE process = nullptr, thread = nullptr;
    kxhandler handler = nullptr;
    void *owner = nullptr;
    Pipe in, out, err;
};

ChildSlot children[KX_MAX_CHILDREN];
bool children_running = false;
char piece[KX_CHILD_PIECE + 1];

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

// Both ends inheritable, as the child takes one of them; ours is then made
// private so that later children do not hold this child's pipes open.
bool make_pipe(Pipe *p, bool child_reads)
{
    SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
    if (!CreatePipe(&p->read, &p->write, &sa, 0))
        return false;
    SetHandleInformation(child_reads ? p->write : p->read, HANDLE_FLAG_INHERIT, 0);
    return true;
}

bool valid_slot(int slot) { return slot >= 0 && slot < KX_MAX_CHILDREN; }

// Appends what the pipe holds to piece from position at; the new length.
int read_waiting(HANDLE pipe, int at)
{
    while (pipe && at < KX_CHILD_PIECE) {
        DWORD avail = 0;
        if (!PeekNamedPipe(pipe, nullptr, 0, nullptr, &avail, nullptr) || avail == 0)
            break;
        DWORD want = std::min<DWORD>(avail, static_cast<DWORD>(KX_CHILD_PIECE - at)), got = 0;
        if (!ReadFile(pipe, piece + at, want, &got, nullptr) || got == 0)
            break;
        at += static_cast<int>(got);
    }
    return at;
}

// One piece of output, standard output first; false when none was waiting.
bool deliver_piece(int slot)
{
    ChildSlot &c = children[slot];
    int length = read_waiting(c.out.read, 0);
    if (length == 0)
        length = read_waiting(c.err.read, 0);
    if (length == 0)
        return false;
    piece[length] = 0;
    kxsend(c.handler, c.owner, KX_EV_CHILD_OUTPUT, kxptr(piece));
    return true;
}

void free_slot(ChildSlot &c)
{
    close_handle(&c.process);
    close_handle(&c.thread);
    close_pipe(&c.in);
    close_pipe(&c.out);
    close_pipe(&c.err);
    c = ChildSlot{};
}

void finish(int slot)
{
    // Everything the child wrote before it ended is in the pipes now.
    for (int i = 0; i < CHILD_DRAIN_PIECES && children[slot].in_use && deliver_piece(slot); i++) {
    }
    ChildSlot &c = children[slot];
    if (!c.in_use)
        return;
    DWORD code = 0;
    if (!GetExitCodeProcess(c.process, &code))
        code = static_cast<DWORD>(-1);
    kxhandler handler = c.handler;
    void *owner = c.owner;
    free_slot(c);
    kxsend(handler, owner, KX_EV_CHILD_EXIT, static_cast<int>(code));
}

void poll_slot(int slot)
{
    deliver_piece(slot);
    ChildSlot &c = children[slot];
    if (c.in_use && WaitForSingleObject(c.process, 1) == WAIT_OBJECT_0)
        finish(slot);
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
    ChildSlot &c = children[slot];
    c.in_use = true;
    c.handler = handler;
    c.owner = owner;
    if (!make_pipe(&c.in, true) || !make_pipe(&c.out, false) || !make_pipe(&c.err, false)) {
        free_slot(c);
        return -1;
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
        free_slot(c);
        return -1;
    }
    c.process = pi.hProcess;
    c.thread = pi.hThread;
    children_running = true;
    return slot;
}

bool kxprocess_write(int slot, const char *text)
{
    if (!valid_slot(slot) || !children[slot].in_use || !text)
        return false;
    DWORD length = static_cast<DWORD>(std::strlen(text)), put = 0;
    if (length == 0)
        return true;
    return WriteFile(children[slot].in.write, text, length, &put, nullptr) && put == length;
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
