// Quenlorix, the serial-line protocol tester.
#include "cmdline.h"

int main(int argc, char **argv) { return quenlorix_start(argc, argv); }
