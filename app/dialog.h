// The settings dialog: port number (with the device it opens now shown
// below it), baud rate, the view of received lines and time stamps.  It is
// asked again until the port opens; a failure is shown with its reason.
#pragma once

#include <string>

#include "settings.h"

// The dialog's line under the port number: "/dev/ttyUSB0 = <by-id name>",
// the path alone, or "kein Gerät".
std::string qxdialog_device(int port);
// Runs the dialog until the port opens, and then writes the settings file
// (a rate no port took is never saved); false when the user cancels (also
// with Escape), the main window's close id main_close arrives, or the
// program ends.
bool qxdialog_run(qxsettings *s, const char *file, int main_close);
