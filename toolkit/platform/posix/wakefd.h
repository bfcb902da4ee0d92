// What a POSIX host's wait watches besides its own input: kxsys_wake as a
// file descriptor, readable after a wake-up; the time until the next due
// timer; and the open serial devices, read as bytes arrive.
#pragma once

// Makes the pipe behind kxsys_wake (the base tick and the catching of
// signals need it); false when none could be made.
bool kxposix_wakefd_open();
// The read end; -1 before the pipe was made.
int kxposix_wakefd();
// What kxsys_wake does, also while the base tick calls back (which needs no
// wake-up itself, but a signal that comes then does): safe in a signal handler.
void kxposix_wake_now();
// Reads away the wake-ups that have come.
void kxposix_drain_wakefd();
// How long a host may wait, at most ms (all of it when ms is negative): up
// to the period at which the base tick wants its next call.
int kxposix_wait_ms(int ms);

struct pollfd;
// Serial devices a wait watches at most besides its own descriptors.
constexpr int KX_WAIT_SERIAL = 8;
// The serial devices a wait watches as well, up to max of them: the open
// ones, whose bytes are taken as they arrive.  After the wait (also one that
// timed out), kxposix_serial_seen reads the ones that woke it and marks the
// others as known to be empty: true when a reader is to come for what was
// read (kxserial_arrived).
int kxposix_serial_watch(pollfd *fds, int max);
bool kxposix_serial_seen(const pollfd *fds, int count);
// A host's wait: polls its own descriptors fds[0..own) and the serial
// devices (in the room after them, KX_WAIT_SERIAL entries) for up to ms
// (kxposix_wait_ms's), reading the devices that have bytes.  Bytes that no
// reader is to come for now (a trickle) do not end the wait: it goes on for
// what is left of its time, so that they cost a read and not a round of
// the pump.  poll()'s result of the last round.
int kxposix_wait(pollfd *fds, int own, int ms);

// poll() for the hosts' waits, with the descriptors kept registered from
// one wait to the next.  Only POLLIN is asked for.
int kxposix_poll(pollfd *fds, int n, int ms);
// Before a descriptor that a wait may have watched is closed.
void kxposix_poll_forget(int fd);
