// Saving a pixmap as a page: the ".ps" and ".pdf" path of the image files.
#include <cstring>

#include "base/cfgtext.h"
#include "core/cfgstr.h"
#include "graphics/cfgkeys.h"
#include "print/print.h"

bool kxps_savepixmap(const kxpxmap *p, const char *target, const char *attributes)
{
    if (!p || !target)
        return false;
    const char *text = attributes ? attributes : "";
    kxPostScript job;
    // Without a temporary file the finish below fails, as it should.
    kxps_open(&job, "%s", text);

    kxcfgstr_tokens t;
    std::strncpy(t.text, text, sizeof t.text - 1);
    t.tok = kxcfgstr_split(t.text, t.block, sizeof t.block);
    kxrectattr at;
    if (t.tok)
        kxcfgstr_rect(t.tok, 0, &at);
    // An absent position (-1) puts the picture at the corner of the borders.
    const double x = at.x == -1 ? 0.0 : at.x, y = at.y == -1 ? 0.0 : at.y;
    kxps_putimage(&job, p, x, y, kxcfgstr_getint(text, "xoffset", 0),
                  kxcfgstr_getint(text, "yoffset", 0));
    const bool ok = kxps_finish(&job, target);
    kxps_close(&job);
    return ok;
}
