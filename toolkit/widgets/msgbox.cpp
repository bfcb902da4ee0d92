#include "widgets/msgbox.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

#include "core/app.h"
#include "core/button.h"
#include "core/event.h"
#include "core/target.h"
#include "core/window.h"
#include "graphics/colours.h"
#include "graphics/font.h"
#include "graphics/image.h"
#include "graphics/text.h"

namespace {

constexpr std::size_t KX_MSGBOX_TEXT = 8001;  // 8000 characters and the end
constexpr int KX_MSGBOX_NARROW = 190, KX_MSGBOX_WIDE = 500, KX_MSGBOX_TALL = 300;

void show(const char *text)
{
    // An ending program gets no answer: the box would only hold up its end.
    if (kxapp_ending())
        return;
    int width = KX_MSGBOX_NARROW;
    int height = kxtext_wrappedheight(width, text, kxgui_defaultfont()) + 80;
    if (height > KX_MSGBOX_TALL) {
        width = KX_MSGBOX_WIDE;
        height = kxtext_wrappedheight(width, text, kxfont_builtin_var13()) + 80;
    }
    kxtarget_save();
    kxdraw_save();

    // Both records are large and must outlive nested boxes: keep them on the
    // heap rather than the stack.
    auto *win = new kxWindow;
    auto *ok = new kxButton;
    kxwindow_init(win);
    kxwindow_create(win,
                    "info,x=50%,y=50%,xs=%d,ys=%d,NoSysMenu,noquit,modal,fontid=%d,noresize,"
                    "nostandardview",
                    width + 60, height, kxgui_defaultfont());
    ok->create("OK,x=50%,y=%d,xs=80%,default,fontid=%d", height - 40, kxfont_builtin_var13());

    kxView &view = win->views[0];
    kxgraphic_drawxpm(view.content, kxmsgbox_icon, 10, 10, "");
    kxtext_drawwrapped(view.content, view.font, 50, 10, width, height - 60, 0x000000, text, false);
    kxview_refresh(&view);

    const int ids[] = {ok->ids[KX_ID_MAIN], win->ids[KX_ID_MAIN], KX_KEY_RETURN};
    kxevent_wait_for(3, ids);

    kxtarget_restore();
    kxdraw_restore();
    kxsend(kxButton::handler, ok, KX_EV_CLOSE);
    kxwindow_free(win);
    delete ok;
    delete win;
}

} // namespace

void kxmsgbox(const char *fmt, ...)
{
    std::vector<char> text(KX_MSGBOX_TEXT);
    va_list ap;
    va_start(ap, fmt);
    std::vsnprintf(text.data(), text.size(), fmt, ap);
    va_end(ap);
    show(text.data());
}

void kxmsgbox_info() { show(kxapp_infotext()); }

// . transparent, K black, B blue, G grey, W white.
const char *const kxmsgbox_icon[] = {
    "29 29 5 1",
    ". c None",
    "K c #000000",
    "B c #0000ff",
    "G c #c2c2c2",
    "W c #ffffff",
    "..........GWWWWWWG...........",
    ".......GWWWWWWWWWWWWG........",
    ".....GWWWWWWWWWWWWWWWWG......",
    "....WWWWWWWGBBBBGWWWWWWWK....",
    "...WWWWWWWWBBBBBBWWWWWWWWK...",
    "..WWWWWWWWWBBBBBBWWWWWWWWWK..",
    ".GWWWWWWWWWGBBBBGWWWWWWWWWGK.",
    ".WWWWWWWWWWWWWWWWWWWWWWWWWWK.",
    "GWWWWWWWWWWWWWWWWWWWWWWWWWWGK",
    "WWWWWWWWWWBBBBBBBWWWWWWWWWWWK",
    "WWWWWWWWWWWWBBBBBWWWWWWWWWWWK",
    "WWWWWWWWWWWWBBBBBWWWWWWWWWWWK",
    "WWWWWWWWWWWWBBBBBWWWWWWWWWWWK",
    "WWWWWWWWWWWWBBBBBWWWWWWWWWWWK",
    "GWWWWWWWWWWWBBBBBWWWWWWWWWWGK",
    ".WWWWWWWWWWWBBBBBWWWWWWWWWWK.",
    ".GWWWWWWWWWWBBBBBWWWWWWWWWGK.",
    "..WWWWWWWWBBBBBBBBBWWWWWWWK..",
    "..KWWWWWWWWWWWWWWWWWWWWWWK...",
    "...KWWWWWWWWWWWWWWWWWWWWK....",
    "....KGWWWWWWWWWWWWWWWWGK.....",
    ".....KKGWWWWWWWWWWWWGKK......",
    ".......KKKGWWWWWWGKKK........",
    "..........KKKGWWWK...........",
    ".............KWWWK...........",
    ".............KWWWK...........",
    "..............KWWK...........",
    "...............KWK...........",
    "................KK...........",
    nullptr,
};
