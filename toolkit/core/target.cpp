#include "core/target.h"

#include <array>
#include <cstdint>
#include <cstdio>

#include "graphics/colours.h"

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

void kxbuild_begin() { building = true; }
void kxbuild_end() { building = false; }
bool kxbuild_active() { return building; }
