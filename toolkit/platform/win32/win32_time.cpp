// Time, the base tick, files on the disk, temporary files, the program's
// path and its command line on Win32.  The base tick is the multimedia
// timer, whose callback runs on a host thread; where the timer device cannot
// tick fast enough a window-less timer of the message pump stands in.
// windows.h first: the other host headers build on it.
#include "platform/win32/win32host.h"
#include <io.h>
#include <mmsystem.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "platform/platform.h"

namespace {

// Above this the multimedia timer is not used (its minimum period is too
// long for the tick).
constexpr int WIN32_MM_LONGEST_MS = 40;
constexpr int WIN32_TEMP_TRIES = 100;

// Read on the timer's own thread.
std::atomic<kxtickfn> tick_callback{nullptr};
MMRESULT mm_timer = 0;
bool resolution_raised = false;
UINT_PTR pump_timer = 0;
std::string temp_dir;
std::string data_dir;
std::string command_line;

// Both timers are periodic: every period counts one, whatever the callback
// would like.
void CALLBACK mm_tick(UINT, UINT, DWORD_PTR, DWORD_PTR, DWORD_PTR)
{
    if (kxtickfn cb = tick_callback.load())
        cb(1);
}

void CALLBACK pump_tick(HWND, UINT, UINT_PTR, DWORD)
{
    if (kxtickfn cb = tick_callback.load())
        cb(1);
}

void to_slashes(char *s)
{
    for (; *s; s++)
        if (*s == '\\')
            *s = '/';
}

} // namespace

// Auto-reset: one wake-up ends one wait.
HANDLE win32_wake_event()
{
    static HANDLE event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    return event;
}

void kxsys_wake() { SetEvent(win32_wake_event()); }

void kxsys_waitwake(int ms)
{
    WaitForSingleObject(win32_wake_event(), ms > 0 ? static_cast<DWORD>(ms) : 0);
}

void kxsys_sleep(long microseconds)
{
    long ms = microseconds / 1000;
    if (ms > 0)
        Sleep(static_cast<DWORD>(ms));
}

std::int64_t kxsys_ticks()
{
    static const ULONGLONG start = GetTickCount64();
    return static_cast<std::int64_t>(GetTickCount64() - start);
}

void kxsys_today(int *year, int *month, int *day)
{
    SYSTEMTIME t;
    GetLocalTime(&t);
    if (year)
        *year = t.wYear;
    if (month)
        *month = t.wMonth;
    if (day)
        *day = t.wDay;
}

void kxsys_datetime(char *buf, std::size_t size)
{
    if (!buf || size == 0)
        return;
    SYSTEMTIME t;
    GetLocalTime(&t);
    std::tm local{};
    local.tm_year = t.wYear - 1900;
    local.tm_mon = t.wMonth - 1;
    local.tm_mday = t.wDay;
    local.tm_wday = t.wDayOfWeek;
    local.tm_hour = t.wHour;
    local.tm_min = t.wMinute;
    local.tm_sec = t.wSecond;
    if (std::strftime(buf, size, "%a %b %d %H:%M:%S %Y", &local) == 0)
        buf[0] = 0;
}

int kxsys_daytime_ms()
{
    SYSTEMTIME t;
    GetLocalTime(&t);
    return ((t.wHour * 60 + t.wMinute) * 60 + t.wSecond) * 1000 + t.wMilliseconds;
}

int kxsys_timer_minperiod()
{
    TIMECAPS caps{};
    if (timeGetDevCaps(&caps, sizeof caps) != TIMERR_NOERROR)
        return WIN32_MM_LONGEST_MS + 1;
    return static_cast<int>(caps.wPeriodMin);
}

bool kxsys_timer_start(int period_ms, kxtickfn callback)
{
    kxsys_timer_stop();
    if (period_ms <= 0 || !callback)
        return false;
    tick_callback = callback;
    if (period_ms <= WIN32_MM_LONGEST_MS) {
        resolution_raised = timeBeginPeriod(1) == TIMERR_NOERROR;
        mm_timer = timeSetEvent(static_cast<UINT>(period_ms), 1, mm_tick, 0,
                                TIME_PERIODIC | TIME_CALLBACK_FUNCTION | TIME_KILL_SYNCHRONOUS);
        if (mm_timer)
            return true;
        if (resolution_raised)
            timeEndPeriod(1);
        resolution_raised = false;
    }
    // Its expiries come through the message pump, on the UI thread.
    pump_timer = SetTimer(nullptr, 0, static_cast<UINT>(period_ms), pump_tick);
    return pump_timer != 0;
}

void kxsys_timer_stop()
{
    if (mm_timer) {
        timeKillEvent(mm_timer);
        mm_timer = 0;
    }
    if (resolution_raised) {
        timeEndPeriod(1);
        resolution_raised = false;
    }
    if (pump_timer) {
        KillTimer(nullptr, pump_timer);
        pump_timer = 0;
    }
}

// The periodic timers have counted every period already.
void kxsys_timer_catchup() {}

bool kxsys_syncfile(std::FILE *f)
{
    if (!f)
        return false;
    HANDLE h = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(f)));
    return h != INVALID_HANDLE_VALUE && FlushFileBuffers(h);
}

// NTFS keeps a rename in its journal; there is no handle of a directory to
// flush.
bool kxsys_syncdir(const char *) { return true; }

const char *kxsys_tempdir()
{
    if (temp_dir.empty()) {
        char buf[MAX_PATH + 1] = {};
        DWORD n = GetTempPathA(sizeof buf, buf);
        if (n == 0 || n > MAX_PATH)
            std::snprintf(buf, sizeof buf, ".");
        to_slashes(buf);
        temp_dir = buf;
        while (temp_dir.size() > 1 && temp_dir.back() == '/')
            temp_dir.pop_back();
    }
    return temp_dir.c_str();
}

bool kxsys_tempfile(char *path, std::size_t size)
{
    if (!path || size == 0)
        return false;
    path[0] = 0;
    static unsigned serial = GetTickCount() ^ (GetCurrentProcessId() << 16);
    for (int i = 0; i < WIN32_TEMP_TRIES; i++) {
        serial = serial * 1103515245u + 12345u;
        char name[MAX_PATH + 32];
        int n = std::snprintf(name, sizeof name, "%s/kxtmp%06X", kxsys_tempdir(),
                              (serial >> 8) & 0xFFFFFF);
        if (n < 0 || static_cast<std::size_t>(n) + 1 > size)
            return false;
        HANDLE h = CreateFileA(name, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                               nullptr);
        if (h == INVALID_HANDLE_VALUE) {
            if (GetLastError() == ERROR_FILE_EXISTS)
                continue;
            return false;
        }
        CloseHandle(h);
        std::memcpy(path, name, static_cast<std::size_t>(n) + 1);
        return true;
    }
    return false;
}

void kxsys_module_path(char *buf, std::size_t size)
{
    if (!buf || size == 0)
        return;
    DWORD n = GetModuleFileNameA(nullptr, buf, static_cast<DWORD>(size));
    if (n == 0 || n >= size)
        n = 0;
    buf[n] = 0;
    to_slashes(buf);
}

const char *kxsys_datadir()
{
    const char *appdata = std::getenv("APPDATA");
    data_dir = appdata ? appdata : "";
    to_slashes(data_dir.data());
    while (data_dir.size() > 1 && data_dir.back() == '/')
        data_dir.pop_back();
    return data_dir.c_str();
}

// The CRT passes WinMain the line after the program's name: a quoted name
// runs to the next quote, else to the first space; spaces after it go too.
const char *kxsys_cmdline()
{
    const char *p = GetCommandLineA();
    if (!p)
        return "";
    if (*p == '"') {
        p++;
        while (*p && *p != '"')
            p++;
        if (*p == '"')
            p++;
    } else {
        while (*p && *p != ' ' && *p != '\t')
            p++;
    }
    while (*p == ' ' || *p == '\t')
        p++;
    command_line = p;
    return command_line.c_str();
}
