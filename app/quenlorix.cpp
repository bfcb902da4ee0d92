// Quenlorix, the serial-line protocol tester: a table of strings to send
// with a "senden" button per row, and a terminal that records all traffic.
// The texts are ISO 8859-1, as everything the toolkit draws.  The settings
// file, the dialog, the session on the port and the views of received
// lines have files of their own.
#include <cstdio>
#include <string>

#include "base/file.h"
#include "base/id.h"
#include "core/app.h"
#include "core/event.h"
#include "core/language.h"
#include "core/timer.h"
#include "core/window.h"
#include "dialog.h"
#include "icon.h"
#include "layout.h"
#include "io/port.h"
#include "io/terminal.h"
#include "markup/guiscript.h"
#include "markup/named.h"
#include "markup/table.h"
#include "widgets/msgbox.h"
#include "quenlorix.h"
#include "session.h"
#include "settings.h"

namespace {

constexpr int ROWS = 14;
constexpr const char *CONFIG = "quenlorix.cfg";
constexpr const char *TABLE = "quenlorix.dbf";
constexpr int QUENLORIX_WINDOW_ICON = 48;
constexpr int QX_TEXT_RIGHT = QX_WINDOW_XS - 20;  // the markup's own right border

kxWindow mainwin;
kxGUIScript content;
qxlayout layout;

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

void send_row(qxsession *session, kxTable *tab, int row)
{
    static char text[KX_TABLE_TEXT + 1];
    kxtable_getcell(tab, text, 0, row);
    qxsession_send(session, text);
}

// Saves the table when the main window closes.  A failed save is shown with
// its reason, and the window stays open so that the user can make room and
// close again; the close after that ends the program whatever the save
// gives.  True when the program may end.
bool save_at_close(kxTable *tab, bool *told)
{
    if (kxtable_save(tab, TABLE, 0, 0))
        return true;
    const qxsavefailure f = qxsave_failure(TABLE);
    // Once the program is ending (its display is gone) nobody can answer.
    if (*told || !kxapp_running())
        return true;
    *told = true;
    kxmsgbox("Die Tabelle konnte nicht gespeichert werden.\n\nDatei: %s\nGrund: %s\n\n"
             "Bitte Platz schaffen oder Schreibrechte geben und das Fenster noch einmal "
             "schlie\xdf" "en. Schl\xe4gt das Speichern dann wieder fehl, endet das Programm "
             "ohne zu speichern.",
             f.file.c_str(), f.reason.c_str());
    return false;
}

// The windows carry the icon the desktop's menu shows.
void set_icon()
{
    kxpxmap icon;
    if (!quenlorix_drawicon(&icon, QUENLORIX_WINDOW_ICON))
        return;
    kxapp_seticon(&icon);
    kxpxmap_free(&icon);
}

// The window's size for the next start, when it changed.
void remember_size(qxsettings *s)
{
    const int w = mainwin.contentxs, h = mainwin.contentys;
    if (!mainwin.created || w < QX_WINDOW_XS || h < QX_WINDOW_YS ||
        (w == s->width && h == s->height))
        return;
    s->width = w, s->height = h;
    if (!qxsettings_write(*s, CONFIG))
        qxsave_failure(CONFIG);
}

void cleanup()
{
    qxlayout_free(&layout);
    kxgui_destroy(&content);
    kxwindow_free(&mainwin);
}

} // namespace

int quenlorix_main()
{
    kxapp_atclose(cleanup);
    kxlanguage_set(KX_LANG_GERMAN);  // the toolkit's own texts, such as a port's problems
    kxapp_setclass("Quenlorix");
    set_icon();
    qxsettings settings = qxsettings_read(CONFIG);
    qxsettings_bind(settings);
    // The window may grow; its own size is its smallest.
    kxwindow_init(&mainwin);
    kxwindow_create(&mainwin,
                    "Quenlorix,x=50%,y=50%,xs=%d,ys=%d,minxs=%d,minys=%d,bgcolor=white,noquit,"
                    "resize",
                    settings.width, settings.height, QX_WINDOW_XS, QX_WINDOW_YS);
    kxgui_init(&content);
    // The text wraps as in the window's own width, whatever size it has.
    kxgui_setcontent(&content, "<rightborderpos=%d>%s", QX_TEXT_RIGHT, main_markup().c_str());
    auto *term = static_cast<kxTerminal *>(kxgui_find(&content, "term"));
    auto *tab = static_cast<kxTable *>(kxgui_find(&content, "tab"));
    if (!term || !tab) {
        std::printf("quenlorix: the main window has no table or terminal\n");
        cleanup();
        return 1;
    }
    qxlayout_init(&layout, &mainwin, term);
    qxlayout_fit(&layout, &mainwin, term, mainwin.contentxs, mainwin.contentys);
    kxtable_load(tab, TABLE, 0, 0);

    const int close_id = mainwin.ids[KX_ID_MAIN];
    if (!qxdialog_run(&settings, CONFIG, close_id)) {
        cleanup();
        return 0;
    }

    qxsession session;
    qxsession_start(&session, term, settings);
    kxport_settimeout(1);
    kxTimer timer;
    kxtimer_create(&timer, QX_TIMER_MS);
    // Posted when a batch of lines was cut: not the timer's id, which tells
    // the session that a frame's time has passed.
    const int more = kxid_new();
    bool saved = false, told = false;
    while (!saved && kxapp_running()) {
        int id = kxevent_wait();
        // The program's own ids, ten a second when idle, are no row's.
        const bool own = id == timer.id || id == more || id == kxport_arrivalid();
        for (int r = 1; !own && r <= ROWS; r++)
            if (kxtable_rowevent(tab, id, r) == 2)
                send_row(&session, tab, r);
        if (id == close_id) {
            saved = save_at_close(tab, &told);
            continue;
        }
        if (id == mainwin.resize_id)
            qxlayout_fit(&layout, &mainwin, term, mainwin.contentxs, mainwin.contentys);
        // More lines waiting: come back at once, after what else is queued.
        if (qxsession_poll(&session))
            kxevent_post(more);
        qxsession_draw(&session, &timer, id == timer.id);
    }
    if (!saved)  // ended another way than by its window
        save_at_close(tab, &told);
    remember_size(&settings);
    kxtimer_destroy(&timer);
    cleanup();
    return 0;
}
