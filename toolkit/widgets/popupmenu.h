// The popup menu: a small modal window listing entries that follows the
// pointer and returns the entry the mouse button was released on.  It runs
// its own event loop, so the caller simply gets the result: the chosen
// entry's number counted from 1, or 0 when the menu was closed without one.
//
// Attribute keys: "entries=" or "menus=" (entries separated by '|'; an entry
// beginning with '-' is a separator), "font=" / "fontid=", and for
// kxmenu_popup "x=" and "y=" (screen position; at the pointer without them).
#pragma once

#include "core/widget.h"

constexpr int KX_MENU_MAX_ENTRIES = 100;
constexpr int KX_MENU_TEXT = 200;  // an entry's text, cut to fit
constexpr int KX_MENU_SEPARATOR = 4;
constexpr int KX_MENU_MINXS = 80;
constexpr int KX_MENU_MINYS = 15;

// Attribute strings hold percent signs, so no printf checking.
int kxmenu_popup(const char *fmt, ...);
// Opens a menu at screen position x, y (either -1: at the pointer) for an
// owner.  Pointer motion outside the menu sends the owner KX_EV_MENU_HIT
// with the pointer's position relative to the menu's top-left corner; a zero
// answer closes the menu with 0.  The chosen entry's text goes into text
// (cut to textsize - 1; "" when nothing was chosen).
int kxmenu_popup_for(kxhandler owner, void *ownerobj, char *text, int textsize, int x, int y,
                     const char *fmt, ...);
// Lets the windows' menu bars open their menus through this module.
void kxmenu_install();
