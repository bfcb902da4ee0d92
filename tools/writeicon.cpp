// Writes Quenlorix's icon as a PNG file at build time, for the desktop's
// icon theme:  writeicon SIZE FILE.png
#include <cstdio>
#include <cstdlib>

#include "graphics/image.h"
#include "icon.h"

int main(int argc, char **argv)
{
    if (argc != 3) {
        std::printf("usage: writeicon SIZE FILE.png\n");
        return 2;
    }
    kxpxmap icon;
    if (!quenlorix_drawicon(&icon, std::atoi(argv[1])))
        return 1;
    bool ok = kxpxmap_savetofile_png(&icon, argv[2]);
    kxpxmap_free(&icon);
    if (!ok)
        std::printf("writeicon: cannot write %s\n", argv[2]);
    return ok ? 0 : 1;
}
