// The event queue and the main loop: the application waits for integer event
// ids while the pump hands host messages to the windows.
#pragma once

#include <initializer_list>

constexpr int KX_QUEUE_SIZE = 64;
constexpr int KX_WAIT_FOR_MAX = 1000;
constexpr int KX_QUEUE_ROOM = 32;  // has_room holds up to this many queued ids
constexpr int KX_INFOBOX_PRESSES = 5;

void kxevent_post(int id);
int kxevent_wait();
int kxevent_poll();
// Waits for the first queued id that is one of ids[0..count-1] (at most
// KX_WAIT_FOR_MAX are looked at), discarding every other id.
int kxevent_wait_for(int count, const int *ids);
int kxevent_wait_for(std::initializer_list<int> ids);
void kxevent_run();
int kxevent_pending();
int kxevent_has_room();
int kxevent_count();

int kxapp_running();
void kxapp_quit();
// True once the program was asked to end from outside (SIGTERM, SIGHUP,
// SIGINT, a closed console) or lost its display, and every window was told
// to close: a close then ends the program, and a question would wait for
// nobody, so message boxes no longer wait.
bool kxapp_ending();
bool kxapp_loop_entered();
bool kxapp_started();
bool kxapp_modal();
void kxapp_setmodal(bool on);

void kxsys_pump();
void kxsys_pump_all();
void kxsys_idle();

// Work done at the start of every pump cycle besides polling the child
// processes, filled by the modules that need it: delivery of timer ticks and
// news of bytes that arrived on a serial port.
using kxpumphook = void (*)();
void kxevent_settimerhook(kxpumphook hook);
void kxevent_setdevicehook(kxpumphook hook);
// Opens the toolkit's information box (five F12 presses in a row).
void kxevent_setinfohook(kxpumphook hook);
