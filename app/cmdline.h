// The tester's command line: its options are read before the toolkit starts,
// so that --help and --version need no display, and the working directory
// is in place before the first file is opened.
#pragma once

#include <string>
#include <vector>

// What a command line asks for.
struct quenlorix_options {
    bool help = false;
    bool version = false;
    bool user_dir = false;          // --user-dir; the last of it and -C counts
    std::string directory;          // -C / --directory; "" for none
    std::string run;                // --run SCRIPT; "" for the window
    int port = 0, baud = 0;         // --port, --baud (with --run); 0 for the settings file's
    bool tap = false;               // --tap (with --run)
    std::vector<std::string> rest;  // the other words, kept for the toolkit
    std::string error;              // the one-line diagnostic of a bad command line
};

// Reads argv[1] to argv[argc - 1].  False for an unknown option or an option
// without its value; then error holds the diagnostic.
bool quenlorix_parseargs(int argc, char *const *argv, quenlorix_options *o);

// The per-user directory of --user-dir: $XDG_DATA_HOME/quenlorix, by
// default ~/.local/share/quenlorix; "" when neither is set.
std::string quenlorix_userdir();

// The program's entry: the options, then the working directory, then the
// toolkit running the tester.  The process's exit code: 0, 1 when the
// directory cannot be used or the toolkit cannot start, 2 for a bad command
// line; with --run the run's (run.h), a directory that cannot be used being
// 2.
int quenlorix_start(int argc, char **argv);
