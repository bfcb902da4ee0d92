// Screens of many dots per inch: the process says it draws for the real
// pixels itself (else Windows would blur its windows by stretching them),
// and a window moved to a screen of another DPI takes that screen's scale.
// The calls for this came with different Windows versions and are missing
// from older Wine and mingw-w64 import libraries, so they are looked up at
// run time, newest first.
#include "platform/win32/win32host.h"

#include <cstdio>

#ifndef WM_DPICHANGED
#define WM_DPICHANGED 0x02E0
#endif

namespace {

// DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2 and PROCESS_PER_MONITOR_DPI_AWARE.
const HANDLE per_monitor_v2 = reinterpret_cast<HANDLE>(static_cast<INT_PTR>(-4));
constexpr int per_monitor = 2;
constexpr int default_dpi = 96;

template <class F> F lookup(const char *dll, const char *name)
{
    HMODULE m = GetModuleHandleA(dll);
    if (!m)
        m = LoadLibraryA(dll);
    if (!m)
        return nullptr;
    // Through the generic function type, which converts to any other.
    return reinterpret_cast<F>(reinterpret_cast<void (*)()>(GetProcAddress(m, name)));
}

} // namespace

void win32_dpi_aware()
{
    using context_fn = BOOL(WINAPI *)(HANDLE);
    using awareness_fn = HRESULT(WINAPI *)(int);
    using aware_fn = BOOL(WINAPI *)();
    if (auto f = lookup<context_fn>("user32.dll", "SetProcessDpiAwarenessContext"); f && f(per_monitor_v2))
        return;
    if (auto f = lookup<awareness_fn>("shcore.dll", "SetProcessDpiAwareness"); f && SUCCEEDED(f(per_monitor)))
        return;
    if (auto f = lookup<aware_fn>("user32.dll", "SetProcessDPIAware"))
        f();
}

int win32_system_dpi()
{
    using system_fn = UINT(WINAPI *)();
    if (auto f = lookup<system_fn>("user32.dll", "GetDpiForSystem"))
        if (UINT dpi = f())
            return static_cast<int>(dpi);
    HDC dc = GetDC(nullptr);
    int dpi = dc ? GetDeviceCaps(dc, LOGPIXELSX) : 0;
    if (dc)
        ReleaseDC(nullptr, dc);
    return dpi > 0 ? dpi : default_dpi;
}

int win32_window_dpi(HWND h)
{
    using window_fn = UINT(WINAPI *)(HWND);
    auto f = lookup<window_fn>("user32.dll", "GetDpiForWindow");
    return f ? static_cast<int>(f(h)) : 0;
}

namespace {

// The frame around the client area: what the outer size adds to it.
SIZE frame_of(HWND h)
{
    RECT outer{}, client{};
    GetWindowRect(h, &outer);
    GetClientRect(h, &client);
    return {(outer.right - outer.left) - client.right, (outer.bottom - outer.top) - client.bottom};
}

} // namespace

// The client area takes the pixmap's size at the new scale; the window
// goes where the host suggests.  Sizes of the window then stay what they
// were in pixmap pixels, so the toolkit only repaints.
bool win32_dpi_changed(HWND h, kxllgui_window *w, int dpi, const RECT *suggested)
{
    const int scale = kxplatform_dpiscale(dpi);
    if (!w || scale == w->scale)
        return false;
    w->scale = scale;
    const SIZE frame = frame_of(h);
    const int x = suggested ? suggested->left : 0, y = suggested ? suggested->top : 0;
    UINT flags = SWP_NOZORDER | SWP_NOACTIVATE | (suggested ? 0 : SWP_NOMOVE);
    SetWindowPos(h, nullptr, x, y, w->pixmap.width * scale + frame.cx,
                 w->pixmap.height * scale + frame.cy, flags);
    InvalidateRect(h, nullptr, FALSE);
    return true;
}

void win32_min_track(HWND h, const kxllgui_window *w, MINMAXINFO *info)
{
    if (!w || (w->minwidth <= 0 && w->minheight <= 0))
        return;
    const SIZE frame = frame_of(h);
    info->ptMinTrackSize.x = w->minwidth * w->scale + frame.cx;
    info->ptMinTrackSize.y = w->minheight * w->scale + frame.cy;
}
