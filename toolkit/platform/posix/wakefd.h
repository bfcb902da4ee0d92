// kxsys_wake as a file descriptor: readable after a wake-up, so that a host
// waiting for its input wakes for due timers too.
#pragma once

// The read end; -1 before the base tick has been started.
int kxposix_wakefd();
// Reads away the wake-ups that have come.
void kxposix_drain_wakefd();
