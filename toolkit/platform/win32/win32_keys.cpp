// Win32 messages as host messages: the virtual-key table and the mapping of
// window messages onto the shared window procedure's message types.
// windows.h first: the other host headers build on it.
#include "platform/win32/win32host.h"
#include <windowsx.h>

#include <array>

namespace {

struct VirtualKeyRow {
    WPARAM vk;
    kxhostkey key;
};

constexpr std::array<VirtualKeyRow, 31> win32_keys{{
    {VK_TAB, kxhostkey::tab},      {VK_RETURN, kxhostkey::enter}, {VK_SHIFT, kxhostkey::shift},
    {VK_CONTROL, kxhostkey::ctrl}, {VK_MENU, kxhostkey::alt},     {VK_ESCAPE, kxhostkey::escape},
    {VK_SPACE, kxhostkey::space},  {VK_PRIOR, kxhostkey::pgup},   {VK_NEXT, kxhostkey::pgdown},
    {VK_END, kxhostkey::end},      {VK_HOME, kxhostkey::home},    {VK_LEFT, kxhostkey::left},
    {VK_UP, kxhostkey::up},        {VK_RIGHT, kxhostkey::right},  {VK_DOWN, kxhostkey::down},
    {VK_INSERT, kxhostkey::insert}, {VK_DELETE, kxhostkey::del},  {VK_F1, kxhostkey::f1},
    {VK_F2, kxhostkey::f2},        {VK_F3, kxhostkey::f3},        {VK_F4, kxhostkey::f4},
    {VK_F5, kxhostkey::f5},        {VK_F6, kxhostkey::f6},        {VK_F7, kxhostkey::f7},
    {VK_F8, kxhostkey::f8},        {VK_F9, kxhostkey::f9},        {VK_F10, kxhostkey::f10},
    {VK_F11, kxhostkey::f11},      {VK_F12, kxhostkey::f12},
    // The left and right keys as some input paths report them.
    {VK_LSHIFT, kxhostkey::shift}, {VK_RSHIFT, kxhostkey::shift},
}};

struct ButtonRow {
    UINT msg;
    kxmsgtype type;
    int button;
};

constexpr std::array<ButtonRow, 9> win32_buttons{{
    {WM_LBUTTONDOWN, kxmsgtype::button_down, 1},
    {WM_MBUTTONDOWN, kxmsgtype::button_down, 2},
    {WM_RBUTTONDOWN, kxmsgtype::button_down, 3},
    {WM_LBUTTONUP, kxmsgtype::button_up, 1},
    {WM_MBUTTONUP, kxmsgtype::button_up, 2},
    {WM_RBUTTONUP, kxmsgtype::button_up, 3},
    {WM_LBUTTONDBLCLK, kxmsgtype::button_double, 1},
    {WM_MBUTTONDBLCLK, kxmsgtype::button_double, 2},
    {WM_RBUTTONDBLCLK, kxmsgtype::button_double, 3},
}};

} // namespace

kxhostkey win32_hostkey(WPARAM vk)
{
    for (const VirtualKeyRow &r : win32_keys)
        if (r.vk == vk)
            return r.key;
    return kxhostkey::other;
}

bool win32_translate(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, kxhostmsg *out)
{
    kxhostmsg m;
    m.handle = reinterpret_cast<std::uintptr_t>(hwnd);
    // Mouse positions are the signed low and high words.
    const int x = GET_X_LPARAM(lp), y = GET_Y_LPARAM(lp);
    switch (msg) {
    case WM_SIZE:
        m.type = kxmsgtype::size;
        m.a = LOWORD(lp), m.b = HIWORD(lp), m.c = wp == SIZE_MINIMIZED;
        break;
    case WM_SETFOCUS:
        m.type = kxmsgtype::focus_in;
        break;
    case WM_KILLFOCUS:
        m.type = kxmsgtype::focus_out;
        break;
    case WM_CLOSE:
        m.type = kxmsgtype::close;
        break;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
        m.type = kxmsgtype::keydown;
        m.a = static_cast<int>(win32_hostkey(wp));
        break;
    case WM_KEYUP:
    case WM_SYSKEYUP:
        m.type = kxmsgtype::keyup;
        m.a = static_cast<int>(win32_hostkey(wp));
        break;
    case WM_CHAR:
    case WM_SYSCHAR:
        m.type = kxmsgtype::character;
        m.a = static_cast<int>(wp & 0xFF);
        break;
    case WM_MOUSEMOVE:
        m.type = kxmsgtype::motion;
        m.a = x, m.b = y;
        break;
    case WM_MOUSEWHEEL:
        // The host gives the position on the screen.
        m.type = kxmsgtype::wheel;
        m.a = GET_WHEEL_DELTA_WPARAM(wp), m.b = x, m.c = y;
        break;
    case WIN32_TRAY_MESSAGE:
        if (lp != WM_LBUTTONUP && lp != WM_RBUTTONUP)
            return false;
        m.type = kxmsgtype::tray;
        m.a = lp == WM_LBUTTONUP ? 1 : 3;
        break;
    default: {
        bool found = false;
        for (const ButtonRow &r : win32_buttons)
            if (r.msg == msg) {
                m.type = r.type, m.a = r.button, m.b = x, m.c = y;
                found = true;
            }
        if (!found)
            return false;
    }
    }
    *out = m;
    return true;
}
