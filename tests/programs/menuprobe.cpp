// A window with a menu bar and an editor on a real X server.  It prints
// where its parts are, then after every event what happened, so that a test
// driving it with xdotool can follow:
//   "window <id>", "titles <x0> <xs0> <x1> <xs1> <menu height> <entry height>",
//   "editor <x> <y> <cell width> <cell height>" (client coordinates),
//   "open <title index>" when a menu of the bar opens,
//   "menu <title>|<entry>" when an entry was chosen, "text <hex bytes>".
#include <cstdio>
#include <string>

#include "core/event.h"
#include "core/window.h"
#include "graphics/font.h"
#include "kx9d.h"
#include "widgets/editor.h"
#include "widgets/popupmenu.h"

namespace {

std::string hex(const std::string &s)
{
    std::string out;
    char b[4];
    for (unsigned char c : s) {
        std::snprintf(b, sizeof b, "%s%02x", out.empty() ? "" : " ", c);
        out += b;
    }
    return out;
}

// The bar's own popup, announced first so that the test knows to look.
int announced_popup(kxWindow *w, int x, int y, const char *attr, char *entry, int entrysize)
{
    std::printf("open %d\n", w->openmenu);
    std::fflush(stdout);
    return kxmenu_popup_for(kxwindow_handler, w, entry, entrysize, x, y, "%s", attr);
}

int probe_main()
{
    auto *win = new kxWindow;
    auto *ed = new kxEdit;
    kxwindow_init(win);
    kxwindow_create(win, "menuprobe,x=0,y=0,xs=400,ys=250,bgcolor=white,menu");
    kxwindow_setmenupopup(announced_popup);
    kxwindow_addmenu(win, "Datei", "Neu|Oeffnen|-|Ende");
    kxwindow_addmenu(win, "Bearbeiten", "Kopieren|Einfuegen");
    ed->create("x=10,y=10,lines=5,columns=30");
    std::printf("window %lu\n", static_cast<unsigned long>(win->plat.handle));
    const kxMenuTitle &t0 = win->menus[0], &t1 = win->menus[1];
    std::printf("titles %d %d %d %d %d %d\n", t0.x, t0.button.geom.xs, t1.x, t1.button.geom.xs,
                win->menuh, kxfont_height(win->menufont) + 8);
    std::printf("editor %d %d %d %d\n", ed->geom.x, win->menuh + win->toolh + ed->geom.y,
                ed->cellw, ed->cellh);
    std::fflush(stdout);
    std::string last = ed->get_text();
    while (kxapp_running()) {
        int id = kxevent_wait();
        if (id == 0 || id == win->ids[KX_ID_MAIN])
            break;
        if (id == win->menu_id)
            std::printf("menu %s|%s\n", win->lasttitle, win->lastentry);
        std::string text = ed->get_text();
        if (text != last)
            std::printf("text %s\n", hex(text).c_str());
        last = text;
        std::fflush(stdout);
    }
    return 0;
}

} // namespace

int main(int argc, char **argv) { return kxapp_start(argc, argv, probe_main); }
