// Opens one window on the current host, shows the probe pattern and writes
// every toolkit event to standard output, one per line; ends on close.
// Arguments: x and y of the window (default 40 30), and "modal",
// "noresize", "nosysmenu", "popup" or "fullscreen" for its style.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/event.h"
#include "x11probe.h"

int main(int argc, char **argv)
{
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    int x = argc > 2 ? std::atoi(argv[1]) : 40;
    int y = argc > 2 ? std::atoi(argv[2]) : 30;
    kxwinstyle style;
    for (int i = 1; i < argc; i++) {
        style.modal |= !std::strcmp(argv[i], "modal");
        style.noresize |= !std::strcmp(argv[i], "noresize");
        style.popup |= !std::strcmp(argv[i], "popup");
        style.fullscreen |= !std::strcmp(argv[i], "fullscreen");
        if (!std::strcmp(argv[i], "nosysmenu"))
            style.sysmenu = false;
    }
    if (!kxplatform_init())
        return 2;
    kxprobe probe;
    probe.out = [](const std::string &s) {
        std::printf("%s\n", s.c_str());
        std::fflush(stdout);
    };
    if (!kxprobe_open(&probe, x, y, style))
        return 2;
    std::printf("window %lu %s\n", static_cast<unsigned long>(probe.win.handle),
                kxplatform_hostname());
    std::fflush(stdout);
    while (!probe.closed)
        kxsys_idle();
    kxplatwin_destroy(&probe.win);
    kxplatform_exit();
    return 0;
}
