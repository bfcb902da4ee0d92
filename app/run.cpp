// The unattended run: the script read whole before the port is touched,
// then the window's session without its window (a terminal that nobody
// sees keeps the log), the script's run fed with the received lines, and
// the program's timer set to the run's next due time.
#include "run.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <string>

#include "base/file.h"
#include "core/app.h"
#include "core/event.h"
#include "core/language.h"
#include "core/timer.h"
#include "io/port.h"
#include "io/portline.h"
#include "io/script.h"
#include "io/terminal.h"
#include "markup/dbf.h"
#include "markup/table.h"
#include "platform/platform.h"
#include "session.h"
#include "settings.h"

namespace {

constexpr const char *CONFIG = "quenlorix.cfg";
constexpr const char *TABLE = "quenlorix.dbf";
// The terminal that keeps the log: the window's, without the window.
constexpr const char *LOG_TERMINAL = "lines=10,xs=680,logfile=quenlorix.log";

using Rows = std::array<std::string, QX_ROWS>;

void out(const std::string &text) { std::fputs(qxrun_utf8(text).c_str(), stdout); }

// A fault before anything was sent: a line of its own, or TAP's bail-out.
int refuse(const qxrunoptions &o, int code, const std::string &text)
{
    out(o.tap ? "TAP version 13\n1..0\nBail out! " + text + "\n" : "quenlorix: " + text + "\n");
    return code;
}

bool uses_rows(const kxscript &s)
{
    return std::any_of(s.steps.begin(), s.steps.end(),
                       [](const kxscript_step &st) { return st.kind == kxscript_kind::send_row; });
}

// The strings of the table's rows; false with the reason.  Record 0 is the
// table's header row, as the window keeps it.
bool load_rows(Rows *rows, std::string *why)
{
    const bool ok = kxdbf_loadtable(TABLE, 0, 0, 1, QX_ROWS + 1, KX_TABLE_TEXT,
                                    [rows](int, int row, const char *text) {
                                        if (row >= 1 && row <= QX_ROWS)
                                            (*rows)[static_cast<std::size_t>(row - 1)] = text;
                                    });
    if (ok)
        return true;
    const std::string failure = kxdbf_failure();
    *why = std::string(TABLE) + ": " + (failure.empty() ? kxlanguage_reason(ENOENT) : failure);
    return false;
}

struct Run {
    qxsession session;
    Rows rows;
    kxscript_run script;
    bool tap = false;
};

// dtr on|off, rts on|off, break MS.
kxlinecall line_action(Run *run, const kxscript_step &s)
{
    const int port = run->session.settings.port;
    if (s.kind == kxscript_kind::brk)
        return kxport_break(port, s.ms);
    return kxport_setcontrol(port, s.kind == kxscript_kind::dtr ? kxcontrol::dtr : kxcontrol::rts,
                             s.on);
}

kxscript_done act(Run *run, const kxscript_step &s)
{
    qxsession *session = &run->session;
    switch (s.kind) {
    case kxscript_kind::send_row:
        if (qxsession_send(session, run->rows[static_cast<std::size_t>(s.row - 1)].c_str()))
            return {};
        break;
    case kxscript_kind::send_text:
        if (qxsession_sendbytes(session, s.written.c_str(),
                                s.text + qxlineend_bytes(session->settings.lineend)))
            return {};
        break;
    default:
        switch (line_action(run, s)) {
        case kxlinecall::done:
            return {};
        case kxlinecall::nolines:
            return {kxscript_verdict::skipped,
                    "die Schnittstelle bietet keine Steuerleitungen und kein BREAK an"};
        case kxlinecall::failed:
            break;
        }
    }
    return {kxscript_verdict::failed, session->lost ? "Ger\xe4t getrennt"
                                                    : kxport_problem(session->settings.port)};
}

// Why the device is away, while it is.
std::string gone(const Run *run)
{
    const qxsession &s = run->session;
    if (!s.lost)
        return "";
    return "Verbindung zu " + kxport_device(s.settings.port) + " unterbrochen: " +
           kxport_problem(s.settings.port);
}

// Each result on standard output and, as a notice, in the terminal and so
// in the log.
void report(Run *run, const kxscript_report &r)
{
    const std::string line = kxscript_line(r);
    out(run->tap ? kxscript_tap(r) : line + "\n");
    kxterm_notice(run->session.term, line.c_str());
}

// The timer's next period: the time to the run's next due time, within the
// program's usual 100 ms.  While an expect waits, the port is read every
// tick: an answer that comes soon after the question may not wake the
// program (the port wakes it for bytes after a quiet spell or in a flood).
int period_until(const kxscript_run *run, std::int64_t due)
{
    if (kxscript_listening(run))
        return KX_TICK_MS;
    const std::int64_t left = due - kxsys_ticks();
    return static_cast<int>(std::clamp<std::int64_t>(left, KX_TICK_MS, QX_TIMER_MS));
}

int run_script(Run *run, const kxscript &script, kxTerminal *term, const qxsettings &settings)
{
    qxsession_start(&run->session, term, settings);
    run->session.received = [run](std::string_view line) {
        kxscript_received(&run->script, line);
    };
    kxscript_host host;
    host.now = [] { return kxsys_ticks(); };
    host.act = [run](const kxscript_step &s) { return act(run, s); };
    host.gone = [run] { return gone(run); };
    host.report = [run](const kxscript_report &r) { report(run, r); };
    if (run->tap)
        out(kxscript_tap_plan(script));
    kxport_settimeout(1);
    kxscript_start(&run->script, &script, host);
    kxTimer timer;
    kxtimer_create(&timer, QX_TIMER_MS);
    std::int64_t due = kxscript_advance(&run->script);
    while (due >= 0 && kxapp_running() && !kxapp_ending()) {
        kxtimer_setperiod(period_until(&run->script, due), &timer, 0);
        kxevent_wait();
        // Every line that came, then the steps they let go on.
        while (qxsession_poll(&run->session)) {
        }
        due = kxscript_advance(&run->script);
    }
    // A line the device left in part is logged; the run's verdict is made.
    run->session.received = nullptr;
    qxsession_end(&run->session);
    kxtimer_destroy(&timer);
    if (due >= 0) {  // ended from outside
        kxterm_notice(term, "Skript abgebrochen");
        out(run->tap ? "Bail out! Skript abgebrochen\n" : "quenlorix: Skript abgebrochen\n");
        return QX_RUN_FAILED;
    }
    return run->script.state == kxscript_state::passed ? QX_RUN_PASSED : QX_RUN_FAILED;
}

} // namespace

std::string qxrun_utf8(std::string_view text)
{
    std::string s;
    s.reserve(text.size());
    for (char ch : text) {
        const auto b = static_cast<unsigned char>(ch);
        if (b < 0x80) {
            s += ch;
        } else {
            s += static_cast<char>(0xC0 | (b >> 6));
            s += static_cast<char>(0x80 | (b & 0x3F));
        }
    }
    return s;
}

int qxrun_main(const qxrunoptions &o)
{
    kxlanguage_set(KX_LANG_GERMAN);
    qxsettings settings = qxsettings_read(CONFIG);
    if (o.port > 0)
        settings.port = o.port;
    if (o.baud > 0)
        settings.baud = o.baud;
    kxscript_options so;
    so.rows = QX_ROWS;
    so.notation = settings.escapes;  // quoted texts as the rows are read
    const kxscript_parsed parsed = kxscript_load(o.script.c_str(), so);
    if (!parsed.ok)
        return refuse(o, QX_RUN_USAGE, o.script + ": " + parsed.error);
    Run run;
    run.tap = o.tap;
    std::string why;
    if (uses_rows(parsed.script) && !load_rows(&run.rows, &why))
        return refuse(o, QX_RUN_USAGE, why);
    qxsettings_bind(settings);
    kxport_setline(settings.port, settings.line);
    if (!kxport_open(settings.port, settings.baud))
        return refuse(o, QX_RUN_NOPORT, kxport_device(settings.port) + " kann nicht ge\xf6" "ffnet werden: " +
                                            kxport_problem(settings.port));
    kxTerminal term;
    kxterm_init(&term);
    kxterm_create(&term, "%s%s", LOG_TERMINAL, settings.utf8 ? ",logutf8" : "");
    const int code = run_script(&run, parsed.script, &term, settings);
    kxterm_destroy(&term);
    return code;
}
