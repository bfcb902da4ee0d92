// Rows sent on a period: each running row has a timer of its own, which
// sends it as its button does.  A send that cannot leave stops the row's
// period, so that a lost device gives one "nicht gesendet", not a flood.
#pragma once

#include <array>
#include <functional>

#include "settings.h"

struct qxrepeat {
    // Sends the row; false when it did not leave (it has said why).
    std::function<bool(int row)> send;
    // The row's period started or stopped; why is "" unless a send failed.
    std::function<void(int row, bool running, const char *why)> changed;
    std::array<bool, QX_ROWS + 1> running{};
};

// Starts the row (1..QX_ROWS) every ms (clamped to QX_PERIOD_MIN..MAX),
// its first send after one period; a running row gets the new period.
void qxrepeat_start(qxrepeat *r, int row, int ms);
void qxrepeat_stop(qxrepeat *r, int row);
void qxrepeat_stopall(qxrepeat *r);
