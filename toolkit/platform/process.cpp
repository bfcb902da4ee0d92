// Child processes, the part every host shares: the slot table, the order in
// which a child's output and exit reach its handler, and the bounded write.
// The host starts children and reaches their pipes (posix/process.cpp,
// win32/win32_process.cpp).
#include <cstring>

#include "platform/child.h"
#include "platform/platform.h"

namespace {

// After the child has ended its pipes hold at most their capacity, unless a
// process it left behind keeps writing: stop draining after this many.
constexpr int CHILD_DRAIN_PIECES = 256;

struct ChildSlot {
    bool in_use = false;
    kxhandler handler = nullptr;
    void *owner = nullptr;
};

ChildSlot children[KX_MAX_CHILDREN];
bool children_running = false;
char piece[KX_CHILD_PIECE + 1];

bool valid_slot(int slot) { return slot >= 0 && slot < KX_MAX_CHILDREN; }

// One piece of output, standard output first; false when none was waiting.
// The handler may start or write to children, so the slot is looked at
// again by the caller.
bool deliver_piece(int slot)
{
    const ChildSlot &c = children[slot];
    int length = kxchild_read(slot, KX_CHILD_STDOUT, piece, KX_CHILD_PIECE);
    if (length == 0)
        length = kxchild_read(slot, KX_CHILD_STDERR, piece, KX_CHILD_PIECE);
    if (length == 0)
        return false;
    piece[length] = 0;
    kxsend(c.handler, c.owner, KX_EV_CHILD_OUTPUT, kxptr(piece));
    return true;
}

void finish(int slot, int code)
{
    // Everything the child wrote before it ended is in the pipes now.
    for (int i = 0; i < CHILD_DRAIN_PIECES && children[slot].in_use && deliver_piece(slot); i++) {
    }
    ChildSlot &c = children[slot];
    if (!c.in_use)
        return;
    kxhandler handler = c.handler;
    void *owner = c.owner;
    kxchild_release(slot);
    c = ChildSlot{};
    kxsend(handler, owner, KX_EV_CHILD_EXIT, code);
}

void poll_slot(int slot)
{
    deliver_piece(slot);
    int code = 0;
    if (children[slot].in_use && kxchild_ended(slot, &code))
        finish(slot, code);
}

} // namespace

int kxprocess_run(kxhandler handler, void *owner, const char *cmdline, bool hidden)
{
    if (!cmdline)
        return -1;
    int slot = 0;
    while (slot < KX_MAX_CHILDREN && children[slot].in_use)
        slot++;
    if (slot == KX_MAX_CHILDREN || !kxchild_start(slot, cmdline, hidden))
        return -1;
    children[slot] = {true, handler, owner};
    children_running = true;
    return slot;
}

bool kxprocess_write(int slot, const char *text)
{
    if (!valid_slot(slot) || !children[slot].in_use || !text)
        return false;
    return kxchild_write(slot, text, std::strlen(text), KX_CHILD_WRITE_WAIT_MS);
}

void kxprocess_detach(int slot)
{
    if (valid_slot(slot) && children[slot].in_use)
        children[slot].handler = nullptr, children[slot].owner = nullptr;
}

void kxprocess_poll()
{
    if (!children_running)
        return;
    children_running = false;
    for (int slot = 0; slot < KX_MAX_CHILDREN; slot++)
        if (children[slot].in_use)
            poll_slot(slot);
    for (const ChildSlot &c : children)
        if (c.in_use)
            children_running = true;
}

int kxprocess_running()
{
    int n = 0;
    for (const ChildSlot &c : children)
        n += c.in_use ? 1 : 0;
    return n;
}
