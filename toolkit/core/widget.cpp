#include "core/widget.h"

#include "core/event.h"
#include "graphics/colours.h"

void kxwidget_init(kxwidget *w)
{
    *w = kxwidget{};
    for (int &id : w->ids)
        id = kxid_new();
    w->font = kxgui_defaultfont();
    for (int i = 0; i < KX_GUI_COLOURS; i++)
        w->palette[i] = kxgui_color(i);
    w->bgcolor = kxgui_color(KX_GUI_GREY);
    w->transcolor = kxgui_color(KX_GUI_GREY);
    w->textcolor = kxgui_color(KX_GUI_TEXT);
    w->general = 1;
    w->enabled = 1;
}

void kxwidget_reinit(kxwidget *w)
{
    auto keep = w->ids;
    kxwidget_init(w);
    if (keep[0])
        w->ids = keep;
}

void kxwidget_emit(kxwidget *w, int id, kxarg a, kxarg b, kxarg c)
{
    if (!w->enabled)
        return;
    if (id == 0)
        id = w->ids[KX_ID_MAIN];
    if (w->hook)
        w->hook(w->hook_obj, id, a, b, c);
    else
        kxevent_post(id);
    if (w->on_activate && id == w->ids[KX_ID_MAIN])
        w->on_activate();
    w->last = {a, b, c};
}

int kxwidget_register(kxwidget *w, kxhandler self, int flags)
{
    const kxgeometry &g = w->geom;
    w->index = static_cast<int>(
        kxwidget_request(w, KX_REQ_REGISTER, kxptr(self), kxptr(w), g.x, g.y, g.xs, g.ys, flags));
    return w->index;
}

void kxwidget_unregister(kxwidget *w)
{
    kxwidget_request(w, KX_REQ_UNREGISTER, kxptr(w));
    w->index = -1;
}

void kxwidget_update(kxwidget *w)
{
    if (!w->enabled)
        return;
    const kxgeometry &g = w->geom;
    kxwidget_request(w, KX_REQ_UPDATE, g.x - 2, g.y - 2, g.xs + 4, g.ys + 4);
}

bool kxwidget_askfocus(kxwidget *w)
{
    if (!w->enabled || w->nofocus || w->focused)
        return false;
    return kxwidget_request(w, KX_REQ_FOCUS, w->index) != 0;
}
