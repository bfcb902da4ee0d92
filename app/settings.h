// The settings file "quenlorix.cfg": port and baud rate on the one line the
// tester has always written ("port=%d   baud=%d"), and after it, each on a
// line of its own and only when not at its default, the view of received
// lines ("show=hex"), time stamps ("timestamps=1"), the main window's size
// ("size=1000x800") and paths bound to port numbers
// ("com3=/dev/serial/by-id/...").  A reader that knows only the
// first line finds its two keys as before.
#pragma once

#include <array>
#include <string>

constexpr int QX_PORT_MAX = 255;
constexpr int QX_BAUD_DEFAULT = 9600;
// The main window's own size: its default and its minimum.
constexpr int QX_WINDOW_XS = 700;
constexpr int QX_WINDOW_YS = 570;
constexpr int QX_WINDOW_MAX = 16384;

// How received lines are shown and logged.
enum class qxshow { text, hex, both };

struct qxsettings {
    int port = 1;
    int baud = QX_BAUD_DEFAULT;
    qxshow show = qxshow::text;
    bool timestamps = false;
    int width = QX_WINDOW_XS, height = QX_WINDOW_YS;  // of the main window's content
    std::array<std::string, QX_PORT_MAX + 1> bound;  // [n]: the path of port n, "" for none
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
