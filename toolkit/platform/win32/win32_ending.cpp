// Ctrl+C, Ctrl+Break and the closing of the console ask the program to end.
// The handler runs on a thread of the system's: it notes the request and
// wakes the pump, which closes the windows on the program's own thread, so
// the program ends through its ordinary close path.
#include "platform/win32/win32host.h"

#include <atomic>

#include "platform/host.h"

namespace {

std::atomic<bool> asked{false};

BOOL WINAPI on_console(DWORD event)
{
    asked.store(true);
    kxsys_wake();
    // For a closing console, logoff and shutdown the system ends the process
    // as soon as this returns; waiting here lets the program finish first
    // (its exit ends this thread too, and the system's own time limit holds).
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT)
        Sleep(INFINITE);
    return TRUE;
}

} // namespace

void kxsys_catchend()
{
    static bool caught = false;
    if (caught)
        return;
    caught = true;
    SetConsoleCtrlHandler(on_console, TRUE);
}

bool kxsys_endrequested() { return asked.exchange(false); }
