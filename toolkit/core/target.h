// The output-target list: every window and standard view, and which of them
// new widgets join.  Also the building flag that holds back screen copies
// while a page is laid out.
#pragma once

#include "core/widget.h"

constexpr int KX_MAX_TARGETS = 99;

struct kxtarget {
    kxhandler handler = nullptr;
    void *object = nullptr;
    kxpxmap *pixmap = nullptr;
    int bgcolor = -1;
};

// Enters or updates the object's entry and makes it current.  A bgcolor of -1
// stands for the standard grey.
void kxtarget_register(kxpxmap *pixmap, kxhandler handler, void *object, int bgcolor,
                       bool broadcast);
void kxtarget_unregister(void *object);
// The current output target; false (and an empty record) when there is none.
bool kxtarget_current(kxtarget *out);
void kxtarget_save();
void kxtarget_restore();
// Sends KX_REQ_SHOW to every window in the list.
void kxtarget_broadcast_show();

void kxbuild_begin();
void kxbuild_end();
bool kxbuild_active();
