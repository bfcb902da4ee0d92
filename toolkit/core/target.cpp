#include "core/target.h"

#include <array>
#include <cstdint>
#include <cstdio>

#include "core/timer.h"
#include "graphics/colours.h"
#include "platform/platform.h"

namespace {

struct Entry {
    std::uint8_t used = 0;
    std::uint8_t broadcast = 0;
    kxtarget target;
};

std::array<Entry, KX_MAX_TARGETS> entries;
int used_count = 0;  // entries ever handed out (the list's length)
int current = -1;
int saved = -1;
bool building = false;

kxdrawtarget drawing, drawing_saved;

struct Refresh {
    kxhandler handler = nullptr;
    void *view = nullptr;
};
std::array<Refresh, KX_MAX_REFRESH> refresh_list;
int refresh_count = 0;
bool refresh_started = false;
int refresh_timer_object;  // its address names the refresh timer

// Every 200 ms the listed views refresh once, however much they drew.
kxarg refresh_tick(void *, int code, kxarg, kxarg, kxarg, kxarg, kxarg, kxarg, kxarg, kxarg)
{
    if (code != KX_EV_TIMER)
        return 0;
    auto list = refresh_list;  // a refresh may schedule or cancel
    int n = refresh_count;
    refresh_list = {};
    refresh_count = 0;
    for (int i = 0; i < n; i++)
        kxsend(list[i].handler, list[i].view, KX_EV_REFRESH);
    return 0;
}

int find(void *object)
{
    for (int i = 0; i < used_count; i++)
        if (entries[i].used && entries[i].target.object == object)
            return i;
    return -1;
}

} // namespace

void kxtarget_register(kxpxmap *pixmap, kxhandler handler, void *object, int bgcolor,
                       bool broadcast)
{
    int i = find(object);
    if (i < 0) {
        for (i = 0; i < used_count && entries[i].used; i++) {
        }
        if (i == KX_MAX_TARGETS) {
            std::printf("kxtarget_register: too many output targets\n");
            return;
        }
        if (i == used_count)
            used_count++;
    }
    Entry &e = entries[i];
    e.used = 1;
    e.broadcast = broadcast;
    e.target = {handler, object, pixmap, bgcolor == -1 ? kxgui_color(0) : bgcolor};
    current = i;
}

// When the current target goes, the nearest earlier one still in use takes
// its place, the first entry included, so a window whose standard view was
// destroyed receives the next widgets itself.
void kxtarget_unregister(void *object)
{
    for (int i = 0; i < used_count; i++) {
        if (!entries[i].used || entries[i].target.object != object)
            continue;
        entries[i] = Entry{};
        if (saved == i)
            saved = -1;
        if (current == i) {
            current = -1;
            for (int j = i - 1; j >= 0; j--)
                if (entries[j].used) {
                    current = j;
                    break;
                }
        }
    }
}

bool kxtarget_current(kxtarget *out)
{
    bool ok = current >= 0 && entries[current].used;
    if (out)
        *out = ok ? entries[current].target : kxtarget{};
    return ok;
}

void kxtarget_save() { saved = current; }

void kxtarget_restore()
{
    if (saved >= 0 && entries[saved].used)
        current = saved;
}

void kxtarget_broadcast_show()
{
    for (int i = 0; i < used_count; i++) {
        Entry e = entries[i];  // a window may unregister itself while showing
        if (e.used && e.broadcast)
            kxsend(e.target.handler, e.target.object, KX_REQ_SHOW);
    }
}

void kxdraw_settarget(kxhandler handler, void *object) { drawing = {handler, object}; }

void kxdraw_cleartarget(void *object)
{
    if (drawing.object == object)
        drawing = {};
    if (drawing_saved.object == object)
        drawing_saved = {};
}

kxdrawtarget kxdraw_current() { return drawing; }
bool kxdraw_hastarget() { return drawing.handler != nullptr; }
void kxdraw_save() { drawing_saved = drawing; }
void kxdraw_restore() { drawing = drawing_saved; }

kxarg kxdraw_command(int code, kxarg a0, kxarg a1, kxarg a2, kxarg a3, kxarg a4, kxarg a5,
                     kxarg a6, kxarg a7)
{
    return kxsend(drawing.handler, drawing.object, code, a0, a1, a2, a3, a4, a5, a6, a7);
}

void kxrefresh_schedule(kxhandler handler, void *view)
{
    if (!refresh_started) {
        refresh_started = true;
        refresh_list = {};
        refresh_count = 0;
        kxtimer_add(refresh_tick, &refresh_timer_object, KX_REFRESH_PERIOD, 0);
    }
    for (int i = 0; i < refresh_count; i++)
        if (refresh_list[i].view == view)
            return;
    if (refresh_count < KX_MAX_REFRESH)
        refresh_list[refresh_count++] = {handler, view};
}

void kxrefresh_cancel(void *view)
{
    int j = 0;
    for (int i = 0; i < refresh_count; i++)
        if (refresh_list[i].view != view)
            refresh_list[j++] = refresh_list[i];
    for (int i = j; i < refresh_count; i++)
        refresh_list[i] = {};
    refresh_count = j;
}

int kxrefresh_count() { return refresh_count; }

// The host holds back its screen copies while a page is built.
void kxbuild_begin()
{
    building = true;
    kxplatwin_hold(true);
}

void kxbuild_end()
{
    building = false;
    kxplatwin_hold(false);
}
bool kxbuild_active() { return building; }
