// kxsys_wake as a file descriptor, readable after a wake-up, and the time a
// host may wait before the next due timer: a host waiting for its input
// wakes for due timers too.
#pragma once

// The read end; -1 before the base tick has been started.
int kxposix_wakefd();
// Reads away the wake-ups that have come.
void kxposix_drain_wakefd();
// How long a host may wait, at most ms (all of it when ms is negative): up
// to the period at which the base tick wants its next call.
int kxposix_wait_ms(int ms);
