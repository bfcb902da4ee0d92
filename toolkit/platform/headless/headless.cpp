#include "platform/headless/headless.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <memory>
#include <vector>

namespace {

struct Window {
    std::uintptr_t handle = 0;
    kxllgui_window *owner = nullptr;
    kxwinstyle style;
    int x = 0, y = 0;           // outer position
    int origin_x = 0, origin_y = 0;  // client area on the screen
    std::vector<std::uint32_t> screen;
    int screen_xs = 0, screen_ys = 0;
    int shows = 0;
    bool grabbed = false;
};

struct Headless final : kxhost {
    kxscreeninfo info;
    std::vector<std::unique_ptr<Window>> windows;
    std::deque<kxhostmsg> messages;
    std::uintptr_t next_handle = 1;
    kxidlehook idle = nullptr;
    void *idle_ctx = nullptr;
    bool hand = false;
    kxclipstore clipboard, primary;

    const char *name() const override { return "headless"; }

    bool open() override
    {
        info = {};
        info.width = KX_HEADLESS_SCREEN_XS;
        info.height = KX_HEADLESS_SCREEN_YS;
        if (const char *s = std::getenv("KX_HEADLESS_SCREEN")) {
            int w = 0, h = 0;
            char tail = 0;
            if (std::sscanf(s, "%dx%d%c", &w, &h, &tail) == 2 && w > 0 && h > 0 && w <= 16384 &&
                h <= 16384) {
                info.width = w;
                info.height = h;
            } else {
                std::printf("headless: KX_HEADLESS_SCREEN=%s is not WxH, using %dx%d\n", s,
                            info.width, info.height);
            }
        }
        info.work_width = info.width;
        info.work_height = info.height;
        info.border = KX_HEADLESS_BORDER;
        info.caption = KX_HEADLESS_CAPTION;
        info.depth = 24;
        if (const char *d = std::getenv("KX_HEADLESS_DEPTH")) {
            int depth = std::atoi(d);
            if (depth == 8 || depth == 16 || depth == 24 || depth == 32)
                info.depth = depth;
            else
                std::printf("headless: KX_HEADLESS_DEPTH=%s is not 8, 16, 24 or 32\n", d);
        }
        return true;
    }

    void close() override
    {
        windows.clear();
        messages.clear();
        hand = false;
    }

    kxscreeninfo screen() override { return info; }
    // A virtual screen has no desktop to ask: KX_SCALE alone sets it.
    int scale() override { return 1; }

    Window *find(std::uintptr_t h)
    {
        for (auto &w : windows)
            if (w->handle == h)
                return w.get();
        return nullptr;
    }

    std::uintptr_t create_window(kxllgui_window *w, int x, int y, int width, int height,
                                 const kxwinstyle &style) override
    {
        auto win = std::make_unique<Window>();
        win->handle = next_handle++;
        win->owner = w;
        win->style = style;
        win->x = x, win->y = y;
        bool framed = !style.fullscreen && !style.popup;
        bool titled = framed && w->title[0];
        win->origin_x = x + (framed ? info.border : 0);
        win->origin_y = y + (framed ? info.border : 0) + (titled ? info.caption : 0);
        std::uintptr_t h = win->handle;
        windows.push_back(std::move(win));
        if (style.popup)
            windows.back()->grabbed = true;
        messages.push_back({kxmsgtype::paint, h, 0, 0, width, height});
        return h;
    }

    void destroy_window(kxllgui_window *w) override
    {
        std::uintptr_t h = w->handle;
        std::erase_if(windows, [h](auto &win) { return win->handle == h; });
        std::erase_if(messages, [h](const kxhostmsg &m) { return m.handle == h; });
    }

    void retitle(kxllgui_window *) override {}  // the title is the window record's

    // The screen holds the client area in screen pixels: each pixmap pixel
    // as a scale x scale square.
    void show(kxllgui_window *w, int x, int y, int width, int height, int sx, int sy) override
    {
        Window *win = find(w->handle);
        const std::uint32_t *src = kxserver_pixels(&w->pixmap);
        if (!win || !src)
            return;
        const int n = w->scale, pw = w->pixmap.width;
        const int dw = pw * n, dh = w->pixmap.height * n;
        if (win->screen_xs != dw || win->screen_ys != dh) {
            // The client area follows the pixmap; what was not shown again is black.
            std::vector<std::uint32_t> s(static_cast<std::size_t>(dw) * dh, 0);
            for (int j = 0; j < std::min(dh, win->screen_ys); j++)
                for (int i = 0; i < std::min(dw, win->screen_xs); i++)
                    s[static_cast<std::size_t>(j) * dw + i] =
                        win->screen[static_cast<std::size_t>(j) * win->screen_xs + i];
            win->screen = std::move(s);
            win->screen_xs = dw, win->screen_ys = dh;
        }
        kxscale_enlarge(src + static_cast<std::size_t>(sy) * pw + sx, static_cast<std::size_t>(pw),
                        win->screen.data() + static_cast<std::size_t>(y) * n * dw +
                            static_cast<std::size_t>(x) * n,
                        static_cast<std::size_t>(dw), width, height, n);
        win->shows++;
    }

    void client_origin(const kxllgui_window *w, int *x, int *y) override
    {
        if (Window *win = find(w->handle))
            *x = win->origin_x, *y = win->origin_y;
    }

    void grab(kxllgui_window *w) override
    {
        for (auto &win : windows)
            win->grabbed = false;
        if (Window *win = find(w->handle))
            win->grabbed = true;
    }

    void ungrab(kxllgui_window *w) override
    {
        if (Window *win = find(w->handle))
            win->grabbed = false;
    }

    void restore(kxllgui_window *w) override
    {
        if (find(w->handle))
            messages.push_back({kxmsgtype::paint, w->handle, 0, 0, w->pixmap.width * w->scale,
                                w->pixmap.height * w->scale});
    }

    void cursor(bool h) override { hand = h; }

    bool dispatch() override
    {
        kxhostmsg m;
        if (!next_message(&m))
            return false;
        kxwinproc(m);
        return true;
    }

    bool next_message(kxhostmsg *m)
    {
        if (messages.empty())
            return false;
        *m = messages.front();
        messages.pop_front();
        return true;
    }

    void wait(int ms) override
    {
        if (idle) {
            idle(idle_ctx);
            kxsys_waitwake(0);
            return;
        }
        // Nothing arrives from outside; only a due timer ends the wait early.
        kxsys_waitwake(ms);
    }

    bool lost() const override { return false; }  // nothing to lose
    void clip_put(const std::string &text) override { clipboard.put(text); }
    bool clip_get(std::string *text) override { return clipboard.get(text); }
    void primary_put(const std::string &text) override { primary.put(text); }
};

Headless the_host;

Window *window_of(const kxllgui_window *w) { return w ? the_host.find(w->handle) : nullptr; }

} // namespace

kxhost *kxhost_headless() { return &the_host; }

void kxheadless_setidle(kxidlehook hook, void *ctx)
{
    the_host.idle = hook;
    the_host.idle_ctx = ctx;
}

kxllgui_window *kxheadless_window(int n)
{
    if (n < 0 || n >= static_cast<int>(the_host.windows.size()))
        return nullptr;
    return the_host.windows[n]->owner;
}

kxllgui_window *kxheadless_newest()
{
    return the_host.windows.empty() ? nullptr : the_host.windows.back()->owner;
}

int kxheadless_windows() { return static_cast<int>(the_host.windows.size()); }

kxwinstyle kxheadless_style(const kxllgui_window *w)
{
    Window *win = window_of(w);
    return win ? win->style : kxwinstyle{};
}

void kxheadless_post(const kxllgui_window *w, kxmsgtype type, int a, int b, int c, int d)
{
    if (w)
        the_host.messages.push_back({type, w->handle, a, b, c, d});
}

void kxheadless_move(const kxllgui_window *w, int x, int y)
{
    kxheadless_post(w, kxmsgtype::motion, x, y);
}

void kxheadless_press(const kxllgui_window *w, int button, int x, int y)
{
    kxheadless_post(w, kxmsgtype::button_down, button, x, y);
}

void kxheadless_release(const kxllgui_window *w, int button, int x, int y)
{
    kxheadless_post(w, kxmsgtype::button_up, button, x, y);
}

void kxheadless_click(const kxllgui_window *w, int button, int x, int y)
{
    kxheadless_press(w, button, x, y);
    kxheadless_release(w, button, x, y);
}

void kxheadless_doubleclick(const kxllgui_window *w, int button, int x, int y)
{
    kxheadless_click(w, button, x, y);
    kxheadless_post(w, kxmsgtype::button_double, button, x, y);
    kxheadless_release(w, button, x, y);
}

// The host reports wheel positions on the screen.
void kxheadless_wheel(const kxllgui_window *w, int delta, int x, int y)
{
    Window *win = window_of(w);
    if (win)
        kxheadless_post(w, kxmsgtype::wheel, delta, x + win->origin_x, y + win->origin_y);
}

void kxheadless_keydown(const kxllgui_window *w, kxhostkey key)
{
    kxheadless_post(w, kxmsgtype::keydown, static_cast<int>(key));
}

void kxheadless_keyup(const kxllgui_window *w, kxhostkey key)
{
    kxheadless_post(w, kxmsgtype::keyup, static_cast<int>(key));
}

void kxheadless_type(const kxllgui_window *w, const char *text)
{
    // Space and Tab are keys of their own on a keyboard: the press comes as
    // a key, then as a character, as a real host sends them.
    for (const char *p = text ? text : ""; *p; p++) {
        kxhostkey key = *p == ' ' ? kxhostkey::space : *p == '\t' ? kxhostkey::tab : kxhostkey::other;
        if (key != kxhostkey::other)
            kxheadless_post(w, kxmsgtype::keydown, static_cast<int>(key));
        kxheadless_post(w, kxmsgtype::character, static_cast<unsigned char>(*p));
        if (key != kxhostkey::other)
            kxheadless_post(w, kxmsgtype::keyup, static_cast<int>(key));
    }
}

void kxheadless_close(const kxllgui_window *w) { kxheadless_post(w, kxmsgtype::close); }

void kxheadless_resize(const kxllgui_window *w, int xs, int ys)
{
    kxheadless_post(w, kxmsgtype::size, xs, ys);
}

void kxheadless_minimize(const kxllgui_window *w) { kxheadless_post(w, kxmsgtype::size, 0, 0, 1); }

void kxheadless_focus(const kxllgui_window *w, bool in)
{
    kxheadless_post(w, in ? kxmsgtype::focus_in : kxmsgtype::focus_out);
}

void kxheadless_expose(const kxllgui_window *w, int x, int y, int xs, int ys)
{
    kxheadless_post(w, kxmsgtype::paint, x, y, xs, ys);
}

int kxheadless_pending() { return static_cast<int>(the_host.messages.size()); }

const std::uint32_t *kxheadless_screen(const kxllgui_window *w)
{
    Window *win = window_of(w);
    if (!win || win->screen.empty() || win->screen_xs != w->pixmap.width * w->scale ||
        win->screen_ys != w->pixmap.height * w->scale)
        return nullptr;
    return win->screen.data();
}

int kxheadless_screen_pixel(const kxllgui_window *w, int x, int y)
{
    const std::uint32_t *s = kxheadless_screen(w);
    if (!s || x < 0 || y < 0 || x >= w->pixmap.width * w->scale ||
        y >= w->pixmap.height * w->scale)
        return -1;
    return static_cast<int>(s[static_cast<std::size_t>(y) * w->pixmap.width * w->scale + x]);
}

int kxheadless_shows(const kxllgui_window *w)
{
    Window *win = window_of(w);
    return win ? win->shows : 0;
}

bool kxheadless_grabbed(const kxllgui_window *w)
{
    Window *win = window_of(w);
    return win && win->grabbed;
}

bool kxheadless_hand_cursor() { return the_host.hand; }
