#include "io/terminal.h"

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstring>
#include <filesystem>
#include <string>

#include "base/reason.h"
#include "base/utf8.h"
#include "core/cfgstr.h"
#include "core/event.h"
#include "core/language.h"
#include "core/target.h"
#include "core/timer.h"
#include "core/view.h"
#include "graphics/colours.h"
#include "graphics/draw.h"
#include "graphics/font.h"
#include "graphics/text.h"
#include "io/cfgkeys.h"
#include "platform/platform.h"

namespace {

constexpr std::array<int, KX_TERM_COLOURS> palette = {
    0x000000, 0xC00000, 0x00FF00, 0xFFFF00, 0x0000C0, 0xC000C0, 0x00C0C0, 0xFFFFFF,
    0x000000, 0x0000C0, 0x007878, 0x00C0C0, 0xC00000, 0xC000C0, 0xC0C000, 0xC0C0C0,
};
constexpr std::size_t KX_TERM_FORMAT = 65536;
constexpr std::size_t KX_TERM_COMMAND = 100000;

bool blink_on = false;  // one phase for every terminal

int colour_of(int number) { return number > 0 && number < KX_TERM_COLOURS ? palette[number] : -1; }

// The line being written is kept as cells and stored compactly once the
// cursor leaves it, so that a line costs one encoding, not one a character.
void close_line(kxTerminal *t)
{
    if (t->openline >= 0)
        kxtermrows_set(&t->rows, t->openline, t->open.data(), std::min(t->openused, t->columns));
    t->openline = -1;
}

// The cells of buffer line l (0 <= l < lines), to change.
kxTermCell *edit_row(kxTerminal *t, int l)
{
    if (l != t->openline) {
        close_line(t);
        t->open.resize(static_cast<std::size_t>(t->columns));
        t->openused = kxtermrows_get(&t->rows, l, t->open.data(), t->columns);
        t->openline = l;
    }
    return t->open.data();
}

// The cells of buffer line l, valid until the next line is read.
const kxTermCell *read_row(kxTerminal *t, int l)
{
    if (l == t->openline)
        return t->open.data();
    t->scratch.resize(static_cast<std::size_t>(t->columns));
    kxtermrows_get(&t->rows, l, t->scratch.data(), t->columns);
    return t->scratch.data();
}

bool can_draw(const kxTerminal *t) { return t->created && t->drawing && t->parent_pixmap; }

int cell_x(const kxTerminal *t, int c) { return t->geom.x + 2 + c * t->charw; }
int cell_y(const kxTerminal *t, int l) { return t->geom.y + 2 + (l - t->top) * t->lineh; }
bool line_visible(const kxTerminal *t, int l) { return l - t->top >= 0 && l - t->top < t->visible; }

// ---- the log file

struct LogTexts {
    const char *cannot_write, *cannot_keep, *in_use, *all_in_use;
};
constexpr LogTexts log_texts[] = {
    {"The log file %s cannot be written (%s): logging has stopped.",
     "The previous log %s could not be kept as %s (%s): this session is added to its end.",
     "The log %s is being written by another program: this session is logged in %s.",
     "The log %s and the names after it are all being written by other programs: this "
     "session is not logged."},
    {"Die Protokolldatei %s kann nicht geschrieben werden (%s), die Aufzeichnung ist beendet.",
     "Das vorige Protokoll %s konnte nicht als %s aufbewahrt werden (%s), diese Sitzung wird "
     "angeh\xe4ngt.",
     "Das Protokoll %s wird von einem anderen Programm geschrieben, diese Sitzung wird in %s "
     "protokolliert.",
     "Das Protokoll %s und die Namen danach werden alle von anderen Programmen geschrieben, "
     "diese Sitzung wird nicht protokolliert."},
};

const LogTexts &log_text() { return log_texts[kxlanguage_get() == KX_LANG_GERMAN ? 1 : 0]; }

// Notices wait in t->notices for show_notices: printing one in the middle of
// drawing or of a character would disturb both.
template <class... A> void add_notice(kxTerminal *t, const char *fmt, A... a)
{
    char text[3 * KX_TERM_LOGNAME + 200];
    std::snprintf(text, sizeof text, fmt, a...);
    if (!t->notices.empty())
        t->notices += '\n';
    t->notices += text;
}

void show_notices(kxTerminal *t)
{
    if (t->notices.empty() || !t->created)
        return;
    std::string text;
    text.swap(t->notices);
    kxterm_notice(t, text.c_str());
}

// Logging stops at the first failure: what follows would have a hole.
void log_failed(kxTerminal *t, const char *doing, int err)
{
    const std::string reason = kxreason_text(err);
    std::printf("kxterm_log: cannot %s %s: %s\n", doing, t->logname, reason.c_str());
    if (t->log)
        std::fclose(t->log);
    t->log = nullptr;
    t->logging = false;
    t->logbuf = std::string();
    add_notice(t, log_text().cannot_write, t->logname, reason.c_str());
}

// Called before anything is drawn and when drawing resumes, so that every
// character the screen shows is in the file.
void log_flush(kxTerminal *t)
{
    if (t->logbuf.empty())
        return;
    bool ok = std::fwrite(t->logbuf.data(), 1, t->logbuf.size(), t->log) == t->logbuf.size() &&
              std::fflush(t->log) == 0;
    int err = errno;
    t->logbuf.clear();
    if (!ok)
        log_failed(t, "write", err);
}

// A character of the log: one byte, or in a UTF-8 log its UTF-8 bytes.
void log_char(kxTerminal *t, int ch)
{
    if (!t->logging)
        return;
    if (!t->utf8log || ch < 0x80)
        t->logbuf += static_cast<char>(ch < 0x100 ? ch : KX_TERM_NOGLYPH);
    else
        kxutf8_append(&t->logbuf, static_cast<char32_t>(ch));
    if (t->logbuf.size() >= KX_TERM_LOGBUF)
        log_flush(t);
}

// "<name>.<n>", a kept log.
std::string kept_name(const std::string &name, int n) { return name + "." + std::to_string(n); }

// The n-th name of a log that others hold: "quenlorix.log" gives
// "quenlorix-2.log", "log" gives "log-2".
std::string numbered_name(const std::string &name, int n)
{
    const std::size_t slash = name.find_last_of("/\\");
    const std::size_t base = slash == std::string::npos ? 0 : slash + 1;
    std::size_t dot = name.rfind('.');
    if (dot == std::string::npos || dot <= base)
        dot = name.size();
    return name.substr(0, dot) + "-" + std::to_string(n) + name.substr(dot);
}

bool plain_file(const std::string &name)
{
    std::error_code ec;
    return std::filesystem::is_regular_file(std::filesystem::symlink_status(name, ec));
}

// The logs of the sessions before survive: name.4 becomes name.5 (the
// oldest goes), and so on, and name becomes name.1.  Only plain files move:
// a device or a link stays in place.  Nothing older is replaced once a move
// failed; false then (after a notice), and the session is added to name.
bool keep_previous_logs(kxTerminal *t)
{
    namespace fs = std::filesystem;
    const std::string name = t->logname;
    for (int n = KX_TERM_LOGS_KEPT; n >= 1; n--) {
        const std::string from = n == 1 ? name : kept_name(name, n - 1);
        const std::string to = kept_name(name, n);
        std::error_code ec;
        if (n > 1 && !plain_file(from))
            continue;  // that generation is missing
        fs::rename(from, to, ec);  // replaces the older file on every host
        if (!ec)
            continue;
        const std::string reason = kxreason_text(ec);
        std::printf("kxterm_log: cannot keep %s as %s: %s\n", from.c_str(), to.c_str(),
                    reason.c_str());
        add_notice(t, log_text().cannot_keep, from.c_str(), to.c_str(), reason.c_str());
        return false;
    }
    return true;
}

// Opens t->logname locked (null, with held set, when another holds it).  A
// log that an earlier session left is kept and a new one begun; a link's
// file, which does not move, is begun anew.
std::FILE *take_log(kxTerminal *t, bool *held)
{
    namespace fs = std::filesystem;
    std::FILE *f = kxsys_openlocked(t->logname, held);
    std::error_code ec;
    if (!f || fs::file_size(t->logname, ec) == 0 || ec)
        return f;
    if (!plain_file(t->logname)) {
        fs::resize_file(t->logname, 0, ec);
        return f;
    }
    if (!keep_previous_logs(t))
        return f;
    std::fclose(f);  // it is name.1 now
    return kxsys_openlocked(t->logname, held);
}

// The date line, then the stream appends through logbuf.
void begin_log(kxTerminal *t, std::FILE *f)
{
    std::setvbuf(f, nullptr, _IONBF, 0);  // logbuf is the buffer
    t->log = f;
    char when[64];
    kxsys_datetime(when, sizeof when);
    if (std::fprintf(f, "%s\n", when) < 0) {
        log_failed(t, "write", errno);
        return;
    }
    t->logbuf.reserve(KX_TERM_LOGBUF);
    t->logging = true;
}

// The log named in the attribute string, or when another program holds it
// the first of the numbered names that is free.
void open_log(kxTerminal *t)
{
    t->logging = false;
    const std::string asked = t->logname;
    for (int n = 1; n <= KX_TERM_LOGNAMES; n++) {
        const std::string name = n == 1 ? asked : numbered_name(asked, n);
        if (name.size() >= sizeof t->logname)
            break;
        std::snprintf(t->logname, sizeof t->logname, "%s", name.c_str());
        bool held = false;
        std::FILE *f = take_log(t, &held);
        if (!f && held)
            continue;
        if (!f) {
            log_failed(t, "open", errno);
            return;
        }
        if (n > 1) {
            std::printf("kxterm_log: %s is in use by another program: logging to %s\n",
                        asked.c_str(), t->logname);
            add_notice(t, log_text().in_use, asked.c_str(), t->logname);
        }
        begin_log(t, f);
        return;
    }
    std::snprintf(t->logname, sizeof t->logname, "%s", asked.c_str());
    std::printf("kxterm_log: %s and the names after it are in use by other programs: not "
                "logging\n", t->logname);
    add_notice(t, log_text().all_in_use, t->logname);
}

void close_log(kxTerminal *t)
{
    log_flush(t);
    if (t->log && std::fclose(t->log) != 0)
        std::printf("kxterm_log: cannot write %s: %s\n", t->logname, kxreason_text(errno).c_str());
    t->log = nullptr;
    t->logging = false;
}

// ---- drawing

// The background is plain bgcolor until a drawing command draws on it: only
// then does the terminal keep a picture of it (some 360 KB for a wide one).
kxpxmap *drawn_background(kxTerminal *t)
{
    kxpxmap *p = &t->background;
    if (!p->data && kxpxmap_allocate(p))
        kxpxmap_clear(p, t->bgcolor);
    return p;
}

void copy_background(kxTerminal *t, int x, int y, int w, int h)
{
    kxpxmap *dst = t->parent_pixmap;
    if (!t->background.data) {
        kxpxmap_fillrect(dst, x, y, w, h, t->bgcolor);
        return;
    }
    int sx = x - t->geom.x, sy = y - t->geom.y;
    if (!kxpxmap_copyrect(dst, &t->background, x, y, sx, sy, w, h))
        kxpxmap_merge4(dst, &t->background, x, y, sx, sy, w, h, 0);
}

void draw_one(kxTerminal *t, int c, int l, const kxTermCell &k, bool restore, bool update)
{
    int x = cell_x(t, c), y = cell_y(t, l);
    if (restore)
        copy_background(t, x, y, t->charw, t->lineh);
    int fg = k.fg ? colour_of(k.fg) : t->deftext, bg = colour_of(k.bg);
    if (kxterm_selected(t, c, l)) {
        fg = kxgui_color(KX_GUI_WHITE);
        bg = kxgui_color(KX_GUI_TEXTSEL);
    }
    kxtext_drawchar(t->parent_pixmap, t->font, x, y, fg, false, false, bg, k.ch, -1, -1);
    if (update)
        kxwidget_request(t, KX_REQ_UPDATE, x, y, t->charw, t->lineh);
}

void draw_cell(kxTerminal *t, int c, int l, bool restore, bool update)
{
    if (!can_draw(t) || !line_visible(t, l) || c < 0 || c >= t->columns)
        return;
    log_flush(t);
    draw_one(t, c, l, read_row(t, l)[c], restore, update);
}

// Cells c0..c1 - 1 of a visible line, over the background already there.
void draw_cells(kxTerminal *t, int l, int c0, int c1)
{
    const kxTermCell *r = read_row(t, l);
    for (int c = std::max(c0, 0); c < c1 && c < t->columns; c++)
        draw_one(t, c, l, r[c], false, false);
}

// A screen the device erased exists from its first line on, blank.
int extent_of(const kxTerminal *t)
{
    const int cursor = t->cx > 0 ? t->cy + 1 : t->cy;
    const int screen = t->home > 0 ? t->home + t->visible : 0;
    const int n = std::max({kxtermrows_count(&t->rows), t->openline + 1, cursor, screen});
    return std::min(n, t->lines);
}

int max_top(const kxTerminal *t) { return std::max(extent_of(t) - t->visible, 0); }

// The thumb stands for the lines that exist and the view among them.
void update_bar(kxTerminal *t)
{
    if (!t->bar.created)
        return;
    const int extent = std::max(extent_of(t), t->visible), range = max_top(t);
    t->bar.set_vsize(t->visible * 100 / extent);
    t->bar.set_vpos(range > 0 ? (t->top * 100 + range / 2) / range : 0);
}

struct SignTexts {
    const char *one, *many;
};
constexpr SignTexts sign_texts[] = {{"1 new line below", "%d new lines below"},
                                    {"1 neue Zeile unten", "%d neue Zeilen unten"}};

// The sign in the lower right corner that says how many lines wait below.
void draw_sign(kxTerminal *t)
{
    t->sign_w = t->sign_h = 0;
    if (t->follow || t->waiting <= 0 || !can_draw(t))
        return;
    const SignTexts &texts = sign_texts[kxlanguage_get() == KX_LANG_GERMAN ? 1 : 0];
    char text[64];
    std::snprintf(text, sizeof text, t->waiting == 1 ? texts.one : texts.many, t->waiting);
    const int w = kxtext_width(t->font, text) + 8, h = t->lineh + 4;
    const int right = t->bar.created ? t->geom.xs - t->bar.vwidth : t->geom.xs;
    t->sign_x = std::max(right - w - 2, 0);
    t->sign_y = std::max(t->geom.ys - h - 2, 0);
    t->sign_w = w, t->sign_h = h;
    const int x = t->geom.x + t->sign_x, y = t->geom.y + t->sign_y;
    kxpxmap_fillrect(t->parent_pixmap, x, y, w, h, 0xFFF4C0);
    kxgraphic_rect(t->parent_pixmap, x, y, w, h, t->deftext);
    kxtext_draw(t->parent_pixmap, t->font, x + 4, y + 2, t->deftext, false, false, -1, w, -1, text,
                -1, -1);
    kxwidget_request(t, KX_REQ_UPDATE, x, y, w, h);
}

void redraw(kxTerminal *t)
{
    if (!can_draw(t))
        return;
    log_flush(t);
    const kxgeometry &g = t->geom;
    copy_background(t, g.x, g.y, g.xs, g.ys);
    if (t->frame)
        kxgraphic_frame(t->parent_pixmap, KX_FRAME_FIELD, true, g.x - 2, g.y - 2, g.xs + 4,
                        g.ys + 4, -1, -1, -1, -1);
    int last = t->top + t->visible;
    for (int l = t->top; l < last && l < t->lines; l++)
        draw_cells(t, l, 0, t->columns);
    t->cursor_drawn_x = -1;
    update_bar(t);
    if (t->bar.created)
        t->bar.draw();
    draw_sign(t);
    kxwidget_request(t, KX_REQ_UPDATE, g.x - 2, g.y - 2, g.xs + 4, g.ys + 4);
}

void blank_all(kxTerminal *t)
{
    kxtermrows_reset(&t->rows, t->lines);
    t->openline = -1;
    t->cx = t->cy = t->home = 0;
    t->top = 0;
    t->follow = true;
    t->waiting = 0;
    t->selection = false;
}

void set_top(kxTerminal *t, int top, bool only_if_changed = false)
{
    if (top > max_top(t))
        top = max_top(t);
    if (top < 0)
        top = 0;
    if (only_if_changed && top == t->top)
        return;
    t->top = top;
    redraw(t);
}

// A scroll the reader asked for: at the bottom the view follows the output
// again, above it stays where it is.
void view_to(kxTerminal *t, int top)
{
    const bool signed_before = !t->follow && t->waiting > 0;
    set_top(t, top, true);
    t->follow = t->top >= max_top(t);
    if (t->follow) {
        t->waiting = 0;
        if (signed_before)
            redraw(t);
    }
}

void follow_output(kxTerminal *t)
{
    view_to(t, max_top(t));
}

// The oldest line leaves; a view that does not follow keeps its lines.
void scroll_up(kxTerminal *t)
{
    close_line(t);
    kxtermrows_scroll(&t->rows);
    t->home = std::max(t->home - 1, 0);
    if (!t->follow)
        t->top = std::max(t->top - 1, 0);
    // The selection moves with its text; gone when its start went.
    t->sel_l0--, t->sel_l1--;
    if (t->sel_l0 < 0 || t->sel_l1 < 0)
        t->selection = false;
    redraw(t);
}

// An erase of the whole screen from the data: with a history, what is shown
// moves up into it and the screen starts below; without, it is blanked.
void erase_screen(kxTerminal *t)
{
    if (t->lines <= t->visible) {
        blank_all(t);
        redraw(t);
        return;
    }
    int home = extent_of(t);
    close_line(t);
    while (home + t->visible > t->lines && home > 0) {
        kxtermrows_scroll(&t->rows);
        home--;
        if (!t->follow)
            t->top = std::max(t->top - 1, 0);
    }
    t->home = home;
    t->cx = 0;
    t->cy = home;
    if (t->follow)
        t->top = home;  // the new screen, blank, as the device meant it
    redraw(t);
}

void new_line(kxTerminal *t)
{
    t->cx = 0;
    t->cy++;
    if (t->cy >= t->lines) {
        t->cy = t->lines - 1;
        scroll_up(t);
    }
}

void draw_cursor(kxTerminal *t);

// Stores one printable character at the cursor and advances.
void put_char(kxTerminal *t, int ch)
{
    if (ch < 32)
        return;
    if (t->cy >= t->lines) {
        t->cy = t->lines - 1;
        scroll_up(t);
    }
    kxTermCell *r = edit_row(t, t->cy);
    t->openused = std::max(t->openused, t->cx + 1);
    r[t->cx] = {static_cast<std::uint8_t>(ch), static_cast<std::uint8_t>(t->fg),
                static_cast<std::uint8_t>(t->bg), 0};
    if (t->cursor)
        draw_cursor(t);
    else
        draw_cell(t, t->cx, t->cy, true, true);
    if (++t->cx >= t->columns) {
        t->cx = 0;
        t->cy++;
    }
}

void flush_word(kxTerminal *t, int end)
{
    int printable = 0;
    for (int i = 0; i < t->wordlen; i++)
        printable += static_cast<unsigned char>(t->word[i]) >= 32;
    if (printable > t->columns - t->cx && t->cx > 0)
        new_line(t);
    for (int i = 0; i < t->wordlen; i++)
        put_char(t, static_cast<unsigned char>(t->word[i]));
    if (end == ' ' && (t->cx != 0 || t->wordlen == 0) && t->cx < t->columns && t->cy < t->lines)
        put_char(t, ' ');
    else if (end == '\n')
        new_line(t);
    t->wordlen = 0;
}

void word_char(kxTerminal *t, int ch)
{
    static constexpr char enders[] = "\n!,-.:;?";
    if (ch == ' ') {
        flush_word(t, ' ');
        return;
    }
    if (t->wordlen < KX_TERM_WORD && ch != '\n')
        t->word[t->wordlen++] = static_cast<char>(ch);
    if (ch != 0 && std::strchr(enders, ch))
        flush_word(t, ch);
}

void printed(kxTerminal *t, int ch)
{
    // Following, the view shows the line a character lands on; a line end
    // alone shows nothing new yet.
    const bool lands = ch != '\n' && ch != '\r';
    if (t->bar.created && t->follow && lands &&
        (t->cy < t->top || t->cy >= t->top + t->visible)) {
        const int want = std::clamp(std::min(t->cy, t->lines - 1) - t->visible + 1, 0,
                                    std::max(t->lines - t->visible, 0));
        if (want != t->top) {
            t->top = want;
            redraw(t);
        }
    }
    int before = t->top;
    log_char(t, ch);
    // What has no glyph in the fonts (beyond ISO 8859-1, and the C1
    // controls) shows as one mark; the log keeps the character.
    if (ch >= 0x80 && (ch < 0xA0 || ch > 0xFF))
        ch = KX_TERM_NOGLYPH;
    if (t->child >= 0 && !t->echoing) {
        char one[2] = {static_cast<char>(ch), 0};
        kxprocess_write(t->child, one);
    }
    if (t->cy >= t->lines) {
        t->cy = t->lines - 1;
        scroll_up(t);
    }
    if (t->wordbreak) {
        word_char(t, ch);
    } else if (ch == '\n') {
        t->cx = 0;
        t->cy++;
    } else if (ch == '\r') {
        t->cx = 0;
    } else if (ch >= 32) {
        put_char(t, ch);
    } else if (ch == '\t') {
        do
            put_char(t, ' ');
        while (t->cx % 4 != 0 && t->cx != 0);
    }
    if (ch == '\n' && !t->follow) {
        t->waiting++;
        draw_sign(t);
    }
    if (t->top != before && t->drawing)
        redraw(t);
}

int clamp(int v, int lo, int hi) { return v < lo ? lo : v > hi ? hi : v; }

void act(kxTerminal *t, int code, int value)
{
    switch (code) {
    case KX_ANSI_CHAR: printed(t, value); break;
    case KX_ANSI_RESET:
    case KX_ANSI_RESET_LATER: t->fg = t->bg = 0; break;
    case KX_ANSI_FG: t->fg = value; break;
    case KX_ANSI_BG: t->bg = value; break;
    case KX_ANSI_FG_DEFAULT: t->fg = 0; break;
    case KX_ANSI_BG_DEFAULT: t->bg = 0; break;
    case KX_ANSI_ERASE_SCREEN: erase_screen(t); break;
    case KX_ANSI_COLUMN: t->cx = clamp((value ? value : 1) - 1, 0, t->columns - 1); break;
    case KX_ANSI_LINE: t->cy = clamp(t->home + (value ? value : 1) - 1, 0, t->lines - 1); break;
    default: break;
    }
}

// A decoded character goes to the screen where no escape sequence is
// under way; inside one it is no part of it and is dropped.
void decoded(kxTerminal *t, char32_t ch)
{
    if (kxansi_plain(&t->decoder, 'a') >= 0)
        act(t, KX_ANSI_CHAR, static_cast<int>(ch));
}

// A byte of UTF-8 text: false while it is part of a character (which is
// shown once whole), true when it is to be printed as it is (ASCII).  A
// broken sequence shows as the mark, and the byte that broke it counts anew.
bool utf8_byte(kxTerminal *t, int b)
{
    if (t->u8need > 0 && (b & 0xC0) == 0x80) {
        t->u8char = t->u8char << 6 | static_cast<char32_t>(b & 0x3F);
        if (--t->u8need == 0)
            decoded(t, kxutf8_valid(t->u8char, t->u8min) ? t->u8char : KX_TERM_NOGLYPH);
        return false;
    }
    if (t->u8need > 0) {
        t->u8need = 0;
        decoded(t, KX_TERM_NOGLYPH);
    }
    if (b < 0x80)
        return true;
    if (b >= 0xC2 && b <= 0xDF)
        t->u8need = 1, t->u8char = b & 0x1F, t->u8min = 0x80;
    else if (b >= 0xE0 && b <= 0xEF)
        t->u8need = 2, t->u8char = b & 0x0F, t->u8min = 0x800;
    else if (b >= 0xF0 && b <= 0xF4)
        t->u8need = 3, t->u8char = b & 0x07, t->u8min = 0x10000;
    else
        decoded(t, KX_TERM_NOGLYPH);
    return false;
}

void draw_cursor(kxTerminal *t)
{
    if (t->cursor_drawn_x >= 0) {
        draw_cell(t, t->cursor_drawn_x, t->cursor_drawn_y, true, true);
        t->cursor_drawn_x = -1;
    }
    // The character under the cursor may have just changed.
    draw_cell(t, t->cx, t->cy, true, true);
    if (!can_draw(t) || t->cy >= t->lines || !line_visible(t, t->cy) || t->cx >= t->columns)
        return;
    int x = cell_x(t, t->cx), y = cell_y(t, t->cy);
    kxpxmap *p = t->parent_pixmap;
    if (!t->focused) {
        kxgraphic_rect(p, x, y - 1, t->charw, t->lineh, t->deftext);
        kxwidget_request(t, KX_REQ_UPDATE, x, y - 1, t->charw, t->lineh);
    } else if (blink_on) {
        kxpxmap_fillrect(p, x, y + t->lineh - 2, t->charw, 2, t->deftext);
        kxwidget_request(t, KX_REQ_UPDATE, x, y + t->lineh - 2, t->charw, 2);
        t->cursor_drawn_x = t->cx;
        t->cursor_drawn_y = t->cy;
    }
}

void blink(kxTerminal *t)
{
    if (!t->cursor)
        return;
    blink_on = !blink_on;
    draw_cursor(t);
}

bool view_key(kxTerminal *t, int k);

void put_key(kxTerminal *t, int k)
{
    if (view_key(t, k))
        return;
    if (t->child >= 0) {
        kxterm_putc(t, k);
        return;
    }
    if (k > 254 || t->keycount >= KX_TERM_KEYS)  // a full ring keeps the oldest keys
        return;
    t->keys[t->keywrite] = k;
    t->keywrite = (t->keywrite + 1) % KX_TERM_KEYS;
    t->keycount++;
}

// The place between cells nearest to a point of the widget (a column up to
// columns), or the cell under it; the line is one that exists.
void place_at(const kxTerminal *t, int x, int y, bool between, int *line, int *column)
{
    const int rx = x - t->geom.x - 2, ry = y - t->geom.y - 2;
    const int row = ry < 0 ? -1 : ry / t->lineh;
    *line = clamp(t->top + row, 0, std::max(extent_of(t) - 1, 0));
    *column = clamp((rx + (between ? t->charw / 2 : 0)) / t->charw, 0,
                    between ? t->columns : t->columns - 1);
    if (rx < 0)
        *column = 0;
}

bool on_sign(const kxTerminal *t, int x, int y)
{
    const int sx = x - t->geom.x - t->sign_x, sy = y - t->geom.y - t->sign_y;
    return t->sign_w > 0 && sx >= 0 && sx < t->sign_w && sy >= 0 && sy < t->sign_h;
}

bool on_bar(const kxTerminal *t, int x)
{
    return t->bar.created && x >= t->geom.x + t->geom.xs - t->bar.vwidth;
}

// Dragged on from a double click: whole words from the first one to the
// one under the pointer, either way.
void select_words(kxTerminal *t, int line, int column)
{
    int from = 0, to = 0;
    kxterm_wordat(t, column, line, &from, &to);
    if (line < t->anchor_l || (line == t->anchor_l && column < t->anchor_from))
        kxterm_select(t, t->anchor_l, t->anchor_to, line, from);
    else
        kxterm_select(t, t->anchor_l, t->anchor_from, line, std::max(to, column + 1));
}

// Dragged on from a third click: whole lines.
void select_lines(kxTerminal *t, int line)
{
    if (line < t->anchor_l)
        kxterm_select(t, t->anchor_l, t->columns, line, 0);
    else
        kxterm_select(t, t->anchor_l, 0, line, t->columns);
}

// Drag to select, a double click for a word, a click after it for the line.
void select_by_mouse(kxTerminal *t, int code, int x, int y)
{
    int line = 0, column = 0;
    switch (code) {
    case KX_EV_LDOWN:
        if (on_sign(t, x, y)) {
            follow_output(t);
            return;
        }
        if (on_bar(t, x))
            return;
        place_at(t, x, y, true, &line, &column);
        if (t->doubled_at >= 0 && kxsys_ticks() - t->doubled_at < KX_TERM_TRIPLE_MS) {
            t->doubled_at = -1;
            t->anchor_l = line;
            select_lines(t, line);
            t->dragging = 3;
        } else {
            kxterm_unselect(t);
            t->sel_l0 = t->sel_l1 = line;
            t->sel_c0 = t->sel_c1 = column;
            t->dragging = 1;
        }
        kxwidget_request(t, KX_REQ_GRAB, t->index);
        return;
    case KX_EV_LDOUBLE: {
        if (on_bar(t, x) || on_sign(t, x, y))
            return;
        place_at(t, x, y, false, &line, &column);
        int from = 0, to = 0;
        kxterm_wordat(t, column, line, &from, &to);
        t->anchor_l = line, t->anchor_from = from, t->anchor_to = std::max(to, from + 1);
        kxterm_select(t, line, from, line, to);
        t->doubled_at = kxsys_ticks();
        t->dragging = 2;
        kxwidget_request(t, KX_REQ_GRAB, t->index);
        return;
    }
    case KX_EV_MOTION:
        if (!t->dragging)
            return;
        // Beyond the pane's edge the view moves along.
        if (y < t->geom.y)
            view_to(t, t->top - 1);
        else if (y >= t->geom.y + t->geom.ys)
            view_to(t, t->top + 1);
        place_at(t, x, y, t->dragging == 1, &line, &column);
        if (t->dragging == 1)
            kxterm_select(t, t->sel_l0, t->sel_c0, line, column);
        else if (t->dragging == 2)
            select_words(t, line, column);
        else
            select_lines(t, line);
        return;
    case KX_EV_LUP:
        if (!t->dragging)
            return;
        t->dragging = 0;
        kxwidget_request(t, KX_REQ_UNGRAB);
        if (t->selection)
            kxclip_putprimary(kxterm_selectedtext(t).c_str());
        return;
    default: return;
    }
}

void mouse(kxTerminal *t, int code, int x, int y)
{
    static constexpr struct {
        int code, id;
    } ids[] = {{KX_EV_LDOWN, 1}, {KX_EV_LUP, 2},        {KX_EV_LDOUBLE, 7},   {KX_EV_MDOWN, 3},
               {KX_EV_MUP, 4},   {KX_EV_RDOWN, 5},      {KX_EV_RUP, 6},       {KX_EV_RDOUBLE, 8},
               {KX_EV_WHEEL_UP, 12}, {KX_EV_WHEEL_DOWN, 13}, {KX_EV_MOTION, 9}};
    if (code == KX_EV_LDOWN || code == KX_EV_LDOUBLE) {
        if (!t->focused && !t->nofocus && kxwidget_request(t, KX_REQ_FOCUS, t->index))
            t->focused = 1;
        t->clicked = (y - t->geom.y + t->lineh * t->top) / (t->lineh > 0 ? t->lineh : 1);
    }
    if (code == KX_EV_MOTION) {
        t->pointer_x = x - t->geom.x;
        t->pointer_y = y - t->geom.y;
    }
    if (code == KX_EV_WHEEL_UP)
        view_to(t, t->top - KX_TERM_WHEEL_LINES);
    else if (code == KX_EV_WHEEL_DOWN)
        view_to(t, t->top + KX_TERM_WHEEL_LINES);
    if (x != KX_TERM_NOPOSITION)
        select_by_mouse(t, code, x, y);
    if (x == KX_TERM_NOPOSITION)
        return;
    for (auto &row : ids)
        if (row.code == code)
            kxwidget_emit(t, t->ids[row.id], x - t->geom.x, y - t->geom.y);
}

void bar_notice(void *owner, int code, int value)
{
    kxterm_handler(owner, code, value, 0, 0, 0, 0, 0, 0, 0);
}

// A size asked for in the attribute string (perhaps read from a file), held
// to what the terminal can hold.
int asked_size(const char *key, int value, int max)
{
    if (value > max) {
        std::printf("kxterm_create: %s%d cut to %d\n", key, value, max);
        return max;
    }
    return value < 0 ? 0 : value;
}

void layout(kxTerminal *t, const kxtermattr &ta)
{
    t->charw = kxtext_width(t->font, "w");
    t->lineh = kxfont_height(t->font);
    if (t->charw <= 0)
        t->charw = 1;
    if (t->lineh <= 0)
        t->lineh = 1;
    const int columns = asked_size("columns=", ta.columns, KX_TERM_COLUMNS_MAX);
    const int lines = asked_size("lines=", ta.lines, KX_TERM_LINES_MAX);
    kxcfgstr_defaultsize(&t->geom, columns * t->charw + 4, lines * t->lineh + 4);
    kxcfgstr_resolve(&t->geom);
    t->visible = (t->geom.ys - 4) / t->lineh;
    t->lines = t->scrollback > 0 ? t->scrollback : t->visible;
    t->columns = (t->geom.xs - 4) / t->charw;
    if (t->scrollback > 0)
        t->columns -= guimetrics("scrollbarwidth") / t->charw + 1;
    // A larger widget than the grid shows its background beyond it.
    t->visible = clamp(t->visible, 1, KX_TERM_LINES_MAX);
    t->columns = clamp(t->columns, 1, KX_TERM_COLUMNS_MAX);
    t->lines = clamp(t->lines, t->visible, KX_TERM_SCROLLBACK_MAX);
}

// The drawing commands that neither change nor read the background's pixels.
constexpr int background_untouched[] = {
    KX_DRAW_REFRESH,    KX_DRAW_WIDTH,      KX_DRAW_HEIGHT,    KX_DRAW_POINTER_X,
    KX_DRAW_POINTER_Y,  KX_DRAW_SETFONT,    KX_DRAW_LOADFONT,  KX_DRAW_FINDFONT,
    KX_DRAW_TEXTWIDTH,  KX_DRAW_FONTHEIGHT, KX_DRAW_CHARWIDTH, KX_DRAW_MOVETO,
    KX_DRAW_OPTION,     KX_DRAW_UPDATE,
};

// Brings a rectangle of the widget (in its own coordinates) up to date on
// the screen, as a view's update copies a rectangle of its content: the
// background there, the characters over it, and a copy towards the screen.
void update_area(kxTerminal *t, int x, int y, int w, int h)
{
    const kxgeometry &g = t->geom;
    const int x0 = clamp(x, 0, g.xs), y0 = clamp(y, 0, g.ys);
    const int x1 = clamp(x + std::max(w, 0), x0, g.xs), y1 = clamp(y + std::max(h, 0), y0, g.ys);
    if (!can_draw(t) || x1 == x0 || y1 == y0)
        return;
    log_flush(t);
    copy_background(t, g.x + x0, g.y + y0, x1 - x0, y1 - y0);
    const int first_col = std::max((x0 - 2) / t->charw, 0), last_col = (x1 - 3) / t->charw;
    const int first_line = t->top + std::max((y0 - 2) / t->lineh, 0);
    const int last_line = t->top + (y1 - 3) / t->lineh;
    for (int l = first_line; l <= last_line && l < t->lines; l++)
        draw_cells(t, l, first_col, last_col + 1);
    if (t->bar.created)
        t->bar.draw();  // it lies over the widget's right edge
    draw_sign(t);
    kxwidget_request(t, KX_REQ_UPDATE, g.x + x0, g.y + y0, x1 - x0, y1 - y0);
}

kxarg draw_command(kxTerminal *t, int code, kxarg a0, kxarg a1, kxarg a2, kxarg a3, kxarg a4,
                   kxarg a5, kxarg a6)
{
    kxpxmap *p = &t->background;
    if (std::find(std::begin(background_untouched), std::end(background_untouched), code) ==
        std::end(background_untouched))
        p = drawn_background(t);
    kxarg answer = 0;
    const kxdrawn done = kxdraw_execute(p, t->font, p->width, code, a0, a1, a2, a3, a4, a5, a6,
                                        &answer);
    if (done == kxdrawn::changed && t->drawing)
        kxrefresh_schedule(kxterm_handler, t);
    if (done != kxdrawn::none)
        return answer;
    bool choose = false;
    int chosen = 0;
    if (kxdraw_fontcommand(t->font, code, a0, &answer, &choose, &chosen)) {
        if (choose)
            kxterm_setfont(t, chosen);
        return answer;
    }
    switch (code) {
    case KX_DRAW_REFRESH: redraw(t); return 0;
    case KX_DRAW_UPDATE:
        update_area(t, static_cast<int>(a0), static_cast<int>(a1), static_cast<int>(a2),
                    static_cast<int>(a3));
        return 0;
    case KX_DRAW_WIDTH: return p->width;
    case KX_DRAW_HEIGHT: return p->height;
    case KX_DRAW_POINTER_X: return t->pointer_x;
    case KX_DRAW_POINTER_Y: return t->pointer_y;
    default: return 0;
    }
}

// The state before kxterm_create.  A terminal created again keeps its ids,
// so the application's comparisons stay valid.
void set_defaults(kxTerminal *t, bool keep_ids)
{
    auto ids = t->ids;
    *t = kxTerminal{};
    kxansi_init(&t->decoder);
    if (keep_ids) {
        t->ids = ids;
        kxwidget_reinit(t);
    } else {
        kxwidget_init(t);
    }
    t->font = -1;
    t->frame = 1;
    t->bgcolor = 0xFFFFFF;
}

// ---- message families of the handler

void resize(kxTerminal *t, int container_xs, int container_ys)
{
    kxgeometry &g = t->geom;
    g.container_xs = container_xs;
    g.container_ys = container_ys;
    kxcfgstr_resolve(&g);
    kxwidget_request(t, KX_REQ_MOVE, t->index, g.x, g.y, g.xs, g.ys);
    redraw(t);
}

void scroll(kxTerminal *t, int code, int percent)
{
    switch (code) {
    case KX_SB_UP: view_to(t, t->top - 1); break;
    case KX_SB_DOWN: view_to(t, t->top + 1); break;
    case KX_SB_PAGEUP: view_to(t, t->top - t->visible); break;
    case KX_SB_PAGEDOWN: view_to(t, t->top + t->visible); break;
    case KX_SB_VPOS: {
        const int range = max_top(t);
        view_to(t, (clamp(percent, 0, 100) * range + 50) / 100);
        break;
    }
    case KX_TERM_TOP: view_to(t, 0); break;
    default: break;
    }
}

// The keys that move the view; false for the others.
bool view_key(kxTerminal *t, int k)
{
    const bool ctrl = (kxsys_modifiers() & KX_MOD_CTRL) != 0;
    switch (k) {
    case KX_KEY_PGUP: view_to(t, t->top - t->visible); return true;
    case KX_KEY_PGDOWN: view_to(t, t->top + t->visible); return true;
    case KX_KEY_UP: view_to(t, t->top - 1); return true;
    case KX_KEY_DOWN: view_to(t, t->top + 1); return true;
    case KX_KEY_END: follow_output(t); return true;
    case KX_KEY_CTRL_A + 2: return kxterm_copy(t);  // Ctrl+C with a selection
    case KX_KEY_HOME:
        if (!ctrl)
            return false;
        view_to(t, 0);
        return true;
    default: return false;
    }
}

kxarg focus(kxTerminal *t, int code)
{
    switch (code) {
    case KX_EV_FOCUS_IN:
        if (t->nofocus)
            return 0;
        t->focused = 1;
        kxwidget_request(t, KX_REQ_MAKE_VISIBLE, t->index);
        redraw(t);
        return 1;
    case KX_EV_FOCUS_OUT:
        t->focused = 0;
        redraw(t);
        return 0;
    case KX_TERM_FOCUS:
        if (kxwidget_request(t, KX_REQ_FOCUS, t->index)) {
            t->focused = 1;
            redraw(t);
        }
        return 0;
    default: return 0;
    }
}

void tick(kxTerminal *t, kxarg timer)
{
    if (timer != 0)
        return;
    blink(t);
    kxansi_tick(&t->decoder);
}

// What the child process sends is shown, not sent back to it.
void child_event(kxTerminal *t, int code, kxarg a0)
{
    switch (code) {
    case KX_EV_CHILD_OUTPUT:
        t->echoing = true;
        kxterm_puts(t, kxunptr<const char>(a0));
        t->echoing = false;
        break;
    case KX_EV_CHILD_CHAR:
        t->echoing = true;
        kxterm_putc(t, static_cast<int>(a0));
        t->echoing = false;
        break;
    case KX_EV_CHILD_EXIT:
        t->exitcode = static_cast<int>(a0);
        t->child = -1;
        break;
    default: break;
    }
}

// Holding is ignored with direct drawing.  Resuming writes the log out
// before anything held can be drawn.
void hold(kxTerminal *t, bool on)
{
    if (t->directdraw)
        return;
    if (on) {
        t->held_drawing = t->drawing;
        t->drawing = false;
        return;
    }
    t->drawing = t->held_drawing;
    log_flush(t);
    if (t->drawing)
        kxrefresh_schedule(kxterm_handler, t);
}

// The terminal's own requests (KX_TERM_...).
kxarg request(kxTerminal *t, int code, kxarg a0, kxarg a1)
{
    switch (code) {
    case KX_TERM_PUTC: kxterm_putc(t, static_cast<int>(a0)); return 0;
    case KX_TERM_GETKEY: return kxterm_getkey(t);
    case KX_TERM_GETLINE: return kxterm_getline(t, kxunptr<char>(a0), static_cast<int>(a1));
    case KX_TERM_KEYWAITING: return t->keycount > 0;
    case KX_TERM_LINES: return t->lines;
    case KX_TERM_COLUMNS: return t->columns;
    case KX_TERM_HOLD: hold(t, true); return 0;
    case KX_TERM_RESUME: hold(t, false); return 0;
    case KX_TERM_RUN: return kxterm_run(t, "%s", kxunptr<const char>(a0));
    case KX_TERM_LOADFILE: return kxterm_loadfile(t, kxunptr<const char>(a0));
    default: return 0;
    }
}

kxarg dispatch(kxTerminal *t, int code, kxarg a0, kxarg a1)
{
    const int x = static_cast<int>(a0), y = static_cast<int>(a1);
    switch (code) {
    case KX_EV_CLOSE: kxterm_destroy(t); return 0;
    case KX_EV_RESIZE: resize(t, x, y); return 0;
    case KX_EV_LDOWN:
    case KX_EV_LUP:
    case KX_EV_LDOUBLE:
    case KX_EV_MDOWN:
    case KX_EV_MUP:
    case KX_EV_RDOWN:
    case KX_EV_RUP:
    case KX_EV_RDOUBLE:
    case KX_EV_WHEEL_UP:
    case KX_EV_WHEEL_DOWN:
    case KX_EV_MOTION: mouse(t, code, x, y); return 0;
    case KX_SB_UP:
    case KX_SB_DOWN:
    case KX_SB_PAGEUP:
    case KX_SB_PAGEDOWN:
    case KX_SB_VPOS:
    case KX_TERM_TOP: scroll(t, code, x); return 0;
    case KX_EV_FOCUS_IN:
    case KX_EV_FOCUS_OUT:
    case KX_TERM_FOCUS: return focus(t, code);
    case KX_EV_KEYDOWN: put_key(t, x); return 0;
    case KX_EV_TIMER: tick(t, a0); return 0;
    case KX_EV_REFRESH:
        if (t->drawing)
            redraw(t);
        return 0;
    case KX_EV_CHILD_OUTPUT:
    case KX_EV_CHILD_CHAR:
    case KX_EV_CHILD_EXIT: child_event(t, code, a0); return 0;
    case KX_TERM_PUTC:
    case KX_TERM_GETKEY:
    case KX_TERM_GETLINE:
    case KX_TERM_KEYWAITING:
    case KX_TERM_LINES:
    case KX_TERM_COLUMNS:
    case KX_TERM_HOLD:
    case KX_TERM_RESUME:
    case KX_TERM_RUN:
    case KX_TERM_LOADFILE: return request(t, code, a0, a1);
    default: return 0;
    }
}

} // namespace

int kxterm_palette(int number) { return colour_of(number); }

void kxterm_init(kxTerminal *t)
{
    if (t->created)
        kxterm_destroy(t);
    set_defaults(t, false);
}

int kxterm_create(kxTerminal *t, const char *fmt, ...)
{
    if (t->created)
        kxterm_destroy(t);
    if (t->ids[0] == 0)
        kxterm_init(t);
    kxcfgstr_defaults d;
    d.bgcolor = 0xFFFFFF;
    d.textcolor = 0x000040;
    d.frame = 1;
    d.font = -1;
    kxcfgstr_tokens tk;
    va_list ap;
    va_start(ap, fmt);
    kxcfgstr_vprefix(t, &tk, d, false, fmt, ap);
    va_end(ap);
    kxtermattr ta;
    kxcfgstr_terminal(tk.tok, tk.start, &ta);
    if (t->font < 0)
        t->font = kxfont_builtin_6x13();
    t->deftext = t->textcolor;
    t->scrollback = asked_size("scrollback=", ta.scrollback, KX_TERM_SCROLLBACK_MAX);
    t->wordbreak = ta.wordbreak;
    t->cursor = ta.cursor;
    t->directdraw = ta.directdraw;
    t->utf8log = ta.logutf8;
    std::snprintf(t->logname, sizeof t->logname, "%s", ta.logfile);
    layout(t, ta);

    const kxgeometry &g = t->geom;
    t->created = 1;
    kxwidget_register(t, kxterm_handler,
                      KX_REG_MOUSE | KX_REG_FOCUSABLE | KX_REG_HOVER | KX_REG_SCROLLS);
    kxtermrows_reset(&t->rows, t->lines);
    // A cursor placed before the creation stays inside this grid.
    t->cx = clamp(t->cx, 0, t->columns - 1);
    t->cy = clamp(t->cy, 0, t->lines - 1);
    kxpxmap_init(&t->background);
    t->background.width = g.xs > 0 ? g.xs : 1;
    t->background.height = g.ys > 0 ? g.ys : 1;
    t->background.format = KX_PXFMT_TRUECOLOR;
    if (t->scrollback > 0) {
        t->bar.create(bar_notice, t, t->parent_handler, t->parent, t->parent_pixmap, g.x, g.y,
                      g.xs, g.ys, true, false, 0);
        update_bar(t);
    }
    redraw(t);
    t->logdeferred = ta.logdeferred && t->logname[0];
    if (t->logname[0] && !t->logdeferred)
        open_log(t);
    kxtimer_add(kxterm_handler, t, KX_TERM_BLINK_MS, 0);
    if (!ta.nostandardview)
        kxdraw_settarget(kxterm_handler, t);
    show_notices(t);
    return static_cast<int>(kxwidget_request(t, KX_REQ_FOCUS, t->index));
}

void kxterm_destroy(kxTerminal *t)
{
    if (!t->created)
        return;
    t->bar.remove();
    kxtimer_remove(t, 0);
    kxwidget_unregister(t);
    kxdraw_cleartarget(t);
    kxrefresh_cancel(t);
    kxpxmap_free(&t->background);
    close_log(t);  // nothing can write to it once the terminal is gone
    if (t->child >= 0)
        kxprocess_detach(t->child);  // its output has nowhere to go now
    set_defaults(t, true);
}

bool kxterm_startlog(kxTerminal *t)
{
    if (t->created && t->logdeferred) {
        t->logdeferred = false;
        open_log(t);
        show_notices(t);
    }
    return t->logging;
}

void kxterm_putc(kxTerminal *t, int ch)
{
    if (!t->created)
        return;
    if (t->utf8in && !utf8_byte(t, ch & 0xFF)) {
        if (t->puts_depth == 0)
            show_notices(t);
        return;
    }
    // Most bytes are plain characters: they skip the decoder's result ring.
    if (const int plain = kxansi_plain(&t->decoder, ch); plain >= 0) {
        act(t, KX_ANSI_CHAR, plain);
    } else {
        kxansi_feed(&t->decoder, ch & 0xFF);
        int value = 0;
        for (int code; (code = kxansi_next(&t->decoder, &value)) != KX_ANSI_NONE;)
            act(t, code, value);
    }
    if (t->puts_depth == 0)
        show_notices(t);
}

void kxterm_puts(kxTerminal *t, const char *text)
{
    if (!t->created || !text)
        return;
    bool was = t->drawing;
    t->drawing = false;
    t->puts_depth++;
    for (const char *p = text; *p; p++)
        kxterm_putc(t, static_cast<unsigned char>(*p));
    t->puts_depth--;
    t->drawing = was;
    if (was)
        redraw(t);  // which writes the log out first
    if (t->puts_depth == 0)
        show_notices(t);
}

void kxterm_printf(kxTerminal *t, const char *fmt, ...)
{
    // Most texts are short: they are formatted on the stack, and only a long
    // one (up to the 64 KB limit) on the heap.
    char small[512];
    va_list ap, again;
    va_start(ap, fmt);
    va_copy(again, ap);
    int n = std::vsnprintf(small, sizeof small, fmt, ap);
    va_end(ap);
    if (n >= 0 && static_cast<std::size_t>(n) < sizeof small) {
        kxterm_puts(t, small);
    } else if (n >= 0) {
        std::vector<char> text(std::min(static_cast<std::size_t>(n) + 1, KX_TERM_FORMAT));
        std::vsnprintf(text.data(), text.size(), fmt, again);
        kxterm_puts(t, text.data());
    }
    va_end(again);
}
void kxterm_setcolor(kxTerminal *t, int number)
{
    t->fg = clamp(number, 0, KX_TERM_COLOURS - 1);
    t->bg = 0;
}

void kxterm_notice(kxTerminal *t, const char *text)
{
    const int fg = t->fg, bg = t->bg;
    t->fg = KX_TERM_NOTICE;
    t->bg = 0;
    std::string line = t->cx > 0 ? "\n" : "";
    line += text;
    line += "\n";
    kxterm_puts(t, line.c_str());
    t->fg = fg;
    t->bg = bg;
}

void kxterm_setfont(kxTerminal *t, int font)
{
    if (kxfont_height(font) <= 0)
        return;
    t->font = font;
}

void kxterm_clear(kxTerminal *t)
{
    if (!t->created)
        return;
    blank_all(t);
    redraw(t);
}

int kxterm_extent(const kxTerminal *t) { return extent_of(t); }

void kxterm_setutf8log(kxTerminal *t, bool on) { t->utf8log = on; }

// A character begun in one piece of received text and ended in the next
// (a line shown at a pause) is kept across: the byte that follows decides.
void kxterm_setutf8input(kxTerminal *t, bool on) { t->utf8in = on; }

void kxterm_gotoxy(kxTerminal *t, int column, int line)
{
    t->cx = clamp(column, 0, t->columns - 1);
    t->cy = clamp(line, 0, t->lines - 1);
}

void kxterm_settext(kxTerminal *t, const char *text)
{
    if (!t->created)
        return;
    bool was = t->drawing;
    t->drawing = false;
    blank_all(t);
    kxterm_puts(t, text);
    t->drawing = was;
    set_top(t, 0);
}

int kxterm_bottom(const kxTerminal *t) { return t->geom.y + t->geom.ys; }

kxTermCell kxterm_cell(const kxTerminal *t, int column, int line)
{
    if (column < 0 || column >= t->columns || line < 0 || line >= t->lines)
        return kxTermCell{};
    if (line == t->openline)
        return t->open[static_cast<std::size_t>(column)];
    std::vector<kxTermCell> cells(static_cast<std::size_t>(t->columns));
    kxtermrows_get(&t->rows, line, cells.data(), t->columns);
    return cells[static_cast<std::size_t>(column)];
}

int kxterm_getkey(kxTerminal *t)
{
    bool was = t->cursor;
    t->cursor = true;
    // Sleep in the host's wait until input or a timer (the cursor's blink at
    // the latest) wakes it, rather than waking every few milliseconds.
    while (t->keycount == 0 && kxapp_running()) {
        kxsys_pump_all();
        if (t->keycount == 0 && kxapp_running())
            kxhost_wait(KX_TERM_BLINK_MS);
    }
    t->cursor = was;
    if (t->keycount == 0)
        return 0;
    int k = t->keys[t->keyread];
    t->keyread = (t->keyread + 1) % KX_TERM_KEYS;
    t->keycount--;
    return k;
}

bool kxterm_getline(kxTerminal *t, char *buf, int count)
{
    if (!buf || count <= 0)
        return false;
    int n = 0;
    buf[0] = 0;
    for (;;) {
        int k = kxterm_getkey(t);
        if (k == 0 && !kxapp_running())
            return false;
        if (k == KX_KEY_RETURN || k == KX_KEY_CR)
            break;
        if (k == KX_KEY_BACKSPACE) {
            if (n > 0) {
                n--;
                if (t->cx > 0)
                    t->cx--;
                kxterm_putc(t, ' ');
                if (t->cx > 0)
                    t->cx--;
                redraw(t);
            }
            continue;
        }
        if (k < 32 || k > 254)
            continue;
        if (n < count - 1)
            buf[n++] = static_cast<char>(k);
        else
            continue;  // not kept, so not echoed either
        kxterm_putc(t, k);
        redraw(t);
    }
    buf[n] = 0;
    return true;
}

bool kxterm_loadfile(kxTerminal *t, const char *name)
{
    std::FILE *f = name ? std::fopen(name, "rb") : nullptr;
    if (!f)
        return false;
    long want = static_cast<long>(t->columns) * t->lines;
    if (std::fseek(f, 0, SEEK_END) == 0) {
        long size = std::ftell(f);
        std::fseek(f, size > want ? size - want : 0, SEEK_SET);
    }
    bool was = t->drawing;
    t->drawing = false;
    char piece[1000];
    while (t->created && std::fgets(piece, sizeof piece, f))  // no cells before creation
        for (const char *p = piece; *p; p++)
            printed(t, static_cast<unsigned char>(*p));
    std::fclose(f);
    t->drawing = was;
    redraw(t);
    return true;
}

bool kxterm_run(kxTerminal *t, const char *fmt, ...)
{
    std::vector<char> cmd(KX_TERM_COMMAND);
    va_list ap;
    va_start(ap, fmt);
    std::vsnprintf(cmd.data(), cmd.size(), fmt, ap);
    va_end(ap);
    int slot = kxprocess_run(kxterm_handler, t, cmd.data(), true);
    if (slot < 0)
        return false;
    t->child = slot;
    return true;
}

kxarg kxterm_handler(void *obj, int code, kxarg a0, kxarg a1, kxarg a2, kxarg a3, kxarg a4,
                     kxarg a5, kxarg a6, kxarg a7)
{
    auto *t = static_cast<kxTerminal *>(obj);
    if (!t)
        return 0;
    if (code >= KX_DRAW_SETPIXEL && code <= KX_DRAW_POINTER_Y)
        return draw_command(t, code, a0, a1, a2, a3, a4, a5, a6);
    if (t->bar.created)
        t->bar.handle(code, static_cast<int>(a0), static_cast<int>(a1));
    kxarg answer = dispatch(t, code, a0, a1);
    show_notices(t);
    return answer;
}

// ---- a new size for the pane

namespace {

// The buffer lines at the new grid: line l keeps its text, cut at the
// right where the columns are fewer; with fewer lines the last ones up to
// the cursor stay.  Returns how many lines went off the top.
int regrid(kxTerminal *t, int columns, int lines)
{
    const int keep_from = std::max(0, std::min(t->cy, t->lines - 1) + 1 - lines);
    close_line(t);
    // A line keeps its text beyond the columns: cut where it is read.
    kxtermrows_keepfrom(&t->rows, keep_from, lines);
    t->columns = columns;
    t->lines = lines;
    t->home = std::max(t->home - keep_from, 0);
    return keep_from;
}

// A drawn-on background keeps its picture where the sizes overlap.
void resize_background(kxTerminal *t, int xs, int ys)
{
    kxpxmap *p = &t->background;
    const int oldxs = p->width, oldys = p->height;
    if (!p->data) {
        p->width = xs, p->height = ys;
        return;
    }
    if (!kxpxmap_resize(p, xs, ys))
        return;
    if (xs > oldxs)
        kxpxmap_fillrect(p, oldxs, 0, xs - oldxs, ys, t->bgcolor);
    if (ys > oldys)
        kxpxmap_fillrect(p, 0, oldys, std::min(xs, oldxs), ys - oldys, t->bgcolor);
}

} // namespace

void kxterm_setsize(kxTerminal *t, int xs, int ys)
{
    kxgeometry &g = t->geom;
    if (!t->created || xs < t->charw + 4 || ys < t->lineh + 4 || (xs == g.xs && ys == g.ys))
        return;
    // The last line written: the cursor's, or the one before it when a line
    // end has just left the cursor at the start of the next.
    const int last = t->cx == 0 && t->cy > 0 ? t->cy - 1 : t->cy;
    const bool following = last >= t->top && last < t->top + t->visible;
    // Pixel values, so that the container's next resize keeps them.
    g.xs = xs, g.ys = ys;
    g.xsval = xs, g.ysval = ys;
    g.xs_pixels = g.ys_pixels = 1;
    t->visible = std::max(1, (ys - 4) / t->lineh);
    int lines = std::max(t->scrollback > 0 ? t->scrollback : t->visible, t->visible);
    int columns = (xs - 4) / t->charw;
    if (t->scrollback > 0)
        columns -= guimetrics("scrollbarwidth") / t->charw + 1;
    columns = std::max(columns, 1);
    int gone = 0;
    if (columns != t->columns || lines != t->lines) {
        gone = regrid(t, columns, lines);
        t->cy -= gone;
        t->top = std::max(0, t->top - gone);
    }
    t->cx = clamp(t->cx, 0, t->columns - 1);
    resize_background(t, xs, ys);
    kxwidget_request(t, KX_REQ_MOVE, t->index, g.x, g.y, g.xs, g.ys);
    if (t->scrollback > 0) {
        t->bar.remove();
        t->bar.create(bar_notice, t, t->parent_handler, t->parent, t->parent_pixmap, g.x, g.y,
                      g.xs, g.ys, true, false, 0);
    }
    t->cursor_drawn_x = -1;
    // The last line written stays the last one shown while the pane showed it.
    set_top(t, following ? last - gone - t->visible + 1 : t->top);
}
