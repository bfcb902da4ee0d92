// What every host provides for child processes.  The shared front
// (platform/process.cpp) keeps the slot table and the order of delivery;
// the host keeps, per slot, the child and its three pipes.
#pragma once

#include <cstddef>

enum : int { KX_CHILD_STDOUT = 1, KX_CHILD_STDERR = 2 };

// Starts cmdline in slot with its standard streams on pipes; false (and the
// slot left empty) when it could not be started.
bool kxchild_start(int slot, const char *cmdline, bool hidden);
// Reads what waits on one of the child's output pipes into buf, without
// blocking; the count read, 0 when nothing was waiting.
int kxchild_read(int slot, int stream, char *buf, int cap);
// Writes length bytes to the child's standard input, waiting up to wait_ms
// for the child to take them; false when not all of them went.
bool kxchild_write(int slot, const char *text, std::size_t length, int wait_ms);
// True once the child has ended, with its exit code.
bool kxchild_ended(int slot, int *code);
// Closes what the slot holds of an ended child.
void kxchild_release(int slot);
