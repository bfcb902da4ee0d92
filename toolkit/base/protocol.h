// The message protocol shared by the host's window procedure and every
// widget: the one handler shape, the send helper, and the numbered requests,
// events and key codes.
#pragma once

#include <array>
#include <cstdint>

// Pointers travel in handler arguments, so arguments and results are
// pointer-sized.
using kxarg = std::intptr_t;
using kxhandler = kxarg (*)(void *obj, int code, kxarg a0, kxarg a1, kxarg a2, kxarg a3,
                            kxarg a4, kxarg a5, kxarg a6, kxarg a7);

template <class T> inline kxarg kxptr(T *p) { return reinterpret_cast<kxarg>(p); }
template <class T> inline T *kxunptr(kxarg a) { return reinterpret_cast<T *>(a); }

// Sends a message with up to eight arguments; missing ones are 0.  A null
// handler answers 0.
template <class... A> inline kxarg kxsend(kxhandler h, void *obj, int code, A... a)
{
    static_assert(sizeof...(A) <= 8, "a handler takes eight arguments");
    if (!h)
        return 0;
    std::array<kxarg, 8> v{static_cast<kxarg>(a)...};
    return h(obj, code, v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7]);
}

// Event ids.
constexpr int KX_FIRST_EVENT_ID = 1000000;
constexpr int KX_KEYUP_BIT = 0x200;

// Requests, widget to container.
enum : int {
    KX_REQ_REGISTER = 8001,
    KX_REQ_UNREGISTER = 8002,
    KX_REQ_MOVE = 8003,
    KX_REQ_GET_XS = 8004,
    KX_REQ_GET_YS = 8005,
    KX_REQ_GET_SCREEN_X = 8006,
    KX_REQ_GET_SCREEN_Y = 8007,
    KX_REQ_UPDATE = 8008,
    KX_REQ_SHOW = 8009,
    KX_REQ_FOCUS = 8010,
    KX_REQ_FOCUS_NEXT = 8011,
    KX_REQ_MAKE_VISIBLE = 8012,
    KX_REQ_SET_SCROLLS = 8013,
    KX_REQ_POPUP_CLOSED = 8014,
    KX_REQ_GRAB = 8015,
    KX_REQ_UNGRAB = 8016,
    KX_REQ_GET_VIEW = 8017,
    KX_REQ_AUTOREFRESH_OFF = 8018,
    KX_REQ_GET_BGCOLOR = 8019,
    KX_REQ_TRUECOLOR = 8020,
    KX_REQ_WANTS_FIT = 8021,
    KX_REQ_FIT = 8022,
};

// Events, container to widget (and host to window).
enum : int {
    KX_EV_CLOSE = 2001,
    KX_EV_EXPOSE = 2002,
    KX_EV_RESIZE = 2003,
    KX_EV_LDOWN = 2004,
    KX_EV_LUP = 2005,
    KX_EV_LDOUBLE = 2006,
    KX_EV_MDOWN = 2007,
    KX_EV_MUP = 2008,
    KX_EV_MDOUBLE = 2009,
    KX_EV_RDOWN = 2010,
    KX_EV_RUP = 2011,
    KX_EV_RDOUBLE = 2012,
    KX_EV_WHEEL_UP = 2013,
    KX_EV_WHEEL_DOWN = 2014,
    KX_EV_MOTION = 2015,
    KX_EV_KEYDOWN = 2016,
    KX_EV_KEYUP = 2017,
    KX_EV_FOCUS_IN = 2018,
    KX_EV_FOCUS_OUT = 2019,
    KX_EV_KEEP_FOCUS = 2020,
    KX_EV_LEAVE = 2024,
    KX_EV_ENTER = 2025,
    KX_EV_REPAINT = 2026,
    KX_EV_REFRESH = 2028,
    KX_EV_TIMER = 2029,
    KX_EV_PASTE = 2033,
    KX_EV_COPY = 2034,
    KX_EV_CUT = 2035,
    KX_EV_ENABLE = 2039,
    KX_EV_DISABLE = 2040,
    KX_EV_DISABLED = 2042,
    KX_EV_ENABLED = 2048,
    KX_EV_SNAPSHOT = 2049,
    KX_EV_CHILD_OUTPUT = 2050,
    KX_EV_CHILD_EXIT = 2052,
    KX_EV_MENU_HIT = 2053,
    KX_EV_MINIMIZED = 2055,
    KX_EV_TRAY = 2056,
};

// Key codes: event ids in the queue and arguments of the key events.
enum : int {
    KX_KEY_CTRL_A = 1,
    KX_KEY_BACKSPACE = 8,
    KX_KEY_TAB = 9,
    KX_KEY_RETURN = 10,
    KX_KEY_CR = 13,  // a carriage return that reached the toolkit as it is
    KX_KEY_ESCAPE = 27,
    KX_KEY_SPACE = 32,
    KX_KEY_LEFT = 301,
    KX_KEY_RIGHT = 302,
    KX_KEY_UP = 303,
    KX_KEY_DOWN = 304,
    KX_KEY_F1 = 305,
    KX_KEY_F2,
    KX_KEY_F3,
    KX_KEY_F4,
    KX_KEY_F5,
    KX_KEY_F6,
    KX_KEY_F7,
    KX_KEY_F8,
    KX_KEY_F9,
    KX_KEY_F10,
    KX_KEY_F11,
    KX_KEY_F12, // 316
    KX_KEY_INSERT = 317,
    KX_KEY_CTRL = 318,
    KX_KEY_SHIFT = 319,
    KX_KEY_HOME = 320,
    KX_KEY_END = 321,
    KX_KEY_DELETE = 322,
    KX_KEY_PGUP = 323,
    KX_KEY_PGDOWN = 324,
    KX_KEY_ALT = 325,
};
static_assert(KX_KEY_F12 == 316);
