#include "base/id.h"

#include "base/protocol.h"

namespace {
int next_id = KX_FIRST_EVENT_ID;
}

int kxid_new() { return next_id++; }
