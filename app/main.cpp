// Quenlorix, the serial-line protocol tester.
#include "kx9d.h"
#include "quenlorix.h"

int main(int argc, char **argv) { return kxapp_start_host(argc, argv, quenlorix_main); }
