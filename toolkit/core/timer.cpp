#include "core/timer.h"

#include <algorithm>
#include <array>
#include <atomic>
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
};

std::array<Slot, KX_MAX_TIMERS> slots;
int high_water = 0;

// The only state the timer thread touches.
std::atomic<int> pending{0};
std::atomic<int> ticks_per_callback{1};
std::atomic<bool> started{false};
// Pending ticks at which some timer is due: the timer thread wakes a
// waiting pump only then, so an idle program is not woken every tick.
std::atomic<int> wake_at{1};

void (*tick_function)() = nullptr;
bool stop_registered = false;

void host_callback()
{
    if (!started.load(std::memory_order_relaxed))
        return;
    int k = ticks_per_callback.load(std::memory_order_relaxed);
    if (pending.fetch_add(k) + k >= wake_at.load())
        kxsys_wake();
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

// Ticks until the first timer fires, counted from the last processed tick.
void plan_wake()
{
    if (tick_function != process_tick) {
        wake_at = 1;
        return;
    }
    int soonest = 1 << 30;
    for (int i = 0; i < high_water; i++) {
        const Slot &s = slots[i];
        if (s.object && s.period > 0)
            soonest = std::min(soonest, std::max(1, (s.period - s.elapsed + KX_TICK_MS - 1) / KX_TICK_MS));
    }
    wake_at = soonest;
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
        plan_wake();
        return;
    }
    for (int i = 0; i < KX_MAX_TIMERS; i++) {
        if (slots[i].object)
            continue;
        slots[i] = {handler, object, period, 0, number};
        if (i >= high_water)
            high_water = i + 1;
        plan_wake();
        return;
    }
    std::printf("too many timers !\n");
}

void kxtimer_remove(void *object, int number)
{
    if (Slot *s = find(object, number))
        *s = Slot{};
}

void kxtimer_setperiod(int period, void *object, int number)
{
    if (Slot *s = find(object, number)) {
        s->period = period;
        plan_wake();
    }
}

void kxtimer_create(kxTimer *t, int period)
{
    t->period = period;
    t->id = kxid_new();
    kxtimer_add(post_timer_id, t, period, 0);
}

void kxtimer_destroy(kxTimer *t) { kxtimer_remove(t, 0); }

void kxtimer_deliver()
{
    int n = pending.load();
    if (n > KX_MAX_PENDING_TICKS) {
        pending.fetch_sub(n - KX_MAX_PENDING_TICKS);  // ticks lost while blocked
    }
    for (int i = 0; i < KX_TICKS_PER_PUMP && pending.load() > 0; i++) {
        pending.fetch_sub(1);
        if (tick_function)
            tick_function();
    }
    plan_wake();
}

int kxtimer_count()
{
    int n = 0;
    for (int i = 0; i < high_water; i++)
        n += slots[i].object != nullptr;
    return n;
}

int kxtimer_pending() { return pending.load(); }

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
    plan_wake();
    kxevent_settimerhook(kxtimer_deliver);
    pending = 0;
    started = true;
    kxsys_timer_start(period, host_callback);
}

// Stops the host timer only: the base tick stays started, so timers added
// later (there are none after the exit sequence) do not start it again.
void kxtick_stop() { kxsys_timer_stop(); }

void kxtick_count(int ticks) { pending.fetch_add(ticks); }
