// Two line inputs and a combobox in a window on a real X server.  After
// every event it prints the state, so a test driving it with xdotool can
// follow: "a <hex bytes>", "b <hex bytes>", "cb <entry>", "popup <window>".
#include <cstdio>
#include <string>

#include "core/event.h"
#include "core/window.h"
#include "kx9d.h"
#include "widgets/combobox.h"
#include "widgets/lineinput.h"

namespace {

std::string hex(const char *s)
{
    std::string out;
    char b[4];
    for (const unsigned char *p = reinterpret_cast<const unsigned char *>(s); *p; p++) {
        std::snprintf(b, sizeof b, "%s%02x", out.empty() ? "" : " ", *p);
        out += b;
    }
    return out;
}

int probe_main()
{
    auto *win = new kxWindow;
    auto *a = new kxLineInput, *b = new kxLineInput;
    auto *cb = new kxComboBox;
    kxwindow_init(win);
    kxwindow_create(win, "inputprobe,x=0,y=0,xs=400,ys=200,bgcolor=white");
    a->create("x=10,y=10,xs=200,ys=24");
    b->create("x=10,y=50,xs=200,ys=24");
    cb->create("x=10,y=100,xs=120,entries=300|1200|2400|9600");
    std::printf("window %lu\n", static_cast<unsigned long>(win->plat.handle));
    std::fflush(stdout);
    std::string last;
    while (kxapp_running()) {
        int id = kxevent_wait();
        if (id == 0 || id == win->ids[KX_ID_MAIN])
            break;
        char sel[64];
        cb->selected_text(sel, sizeof sel);
        std::string state = "a " + hex(a->get_text()) + "\nb " + hex(b->get_text()) + "\ncb " + sel;
        if (cb->open && cb->popup)
            state += "\npopup " + std::to_string(cb->popup->plat.handle);
        if (state != last)
            std::printf("%s\nend\n", state.c_str());
        std::fflush(stdout);
        last = state;
    }
    return 0;
}

} // namespace

int main(int argc, char **argv) { return kxapp_start(argc, argv, probe_main); }
