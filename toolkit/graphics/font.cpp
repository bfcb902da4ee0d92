#include "graphics/font.h"

#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <vector>

#include "base/id.h"
#include "graphics/fonts/fontdata.h"
#include "platform/platform.h"

namespace {

// Limits for fonts read from text: a text may come from a file, so numbers
// are clamped before they size anything.
constexpr int KX_FONT_MAX_YSIZE = 256;
constexpr int KX_FONT_MAX_WIDTH = 256;
constexpr int KX_FONT_ATTR_SIZE = 1000;  // formatted attribute string of a host font

constexpr const char *ID_6X13 = "builtin 6x13";
constexpr const char *ID_VAR13 = "builtin variable 13";

// The font table owns the glyph blocks of its records; they go with it at
// the latest when the program's statics are destroyed.
struct FontTable {
    std::vector<kxfont> slots;
    ~FontTable() { clear(); }
    void clear()
    {
        for (kxfont &f : slots)
            delete[] f.data;
        slots.clear();
        slots.shrink_to_fit();
    }
};

FontTable table;
std::vector<kxfont> &fonts = table.slots;

int clamp(long long v, int lo, int hi)
{
    return v < lo ? lo : v > hi ? hi : static_cast<int>(v);
}

// Like atoi (leading blanks, sign, digits, the rest ignored), but saturating
// where atoi would overflow.
int read_int(const char *s)
{
    while (*s == ' ' || *s == '\t')
        s++;
    bool negative = *s == '-';
    if (*s == '-' || *s == '+')
        s++;
    long long v = 0;
    for (; *s >= '0' && *s <= '9'; s++)
        if (v <= INT_MAX)
            v = v * 10 + (*s - '0');
    return clamp(negative ? -v : v, INT_MIN, INT_MAX);
}

bool has_key(const char *line, const char *key)
{
    return std::strncmp(line, key, std::strlen(key)) == 0;
}

// Whole-line words; a line end of a text read from a DOS file is allowed.
bool is_line(const char *line, const char *word)
{
    std::size_t n = std::strlen(word);
    if (std::strncmp(line, word, n) != 0)
        return false;
    return line[n] == '\0' || std::strcmp(line + n, "\r") == 0 || std::strcmp(line + n, "\r\n") == 0;
}

void copy_text(char (&dst)[KX_FONT_TEXT_SIZE], const char *src)
{
    std::size_t n = 0;
    while (src[n] && src[n] != '\r' && src[n] != '\n' && n < KX_FONT_TEXT_SIZE - 1)
        n++;
    std::memcpy(dst, src, n);
    dst[n] = '\0';
}

// "N0 N1 ...": the first number, then one after each following space, for
// entries 0..n-1; a list that ends early leaves the rest untouched.
void read_list(const char *p, int n, std::array<int, KX_FONT_GLYPHS> &out, int lo, int hi)
{
    for (int k = 0; k < n; k++) {
        if (k > 0) {
            p = std::strchr(p, ' ');
            if (!p)
                return;
            p++;
        }
        out[k] = clamp(read_int(p), lo, hi);
    }
}

struct IntKey {
    const char *key;
    int kxfont::*field;
    int lo, hi;
};

constexpr IntKey int_keys[] = {
    {"xsize=", &kxfont::xsize, 0, KX_FONT_MAX_WIDTH},
    {"ysize=", &kxfont::ysize, 0, KX_FONT_MAX_YSIZE},
    {"ascent=", &kxfont::ascent, 0, KX_FONT_MAX_YSIZE},
    {"descent=", &kxfont::descent, 0, KX_FONT_MAX_YSIZE},
    {"slant=", &kxfont::slant, INT_MIN, INT_MAX},
    {"weight=", &kxfont::weight, INT_MIN, INT_MAX},
    {"width=", &kxfont::width, INT_MIN, INT_MAX},
    {"pts=", &kxfont::pts, INT_MIN, INT_MAX},
};

struct HeaderState {
    int chars = KX_FONT_GLYPHS;
    bool have_offsets = false;
};

void read_header_line(kxfont &f, HeaderState &h, const char *line)
{
    if (has_key(line, "name=")) {
        copy_text(f.name, line + 5);
    } else if (has_key(line, "foundry=")) {
        copy_text(f.foundry, line + 8);
    } else if (is_line(line, "monospace")) {
        f.kind = 1;
    } else if (is_line(line, "proportional")) {
        f.kind = 2;
    } else if (has_key(line, "chars=")) {
        h.chars = clamp(read_int(line + 6), 0, KX_FONT_GLYPHS);
    } else if (has_key(line, "propxs=")) {
        f.widths.fill(0);
        read_list(line + 7, h.chars, f.widths, 0, KX_FONT_MAX_WIDTH);
    } else if (has_key(line, "propdataoffset=")) {
        f.offsets.fill(0);
        read_list(line + 15, h.chars, f.offsets, INT_MIN, INT_MAX);
        h.have_offsets = true;
    } else {
        for (const IntKey &k : int_keys)
            if (has_key(line, k.key)) {
                f.*k.field = clamp(read_int(line + std::strlen(k.key)), k.lo, k.hi);
                return;
            }
    }
}

// Sizes the glyph block and drops every glyph whose bitmap would lie
// outside it.  Without offsets the glyphs are laid out back to back.
void layout_glyphs(kxfont &f, const HeaderState &h)
{
    for (int k = h.chars; k < KX_FONT_GLYPHS; k++) {
        f.widths[k] = 0;
        f.offsets[k] = 0;
    }
    std::int64_t total = 0;
    for (int k = 0; k < h.chars; k++) {
        if (!h.have_offsets)
            f.offsets[k] = static_cast<int>(total);
        total += static_cast<std::int64_t>(f.widths[k]) * f.ysize;
    }
    f.datasize = total;
    for (int k = 0; k < h.chars; k++) {
        std::int64_t end = static_cast<std::int64_t>(f.offsets[k]) + std::int64_t{f.widths[k]} * f.ysize;
        if (f.offsets[k] < 0 || end > f.datasize) {
            f.widths[k] = 0;
            f.offsets[k] = 0;
        }
    }
}

// Glyph rows after "data:": ysize rows per glyph, the first width
// characters of each, '*' set; a short row leaves the rest unset.  Glyphs
// past the font's range have width 0: rows left for them draw nothing.
void read_rows(kxfont &f, const char *const *rows)
{
    if (f.datasize > 0)
        f.data = new std::uint8_t[f.datasize]();
    for (int k = 0; k < KX_FONT_GLYPHS; k++) {
        int w = f.widths[k];
        for (int r = 0; r < f.ysize; r++) {
            const char *row = *rows;
            if (!row)
                return;
            rows++;
            std::uint8_t *out = f.data ? f.data + f.offsets[k] + std::int64_t{r} * w : nullptr;
            for (int x = 0; out && x < w && row[x]; x++)
                out[x] = row[x] == '*';
        }
    }
}

int load_text(const char *const *lines, const char *id);

int register_font(const kxfont &f)
{
    int slot = 0;
    while (slot < static_cast<int>(fonts.size()) && fonts[slot].used)
        slot++;
    if (slot == static_cast<int>(fonts.size()))
        fonts.emplace_back();
    fonts[slot] = f;
    fonts[slot].used = 1;
    fonts[slot].count = KX_FONT_GLYPHS;
    return slot;
}

int ensure_loaded(const char *id, int (*load)())
{
    int slot = kxfont_findbyid(id);
    if (slot < 0) {
        load();
        slot = kxfont_findbyid(id);
    }
    return slot;
}

// Characters given as plain (signed) char still mean their byte.
int char_code(int ch) { return ch < 0 && ch >= -128 ? ch + 256 : ch; }

bool same_text_nocase(const char *a, const char *b)
{
    auto lower = [](unsigned char c) { return c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c; };
    for (; *a && *b; a++, b++)
        if (lower(*a) != lower(*b))
            return false;
    return *a == *b;
}

// ------------------------------------------------------------ host fonts

struct FontRequest {
    char face[KX_FONT_TEXT_SIZE] = {};
    int points = 0, xs = 0, ys = 0, ascent = 0, descent = 0;
    int xsextra = 0;  // extra width per glyph, for a host that hands back glyphs
    int bold = 0, italic = 0, underlined = 0, understriked = 0;
};

struct FlagWord {
    const char *word;
    int FontRequest::*flag;
};

constexpr FlagWord font_flags[] = {
    {"bold", &FontRequest::bold},
    {"italic", &FontRequest::italic},
    {"underlined", &FontRequest::underlined},
    {"understriked", &FontRequest::understriked},
};

struct ValueKey {
    const char *key;
    int FontRequest::*value;
};

constexpr ValueKey font_values[] = {
    {"xs=", &FontRequest::xs},         {"width=", &FontRequest::xs},
    {"ys=", &FontRequest::ys},         {"height=", &FontRequest::ys},
    {"ascent=", &FontRequest::ascent}, {"descent=", &FontRequest::descent},
    {"points=", &FontRequest::points}, {"xsextra=", &FontRequest::xsextra},
};

// One setting token, compared with its blanks removed.
void read_font_setting(FontRequest &req, const char *token, std::size_t len)
{
    char word[KX_FONT_ATTR_SIZE];
    std::size_t n = 0;
    for (std::size_t i = 0; i < len; i++)
        if (token[i] != ' ' && token[i] != '\t')
            word[n++] = token[i];
    word[n] = '\0';
    for (const FlagWord &f : font_flags)
        if (std::strcmp(word, f.word) == 0)
            req.*f.flag = 1;
    for (const ValueKey &v : font_values)
        if (has_key(word, v.key))
            req.*v.value = read_int(word + std::strlen(v.key));
}

// Face name first, then the settings, separated by commas.
FontRequest parse_font_request(const char *text)
{
    FontRequest req;
    const char *comma = std::strchr(text, ',');
    std::size_t face_len = comma ? static_cast<std::size_t>(comma - text) : std::strlen(text);
    if (face_len > KX_FONT_TEXT_SIZE - 1)
        face_len = KX_FONT_TEXT_SIZE - 1;
    std::memcpy(req.face, text, face_len);
    while (comma) {
        const char *token = comma + 1;
        comma = std::strchr(token, ',');
        read_font_setting(req, token, comma ? static_cast<std::size_t>(comma - token) : std::strlen(token));
    }
    return req;
}

// ------------------------------------------------------------ builtins

struct Builtin {
    const char *id;
    const char *name;  // as its "name=" line says
    const char *const *lines;
};

// In the load order of kxfont_loadbuiltins: a running program has them in
// slots 0..10.
const Builtin builtins[KX_BUILTIN_FONTS] = {
    {ID_6X13, "6x13", kxfontdata_fixed6x13},
    {"builtin 6x13 bold", "6x13b", kxfontdata_fixed6x13b},
    {"builtin 12x24", "12x24", kxfontdata_fixed12x24},
    {"builtin 5x7", "5x7", kxfontdata_fixed5x7},
    {"builtin 8x8", "8x8", kxfontdata_fixed8x8},
    {"builtin 6x8", "6x8", kxfontdata_fixed6x8},
    {"builtin 8x16", "8x16", kxfontdata_fixed8x16},
    {"builtin 8x16 bold", "8x16b", kxfontdata_fixed8x16b},
    {"builtin 9x15", "9x15", kxfontdata_fixed9x15},
    {"builtin 9x15 bold", "9x15b", kxfontdata_fixed9x15b},
    {ID_VAR13, "var13", kxfontdata_var13},
};

// A builtin font's text is the program's own data and stays valid, so it is
// read only when the font is first asked about (its header) and first drawn
// (its rows): the tables of the fonts a program never uses stay untouched
// on the disk, some 130 KB of them for Quenlorix.
int load_builtin(int i)
{
    const Builtin &b = builtins[i];
    if (int slot = kxfont_findbyid(b.id); slot >= 0)
        return fonts[slot].handle;
    kxfont f;
    copy_text(f.id, b.id);
    copy_text(f.name, b.name);
    f.handle = kxid_new();
    f.header = b.lines;
    register_font(f);
    return f.handle;
}

// Reads a font's header if that was put off.
kxfont &with_header(int slot)
{
    kxfont &f = fonts[slot];
    if (const char *const *p = f.header) {
        f.header = nullptr;
        HeaderState h;
        for (; *p && !is_line(*p, "data:"); p++)
            read_header_line(f, h, *p);
        if (*p)
            p++;
        layout_glyphs(f, h);
        f.rows = p;
    }
    return f;
}

// Reads a font's glyph rows if that was put off.
kxfont *with_glyphs(int slot)
{
    kxfont &f = with_header(slot);
    if (f.rows) {
        read_rows(f, f.rows);
        f.rows = nullptr;
    }
    return &f;
}

} // namespace

int kxfont_loadfromtext(const char *const *lines, const char *id)
{
    return load_text(lines, id);
}

namespace {

int load_text(const char *const *lines, const char *id)
{
    kxfont f;
    copy_text(f.id, id ? id : "");
    int slot = kxfont_findbyid(f.id);
    if (slot >= 0)
        return fonts[slot].handle;
    if (!lines)
        return 0;
    f.count = KX_FONT_GLYPHS;
    f.handle = kxid_new();
    HeaderState h;
    const char *const *p = lines;
    for (; *p && !is_line(*p, "data:"); p++)
        read_header_line(f, h, *p);
    if (*p)
        p++;
    layout_glyphs(f, h);
    read_rows(f, p);
    register_font(f);
    return f.handle;
}

} // namespace

int kxfont_loadtable(const char *const *lines)
{
    if (!lines)
        return 0;
    return kxfont_loadfromtext(lines, lines[0] && lines[1] ? lines[1] : "");
}

int kxfont_loadsystem(const char *format, ...)
{
    if (!format)
        return 0;
    int slot = kxfont_findbyname(format);
    if (slot >= 0)
        return fonts[slot].handle;
    char text[KX_FONT_ATTR_SIZE];
    va_list ap;
    va_start(ap, format);
    std::vsnprintf(text, sizeof text, format, ap);
    va_end(ap);
    FontRequest req = parse_font_request(text);
    // The host hook answers only whether it could; it hands back no glyphs,
    // so there is never anything to register.
    kxfont_loadfromsystem(req.face, req.points, req.xs, req.ys, req.bold, req.italic, req.underlined,
                          req.ascent, req.descent);
    return 0;
}

int kxfont_resolve(int font)
{
    if (font == KX_FONT_ID_6X13 || font == KX_FONT_ID_6X13_ALT)
        return ensure_loaded(ID_6X13, kxfont_builtin_6x13);
    if (font == KX_FONT_ID_VAR13)
        return ensure_loaded(ID_VAR13, kxfont_builtin_var13);
    int n = static_cast<int>(fonts.size());
    if (font >= KX_FONT_HANDLE_MIN) {
        for (int i = 0; i < n; i++)
            if (fonts[i].used && fonts[i].handle == font)
                return i;
        return -1;
    }
    return font >= 0 && font < n ? font : -1;
}

int kxfont_findbyid(const char *id)
{
    if (!id)
        return -1;
    for (int i = 0; i < static_cast<int>(fonts.size()); i++)
        if (fonts[i].used && std::strcmp(fonts[i].id, id) == 0)
            return i;
    return -1;
}

int kxfont_findbyname(const char *name)
{
    if (!name)
        return -1;
    for (int i = 0; i < static_cast<int>(fonts.size()); i++)
        if (fonts[i].used && same_text_nocase(fonts[i].name, name))
            return i;
    return -1;
}

void kxfont_unloadall() { table.clear(); }

void kxfont_unload(int font)
{
    int slot = kxfont_resolve(font);
    if (slot < 0)
        return;
    delete[] fonts[slot].data;
    fonts[slot] = kxfont{};
}

const kxfont *kxfont_get(int font)
{
    int slot = kxfont_resolve(font);
    return slot < 0 ? nullptr : &with_header(slot);
}

int kxfont_slots() { return static_cast<int>(fonts.size()); }

int kxfont_height(int font)
{
    const kxfont *f = kxfont_get(font);
    return f ? f->ysize : 0;
}

int kxfont_charwidth(int font, int ch)
{
    int code = char_code(ch);
    if (code < KX_FONT_FIRST_CODE || code >= KX_FONT_FIRST_CODE + KX_FONT_GLYPHS)
        return 0;
    const kxfont *f = kxfont_get(font);
    return f ? f->widths[code - KX_FONT_FIRST_CODE] : 0;
}

bool kxfont_glyph(int font, int ch, kxglyph *out)
{
    int index = char_code(ch) - KX_FONT_FIRST_CODE;
    int slot = kxfont_resolve(font);
    if (slot < 0 || index < 0 || index >= KX_FONT_GLYPHS || index >= fonts[slot].count)
        return false;
    const kxfont *f = with_glyphs(slot);
    if (out) {
        out->width = f->widths[index];
        out->height = f->ysize;
        out->bits = f->data ? f->data + f->offsets[index] : nullptr;
    }
    return true;
}

void kxfont_loadbuiltins()
{
    for (int i = 0; i < KX_BUILTIN_FONTS; i++)
        load_builtin(i);
}

int kxfont_builtin_6x13() { return load_builtin(0); }
int kxfont_builtin_6x13b() { return load_builtin(1); }
int kxfont_builtin_12x24() { return load_builtin(2); }
int kxfont_builtin_5x7() { return load_builtin(3); }
int kxfont_builtin_8x8() { return load_builtin(4); }
int kxfont_builtin_6x8() { return load_builtin(5); }
int kxfont_builtin_8x16() { return load_builtin(6); }
int kxfont_builtin_8x16b() { return load_builtin(7); }
int kxfont_builtin_9x15() { return load_builtin(8); }
int kxfont_builtin_9x15b() { return load_builtin(9); }
int kxfont_builtin_var13() { return load_builtin(10); }
