// Reaching the widgets of a markup page by the names the markup gave them.
// Names are compared exactly; the first element of a supporting type wins.
#pragma once

#include <cstddef>

#include "markup/guiscript.h"

constexpr int KX_GUI_FIRED_NAME = 100;

// The widget of the first element with that name, of any type; null if none.
void *kxgui_find(kxGUIScript *s, const char *name);
// True when the element that owns the event id has this name.
bool kxgui_fired(kxGUIScript *s, int id, const char *name);
// The value as a number; 0 when no element of a supporting type has the name.
int kxgui_getint(kxGUIScript *s, const char *name);
// The text into out (cap bytes, always terminated); false when no element of
// a supporting type has the name.
bool kxgui_gettext(kxGUIScript *s, const char *name, char *out, std::size_t cap);
bool kxgui_settext(kxGUIScript *s, const char *name, const char *text);
bool kxgui_setint(kxGUIScript *s, const char *name, int value);
// Gives the keyboard focus to the widget, as a click would (a line input
// then holds its whole text selected); false when no element with a widget
// has the name or its container refuses.
bool kxgui_focus(kxGUIScript *s, const char *name);
