// Image files: the choice of reader or writer by extension and the attribute
// strings of the printf-style entry points.
#include "graphics/image.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "base/cfgtext.h"
#include "base/file.h"
#include "graphics/cfgkeys.h"
#include "graphics/image_codec.h"

namespace {

// The page output's saver (kximage_setpagesaver).
kximage_pagesaver page_saver = nullptr;

using saver = bool (*)(const kxpxmap *, const char *);
using loader = bool (*)(kxpxmap *, const char *, int, int, int, int);

struct format_row {
    int kind;
    saver save;
    loader load;
    bool (*size)(std::FILE *, int *, int *);
};

constexpr format_row FORMATS[] = {
    {KX_KIND_PNG, kxpxmap_savetofile_png, nullptr, nullptr},
    {KX_KIND_BMP, kxpxmap_savetofile_bmp, kxpxmap_loadfromfile_bmp, kximage::bmp_header_size},
    {KX_KIND_XPM, kxpxmap_savetofile_xpm, kxpxmap_loadfromfile_xpm, kximage::xpm_header_size},
    {KX_KIND_PPM, kxpxmap_savetofile_ppm, kxpxmap_loadfromfile_ppm, kximage::ppm_header_size},
    {KX_KIND_PCX, kxpxmap_savetofile_pcx, kxpxmap_loadfromfile_pcx, kximage::pcx_header_size},
};

const format_row *format_of(const char *name)
{
    const int kind = kxpath_kind(name);
    for (const format_row &row : FORMATS)
        if (row.kind == kind)
            return &row;
    return nullptr;
}

// The formatted attribute string and what the image operations read from it.
struct attributes {
    char text[KX_CFG_TEXT] = {};
    alignas(char *) unsigned char block[KX_CFG_SPLIT_BLOCK];
    char **tok = nullptr;
    kxrectattr rect;
    int palettecode = 0;

    // Token 0, the file name, as written.
    const char *name() const { return tok && tok[0] ? tok[0] : ""; }
    // Everything after the first comma, for the page output.
    const char *options() const
    {
        const char *comma = std::strchr(text, ',');
        return comma ? comma + 1 : "";
    }
};

// start is 1 when token 0 is a file name.
void read_attributes(attributes *a, int start, const char *fmt, va_list ap)
{
    kxcfgstr_vattr(a->text, sizeof a->text, fmt ? fmt : "", ap);
    a->tok = kxcfgstr_split(a->text, a->block, sizeof a->block);
    kxcfgstr_rect(a->tok, start, &a->rect);
    kxcfgstr_palettecode(a->tok, start, &a->palettecode);
}

} // namespace

void kximage_setpagesaver(kximage_pagesaver saver) { page_saver = saver; }

bool kximage_save(const kxpxmap *p, const char *name, int x, int y, int xs, int ys,
                  const char *options)
{
    if (!p || !name)
        return false;
    const int kind = kxpath_kind(name);
    if ((kind == KX_KIND_PS || kind == KX_KIND_PDF) && page_saver)
        return page_saver(p, name, options ? options : "");
    const format_row *f = format_of(name);
    if (!f || !f->save) {
        std::printf("kxpxmap_savetofile: unsupported format (%s)\n", name);
        return false;
    }
    kxpxmap region;
    kxpxmap_init(&region);
    if (!kxpxmap_duplicate(&region, p, x, y, xs, ys))
        return false;
    // XPM keeps the palette; the others store colours, transparent as black.
    bool ok = kind == KX_KIND_XPM || kxpxmap_convert2truecolor(&region, 0);
    ok = ok && f->save(&region, name);
    kxpxmap_free(&region);
    return ok;
}

bool kximage_load(kxpxmap *target, const char *name, int x, int y, int xs, int ys)
{
    if (!target || !name)
        return false;
    const format_row *f = format_of(name);
    if (!f || !f->load) {
        std::printf("kxgraphic_gloadintern_file: unsupported format (%s)\n", name);
        return false;
    }
    return f->load(target, name, x, y, xs, ys);
}

bool kxpxmap_savetofile(const kxpxmap *p, const char *fmt, ...)
{
    attributes a;
    va_list ap;
    va_start(ap, fmt);
    read_attributes(&a, 1, fmt, ap);
    va_end(ap);
    return kximage_save(p, a.name(), a.rect.x, a.rect.y, a.rect.xs, a.rect.ys, a.options());
}

bool kxgraphic_gloadintern_file(kxpxmap *target, const char *fmt, ...)
{
    attributes a;
    va_list ap;
    va_start(ap, fmt);
    read_attributes(&a, 1, fmt, ap);
    va_end(ap);
    return kximage_load(target, a.name(), a.rect.x, a.rect.y, a.rect.xs, a.rect.ys);
}

bool kxgraphic_drawxpm(kxpxmap *target, const char *const *xpm, int x, int y, const char *fmt,
                       ...)
{
    attributes a;
    va_list ap;
    va_start(ap, fmt);
    read_attributes(&a, 0, fmt, ap);
    va_end(ap);
    if (a.rect.x != -1)
        x = a.rect.x;
    if (a.rect.y != -1)
        y = a.rect.y;
    return kxgraphic_drawxpm_at(target, xpm, x, y, a.rect.xs, a.rect.ys, a.palettecode, nullptr);
}

int kxgetpicturesizes(const char *name, int *width, int *height)
{
    if (!name)
        return 0;
    const format_row *f = format_of(name);
    if (!f || !f->size) {
        std::printf("kxgetpicturesizes: unsupported format (%s)\n", name);
        return 0;
    }
    std::FILE *in = std::fopen(name, "rb");
    if (!in)
        return 0;
    int w = 0, h = 0;
    const bool read = f->size(in, &w, &h);
    std::fclose(in);
    if (!read || !kximage::size_ok("kxgetpicturesizes", w, h))
        return 0;
    if (width)
        *width = w;
    if (height)
        *height = h;
    return 1;
}
