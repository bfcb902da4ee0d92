// The element types of markup pages: how each embedded widget is made and
// destroyed, the y it is created at and where the text goes on after it.
#pragma once

#include "core/widget.h"

// Where the position goes after a widget.
enum class kxguiafter { right, below, below_terminal };

struct kxguitype {
    const char *name;
    int ydelta;           // added to the current y when creating
    bool yoffs;           // also adds the attributes' ",yoffs="
    bool nostandardview;  // appended to the attribute string
    bool setsfont;        // new widgets take the current font first
    kxguiafter after;
    // Null when this toolkit has no such widget yet.
    void *(*make)(const char *attributes);
    void (*drop)(void *widget);
};

// The row of an embedded-widget tag name (matched without case), or null.
const kxguitype *kxgui_widgettype(const char *tag);
// Destroys an element's widget by its type name; marks have none.
void kxgui_dropwidget(const char *type, void *widget);
// The common header of an element's widget (null for tables and marks).
kxwidget *kxgui_header(const char *type, void *widget);
