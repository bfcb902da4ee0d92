#include "core/event.h"

#include <algorithm>
#include <array>
#include <cstdint>

#include "core/app.h"
#include "core/target.h"
#include "core/timer.h"
#include "platform/platform.h"

namespace {

// The longest a pump sleeps when nothing wakes it.
constexpr int IDLE_WAIT_MS = 100;

struct Queue {
    std::array<int, KX_QUEUE_SIZE> ids{};
    int count = 0, read = 0, write = 0;
    bool ready = false;
};

Queue queue;
std::uint8_t running = 1;
std::uint8_t loop_entered = 0;
std::uint8_t started = 0;
std::uint8_t modal = 0;
int f12_presses = 0;

kxpumphook timer_hook = nullptr;
kxpumphook device_hook = nullptr;
kxpumphook info_hook = nullptr;

void queue_init()
{
    if (queue.ready)
        return;
    queue = Queue{};
    queue.ready = true;
    started = 1;
}

int queue_take()
{
    int id = queue.ids[queue.read];
    queue.read = (queue.read + 1) % KX_QUEUE_SIZE;
    queue.count--;
    return id;
}

// The first wait or run paints every window built so far.
void first_show()
{
    if (started)
        return;
    started = 1;
    kxtarget_broadcast_show();
}

// Five F12 presses in a row open the information box; key releases and
// widget ids (all above F12) do not break the row, any lower key does.
void count_f12(int id)
{
    if (id > KX_KEY_F12)
        return;
    if (id < KX_KEY_F12) {
        f12_presses = 0;
        return;
    }
    if (f12_presses == KX_INFOBOX_PRESSES - 1) {
        f12_presses = 0;
        if (info_hook)
            info_hook();
        return;
    }
    f12_presses++;
}

void pump_hooks()
{
    if (timer_hook)
        timer_hook();
    kxprocess_poll();
    if (device_hook)
        device_hook();
}

} // namespace

void kxevent_post(int id)
{
    queue_init();
    if (queue.count >= KX_QUEUE_SIZE)
        return;
    queue.ids[queue.write] = id;
    queue.write = (queue.write + 1) % KX_QUEUE_SIZE;
    queue.count++;
    count_f12(id);
}

int kxevent_wait()
{
    first_show();
    queue_init();
    loop_entered = 1;
    while (running) {
        if (queue.count == 0)
            kxsys_pump();
        if (queue.count == 0)
            continue;
        return queue_take();
    }
    return 0;
}

int kxevent_poll()
{
    first_show();
    queue_init();
    loop_entered = 1;
    kxsys_pump_all();
    return queue.count ? queue_take() : 0;
}

int kxevent_wait_for(int count, const int *ids)
{
    modal = 1;
    queue_init();
    std::array<int, KX_WAIT_FOR_MAX> wanted{};
    int n = std::clamp(count, 0, KX_WAIT_FOR_MAX);
    if (ids)
        std::copy_n(ids, n, wanted.begin());
    else
        n = 0;
    int result = 0;
    while (running && !result) {
        if (queue.count == 0) {
            kxsys_pump();
            continue;
        }
        int id = queue_take();
        if (std::find(wanted.begin(), wanted.begin() + n, id) != wanted.begin() + n)
            result = id;
    }
    modal = 0;
    return result;
}

int kxevent_wait_for(std::initializer_list<int> ids)
{
    return kxevent_wait_for(static_cast<int>(ids.size()), ids.begin());
}

void kxevent_run()
{
    first_show();
    queue_init();
    while (running) {
        kxsys_pump();
        kxevent_poll();
    }
}

int kxevent_pending() { return queue.count != 0; }
int kxevent_has_room() { return queue.count <= KX_QUEUE_ROOM; }
int kxevent_count() { return queue.count; }

int kxapp_running() { return running; }
bool kxapp_ending() { return kxhost_ended(); }
bool kxapp_loop_entered() { return loop_entered; }
bool kxapp_started() { return started; }
bool kxapp_modal() { return modal; }
void kxapp_setmodal(bool on) { modal = on; }

void kxapp_quit()
{
    running = 0;
    if (loop_entered)
        return;
    // Nobody is waiting yet, so nobody would notice the cleared flag.
    kxapp_exit(0, true);
}

// One pump cycle.  It also returns once the running flag is cleared, so that
// a quit from a timer or child handler never leaves the wait spinning.
void kxsys_pump()
{
    for (;;) {
        pump_hooks();
        if (queue.count || !running)
            return;
        if (kxhost_dispatch())
            return;
        if (queue.count)
            return;
        // The display went away and its windows were told to close: nothing
        // will ever come again, so the program ends rather than waits.
        if (kxhost_lost()) {
            kxapp_quit();
            return;
        }
        // Input or a due timer ends the wait; children are polled each tick.
        kxhost_wait(kxprocess_running() ? KX_TICK_MS : IDLE_WAIT_MS);
        if (queue.count || !running)
            return;
    }
}

void kxsys_pump_all()
{
    pump_hooks();
    while (kxhost_dispatch()) {
    }
}

void kxsys_idle()
{
    kxsys_pump_all();
    kxhost_wait(10);
}

void kxevent_settimerhook(kxpumphook hook) { timer_hook = hook; }
void kxevent_setdevicehook(kxpumphook hook) { device_hook = hook; }
void kxevent_setinfohook(kxpumphook hook) { info_hook = hook; }
