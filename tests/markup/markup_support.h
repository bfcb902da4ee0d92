// A window on the headless host whose content view receives markup, and the
// application's two pages.
#pragma once

#include <gtest/gtest.h>

#include "core/event.h"
#include "core/window.h"
#include "kx9d.h"
#include "markup/guiscript.h"
#include "support.h"

inline const char *const MAIN_PAGE =
    "<b>Quenlorix</b> dient zum Testen von Kommunikationsprotokollen \xfc" "ber eine serielle "
    "Schnittstelle. Es k\xf6" "nnen verschiedene Strings eingegeben und gesendet werden, der "
    "gesamte Datenaustausch wird im unteren Fenster aufgezeichnet.\n"
    "Strings und Kommentare sind editierbar, die Eintr\xe4" "ge werden beim Beenden des Programmes "
    "gespeichert.\n\n"
    "<table=tab,3dframe>zu sendender String#bold width=400,Kommentar#bold width=220, \n"
    "-,-,-\n"
    "#edit,#edit,senden#button\n#edit,#edit,senden#button\n#edit,#edit,senden#button\n"
    "#edit,#edit,senden#button\n#edit,#edit,senden#button\n#edit,#edit,senden#button\n"
    "#edit,#edit,senden#button\n#edit,#edit,senden#button\n#edit,#edit,senden#button\n"
    "#edit,#edit,senden#button\n#edit,#edit,senden#button\n#edit,#edit,senden#button\n"
    "#edit,#edit,senden#button\n#edit,#edit,senden#button\n</table>"
    "<terminal=term,lines=10,scrollback=500,xs=680,logfile=%s>"
    "<y=560><x=565><rightborder=0><font=5x7>Quenlorix 1.0";

inline const char *const DIALOG_PAGE =
    "Die Schnittstelle ist immer mit 8 Datenbits, einem Start- und einen Stopp-Bit sowie "
    "ohne Parit\xe4" "t konfiguriert.\n\n\n"
    "COM-Port: <x=200><updowncontrol=udPort,xs=80,min=1,max=255>\n\n"
    "Baudrate:<x=200><combobox=cbBaud,xs=80,entries=300|1200|2400|9600|19200|57600|115200>"
    "\n\n\n"
    "<button=btOK,OK,default,x=25%,xs=40%><button=btCancel,Abbrechen,x=75%,xs=40%>";

struct MarkupTest : testing::Test {
    kxWindow *win = new kxWindow;
    kxGUIScript *gui = new kxGUIScript;
    void SetUp() override
    {
        kxtest_headless();
        ASSERT_TRUE(kxapp_init());
        kxwindow_init(win);
        kxgui_init(gui);
    }
    void open(const char *attr = "t,x=0,y=0,xs=700,ys=570,bgcolor=white")
    {
        kxwindow_create(win, "%s", attr);
        kxevent_poll();
    }
    void TearDown() override
    {
        kxgui_destroy(gui);
        delete gui;
        kxwindow_free(win);
        delete win;
    }
    int pixel(int x, int y) { return kxpxmap_getpixel(win->views[0].content, x, y); }
    // Pixels in a rectangle that are not the colour bg.
    int inked(int x0, int y0, int x1, int y1, int bg = 0xFFFFFF)
    {
        int n = 0;
        for (int y = y0; y < y1; y++)
            for (int x = x0; x < x1; x++)
                n += pixel(x, y) != bg;
        return n;
    }
};
