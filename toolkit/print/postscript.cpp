// The page job: PostScript into a temporary file, then a copy or a PDF.
#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "base/cfgtext.h"
#include "base/file.h"
#include "core/app.h"
#include "core/cfgstr.h"
#include "graphics/font.h"
#include "graphics/fonts/fontdata.h"
#include "print/cfgkeys.h"
#include "print/print.h"

namespace {

struct PaperRow {
    int code;
    int width, height;  // points, portrait
};

constexpr PaperRow PAPERS[] = {
    {KX_PAPER_A4, 595, 842},      {KX_PAPER_A3, 842, 1191},    {KX_PAPER_A2, 1191, 1684},
    {KX_PAPER_A1, 1684, 2384},    {KX_PAPER_A0, 2384, 3370},   {KX_PAPER_A5, 420, 595},
    {KX_PAPER_A6, 297, 420},      {KX_PAPER_A7, 210, 297},     {KX_PAPER_A8, 148, 210},
    {KX_PAPER_A9, 107, 148},      {KX_PAPER_LETTER, 612, 792}, {KX_PAPER_LEGAL, 612, 1008},
};

constexpr const char CLOSING[] = "showpage\n%%EOF\n";

// ISO 8859-1 names of the codes 8#242 .. 8#377, which the standard encoding
// of the base fonts leaves empty or fills differently.
constexpr int ISO_FIRST = 0242;
constexpr const char *ISO_NAMES[] = {
    "cent",        "sterling",      "currency",     "yen",           "brokenbar",
    "section",     "dieresis",      "copyright",    "ordfeminine",   "guillemotleft",
    "logicalnot",  "hyphen",        "registered",   "macron",        "degree",
    "plusminus",   "twosuperior",   "threesuperior", "acute",        "mu",
    "paragraph",   "periodcentered", "cedilla",     "onesuperior",   "ordmasculine",
    "guillemotright", "onequarter", "onehalf",      "threequarters", "questiondown",
    "Agrave",      "Aacute",        "Acircumflex",  "Atilde",        "Adieresis",
    "Aring",       "AE",            "Ccedilla",     "Egrave",        "Eacute",
    "Ecircumflex", "Edieresis",     "Igrave",       "Iacute",        "Icircumflex",
    "Idieresis",   "Eth",           "Ntilde",       "Ograve",        "Oacute",
    "Ocircumflex", "Otilde",        "Odieresis",    "multiply",      "Oslash",
    "Ugrave",      "Uacute",        "Ucircumflex",  "Udieresis",     "Yacute",
    "Thorn",       "germandbls",    "agrave",       "aacute",        "acircumflex",
    "atilde",      "adieresis",     "aring",        "ae",            "ccedilla",
    "egrave",      "eacute",        "ecircumflex",  "edieresis",     "igrave",
    "iacute",      "icircumflex",   "idieresis",    "eth",           "ntilde",
    "ograve",      "oacute",        "ocircumflex",  "otilde",        "odieresis",
    "divide",      "oslash",        "ugrave",       "uacute",        "ucircumflex",
    "udieresis",   "yacute",        "thorn",        "ydieresis",
};
static_assert(sizeof ISO_NAMES / sizeof ISO_NAMES[0] == 0377 - ISO_FIRST + 1);

// basefont newname vector ReEncode: defines newname as a copy of basefont
// with the vector's code/name pairs put into its encoding.  No line here may
// look like one the converter reads.
constexpr const char REENCODE[] =
    "/ReEncode {\n"
    "  /kxvec exch def /kxnew exch def\n"
    "  findfont dup length dict begin\n"
    "    { 1 index /FID ne { def } { pop pop } ifelse } forall\n"
    "    /Encoding Encoding 256 array copy def\n"
    "    0 2 kxvec length 1 sub {\n"
    "      dup kxvec exch get exch 1 add kxvec exch get Encoding 3 1 roll put\n"
    "    } for\n"
    "    currentdict\n"
    "  end\n"
    "  kxnew exch definefont pop\n"
    "} bind def\n";

// Metric fonts by family, nominal sizes ascending.
constexpr int SANS_SIZES[] = {10, 12, 14, 16, 20, 22, 24, 26, 36};
constexpr int MONO_SIZES[] = {10, 12, 14};

bool emit(kxPostScript *job, const char *fmt, ...) __attribute__((format(printf, 2, 3)));
bool emit(kxPostScript *job, const char *fmt, ...)
{
    if (!job->open)
        return false;
    va_list ap;
    va_start(ap, fmt);
    int n = std::vfprintf(job->stream, fmt, ap);
    va_end(ap);
    return n >= 0;
}

int resolution(int asked)
{
    if (asked >= 1 && asked <= KX_PS_MAX_DPI)
        return asked;
    std::printf("kxPostScript: unsupported resolution %d\n", asked);
    return KX_PS_DEFAULT_DPI;
}

void reset(kxPostScript *job)
{
    job->xdpi = job->ydpi = KX_PS_DEFAULT_DPI;
    job->paper = KX_PAPER_NONE;
    job->landscape = false;
    job->width_in = job->height_in = 0.0;
    job->xscale = job->yscale = 0.0;
    job->device_width = job->device_height = 0;
    job->width_pt = job->height_pt = 0.0;
    job->top = job->bottom = job->left = job->right = 0.0;
    job->truecolor = false;
    job->temp_path.clear();
    job->stream = nullptr;
    job->font_name = "Helvetica";
    job->font_size = KX_PS_DEFAULT_FONT_SIZE;
    job->open = false;
}

void apply_keys(kxPostScript *job, const kxprintattr &a)
{
    const int dpi = resolution(a.dpi);
    job->xdpi = a.xdpi ? resolution(a.xdpi) : dpi;
    job->ydpi = a.ydpi ? resolution(a.ydpi) : dpi;
    job->paper = a.paper;
    job->landscape = a.landscape;
    job->truecolor = a.truecolor;
    job->top = a.top;
    job->bottom = a.bottom;
    job->left = a.left;
    job->right = a.right;

    int w = 0, h = 0;
    if (!kxps_papersize(job->paper, &w, &h))
        std::printf("kxPostScript: unsupported format %d\n", job->paper);
    job->width_in = w / 72.0;
    job->height_in = h / 72.0;
    if (job->landscape)
        std::swap(job->width_in, job->height_in);
    job->xscale = job->xdpi / 72.0;
    job->yscale = job->ydpi / 72.0;
    job->width_pt = job->width_in * 72.0;
    job->height_pt = job->height_in * 72.0;
    job->device_width = static_cast<int>(std::lround(job->width_pt * job->xscale));
    job->device_height = static_cast<int>(std::lround(job->height_pt * job->yscale));
}

int round_pt(double v) { return static_cast<int>(std::lround(v)); }

void write_prolog(kxPostScript *job)
{
    emit(job, "%%!PS-Adobe-3.0\n");
    emit(job, "%%%%BoundingBox: 0 0 %d %d\n", round_pt(job->width_pt), round_pt(job->height_pt));
    emit(job, "/ISOvec [\n");
    for (int i = 0; i < static_cast<int>(sizeof ISO_NAMES / sizeof ISO_NAMES[0]); i++)
        emit(job, "8#%o /%s\n", ISO_FIRST + i, ISO_NAMES[i]);
    emit(job, "] def\n%s", REENCODE);
    emit(job, "%%%%Page: 1 1\n");
    if (job->landscape)
        emit(job, "%%kx landscape\n/pagelevel save def\n%d 0 translate 90 rotate\n",
             round_pt(job->height_pt));
    kxps_setfont(job, job->font_name.c_str(), job->font_size);
}

// A pixmap whose pixels read as 0xRRGGBB: palette8 through its palette,
// truecolor as stored, a server pixmap through a truecolor copy.
class Colours {
  public:
    explicit Colours(const kxpxmap *p) : p_(p)
    {
        kxpxmap_init(&copy_);
        if (p->format == KX_PXFMT_SERVER && kxpxmap_duplicate(&copy_, p, 0, 0, -1, -1) &&
            kxpxmap_convert2truecolor(&copy_, 0))
            p_ = &copy_;
    }
    ~Colours() { kxpxmap_free(&copy_); }
    Colours(const Colours &) = delete;
    Colours &operator=(const Colours &) = delete;

    bool readable() const
    {
        return p_->data &&
               (p_->format == KX_PXFMT_PALETTE8 || p_->format == KX_PXFMT_TRUECOLOR);
    }
    unsigned at(int x, int y) const
    {
        int v = kxpxmap_getpixel(p_, x, y);
        if (p_->format == KX_PXFMT_PALETTE8)
            v = p_->palette[v & 0xFF];
        return static_cast<unsigned>(v) & 0xFFFFFFu;
    }

  private:
    const kxpxmap *p_;
    kxpxmap copy_;
};

constexpr char HEX[] = "0123456789ABCDEF";
constexpr int ROW_PIECE = 1024;  // pixels written at a time

void put_hex(char *out, unsigned v, int digits)
{
    for (int i = digits - 1; i >= 0; i--, v >>= 4)
        out[i] = HEX[v & 0xF];
}

unsigned grey_of(unsigned c)
{
    const unsigned r = c >> 16 & 0xFF, g = c >> 8 & 0xFF, b = c & 0xFF;
    return (r * 299 + g * 587 + b * 114 + 500) / 1000;
}

bool put_block(kxPostScript *job, const kxpxmap *p, double x, double y, int xoffset, int yoffset,
               bool grey)
{
    if (!job || !job->open || !p)
        return false;
    if (p->format != KX_PXFMT_PALETTE8 && p->format != KX_PXFMT_TRUECOLOR &&
        p->format != KX_PXFMT_SERVER) {
        std::printf("ps unsupported graphics format: %d\n", p->format);
        return false;
    }
    xoffset = std::max(xoffset, 0);
    yoffset = std::max(yoffset, 0);
    const long long cw = static_cast<long long>(p->width) - xoffset;
    const long long rows = static_cast<long long>(p->height) - yoffset;
    if (cw <= 0 || rows <= 0)
        return false;
    // An even count keeps every row of a 4-bit PDF image on whole bytes.
    long long c = cw + (cw & 1);
    while (c > 0 && xoffset + c > p->width)
        c -= 2;
    if (c <= 0)
        return false;
    Colours px(p);
    if (!px.readable()) {
        std::printf("ps unsupported graphics format: %d\n", p->format);
        return false;
    }
    const int cols = static_cast<int>(c), n = static_cast<int>(rows);
    const double w = static_cast<double>(cw) / job->xscale;
    const double h = static_cast<double>(rows) / job->yscale;
    const double X = x + job->left;
    const double Y = job->height_pt - h - (y + job->top);
    const int per_pixel = grey ? 2 : 6;
    emit(job, "gsave\n%g %g translate\n%g %g scale\n/picture %d string def\n", X, Y, w, h,
         grey ? cols : 3 * cols);
    emit(job, "%d %d 8\n[ %d 0 0 %d 0 %d ]\n", cols, n, cols, -n, n);
    emit(job, grey ? "{currentfile picture readhexstring pop} image\n"
                   : "{currentfile picture readhexstring pop} false 3 colorimage\n");
    // Rows go out in pieces, so a very wide pixmap needs no row buffer.
    char piece[ROW_PIECE * 6 + 1];
    for (int j = 0; j < n; j++) {
        for (int i = 0; i < cols;) {
            const int m = std::min(cols - i, ROW_PIECE);
            char *o = piece;
            for (int k = 0; k < m; k++, o += per_pixel) {
                const unsigned v = px.at(xoffset + i + k, yoffset + j);
                put_hex(o, grey ? grey_of(v) : v, per_pixel);
            }
            i += m;
            if (i == cols)
                *o++ = '\n';
            std::fwrite(piece, 1, static_cast<std::size_t>(o - piece), job->stream);
        }
    }
    return emit(job, "grestore\n\n");
}

// A name the font line can carry: a PostScript name without delimiters.
bool font_name_ok(const char *name)
{
    const std::size_t n = name ? std::strlen(name) : 0;
    if (n == 0 || n >= KX_FONT_TEXT_SIZE)
        return false;
    for (std::size_t i = 0; i < n; i++) {
        const unsigned char ch = static_cast<unsigned char>(name[i]);
        if (ch <= ' ' || ch >= 127 || std::strchr("()<>[]{}/%", ch))
            return false;
    }
    return true;
}

// Text as a PostScript string body: the delimiters escaped, control bytes
// in octal so the line stays one line.
std::string ps_string(const char *text)
{
    std::string s;
    for (const unsigned char *t = reinterpret_cast<const unsigned char *>(text); *t; t++) {
        if (*t == '(' || *t == ')' || *t == '\\') {
            s += '\\';
            s += static_cast<char>(*t);
        } else if (*t < ' ' || *t == 127) {
            char oct[5];
            std::snprintf(oct, sizeof oct, "\\%03o", *t);
            s += oct;
        } else {
            s += static_cast<char>(*t);
        }
    }
    return s;
}

template <std::size_t N> int nearest(const int (&sizes)[N], int size)
{
    int best = sizes[0];
    for (int s : sizes)
        if (std::abs(s - size) < std::abs(best - size))
            best = s;
    return best;
}

bool copy_stream(std::FILE *in, long length, std::FILE *out)
{
    char chunk[16384];
    while (length > 0) {
        const std::size_t want = static_cast<std::size_t>(std::min<long>(length, sizeof chunk));
        const std::size_t got = std::fread(chunk, 1, want, in);
        if (got != want || std::fwrite(chunk, 1, got, out) != got)
            return false;
        length -= static_cast<long>(got);
    }
    return true;
}

// The bytes written so far, with the closing lines after them.
bool finish_ps(kxPostScript *job, long length, const char *target)
{
    namespace fs = std::filesystem;
    std::string dest = target;
    std::error_code ec;
    if (fs::is_directory(fs::path(dest), ec))
        dest = (fs::path(dest) / fs::path(job->temp_path).filename()).string();
    std::FILE *in = std::fopen(job->temp_path.c_str(), "rb");
    if (!in)
        return false;
    const bool ok = kxfile_writestream(dest.c_str(), [&](std::FILE *out) {
        return copy_stream(in, length, out) && std::fputs(CLOSING, out) >= 0;
    });
    std::fclose(in);
    return ok;
}

bool finish_pdf(kxPostScript *job, long length, const char *target)
{
    if (std::fputs(CLOSING, job->stream) < 0 || std::fflush(job->stream) != 0)
        return false;
    const bool ok = kxpdf_convertps(job->temp_path.c_str(), target, job->truecolor);
    // Whatever comes next overwrites the closing lines.
    return std::fseek(job->stream, length, SEEK_SET) == 0 && ok;
}

} // namespace

kxPostScript::~kxPostScript() { kxps_close(this); }

bool kxps_papersize(int paper, int *width_pt, int *height_pt)
{
    for (const PaperRow &row : PAPERS)
        if (row.code == paper) {
            if (width_pt)
                *width_pt = row.width;
            if (height_pt)
                *height_pt = row.height;
            return true;
        }
    if (width_pt)
        *width_pt = 0;
    if (height_pt)
        *height_pt = 0;
    return false;
}

bool kxps_open(kxPostScript *job, const char *options, ...)
{
    if (!job)
        return false;
    kxps_close(job);

    kxcfgstr_tokens t;
    va_list ap;
    va_start(ap, options);
    kxcfgstr_vattr(t.text, sizeof t.text, options ? options : "", ap);
    va_end(ap);
    t.tok = kxcfgstr_split(t.text, t.block, sizeof t.block);
    kxprintattr keys;
    if (t.tok)
        kxcfgstr_print(t.tok, 0, &keys);
    apply_keys(job, keys);

    char path[KX_PATH_BUFSIZE];
    if (!kxapp_tempfile(path, sizeof path))
        return false;
    kxpath_normalize(path, path, sizeof path);
    job->temp_path = path;
    job->stream = std::fopen(path, "w+b");
    if (!job->stream)
        return false;
    job->open = true;
    write_prolog(job);
    return true;
}

bool kxps_putimage(kxPostScript *job, const kxpxmap *p, double x, double y, int xoffset,
                   int yoffset)
{
    return put_block(job, p, x, y, xoffset, yoffset, false);
}

bool kxps_putgreyimage(kxPostScript *job, const kxpxmap *p, double x, double y, int xoffset,
                       int yoffset)
{
    return put_block(job, p, x, y, xoffset, yoffset, true);
}

bool kxps_setfont(kxPostScript *job, const char *name, int size)
{
    if (!job || !job->open || !font_name_ok(name) || size < 1 || size > KX_PS_MAX_FONT_SIZE)
        return false;
    job->font_name = name;
    job->font_size = size;
    return emit(job, "/%s /ISOfont ISOvec ReEncode /ISOfont findfont\n%d scalefont\nsetfont\n",
                name, size);
}

bool kxps_moveto(kxPostScript *job, double x, double y)
{
    if (!job)
        return false;
    return emit(job, "%g %g moveto\n", x + job->left, job->height_pt - (y + job->top));
}

bool kxps_text(kxPostScript *job, const char *text)
{
    if (!job || !text)
        return false;
    return emit(job, "(%s) show\n", ps_string(text).c_str());
}

bool kxps_setcolor(kxPostScript *job, int colour)
{
    if (!job)
        return false;
    const unsigned c = static_cast<unsigned>(colour);
    return emit(job, "%g %g %g setrgbcolor\n", (c >> 16 & 0xFF) / 255.0, (c >> 8 & 0xFF) / 255.0,
                (c & 0xFF) / 255.0);
}

double kxps_textwidth(const kxPostScript *job, const char *text)
{
    if (!job || !text)
        return 0.0;
    const bool mono = job->font_name.rfind("Courier", 0) == 0;
    const bool bold = job->font_name.find("Bold") != std::string::npos;
    const int nominal =
        mono ? nearest(MONO_SIZES, job->font_size) : nearest(SANS_SIZES, job->font_size);
    char name[16];
    std::snprintf(name, sizeof name, "%s%d%s", mono ? "crnew" : "Arial", nominal,
                  bold ? "b" : "");
    const char *const *lines = kxfontdata_page(name);
    if (!lines)
        return 0.0;
    const int font = kxfont_loadtable(lines);
    long pixels = 0;
    for (const unsigned char *t = reinterpret_cast<const unsigned char *>(text); *t; t++)
        pixels += kxfont_charwidth(font, *t);
    return static_cast<double>(pixels) * job->font_size / nominal;
}

bool kxps_finish(kxPostScript *job, const char *target)
{
    if (!job || !target || !job->open)
        return false;
    const int kind = kxpath_kind(target);
    if (kind != KX_KIND_PS && kind != KX_KIND_PDF)
        return false;
    if (std::fflush(job->stream) != 0 || std::ferror(job->stream))
        return false;
    // The write position, not the file's end: a PDF finish leaves its
    // closing lines behind it.
    const long length = std::ftell(job->stream);
    if (length < 0)
        return false;
    return kind == KX_KIND_PS ? finish_ps(job, length, target) : finish_pdf(job, length, target);
}

void kxps_close(kxPostScript *job)
{
    if (!job)
        return;
    if (job->stream) {
        if (job->open)
            std::fputs(CLOSING, job->stream);
        std::fclose(job->stream);
    }
    if (!job->temp_path.empty())
        std::remove(job->temp_path.c_str());
    reset(job);
}
