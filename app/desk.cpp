// The desk's periods and answers on the session and the table.
#include "desk.h"

#include <string>

#include "core/button.h"
#include "core/event.h"
#include "io/port.h"
#include "io/terminal.h"
#include "markup/table.h"
#include "platform/platform.h"
#include "deskdialog.h"
#include "session.h"

namespace {

constexpr const char *SEND_CAPTION = "senden";
constexpr const char *STOP_CAPTION = "Stopp";
constexpr const char *ANSWER_MARK = "Antwort: ";

kxButton *button(qxdesk *d, int row)
{
    kxtablecell *c = kxtable_cell(d->tab, 2, row);
    return c && c->button && c->button->created ? c->button.get() : nullptr;
}

void notice(qxdesk *d, const std::string &text) { kxterm_notice(d->session->term, text.c_str()); }

void save(qxdesk *d)
{
    if (!qxsettings_write(*d->settings, d->config))
        notice(d, "Einstellungen nicht gespeichert: " + qxsave_failure(d->config).reason);
}

void take_rules(qxdesk *d)
{
    d->rules.clear();
    int n = 0;
    for (const std::string &text : d->settings->answers) {
        n++;
        kxanswer_rule r;
        std::string error;
        if (kxanswer_parse(text, QX_ROWS, &r, &error))
            d->rules.push_back(std::move(r));
        else
            notice(d, "Antwortregel " + std::to_string(n) + " (" + text + ") wird nicht benutzt: " +
                          error);
    }
}

void answer(qxdesk *d, std::string_view line)
{
    const kxanswer_hit hit = kxanswer_match(&d->rules, line, kxsys_ticks());
    if (hit.row)
        qxdesk_send(d, hit.row, ANSWER_MARK);
    else if (hit.stopped)
        notice(d, "Antwortregel \"" + kxanswer_format(d->rules[static_cast<std::size_t>(hit.rule)]) +
                      "\" angehalten: mehr als " + std::to_string(KX_ANSWER_LIMIT) +
                      " Antworten in einer Sekunde");
}

void changed(qxdesk *d, int row, bool running, const char *why)
{
    if (kxButton *b = button(d, row))
        b->set_caption(running ? STOP_CAPTION : SEND_CAPTION);
    if (*why)
        notice(d, "Periode der Zeile " + std::to_string(row) + " angehalten: " + why + " (" +
                      kxport_problem(d->settings->port) + ")");
}

void rules_dialog(qxdesk *d)
{
    std::vector<std::string> rules = d->settings->answers;
    if (!qxrulesdialog_run(&rules, d->main_close))
        return;
    d->settings->answers = rules;
    save(d);
    take_rules(d);
    notice(d, "Antwortregeln: " + std::to_string(d->rules.size()));
}

void row_dialog(qxdesk *d, int row)
{
    int &period = d->settings->periods[static_cast<std::size_t>(row)];
    int ms = period > 0 ? period : QX_PERIOD_DEFAULT;
    const bool running = d->repeat.running[static_cast<std::size_t>(row)];
    switch (qxrowdialog_run(row, running, &ms, d->main_close)) {
    case qxrowchoice::start:
        if (period != ms) {
            period = ms;
            save(d);
        }
        qxrepeat_start(&d->repeat, row, ms);
        break;
    case qxrowchoice::stop: qxrepeat_stop(&d->repeat, row); break;
    case qxrowchoice::rules: rules_dialog(d); break;
    case qxrowchoice::cancel: break;
    }
}

} // namespace

void qxdesk_start(qxdesk *d, qxsession *session, kxTable *tab, qxsettings *settings,
                  const char *config, int main_close)
{
    d->session = session;
    d->tab = tab;
    d->settings = settings;
    d->config = config;
    d->main_close = main_close;
    d->repeat.send = [d](int row) { return qxdesk_send(d, row); };
    d->repeat.changed = [d](int row, bool running, const char *why) {
        changed(d, row, running, why);
    };
    take_rules(d);
    session->received = [d](std::string_view line) { answer(d, line); };
}

bool qxdesk_event(qxdesk *d, int id)
{
    if (id == KX_KEY_F3) {
        rules_dialog(d);
        return true;
    }
    for (int row = 1; row <= QX_ROWS; row++) {
        kxButton *b = button(d, row);
        if (!b)
            continue;
        if (id == b->ids[KX_ID_RDOWN]) {
            row_dialog(d, row);
            return true;
        }
        if (id == b->ids[KX_ID_MAIN] && d->repeat.running[static_cast<std::size_t>(row)]) {
            qxrepeat_stop(&d->repeat, row);
            return true;
        }
    }
    return false;
}

bool qxdesk_send(qxdesk *d, int row, const char *mark)
{
    static char text[KX_TABLE_TEXT + 1];
    kxtable_getcell(d->tab, text, 0, row);
    return qxsession_send(d->session, text, mark);
}

void qxdesk_stop(qxdesk *d)
{
    if (d->session)
        d->session->received = nullptr;
    d->repeat.changed = nullptr;
    qxrepeat_stopall(&d->repeat);
}
