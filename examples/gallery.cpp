// A gallery of the markup language: one window whose whole content is a
// page of markup, with every kind of text formatting, drawing tag and
// embedded element.
//
//   gallery                      show it (until the window is closed)
//   gallery --screenshot f.png   save the window's picture and end
#include <cstdio>
#include <cstring>

#include "core/app.h"
#include "core/event.h"
#include "core/window.h"
#include "graphics/image.h"
#include "kx9d.h"
#include "markup/guiscript.h"
#include "markup/named.h"
#include "platform/platform.h"

namespace {

const char *page =
    "<center><b>Galerie der Auszeichnungssprache</b><br></center>"
    "Normaler Text, <b>fett</b>, wieder normal; <textcolor=0x0000c0>blau,"
    "<textcolor=0x000000> ein Zeichen <char=*> und farbige <achar=C!><achar=9!><achar=A!>"
    "<textcolor=0x000000>. Lange Zeilen brechen am rechten Rand um, Wort f\xfcr Wort, "
    "so wie dieser Satz, der mit Absicht etwas l\xe4nger ist.<br>"
    "<hline>"
    "<bullet=1>Aufz\xe4hlungspunkt mit <link=lnk,Verweis> darin.<br>"
    "<font=8x16>Schrift 8x16 <b>und fett</b><font=Arial16><br>"
    "<xsave=links><x=60%>rechts gesetzt<xrestore=links><br>"
    "<fillrect=120,12,c0e0ff><xinc=130>gef\xfclltes Rechteck<br><br>"
    "<button=btKnopf,Knopf,xs=80><xinc=10><switchbutton=swSchalter,Schalter,xs=90>"
    "<xinc=10><checkbox=cbHaken,Haken,checked><xinc=10><lineinput=liText,xs=120,default=Text>"
    "<xinc=10><updowncontrol=udZahl,xs=60,min=0,max=99,start=42><br><br>"
    "<combobox=cbAuswahl,xs=100,entries=eins|zwei|drei><xinc=10>"
    "<slide=slRegler,xs=134,def=50><xinc=10><progressbar=pbFortschritt,xs=150,ys=16><br><br>"
    "<tabbar=tbReiter,tabs=Erster|Zweiter|Dritter,xs=300>"
    "<listbox=lbListe,xs=200,ys=60,entries=Zeile 1|Zeile 2|Zeile 3|Zeile 4|Zeile 5>"
    "<yinc=8><editor=edNotiz,lines=3,columns=40><yinc=4>"
    "<table=tab,3dframe>Name#bold,Wert#bold center\n-,-\nBaudrate,9600\nEcho,#bool\n"
    "Port,#edit\n</table><yinc=6>"
    "<terminal=term,lines=3,xs=400>"
    "<image=fehlt.bmp>";

const char *screenshot_file()
{
    char **argv = kxapp_argv();
    for (int i = 1; argv[i]; i++)
        if (std::strcmp(argv[i], "--screenshot") == 0)
            return argv[i + 1];
    return nullptr;
}

int gallery_main()
{
    static kxWindow win;
    static kxGUIScript gui;
    kxwindow_init(&win);
    kxwindow_create(&win, "Galerie,x=50%,y=50%,xs=640,ys=700,bgcolor=white");
    kxgui_init(&gui);
    kxgui_setcontent(&gui, "%s", page);
    kxgui_setint(&gui, "pbFortschritt", 60);
    kxgui_settext(&gui, "edNotiz", "Ein Editor mit drei Zeilen,\n  einger\xfc" "ckt\nund Text.");
    if (kxgui_find(&gui, "term"))
        kxgui_settext(&gui, "term", "Terminal: \x1b[31mrot\x1b[39m, \x1b[34mblau\x1b[39m\n");
    kxsys_pump_all();

    int rc = 0;
    if (const char *file = screenshot_file()) {
        rc = kxpxmap_savetofile(&win.plat.pixmap, "%s", file) ? 0 : 1;
        std::printf(rc ? "gallery: cannot save %s\n" : "gallery: saved %s\n", file);
    } else if (std::strcmp(kxplatform_hostname(), "headless") != 0) {
        while (kxapp_running()) {
            int id = kxevent_wait();
            if (id == win.ids[0])
                break;
        }
    }
    kxgui_destroy(&gui);
    kxwindow_free(&win);
    return rc;
}

} // namespace

int main(int argc, char **argv) { return kxapp_start(argc, argv, gallery_main); }
