// The session on the open port.
#include "session.h"

#include <cstring>
#include <string>

#include "base/utf8.h"
#include "core/target.h"
#include "core/timer.h"
#include "core/view.h"
#include "io/escape.h"
#include "io/port.h"
#include "io/portline.h"
#include "io/terminal.h"
#include "lineview.h"
#include "platform/platform.h"

namespace {

constexpr int LINE = 256;  // the longest piece of a received line shown at once
// A batch of lines is bounded so that the window stays responsive.
constexpr int BATCH = 2000;

std::string stamp(const qxsession *s, int ms)
{
    return s->settings.timestamps ? qxline_stamp(ms) : "";
}

void notice(qxsession *s, const std::string &text)
{
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

// A received line starts and ends in the decoder's ground state: a shift or
// an unfinished escape sequence in it cannot change how later lines are
// shown and logged, nor swallow its own line end.  The bytes of a sequence
// it leaves unfinished are shown as text with the line end.
void show_line(qxsession *s, const qxpieces &pieces, int ms)
{
    kxTerminal *t = s->term;
    kxansi_init(&t->decoder);
    kxterm_setcolor(t, QX_RECEIVED_COLOUR);
    kxterm_puts(t, stamp(s, ms).c_str());
    // The hex and both views show the bytes as they are.
    kxterm_setutf8input(t, s->settings.utf8 && s->settings.show == qxshow::text);
    for (const qxpiece &p : pieces) {
        kxterm_setcolor(t, p.colour);
        put_text(t, p.text);
    }
    kxterm_setutf8input(t, false);
    kxansi_finish(&t->decoder);
    kxterm_setcolor(t, QX_RECEIVED_COLOUR);
    kxterm_puts(t, "\n");
}

// Shows every complete line that has arrived, with drawing held over the
// batch (qxsession_draw draws it); true when the batch was cut.
bool show_received(qxsession *s)
{
    static char line[KX_LINE_BUFFER];
    int n = 0, length = 0, ms = 0;
    bool held = false;
    while (n < BATCH && (length = kxport_readbytes(line, LINE, &ms)) >= 0) {
        n++;
        const std::string_view bytes(line, static_cast<std::size_t>(length));
        qxpieces pieces = qxline_received(bytes, s->settings.show);
        if (!pieces.empty()) {
            if (!held) {
                kxterm_handler(s->term, KX_TERM_HOLD, 0, 0, 0, 0, 0, 0, 0, 0);
                held = true;
            }
            show_line(s, pieces, ms);
        }
        // After the line: what it makes the program send comes below it.
        if (s->received)
            s->received(bytes);
    }
    if (held) {
        kxterm_handler(s->term, KX_TERM_RESUME, 0, 0, 0, 0, 0, 0, 0, 0);
        s->owed = true;
    }
    return n >= BATCH;
}

// A sent line: its time, a mark in the notice colour (an answer's), the text.
void shown_sent(qxsession *s, const std::string &when, const char *text,
                const char *mark = nullptr)
{
    kxterm_setcolor(s->term, QX_SENT_COLOUR);
    kxterm_puts(s->term, when.c_str());
    if (mark) {
        kxterm_setcolor(s->term, KX_TERM_NOTICE);
        kxterm_puts(s->term, mark);
        kxterm_setcolor(s->term, QX_SENT_COLOUR);
    }
    kxterm_puts(s->term, text);
    kxterm_puts(s->term, "\n");
}

// Not in the sent colour: the record must not say it left.
void not_sent(qxsession *s, const std::string &when, const char *text)
{
    kxterm_notice(s->term, (when + text).c_str());
    notice(s, "nicht gesendet: " + kxport_problem(s->settings.port));
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

} // namespace

void qxsession_start(qxsession *s, kxTerminal *term, const qxsettings &settings)
{
    s->term = term;
    s->settings = settings;
    s->lost = false;
    kxterm_puts(term, stamp(s, kxsys_daytime_ms()).c_str());
    // The line is named where it is not the one every port once had.
    const std::string line =
        settings.line == kxserialline{} ? "" : ", " + kxport_linename(settings.line);
    kxterm_printf(term, "Serielle Schnittstelle %d ge\xf6""ffnet, Baudrate=%d%s\n", settings.port,
                  settings.baud, line.c_str());
}

void qxsession_notice(qxsession *s, const std::string &text) { notice(s, text); }

bool qxsession_send(qxsession *s, const char *text, const char *mark)
{
    const std::string when = stamp(s, kxsys_daytime_ms());
    const std::string bytes = s->settings.utf8 ? kxutf8_from_latin1(text) : std::string(text);
    const bool left = s->write(bytes.c_str());
    const bool ended = left && s->write("\n");
    if (!ended && (!left || !*text)) {
        not_sent(s, when, text);
        return false;
    }
    shown_sent(s, when, text, mark);
    // The text reached the device; only its line end did not.
    if (!ended)
        notice(s, "Zeilenende nicht gesendet: " + kxport_problem(s->settings.port));
    return ended;
}

bool qxsession_sendbytes(qxsession *s, const char *text, std::string_view bytes)
{
    const std::string when = stamp(s, kxsys_daytime_ms());
    const int port = kxport_current();
    for (char b : bytes)
        if (!kxport_putc(port, static_cast<unsigned char>(b))) {
            not_sent(s, when, text);
            return false;
        }
    shown_sent(s, when, text);
    return true;
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
        s->lost = true;
        s->next_try = kxsys_ticks() + QX_RETRY_MS;
        notice(s, "Verbindung zu " + kxport_device(s->settings.port) + " unterbrochen: " +
                      kxport_problem(s->settings.port));
    }
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
