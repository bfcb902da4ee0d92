// The settings file "quenlorix.cfg": port and baud rate on the one line the
// tester has always written ("port=%d   baud=%d"), and after it, each on a
// line of its own and only when not at its default, the line's framing and
// control lines ("databits=7", "parity=even", "stopbits=2", "flow=rtscts",
// "dtr=0", "rts=0", "pulse=50", "break=500"), the view of received lines
// ("show=hex"), time stamps ("timestamps=1"), the pause after which an
// incomplete received line is shown ("pause=250") and frames of the hex
// view cut by that pause ("frames=pause"), how rows are sent ("escapes=1",
// "lineend=cr"), the device's text encoding ("encoding=utf-8"), the lines
// the pane keeps ("scrollback=5000"), the main window's size
// ("size=1000x800"), paths bound to port numbers
// ("com3=/dev/serial/by-id/..."), rows sent on a period ("period3=500") and
// answer rules ("answer=2 RING").  A reader that knows only the first line
// finds its two keys as before.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "io/portline.h"
#include "io/rxsplit.h"

constexpr int QX_PORT_MAX = 255;
constexpr int QX_ROWS = 14;               // the table's rows
constexpr int QX_PERIOD_MIN = 10;         // a periodic row's period, ms
constexpr int QX_PERIOD_MAX = 3600000;    // 1 h
constexpr int QX_PERIOD_DEFAULT = 1000;
constexpr int QX_BAUD_DEFAULT = 9600;
// The main window's own size: its default and its minimum.
constexpr int QX_WINDOW_XS = 700;
constexpr int QX_WINDOW_YS = 570;
constexpr int QX_WINDOW_MAX = 16384;
// The lines of the terminal pane's history.
constexpr int QX_SCROLLBACK_DEFAULT = 500;
constexpr int QX_SCROLLBACK_MIN = 10;
constexpr int QX_SCROLLBACK_MAX = 100000;

// How received lines are shown and logged.
enum class qxshow { text, hex, both };
// What follows each row sent: LF as the tester always sent, CR, CR LF or nothing.
enum class qxlineend { lf, cr, crlf, none };

struct qxsettings {
    int port = 1;
    int baud = QX_BAUD_DEFAULT;
    kxserialline line;  // 8N1, no flow control, DTR and RTS up
    int pulse_ms = KX_PULSE_MS_DEFAULT;  // a DTR or RTS pulse
    int break_ms = KX_BREAK_MS_DEFAULT;
    qxshow show = qxshow::text;
    bool timestamps = false;
    int pause_ms = KX_SPLIT_PAUSE_DEFAULT;  // 0: a line waits for its end
    bool frames_by_pause = false;  // the hex view ends a frame at the pause only
    bool escapes = false;  // rows are read in the notation (io/notation.h)
    qxlineend lineend = qxlineend::lf;
    int scrollback = QX_SCROLLBACK_DEFAULT;
    bool utf8 = false;  // the device speaks UTF-8 (else ISO 8859-1)
    int width = QX_WINDOW_XS, height = QX_WINDOW_YS;  // of the main window's content
    std::array<std::string, QX_PORT_MAX + 1> bound;  // [n]: the path of port n, "" for none
    std::array<int, QX_ROWS + 1> periods{};  // [row]: its period in ms; 0 for none chosen
    std::vector<std::string> answers;        // answer rules, "ROW PATTERN" (io/answer.h)
};

// The settings in a file's text; a missing, unreadable or out-of-range value
// keeps its default.
qxsettings qxsettings_parse(const char *text);
// The file's text for the settings.
std::string qxsettings_format(const qxsettings &s);
// Reads the file (the defaults when it cannot be read).
qxsettings qxsettings_read(const char *file);
bool qxsettings_write(const qxsettings &s, const char *file);
// A failed save as the user is told of it: the file's full path and the
// reason, and the same on standard output.
struct qxsavefailure {
    std::string file;
    std::string reason;
};
qxsavefailure qxsave_failure(const char *file);
// Makes the bound paths the devices of their port numbers (ports without a
// path keep the host's names).
void qxsettings_bind(const qxsettings &s);

// The names of the views, as the file and the dialog have them.
const char *qxshow_name(qxshow show);
// "lf", "cr", "crlf", "none" as the file has them, and the bytes of each.
const char *qxlineend_name(qxlineend end);
const char *qxlineend_bytes(qxlineend end);
// The names of parities and flow controls as the file has them.
const char *qxparity_name(kxparity parity);
const char *qxflow_name(kxflow flow);
