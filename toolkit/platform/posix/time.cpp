// Time, the base tick, files on the disk, temporary files and the program's
// path on POSIX systems.
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <thread>

#include "platform/platform.h"
#include "platform/posix/wakefd.h"

namespace {

using steady = std::chrono::steady_clock;

// The base tick has no thread here: the periods are counted from the clock
// whenever the pump catches up (kxsys_timer_catchup), and the hosts' waits
// end at the period the callback wants next (kxposix_wait_ms), so a waiting
// program wakes only when a timer is due.  The periods follow a fixed
// schedule from the start, so ticks do not drift.
struct TickClock {
    bool running = false;
    steady::duration period{};
    kxtickfn callback = nullptr;
    steady::time_point last{};  // the end of the last counted period
    steady::time_point due{};   // when the callback wants its next call
};

TickClock tick;
// Written by kxsys_wake, watched by the hosts' waits.
int wake_pipe[2] = {-1, -1};
// Set while this thread calls back: it is awake and needs no wake-up.
thread_local bool calling_back = false;

void count_periods(steady::time_point now)
{
    auto periods = now > tick.last ? (now - tick.last) / tick.period : 0;
    periods = std::min<decltype(periods)>(periods, INT32_MAX);
    tick.last += periods * tick.period;
    calling_back = true;
    int wish = std::max(0, tick.callback(static_cast<int>(periods)));
    calling_back = false;
    tick.due = tick.last + wish * tick.period;
}

std::string temp_dir;
std::string data_dir;

} // namespace

void kxsys_sleep(long microseconds)
{
    long ms = microseconds / 1000;
    if (ms > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

std::int64_t kxsys_ticks()
{
    static const auto start = steady::now();
    return std::chrono::duration_cast<std::chrono::milliseconds>(steady::now() - start).count();
}

void kxsys_today(int *year, int *month, int *day)
{
    std::time_t now = std::time(nullptr);
    std::tm local{};
    if (!localtime_r(&now, &local))
        local = std::tm{}; // the clock is unusable: 1 January 1900
    if (year)
        *year = local.tm_year + 1900;
    if (month)
        *month = local.tm_mon + 1;
    if (day)
        *day = local.tm_mday ? local.tm_mday : 1;
}

void kxsys_datetime(char *buf, std::size_t size)
{
    if (!buf || size == 0)
        return;
    std::time_t now = std::time(nullptr);
    std::tm local{};
    if (!localtime_r(&now, &local) || std::strftime(buf, size, "%a %b %d %H:%M:%S %Y", &local) == 0)
        buf[0] = 0;
}

// Every received line asks for its time: the local time of a second is
// worked out once (a time zone changes only at a whole second).
int kxsys_daytime_ms()
{
    thread_local std::time_t second = -1;
    thread_local int second_ms = 0;
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    if (now.tv_sec != second) {
        std::tm local{};
        if (!localtime_r(&now.tv_sec, &local))
            return 0;
        second = now.tv_sec;
        second_ms = ((local.tm_hour * 60 + local.tm_min) * 60 + local.tm_sec) * 1000;
    }
    return second_ms + static_cast<int>(now.tv_nsec / 1000000);
}

int kxsys_timer_minperiod() { return 1; }

bool kxsys_timer_start(int period_ms, kxtickfn callback)
{
    kxsys_timer_stop();
    if (period_ms <= 0 || !callback)
        return false;
    kxposix_wakefd_open();  // without it hosts wait in short steps
    tick.running = true;
    tick.period = std::chrono::milliseconds(period_ms);
    tick.callback = callback;
    tick.last = steady::now();
    count_periods(tick.last);  // no period yet: only its wish
    return true;
}

void kxsys_timer_stop() { tick = TickClock{}; }

void kxsys_timer_catchup()
{
    if (tick.running)
        count_periods(steady::now());
}

int kxposix_wait_ms(int ms)
{
    if (!tick.running)
        return ms;
    auto left = tick.due - steady::now();
    if (left <= steady::duration::zero())
        return 0;
    // Rounded up: waking just before the period ends would count nothing.
    auto left_ms = std::chrono::ceil<std::chrono::milliseconds>(left).count();
    return ms < 0 ? static_cast<int>(std::min<decltype(left_ms)>(left_ms, INT32_MAX))
                  : static_cast<int>(std::min<decltype(left_ms)>(left_ms, ms));
}

void kxsys_wake()
{
    if (!calling_back)
        kxposix_wake_now();
}

// Safe in a signal handler: one write, and errno as it was.
void kxposix_wake_now()
{
    int saved = errno;
    char b = 0;
    if (wake_pipe[1] >= 0 && write(wake_pipe[1], &b, 1) < 0) {
        // Full: the waiting side has a wake-up to read already.
    }
    errno = saved;
}

void kxsys_waitwake(int ms)
{
    pollfd p[1 + KX_WAIT_SERIAL] = {{wake_pipe[0], POLLIN, 0}};
    if (p[0].fd < 0) {
        kxsys_sleep(std::min(ms, 1) * 1000L);  // no base tick: nothing would wake it
        return;
    }
    if (kxposix_wait(p, 1, ms) < 0)
        return;
    if (p[0].revents & POLLIN)
        kxposix_drain_wakefd();
}

bool kxposix_wakefd_open()
{
    if (wake_pipe[0] < 0 && pipe2(wake_pipe, O_NONBLOCK | O_CLOEXEC) != 0)
        wake_pipe[0] = wake_pipe[1] = -1;
    return wake_pipe[0] >= 0;
}

int kxposix_wakefd() { return wake_pipe[0]; }

void kxposix_drain_wakefd()
{
    char buf[64];
    while (wake_pipe[0] >= 0 && read(wake_pipe[0], buf, sizeof buf) > 0) {
    }
}

bool kxsys_syncfile(std::FILE *f) { return f && fsync(fileno(f)) == 0; }

bool kxsys_syncdir(const char *dir)
{
    int fd = open(dir, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    bool ok = fsync(fd) == 0;
    ::close(fd);
    return ok;
}

const char *kxsys_tempdir()
{
    if (temp_dir.empty()) {
        const char *t = std::getenv("TMPDIR");
        temp_dir = t && *t ? t : "/tmp";
        while (temp_dir.size() > 1 && temp_dir.back() == '/')
            temp_dir.pop_back();
    }
    return temp_dir.c_str();
}

bool kxsys_tempfile(char *path, std::size_t size)
{
    std::string name = std::string(kxsys_tempdir()) + "/kxtmpXXXXXX";
    if (!path || name.size() + 1 > size)
        return false;
    std::memcpy(path, name.c_str(), name.size() + 1);
    int fd = mkstemp(path);
    if (fd < 0) {
        path[0] = 0;
        return false;
    }
    ::close(fd);
    return true;
}

// A relative XDG_DATA_HOME is to be ignored, as the XDG base directories say.
const char *kxsys_datadir()
{
    const char *xdg = std::getenv("XDG_DATA_HOME");
    const char *home = std::getenv("HOME");
    if (xdg && xdg[0] == '/')
        data_dir = xdg;
    else if (home && home[0])
        data_dir = std::string(home) + "/.local/share";
    else
        data_dir.clear();
    while (data_dir.size() > 1 && data_dir.back() == '/')
        data_dir.pop_back();
    return data_dir.c_str();
}

const char *kxsys_cmdline() { return nullptr; }

void kxsys_module_path(char *buf, std::size_t size)
{
    if (!buf || size == 0)
        return;
    ssize_t n = readlink("/proc/self/exe", buf, size - 1);
    buf[n > 0 ? n : 0] = 0;
}
