// The window: a top-level host window whose client area the toolkit draws.
// It owns the window pixmap, an optional menu line, tool bar and status
// strip, and the content view between them, into which everything the
// program creates goes.  The window itself routes host events, copies its
// pixmap to the screen and emits its close id.
#pragma once

#include <array>

#include "core/button.h"
#include "core/statusbar.h"
#include "core/view.h"
#include "core/widget.h"
#include "platform/platform.h"

constexpr int KX_WINDOW_VIEWS = 12;
constexpr int KX_WINDOW_TITLE = 100;  // 99 characters and the end
constexpr int KX_MAX_MENUS = 20;
constexpr int KX_MENU_TITLE = 80;
constexpr int KX_MENU_ENTRIES = 200;

struct kxMenuTitle {
    char title[KX_MENU_TITLE] = {};
    char entries[KX_MENU_ENTRIES] = {};  // separated by '|'
    int x = 0;
    kxButton button;
};

struct kxWindow : kxwidget {
    kxllgui_window plat;
    std::array<kxView, KX_WINDOW_VIEWS> views;
    int current = 0;
    kxView toolbar, menuline;
    kxStatusBar status;

    std::array<kxMenuTitle, KX_MAX_MENUS> menus;
    int menucount = 0;
    int openmenu = -1;
    int chosen = 0;       // entry number counted from 1; 0 none
    int menu_id = 0;      // emitted when an entry was chosen
    int menufont = 0;
    int popx = 0, popy = 0;
    char lasttitle[KX_MENU_TITLE] = {};
    char lastentry[KX_MENU_ENTRIES] = {};
    bool switchmenu = false;
    int switchto = -1;

    int menuh = 0, toolh = 0, statush = 0;
    int maxxs = 0, maxys = 0;
    int contentxs = 0, contentys = 0;  // the content area after the last resize
    int clientxs = 0;
    std::uint8_t quit = 1, destroy = 1, fitted = 0;
    int minimize_id = 0;
    // Emitted with the content area's new width and height whenever the
    // host gives the window another size.
    int resize_id = 0;
    char title[KX_WINDOW_TITLE] = {};
};

void kxwindow_init(kxWindow *w);
// Attribute strings hold percent signs ("x=50%"), so no printf checking.
void kxwindow_create(kxWindow *w, const char *fmt, ...);
void kxwindow_close(kxWindow *w);
void kxwindow_free(kxWindow *w);
void kxwindow_emit(kxWindow *w, int id, kxarg a = 0, kxarg b = 0, kxarg c = 0);
kxarg kxwindow_handler(void *obj, int code, kxarg a0, kxarg a1, kxarg a2, kxarg a3, kxarg a4,
                       kxarg a5, kxarg a6, kxarg a7);
void kxwindow_set_hook(kxWindow *w, kxhook hook, void *hookobj);
// Gives the window another title (cut to KX_WINDOW_TITLE - 1 characters).
void kxwindow_settitle(kxWindow *w, const char *title);
void kxwindow_blit(kxWindow *w, int x, int y, int xs, int ys);
void kxwindow_open_menu(kxWindow *w, int index);

// The menu bar: a title with its '|'-separated entries, placed after the
// titles before it.  False when the bar is full or the window has no menu
// line.
bool kxwindow_addmenu(kxWindow *w, const char *title, const char *entries);
// The status strip's fields: widths in percent, comma-separated.
void kxwindow_statusfields(kxWindow *w, const char *widths);
void kxwindow_statustext(kxWindow *w, int field, const char *text);
void kxwindow_statusprogress(kxWindow *w, int field, int percent);

// The left button is held down in some window.
bool kxwindow_leftheld();

// Opens a popup menu for a window's menu bar: set by the popup-menu module.
// Returns the chosen entry number (0 for none) and writes its text.
using kxmenupopupfn = int (*)(kxWindow *owner, int x, int y, const char *attr, char *entry,
                              int entrysize);
void kxwindow_setmenupopup(kxmenupopupfn fn);
