// The attribute keys of the core's records: button, view and window.
#pragma once

constexpr int KX_CFG_HOTKEY_NONE = 0;

struct kxbtnattr {
    bool arrow = false, smallarrow = false, bigarrow = false;
    bool flat = false, isdefault = false, mouserepeat = false, thinframe = false;
    bool hyperlink = false, keeppressed = false, toolbutton = false;
    bool pressed = false;  // "pressed", "checked", "on": starts pressed
    int hotkey = KX_CFG_HOTKEY_NONE, hotkeymods = 0;
};
void kxcfgstr_btnattr(char **tokens, int start, kxbtnattr *b);

struct kxscrollbarsattr {
    bool nohorizontal = false, novertical = false;
};
void kxcfgstr_scrollbars(char **tokens, int start, kxscrollbarsattr *s);

// Pixmap type of a type word ("palette", "truecolor", "server", ...), 0 for
// any other word.
int kxcfgstr_pxmaptypeword(const char *word);
// The bare type words; true when one was found.
bool kxcfgstr_pxmaptype(char **tokens, int start, int *type);

struct kxviewattr {
    int pxs = 0, pys = 0;  // content size, 0 = the visible size
    int colors = 0;
    int pxmaptype = 3;     // truecolor
    bool noredraw = false, directdraw = false, nostandardview = false, opengl = false;
    bool nokeyscroll = false, scrollwheelalways = false, autofocus = false;
    bool standardview = false;
};
// View words, pixmap keys and bare type words (scroll bars: kxcfgstr_scrollbars).
void kxcfgstr_view(char **tokens, int start, kxviewattr *v);

struct kxwindowattr {
    bool fullscreen = false, modal = false, popup = false, sysmenu = true, resize = false;
    bool maximized = false, nostandardview = false;
    bool destroyonclose = true, quitonclose = true;  // "noclose", "noquit"
    int maxxs = 0, maxys = 0;                        // from text, 0 = no limit
    bool ownpxmap = false;                           // from text
};
// The window words; text is the whole formatted string, searched without
// case for "maxxs=", "maxys=" and "ownpxmap" (null skips that).  The
// background keys are read with kxcfgstr_bgcolor.
void kxcfgstr_window(char **tokens, int start, const char *text, kxwindowattr *w);

// A bar given without a height takes the standard one of the GUI metrics.
constexpr int KX_CFG_STANDARD_BAR = -1;
struct kxbarsattr {
    int menu = 0, toolbar = 0, statusbar = 0;  // 0 = none
};
void kxcfgstr_bars(char **tokens, int start, kxbarsattr *b);
// "cxs=", "pxs=", ... and "cys=", "pys=", ...: content size of a window.
void kxcfgstr_contentsize(char **tokens, int start, int *cxs, int *cys);
