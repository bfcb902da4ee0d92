// Laying out the tester's main-window page from scratch: the table with 28
// line inputs and 14 buttons, and the terminal.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>

#include "core/window.h"
#include "kx9d.h"
#include "markup/guiscript.h"

namespace {

std::string page()
{
    std::string m = "<b>Quenlorix</b> dient zum Testen von Kommunikationsprotokollen.<br><br>"
                    "<table=tab,3dframe>zu sendender String#bold width=400,Kommentar#bold "
                    "width=220, \n-,-,-\n";
    for (int r = 0; r < 14; r++)
        m += "#edit,#edit,senden#button\n";
    m += "</table><terminal=term,lines=10,scrollback=500,xs=680>"
         "<y=560><x=565><rightborder=0><font=5x7>Fu\xdfzeile";
    return m;
}

void BM_MainWindowMarkup(benchmark::State &state)
{
    setenv("KX_HOST", "headless", 1);
    kxapp_init();
    auto *win = new kxWindow;
    auto *gui = new kxGUIScript;
    kxwindow_init(win);
    kxwindow_create(win, "bench,x=0,y=0,xs=700,ys=570,bgcolor=white");
    kxgui_init(gui);
    const std::string m = page();
    for (auto _ : state)
        kxgui_setcontent(gui, "%s", m.c_str());
    kxgui_destroy(gui);
    kxwindow_free(win);
    delete gui;
    delete win;
    state.SetLabel("whole page, 42 widgets and a terminal");
}
BENCHMARK(BM_MainWindowMarkup);

} // namespace
