// The settings dialog: port number (with the device it opens now shown
// below it), baud rate, the line's framing, flow control and control lines
// at open, the view of received lines and time stamps.  It is asked again
// until the port opens; a failure is shown with its reason.
#pragma once

#include <functional>
#include <string>

#include "settings.h"

// The dialog's line under the port number: "/dev/ttyUSB0 = <by-id name>",
// the path alone, or "kein Gerät".
std::string qxdialog_device(int port);
// The dialog's first sentence: what the line's framing is (for 8N1 the
// sentence the dialog has always had).
std::string qxdialog_sentence(const kxserialline &line);
// Runs the dialog until the port opens, and then writes the settings file
// (a rate no port took is never saved); false when the user cancels (also
// with Escape), the main window's close id main_close arrives, or the
// program ends.
bool qxdialog_run(qxsettings *s, const char *file, int main_close);
// Puts chosen settings to use during a session: true when the port is open
// with them.
using qxapply = std::function<bool(const qxsettings &)>;
// The dialog again during a session, asked until apply takes the settings;
// true with them in s, false when the user cancels (s stays; tried says
// whether apply was called meanwhile).  The file is written once apply
// took the settings.  A close of the main window cancels
// and is posted again for the main loop.
bool qxdialog_change(qxsettings *s, const char *file, int main_close, const qxapply &apply,
                     bool *tried);
