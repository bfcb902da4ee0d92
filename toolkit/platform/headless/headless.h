// The headless host: a virtual screen in memory, for tests and for running
// without a display.  Windows keep their pixmaps in memory and remember what
// reached the "screen"; input is injected as host messages that the pump
// dispatches one at a time, exactly as it dispatches a real host's.
#pragma once

#include <cstdint>

#include "platform/host.h"

constexpr int KX_HEADLESS_SCREEN_XS = 1024;
constexpr int KX_HEADLESS_SCREEN_YS = 768;
constexpr int KX_HEADLESS_BORDER = 4;
constexpr int KX_HEADLESS_CAPTION = 20;

// Called by the pump whenever it would sleep because nothing is waiting: a
// test drives a whole program from here, step by step.  The wait then takes
// no time, but it still reads the serial devices that have bytes.
using kxidlehook = void (*)(void *ctx);
void kxheadless_setidle(kxidlehook hook, void *ctx);

// Open windows in creation order (0 = oldest); null past the end.
kxllgui_window *kxheadless_window(int n);
kxllgui_window *kxheadless_newest();
int kxheadless_windows();
kxwinstyle kxheadless_style(const kxllgui_window *w);

// Input.  Positions are client coordinates of the window in screen pixels
// (the pixmap's own times the window's scale), as a host gives them.
void kxheadless_post(const kxllgui_window *w, kxmsgtype type, int a = 0, int b = 0, int c = 0,
                     int d = 0);
void kxheadless_move(const kxllgui_window *w, int x, int y);
void kxheadless_press(const kxllgui_window *w, int button, int x, int y);
void kxheadless_release(const kxllgui_window *w, int button, int x, int y);
void kxheadless_click(const kxllgui_window *w, int button, int x, int y);
// Down, up, double, up: the sequence a host sends for a double click.
void kxheadless_doubleclick(const kxllgui_window *w, int button, int x, int y);
// delta > 0 turns the wheel away from the user.
void kxheadless_wheel(const kxllgui_window *w, int delta, int x, int y);
void kxheadless_keydown(const kxllgui_window *w, kxhostkey key);
void kxheadless_keyup(const kxllgui_window *w, kxhostkey key);
// One character message per byte of text (ISO 8859-1).
void kxheadless_type(const kxllgui_window *w, const char *text);
void kxheadless_close(const kxllgui_window *w);
void kxheadless_resize(const kxllgui_window *w, int xs, int ys);
void kxheadless_minimize(const kxllgui_window *w);
void kxheadless_focus(const kxllgui_window *w, bool in);
void kxheadless_expose(const kxllgui_window *w, int x, int y, int xs, int ys);
int kxheadless_pending();

// What reached the screen: the window's client area as last copied,
// row-major 0x00RRGGBB, of the window pixmap's current size times its
// scale; a pixel by its position in screen pixels.
const std::uint32_t *kxheadless_screen(const kxllgui_window *w);
int kxheadless_screen_pixel(const kxllgui_window *w, int x, int y);
int kxheadless_shows(const kxllgui_window *w);
bool kxheadless_grabbed(const kxllgui_window *w);
bool kxheadless_hand_cursor();
