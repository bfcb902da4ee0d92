// Quenlorix, the serial-line protocol tester.
#include <cstdio>

#include "core/app.h"

namespace {

int quenlorix_main()
{
    std::printf("Quenlorix: the toolkit is in place; the tester's windows are not built yet.\n");
    return 0;
}

} // namespace

int main(int argc, char **argv) { return kxapp_start(argc, argv, quenlorix_main); }
