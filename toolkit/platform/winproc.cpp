// The window procedure shared by all hosts: host messages become toolkit
// events with the toolkit's key codes, the modifier state is kept, and the
// few key combinations with a meaning of their own are turned into paste,
// copy, cut and close.
#include <algorithm>
#include <array>

#include "platform/host.h"

namespace {

int modifiers = 0;

struct KeyRow {
    kxhostkey key;
    int code;
};

constexpr std::array<KeyRow, 27> key_table{{
    {kxhostkey::tab, KX_KEY_TAB},       {kxhostkey::enter, KX_KEY_RETURN},
    {kxhostkey::shift, KX_KEY_SHIFT},   {kxhostkey::ctrl, KX_KEY_CTRL},
    {kxhostkey::alt, KX_KEY_ALT},       {kxhostkey::escape, KX_KEY_ESCAPE},
    {kxhostkey::space, KX_KEY_SPACE},   {kxhostkey::pgup, KX_KEY_PGUP},
    {kxhostkey::pgdown, KX_KEY_PGDOWN}, {kxhostkey::end, KX_KEY_END},
    {kxhostkey::home, KX_KEY_HOME},     {kxhostkey::left, KX_KEY_LEFT},
    {kxhostkey::up, KX_KEY_UP},         {kxhostkey::right, KX_KEY_RIGHT},
    {kxhostkey::down, KX_KEY_DOWN},     {kxhostkey::f1, KX_KEY_F1},
    {kxhostkey::f2, KX_KEY_F2},         {kxhostkey::f3, KX_KEY_F3},
    {kxhostkey::f4, KX_KEY_F4},         {kxhostkey::f5, KX_KEY_F5},
    {kxhostkey::f6, KX_KEY_F6},         {kxhostkey::f7, KX_KEY_F7},
    {kxhostkey::f8, KX_KEY_F8},         {kxhostkey::f9, KX_KEY_F9},
    {kxhostkey::f10, KX_KEY_F10},       {kxhostkey::f11, KX_KEY_F11},
    {kxhostkey::f12, KX_KEY_F12},
}};

int key_code(kxhostkey k)
{
    for (const KeyRow &r : key_table)
        if (r.key == k)
            return r.code;
    return 0;
}

int modifier_bit(kxhostkey k)
{
    switch (k) {
    case kxhostkey::shift:
        return KX_MOD_SHIFT;
    case kxhostkey::alt:
        return KX_MOD_ALT;
    case kxhostkey::ctrl:
        return KX_MOD_CTRL;
    default:
        return 0;
    }
}

// The platform window's own handler.  The window is looked up again for
// every event: a handler may close it while the message is handled.
void deliver(std::uintptr_t handle, int code, int a = 0, int b = 0, int c = 0, int d = 0)
{
    kxllgui_window *w = kxwintable_find(handle);
    if (!w || !w->created)
        return;
    if (code == KX_EV_EXPOSE) {
        kxplatwin_blit(w, 0, 0, 0, 0, 0, 0, false);
        return;
    }
    if (code == KX_EV_RESIZE) {
        if (a <= 0 || b <= 0)
            return;
        a = std::max(a, w->minwidth), b = std::max(b, w->minheight);
        if ((a == w->pixmap.width && b == w->pixmap.height) || !kxserver_resize(&w->pixmap, a, b))
            return;
    }
    kxsend(w->handler, w->object, code, a, b, c, d);
}

void key_down(std::uintptr_t h, kxhostkey k)
{
    modifiers |= modifier_bit(k);
    switch (k) {
    case kxhostkey::insert:
        deliver(h, KX_EV_KEYDOWN, KX_KEY_INSERT);
        if (modifiers == KX_MOD_SHIFT)
            deliver(h, KX_EV_PASTE);
        else if (modifiers == KX_MOD_CTRL)
            deliver(h, KX_EV_COPY);
        return;
    case kxhostkey::del:
        if (modifiers == KX_MOD_SHIFT)
            deliver(h, KX_EV_CUT);
        else
            deliver(h, KX_EV_KEYDOWN, KX_KEY_DELETE);
        return;
    case kxhostkey::f4:
        if (modifiers & KX_MOD_ALT)
            deliver(h, KX_EV_CLOSE);
        deliver(h, KX_EV_KEYDOWN, KX_KEY_F4);
        return;
    default:
        if (int code = key_code(k))
            deliver(h, KX_EV_KEYDOWN, code);
    }
}

void key_up(std::uintptr_t h, kxhostkey k)
{
    modifiers &= ~modifier_bit(k);
    int code = k == kxhostkey::insert ? KX_KEY_INSERT
               : k == kxhostkey::del  ? KX_KEY_DELETE
                                      : key_code(k);
    if (code)
        deliver(h, KX_EV_KEYUP, code);
}

// Tab, Return, Escape and Space came as key presses already.  The control
// characters of Ctrl+V, Ctrl+X and Ctrl+C also mean paste, cut and copy.
void character(std::uintptr_t h, int ch)
{
    if (ch <= 0 || ch > 255)
        return;
    if (ch == 9 || ch == 13 || ch == 27 || ch == 32)
        return;
    if (ch == 22)
        deliver(h, KX_EV_PASTE);
    else if (ch == 24)
        deliver(h, KX_EV_CUT);
    else if (ch == 3)
        deliver(h, KX_EV_COPY);
    deliver(h, KX_EV_KEYDOWN, ch);
}

int button_code(kxmsgtype t, int button)
{
    static constexpr int down[] = {KX_EV_LDOWN, KX_EV_MDOWN, KX_EV_RDOWN};
    static constexpr int up[] = {KX_EV_LUP, KX_EV_MUP, KX_EV_RUP};
    static constexpr int dbl[] = {KX_EV_LDOUBLE, KX_EV_MDOUBLE, KX_EV_RDOUBLE};
    if (button < 1 || button > 3)
        return 0;
    const int *row = t == kxmsgtype::button_down ? down : t == kxmsgtype::button_up ? up : dbl;
    return row[button - 1];
}

} // namespace

int kxsys_modifiers() { return modifiers; }

// Host messages count screen pixels; the window's events count its
// pixmap's.
void kxwinproc(const kxhostmsg &m)
{
    std::uintptr_t h = m.handle;
    const kxllgui_window *win = kxwintable_find(h);
    const int s = win ? win->scale : 1;
    switch (m.type) {
    case kxmsgtype::size:
        deliver(h, KX_EV_RESIZE, kxscale_up(m.a, s), kxscale_up(m.b, s));
        if (m.c)
            deliver(h, KX_EV_MINIMIZED);
        break;
    case kxmsgtype::focus_in:
        modifiers = 0;
        deliver(h, KX_EV_FOCUS_IN);
        break;
    case kxmsgtype::focus_out:
        modifiers = 0;
        deliver(h, KX_EV_FOCUS_OUT);
        break;
    case kxmsgtype::paint: {
        const int x = kxscale_down(m.a, s), y = kxscale_down(m.b, s);
        deliver(h, KX_EV_EXPOSE, x, y, kxscale_up(m.a + m.c, s) - x, kxscale_up(m.b + m.d, s) - y);
        break;
    }
    case kxmsgtype::close:
        deliver(h, KX_EV_CLOSE);
        break;
    case kxmsgtype::keydown:
        key_down(h, static_cast<kxhostkey>(m.a));
        break;
    case kxmsgtype::keyup:
        key_up(h, static_cast<kxhostkey>(m.a));
        break;
    case kxmsgtype::character:
        character(h, m.a);
        break;
    case kxmsgtype::motion:
        deliver(h, KX_EV_MOTION, kxscale_down(m.a, s), kxscale_down(m.b, s));
        break;
    case kxmsgtype::button_down:
    case kxmsgtype::button_up:
    case kxmsgtype::button_double:
        if (int code = button_code(m.type, m.a))
            deliver(h, code, kxscale_down(m.b, s), kxscale_down(m.c, s));
        break;
    case kxmsgtype::wheel: {
        if (!win)
            break;
        int ox = 0, oy = 0;
        kxplatwin_device_origin(win, &ox, &oy);
        deliver(h, m.a < 0 ? KX_EV_WHEEL_DOWN : KX_EV_WHEEL_UP, kxscale_down(m.b - ox, s),
                kxscale_down(m.c - oy, s));
        break;
    }
    case kxmsgtype::tray:
        if (m.a == 1)
            deliver(h, KX_EV_TRAY, KX_EV_LUP);
        else if (m.a == 3)
            deliver(h, KX_EV_TRAY, KX_EV_RUP);
        break;
    }
}
