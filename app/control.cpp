// The port during a session: settings, control lines, footer and title.
#include "control.h"

#include <cctype>
#include <vector>

#include "core/view.h"
#include "core/window.h"
#include "dialog.h"
#include "graphics/colours.h"
#include "graphics/font.h"
#include "graphics/text.h"
#include "io/port.h"
#include "io/terminal.h"
#include "layout.h"
#include "markup/named.h"
#include "platform/platform.h"
#include "session.h"
#include "widgets/popupmenu.h"

namespace {

constexpr int FOOTER_X = QX_FOOTER_LEFT;
constexpr int FOOTER_END = 555;  // where the program's name begins

// The popup menu's entries: [entry number - 1], separators as none.
constexpr qxaction menu_actions[] = {
    qxaction::settings, qxaction::none, qxaction::dtr,       qxaction::rts,
    qxaction::dtrpulse, qxaction::rtspulse, qxaction::brk,   qxaction::none,
    qxaction::copy,     qxaction::selectall, qxaction::clear};

int port_of(const qxcontrol *c) { return c->session->settings.port; }

std::string com(int port) { return "COM" + std::to_string(port); }

// "COM3 115200 8N1": what the window is connected to.
std::string connection(const qxsettings &s)
{
    return com(s.port) + " " + std::to_string(s.baud) + " " + kxport_linename(s.line);
}

// What an action does, as its notice and its menu entry say it.
std::string action_text(const qxcontrol *c, qxaction a)
{
    const qxsettings &s = c->session->settings;
    switch (a) {
    case qxaction::settings: return "Einstellungen...";
    case qxaction::dtr: return c->dtr ? "DTR aus" : "DTR ein";
    case qxaction::rts: return c->rts ? "RTS aus" : "RTS ein";
    case qxaction::dtrpulse: return "DTR-Puls " + std::to_string(s.pulse_ms) + " ms";
    case qxaction::rtspulse: return "RTS-Puls " + std::to_string(s.pulse_ms) + " ms";
    case qxaction::brk: return "BREAK " + std::to_string(s.break_ms) + " ms";
    case qxaction::copy: return "Kopieren";
    case qxaction::selectall: return "Alles markieren";
    case qxaction::clear: return "Anzeige l\xf6schen";
    case qxaction::none: break;
    }
    return "";
}

// The key an entry names after its text.
std::string entry_key(qxaction a)
{
    if (a == qxaction::copy)
        return "  Strg+C";
    const int i = static_cast<int>(a) - static_cast<int>(qxaction::settings);
    if (i < 0 || i >= static_cast<int>(std::size(QX_ACTION_KEYS)))
        return "";
    return "  F" + std::to_string(QX_ACTION_KEYS[i] - KX_KEY_F1 + 1);
}

// The footer's words, each with whether it is a line that is off.
struct Word {
    std::string text;
    bool off = false;
};

std::vector<Word> footer_words(const qxcontrol *c)
{
    std::vector<Word> w;
    w.push_back({com(port_of(c))});
    if (c->session->lost) {
        w.push_back({"getrennt - warte auf das Ger\xe4t"});
        return w;
    }
    w.push_back({"offen  "});
    if (c->nolines) {
        w.push_back({"keine Steuerleitungen"});
        return w;
    }
    const auto line = [&w](const char *name, bool on, bool gap = false) {
        std::string t = name;
        if (!on)
            for (char &ch : t)
                ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
        w.push_back({t + (gap ? "  " : ""), !on});
    };
    line("DTR", c->dtr);
    line("RTS", c->rts, c->read);
    if (c->read) {
        line("CTS", c->modem.cts);
        line("DSR", c->modem.dsr);
        line("DCD", c->modem.dcd);
        line("RI", c->modem.ri);
    }
    return w;
}

void draw_footer(qxcontrol *c)
{
    const std::string counters = qxcontrol_counters(c);
    const std::string text = qxcontrol_footer(c) + "   " + counters;
    kxView *v = &c->win->views[c->win->current];
    if (!v->content)
        return;
    if (text == c->footer && v->content->width == c->drawn_xs && v->content->height == c->drawn_ys)
        return;
    c->footer = text;
    c->drawn_xs = v->content->width;
    c->drawn_ys = v->content->height;
    const int font = kxfont_builtin_5x7();
    const int y = kxgui_getint(c->content, "yFooter") + qxlayout_footershift(c->win);
    const int h = kxfont_height(font) + 1;
    const int space = kxtext_width(font, " ");
    kxview_draw(v, KX_DRAW_FILLRECT, FOOTER_X, y, FOOTER_END - FOOTER_X, h, v->bgcolor, 0, 0, 0);
    int x = FOOTER_X;
    std::vector<Word> words = footer_words(c);
    words.back().text += "  ";
    words.push_back({counters});
    for (const Word &w : words) {
        if (x >= FOOTER_END)
            break;
        const int colour = kxgui_color(w.off ? KX_GUI_TEXTGREY : KX_GUI_TEXT);
        x = kxtext_draw(v->content, font, x, y, colour, false, false, -1, FOOTER_END - x, -1,
                        w.text.c_str(), -1, -1) +
            space;
    }
    kxview_draw(v, KX_DRAW_UPDATE, FOOTER_X, y, FOOTER_END - FOOTER_X, h, 0, 0, 0, 0);
}

// The lines the device shows, when it has any.
void read_lines(qxcontrol *c)
{
    if (c->nolines || c->session->lost)
        return;
    kxmodemlines m;
    const kxlinecall r = kxport_modemlines(port_of(c), &m);
    if (r == kxlinecall::nolines)
        c->nolines = true;
    if (r != kxlinecall::done)
        return;
    c->modem = m;
    c->read = true;
}

// The port opened anew: its lines as at open.
void restart(qxcontrol *c)
{
    const kxserialline &l = c->session->settings.line;
    c->dtr = l.dtr;
    c->rts = l.rts;
    c->nolines = c->read = false;
    c->modem = kxmodemlines{};
    c->lost = c->session->lost;
    read_lines(c);
    c->counted_at = kxsys_ticks() - QX_COUNT_MS;
    qxcontrol_count(c, kxsys_ticks());
}

void tell_linechange(qxcontrol *c)
{
    const std::string kept = kxport_linechange(port_of(c));
    if (!kept.empty())
        qxsession_notice(c->session, "Der Treiber hat " +
                                         kxport_linename(c->session->settings.line) +
                                         " nicht \xfc""bernommen, die Schnittstelle l\xe4uft mit " +
                                         kept);
}

// Opens the port with chosen settings: the same device takes the new rate
// and line as it is, another port is opened instead of the old one.
bool apply(qxcontrol *c, const qxsettings &old, const qxsettings &n)
{
    if (n.port == old.port && kxserial_isopen(n.port - 1))
        return kxport_reconfigure(n.port, n.baud, n.line);
    kxport_close(old.port);
    kxport_setline(n.port, n.line);
    return kxport_open(n.port, n.baud);
}

void change_settings(qxcontrol *c)
{
    qxsession *s = c->session;
    const qxsettings old = s->settings;
    qxsettings chosen = old;
    bool tried = false;
    const auto use = [c, &old](const qxsettings &n) { return apply(c, old, n); };
    if (!qxdialog_change(&chosen, c->config, c->main_close, use, &tried)) {
        // Cancelled: as it was before, in the file too.
        if (tried && !kxserial_isopen(old.port - 1) && !s->lost) {
            kxport_setline(old.port, old.line);
            s->lost = !kxport_open(old.port, old.baud);
        }
        if (tried)
            qxsettings_write(old, c->config);
        return;
    }
    qxsession_reopened(s, chosen);
    s->lost = false;
    qxsession_notice(s, "Einstellungen ge\xe4ndert: " + connection(chosen));
    tell_linechange(c);
    kxwindow_settitle(c->win, qxcontrol_title(chosen).c_str());
    restart(c);
    draw_footer(c);
}

// A control line switched, pulsed or held at BREAK.
void drive(qxcontrol *c, qxaction a)
{
    const qxsettings &s = c->session->settings;
    const std::string what = action_text(c, a);
    kxlinecall r = kxlinecall::failed;
    switch (a) {
    case qxaction::dtr: r = kxport_setcontrol(s.port, kxcontrol::dtr, !c->dtr); break;
    case qxaction::rts: r = kxport_setcontrol(s.port, kxcontrol::rts, !c->rts); break;
    case qxaction::dtrpulse: r = kxport_pulse(s.port, kxcontrol::dtr, s.pulse_ms); break;
    case qxaction::rtspulse: r = kxport_pulse(s.port, kxcontrol::rts, s.pulse_ms); break;
    case qxaction::brk: r = kxport_break(s.port, s.break_ms); break;
    default: return;
    }
    if (r == kxlinecall::nolines) {
        c->nolines = true;
        qxsession_notice(c->session, what + " nicht m\xf6glich: " + kxport_device(s.port) +
                                         " hat keine Steuerleitungen");
    } else if (r == kxlinecall::failed) {
        qxsession_notice(c->session, what + " fehlgeschlagen: " + kxport_problem(s.port));
    } else {
        if (a == qxaction::dtr)
            c->dtr = !c->dtr;
        else if (a == qxaction::rts)
            c->rts = !c->rts;
        else if (a == qxaction::dtrpulse)
            c->dtr = true;
        else if (a == qxaction::rtspulse)
            c->rts = true;
        qxsession_notice(c->session, what);
    }
    draw_footer(c);
}

// The terminal's popup menu: the actions with their keys.
qxaction menu_choice(qxcontrol *c)
{
    std::string entries;
    for (qxaction a : menu_actions) {
        entries += entries.empty() ? "" : "|";
        entries += a == qxaction::none ? std::string("-") : action_text(c, a) + entry_key(a);
    }
    const int chosen = kxmenu_popup("entries=%s", entries.c_str());
    if (chosen < 1 || chosen > static_cast<int>(std::size(menu_actions)))
        return qxaction::none;
    return menu_actions[chosen - 1];
}

} // namespace

void qxcontrol_start(qxcontrol *c, qxsession *s, kxWindow *win, kxGUIScript *content,
                     kxTerminal *term, const char *config, int main_close)
{
    c->session = s;
    c->win = win;
    c->content = content;
    c->term = term;
    c->config = config;
    c->main_close = main_close;
    c->footer.clear();
    tell_linechange(c);
    kxwindow_settitle(win, qxcontrol_title(s->settings).c_str());
    restart(c);
    draw_footer(c);
}

bool qxcontrol_event(qxcontrol *c, int id)
{
    qxaction a = qxaction::none;
    for (int i = 0; i < static_cast<int>(std::size(QX_ACTION_KEYS)); i++)
        if (id == QX_ACTION_KEYS[i])
            a = static_cast<qxaction>(i + static_cast<int>(qxaction::settings));
    if (c->term && id == c->term->ids[KX_ID_RUP])
        a = menu_choice(c);
    else if (a == qxaction::none)
        return false;
    qxcontrol_act(c, a);
    return true;
}

void qxcontrol_act(qxcontrol *c, qxaction a)
{
    switch (a) {
    case qxaction::none: break;
    case qxaction::settings: change_settings(c); break;
    case qxaction::copy:
        if (c->term)
            kxterm_copy(c->term);
        break;
    case qxaction::selectall:
        if (c->term)
            kxterm_selectall(c->term);
        break;
    case qxaction::clear:
        if (c->term)
            kxterm_clear(c->term);  // the screen: the log keeps it all
        break;
    default: drive(c, a); break;
    }
}

void qxcontrol_tick(qxcontrol *c)
{
    if (c->lost != c->session->lost)
        restart(c);  // lost, or back with its lines as at open
    else
        read_lines(c);
    qxcontrol_count(c, kxsys_ticks());
    draw_footer(c);
}

std::string qxcontrol_title(const qxsettings &s)
{
    return "Quenlorix - " + connection(s);
}

std::string qxcontrol_footer(const qxcontrol *c)
{
    std::string text;
    for (const Word &w : footer_words(c))
        text += (text.empty() ? "" : " ") + w.text;
    return text;
}

bool qxcontrol_count(qxcontrol *c, std::int64_t now)
{
    if (now - c->counted_at < QX_COUNT_MS)
        return false;
    c->sent = c->session->count_sent;
    c->received = c->session->count_received;
    c->counted_at = now;
    return true;
}

std::string qxcontrol_counters(const qxcontrol *c)
{
    return "gesendet " + std::to_string(c->sent) + "  empfangen " + std::to_string(c->received);
}
