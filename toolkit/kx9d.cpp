#include "kx9d.h"

#include "base/reason.h"
#include "core/event.h"
#include "core/language.h"
#include "graphics/image.h"
#include "platform/platform.h"
#include "print/print.h"
#include "widgets/msgbox.h"
#include "widgets/popupmenu.h"

void kxapp_connect()
{
    kxevent_setinfohook(kxmsgbox_info);
    kxreason_setwording(kxlanguage_reason);
    kxmenu_install();
    kximage_setpagesaver(kxps_savepixmap);
}

bool kxapp_init()
{
    kxapp_connect();
    return kxapp_initcore();
}

int kxapp_start(int argc, char **argv, kxmainfn main)
{
    kxapp_setwords(argc, argv);
    return kxapp_run(main, kxapp_init);
}

int kxapp_start_cmdline(const char *cmdline, kxmainfn main)
{
    kxapp_setargs(cmdline);
    return kxapp_run(main, kxapp_init);
}

void kxapp_sethostargs(int argc, char **argv)
{
    if (const char *line = kxsys_cmdline())
        kxapp_setargs(line);
    else
        kxapp_setwords(argc, argv);
}

int kxapp_start_host(int argc, char **argv, kxmainfn main)
{
    kxapp_sethostargs(argc, argv);
    return kxapp_run(main, kxapp_init);
}
