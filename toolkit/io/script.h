// Scripts of an unattended run: plain text, one step a line, "#" starts a
// comment (outside quotes and patterns):
//
//   send 3                 row 3 of the table
//   send "AT\r"            a text (\" is a quote; with the row notation on,
//                          the other escapes are the notation's)
//   expect "OK" within 500 a received line that holds the text
//   expect /^V[0-9]+/      a received line that matches the pattern
//                          (io/pattern.h; \/ is a slash); 1000 ms unless
//                          "within MS" says otherwise
//   wait 200               milliseconds
//   dtr on|off, rts on|off, break 250
//
// A script is read whole, once: either all its steps or the first line
// that cannot be read, so nothing runs of a script with a fault in it.
//
// The run is a machine without a clock or a port of its own: the host
// gives the time, carries out sends and line actions, hands in received
// lines and is told each step's result.  An expect looks at the lines in
// the order they came, from the first one no earlier expect took, so an
// answer that came during a wait is still found.  The first step that fails
// ends the run; the steps after it are reported as not run.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "io/pattern.h"

constexpr int KX_SCRIPT_MS_MAX = 3600000;  // the longest wait or time limit: 1 h
constexpr int KX_SCRIPT_EXPECT_MS = 1000;  // an expect's time limit unless given
constexpr int KX_SCRIPT_BREAK_MAX = 5000;  // the longest BREAK the port layer holds
constexpr std::size_t KX_SCRIPT_SIZE_MAX = 1 << 20;  // bytes of a script file
constexpr std::size_t KX_SCRIPT_KEPT = 1000;  // received lines kept for later expects
constexpr std::size_t KX_SCRIPT_SHOWN = 120;  // bytes of a received line in a result

enum class kxscript_kind : std::uint8_t { send_row, send_text, expect_text, expect_pattern,
                                          wait, dtr, rts, brk };

struct kxscript_step {
    kxscript_kind kind = kxscript_kind::wait;
    int line = 0;        // in the script, from 1
    std::string source;  // the step as written, without its comment
    int row = 0;         // send_row
    std::string text;    // bytes to send (no line end), or the text to look for
    std::string written;  // send_text: the text between the quotes as written
    kxpattern pattern;   // expect_pattern
    int ms = 0;          // wait, break, and an expect's time limit
    bool on = false;     // dtr, rts
};

struct kxscript {
    std::vector<kxscript_step> steps;
    int expects = 0;
};

struct kxscript_options {
    int rows = 14;          // send ROW takes 1 to rows
    bool notation = false;  // quoted texts are read in the row notation (io/notation.h)
};

struct kxscript_parsed {
    bool ok = false;
    kxscript script;
    std::string error;  // "Zeile 3: ..." in the toolkit's language; "" when ok
    int line = 0;       // of the fault; 0 when ok or for the file as a whole
};

kxscript_parsed kxscript_parse(std::string_view text, const kxscript_options &o);
// The file's script; a file that cannot be read, or is larger than
// KX_SCRIPT_SIZE_MAX, is a fault of line 0 that names the file.
kxscript_parsed kxscript_load(const char *file, const kxscript_options &o);

// ---- running

enum class kxscript_verdict : std::uint8_t {
    held,     // done, or the expectation was met
    failed,   // the run ends here
    skipped,  // the port does not offer the action: said, and the run goes on
    notrun,   // after a failure
};

// What the host made of a send or a line action: held, or failed or
// skipped with the reason.
struct kxscript_done {
    kxscript_verdict verdict = kxscript_verdict::held;
    std::string why;
};

struct kxscript_report {
    const kxscript_step *step = nullptr;
    kxscript_verdict verdict = kxscript_verdict::held;
    std::int64_t at = 0;  // ms since the run began
    int point = 0;        // an expect's test point from 1, else 0
    std::string result;   // the words of the result
    std::string expected;  // an expect's text or pattern as written
    std::string got;      // the line shown: the one that met it, or the last that did not
    int lines = 0;        // lines an expect looked at
    bool aborted = false;  // notrun after a failed send or line action
};

struct kxscript_host {
    std::function<std::int64_t()> now;  // milliseconds, never going back
    std::function<kxscript_done(const kxscript_step &)> act;  // sends and line actions
    std::function<std::string()> gone;  // why the device is away; "" while it is there
    std::function<void(const kxscript_report &)> report;
};

enum class kxscript_state : std::uint8_t { running, passed, failed };

struct kxscript_run {
    const kxscript *script = nullptr;
    kxscript_host host;
    kxscript_state state = kxscript_state::running;
    std::size_t next = 0;         // the step under way
    bool begun = false;           // its time runs
    std::int64_t start = 0, step_start = 0, deadline = 0;
    std::deque<std::string> lines;  // received, not yet looked at
    std::string last;             // the last line the current expect passed over
    int looked = 0;
    int points = 0;
};

// Starts the run; the script must outlive it.
void kxscript_start(kxscript_run *r, const kxscript *script, kxscript_host host);
// A received line, its line end removed if it has one.
void kxscript_received(kxscript_run *r, std::string_view line);
// Runs every step that can run now.  While the run goes on: the time by
// which it must be called again (it may be called earlier, and should be
// when a line came); once it is over, -1.
std::int64_t kxscript_advance(kxscript_run *r);
// True while an expect waits for lines: a host that is not woken by every
// line looks for them often then.
bool kxscript_listening(const kxscript_run *r);

// "  0.153  Zeile 3  expect "OK"  erfüllt nach 151 ms: "OK"".
std::string kxscript_line(const kxscript_report &r);
// TAP version 13: the header and plan, then per report a test point for an
// expect (with a YAML block when it failed), a comment for the other steps,
// and "Bail out!" for a failed send or line action.
std::string kxscript_tap_plan(const kxscript &s);
std::string kxscript_tap(const kxscript_report &r);
