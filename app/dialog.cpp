// The settings dialog and its failure message.
#include "dialog.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <memory>

#include "core/event.h"
#include "core/view.h"
#include "core/window.h"
#include "graphics/colours.h"
#include "graphics/font.h"
#include "graphics/text.h"
#include "io/port.h"
#include "io/portline.h"
#include "markup/guiscript.h"
#include "markup/named.h"
#include "platform/platform.h"
#include "widgets/combobox.h"
#include "widgets/msgbox.h"

namespace {

constexpr const char *dialog_attr =
    "Schnittstelle konfigurieren,x=50%,y=50%,xs=390,ys=380,modal,nosysmenu,nosizemenu,noclose,"
    "noquit,//bgcolor=white";

// After the first sentence.  The device line is drawn into the empty line
// below the port number, whose place the mark "yDevice" keeps.  The
// framing's choices are in the order of kxparity and kxflow.
constexpr const char *dialog_fields =
    "COM-Port: <x=200><updowncontrol=udPort,xs=80,min=1,max=255><br><save=yDevice><br><br>"
    "Baudrate:<x=200>"
    "<combobox=cbBaud,xs=80,edit,digitsonly,entries=300|1200|2400|9600|19200|57600|115200>"
    "<br><br>"
    "Datenbits, Parit\xe4t, Stopp-Bits:<x=200><combobox=cbData,xs=36,entries=5|6|7|8>"
    "<x=242><combobox=cbParity,xs=80,entries=keine|ungerade|gerade|Mark|Space>"
    "<x=328><combobox=cbStop,xs=36,entries=1|2><br><br>"
    "Flusskontrolle:<x=200><combobox=cbFlow,xs=100,entries=keine|RTS/CTS|XON/XOFF><br><br>"
    "Beim \xd6""ffnen gesetzt:<x=200><checkbox=chDtr,DTR><x=270><checkbox=chRts,RTS><br><br>"
    "Anzeige:<x=200><combobox=cbShow,xs=80,entries=Text|Hex|beides>"
    "<x=290><checkbox=chStamps,Zeitstempel><br><br>"
    "Zeilenende:<x=200><combobox=cbLineEnd,xs=80,entries=LF|CR|CR LF|keins>"
    "<x=290><checkbox=chEscapes,Notation><br><br><br>"
    "<button=btOK,OK,default,x=25%,xs=40%><button=btCancel,Abbrechen,x=75%,xs=40%>";

constexpr int DEVICE_X = 10, DEVICE_DY = 2;

struct Dialog {
    std::unique_ptr<kxWindow> win = std::make_unique<kxWindow>();
    std::unique_ptr<kxGUIScript> script = std::make_unique<kxGUIScript>();
    int shown_port = -1;  // the port whose device the line shows
    char rate[KX_COMBO_ENTRY] = {};  // the rate as given, for the refusal
};

enum class Answer { ok, cancel, badrate, closed };

// Draws what the port number opens now into the dialog's content; a text
// too wide for the dialog's font (a by-id name is long) in a small one.
void show_device(Dialog *d, int port)
{
    d->shown_port = port;
    kxView *v = &d->win->views[d->win->current];
    if (!v->content)
        return;
    const std::string text = qxdialog_device(port);
    const int w = v->content->width - 2 * DEVICE_X;
    const int font = kxtext_width(v->font, text.c_str()) <= w ? v->font : kxfont_builtin_5x7();
    const int y = kxgui_getint(d->script.get(), "yDevice") + DEVICE_DY;
    const int h = kxfont_height(v->font) + 2;
    kxview_draw(v, KX_DRAW_FILLRECT, DEVICE_X, y, w, h, v->bgcolor, 0, 0, 0);
    kxtext_draw(v->content, font, DEVICE_X, y + 1, kxgui_color(KX_GUI_TEXT), false, false, -1, w,
                -1, text.c_str(), -1, -1);
    kxview_draw(v, KX_DRAW_UPDATE, DEVICE_X, y, w, h, 0, 0, 0, 0);
}

void open_dialog(Dialog *d, const qxsettings &s)
{
    kxwindow_init(d->win.get());
    kxwindow_create(d->win.get(), "%s", dialog_attr);
    kxgui_init(d->script.get());
    kxgui_setcontent(d->script.get(), "%s<br><br><br>%s", qxdialog_sentence(s.line).c_str(),
                     dialog_fields);
    kxgui_setint(d->script.get(), "udPort", s.port);
    kxgui_settext(d->script.get(), "cbBaud", std::to_string(s.baud).c_str());
    kxgui_setint(d->script.get(), "cbData", s.line.databits - KX_SERIAL_DATABITS_MIN);
    kxgui_setint(d->script.get(), "cbParity", static_cast<int>(s.line.parity));
    kxgui_setint(d->script.get(), "cbStop", s.line.stopbits - 1);
    kxgui_setint(d->script.get(), "cbFlow", static_cast<int>(s.line.flow));
    kxgui_setint(d->script.get(), "chDtr", s.line.dtr);
    kxgui_setint(d->script.get(), "chRts", s.line.rts);
    kxgui_setint(d->script.get(), "cbShow", static_cast<int>(s.show));
    kxgui_setint(d->script.get(), "chStamps", s.timestamps);
    kxgui_setint(d->script.get(), "cbLineEnd", static_cast<int>(s.lineend));
    kxgui_setint(d->script.get(), "chEscapes", s.escapes);
    show_device(d, s.port);
    // Typing goes to the port number at once.
    kxgui_focus(d->script.get(), "udPort");
}

void close_dialog(Dialog *d)
{
    kxgui_destroy(d->script.get());
    kxwindow_free(d->win.get());
}

// The typed or chosen rate; 0 when it is no number from 1 up.
int read_baud(const char *text)
{
    errno = 0;
    char *end = nullptr;
    long v = std::strtol(text, &end, 10);
    return errno || end == text || *end || v < 1 || v > INT_MAX ? 0 : static_cast<int>(v);
}

// False when the rate is no number a port could take: the settings keep
// their rate then, and d->rate holds the text given.
bool read_values(Dialog *d, qxsettings *s)
{
    kxGUIScript *script = d->script.get();
    // As the field itself limits a typed number when it loses the focus.
    s->port = std::clamp(kxgui_getint(script, "udPort"), 1, QX_PORT_MAX);
    kxgui_gettext(script, "cbBaud", d->rate, sizeof d->rate);
    const int baud = read_baud(d->rate);
    if (baud)
        s->baud = baud;
    const int show = kxgui_getint(script, "cbShow");
    s->show = show >= 0 && show <= static_cast<int>(qxshow::both) ? static_cast<qxshow>(show)
                                                                 : qxshow::text;
    s->timestamps = kxgui_getint(script, "chStamps") != 0;
    const int end = kxgui_getint(script, "cbLineEnd");
    s->lineend = end >= 0 && end <= static_cast<int>(qxlineend::none) ? static_cast<qxlineend>(end)
                                                                     : qxlineend::lf;
    s->escapes = kxgui_getint(script, "chEscapes") != 0;
    kxserialline &l = s->line;
    l.databits = std::clamp(kxgui_getint(script, "cbData") + KX_SERIAL_DATABITS_MIN,
                            KX_SERIAL_DATABITS_MIN, KX_SERIAL_DATABITS_MAX);
    l.parity = static_cast<kxparity>(std::clamp(kxgui_getint(script, "cbParity"), 0, 4));
    l.stopbits = std::clamp(kxgui_getint(script, "cbStop") + 1, 1, 2);
    l.flow = static_cast<kxflow>(std::clamp(kxgui_getint(script, "cbFlow"), 0, 2));
    l.dtr = kxgui_getint(script, "chDtr") != 0;
    l.rts = kxgui_getint(script, "chRts") != 0;
    return baud != 0;
}

// Waits for OK (or Return) or "Abbrechen" (or Escape); the device line
// follows the port number meanwhile.  Return on a focused button, or in the
// open list of rates, is that widget's and never reaches this loop.  A
// close of the main window (as an end of the session from outside gives)
// cancels.
Answer ask(Dialog *d, qxsettings *s, int main_close)
{
    while (kxapp_running()) {
        int id = kxevent_wait();
        if (id == main_close)
            return Answer::closed;
        if (kxgui_fired(d->script.get(), id, "btCancel") || id == KX_KEY_ESCAPE)
            return Answer::cancel;
        if (kxgui_fired(d->script.get(), id, "btOK") || id == KX_KEY_RETURN) {
            const bool rate = read_values(d, s);
            kxwindow_close(d->win.get());
            return rate ? Answer::ok : Answer::badrate;
        }
        const int port = kxgui_getint(d->script.get(), "udPort");
        if (port != d->shown_port)
            show_device(d, port);
    }
    return Answer::cancel;
}

// Asks until apply takes the settings, and then writes the settings file
// (settings no port took are never saved), or until the user cancels.
Answer run(qxsettings *s, const char *file, int main_close, const qxapply &apply,
           bool *tried = nullptr)
{
    Dialog d;
    for (;;) {
        // An end from outside closes a message box and the windows' closes
        // go with it: the dialog does not come back.
        if (kxapp_ending())
            return Answer::cancel;
        open_dialog(&d, *s);
        const Answer a = ask(&d, s, main_close);
        if (a == Answer::cancel || a == Answer::closed) {
            close_dialog(&d);
            return a;
        }
        bool opened = false;
        if (a == Answer::badrate) {
            kxmsgbox("Die Baudrate \"%s\" ist ung\xfcltig.\nBitte eine ganze Zahl ab 1 angeben.",
                     d.rate);
        } else {
            if (tried)
                *tried = true;
            opened = apply(*s);
            if (!opened) {
                kxmsgbox("Fehler beim \xd6""ffnen der Schnittstelle.\n%s: %s",
                         kxport_device(s->port).c_str(), kxport_problem(s->port).c_str());
            } else if (!qxsettings_write(*s, file)) {
                const qxsavefailure f = qxsave_failure(file);
                kxmsgbox("Die Einstellungen konnten nicht gespeichert werden.\n\nDatei: %s\n"
                         "Grund: %s",
                         f.file.c_str(), f.reason.c_str());
            }
        }
        close_dialog(&d);
        if (opened && !kxapp_ending())
            return Answer::ok;
    }
}

} // namespace

std::string qxdialog_device(int port)
{
    kxserialdevice dev = kxserial_device(port - 1);
    if (!dev.present)
        return "kein Ger\xe4t";
    return dev.byid[0] ? std::string(dev.path) + " = " + dev.byid : std::string(dev.path);
}

std::string qxdialog_sentence(const kxserialline &l)
{
    if (l.databits == 8 && l.parity == kxparity::none && l.stopbits == 1)
        return "Die Schnittstelle ist immer mit 8 Datenbits, einem Start- und einen Stopp-Bit "
               "sowie ohne Parit\xe4t konfiguriert.";
    static constexpr const char *parities[] = {"ohne Parit\xe4t", "ungerader Parit\xe4t",
                                               "gerader Parit\xe4t", "Mark-Parit\xe4t (immer 1)",
                                               "Space-Parit\xe4t (immer 0)"};
    const char *stop = l.stopbits == 1    ? "einem Stopp-Bit"
                       : l.databits == 5 ? "anderthalb Stopp-Bits"
                                         : "zwei Stopp-Bits";
    const int parity = std::clamp(static_cast<int>(l.parity), 0, 4);
    return "Die Schnittstelle ist mit " + std::to_string(l.databits) +
           " Datenbits, einem Start- und " + stop + " sowie " + parities[parity] +
           " konfiguriert.";
}

bool qxdialog_run(qxsettings *s, const char *file, int main_close)
{
    const auto open = [](const qxsettings &n) {
        kxport_setline(n.port, n.line);
        return kxport_open(n.port, n.baud);
    };
    return run(s, file, main_close, open) == Answer::ok;
}

bool qxdialog_change(qxsettings *s, const char *file, int main_close, const qxapply &apply,
                     bool *tried)
{
    qxsettings chosen = *s;
    const Answer a = run(&chosen, file, main_close, apply, tried);
    if (a == Answer::closed)
        kxevent_post(main_close);  // the main loop ends on it
    if (a != Answer::ok)
        return false;
    *s = chosen;
    return true;
}
