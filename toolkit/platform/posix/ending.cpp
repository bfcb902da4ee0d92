// SIGTERM (a desktop's logout, kill), SIGHUP (a closed terminal) and SIGINT
// (Ctrl+C) ask the program to end.  The handler only notes the request and
// wakes the pump, which closes the windows on the program's own thread, so
// the program ends through its ordinary close path and saves what it keeps.
#include <signal.h>

#include <atomic>

#include "platform/host.h"
#include "platform/posix/wakefd.h"

namespace {

std::atomic<bool> asked{false};
static_assert(std::atomic<bool>::is_always_lock_free, "the signal handler needs a lock-free flag");

void on_signal(int)
{
    asked.store(true);
    kxposix_wake_now();
}

} // namespace

void kxsys_catchend()
{
    static bool caught = false;
    if (caught)
        return;
    caught = true;
    kxposix_wakefd_open();
    struct sigaction sa{};
    sa.sa_handler = on_signal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    for (int sig : {SIGTERM, SIGHUP, SIGINT}) {
        // A signal ignored at start stays ignored (nohup, background jobs).
        struct sigaction old{};
        if (sigaction(sig, nullptr, &old) == 0 && old.sa_handler != SIG_IGN)
            sigaction(sig, &sa, nullptr);
    }
}

bool kxsys_endrequested() { return asked.exchange(false); }
