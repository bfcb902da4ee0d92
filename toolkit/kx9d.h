// The toolkit as a whole, above all its floors: the entry points of a
// program.  The lower floors reach the higher ones only through hooks (the
// popup of a window's menu, the information box, the page output of
// pixmaps, the wording of failures); the entry points set them before
// anything else.
#pragma once

#include "core/app.h"

// Sets the hooks through which the lower floors reach the higher ones; done
// again it changes nothing.
void kxapp_connect();
// Toolkit initialisation without running a main function (tests, tools):
// kxapp_connect, then kxapp_initcore.
bool kxapp_init();
// The host entry point: keeps the words of argv (argument 0 stays empty),
// initialises the toolkit, runs main, keeps pumping while a window it left
// open is still there, and ends with the exit sequence.  The result is the
// process's exit code.
int kxapp_start(int argc, char **argv, kxmainfn main);
// The same for a command line given as one string.
int kxapp_start_cmdline(const char *cmdline, kxmainfn main);
// A program's entry point: kxapp_start_cmdline with the host's command line
// where the host hands programs one string (Win32), else kxapp_start.
int kxapp_start_host(int argc, char **argv, kxmainfn main);
// Only the first step of kxapp_start_host: the argument list as the host
// gives it, for a program that reads its own options before it starts.
void kxapp_sethostargs(int argc, char **argv);
