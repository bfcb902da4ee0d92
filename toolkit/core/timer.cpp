#include "core/timer.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdint>
#include <cstdio>

#include "core/app.h"
#include "core/event.h"
#include "platform/platform.h"

namespace {

struct Slot {
    kxhandler handler = nullptr;
    void *object = nullptr;  // null: free
    int period = 0;
    int elapsed = 0;
    int number = 0;
    bool punctual = false;
};

std::array<Slot, KX_MAX_TIMERS> slots;
int high_water = 0;

// The only state the host's timer touches.  Ticks are numbered as the host
// counts them; those counted and not yet consumed (delivered, or dropped
// from a backlog) are pending.
std::atomic<std::int64_t> counted{0};
std::int64_t consumed = 0;  // UI thread only
std::atomic<int> ticks_per_callback{1};
std::atomic<bool> started{false};
// The counted tick at which the next timer falls due: the host's timer needs
// to call back (and wake a waiting pump) only there.
constexpr std::int64_t NEVER = INT64_MAX / 4;
std::atomic<std::int64_t> due_tick{NEVER};
// The longest the host's timer waits, in ticks, even with nothing due.
constexpr std::int64_t LONGEST_WAIT = 60 * 1000 / KX_TICK_MS;

void (*tick_function)() = nullptr;
bool stop_registered = false;

// Counts the periods that have passed, wakes the pump when they reach the
// due tick, and answers when to call again: at the due tick, so that an idle
// program is not woken at every tick, or at once while due ticks wait for
// the pump.
int host_callback(int periods)
{
    if (!started.load(std::memory_order_relaxed))
        return 1;
    const int k = ticks_per_callback.load(std::memory_order_relaxed);
    const std::int64_t added = static_cast<std::int64_t>(periods) * k;
    const std::int64_t now = counted.fetch_add(added) + added;
    const std::int64_t due = due_tick.load();
    if (due > now)
        return static_cast<int>((std::min(due - now, LONGEST_WAIT) + k - 1) / k);
    if (now - added < due)
        kxsys_wake();
    return 0;
}

// One tick for every timer; a handler may remove its own (or any) timer.
void process_tick()
{
    for (int i = 0; i < high_water; i++) {
        Slot &s = slots[i];
        if (!s.object)
            continue;
        s.elapsed += KX_TICK_MS;
        while (s.object && s.period > 0 && s.elapsed >= s.period) {
            s.elapsed -= s.period;
            kxsend(s.handler, s.object, KX_EV_TIMER, s.number);
        }
    }
}

// The tick, counted from the last consumed one, at which the slot fires
// next: when its accumulated time reaches the period.
std::int64_t fire_tick(const Slot &s)
{
    return std::max<std::int64_t>(1, (static_cast<std::int64_t>(s.period) - s.elapsed +
                                      KX_TICK_MS - 1) / KX_TICK_MS);
}

// How many ticks a slot's firing may wait for the wake-up of another.
std::int64_t slack_ticks(const Slot &s)
{
    if (s.punctual)
        return 0;
    return std::min(s.period / 2, KX_TIMER_SLACK_MS) / KX_TICK_MS;
}

// The tick, counted from the last consumed one, at which a waiting pump is
// to wake.  A timer may wait up to its slack to share the wake-up of a later
// one, so that timers of different phases (a blinking cursor, the deferred
// refresh, the application's timer) wake an idle program once, not each.
// The ticks themselves are processed as ever: only the waking moves.
std::int64_t wake_tick()
{
    struct Due {
        std::int64_t tick, latest;
    };
    std::array<Due, KX_MAX_TIMERS> due;
    int n = 0;
    for (int i = 0; i < high_water; i++)
        if (slots[i].object && slots[i].period > 0) {
            std::int64_t t = fire_tick(slots[i]);
            due[n++] = {t, t + slack_ticks(slots[i])};
        }
    if (n == 0)
        return NEVER;
    std::sort(due.begin(), due.begin() + n, [](const Due &a, const Due &b) { return a.tick < b.tick; });
    std::int64_t wake = due[0].tick, latest = due[0].latest;
    for (int i = 1; i < n && due[i].tick <= latest; i++) {
        wake = due[i].tick;
        latest = std::min(latest, due[i].latest);
    }
    return wake;
}

// Publishes the due tick for the host's timer.  A backlog that already holds
// a due tick must not wait: the pump is woken at once.
void plan()
{
    // A tick function of its own: every tick counts.
    std::int64_t wake = tick_function == process_tick ? wake_tick() : 1;
    due_tick = wake == NEVER ? NEVER : consumed + wake;
    if (due_tick.load() <= counted.load())
        kxsys_wake();
}

// Plans after a change of the timers and tells the host timer.
void replan()
{
    plan();
    kxsys_timer_catchup();
}

Slot *find(void *object, int number)
{
    for (int i = 0; i < high_water; i++)
        if (slots[i].object == object && slots[i].number == number)
            return &slots[i];
    return nullptr;
}

kxarg post_timer_id(void *obj, int code, kxarg, kxarg, kxarg, kxarg, kxarg, kxarg, kxarg, kxarg)
{
    // A busy application or a modal wait gets no pile of timer ids.
    if (code == KX_EV_TIMER && !kxapp_modal() && kxevent_has_room())
        kxevent_post(static_cast<kxTimer *>(obj)->id);
    return 0;
}

} // namespace

void kxtimer_add(kxhandler handler, void *object, int period, int number)
{
    if (!object)
        return;
    if (!started)
        kxtick_start(process_tick, 1000 / KX_TICK_MS);
    if (Slot *s = find(object, number)) {
        s->handler = handler;
        s->period = period;
        s->elapsed = 0;
        s->punctual = false;
        replan();
        return;
    }
    for (int i = 0; i < KX_MAX_TIMERS; i++) {
        if (slots[i].object)
            continue;
        slots[i] = {handler, object, period, 0, number};
        if (i >= high_water)
            high_water = i + 1;
        replan();
        return;
    }
    std::printf("too many timers !\n");
}

void kxtimer_remove(void *object, int number)
{
    if (Slot *s = find(object, number)) {
        *s = Slot{};
        plan();  // later, if anything: the host timer wakes early once at most
    }
}

void kxtimer_setperiod(int period, void *object, int number)
{
    if (Slot *s = find(object, number)) {
        s->period = period;
        // Time counted beyond a shorter period makes one firing at the next
        // tick, not one for every new period it would cover.
        s->elapsed = std::min(s->elapsed, std::max(0, period - KX_TICK_MS));
        replan();
    }
}

void kxtimer_create(kxTimer *t, int period)
{
    t->period = period;
    t->id = kxid_new();
    kxtimer_add(post_timer_id, t, period, 0);
}

void kxtimer_destroy(kxTimer *t) { kxtimer_remove(t, 0); }

void kxtimer_restart(kxTimer *t, int period, bool punctual)
{
    t->period = period;
    kxtimer_add(post_timer_id, t, period, 0);
    if (Slot *s = find(t, 0); s && punctual) {
        s->punctual = true;
        replan();
    }
}

// Ticks that passed while the pump slept are counted first, so that they
// reach the timers before anything the waking input starts.
void kxtimer_deliver()
{
    kxsys_timer_catchup();
    std::int64_t n = counted.load() - consumed;
    if (n > KX_MAX_PENDING_TICKS)
        consumed += n - KX_MAX_PENDING_TICKS;  // ticks lost while blocked
    for (int i = 0; i < KX_TICKS_PER_PUMP && counted.load() > consumed; i++) {
        consumed++;
        if (tick_function)
            tick_function();
    }
    replan();
}

int kxtimer_count()
{
    int n = 0;
    for (int i = 0; i < high_water; i++)
        n += slots[i].object != nullptr;
    return n;
}

int kxtimer_pending() { return static_cast<int>(counted.load() - consumed); }

int kxtimer_wakeafter()
{
    std::int64_t due = due_tick.load();
    return due >= NEVER ? -1 : static_cast<int>(due - consumed);
}

// The host period follows the timer device: 10 ms ticks one by one when it
// can, else 20 ms callbacks that count two, else 50 ms that count five.
void kxtick_start(void (*tick)(), int ticks_per_second)
{
    tick_function = tick;
    if (!stop_registered) {
        kxapp_atcleanup(kxtick_stop);
        stop_registered = true;
    }
    kxtick_stop();
    int tick_ms = ticks_per_second > 0 ? 1000 / ticks_per_second : KX_TICK_MS;
    int minimum = kxsys_timer_minperiod();
    int period = tick_ms, per_callback = 1;
    if (minimum > 4 * tick_ms) {
        period = 5 * tick_ms;
        per_callback = 5;
    } else if (minimum > tick_ms) {
        period = 2 * tick_ms;
        per_callback = 2;
    }
    ticks_per_callback = per_callback;
    kxevent_settimerhook(kxtimer_deliver);
    consumed = counted.load();
    plan();
    started = true;
    kxsys_timer_start(period, host_callback);
}

// Stops the host timer only: the base tick stays started, so timers added
// later (there are none after the exit sequence) do not start it again.
void kxtick_stop() { kxsys_timer_stop(); }

void kxtick_count(int ticks) { counted.fetch_add(ticks); }
