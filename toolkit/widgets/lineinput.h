// The one-line text field: a framed box with a blinking cursor, selection by
// mouse and keyboard, clipboard commands, an optional password mask and
// right alignment.  Text is ISO 8859-1, one byte per character.
#pragma once

#include <array>
#include <cstdarg>
#include <cstdint>

#include "core/widget.h"
#include "graphics/pixmap.h"

constexpr int KX_LINEINPUT_CHARS = 1023;  // the text's capacity without the end
constexpr int KX_LINEINPUT_MAXLEN = 1000;
constexpr int KX_LINEINPUT_BLINK_MS = 500;
constexpr int KX_ID_CHANGE = 14;          // header id emitted after every edit

struct kxLineInput : kxwidget {
    char text[KX_LINEINPUT_CHARS + 1] = {};
    std::array<std::uint8_t, KX_LINEINPUT_CHARS + 1> selected{};
    int scroll = 0;   // first visible character
    int texty = 0;
    int cursor = 0;   // counted from scroll
    int cursorx = 0;
    int shown = 0;    // blink phase
    int draganchor = 0, shiftanchor = 0;
    int maxlen = KX_LINEINPUT_MAXLEN;
    bool dragging = false, shiftheld = false;
    bool right = false, keepfocus = false, password = false;
    kxPxMapCache under;
    // Room taken at the right end by a subclass (the up-down arrows).
    int reserved = 0;
    // Called while the field loses the focus, before it redraws and reports.
    void (*on_leave)(kxLineInput *) = nullptr;
    // Draws a subclass's parts after the background and the frame.
    void (*on_draw)(kxLineInput *) = nullptr;

    kxLineInput() = default;
    ~kxLineInput();
    kxLineInput(const kxLineInput &) = delete;
    kxLineInput &operator=(const kxLineInput &) = delete;

    // Attribute strings hold percent signs ("x=50%"), so no printf checking.
    void create(const char *fmt, ...);
    void destroy();
    void set_text(const char *t);
    void set_textf(const char *fmt, ...) __attribute__((format(printf, 2, 3)));
    void set_number(int n);
    const char *get_text() const { return text; }
    double get_number() const;
    int right_edge() const { return geom.x + geom.xs; }
    int length() const;
    // Absolute cursor position.
    int position() const { return scroll + cursor; }
    bool has_selection() const;
    void draw();
    static kxarg handler(void *obj, int code, kxarg a0, kxarg a1, kxarg a2, kxarg a3, kxarg a4,
                         kxarg a5, kxarg a6, kxarg a7);
};

// Characters that typing enters: printable ASCII, the section, degree and
// micro signs, and the accented letters from 192 up.
bool kxlineinput_accepts(int c);

// Shared with the widgets built on a line input.
struct kxcfgstr_tokens;
// The common prefix and the line-input keys; the caller reads its own keys
// from t next, then calls kxlineinput_finish.
void kxlineinput_begin(kxLineInput *l, kxcfgstr_tokens *t, const char *fmt, va_list ap);
// Default size, geometry, registration, layout and the first drawing.
void kxlineinput_finish(kxLineInput *l, kxhandler self, int flags, int defaultxs);
void kxlineinput_layout(kxLineInput *l);
void kxlineinput_resize(kxLineInput *l, int xs, int ys);
void kxlineinput_hidecursor(kxLineInput *l);
void kxlineinput_selectall(kxLineInput *l);
void kxlineinput_clearselection(kxLineInput *l);
// Moves the cursor to an absolute position and scrolls it into view.
void kxlineinput_moveto(kxLineInput *l, int pos);
