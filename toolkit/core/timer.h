// Timers: one 10 ms base tick, counted on the host's timer thread and turned
// into handler calls on the user-interface thread inside the pump.
#pragma once

#include "core/widget.h"

constexpr int KX_MAX_TIMERS = 100;
constexpr int KX_TICK_MS = 10;
constexpr int KX_TICKS_PER_PUMP = 10;
constexpr int KX_MAX_PENDING_TICKS = 10000;
// An idle program is woken for a timer up to half its period late (at most
// this), when that lets it share the wake-up of another timer.
constexpr int KX_TIMER_SLACK_MS = 100;

// An application timer: its id is posted every period.
struct kxTimer {
    int period = 0;
    int id = 0;
};

// Calls handler(object, KX_EV_TIMER, number) every period ms.  The same
// object and number again restarts that timer with the new period.
void kxtimer_add(kxhandler handler, void *object, int period, int number);
void kxtimer_remove(void *object, int number);
void kxtimer_setperiod(int period, void *object, int number);
void kxtimer_create(kxTimer *t, int period);
void kxtimer_destroy(kxTimer *t);
// Starts a created (or destroyed) timer anew with its id: it fires period ms
// from now and every period after.  A punctual timer, one that ends a wait
// the user watches, never waits to share the wake-up of another.
void kxtimer_restart(kxTimer *t, int period, bool punctual);
// Delivers counted ticks, at most KX_TICKS_PER_PUMP per call.
void kxtimer_deliver();
// Slots in use and the ticks not yet delivered.
int kxtimer_count();
int kxtimer_pending();
// Ticks after the last delivered one at which a waiting pump is woken for a
// timer; -1 with no timer.
int kxtimer_wakeafter();

// The base tick: tick is called once per delivered tick.
void kxtick_start(void (*tick)(), int ticks_per_second);
void kxtick_stop();
// Counts ticks as the host's timer thread does.
void kxtick_count(int ticks);
