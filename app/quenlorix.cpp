// Quenlorix, the serial-line protocol tester: a table of strings to send
// with a "senden" button per row, and a terminal that records all traffic.
// The texts are ISO 8859-1, as everything the toolkit draws.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "core/app.h"
#include "core/event.h"
#include "core/file.h"
#include "core/msgbox.h"
#include "core/target.h"
#include "core/timer.h"
#include "core/window.h"
#include "io/port.h"
#include "io/terminal.h"
#include "core/view.h"
#include "markup/guiscript.h"
#include "markup/named.h"
#include "markup/table.h"
#include "quenlorix.h"

namespace {

constexpr int ROWS = 14;
constexpr int LINE = 256;  // the longest piece of a received line shown at once
constexpr const char *CONFIG = "quenlorix.cfg";
constexpr const char *TABLE = "quenlorix.dbf";

kxWindow mainwin;
kxGUIScript content;

std::string main_markup()
{
    std::string m =
        "<b>Quenlorix</b> dient zum Testen von Kommunikationsprotokollen \xfc"
        "ber eine serielle Schnittstelle. Es k\xf6nnen verschiedene Strings eingegeben und "
        "gesendet werden, der gesamte Datenaustausch wird im unteren Fenster "
        "aufgezeichnet.<br>"
        "Strings und Kommentare sind editierbar, die Eintr\xe4ge werden beim Beenden des "
        "Programmes gespeichert.<br><br>"
        "<table=tab,3dframe>zu sendender String#bold width=400,Kommentar#bold width=220, \n"
        "-,-,-\n";
    for (int r = 0; r < ROWS; r++)
        m += "#edit,#edit,senden#button\n";
    m += "</table>"
         "<terminal=term,lines=10,scrollback=500,xs=680,logfile=quenlorix.log>"
         "<y=560><x=565><rightborder=0><font=5x7>Quenlorix mit kx9d";
    return m;
}

const char *dialog_markup =
    "Die Schnittstelle ist immer mit 8 Datenbits, einem Start- und einen Stopp-Bit sowie "
    "ohne Parit\xe4t konfiguriert.<br><br><br>"
    "COM-Port: <x=200><updowncontrol=udPort,xs=80,min=1,max=255><br><br>"
    "Baudrate:<x=200><combobox=cbBaud,xs=80,entries=300|1200|2400|9600|19200|57600|115200>"
    "<br><br><br>"
    "<button=btOK,OK,default,x=25%,xs=40%><button=btCancel,Abbrechen,x=75%,xs=40%>";

// The number after the first "key=" in text, or def.
int setting(const char *text, const char *key, int def)
{
    const char *p = std::strstr(text, key);
    return p ? std::atoi(p + std::strlen(key)) : def;
}

void read_settings(int *port, int *baud)
{
    char text[1000];
    if (!kxfile_load(text, sizeof text, CONFIG))
        return;
    *port = setting(text, "port=", *port);
    *baud = setting(text, "baud=", *baud);
}

// The settings dialog, until the port opens.  False when the user cancels
// (or the program ends).
bool settings_dialog(int *port, int *baud)
{
    auto *dialog = new kxWindow;
    auto *script = new kxGUIScript;
    bool opened = false;
    while (!opened) {
        kxwindow_init(dialog);
        kxwindow_create(dialog,
                        "Schnittstelle konfigurieren,x=50%,y=50%,xs=300,ys=200,modal,nosysmenu,"
                        "nosizemenu,noclose,noquit,//bgcolor=white");
        kxgui_init(script);
        kxgui_setcontent(script, "%s", dialog_markup);
        kxgui_setint(script, "udPort", *port);
        char text[32];
        std::snprintf(text, sizeof text, "%d", *baud);
        kxgui_settext(script, "cbBaud", text);

        bool chosen = false;
        while (!chosen && kxapp_running()) {
            int id = kxevent_wait();
            if (kxgui_fired(script, id, "btCancel")) {
                kxgui_destroy(script);
                kxwindow_free(dialog);
                delete script;
                delete dialog;
                return false;
            }
            if (kxgui_fired(script, id, "btOK") || id == KX_KEY_RETURN) {
                *port = kxgui_getint(script, "udPort");
                char baudtext[KX_LINE_MAX + 1] = {};
                if (kxgui_gettext(script, "cbBaud", baudtext, sizeof baudtext))
                    *baud = std::atoi(baudtext);
                kxwindow_close(dialog);
                chosen = true;
            }
        }
        if (!chosen) {  // the program was ended meanwhile
            kxgui_destroy(script);
            kxwindow_free(dialog);
            delete script;
            delete dialog;
            return false;
        }
        char cfg[100];
        std::snprintf(cfg, sizeof cfg, "port=%d   baud=%d\n", *port, *baud);
        kxfile_save(cfg, CONFIG);
        opened = kxport_open(*port, *baud);
        if (!opened)
            kxmsgbox("Fehler beim \xd6""ffnen der Schnittstelle.");
        kxgui_destroy(script);
        kxwindow_free(dialog);
    }
    delete script;
    delete dialog;
    return true;
}

// Shows every complete line that has arrived, so that nothing waits for the
// next event.  Drawing is held over a batch, and a batch is bounded so that
// the window stays responsive; true when it was cut and more lines may be
// waiting.
constexpr int BATCH = 2000;
constexpr int TIMER_MS = 100;
// Received lines are drawn at most this often: a flood costs a few redraws,
// and its last line shows at most this long after it arrived.
constexpr int FRAME_MS = 10;

struct Drawing {
    std::int64_t at = -FRAME_MS;  // when the terminal was last drawn
    bool owed = false;            // lines arrived since
    bool hurried = false;         // the timer runs at FRAME_MS for them
};

bool show_received(kxTerminal *term, Drawing *drawing)
{
    static char line[KX_LINE_MAX + 2];
    int n = 0;
    bool held = false;
    while (n < BATCH && kxport_readline(line, LINE)) {
        n++;
        line[std::strcspn(line, "\r\n")] = 0;
        if (!line[0])
            continue;
        if (!held) {
            kxterm_handler(term, KX_TERM_HOLD, 0, 0, 0, 0, 0, 0, 0, 0);
            held = true;
        }
        kxterm_setcolor(term, 1);
        kxterm_puts(term, line);
        kxterm_puts(term, "\n");
    }
    if (held) {
        kxterm_handler(term, KX_TERM_RESUME, 0, 0, 0, 0, 0, 0, 0, 0);
        drawing->owed = true;
    }
    return n >= BATCH;
}

// Draws what arrived, unless the last drawing is younger than FRAME_MS:
// then the timer comes back after FRAME_MS for it.
void draw_received(kxTerminal *term, kxTimer *timer, Drawing *drawing)
{
    if (!drawing->owed)
        return;
    std::int64_t now = kxsys_ticks();
    bool soon = now - drawing->at < FRAME_MS;
    if (soon != drawing->hurried) {
        kxtimer_setperiod(soon ? FRAME_MS : TIMER_MS, timer, 0);
        drawing->hurried = soon;
    }
    if (soon)
        return;
    kxterm_handler(term, KX_DRAW_REFRESH, 0, 0, 0, 0, 0, 0, 0, 0);
    kxrefresh_cancel(term);  // drawn: the deferred refresh has nothing left
    drawing->at = now;
    drawing->owed = false;
}

void send_row(kxTable *tab, kxTerminal *term, int row)
{
    static char text[KX_TABLE_TEXT + 1];
    kxtable_getcell(tab, text, 0, row);
    kxterm_setcolor(term, 4);
    kxterm_puts(term, text);
    kxterm_puts(term, "\n");
    kxport_write(text);
    kxport_write("\n");
}

void cleanup()
{
    kxgui_destroy(&content);
    kxwindow_free(&mainwin);
}

} // namespace

int quenlorix_main()
{
    kxapp_atclose(cleanup);
    kxwindow_init(&mainwin);
    kxwindow_create(&mainwin, "Quenlorix,x=50%,y=50%,xs=700,ys=570,bgcolor=white,noquit");
    kxgui_init(&content);
    kxgui_setcontent(&content, "%s", main_markup().c_str());
    auto *term = static_cast<kxTerminal *>(kxgui_find(&content, "term"));
    auto *tab = static_cast<kxTable *>(kxgui_find(&content, "tab"));
    if (!term || !tab) {
        std::printf("quenlorix: the main window has no table or terminal\n");
        cleanup();
        return 1;
    }

    int port = 1, baud = 9600;
    read_settings(&port, &baud);
    kxtable_load(tab, TABLE, 0, 0);

    if (!settings_dialog(&port, &baud)) {
        cleanup();
        return 0;
    }

    kxterm_printf(term, "Serielle Schnittstelle %d ge\xf6""ffnet, Baudrate=%d\n", port, baud);
    kxport_settimeout(1);
    kxTimer timer;
    kxtimer_create(&timer, TIMER_MS);
    Drawing drawing;
    const int close_id = mainwin.ids[KX_ID_MAIN];
    while (kxapp_running()) {
        int id = kxevent_wait();
        for (int r = 1; r <= ROWS; r++)
            if (kxtable_rowevent(tab, id, r) == 2)
                send_row(tab, term, r);
        if (id == close_id)
            break;
        // More lines waiting: come back at once, after what else is queued.
        if (show_received(term, &drawing))
            kxevent_post(timer.id);
        draw_received(term, &timer, &drawing);
    }
    kxtable_save(tab, TABLE, 0, 0);
    kxtimer_destroy(&timer);
    cleanup();
    return 0;
}
