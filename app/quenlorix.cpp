// Quenlorix, the serial-line protocol tester: a table of strings to send
// with a "senden" button per row, and a terminal that records all traffic.
// The texts are ISO 8859-1, as everything the toolkit draws.  The settings
// file, the dialog, the session on the port and the views of received
// lines have files of their own.
#include <cstdio>
#include <string>
#include <vector>

#include "base/file.h"
#include "base/id.h"
#include "core/app.h"
#include "core/event.h"
#include "core/language.h"
#include "core/timer.h"
#include "core/window.h"
#include "control.h"
#include "desk.h"
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
#include "tablefile.h"

namespace {

constexpr int ROWS = 14;
constexpr const char *CONFIG = "quenlorix.cfg";
constexpr const char *TABLE = "quenlorix.dbf";
constexpr int QUENLORIX_WINDOW_ICON = 48;
constexpr int QX_TEXT_RIGHT = QX_WINDOW_XS - 20;  // the markup's own right border

kxWindow mainwin;
kxGUIScript content;
qxlayout layout;

std::string main_markup(int scrollback)
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
    // The terminal keeps clear of the table's shadow and its last row.
    m += "</table><yinc=8><terminal=term,lines=10,scrollback=" + std::to_string(scrollback) +
         ",xs=680,logfile=quenlorix.log,logdeferred>"
         "<y=560><save=yFooter><x=565><rightborder=0><font=5x7>Quenlorix mit kx9d";
    return m;
}

void send_row(qxsession *session, kxTable *tab, int row)
{
    static char text[KX_TABLE_TEXT + 1];
    kxtable_getcell(tab, text, 0, row);
    qxsession_send(session, text);
}

// Nobody will answer any more: the table goes where it belongs, else to
// the per-user directory.
bool save_ending(qxtablefile *table, kxTable *tab)
{
    qxsavefailure f;
    if (!qxtable_save(table, tab, &f))
        qxtable_rescue(*table, tab);
    return true;
}

// Saves the table when the main window closes.  A failed save is shown with
// its reason, and the window stays open so that the user can make room and
// close again; the close after that ends the program whatever the save
// gives.  An end from outside (or a lost display) asks nobody: a table that
// cannot be saved is rescued.  True when the program may end.
bool save_at_close(qxtablefile *table, kxTable *tab, bool *told)
{
    if (kxapp_ending() || !kxapp_running())
        return save_ending(table, tab);
    qxsavefailure f;
    if (qxtable_save(table, tab, &f) || *told)
        return true;
    *told = true;
    kxmsgbox("Die Tabelle konnte nicht gespeichert werden.\n\nDatei: %s\nGrund: %s\n\n"
             "Bitte Platz schaffen oder Schreibrechte geben und das Fenster noch einmal "
             "schlie\xdf" "en. Schl\xe4gt das Speichern dann wieder fehl, endet das Programm "
             "ohne zu speichern.",
             f.file.c_str(), f.reason.c_str());
    // The end asked for while the box was open closed it, and the window's
    // close with it.
    if (kxapp_ending())
        return save_ending(table, tab);
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
    kxgui_setcontent(&content, "<rightborderpos=%d>%s", QX_TEXT_RIGHT, main_markup(settings.scrollback).c_str());
    auto *term = static_cast<kxTerminal *>(kxgui_find(&content, "term"));
    auto *tab = static_cast<kxTable *>(kxgui_find(&content, "tab"));
    if (!term || !tab) {
        std::printf("quenlorix: the main window has no table or terminal\n");
        cleanup();
        return 1;
    }
    qxlayout_init(&layout, &mainwin, term);
    qxlayout_fit(&layout, &mainwin, term, mainwin.contentxs, mainwin.contentys);
    qxtablefile table = qxtable_load(tab, TABLE);
    const std::vector<std::string> rescued = qxrescue_notices();

    const int close_id = mainwin.ids[KX_ID_MAIN];
    if (!qxdialog_run(&settings, CONFIG, close_id)) {
        cleanup();
        return 0;
    }

    // Only a session that really starts keeps the earlier logs and begins its own.
    kxterm_setutf8log(term, settings.utf8);  // one encoding for the whole log
    kxterm_startlog(term);
    qxsession session;
    qxsession_start(&session, term, settings);
    if (const std::string n = qxtable_notice(table); !n.empty())
        kxterm_notice(term, n.c_str());
    for (const std::string &n : rescued)
        kxterm_notice(term, n.c_str());
    if (!rescued.empty())
        qxrescue_forget();
    kxtable_focus(tab, 0, 1);  // typing goes to row 1's string at once
    kxport_settimeout(1);
    qxcontrol control;
    qxcontrol_start(&control, &session, &mainwin, &content, term, CONFIG, close_id);
    kxTimer timer;
    kxtimer_create(&timer, QX_TIMER_MS);
    qxdesk desk;  // periodic rows and answers
    qxdesk_start(&desk, &session, tab, &session.settings, CONFIG, close_id);
    // Posted when a batch of lines was cut: not the timer's id, which tells
    // the session that a frame's time has passed.
    const int more = kxid_new();
    bool saved = false, told = false;
    while (!saved && kxapp_running()) {
        // An end from outside whose close a message box took.
        if (kxapp_ending() && !kxevent_pending())
            break;
        int id = kxevent_wait();
        // The program's own ids, ten a second when idle, are no row's.
        const bool own = id == timer.id || id == more || id == kxport_arrivalid() ||
                         id == session.pause.id || qxdesk_event(&desk, id);
        for (int r = 1; !own && r <= ROWS; r++)
            if (kxtable_rowevent(tab, id, r) == 2)
                send_row(&session, tab, r);
        // The settings and the control lines, by key and popup menu.
        if (!own)
            qxcontrol_event(&control, id);
        if (id == close_id) {
            saved = save_at_close(&table, tab, &told);
            continue;
        }
        if (id == mainwin.resize_id) {
            qxlayout_fit(&layout, &mainwin, term, mainwin.contentxs, mainwin.contentys);
            qxcontrol_tick(&control);  // the port's state at the footer's new place
        }
        // More lines waiting: come back at once, after what else is queued.
        if (qxsession_poll(&session))
            kxevent_post(more);
        if (id == timer.id)
            qxcontrol_tick(&control);
        qxsession_draw(&session, &timer, id == timer.id);
    }
    qxdesk_stop(&desk);
    if (!saved)  // ended another way than by its window
        save_at_close(&table, tab, &told);
    remember_size(&session.settings);
    qxsession_end(&session);  // a line shown in part, or not yet, is logged whole
    kxtimer_destroy(&timer);
    cleanup();
    return 0;
}
