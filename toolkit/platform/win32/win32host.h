// The Win32 host's own declarations, shared by its files: windows and input
// (win32.cpp), the window procedure's key table (win32_keys.cpp), GDI server
// bitmaps (win32_gdi.cpp), the clipboard (win32_clip.cpp), time and the base
// tick (win32_time.cpp), serial ports and child processes.  Nothing outside
// this folder includes it.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <cstdint>
#include <vector>

#include "platform/host.h"

constexpr int WIN32_CLASS_TRIES = 10000;
constexpr int WIN32_CLASS_NAME_SIZE = 32;
// The window's private message for its tray icon.
constexpr UINT WIN32_TRAY_MESSAGE = WM_USER + 10;

// The record behind a format-4 pixmap: a bitmap compatible with the screen in
// a memory context, the cached brush and pen, and the mask for transparent
// pixels (white where transparent).
struct kxserverbitmap {
    HBITMAP bitmap = nullptr;
    HDC context = nullptr;
    HGDIOBJ old_bitmap = nullptr;
    HBRUSH brush = nullptr;
    int brush_colour = -1;
    HPEN pen = nullptr;
    int pen_colour = -1;
    HGDIOBJ old_pen = nullptr;
    std::uint8_t has_mask = 0;
    HBITMAP mask_bitmap = nullptr;
    HDC mask_context = nullptr;
    HGDIOBJ old_mask = nullptr;
    int width = 0, height = 0;
    int brushes_made = 0, pens_made = 0;
    // Copies of the pixels (and mask) read back for kxserver_pixels.
    std::vector<std::uint32_t> readback, mask_readback;
};

// The memory context a window pixmap is drawn in; null when the pixmap is
// not a server pixmap.
HDC win32_server_context(const kxpxmap *p);

// The host key of a virtual key; kxhostkey::other for keys without a
// meaning of their own.
kxhostkey win32_hostkey(WPARAM vk);

// The registered window class ("kxWND2_0000", or the next free number);
// registers it on first use.  Empty when no number was free.
const char *win32_classname();
// Set by kxsys_wake; the host's wait watches it with the message queue.
HANDLE win32_wake_event();
// Runs the toolkit's window procedure for one host message; false when the
// message is not one the toolkit takes.
bool win32_translate(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, kxhostmsg *out);

// Screens of many dots per inch (win32_dpi.cpp).  The process is declared
// DPI-aware before its first window; the DPI of the screen, and of the
// screen a window is on (0 where the host cannot tell).
void win32_dpi_aware();
int win32_system_dpi();
int win32_window_dpi(HWND h);
// A window moved to a screen of another DPI: it takes that screen's scale
// and is resized to show its pixmap at it; false when its scale stays.
bool win32_dpi_changed(HWND h, kxllgui_window *w, int dpi, const RECT *suggested);
// The smallest outer size of a resizable window with lower limits.
void win32_min_track(HWND h, const kxllgui_window *w, MINMAXINFO *info);

// The clipboard, owned by a hidden window of the program.
void win32_clip_put(const std::string &text);
bool win32_clip_get(std::string *text);
void win32_clip_close();
