// A terminal with a log file prints numbered lines and says so on standard
// output after each; a test kills it and reads the log.
#include <cstdio>

#include "core/app.h"
#include "core/window.h"
#include "io/terminal.h"
#include "kx9d.h"
#include "platform/platform.h"

namespace {

int termlog_main()
{
    auto *win = new kxWindow;
    auto *term = new kxTerminal;
    kxwindow_init(win);
    kxwindow_create(win, "termlog,x=0,y=0,xs=400,ys=300");
    kxterm_init(term);
    const char *log = kxapp_argc() > 1 ? kxapp_argv()[1] : "termlog.log";
    kxterm_create(term, "x=5,y=5,lines=10,scrollback=100,xs=380,logfile=%s", log);
    for (int i = 0;; i++) {
        kxterm_setcolor(term, i % 2 ? 1 : 4);
        kxterm_printf(term, "Zeile %d\n", i);
        std::printf("printed %d\n", i);
        std::fflush(stdout);
        kxsys_sleep(2000);
    }
}

} // namespace

int main(int argc, char **argv) { return kxapp_start(argc, argv, termlog_main); }
