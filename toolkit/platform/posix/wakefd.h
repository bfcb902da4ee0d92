// kxsys_wake as a file descriptor: readable after a wake-up, so that a host
// waiting for its input wakes for due timers too.
#pragma once

// Makes the pipe behind kxsys_wake (the base tick and the catching of
// signals need it); false when none could be made.
bool kxposix_wakefd_open();
// The read end; -1 before the pipe was made.
int kxposix_wakefd();
// Reads away the wake-ups that have come.
void kxposix_drain_wakefd();
