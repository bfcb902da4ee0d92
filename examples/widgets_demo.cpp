// Shows the input widgets: line inputs, up-down controls, list boxes, combo
// boxes and check boxes, and reports what the user does with them.
//
//   widgets_demo                      run until the window is closed
//   widgets_demo --screenshot f.png   save the window's picture and end
#include <cstdio>
#include <cstring>

#include "core/app.h"
#include "core/event.h"
#include "core/window.h"
#include "graphics/image.h"
#include "platform/platform.h"
#include "widgets/checkbox.h"
#include "widgets/combobox.h"
#include "widgets/lineinput.h"
#include "widgets/listbox.h"
#include "widgets/updown.h"

namespace {

kxWindow win;
kxLineInput name, password, right;
kxUpDownControl port, volts;
kxListBox list;
kxComboBox baud, wide;
kxCheckBox echo, flat, round, boxonly, grey;
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
    } else if (id == echo.ids[0])
        std::printf("Echo: %s\n", echo.is_checked() ? "ein" : "aus");
}

int demo_main()
{
    kxwindow_init(&win);
    kxwindow_create(&win, "Eingabeelemente,x=50%,y=50%,xs=560,ys=330,noresize");
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
    quit.create("Ende,x=10,y=290,xs=80");
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
        report(id);
    }
    kxwindow_close(&win);
    return 0;
}

} // namespace

int main(int argc, char **argv) { return kxapp_start(argc, argv, demo_main); }
