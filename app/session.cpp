// The session on the open port.
#include "session.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>

#include "base/id.h"
#include "base/utf8.h"
#include "core/target.h"
#include "core/timer.h"
#include "core/view.h"
#include "io/escape.h"
#include "io/notation.h"
#include "io/port.h"
#include "io/portline.h"
#include "io/terminal.h"
#include "lineview.h"
#include "platform/platform.h"

namespace {

// Bytes are read in chunks; a batch of them is bounded so that the window
// stays responsive: by the pieces it shows and by its bytes.
constexpr int CHUNK = 4096;
constexpr int BATCH = 2000;
constexpr int BATCH_BYTES = 2000 * 256;

std::string stamp(const qxsession *s, int ms)
{
    return s->settings.timestamps ? qxline_stamp(ms) : "";
}

// Drawing is held over what a batch shows; qxsession_draw draws it.
void hold(qxsession *s)
{
    if (s->holding)
        return;
    kxterm_handler(s->term, KX_TERM_HOLD, 0, 0, 0, 0, 0, 0, 0, 0);
    s->holding = true;
}

void resume(qxsession *s)
{
    if (!s->holding)
        return;
    kxterm_handler(s->term, KX_TERM_RESUME, 0, 0, 0, 0, 0, 0, 0, 0);
    s->holding = false;
    s->owed = true;
}

// A received line shown in part ends here: something else is to be shown.
// Its decoder state ends with it, so that what follows is shown as ever.
void break_line(qxsession *s)
{
    if (!s->open)
        return;
    kxTerminal *t = s->term;
    kxansi_finish(&t->decoder);
    kxterm_setcolor(t, QX_RECEIVED_COLOUR);
    kxterm_puts(t, "\n");
    s->open = false;
}

void notice(qxsession *s, const std::string &text)
{
    break_line(s);
    kxterm_notice(s->term, (stamp(s, kxsys_daytime_ms()) + text).c_str());
}

// Prints text with the NULs it holds: the terminal logs a NUL and draws
// nothing for it, and the line goes on after it.
void put_text(kxTerminal *t, const std::string &text)
{
    for (const char *p = text.c_str(), *end = p + text.size();; p++) {
        kxterm_puts(t, p);  // up to the next NUL
        p += std::strlen(p);
        if (p == end)
            return;
        kxterm_putc(t, 0);
    }
}

bool visible(const qxpieces &pieces)
{
    for (const qxpiece &p : pieces)
        if (!p.text.empty())
            return true;
    return false;
}

// Gives received the line a piece ends, whole: after the line, so that
// what it makes the program send comes below it.  A line is handed over
// in parts of KX_SPLIT_HELD_MAX at most.
void hand_over(qxsession *s, const kxsplitpiece &p)
{
    if (!p.ended && s->line.size() + p.bytes.size() < KX_SPLIT_HELD_MAX) {
        s->line.append(p.bytes);
        return;
    }
    std::string whole;
    whole.swap(s->line);
    whole.append(p.bytes);
    s->delivering = true;
    s->received(whole);
    s->delivering = false;
}

// A received line starts and ends in the decoder's ground state: a shift or
// an unfinished escape sequence in it cannot change how later lines are
// shown and logged, nor swallow its own line end.  The bytes of a sequence
// it leaves unfinished are shown as text with the line end.  A piece of a
// line continues the line shown in part, or starts a line of its own with
// its stamp: the line's first byte's, or, for the rest of a line broken off,
// the rest's, after a mark.
void show_bytes(qxsession *s, const kxsplitpiece &p)
{
    kxTerminal *t = s->term;
    const qxpieces pieces = qxline_received(p.bytes, s->settings.show);
    const bool seen = visible(pieces);
    s->shown++;
    if (!s->open && !seen)
        return;  // an empty line, or the line end alone of a line broken off
    hold(s);
    if (!s->open) {
        kxansi_init(&t->decoder);
        kxterm_setcolor(t, QX_RECEIVED_COLOUR);
        kxterm_puts(t, stamp(s, p.first ? p.stamp : p.at).c_str());
        if (!p.first) {
            kxterm_setcolor(t, KX_TERM_NOTICE);
            kxterm_puts(t, QX_CONTINUED);
        }
        s->open = true;
        s->spaced = false;
    }
    if (seen && s->spaced)
        kxterm_puts(t, " ");  // hex bytes of one line, read apart
    // The hex and both views show the bytes as they are.
    kxterm_setutf8input(t, s->settings.utf8 && s->settings.show == qxshow::text);
    for (const qxpiece &piece : pieces) {
        kxterm_setcolor(t, piece.colour);
        put_text(t, piece.text);
    }
    kxterm_setutf8input(t, false);
    s->spaced |= seen && s->settings.show == qxshow::hex;
    kxterm_setcolor(t, QX_RECEIVED_COLOUR);
    if (p.ended)
        break_line(s);
}

// Each piece of a received line: shown, and handed over once the line ends.
void show_piece(void *to, const kxsplitpiece &p)
{
    auto *s = static_cast<qxsession *>(to);
    show_bytes(s, p);
    if (s->received)
        hand_over(s, p);
}

// Reads what has arrived, up to a batch, into the splitter; true when the
// batch was cut.  A cut shows what the batch left held: nothing arrived
// waits for more bytes than that.
bool read_received(qxsession *s)
{
    static char chunk[CHUNK];
    const int port = kxport_current();
    int bytes = 0;
    s->shown = 0;
    while (s->shown < BATCH && bytes < BATCH_BYTES) {
        int n = 0;
        for (int c; n < CHUNK && (c = kxport_getc(port)) >= 0;)
            chunk[n++] = static_cast<char>(c);
        if (n == 0)
            return false;
        bytes += n;
        s->count_received += static_cast<std::uint64_t>(n);
        kxsplit_feed(&s->split, {chunk, static_cast<std::size_t>(n)}, kxsys_daytime_ms(),
                     kxsys_ticks(), show_piece, s);
    }
    kxsplit_release(&s->split, show_piece, s);
    return true;
}

// One wake-up when the held bytes fall due: the timer runs only while
// bytes are held, and is set again only when it fired before they were due.
void plan_pause(qxsession *s)
{
    const std::int64_t now = kxsys_ticks();
    const int wait = kxsplit_wait(&s->split, now);
    if (wait < 0) {
        if (s->pause_armed)
            kxtimer_destroy(&s->pause);
        s->pause_armed = false;
        return;
    }
    const int period = std::max(wait, KX_TICK_MS);
    if (s->pause_armed && now < s->pause_due && now + period >= s->pause_due)
        return;
    kxtimer_restart(&s->pause, period, true);
    s->pause_armed = true;
    s->pause_due = now + period;
}

// Shows what has arrived and what is due; true when the batch was cut.
bool show_received(qxsession *s)
{
    const bool cut = read_received(s);
    kxsplit_due(&s->split, kxsys_ticks(), show_piece, s);
    resume(s);
    return cut;
}

// The line open in the splitter is complete: the device or the program
// has gone.
void finish_received(qxsession *s)
{
    kxsplit_finish(&s->split, show_piece, s);
    resume(s);
    plan_pause(s);
}

// A sent row in the sent colour, after a mark in the notice colour (an
// answer's): as typed in the text view, else the bytes that left, control
// bytes of the both view in the notice colour.
void show_sent(qxsession *s, const std::string &when, const char *text, std::string_view left,
               const char *mark = nullptr)
{
    kxTerminal *t = s->term;
    kxterm_setcolor(t, QX_SENT_COLOUR);
    kxterm_puts(t, when.c_str());
    if (mark) {
        kxterm_setcolor(t, KX_TERM_NOTICE);
        kxterm_puts(t, mark);
        kxterm_setcolor(t, QX_SENT_COLOUR);
    }
    if (s->settings.show == qxshow::text) {
        kxterm_puts(t, text);
    } else {
        for (const qxpiece &p : qxline_received(left, s->settings.show)) {
            kxterm_setcolor(t, p.colour == QX_RECEIVED_COLOUR ? QX_SENT_COLOUR : p.colour);
            kxterm_puts(t, p.text.c_str());
        }
        kxterm_setcolor(t, QX_SENT_COLOUR);
    }
    kxterm_puts(t, "\n");
}

// Not in the sent colour: the record must not say it left.
void not_sent(qxsession *s, const std::string &when, const char *text, const std::string &why)
{
    kxterm_notice(s->term, (when + text).c_str());
    notice(s, "nicht gesendet: " + why);
}

// What came before a row is shown before it, a line in part too; the row
// is a line of its own, and the rest of that line comes after it.  A row
// that a received line makes the program send comes right after that line.
void before_sending(qxsession *s)
{
    if (!s->lost && !s->delivering) {
        read_received(s);
        kxsplit_release(&s->split, show_piece, s);
        resume(s);
    }
    break_line(s);
}

// Once a second, the device that was lost: the same binding or link.
void reopen(qxsession *s)
{
    const std::int64_t now = kxsys_ticks();
    if (now < s->next_try)
        return;
    s->next_try = now + QX_RETRY_MS;
    if (!kxport_reopen(s->settings.port))
        return;
    s->lost = false;
    notice(s, kxport_device(s->settings.port) + " wieder verbunden");
}

// The settings a port opened with: lines or frames as its view has them,
// and the counters from 0.
void start_counting(qxsession *s, const qxsettings &settings)
{
    s->settings = settings;
    const bool frames = settings.show == qxshow::hex && settings.frames_by_pause;
    kxsplit_init(&s->split, frames ? kxsplitends::pause : kxsplitends::lines, settings.pause_ms);
    s->count_sent = s->count_received = 0;
    s->line.clear();
}

// The row itself, in the notation when the settings say so, and its line
// end; true when all of it left.
bool send_row(qxsession *s, const char *text, const char *mark)
{
    const std::string when = stamp(s, kxsys_daytime_ms());
    // Typed text leaves in the device's encoding; the notation's bytes as they are.
    std::string bytes = s->settings.utf8 ? kxutf8_from_latin1(text) : std::string(text);
    if (s->settings.escapes) {
        const kxnotation_result r = kxnotation_parse(text);
        if (!r.ok) {
            not_sent(s, when, text, r.error);
            return false;
        }
        bytes = r.bytes;
    }
    const char *end = qxlineend_bytes(s->settings.lineend);
    const bool left = s->settings.escapes ? s->write_bytes(bytes) : s->write(bytes.c_str());
    const bool ended = left && (!*end || s->write(end));
    if (!ended && (!left || bytes.empty())) {
        not_sent(s, when, text, kxport_problem(s->settings.port));
        return false;
    }
    s->count_sent += bytes.size() + (ended ? std::strlen(end) : 0);
    show_sent(s, when, text, ended ? bytes + end : bytes, mark);
    // The text reached the device; only its line end did not.
    if (!ended)
        notice(s, "Zeilenende nicht gesendet: " + kxport_problem(s->settings.port));
    return ended;
}

} // namespace

void qxsession_start(qxsession *s, kxTerminal *term, const qxsettings &settings)
{
    s->term = term;
    s->lost = false;
    s->open = false;
    if (s->pause.id == 0)
        s->pause.id = kxid_new();  // the pause's timer runs only while bytes are held
    start_counting(s, settings);
    kxterm_puts(term, stamp(s, kxsys_daytime_ms()).c_str());
    // The line is named where it is not the one every port once had.
    const std::string line =
        settings.line == kxserialline{} ? "" : ", " + kxport_linename(settings.line);
    kxterm_printf(term, "Serielle Schnittstelle %d ge\xf6""ffnet, Baudrate=%d%s\n", settings.port,
                  settings.baud, line.c_str());
}

void qxsession_reopened(qxsession *s, const qxsettings &settings)
{
    finish_received(s);
    start_counting(s, settings);
}

void qxsession_end(qxsession *s)
{
    if (!s->term)
        return;
    if (!s->lost)
        read_received(s);
    finish_received(s);
}

bool qxsession_write_bytes(const std::string &bytes)
{
    for (unsigned char b : bytes)
        if (!kxport_putc(kxport_current(), b))
            return false;
    return true;
}

void qxsession_notice(qxsession *s, const std::string &text) { notice(s, text); }

bool qxsession_send(qxsession *s, const char *text, const char *mark)
{
    before_sending(s);
    const bool ok = send_row(s, text, mark);
    plan_pause(s);
    return ok;
}

bool qxsession_sendbytes(qxsession *s, const char *text, std::string_view bytes)
{
    before_sending(s);
    const std::string when = stamp(s, kxsys_daytime_ms());
    const int port = kxport_current();
    std::size_t left = 0;
    for (; left < bytes.size(); left++)
        if (!kxport_putc(port, static_cast<unsigned char>(bytes[left])))
            break;
    s->count_sent += left;
    if (left < bytes.size())
        not_sent(s, when, text, kxport_problem(s->settings.port));
    else
        show_sent(s, when, text, bytes);
    plan_pause(s);
    return left == bytes.size();
}

bool qxsession_poll(qxsession *s)
{
    if (s->lost) {
        reopen(s);
        return false;
    }
    // The lines first: a partial line the device left comes before the notice.
    bool more = show_received(s);
    if (kxport_lost(s->settings.port)) {
        finish_received(s);
        s->lost = true;
        s->next_try = kxsys_ticks() + QX_RETRY_MS;
        notice(s, "Verbindung zu " + kxport_device(s->settings.port) + " unterbrochen: " +
                      kxport_problem(s->settings.port));
    }
    plan_pause(s);
    return more;
}

void qxsession_draw(qxsession *s, kxTimer *timer, bool ticked)
{
    s->ticked |= ticked;
    const std::int64_t now = kxsys_ticks();
    const bool soon = !s->ticked && now - s->drawn_at < QX_FRAME_MS;
    const bool hurry = s->owed && soon;
    if (hurry != s->hurried) {
        kxtimer_setperiod(hurry ? QX_FRAME_MS : QX_TIMER_MS, timer, 0);
        s->hurried = hurry;
    }
    if (!s->owed || soon)
        return;
    kxterm_handler(s->term, KX_DRAW_REFRESH, 0, 0, 0, 0, 0, 0, 0, 0);
    kxrefresh_cancel(s->term);  // drawn: the deferred refresh has nothing left
    s->drawn_at = now;
    s->owed = false;
    s->ticked = false;
}
