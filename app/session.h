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

#include "io/port.h"
#include "settings.h"

struct kxTerminal;
struct kxTimer;

constexpr int QX_RETRY_MS = 1000;
constexpr int QX_TIMER_MS = 100;  // the program's timer, which reads the port
// Received lines are drawn at once, but in a flood at most once in this
// time or per tick of the timer: a flood costs a few redraws, and its last
// line shows by the next tick.
constexpr int QX_FRAME_MS = 10;

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
};

// Starts on the port the dialog opened: says so in the terminal.
void qxsession_start(qxsession *s, kxTerminal *term, const qxsettings &settings);
// A line in the notice colour, time-stamped when the lines are.
void qxsession_notice(qxsession *s, const std::string &text);
// Sends a row and its line feed; a row that cannot be sent is shown with a
// notice that says why, and one whose line feed alone failed as sent, with
// a notice that its line end was not.  True when all of it left.  A mark
// (an answer's) is shown before the text in the notice colour.
bool qxsession_send(qxsession *s, const char *text, const char *mark = nullptr);
// Sends bytes, shown as the text they were written as; bytes that cannot
// be sent are shown with a notice that says why.
bool qxsession_sendbytes(qxsession *s, const char *text, std::string_view bytes);
// Shows every complete line that has arrived, tells a loss and tries to
// reopen a lost port when its time has come; true when a batch was cut and
// more lines may be waiting.
bool qxsession_poll(qxsession *s);
// Draws the lines shown since the last drawing, unless that is younger than
// QX_FRAME_MS and the timer has not fired since (ticked: this event is its
// firing): then the timer runs at QX_FRAME_MS and its next firing draws them.
void qxsession_draw(qxsession *s, kxTimer *timer, bool ticked);
