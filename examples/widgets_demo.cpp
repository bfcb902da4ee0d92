// Shows the input widgets: line inputs, up-down controls, list boxes, combo
// boxes, check boxes, an editor, a slide, a progress bar, a switch button, a
// tab bar and a menu bar, and reports what the user does with them.
//
//   widgets_demo                      run until the window is closed
//   widgets_demo --screenshot f.png   save the window's picture and end
#include <cstdio>
#include <cstring>

#include "core/app.h"
#include "core/event.h"
#include "core/language.h"
#include "core/window.h"
#include "graphics/image.h"
#include "kx9d.h"
#include "platform/platform.h"
#include "widgets/checkbox.h"
#include "widgets/combobox.h"
#include "widgets/editor.h"
#include "widgets/lineinput.h"
#include "widgets/listbox.h"
#include "widgets/progressbar.h"
#include "widgets/slide.h"
#include "widgets/switchbutton.h"
#include "widgets/tabbar.h"
#include "widgets/updown.h"

namespace {

kxWindow win;
kxLineInput name, password, right;
kxUpDownControl port, volts;
kxListBox list;
kxComboBox baud, wide;
kxCheckBox echo, flat, round, boxonly, grey;
kxEdit notes;
kxSlide level;
kxProgressBar done;
kxSwitchButton send;
kxTabBar pages;
kxButton quit;

const char *screenshot_file()
{
    char **argv = kxapp_argv();
    for (int i = 1; argv[i]; i++)
        if (std::strcmp(argv[i], "--screenshot") == 0)
            return argv[i + 1];
    return nullptr;
}

void report(int id)
{
    char text[KX_COMBO_ENTRY];
    if (id == name.ids[0])
        std::printf("Name: %s\n", name.get_text());
    else if (id == port.ids[0])
        std::printf("Port: %s\n", port.get_text());
    else if (id == volts.ids[0])
        std::printf("Spannung: %s V\n", volts.get_text());
    else if (id == baud.ids[0]) {
        baud.selected_text(text, sizeof text);
        std::printf("Baudrate: %s\n", text);
    } else if (id == list.ids[0] || id == list.ids[KX_ID_CHANGE]) {
        list.selected_text(text, sizeof text);
        std::printf("Liste: %s\n", text);
    } else if (id == echo.ids[0]) {
        std::printf("Echo: %s\n", echo.is_checked() ? "ein" : "aus");
    } else if (id == level.ids[0]) {
        // The progress bar follows the slide.
        done.set_value(static_cast<int>(level.get_value()));
        std::printf("Pegel: %.0f %%\n", level.get_value());
    } else if (id == send.ids[0]) {
        std::printf("Senden: %s\n", send.is_on() ? "ein" : "aus");
    } else if (id == pages.ids[0]) {
        std::printf("Reiter: %d\n", pages.selected_index());
    } else if (id == notes.ids[KX_ID_CHANGE] || id == notes.ids[0]) {
        std::printf("Notizen: %zu Zeichen\n", notes.get_text().size());
    } else if (id == win.menu_id) {
        std::printf("Men\xfc: %s / %s\n", win.lasttitle, win.lastentry);
    }
}

int demo_main()
{
    // The demonstration speaks German, the editor's context menu too.
    kxlanguage_set(KX_LANG_GERMAN);
    kxwindow_init(&win);
    kxwindow_create(&win, "Eingabeelemente,x=50%,y=50%,xs=620,ys=470,noresize,menu");
    kxwindow_addmenu(&win, "Datei", "Neu|\xd6" "ffnen|-|Ende");
    kxwindow_addmenu(&win, "Bearbeiten", "Ausschneiden|Kopieren|Einf\xfcgen");
    kxwindow_addmenu(&win, "Hilfe", "\xdc" "ber");
    name.create("x=10,y=10,xs=200,default=Gr\xfc\xdf" "e");
    password.create("x=10,y=40,xs=200,password,default=geheim");
    right.create("x=10,y=70,xs=200,align=right,keepfocus,default=rechtsb\xfc" "ndig");
    port.create("x=10,y=110,min=1,max=255,start=1");
    volts.create("x=10,y=140,decimal=2,step=5,start=330,min=0,max=1200");
    list.create("x=230,y=10,xs=150,ys=120,markedlines,entries=Senden|Empfangen|Protokoll|"
                "Einstellungen|Hilfe|\xdc" "ber|Ende|Zeile 8|Zeile 9|Zeile 10");
    baud.create("x=400,y=10,xs=140,entries=300|1200|2400|9600|19200|57600|115200,start=3");
    wide.create("x=400,y=40,xs=80,entries=kurz|eine sehr lange Auswahl|mittel");
    echo.create("Echo,x=230,y=150,checked");
    flat.create("Flach,x=230,y=175,2d");
    round.create("Rund,x=230,y=200,round,checked");
    boxonly.create(",x=320,y=150,xs=30,boxonly,checked");
    grey.create("Grau,x=320,y=175,grey,checked");
    notes.create("x=10,y=240,lines=6,columns=40,autoindent");
    notes.set_text("Notizen zum Versuch:\n  Port COM1, 9600 Baud\n  Echo ein\n\n"
                   "Das Kontextmen\xfc liegt auf der rechten Taste.");
    level.create("x=300,y=240,xs=134,def=60,showpos");
    done.create("x=300,y=275,xs=200,ys=16");
    done.set_value(60);
    send.create("Senden,x=300,y=305,xs=90");
    pages.create("x=300,y=345,xs=300,tabs=Eins|Zwei|Drei");
    quit.create("Ende,x=10,y=390,xs=80");
    kxsys_pump_all();

    if (const char *file = screenshot_file()) {
        bool ok = kxpxmap_savetofile(&win.plat.pixmap, "%s", file);
        std::printf(ok ? "widgets_demo: saved %s\n" : "widgets_demo: cannot save %s\n", file);
        kxwindow_close(&win);
        return ok ? 0 : 1;
    }
    // Nobody types on the headless host: show the window once and end.
    if (std::strcmp(kxplatform_hostname(), "headless") == 0) {
        std::printf("widgets_demo: headless, nothing to wait for\n");
        kxwindow_close(&win);
        return 0;
    }
    for (;;) {
        int id = kxevent_wait();
        if (id == win.ids[0] || id == quit.ids[0] || kxapp_windows_open() == 0)
            break;
        if (id == win.menu_id && std::strcmp(win.lastentry, "Ende") == 0)
            break;
        report(id);
    }
    kxwindow_close(&win);
    return 0;
}

} // namespace

int main(int argc, char **argv) { return kxapp_start(argc, argv, demo_main); }
