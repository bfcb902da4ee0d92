// Host choice, the host-window table and the window operations that are the
// same on every display host.
#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "platform/host.h"

namespace {

struct WindowSlot {
    std::uint8_t used = 0;
    kxhandler handler = nullptr;
    kxllgui_window *window = nullptr;
    std::uintptr_t handle = 0;
};

kxhost *host = nullptr;
std::string chosen;  // kxplatform_sethost's, before KX_HOST
int host_scale = 1;    // kxplatform_scale
int forced_scale = 0;  // KX_SCALE, 0 when not set
std::array<WindowSlot, KX_MAX_HOST_WINDOWS> windows;
int depth = 0;  // asked once
bool held = false;  // kxplatwin_hold
std::string clip_text;
bool clip_held = false;
bool lost_told = false;  // the closes for a lost display were delivered
bool ending = false;     // the host asked the program to end
bool ended = false;      // and its windows were told to close, or the display is gone
std::string window_class = "Kx9d";
std::vector<std::uint32_t> icon;
int icon_width = 0, icon_height = 0;

// The host, while its display is there: no call may reach a lost one.
kxhost *live()
{
    return host && !host->lost() ? host : nullptr;
}

// The host of the system this was built for, unless KX_HOST names one.
// Without a display (X11) there is no default: a program that fell back to
// the headless screen would run where nobody can see or end it.
kxhost *choose_host()
{
#ifdef _WIN32
    constexpr const char *native_name = "win32";
    kxhost *(*const native)() = kxhost_win32;
    const bool display = true;
#else
    constexpr const char *native_name = "x11";
    kxhost *(*const native)() = kxhost_x11;
    const char *d = std::getenv("DISPLAY");
    const bool display = d && *d;
#endif
    const char *want = chosen.empty() ? std::getenv("KX_HOST") : chosen.c_str();
    if (want && *want) {
        std::string_view w = want;
        if (w == "headless")
            return kxhost_headless();
        if (w == native_name)
            return native();
        std::printf("kxplatform_init: unknown host \"%s\" (%s or headless)\n", want, native_name);
        return nullptr;
    }
    if (!display) {
        std::printf("no X display: set DISPLAY, or KX_HOST=headless for a virtual screen\n");
        return nullptr;
    }
    return native();
}

// The host's screen in logical pixels.
kxscreeninfo screen()
{
    if (!live())
        return kxscreeninfo{};
    kxscreeninfo s = host->screen();
    if (host_scale > 1)
        for (int *v : {&s.width, &s.height, &s.work_x, &s.work_y, &s.work_width, &s.work_height,
                       &s.border, &s.caption})
            *v = kxscale_down(*v, host_scale);
    return s;
}

// KX_SCALE wins over what the desktop asks for.
int choose_scale(kxhost *h)
{
    forced_scale = kxscale_parse("KX_SCALE", std::getenv("KX_SCALE"));
    int s = forced_scale ? forced_scale : h->scale();
    return s >= 1 && s <= KX_SCALE_MAX ? s : 1;
}

void table_add(kxllgui_window *w)
{
    for (WindowSlot &s : windows)
        if (!s.used) {
            s = {1, w->handler, w, w->handle};
            return;
        }
    // A full table leaves the window unregistered: it gets no events.
}

void table_remove(const kxllgui_window *w)
{
    for (WindowSlot &s : windows)
        if (s.used && s.window == w)
            s = WindowSlot{};
}

// Every window is told to close, as if its user had closed it; the list is
// taken first, as a close may destroy windows or make new ones.
void close_all()
{
    std::vector<std::uintptr_t> handles;
    for (const WindowSlot &s : windows)
        if (s.used)
            handles.push_back(s.handle);
    for (std::uintptr_t h : handles)
        kxwinproc({kxmsgtype::close, h});
}

} // namespace

void kxplatform_sethost(const char *name) { chosen = name ? name : ""; }

bool kxplatform_init()
{
    kxsys_catchend();
    if (host)
        return true;
    kxhost *h = choose_host();
    if (!h || !h->open())
        return false;
    host = h;
    host_scale = choose_scale(h);
    return true;
}

int kxplatform_scale() { return host_scale; }

int kxplatform_dpiscale(int dpi)
{
    if (forced_scale)
        return forced_scale;
    int s = kxscale_fromdpi(dpi);
    return s ? s : 1;
}

void kxplatform_exit()
{
    if (!host)
        return;
    host->close();
    host = nullptr;
    host_scale = 1;
    forced_scale = 0;
    windows = {};
    depth = 0;
    lost_told = ending = ended = false;
}

const char *kxplatform_hostname() { return host ? host->name() : ""; }

kxllgui_window *kxwintable_find(std::uintptr_t handle)
{
    if (!handle)
        return nullptr;
    for (WindowSlot &s : windows)
        if (s.used && s.handle == handle)
            return s.window;
    return nullptr;
}

bool kxplatwin_create(kxllgui_window *w, kxhandler handler, void *object, int x, int y, int width,
                      int height, const char *title, const kxwinstyle &style)
{
    if (!kxplatform_init())
        return false;
    *w = kxllgui_window{};
    w->handler = handler;
    w->object = object;
    std::snprintf(w->title, sizeof w->title, "%s", title ? title : "");
    kxscreeninfo s = screen();
    if (style.fullscreen) {
        x = 0, y = 0, width = s.width, height = s.height;
    } else if (x == -1) {
        x = s.work_x, y = s.work_y;
    }
    width = width > 0 ? width : 1;
    height = height > 0 ? height : 1;
    w->pixmap.width = width;
    w->pixmap.height = height;
    w->pixmap.format = KX_PXFMT_SERVER;
    w->pixmap.data = kxserver_create(width, height);
    w->pixmap.palette = kxpxmap_defaultpalette();
    if (!w->pixmap.data)
        std::printf("kxplatwin_create: no pixmap for %d x %d\n", width, height);
    w->x = x, w->y = y, w->width = width, w->height = height;
    w->scale = host_scale;
    // A fixed window keeps its pixmap's size when a window manager that
    // ignores the size hints makes it smaller.
    if (style.noresize || style.popup || style.fullscreen)
        w->minwidth = width, w->minheight = height;
    else
        w->minwidth = std::max(style.minwidth, 0), w->minheight = std::max(style.minheight, 0);
    // A window made once the display is lost has no host window; its
    // record works as any other.
    const int n = w->scale;
    w->handle = live() ? host->create_window(w, x * n, y * n, width * n, height * n, style) : 0;
    if (w->handle)
        table_add(w);
    w->created = 1;
    return true;
}

void kxplatwin_destroy(kxllgui_window *w)
{
    if (!w->created)
        return;
    kxserver_free(&w->pixmap);
    table_remove(w);
    if (live() && w->handle)
        host->destroy_window(w);
    *w = kxllgui_window{};
}

void kxplatwin_settitle(kxllgui_window *w, const char *title)
{
    if (!w->created)
        return;
    std::snprintf(w->title, sizeof w->title, "%s", title ? title : "");
    if (live() && w->handle)
        host->retitle(w);
}

void kxplatwin_blit(kxllgui_window *w, int x, int y, int xs, int ys, int sx, int sy, bool force)
{
    if (!live() || !w->created || !w->handle || w->hidden || (held && !force))
        return;
    const kxpxmap &p = w->pixmap;
    if (xs == 0)
        x = 0, sx = 0, xs = p.width;
    if (ys == 0)
        y = 0, sy = 0, ys = p.height;
    // Clip source and destination to the pixmap, which is also the client area.
    if (sx < 0)
        x -= sx, xs += sx, sx = 0;
    if (sy < 0)
        y -= sy, ys += sy, sy = 0;
    if (x < 0)
        sx -= x, xs += x, x = 0;
    if (y < 0)
        sy -= y, ys += y, y = 0;
    xs = std::min({xs, p.width - sx, p.width - x});
    ys = std::min({ys, p.height - sy, p.height - y});
    if (xs <= 0 || ys <= 0)
        return;
    host->show(w, x, y, xs, ys, sx, sy);
}

void kxplatwin_hold(bool on) { held = on; }

void kxplatwin_device_origin(const kxllgui_window *w, int *x, int *y)
{
    *x = *y = 0;
    if (live() && w->handle)
        host->client_origin(w, x, y);
}

int kxplatwin_screen_x(const kxllgui_window *w)
{
    int x, y;
    kxplatwin_device_origin(w, &x, &y);
    return kxscale_down(x, w->scale);
}

int kxplatwin_screen_y(const kxllgui_window *w)
{
    int x, y;
    kxplatwin_device_origin(w, &x, &y);
    return kxscale_down(y, w->scale);
}

void kxplatwin_grab(kxllgui_window *w)
{
    if (live() && w->handle)
        host->grab(w);
}

void kxplatwin_ungrab(kxllgui_window *w)
{
    if (live() && w->handle)
        host->ungrab(w);
}

void kxplatwin_tray_restore(kxllgui_window *w)
{
    if (live() && w->handle)
        host->restore(w);
}

void kxsys_cursor(const char *name)
{
    if (!live() || !name)
        return;
    std::string_view n = name;
    if (n == "hand")
        host->cursor(true);
    else if (n == "standard")
        host->cursor(false);
}

int kxsys_metric(const char *name)
{
    std::string_view n = name ? name : "";
    kxscreeninfo s = screen();
    if (n == "screenxs")
        return s.width;
    if (n == "screenys")
        return s.height;
    if (n == "windowbordersize")
        return s.border;
    if (n == "windowcaptionheight")
        return s.caption;
    if (n == "maxwindowxs")
        return s.work_width - 2 * s.border;
    if (n == "maxwindowys")
        return s.work_height - s.caption - s.border;
    std::printf("get setting: %s\n", name ? name : "(null)");
    return 0;
}

int kxsys_colordepth()
{
    if (!depth)
        depth = live() ? host->screen().depth : 24;
    return depth;
}

namespace {

// Adds delta to each channel, clamped to 0..255.
int shade(int colour, int delta)
{
    if (colour < 0)
        return -1;
    int out = 0;
    for (int shift = 0; shift <= 16; shift += 8) {
        int c = std::clamp(((colour >> shift) & 0xFF) + delta, 0, 255);
        out |= c << shift;
    }
    return out;
}

} // namespace

// Hosts that tell their button colours (Win32) give the grey family; the
// others leave the toolkit's defaults.  The two selection colours follow the
// depth as on any host.
int kxsys_syscolor(const char *name)
{
    std::string_view n = name ? name : "";
    bool shallow = kxsys_colordepth() < 9;
    if (n == "textsel")
        return shallow ? 0xFFFFFF : -1;
    if (n == "blue")
        return shallow ? 0x000080 : -1;
    kxscreeninfo s = screen();
    if (n == "grey")
        return s.face;
    if (n == "light")
        return shade(s.face, 16);
    if (n == "verylight")
        return shade(s.face, 32);
    if (n == "darkc0c0c0")
        return shade(s.face, -32);
    if (n == "dark")
        return s.shadow;
    if (n == "text")
        return s.button_text;
    if (n == "textgrey")
        return s.grey_text;
    return -1;
}

int kxfont_loadfromsystem(const char *face, int points, int xs, int ys, int bold, int italic,
                          int underlined, int ascent, int descent)
{
    std::printf("load system font:\n");
    std::printf("%s\nPoints=%d XS=%d YS=%d\nBold=%d Italic=%d Underlined=%d Ascent=%d Descent=%d\n",
                face ? face : "", points, xs, ys, bold, italic, underlined, ascent, descent);
    std::printf("kxfont_loadfromsystem: not implemented !\n");
    return 0;
}

bool kxhost_dispatch()
{
    if (!host)
        return false;
    // What the user did before the request still counts: waiting input is
    // handled first, then every window closes.
    ending = ending || kxsys_endrequested();
    if (ending && !host->lost()) {
        if (host->dispatch())
            return true;
        ending = false;
        ended = true;
        close_all();
        return true;
    }
    if (host->lost()) {
        if (lost_told)
            return false;
        lost_told = ended = true;
        close_all();
        return true;
    }
    return host->dispatch();
}

bool kxhost_lost() { return host && host->lost() && lost_told; }

bool kxhost_ended() { return ended; }

void kxhost_wait(int ms)
{
    if (live())
        host->wait(ms);
    else if (host)
        kxsys_waitwake(ms);  // a lost display: only a wake-up ends the wait
    else
        kxsys_sleep(static_cast<long>(ms) * 1000);
}

void kxplatform_setclass(const char *name)
{
    if (name && *name)
        window_class = name;
}

const char *kxplatform_class() { return window_class.c_str(); }

void kxplatform_seticon(int width, int height, const std::uint32_t *argb)
{
    if (width <= 0 || height <= 0 || !argb) {
        icon.clear();
        icon_width = icon_height = 0;
        return;
    }
    icon.assign(argb, argb + static_cast<std::size_t>(width) * height);
    icon_width = width, icon_height = height;
}

bool kxplatform_icon(int *width, int *height, const std::uint32_t **argb)
{
    *width = icon_width, *height = icon_height;
    *argb = icon.data();
    return !icon.empty();
}

void kxclip_puttext(const char *text)
{
    if (!text)
        return;
    // Line ends are stored as CR LF unless the text already has a CR.
    std::string s;
    if (std::strchr(text, '\r')) {
        s = text;
    } else {
        for (const char *p = text; *p; p++) {
            if (*p == '\n')
                s += '\r';
            s += *p;
        }
    }
    if (live())
        host->clip_put(s);
}

void kxclip_putprimary(const char *text)
{
    if (text && live())
        host->primary_put(text);
}

const char *kxclip_gettext()
{
    clip_held = live() && host->clip_get(&clip_text);
    return clip_held ? clip_text.c_str() : nullptr;
}
