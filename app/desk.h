// At the desk: rows sent on a period and answers to what the device says,
// set in their dialogs and kept in the settings file.  The main loop hands
// it every id first; the session hands it every received line.
#pragma once

#include <vector>

#include "io/answer.h"
#include "repeat.h"
#include "settings.h"

struct kxTable;
struct qxsession;

struct qxdesk {
    qxsession *session = nullptr;
    kxTable *tab = nullptr;
    qxsettings *settings = nullptr;
    const char *config = nullptr;
    int main_close = 0;
    qxrepeat repeat;
    std::vector<kxanswer_rule> rules;
};

// Takes the rules of the settings (one that cannot be read is said in the
// terminal and left out) and answers from now on.
void qxdesk_start(qxdesk *d, qxsession *session, kxTable *tab, qxsettings *settings,
                  const char *config, int main_close);
// True when the id was the desk's: a row's menu (right press, Shift+F10),
// a click on a running row's button (which stops it), F3 (the rules).
bool qxdesk_event(qxdesk *d, int id);
// Sends the row as its button does, marked as an answer when mark is given.
bool qxdesk_send(qxdesk *d, int row, const char *mark = nullptr);
// Stops every period and answer; before the session and the table go.
void qxdesk_stop(qxdesk *d);
