// The port during a session: the settings dialog again, DTR and RTS
// switched and pulsed and BREAK sent (by key and by the terminal's popup
// menu, which also copies from the pane, selects all of it and clears it), the input lines and the port's state in the footer, and what the
// window is connected to in its title.  Each action is noted in the
// terminal and the log in the notice colour.
#pragma once

#include <cstdint>
#include <string>

#include "base/protocol.h"
#include "io/portline.h"
#include "settings.h"

struct kxGUIScript;
struct kxTerminal;
struct kxWindow;
struct qxsession;

// The port's actions, then the terminal pane's own (copy the selection,
// select all, clear the screen but not the log).
enum class qxaction { none, settings, dtr, rts, dtrpulse, rtspulse, brk, copy, selectall, clear };

// The footer's byte counters change at most this often: a flood redraws
// them a few times a second, not per line.
constexpr int QX_COUNT_MS = 250;

// The keys of the actions, in the order of qxaction from settings on.
constexpr int QX_ACTION_KEYS[] = {KX_KEY_F2, KX_KEY_F5, KX_KEY_F6, KX_KEY_F7, KX_KEY_F8, KX_KEY_F9};

struct qxcontrol {
    qxsession *session = nullptr;
    kxWindow *win = nullptr;
    kxGUIScript *content = nullptr;
    kxTerminal *term = nullptr;
    const char *config = nullptr;
    int main_close = 0;
    bool dtr = true, rts = true;  // as driven now
    bool nolines = false;         // the open device has no control lines
    bool read = false;            // modem holds what the device showed
    kxmodemlines modem;
    bool lost = false;            // the session's loss as the footer shows it
    std::string footer;           // the footer's text as drawn
    std::uint64_t sent = 0, received = 0;  // the session's counters as the footer shows them
    std::int64_t counted_at = 0;  // kxsys_ticks when they were taken
    int drawn_xs = 0, drawn_ys = 0;  // the content's size then: a new layout wipes it
};

// Takes over after the session started: title, footer and the input lines,
// and a notice when the driver changed the line without refusing it.
void qxcontrol_start(qxcontrol *c, qxsession *s, kxWindow *win, kxGUIScript *content,
                     kxTerminal *term, const char *config, int main_close);
// Carries out what an event id asks for: an action's key, or the release
// of the right button on the terminal (the popup menu); true when it was one.
bool qxcontrol_event(qxcontrol *c, int id);
void qxcontrol_act(qxcontrol *c, qxaction a);
// At the program's timer: the input lines and the port's state, the footer
// drawn again when they changed.
void qxcontrol_tick(qxcontrol *c);
// "Quenlorix - COM3 115200 8N1", with the flow control after the frame.
std::string qxcontrol_title(const qxsettings &s);
// The footer's text: the port's state, then DTR and RTS as driven and CTS,
// DSR, DCD and RI as read, each upper case when on and lower case when off
// ("COM3 offen   DTR rts   CTS dsr dcd ri"), or that the device has none.
std::string qxcontrol_footer(const qxcontrol *c);
// Takes the session's byte counters for the footer when QX_COUNT_MS have
// passed since they were last taken (now: kxsys_ticks); true when taken.
bool qxcontrol_count(qxcontrol *c, std::int64_t now);
// The counters as the footer shows them: "gesendet 12  empfangen 3456".
std::string qxcontrol_counters(const qxcontrol *c);
