// Saves a text with the toolkit's file helpers the way a program does (after
// kxapp_init), so that a test can watch the save's system calls from
// outside.  Arguments: file name, text.  Prints "saved" or "failed: <why>".
#include <cstdio>

#include "base/file.h"
#include "kx9d.h"

int main(int argc, char **argv)
{
    if (argc != 3 || !kxapp_init())
        return 2;
    bool ok = kxfile_save(argv[2], argv[1]);
    if (ok)
        std::printf("saved\n");
    else
        std::printf("failed: %s\n", kxfile_failure());
    kxapp_exit(0, false);
    return ok ? 0 : 1;
}
