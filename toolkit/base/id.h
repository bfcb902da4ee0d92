// The program-wide id counter: widget, window, menu, timer and font ids.
#pragma once

// A fresh id from the counter, which starts at KX_FIRST_EVENT_ID; ids are
// never reused.
int kxid_new();
