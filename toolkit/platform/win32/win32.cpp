// The Win32 host: one window class, top-level windows that follow the
// toolkit's window styles, and a window procedure that hands host messages
// to the shared one (kxwinproc).
// windows.h first: the other host headers build on it.
#include "platform/win32/win32host.h"
#include <commctrl.h>
#include <shellapi.h>

#include <cstdio>
#include <cstring>
#include <vector>

#ifndef WM_DPICHANGED
#define WM_DPICHANGED 0x02E0
#endif

namespace {

char class_name[WIN32_CLASS_NAME_SIZE] = {};
bool class_registered = false;

// Colours of the host come as 0x00BBGGRR.
int rgb_of(COLORREF c)
{
    return static_cast<int>(GetRValue(c)) << 16 | static_cast<int>(GetGValue(c)) << 8 |
           static_cast<int>(GetBValue(c));
}

LRESULT CALLBACK win32_wndproc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

// The icon the platform holds (the toolkit's or the program's) as a host
// icon, made again when it changes; none when the program brings its own
// among its resources ("ICON1", the window class's icon).
HICON win32_icon()
{
    static std::vector<std::uint32_t> made_from;
    static HICON made = nullptr;
    int w = 0, h = 0;
    const std::uint32_t *argb = nullptr;
    if (LoadIconA(GetModuleHandleA(nullptr), "ICON1") || !kxplatform_icon(&w, &h, &argb))
        return nullptr;
    std::vector<std::uint32_t> now(argb, argb + static_cast<std::size_t>(w) * h);
    now.push_back(static_cast<std::uint32_t>(w));
    if (made && now == made_from)
        return made;
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = -h;  // top-down, as the rows come
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    void *bits = nullptr;
    HDC dc = GetDC(nullptr);
    HBITMAP colour = CreateDIBSection(dc, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    ReleaseDC(nullptr, dc);
    if (!colour)
        return nullptr;
    // 0xAARRGGBB words are the DIB's B, G, R, A bytes.
    std::memcpy(bits, argb, static_cast<std::size_t>(w) * h * 4);
    std::vector<std::uint8_t> zeros(static_cast<std::size_t>((w + 15) / 16 * 2) * h);
    HBITMAP mask = CreateBitmap(w, h, 1, 1, zeros.data());  // the alpha decides
    ICONINFO ii{TRUE, 0, 0, mask, colour};
    HICON icon = CreateIconIndirect(&ii);
    DeleteObject(mask);
    DeleteObject(colour);
    if (!icon)
        return nullptr;
    if (made)
        DestroyIcon(made);
    made = icon;
    made_from = std::move(now);
    return made;
}

struct Win32 final : kxhost {
    HWND main_window = nullptr;  // the latest window that is neither popup nor modal
    // While a paint message is handled: the paint's context, used for copies
    // to that window instead of fetching the window's own.
    HWND paint_window = nullptr;
    HDC paint_dc = nullptr;
    bool hand = false;

    const char *name() const override { return "win32"; }

    bool open() override
    {
        // Before anything asks for sizes: they are the screen's own from here.
        win32_dpi_aware();
        INITCOMMONCONTROLSEX icc{sizeof icc, ICC_WIN95_CLASSES};
        InitCommonControlsEx(&icc);
        return true;
    }

    int scale() override
    {
        int s = kxscale_fromdpi(win32_system_dpi());
        return s ? s : 1;
    }

    void close() override
    {
        win32_clip_close();
        main_window = nullptr;
        hand = false;
    }

    kxscreeninfo screen() override
    {
        kxscreeninfo s;
        s.width = GetSystemMetrics(SM_CXSCREEN);
        s.height = GetSystemMetrics(SM_CYSCREEN);
        RECT work{0, 0, s.width, s.height};
        SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
        s.work_x = work.left, s.work_y = work.top;
        s.work_width = work.right - work.left, s.work_height = work.bottom - work.top;
        s.border = GetSystemMetrics(SM_CXSIZEFRAME);
        s.caption = GetSystemMetrics(SM_CYCAPTION);
        HDC dc = GetDC(nullptr);
        s.depth = GetDeviceCaps(dc, BITSPIXEL) * GetDeviceCaps(dc, PLANES);
        ReleaseDC(nullptr, dc);
        s.face = rgb_of(GetSysColor(COLOR_BTNFACE));
        s.shadow = rgb_of(GetSysColor(COLOR_BTNSHADOW));
        s.button_text = rgb_of(GetSysColor(COLOR_BTNTEXT));
        s.grey_text = rgb_of(GetSysColor(COLOR_GRAYTEXT));
        return s;
    }

    std::uintptr_t create_window(kxllgui_window *w, int x, int y, int width, int height,
                                 const kxwinstyle &style) override
    {
        const char *cls = win32_classname();
        if (!*cls)
            return 0;
        kxscreeninfo s = screen();
        DWORD ws = WS_POPUP, ex = 0;
        if (!style.fullscreen) {
            ws |= WS_VISIBLE;
            const bool titled = !style.popup && w->title[0];
            const bool sizing = !style.noresize && !style.popup;
            if (titled)
                ws |= WS_CAPTION;
            if (style.sysmenu)
                ws |= WS_SYSMENU | WS_MINIMIZEBOX;
            if (style.sysmenu && !style.noresize)
                ws |= WS_MAXIMIZEBOX;
            if (sizing)
                ws |= WS_THICKFRAME;
            if (style.modal)
                ex |= WS_EX_TOPMOST;
            // Outer size from the client size and the host's frame metrics.
            if (titled || sizing)
                width += 2 * s.border;
            if (titled)
                height += 2 * s.border + s.caption;
            if (titled && (style.noresize || style.popup))
                width -= 2, height -= 2;
        }
        HWND owner = style.popup ? main_window : nullptr;
        HWND h = CreateWindowExA(ex, cls, w->title, ws, x, y, width, height, owner, nullptr,
                                 GetModuleHandleA(nullptr), nullptr);
        if (!h)
            return 0;
        if (HICON icon = win32_icon()) {
            SendMessageA(h, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
            SendMessageA(h, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
        }
        // A window that opens on another screen than the main one takes
        // that screen's scale at once.
        if (int dpi = win32_window_dpi(h))
            win32_dpi_changed(h, w, dpi, nullptr);
        ShowWindow(h, SW_SHOWNORMAL);
        if (style.popup)
            SetCapture(h);
        else if (!style.modal)
            main_window = h;
        return reinterpret_cast<std::uintptr_t>(h);
    }

    void destroy_window(kxllgui_window *w) override
    {
        HWND h = reinterpret_cast<HWND>(w->handle);
        if (h == main_window)
            main_window = nullptr;
        if (h == paint_window)
            paint_window = nullptr, paint_dc = nullptr;
        DestroyWindow(h);
    }

    void retitle(kxllgui_window *w) override
    {
        SetWindowTextA(reinterpret_cast<HWND>(w->handle), w->title);
    }

    void show(kxllgui_window *w, int x, int y, int width, int height, int sx, int sy) override
    {
        HDC src = win32_server_context(&w->pixmap);
        HWND h = reinterpret_cast<HWND>(w->handle);
        if (!src)
            return;
        const bool painting = h == paint_window && paint_dc;
        HDC dc = painting ? paint_dc : GetDC(h);
        if (!dc)
            return;
        const int n = w->scale;
        if (n == 1) {
            BitBlt(dc, x, y, width, height, src, sx, sy, SRCCOPY);
        } else {
            // Whole-number enlargement without smoothing: each pixel a square.
            SetStretchBltMode(dc, COLORONCOLOR);
            StretchBlt(dc, x * n, y * n, width * n, height * n, src, sx, sy, width, height,
                       SRCCOPY);
        }
        if (!painting)
            ReleaseDC(h, dc);
    }

    // The host knows where the client area is; the frame metrics give the
    // same place for framed windows and would miss it for popups.
    void client_origin(const kxllgui_window *w, int *x, int *y) override
    {
        POINT p{0, 0};
        ClientToScreen(reinterpret_cast<HWND>(w->handle), &p);
        *x = p.x, *y = p.y;
    }

    void grab(kxllgui_window *w) override
    {
        ReleaseCapture();
        SetCapture(reinterpret_cast<HWND>(w->handle));
    }

    void ungrab(kxllgui_window *) override { ReleaseCapture(); }

    void restore(kxllgui_window *w) override
    {
        HWND h = reinterpret_cast<HWND>(w->handle);
        NOTIFYICONDATAA icon{};
        icon.cbSize = sizeof icon;
        icon.hWnd = h;
        Shell_NotifyIconA(NIM_DELETE, &icon);
        ShowWindow(h, SW_SHOW);
        ShowWindow(h, SW_RESTORE);
    }

    void cursor(bool want_hand) override
    {
        hand = want_hand;
        SetCursor(LoadCursor(nullptr, hand ? IDC_HAND : IDC_ARROW));
    }

    bool dispatch() override
    {
        MSG m;
        if (!PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE))
            return false;
        TranslateMessage(&m);
        DispatchMessageA(&m);
        return true;
    }

    void wait(int ms) override
    {
        // Messages or a due timer (kxsys_wake) end the wait.
        HANDLE wake = win32_wake_event();
        MsgWaitForMultipleObjects(1, &wake, FALSE, ms > 0 ? static_cast<DWORD>(ms) : 0,
                                  QS_ALLINPUT);
    }

    // The desktop of a Win32 program goes only with the session.
    bool lost() const override { return false; }

    void clip_put(const std::string &text) override { win32_clip_put(text); }
    bool clip_get(std::string *text) override { return win32_clip_get(text); }
    void primary_put(const std::string &) override {}  // Windows has no primary selection

    LRESULT paint(HWND hwnd)
    {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        paint_window = hwnd, paint_dc = dc;
        const RECT &r = ps.rcPaint;
        kxwinproc({kxmsgtype::paint, reinterpret_cast<std::uintptr_t>(hwnd), r.left, r.top,
                   r.right - r.left, r.bottom - r.top});
        paint_window = nullptr, paint_dc = nullptr;
        EndPaint(hwnd, &ps);
        return 0;
    }
};

Win32 the_host;

LRESULT CALLBACK win32_wndproc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    if (!kxwintable_find(reinterpret_cast<std::uintptr_t>(hwnd)))
        return DefWindowProcA(hwnd, msg, wp, lp);
    if (msg == WM_PAINT)
        return the_host.paint(hwnd);
    if (msg == WM_DPICHANGED) {
        win32_dpi_changed(hwnd, kxwintable_find(reinterpret_cast<std::uintptr_t>(hwnd)),
                          LOWORD(wp), reinterpret_cast<const RECT *>(lp));
        return 0;
    }
    if (msg == WM_GETMINMAXINFO) {
        win32_min_track(hwnd, kxwintable_find(reinterpret_cast<std::uintptr_t>(hwnd)),
                        reinterpret_cast<MINMAXINFO *>(lp));
        return 0;
    }
    // The host would put the class's arrow back on every move.
    if (msg == WM_SETCURSOR && LOWORD(lp) == HTCLIENT) {
        SetCursor(LoadCursor(nullptr, the_host.hand ? IDC_HAND : IDC_ARROW));
        return TRUE;
    }
    kxhostmsg m;
    if (!win32_translate(hwnd, msg, wp, lp, &m))
        return DefWindowProcA(hwnd, msg, wp, lp);
    kxwinproc(m);
    return 0;
}

} // namespace

kxhost *kxhost_win32() { return &the_host; }

const char *win32_classname()
{
    if (class_registered)
        return class_name;
    HINSTANCE inst = GetModuleHandleA(nullptr);
    WNDCLASSA wc{};
    wc.style = CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS;
    wc.lpfnWndProc = win32_wndproc;
    wc.hInstance = inst;
    wc.hIcon = LoadIconA(inst, "ICON1");
    if (!wc.hIcon)
        wc.hIcon = LoadIcon(nullptr, IDI_APPLICATION);
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    // A name another part of the program holds already makes us take the next.
    for (int n = 0; n < WIN32_CLASS_TRIES; n++) {
        std::snprintf(class_name, sizeof class_name, "kxWND2_%04d", n);
        wc.lpszClassName = class_name;
        if (RegisterClassA(&wc)) {
            class_registered = true;
            SetCursor(wc.hCursor);
            return class_name;
        }
    }
    class_name[0] = 0;
    return class_name;
}
