// The period and answer-rule dialogs.
#include "deskdialog.h"

#include <algorithm>
#include <memory>

#include "core/event.h"
#include "core/window.h"
#include "io/answer.h"
#include "markup/guiscript.h"
#include "markup/named.h"
#include "markup/table.h"
#include "settings.h"
#include "widgets/msgbox.h"

namespace {

constexpr int RULES_SHOWN = 8;  // rows of the rules dialog

struct Dialog {
    std::unique_ptr<kxWindow> win = std::make_unique<kxWindow>();
    std::unique_ptr<kxGUIScript> script = std::make_unique<kxGUIScript>();

    Dialog(const std::string &attr, const std::string &markup)
    {
        kxwindow_init(win.get());
        kxwindow_create(win.get(), "%s", attr.c_str());
        kxgui_init(script.get());
        kxgui_setcontent(script.get(), "%s", markup.c_str());
    }
    ~Dialog()
    {
        kxgui_destroy(script.get());
        kxwindow_free(win.get());
    }
    bool fired(int id, const char *name) { return kxgui_fired(script.get(), id, name); }
};

std::string row_markup(int row, bool running)
{
    return "Die Zeile " + std::to_string(row) +
           " wird immer wieder gesendet, bis sie angehalten wird (ein Klick auf ihren "
           "Knopf \"Stopp\" h\xe4lt sie an).<br><br>"
           "Periode in ms:<x=150><updowncontrol=udPeriod,xs=100,min=10,max=3600000><br><br><br>"
           "<button=btStart," + std::string(running ? "Neu starten" : "Starten") +
           ",default,x=18%,xs=30%><button=btStop,Anhalten,x=50%,xs=30%"
           + (running ? "" : ",grey") +
           "><button=btCancel,Abbrechen,x=82%,xs=30%><br><br>"
           "<button=btRules,Antwortregeln (F3) ...,x=50%,xs=60%>";
}

std::string rules_markup()
{
    std::string m =
        "Wenn eine empfangene Zeile das Muster enth\xe4lt (oder auf einen regul\xe4ren Ausdruck "
        "/.../ passt), wird die genannte Zeile der Tabelle gesendet. Eine Regel, die mehr als "
        "10 Antworten in einer Sekunde gibt, wird angehalten.<br><br>"
        "<table=rules,3dframe>Muster#bold width=360,Zeile#bold width=60\n-,-\n";
    for (int i = 0; i < RULES_SHOWN; i++)
        m += "#edit,#edit\n";
    return m + "</table><yinc=8>"
               "<button=btOK,OK,default,x=25%,xs=40%><button=btCancel,Abbrechen,x=75%,xs=40%>";
}

// The rules of the table's rows; false after naming the first that cannot
// be read.
bool read_rules(kxTable *tab, std::vector<std::string> *out)
{
    std::vector<std::string> rules;
    for (int i = 1; i <= RULES_SHOWN; i++) {
        char pattern[KX_TABLE_TEXT + 1] = {}, row[KX_TABLE_TEXT + 1] = {};
        kxtable_getcell(tab, pattern, 0, i);
        kxtable_getcell(tab, row, 1, i);
        if (!*pattern && !*row)
            continue;
        const std::string text = std::string(row) + " " + pattern;
        kxanswer_rule r;
        std::string error;
        if (!kxanswer_parse(text, QX_ROWS, &r, &error)) {
            kxmsgbox("Die Antwortregel %d kann nicht gelesen werden:\n%s", i, error.c_str());
            return false;
        }
        rules.push_back(kxanswer_format(r));
    }
    *out = std::move(rules);
    return true;
}

void show_rules(kxTable *tab, const std::vector<std::string> &rules)
{
    for (int i = 1; i <= RULES_SHOWN && i <= static_cast<int>(rules.size()); i++) {
        kxanswer_rule r;
        std::string error;
        if (!kxanswer_parse(rules[static_cast<std::size_t>(i - 1)], QX_ROWS, &r, &error))
            continue;
        const std::string pattern = r.regex ? "/" + r.pattern + "/" : r.pattern;
        kxtable_setcell(tab, 0, i, "%s", pattern.c_str());
        kxtable_setcell(tab, 1, i, "%d", r.row);
    }
}

} // namespace

qxrowchoice qxrowdialog_run(int row, bool running, int *ms, int main_close)
{
    Dialog d("Zeile " + std::to_string(row) +
                 " periodisch senden,x=50%,y=50%,xs=340,ys=190,modal,nosysmenu,noclose,noquit",
             row_markup(row, running));
    kxgui_setint(d.script.get(), "udPeriod", *ms);
    kxgui_focus(d.script.get(), "udPeriod");
    while (kxapp_running()) {
        const int id = kxevent_wait();
        if (d.fired(id, "btCancel") || id == KX_KEY_ESCAPE || id == main_close)
            return qxrowchoice::cancel;
        if (d.fired(id, "btStop"))
            return running ? qxrowchoice::stop : qxrowchoice::cancel;
        if (d.fired(id, "btRules") || id == KX_KEY_F3)
            return qxrowchoice::rules;
        if (d.fired(id, "btStart") || id == KX_KEY_RETURN) {
            *ms = std::clamp(kxgui_getint(d.script.get(), "udPeriod"), QX_PERIOD_MIN,
                             QX_PERIOD_MAX);
            return qxrowchoice::start;
        }
    }
    return qxrowchoice::cancel;
}

bool qxrulesdialog_run(std::vector<std::string> *rules, int main_close)
{
    Dialog d("Antwortregeln,x=50%,y=50%,xs=480,ys=330,modal,nosysmenu,noclose,noquit",
             rules_markup());
    auto *tab = static_cast<kxTable *>(kxgui_find(d.script.get(), "rules"));
    if (!tab)
        return false;
    show_rules(tab, *rules);
    kxtable_focus(tab, 0, 1);
    while (kxapp_running()) {
        const int id = kxevent_wait();
        if (d.fired(id, "btCancel") || id == KX_KEY_ESCAPE || id == main_close)
            return false;
        if ((d.fired(id, "btOK") || id == KX_KEY_RETURN) && read_rules(tab, rules))
            return true;
    }
    return false;
}
