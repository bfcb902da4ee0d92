#include "markup/named.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "io/terminal.h"
#include "markup/guiwidgets.h"
#include "widgets/progressbar.h"
#include "widgets/slide.h"
#include "widgets/switchbutton.h"
#include "widgets/tabbar.h"
#include "core/button.h"
#include "widgets/checkbox.h"
#include "widgets/combobox.h"
#include "widgets/editor.h"
#include "widgets/lineinput.h"
#include "widgets/listbox.h"
#include "widgets/updown.h"

namespace {

bool is(const kxguielement &e, const char *type) { return std::strcmp(e.type, type) == 0; }

// Types whose main id belongs to the element.  Tables, editors and progress
// bars never match: a table's cells are asked of the table.
constexpr const char *firing[] = {"button",   "link",   "switchbutton", "checkbox",
                                  "terminal", "view",   "listbox",      "tabbar",
                                  "slide",    "updowncontrol", "lineinput", "combobox"};

int readint(const char *t)
{
    long v = std::strtol(t, nullptr, 10);
    return v > 2147483647L ? 2147483647 : v < -2147483647L - 1 ? -2147483647 - 1 : static_cast<int>(v);
}

// Runs op on every element with the name until it answers true.
template <class F> bool each(kxGUIScript *s, const char *name, F op)
{
    if (!name)
        return false;
    for (int i = 0; i < kxgui_elementcount(s); i++) {
        kxguielement *e = kxgui_element(s, i);
        if (e->used && std::strcmp(e->name, name) == 0 && op(*e))
            return true;
    }
    return false;
}

void copyout(char *out, std::size_t cap, const char *text)
{
    if (out && cap)
        std::snprintf(out, cap, "%s", text);
}

} // namespace

void *kxgui_find(kxGUIScript *s, const char *name)
{
    void *found = nullptr;
    each(s, name, [&](kxguielement &e) { return (found = e.widget), true; });
    return found;
}

bool kxgui_fired(kxGUIScript *s, int id, const char *name)
{
    for (int i = 0; i < kxgui_elementcount(s); i++) {
        const kxguielement *e = kxgui_element(s, i);
        if (!e->used)
            continue;
        bool fires = false;
        for (const char *t : firing)
            fires = fires || is(*e, t);
        const kxwidget *h = fires ? kxgui_header(e->type, e->widget) : nullptr;
        if (h && h->ids[0] == id) {
            char owner[KX_GUI_FIRED_NAME];
            std::snprintf(owner, sizeof owner, "%s", e->name);
            return name && std::strcmp(owner, name) == 0;
        }
    }
    return false;
}

int kxgui_getint(kxGUIScript *s, const char *name)
{
    int v = 0;
    each(s, name, [&](kxguielement &e) {
        if (is(e, "lineinput"))
            v = readint(static_cast<kxLineInput *>(e.widget)->get_text());
        else if (is(e, "updowncontrol"))
            v = readint(static_cast<kxUpDownControl *>(e.widget)->get_text());
        else if (is(e, "listbox"))
            v = static_cast<kxListBox *>(e.widget)->selected_index();
        else if (is(e, "button"))
            v = static_cast<kxButton *>(e.widget)->is_pressed();
        else if (is(e, "checkbox"))
            v = static_cast<kxCheckBox *>(e.widget)->is_checked();
        else if (is(e, "combobox"))
            v = static_cast<kxComboBox *>(e.widget)->selected;
        else if (is(e, "xpoint") || is(e, "ypoint"))
            v = e.coord;
        else if (is(e, "switchbutton"))
            v = static_cast<kxSwitchButton *>(e.widget)->is_on();
        else if (is(e, "tabbar"))
            v = static_cast<kxTabBar *>(e.widget)->selected_index();
        else if (is(e, "slide"))
            v = static_cast<int>(static_cast<kxSlide *>(e.widget)->get_value());
        else if (is(e, "progressbar"))
            v = static_cast<kxProgressBar *>(e.widget)->get_value();
        else
            return false;
        return true;
    });
    return v;
}

bool kxgui_gettext(kxGUIScript *s, const char *name, char *out, std::size_t cap)
{
    return each(s, name, [&](kxguielement &e) {
        if (is(e, "lineinput"))
            copyout(out, cap, static_cast<kxLineInput *>(e.widget)->get_text());
        else if (is(e, "updowncontrol"))
            copyout(out, cap, static_cast<kxUpDownControl *>(e.widget)->get_text());
        else if (is(e, "listbox")) {
            auto *l = static_cast<kxListBox *>(e.widget);
            if (l->selected_index() >= 0 && out && cap)
                l->selected_text(out, static_cast<int>(cap));
        } else if (is(e, "combobox")) {
            if (out && cap)
                static_cast<kxComboBox *>(e.widget)->selected_text(out, static_cast<int>(cap));
        } else if (is(e, "editor"))
            copyout(out, cap, static_cast<kxEdit *>(e.widget)->get_text().c_str());
        else
            return false;
        return true;
    });
}

bool kxgui_settext(kxGUIScript *s, const char *name, const char *text)
{
    if (!text)
        return false;
    return each(s, name, [&](kxguielement &e) {
        if (is(e, "lineinput"))
            static_cast<kxLineInput *>(e.widget)->set_text(text);
        else if (is(e, "updowncontrol"))
            static_cast<kxUpDownControl *>(e.widget)->set_text(text);
        else if (is(e, "combobox"))
            static_cast<kxComboBox *>(e.widget)->select_text(text);
        else if (is(e, "terminal"))
            kxterm_settext(static_cast<kxTerminal *>(e.widget), text);
        else if (is(e, "slide"))
            static_cast<kxSlide *>(e.widget)->set_value(readint(text));
        else if (is(e, "editor"))
            static_cast<kxEdit *>(e.widget)->set_text(text);
        else
            return false;
        return true;
    });
}

bool kxgui_setint(kxGUIScript *s, const char *name, int value)
{
    return each(s, name, [&](kxguielement &e) {
        if (is(e, "listbox"))
            static_cast<kxListBox *>(e.widget)->select(value < 0 ? 0 : value);
        else if (is(e, "lineinput"))
            static_cast<kxLineInput *>(e.widget)->set_textf("%d", value);
        else if (is(e, "updowncontrol"))
            static_cast<kxUpDownControl *>(e.widget)->set_value(value);
        else if (is(e, "checkbox"))
            static_cast<kxCheckBox *>(e.widget)->set_checked(value != 0);
        else if (is(e, "button"))
            static_cast<kxButton *>(e.widget)->set_pressed(value != 0);
        else if (is(e, "combobox"))
            static_cast<kxComboBox *>(e.widget)->select(value);
        else if (is(e, "switchbutton"))
            static_cast<kxSwitchButton *>(e.widget)->set_on(value != 0);
        else if (is(e, "tabbar"))
            static_cast<kxTabBar *>(e.widget)->select(value);
        else if (is(e, "slide"))
            static_cast<kxSlide *>(e.widget)->set_value(value < 0 ? 0 : value);
        else if (is(e, "progressbar"))
            static_cast<kxProgressBar *>(e.widget)->set_value(value);
        else
            return false;
        return true;
    });
}

bool kxgui_focus(kxGUIScript *s, const char *name)
{
    return each(s, name, [&](kxguielement &e) {
        kxwidget *w = kxgui_header(e.type, e.widget);
        if (!w || !w->created)
            return false;
        return w->focused || kxwidget_askfocus(w);
    });
}
