// The session on the open port: rows sent, received lines shown, and the
// device's loss and return.  A lost device is looked for again once a
// second under the same binding or link, so that a by-id link finds an
// adapter that came back under another name, and never by a later step of
// the lookup, which could answer with another device.
#pragma once

#include <cstdint>
#include <string>
#include <functional>
#include <string_view>

#include "core/timer.h"
#include "io/port.h"
#include "io/rxsplit.h"
#include "settings.h"

struct kxTerminal;

constexpr int QX_RETRY_MS = 1000;
constexpr int QX_TIMER_MS = 100;  // the program's timer, which reads the port
// Received lines are drawn at once, but in a flood at most once in this
// time or per tick of the timer: a flood costs a few redraws, and its last
// line shows by the next tick.
constexpr int QX_FRAME_MS = 10;

// Writes bytes to the current port; false at the first that did not leave.
bool qxsession_write_bytes(const std::string &bytes);

struct qxsession {
    kxTerminal *term = nullptr;
    qxsettings settings;
    bool lost = false;
    std::int64_t next_try = 0;  // kxsys_ticks of the next open while lost
    std::int64_t drawn_at = -QX_FRAME_MS;  // when received lines were last drawn
    bool owed = false;     // lines shown since, not drawn yet
    bool hurried = false;  // the timer runs at QX_FRAME_MS for them
    bool ticked = false;   // the timer fired since they were last drawn
    bool (*write)(const char *text) = kxport_write;  // to the port (a test's own)
    // Given every line read, its line end included (an unattended run
    // looks for its answers there); may be empty.
    std::function<void(std::string_view)> received;
    // The bytes of a row in the notation, NULs included.
    bool (*write_bytes)(const std::string &bytes) = qxsession_write_bytes;
    kxsplitter split;      // received bytes into lines or frames
    bool open = false;     // a received line is shown in part: the cursor ends it
    bool spaced = false;   // hex on the open line: the next piece needs a blank
    bool holding = false;  // the terminal's drawing is held for received lines
    int shown = 0;         // pieces shown in the current batch
    kxTimer pause;         // wakes the program once when the held bytes are due
    bool pause_armed = false;
    std::int64_t pause_due = 0;  // kxsys_ticks at which it fires
    std::uint64_t count_sent = 0, count_received = 0;  // bytes since the port opened
    std::string line;      // the open line's bytes given out so far, for received
    bool delivering = false;  // received is being given lines
};

// Starts on the port the dialog opened: says so in the terminal.
void qxsession_start(qxsession *s, kxTerminal *term, const qxsettings &settings);
// The port opened again with these settings: the line it was showing is
// ended, the counters start from 0.
void qxsession_reopened(qxsession *s, const qxsettings &settings);
// The program ends: what has arrived is shown and logged, a partial line
// too, and the pause's timer is stopped.
void qxsession_end(qxsession *s);
// A line in the notice colour, time-stamped when the lines are.
void qxsession_notice(qxsession *s, const std::string &text);
// Sends a row (read in the notation when the settings say so) and the line
// end chosen; a row that cannot be read or sent is shown with a notice that
// says why, and one whose line end alone failed as sent, with a notice that
// its line end was not.  True when all of it left.  The text view shows the
// row as typed, the hex and both views the bytes that left; a mark (an
// answer's) is shown before it in the notice colour.
bool qxsession_send(qxsession *s, const char *text, const char *mark = nullptr);
// Sends bytes, shown as the text they were written as; bytes that cannot
// be sent are shown with a notice that says why.
bool qxsession_sendbytes(qxsession *s, const char *text, std::string_view bytes);
// Shows every complete line that has arrived and an incomplete one quiet
// for the pause (the next bytes continue it), tells a loss and tries to
// reopen a lost port when its time has come; true when a batch was cut and
// more lines may be waiting.  Holds no timer that polls: one wake-up of
// s->pause for a line's pause.
bool qxsession_poll(qxsession *s);
// Draws the lines shown since the last drawing, unless that is younger than
// QX_FRAME_MS and the timer has not fired since (ticked: this event is its
// firing): then the timer runs at QX_FRAME_MS and its next firing draws them.
void qxsession_draw(qxsession *s, kxTimer *timer, bool ticked);
