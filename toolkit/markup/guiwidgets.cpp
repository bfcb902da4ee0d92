#include "markup/guiwidgets.h"

#include <cstring>
#include <strings.h>

#include "core/button.h"
#include "core/view.h"
#include "io/terminal.h"
#include "markup/table.h"
#include "widgets/checkbox.h"
#include "widgets/combobox.h"
#include "widgets/editor.h"
#include "widgets/lineinput.h"
#include "widgets/listbox.h"
#include "widgets/progressbar.h"
#include "widgets/slide.h"
#include "widgets/switchbutton.h"
#include "widgets/tabbar.h"
#include "widgets/updown.h"

namespace {

template <class W> void *make_member(const char *attr)
{
    W *w = new W;
    w->create("%s", attr);
    return w;
}
template <class W> void drop_member(void *p)
{
    W *w = static_cast<W *>(p);
    w->destroy();
    delete w;
}
void *make_view(const char *attr)
{
    auto *v = new kxView;
    kxview_init(v);
    kxview_create(v, "%s", attr);
    return v;
}
void drop_view(void *p)
{
    auto *v = static_cast<kxView *>(p);
    kxview_destroy(v);
    delete v;
}
void *make_terminal(const char *attr)
{
    auto *t = new kxTerminal;
    kxterm_init(t);
    kxterm_create(t, "%s", attr);
    return t;
}
void drop_terminal(void *p)
{
    auto *t = static_cast<kxTerminal *>(p);
    kxterm_destroy(t);
    delete t;
}
void drop_table(void *p)
{
    auto *t = static_cast<kxTable *>(p);
    kxtable_destroy(t);
    delete t;
}

using A = kxguiafter;
// One row per embedded widget type.  Widgets without a make function are not
// built yet: the tag is reported and skipped.
constexpr kxguitype types[] = {
    {"button", -2, true, false, true, A::right, make_member<kxButton>, drop_member<kxButton>},
    {"switchbutton", -2, true, false, true, A::right, make_member<kxSwitchButton>,
     drop_member<kxSwitchButton>},
    {"slide", -2, true, false, true, A::right, make_member<kxSlide>, drop_member<kxSlide>},
    {"checkbox", -2, true, false, true, A::right, make_member<kxCheckBox>,
     drop_member<kxCheckBox>},
    {"combobox", -2, true, false, true, A::right, make_member<kxComboBox>,
     drop_member<kxComboBox>},
    {"lineinput", -4, false, false, true, A::right, make_member<kxLineInput>,
     drop_member<kxLineInput>},
    {"updowncontrol", -4, false, false, true, A::right, make_member<kxUpDownControl>,
     drop_member<kxUpDownControl>},
    {"progressbar", -4, false, false, false, A::right, make_member<kxProgressBar>,
     drop_member<kxProgressBar>},
    {"listbox", -2, false, false, true, A::below, make_member<kxListBox>,
     drop_member<kxListBox>},
    {"tabbar", -2, false, false, true, A::below, make_member<kxTabBar>, drop_member<kxTabBar>},
    {"editor", -4, false, false, true, A::below, make_member<kxEdit>, drop_member<kxEdit>},
    {"view", -2, false, true, true, A::below, make_view, drop_view},
    {"terminal", -2, false, true, true, A::below_terminal, make_terminal, drop_terminal},
};

} // namespace

const kxguitype *kxgui_widgettype(const char *tag)
{
    for (const kxguitype &t : types)
        if (strcasecmp(t.name, tag) == 0)
            return &t;
    return nullptr;
}

void kxgui_dropwidget(const char *type, void *widget)
{
    if (!widget)
        return;
    if (std::strcmp(type, "link") == 0) {
        drop_member<kxButton>(widget);
        return;
    }
    if (std::strcmp(type, "table") == 0) {
        drop_table(widget);
        return;
    }
    for (const kxguitype &t : types)
        if (std::strcmp(t.name, type) == 0 && t.drop)
            t.drop(widget);
}

kxwidget *kxgui_header(const char *type, void *widget)
{
    if (!widget || std::strcmp(type, "table") == 0 || std::strcmp(type, "xpoint") == 0 ||
        std::strcmp(type, "ypoint") == 0)
        return nullptr;
    // Every widget record begins with the common header.
    if (std::strcmp(type, "link") == 0 || std::strcmp(type, "button") == 0)
        return static_cast<kxButton *>(widget);
    if (std::strcmp(type, "checkbox") == 0)
        return static_cast<kxCheckBox *>(widget);
    if (std::strcmp(type, "combobox") == 0)
        return static_cast<kxComboBox *>(widget);
    if (std::strcmp(type, "lineinput") == 0)
        return static_cast<kxLineInput *>(widget);
    if (std::strcmp(type, "updowncontrol") == 0)
        return static_cast<kxUpDownControl *>(widget);
    if (std::strcmp(type, "listbox") == 0)
        return static_cast<kxListBox *>(widget);
    if (std::strcmp(type, "view") == 0)
        return static_cast<kxView *>(widget);
    if (std::strcmp(type, "terminal") == 0)
        return static_cast<kxTerminal *>(widget);
    if (std::strcmp(type, "switchbutton") == 0)
        return static_cast<kxSwitchButton *>(widget);
    if (std::strcmp(type, "slide") == 0)
        return static_cast<kxSlide *>(widget);
    if (std::strcmp(type, "progressbar") == 0)
        return static_cast<kxProgressBar *>(widget);
    if (std::strcmp(type, "tabbar") == 0)
        return static_cast<kxTabBar *>(widget);
    if (std::strcmp(type, "editor") == 0)
        return static_cast<kxEdit *>(widget);
    return nullptr;
}
