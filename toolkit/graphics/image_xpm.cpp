// XPM: pictures as C string arrays, in files and in memory.  The first
// string holds width, height, number of colours and characters per pixel;
// then one string per colour ("<key> c <colour>"), then one per row of keys.
// Pictures become palette8 pixmaps with "None" as the transparent index 255.
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "base/file.h"
#include "base/hexdigit.h"
#include "graphics/colournames.h"
#include "graphics/image.h"
#include "graphics/image_codec.h"

namespace {

using namespace kximage;

constexpr const char *DECODE = "kxpxmap_createfrommem_xpm";
constexpr const char *LOAD = "kxpxmap_loadfromfile_xpm";
constexpr const char *SAVE = "kxpxmap_savetofile_xpm";

// Colours of a picture that fit a palette8 pixmap, and the colour lines of
// a file: those colours and "None".
constexpr int MAX_COLOURS = 255;
constexpr int MAX_COLOUR_LINES = MAX_COLOURS + 1;
constexpr int REDUCE_MASK = 0xC0C0C0;
// Pixel codes of the writer; code 0 (a space) is the transparent pixel.
constexpr char ALPHABET[] = " .+@*-()[]!#$%&'_/:;<>=?,{}0123456789abcdefghijklmnopqrstuvwxyz"
                            "ABCDEFGHIJKLMNOPQRSTUVWXYZ|^";
constexpr int ALPHABET_SIZE = sizeof ALPHABET - 1; // 91
constexpr int TWO_CHAR_BASE = 90;
// More strings than a picture of the largest size can use are not kept, so
// text of endless empty strings cannot take memory.
constexpr std::size_t MAX_STRINGS = 1 + MAX_COLOUR_LINES + KX_IMAGE_MAX_SIDE;
// A file larger than the largest picture can need (two-character codes,
// 255 colours, room for comments) is refused before it is read in full.
constexpr std::size_t MAX_FILE =
    std::size_t(KX_IMAGE_MAX_SIDE) * (2 * KX_IMAGE_MAX_SIDE + 16) + (std::size_t(1) << 24);
constexpr std::size_t READ_CHUNK = 1 << 16;
// An unknown colour name is shown in its diagnostic up to this length.
constexpr std::size_t MAX_SHOWN_NAME = 40;
// kxgetpicturesizes looks this far for the first string.
constexpr int SIZE_SCAN = 1 << 16;

// ------------------------------------------------------------ decoding

bool space(char c) { return c == ' ' || c == '\t'; }

// A whole number, clamped; false without digits.
bool read_int(const char *&s, int *out)
{
    while (space(*s))
        s++;
    const char *p = s;
    bool neg = false;
    if (*p == '-' || *p == '+')
        neg = *p++ == '-';
    if (*p < '0' || *p > '9')
        return false;
    long long v = 0;
    for (; *p >= '0' && *p <= '9'; p++)
        v = std::min<long long>(v * 10 + (*p - '0'), 1LL << 40);
    v = neg ? -v : v;
    *out = static_cast<int>(std::clamp<long long>(v, INT32_MIN, INT32_MAX));
    s = p;
    return true;
}

// At least n characters before the string's end.
bool has_chars(const char *s, long long n)
{
    for (long long i = 0; i < n; i++)
        if (!s[i])
            return false;
    return true;
}

// Hex digits of s[from .. from + count), stopping at the first non-digit.
int hex_value(const char *s, std::size_t len, std::size_t from, std::size_t count)
{
    int v = 0;
    for (std::size_t i = from; i < from + count && i < len; i++) {
        const int d = kxhex_digit(s[i]);
        if (d < 0)
            break;
        v = v * 16 + d;
    }
    return v;
}

bool is_none(const char *t, std::size_t len)
{
    static constexpr char NONE[] = "none";
    if (len != 4)
        return false;
    for (std::size_t i = 0; i < len; i++)
        if ((t[i] | 0x20) != NONE[i])
            return false;
    return true;
}

// Keys of the other visuals that may follow a colour in a colour string.
bool is_visual_key(std::string_view word)
{
    return word == "c" || word == "m" || word == "s" || word == "g" || word == "g4";
}

// A colour given by name: its words up to the next visual key or the end,
// so that names with blanks ("light grey") stay whole.  An unknown name is
// black.
int named_colour(const char *t)
{
    const char *end = t;
    for (const char *p = t; *p;) {
        const char *word = p;
        while (*p && !space(*p))
            p++;
        if (word != t && is_visual_key(std::string_view(word, std::size_t(p - word))))
            break;
        end = p;
        while (space(*p))
            p++;
    }
    const std::string_view name(t, std::size_t(end - t));
    const int colour = kxcolourname_find(name);
    if (colour >= 0)
        return colour;
    std::printf("%s: unknown colour name \"%.*s\", black used\n", DECODE,
                static_cast<int>(std::min<std::size_t>(name.size(), MAX_SHOWN_NAME)), name.data());
    return 0;
}

// The colour of a colour string, found after the first 'c' (followed by a
// space or tab) from the third character on.  "None" is transparent; a text
// without '#' is an X11 colour name; "#" and up to seven characters is the
// number whole; longer forms (four digits per channel) take two digits of
// each group.
bool read_colour(const char *s, int *colour, bool *none)
{
    const char *c = nullptr;
    if (!has_chars(s, 3))
        return false;
    for (const char *p = s + 2; *p; p++)
        if (*p == 'c' && space(p[1])) {
            c = p;
            break;
        }
    if (!c)
        return false;
    const char *t = c + 2;
    while (space(*t))
        t++;
    std::size_t len = 0;
    while (t[len] && !space(t[len]))
        len++;
    *none = is_none(t, len);
    if (*none)
        *colour = 0;
    else if (t[0] != '#')
        *colour = named_colour(t);
    else if (len - 1 <= 7)
        *colour = hex_value(t, len, 1, len - 1);
    else
        *colour = hex_value(t, len, 1, 2) << 16 | hex_value(t, len, 5, 2) << 8 |
                  hex_value(t, len, 9, 2);
    return true;
}

int key_of(const char *s, int cpp)
{
    const int first = static_cast<unsigned char>(s[0]);
    return cpp == 1 ? first : first | static_cast<unsigned char>(s[1]) << 8;
}

struct xpm_header {
    int width = 0, height = 0, colours = 0, cpp = 0;
};

bool read_header(const char *const *xpm, std::size_t count, xpm_header *h)
{
    if (!xpm || count < 1 || !xpm[0]) {
        std::printf("%s: no header\n", DECODE);
        return false;
    }
    const char *s = xpm[0];
    if (!read_int(s, &h->width) || !read_int(s, &h->height) || !read_int(s, &h->colours) ||
        !read_int(s, &h->cpp) || h->colours < 0) {
        std::printf("%s: bad header\n", DECODE);
        return false;
    }
    if (h->colours > MAX_COLOUR_LINES) {
        std::printf("%s: too many colors (%d)\n", DECODE, h->colours);
        return false;
    }
    if (h->cpp != 1 && h->cpp != 2) {
        std::printf("%s: %d characters per pixel not supported\n", DECODE, h->cpp);
        return false;
    }
    return size_ok(DECODE, h->width, h->height);
}

// Every colour and row string is there and long enough; checked before the
// picture's memory is taken.
bool strings_complete(const char *const *xpm, std::size_t count, const xpm_header &h)
{
    for (int i = 1; i <= h.colours; i++)
        if (std::size_t(i) >= count || !xpm[i] || !has_chars(xpm[i], h.cpp)) {
            std::printf("%s: colour %d missing\n", DECODE, i);
            return false;
        }
    const long long row_chars = static_cast<long long>(h.width) * h.cpp;
    for (int j = 0; j < h.height; j++) {
        const std::size_t at = std::size_t(1 + h.colours + j);
        if (at >= count || !xpm[at] || !has_chars(xpm[at], row_chars)) {
            std::printf("%s: row %d missing or short\n", DECODE, j);
            return false;
        }
    }
    return true;
}

struct colour_line {
    int colour = 0;
    bool none = false;
};

// Colour lines 1 .. n, each with a colour; at most 255 of them not "None".
bool read_colours(const char *const *xpm, const xpm_header &h, std::vector<colour_line> *lines)
{
    int colours = 0;
    for (int i = 1; i <= h.colours; i++) {
        colour_line c;
        if (!read_colour(xpm[i], &c.colour, &c.none)) {
            std::printf("%s: no colour in colour line %d\n", DECODE, i);
            return false;
        }
        colours += !c.none;
        lines->push_back(c);
    }
    if (colours > MAX_COLOURS) {
        std::printf("%s: too many colors (%d)\n", DECODE, h.colours);
        return false;
    }
    return true;
}

// The palette entry of each colour line ("None" lines: the transparent
// index).  Line i goes to entry i, line 255 to entry 0, as 255 is the
// transparent index; a 256th line, which comes with a "None" among the
// others, takes the lowest entry no colour has.
std::vector<int> palette_slots(const std::vector<colour_line> &lines)
{
    std::vector<int> slot(lines.size(), KX_TRANSPARENT_INDEX);
    std::array<bool, KX_PALETTE_SIZE> taken{};
    for (std::size_t i = 0; i < lines.size() && i < MAX_COLOURS; i++)
        if (!lines[i].none) {
            const int line = static_cast<int>(i) + 1;
            slot[i] = line == KX_TRANSPARENT_INDEX ? 0 : line;
            taken[std::size_t(slot[i])] = true;
        }
    if (lines.size() == MAX_COLOUR_LINES && !lines.back().none)
        slot.back() = static_cast<int>(std::find(taken.begin(), taken.end(), false) -
                                       taken.begin());
    return slot;
}

bool decode(kxpxmap *p, const char *const *xpm, std::size_t count)
{
    if (!p)
        return false;
    xpm_header h;
    std::vector<colour_line> lines;
    if (!read_header(xpm, count, &h) || !strings_complete(xpm, count, h) ||
        !read_colours(xpm, h, &lines))
        return false;

    kxpxmap pic;
    kxpxmap_init(&pic);
    pic.width = h.width;
    pic.height = h.height;
    pic.format = KX_PXFMT_PALETTE8;
    if (!kxpxmap_allocate(&pic))
        return false;
    // Key to palette index; -1 for keys the picture does not define.
    std::vector<std::int16_t> index(h.cpp == 1 ? 256 : 65536, -1);
    const std::vector<int> slot = palette_slots(lines);
    for (std::size_t k = 0; k < lines.size(); k++) {
        if (slot[k] != KX_TRANSPARENT_INDEX)
            pic.palette[std::size_t(slot[k])] = lines[k].colour;
        index[key_of(xpm[k + 1], h.cpp)] = static_cast<std::int16_t>(slot[k]);
    }
    auto *px = static_cast<std::uint8_t *>(pic.data);
    for (int j = 0; j < h.height; j++) {
        const char *row = xpm[1 + h.colours + j];
        for (int i = 0; i < h.width; i++) {
            const int k = index[key_of(row + std::size_t(i) * h.cpp, h.cpp)];
            if (k < 0) {
                std::printf("%s: unknown colour key in row %d\n", DECODE, j);
                kxpxmap_free(&pic);
                return false;
            }
            px[std::size_t(j) * h.width + i] = static_cast<std::uint8_t>(k);
        }
    }
    pic.pen_x = p->pen_x;
    pic.pen_y = p->pen_y;
    *p = pic;
    return true;
}

// Turns the text of an XPM file, in place, into its strings: what stands
// inside double quotes, a comma outside quotes ending a string (adjacent
// quoted pieces join, as in C).  Everything before the first quote, and
// outside quotes, is skipped.  buf must end with a NUL of its own.
std::vector<const char *> split_strings(std::vector<char> &buf)
{
    std::vector<const char *> out;
    const std::size_t len = buf.size() - 1;
    std::size_t w = 0, start = 0;
    bool quoted = false, pending = false;
    // Every string read took at least two quotes, so w never passes r.
    for (std::size_t r = 0; r < len && out.size() < MAX_STRINGS; r++) {
        const char c = buf[r];
        if (quoted) {
            if (c == '"')
                quoted = false;
            else
                buf[w++] = c;
        } else if (c == '"') {
            quoted = true;
            if (!pending)
                start = w;
            pending = true;
        } else if (c == ',' && pending) {
            buf[w++] = 0;
            out.push_back(&buf[start]);
            pending = false;
        }
    }
    if (pending && out.size() < MAX_STRINGS) {
        buf[w] = 0;
        out.push_back(&buf[start]);
    }
    return out;
}

bool decode_buffer(kxpxmap *p, std::vector<char> &buf)
{
    buf.push_back(0);
    std::vector<const char *> strings = split_strings(buf);
    return decode(p, strings.data(), strings.size());
}

// The whole file, up to MAX_FILE bytes; read in chunks, as the size a
// stream reports is not to be trusted.
bool read_file(const char *name, std::vector<char> *buf)
{
    file_ptr f = open_read(name);
    if (!f)
        return false;
    std::vector<char> chunk(READ_CHUNK);
    std::size_t n = 0;
    do {
        n = std::fread(chunk.data(), 1, chunk.size(), f.get());
        if (buf->size() + n > MAX_FILE) {
            std::printf("%s: file too large\n", LOAD);
            return false;
        }
        buf->insert(buf->end(), chunk.begin(), chunk.begin() + static_cast<long>(n));
    } while (n == chunk.size());
    return !std::ferror(f.get());
}

// ------------------------------------------------------------ writing

// The palette8 form of p: p itself, or a converted copy of a truecolor p.
class palette8_view {
  public:
    explicit palette8_view(const kxpxmap *p)
    {
        kxpxmap_init(&copy_);
        use_ = p;
        if (p->format != KX_PXFMT_TRUECOLOR || !p->data)
            return;
        if (!kxpxmap_duplicate(&copy_, p, -1, -1, -1, -1))
            return;
        reduce_if_many(&copy_);
        if (kxpxmap_convert2palette8(&copy_, -1))
            use_ = &copy_;
    }
    ~palette8_view() { kxpxmap_free(&copy_); }
    palette8_view(const palette8_view &) = delete;
    palette8_view &operator=(const palette8_view &) = delete;
    const kxpxmap *get() const { return use_; }

  private:
    static void reduce_if_many(kxpxmap *t)
    {
        auto *px = static_cast<std::uint32_t *>(t->data);
        const std::size_t n = std::size_t(t->width) * std::size_t(t->height);
        std::unordered_set<std::uint32_t> seen;
        for (std::size_t i = 0; i < n && seen.size() < 256; i++)
            seen.insert(px[i]);
        if (seen.size() < 256)
            return;
        std::printf("kxpxmap_savetofile_xpm warning: too many colors in truecolor-pixmap, "
                    "reducing to 64\n");
        for (std::size_t i = 0; i < n; i++)
            px[i] &= REDUCE_MASK;
    }

    kxpxmap copy_;
    const kxpxmap *use_;
};

// Code k with cpp characters.
void append_code(std::string &s, int k, int cpp)
{
    if (cpp == 1) {
        s += ALPHABET[k];
    } else {
        s += ALPHABET[k / TWO_CHAR_BASE];
        s += ALPHABET[k % TWO_CHAR_BASE];
    }
}

// The file name after its last '/' or '\\', each '.' made '_'.
std::string variable_name(const char *name)
{
    std::string v = name;
    const std::size_t slash = v.find_last_of("/\\");
    if (slash != std::string::npos)
        v.erase(0, slash + 1);
    std::replace(v.begin(), v.end(), '.', '_');
    return v;
}

bool write_xpm(std::FILE *f, const kxpxmap *p, const char *name)
{
    const auto *px = static_cast<const std::uint8_t *>(p->data);
    const std::size_t count = std::size_t(p->width) * std::size_t(p->height);
    // Entries 0 .. n-1 cover every index in use; 255 is transparent.
    int n = 0;
    for (std::size_t i = 0; i < count; i++)
        if (px[i] != KX_TRANSPARENT_INDEX)
            n = std::max(n, px[i] + 1);
    const int cpp = n < TWO_CHAR_BASE + 1 ? 1 : 2;
    if (std::fprintf(f, "/* XPM */\nstatic char * %s[] = {\n", variable_name(name).c_str()) < 0 ||
        std::fprintf(f, "\"%d %d %d %d\",\n", p->width, p->height, n + 1, cpp) < 0 ||
        std::fprintf(f, "\"%s\tc None\",\n", cpp == 1 ? " " : "  ") < 0)
        return false;
    std::string line;
    for (int i = 0; i < n; i++) {
        line.clear();
        append_code(line, i + 1, cpp);
        if (std::fprintf(f, "\"%s\tc #%06X\",\n", line.c_str(),
                         static_cast<unsigned>(p->palette[i]) & 0xFFFFFFu) < 0)
            return false;
    }
    for (int y = 0; y < p->height; y++) {
        line.assign(1, '"');
        const std::uint8_t *row = px + std::size_t(y) * p->width;
        for (int x = 0; x < p->width; x++)
            append_code(line, row[x] == KX_TRANSPARENT_INDEX ? 0 : row[x] + 1, cpp);
        line += y + 1 < p->height ? "\",\n" : "\"};\n";
        if (!put(f, line.data(), line.size()))
            return false;
    }
    return true;
}

} // namespace

static_assert(ALPHABET_SIZE == TWO_CHAR_BASE + 1, "one code per palette entry and 0");

bool kxpxmap_savetofile_xpm(const kxpxmap *p, const char *name)
{
    if (!p || !name)
        return false;
    palette8_view view(p);
    const kxpxmap *pal = view.get();
    if (pal->format != KX_PXFMT_PALETTE8) {
        std::printf("%s: unsupported format %d\n", SAVE, pal->format);
        return false;
    }
    if (!pal->data || !size_ok(SAVE, pal->width, pal->height))
        return false;
    return kxfile_writestream(name, [&](std::FILE *f) { return write_xpm(f, pal, name); });
}

bool kxpxmap_createfromstrings_xpm(kxpxmap *p, const char *const *xpm, std::size_t count)
{
    return decode(p, xpm, count);
}

bool kxpxmap_createfrommem_xpm(kxpxmap *p, const char *const *xpm)
{
    // The array's length is the header's business; a null entry stops early.
    return decode(p, xpm, SIZE_MAX);
}

bool kxpxmap_createfromtext_xpm(kxpxmap *p, const char *text, std::size_t length)
{
    if (!p || (!text && length))
        return false;
    std::vector<char> buf(text, text + length);
    return decode_buffer(p, buf);
}

bool kxpxmap_loadfromfile_xpm(kxpxmap *target, const char *name, int x, int y, int xs, int ys)
{
    if (!target_ok(LOAD, target))
        return false;
    std::vector<char> buf;
    if (!read_file(name, &buf))
        return false;
    kxpxmap pic;
    kxpxmap_init(&pic);
    if (!decode_buffer(&pic, buf))
        return false;
    kxpxmap_merge4(target, &pic, std::max(x, 0), std::max(y, 0), 0, 0, std::max(xs, 0),
                   std::max(ys, 0), 0);
    kxpxmap_free(&pic);
    return true;
}

bool kxgraphic_drawxpm_at(kxpxmap *target, const char *const *xpm, int x, int y, int xs, int ys,
                          int palettecode, const int *palette)
{
    if (!target)
        return false;
    kxpxmap pic;
    kxpxmap_init(&pic);
    if (!kxpxmap_createfrommem_xpm(&pic, xpm))
        return false;
    if (palette)
        std::copy_n(palette, KX_PALETTE_SIZE, pic.palette.begin());
    kxpxmap_merge4(target, &pic, x, y, 0, 0, xs, ys, palettecode);
    kxpxmap_free(&pic);
    return true;
}

bool kximage::xpm_header_size(std::FILE *f, int *width, int *height)
{
    int c = 0, scanned = 0;
    while ((c = std::fgetc(f)) != EOF && c != '"')
        if (++scanned > SIZE_SCAN)
            return false;
    if (c != '"')
        return false;
    char head[200];
    std::size_t n = 0;
    while ((c = std::fgetc(f)) != EOF && c != '"' && n + 1 < sizeof head)
        head[n++] = static_cast<char>(c);
    head[n] = 0;
    const char *s = head;
    return read_int(s, width) && read_int(s, height);
}
