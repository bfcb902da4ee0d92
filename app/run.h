// quenlorix --run SCRIPT: the script (io/script.h) against the port, with
// no window: the same session and log as the window's, one result line per
// step on standard output (or TAP), and an exit code for the job that ran it.
#pragma once

#include <string>

enum : int {
    QX_RUN_PASSED = 0,  // every step held
    QX_RUN_FAILED = 1,  // a step failed: an expectation, a send or a line action
    QX_RUN_USAGE = 2,   // the script or the table cannot be read: nothing was sent
    QX_RUN_NOPORT = 3,  // the port cannot be opened
};

struct qxrunoptions {
    std::string script;
    int port = 0;  // 0: the settings file's
    int baud = 0;
    bool tap = false;
};

// Runs in the started toolkit, in the working directory; the exit code.
int qxrun_main(const qxrunoptions &o);
// Latin-1, the toolkit's texts, as UTF-8 for standard output.
std::string qxrun_utf8(std::string_view text);
