// Bitmap fonts: the font text format, the font table, font ids and the
// builtin fonts.
#pragma once

#include <array>
#include <cstdint>

constexpr int KX_FONT_GLYPHS = 224;  // codes 32..255
constexpr int KX_FONT_FIRST_CODE = 32;
constexpr int KX_FONT_TEXT_SIZE = 64;
constexpr int KX_FONT_HANDLE_MIN = 1000000;
constexpr int KX_BUILTIN_FONTS = 11;

// Font ids with a meaning of their own.
constexpr int KX_FONT_ID_6X13 = -1;
constexpr int KX_FONT_ID_VAR13 = -2;
constexpr int KX_FONT_ID_6X13_ALT = -3;

struct kxfont {
    std::uint8_t used = 0;
    char id[KX_FONT_TEXT_SIZE] = {};
    char name[KX_FONT_TEXT_SIZE] = {};
    int xsize = 0, ysize = 0;
    std::array<int, KX_FONT_GLYPHS> widths{};
    int ascent = 0, descent = 0, slant = 0, weight = 0, width = 0, pts = 0;
    char foundry[KX_FONT_TEXT_SIZE] = {};
    int handle = 0;
    int kind = 0;  // 1 monospace, 2 proportional, 0 neither
    std::uint8_t *data = nullptr;  // glyph bitmaps, one byte (0 or 1) per pixel
    // A builtin font's text whose header is still to be read (at the first
    // question about the font), and its glyph rows, still to be read into
    // data (at its first glyph): fonts never used cost nothing.
    const char *const *header = nullptr;
    const char *const *rows = nullptr;
    std::array<int, KX_FONT_GLYPHS> offsets{};
    int count = 0;
    std::int64_t datasize = 0;  // bytes in data, for bounds checks
};

// A glyph: width x height bytes, row after row, 1 = set.
struct kxglyph {
    const std::uint8_t *bits = nullptr;
    int width = 0;
    int height = 0;
};

// Loads a font from its text lines (ending with a null pointer) under the
// given id and returns its handle; a font with that id already loaded is not
// loaded again.  Malformed texts load what can be read safely.
int kxfont_loadfromtext(const char *const *lines, const char *id);
// The same with the font's own "name=" line as id.
int kxfont_loadtable(const char *const *lines);
// A host font described by an attribute string; 0 when the host has none.
int kxfont_loadsystem(const char *format, ...);
int kxfont_resolve(int font);
int kxfont_findbyid(const char *id);
int kxfont_findbyname(const char *name);
void kxfont_unload(int font);
// Frees every font; the exit sequence does this.
void kxfont_unloadall();
int kxfont_height(int font);
int kxfont_charwidth(int font, int ch);
bool kxfont_glyph(int font, int ch, kxglyph *out);
// The record of a resolved font, or null.
const kxfont *kxfont_get(int font);
// Number of slots in the font table.
int kxfont_slots();

void kxfont_loadbuiltins();
int kxfont_builtin_6x13();
int kxfont_builtin_6x13b();
int kxfont_builtin_12x24();
int kxfont_builtin_5x7();
int kxfont_builtin_8x8();
int kxfont_builtin_6x8();
int kxfont_builtin_8x16();
int kxfont_builtin_8x16b();
int kxfont_builtin_9x15();
int kxfont_builtin_9x15b();
int kxfont_builtin_var13();
