// Periodic rows on the toolkit's timers: the record is the timers' object
// and the row their number.
#include "repeat.h"

#include <algorithm>

#include "core/timer.h"

namespace {

bool valid(int row) { return row >= 1 && row <= QX_ROWS; }

kxarg tick(void *obj, int code, kxarg row, kxarg, kxarg, kxarg, kxarg, kxarg, kxarg, kxarg)
{
    auto *r = static_cast<qxrepeat *>(obj);
    const int n = static_cast<int>(row);
    if (code != KX_EV_TIMER || !valid(n) || !r->running[static_cast<std::size_t>(n)])
        return 0;
    if (!r->send || r->send(n))
        return 0;
    kxtimer_remove(r, n);
    r->running[static_cast<std::size_t>(n)] = false;
    if (r->changed)
        r->changed(n, false, "nicht gesendet");
    return 0;
}

} // namespace

void qxrepeat_start(qxrepeat *r, int row, int ms)
{
    if (!valid(row))
        return;
    kxtimer_add(tick, r, std::clamp(ms, QX_PERIOD_MIN, QX_PERIOD_MAX), row);
    r->running[static_cast<std::size_t>(row)] = true;
    if (r->changed)
        r->changed(row, true, "");
}

void qxrepeat_stop(qxrepeat *r, int row)
{
    if (!valid(row) || !r->running[static_cast<std::size_t>(row)])
        return;
    kxtimer_remove(r, row);
    r->running[static_cast<std::size_t>(row)] = false;
    if (r->changed)
        r->changed(row, false, "");
}

void qxrepeat_stopall(qxrepeat *r)
{
    for (int row = 1; row <= QX_ROWS; row++)
        qxrepeat_stop(r, row);
}
