#include <gtest/gtest.h>

#include <cstdlib>
#include <iterator>
#include <string>
#include <vector>

#include "core/app.h"
#include "graphics/font.h"
#include "graphics/fonts/fontdata.h"
#include "support.h"

namespace {

// The builtin fonts and their metrics, in load order.
struct BuiltinRow {
    const char *id;
    const char *name;
    int (*load)();
    int width;  // 0: proportional
    int ysize, chars, ascent, descent, weight;
};

const BuiltinRow builtin_rows[] = {
    {"builtin 6x13", "6x13", kxfont_builtin_6x13, 6, 13, 224, 11, 2, 0},
    {"builtin 6x13 bold", "6x13b", kxfont_builtin_6x13b, 6, 13, 224, 11, 2, 2},
    {"builtin 12x24", "12x24", kxfont_builtin_12x24, 12, 24, 223, 22, 2, 0},
    {"builtin 5x7", "5x7", kxfont_builtin_5x7, 5, 7, 224, 6, 1, 0},
    {"builtin 8x8", "8x8", kxfont_builtin_8x8, 8, 8, 224, 7, 1, 0},
    {"builtin 6x8", "6x8", kxfont_builtin_6x8, 6, 8, 224, 7, 1, 0},
    {"builtin 8x16", "8x16", kxfont_builtin_8x16, 8, 16, 223, 14, 2, 0},
    {"builtin 8x16 bold", "8x16b", kxfont_builtin_8x16b, 8, 16, 223, 14, 2, 2},
    {"builtin 9x15", "9x15", kxfont_builtin_9x15, 9, 15, 224, 12, 3, 0},
    {"builtin 9x15 bold", "9x15b", kxfont_builtin_9x15b, 9, 15, 224, 12, 3, 2},
    {"builtin variable 13", "var13", kxfont_builtin_var13, 0, 13, 223, 11, 2, 0},
};

// Frees every slot, so that loads start again at slot 0 whatever earlier
// tests in this process left behind.
void unload_all_fonts()
{
    for (int i = 0; i < kxfont_slots(); i++)
        kxfont_unload(i);
}

int slot_of(int handle)
{
    int slot = kxfont_resolve(handle);
    EXPECT_GE(slot, 0) << "handle " << handle;
    return slot;
}

int used_slots_with_id(const char *id)
{
    int n = 0;
    for (int i = 0; i < kxfont_slots(); i++) {
        const kxfont *f = kxfont_get(i);
        if (f && f->used && std::string(f->id) == id)
            n++;
    }
    return n;
}

bool has_ink(const kxglyph &g)
{
    for (int i = 0; i < g.width * g.height; i++)
        if (g.bits[i])
            return true;
    return false;
}

// Every code of the font's range has a glyph of its height with ink, the
// two space characters excepted; codes past the range have width 0.
void expect_complete(int handle, int chars)
{
    const kxfont *f = kxfont_get(handle);
    ASSERT_NE(f, nullptr);
    for (int code = 32; code < 32 + chars; code++) {
        kxglyph g;
        ASSERT_TRUE(kxfont_glyph(handle, code, &g)) << f->name << " code " << code;
        EXPECT_EQ(g.height, f->ysize);
        EXPECT_EQ(g.width, kxfont_charwidth(handle, code));
        bool space = code == 32 || code == 160;
        EXPECT_GT(g.width, 0) << f->name << " code " << code;
        if (g.width > 0) {
            EXPECT_EQ(has_ink(g), !space) << f->name << " code " << code;
        }
    }
    for (int code = 32 + chars; code < 256; code++)
        EXPECT_EQ(kxfont_charwidth(handle, code), 0) << f->name << " code " << code;
}

// A font text of three glyphs (codes 32, 33, 34) of height 4, with the
// offsets given out of order.
const char *const tiny_font[] = {
    "header:",
    "name=Tiny",
    "proportional",
    "xsize=3",
    "ysize=4",
    "chars=3",
    "ascent=3",
    "descent=1",
    "weight=2",
    "foundry=hand made",
    "colors=1",
    "propxs=1 3 2",
    "propdataoffset=20 0 12",
    "data:",
    ".", ".", ".", ".",
    "*.*", "*.*", ".*.", "*.*",
    "**", "*.", "**", "..",
    nullptr,
};

std::vector<int> bits(const kxglyph &g)
{
    return std::vector<int>(g.bits, g.bits + g.width * g.height);
}

} // namespace

TEST(FontBuiltins, MetricsFollowTheTable)
{
    for (const BuiltinRow &row : builtin_rows) {
        SCOPED_TRACE(row.id);
        int handle = row.load();
        EXPECT_GE(handle, KX_FONT_HANDLE_MIN);
        const kxfont *f = kxfont_get(handle);
        ASSERT_NE(f, nullptr);
        EXPECT_STREQ(f->id, row.id);
        EXPECT_STREQ(f->name, row.name);
        EXPECT_EQ(f->ysize, row.ysize);
        EXPECT_EQ(kxfont_height(handle), row.ysize);
        EXPECT_EQ(f->ascent, row.ascent);
        EXPECT_EQ(f->descent, row.descent);
        EXPECT_EQ(f->weight, row.weight);
        EXPECT_EQ(f->slant, 0);
        EXPECT_EQ(f->width, 0);
        EXPECT_EQ(f->pts, 0);
        EXPECT_STREQ(f->foundry, "");
        EXPECT_EQ(f->count, KX_FONT_GLYPHS);
        EXPECT_EQ(f->kind, row.width ? 1 : 2);
        EXPECT_EQ(f->xsize, row.width ? row.width : 11);
        for (int code = 32; code < 32 + row.chars; code++) {
            int w = kxfont_charwidth(handle, code);
            if (row.width) {
                EXPECT_EQ(w, row.width) << "code " << code;
            } else {
                EXPECT_TRUE(w >= 2 && w <= 11) << "code " << code << " width " << w;
            }
        }
        expect_complete(handle, row.chars);
    }
}

TEST(FontBuiltins, LoadOrderGivesSlotsZeroToTen)
{
    unload_all_fonts();
    kxfont_loadbuiltins();
    for (int i = 0; i < KX_BUILTIN_FONTS; i++)
        EXPECT_EQ(kxfont_findbyid(builtin_rows[i].id), i) << builtin_rows[i].id;
    // Loading them again changes nothing.
    int slots = kxfont_slots();
    kxfont_loadbuiltins();
    EXPECT_EQ(kxfont_slots(), slots);
}

// A builtin font's header is read at the first question about it; before,
// it is already found by the name its header gives.
TEST(FontBuiltins, NamesAreKnownBeforeTheHeadersAreRead)
{
    unload_all_fonts();
    kxfont_loadbuiltins();
    for (int i = 0; i < KX_BUILTIN_FONTS; i++)
        EXPECT_EQ(kxfont_findbyname(builtin_rows[i].name), i) << builtin_rows[i].name;
    for (int i = 0; i < KX_BUILTIN_FONTS; i++) {
        const kxfont *f = kxfont_get(i);
        ASSERT_NE(f, nullptr);
        EXPECT_STREQ(f->name, builtin_rows[i].name);
        EXPECT_EQ(f->ysize, builtin_rows[i].ysize);
    }
}

TEST(FontBuiltins, GlyphOfAIn6x13)
{
    int font = kxfont_builtin_6x13();
    kxglyph g;
    ASSERT_TRUE(kxfont_glyph(font, 'A', &g));
    const char *rows[] = {"......", "......", "..*...", ".*.*..", "*...*.", "*...*.", "*...*.",
                          "*****.", "*...*.", "*...*.", "*...*.", "......", "......"};
    ASSERT_EQ(g.width, 6);
    ASSERT_EQ(g.height, 13);
    for (int y = 0; y < 13; y++)
        for (int x = 0; x < 6; x++)
            EXPECT_EQ(g.bits[y * 6 + x], rows[y][x] == '*') << "row " << y << " column " << x;
}

TEST(FontBuiltins, Code255Of8x16HasNoWidth)
{
    int font = kxfont_builtin_8x16();
    EXPECT_EQ(kxfont_charwidth(font, 254), 8);
    EXPECT_EQ(kxfont_charwidth(font, 255), 0);
    kxglyph g;
    ASSERT_TRUE(kxfont_glyph(font, 255, &g));
    EXPECT_EQ(g.width, 0);
}

TEST(FontPage, EveryPageFontLoadsWithItsMetrics)
{
    struct PageRow {
        const char *name;
        int ysize;
    };
    const PageRow rows[] = {{"Arial10", 10}, {"Arial12", 12}, {"Arial14", 14}, {"Arial16", 16},
                            {"Arial20", 19}, {"Arial22", 22}, {"Arial24", 24}, {"Arial26", 26},
                            {"Arial36", 36}, {"crnew10", 8},  {"crnew12", 12}, {"crnew14", 14}};
    for (const PageRow &row : rows)
        for (bool bold : {false, true}) {
            std::string name = std::string(row.name) + (bold ? "b" : "");
            SCOPED_TRACE(name);
            const char *const *lines = kxfontdata_page(name.c_str());
            ASSERT_NE(lines, nullptr);
            EXPECT_EQ(std::string(lines[1]), "name=" + name);
            int handle = kxfont_loadtable(lines);
            // The whole "name=" line is the id.
            EXPECT_EQ(kxfont_findbyid(("name=" + name).c_str()), slot_of(handle));
            EXPECT_EQ(kxfont_loadtable(lines), handle);
            const kxfont *f = kxfont_get(handle);
            ASSERT_NE(f, nullptr);
            EXPECT_STREQ(f->name, name.c_str());
            EXPECT_EQ(f->ysize, row.ysize);
            EXPECT_EQ(f->ascent + f->descent, row.ysize);
            EXPECT_EQ(f->weight, bold ? 2 : 0);
            bool mono = name.compare(0, 5, "crnew") == 0;
            EXPECT_EQ(f->kind, mono ? 1 : 2);
            for (int code = 32; mono && code < 256; code++)
                EXPECT_EQ(kxfont_charwidth(handle, code), f->xsize) << "code " << code;
            expect_complete(handle, 224);
        }
    EXPECT_EQ(kxfontdata_page("arial16B"), kxfontdata_page("Arial16b"));
    EXPECT_EQ(kxfontdata_page("Arial18"), nullptr);
    EXPECT_EQ(kxfontdata_page(""), nullptr);
    EXPECT_EQ(kxfontdata_page(nullptr), nullptr);
}

TEST(FontLookup, LoadingTwiceGivesOneSlot)
{
    int first = kxfont_builtin_6x13();
    int slots = kxfont_slots();
    EXPECT_EQ(kxfont_builtin_6x13(), first);
    EXPECT_EQ(kxfont_loadfromtext(kxfontdata_fixed5x7, "builtin 6x13"), first);
    EXPECT_EQ(kxfont_slots(), slots);
    EXPECT_EQ(used_slots_with_id("builtin 6x13"), 1);
}

TEST(FontLookup, DefaultIdsLoadTheirFonts)
{
    for (const char *id : {"builtin 6x13", "builtin variable 13"}) {
        int slot = kxfont_findbyid(id);
        if (slot >= 0)
            kxfont_unload(slot);
        ASSERT_EQ(kxfont_findbyid(id), -1);
    }
    int slot = kxfont_resolve(KX_FONT_ID_6X13);
    ASSERT_GE(slot, 0);
    EXPECT_EQ(kxfont_findbyid("builtin 6x13"), slot);
    EXPECT_EQ(kxfont_resolve(KX_FONT_ID_6X13_ALT), slot);
    EXPECT_EQ(kxfont_findbyid("builtin variable 13"), -1);
    int var = kxfont_resolve(KX_FONT_ID_VAR13);
    ASSERT_GE(var, 0);
    EXPECT_NE(var, slot);
    EXPECT_STREQ(kxfont_get(var)->id, "builtin variable 13");
    EXPECT_EQ(kxfont_height(KX_FONT_ID_VAR13), 13);
}

TEST(FontLookup, IdsHandlesAndSlots)
{
    int handle = kxfont_builtin_9x15();
    int slot = slot_of(handle);
    EXPECT_EQ(kxfont_resolve(slot), slot);
    EXPECT_EQ(kxfont_resolve(kxfont_slots()), -1);
    EXPECT_EQ(kxfont_resolve(-4), -1);
    EXPECT_EQ(kxfont_resolve(999999), -1);
    // A handle is never a slot: one that no font has resolves to nothing.
    EXPECT_EQ(kxfont_resolve(handle + 1000000), -1);
    EXPECT_EQ(kxfont_get(-4), nullptr);
    EXPECT_EQ(kxfont_height(-4), 0);
    EXPECT_EQ(kxfont_charwidth(-4, 'A'), 0);
    kxglyph g;
    EXPECT_FALSE(kxfont_glyph(-4, 'A', &g));
}

TEST(FontLookup, NamesIgnoreCaseIdsDoNot)
{
    int var = slot_of(kxfont_builtin_var13());
    EXPECT_EQ(kxfont_findbyname("VAR13"), var);
    EXPECT_EQ(kxfont_findbyname("var13"), var);
    EXPECT_EQ(kxfont_findbyname("var1"), -1);
    int fixed = slot_of(kxfont_builtin_6x13());
    EXPECT_EQ(kxfont_findbyid("builtin 6x13"), fixed);
    EXPECT_EQ(kxfont_findbyid("Builtin 6x13"), -1);
    EXPECT_EQ(kxfont_findbyid("builtin 6x13 "), -1);
    EXPECT_EQ(kxfont_findbyid(nullptr), -1);
    EXPECT_EQ(kxfont_findbyname(nullptr), -1);
}

TEST(FontLookup, UnloadedSlotIsReusedAndEmpty)
{
    int a = slot_of(kxfont_loadfromtext(tiny_font, "reuse a"));
    int b = slot_of(kxfont_loadfromtext(tiny_font, "reuse b"));
    ASSERT_NE(a, b);
    kxfont_unload(a);
    EXPECT_EQ(kxfont_findbyid("reuse a"), -1);
    // The freed slot still resolves, as a font without glyphs.
    EXPECT_EQ(kxfont_resolve(a), a);
    EXPECT_EQ(kxfont_height(a), 0);
    EXPECT_EQ(kxfont_charwidth(a, 33), 0);
    kxglyph g;
    EXPECT_FALSE(kxfont_glyph(a, 33, &g));
    int slots = kxfont_slots();
    int c = kxfont_loadfromtext(tiny_font, "reuse c");
    EXPECT_EQ(slot_of(c), a);
    EXPECT_EQ(kxfont_slots(), slots);
    EXPECT_EQ(kxfont_findbyid("reuse b"), b);
    // Unloading by handle works the same way.
    kxfont_unload(c);
    EXPECT_EQ(kxfont_findbyid("reuse c"), -1);
    EXPECT_EQ(kxfont_resolve(c), -1);
}

TEST(FontLookup, CodesBelow32HaveNoGlyph)
{
    int font = kxfont_builtin_6x13();
    kxglyph g;
    for (int ch : {0, 1, 10, 31}) {
        EXPECT_EQ(kxfont_charwidth(font, ch), 0) << ch;
        EXPECT_FALSE(kxfont_glyph(font, ch, &g)) << ch;
    }
    EXPECT_EQ(kxfont_charwidth(font, 32), 6);
    EXPECT_EQ(kxfont_charwidth(font, 256), 0);
    EXPECT_FALSE(kxfont_glyph(font, 256, &g));
    EXPECT_EQ(kxfont_charwidth(font, -129), 0);
    // A plain char holding ä (0xE4) is that character.
    char umlaut = static_cast<char>(0xE4);
    EXPECT_EQ(kxfont_charwidth(font, umlaut), 6);
    ASSERT_TRUE(kxfont_glyph(font, umlaut, &g));
    kxglyph same;
    ASSERT_TRUE(kxfont_glyph(font, 0xE4, &same));
    EXPECT_EQ(g.bits, same.bits);
}

TEST(FontText, HandWrittenFontReadsExactly)
{
    int handle = kxfont_loadfromtext(tiny_font, "tiny");
    const kxfont *f = kxfont_get(handle);
    ASSERT_NE(f, nullptr);
    EXPECT_STREQ(f->name, "Tiny");
    EXPECT_STREQ(f->foundry, "hand made");
    EXPECT_EQ(f->kind, 2);
    EXPECT_EQ(f->xsize, 3);
    EXPECT_EQ(f->ascent, 3);
    EXPECT_EQ(f->descent, 1);
    EXPECT_EQ(f->weight, 2);
    EXPECT_EQ(f->datasize, (1 + 3 + 2) * 4);
    EXPECT_EQ(kxfont_charwidth(handle, ' '), 1);
    EXPECT_EQ(kxfont_charwidth(handle, '!'), 3);
    EXPECT_EQ(kxfont_charwidth(handle, '"'), 2);
    EXPECT_EQ(kxfont_charwidth(handle, '#'), 0);
    kxglyph g;
    ASSERT_TRUE(kxfont_glyph(handle, '!', &g));
    EXPECT_EQ(g.bits, f->data + 0);
    EXPECT_EQ(bits(g), (std::vector<int>{1, 0, 1, 1, 0, 1, 0, 1, 0, 1, 0, 1}));
    ASSERT_TRUE(kxfont_glyph(handle, '"', &g));
    EXPECT_EQ(g.bits, f->data + 12);
    EXPECT_EQ(bits(g), (std::vector<int>{1, 1, 1, 0, 1, 1, 0, 0}));
    ASSERT_TRUE(kxfont_glyph(handle, ' ', &g));
    EXPECT_EQ(bits(g), (std::vector<int>{0, 0, 0, 0}));
    // Codes past "chars=" exist with width 0.
    ASSERT_TRUE(kxfont_glyph(handle, 'A', &g));
    EXPECT_EQ(g.width, 0);
}

TEST(FontText, GlyphOfAFromASmallText)
{
    // Codes 32..65 of height 5; only 'A' (glyph 33) is drawn.
    std::vector<std::string> text = {"header:", "name=Small", "monospace", "ysize=5", "chars=34"};
    std::string widths = "propxs=4", offsets = "propdataoffset=0";
    for (int k = 1; k < 34; k++) {
        widths += " 4";
        offsets += " " + std::to_string(k * 20);
    }
    text.push_back(widths);
    text.push_back(offsets);
    text.push_back("data:");
    for (int k = 0; k < 33; k++)
        text.insert(text.end(), 5, "....");
    for (const char *row : {".**.", "*..*", "****", "*..*", "*..*"})
        text.push_back(row);
    std::vector<const char *> lines;
    for (const std::string &l : text)
        lines.push_back(l.c_str());
    lines.push_back(nullptr);
    int handle = kxfont_loadfromtext(lines.data(), "small");
    EXPECT_EQ(kxfont_get(handle)->kind, 1);
    kxglyph g;
    ASSERT_TRUE(kxfont_glyph(handle, 'A', &g));
    ASSERT_EQ(g.width, 4);
    ASSERT_EQ(g.height, 5);
    EXPECT_EQ(bits(g), (std::vector<int>{0, 1, 1, 0, 1, 0, 0, 1, 1, 1, 1, 1, 1, 0, 0, 1, 1, 0, 0, 1}));
    ASSERT_TRUE(kxfont_glyph(handle, '@', &g));
    EXPECT_FALSE(has_ink(g));
}

// Malformed texts: each loads without reading or writing out of bounds
// (the suite runs under AddressSanitizer) and keeps what can be read.
TEST(FontText, MissingPartsLoadWhatIsThere)
{
    const char *const no_data[] = {"header:", "name=NoData", "ysize=3", "propxs=2 2", nullptr};
    int h = kxfont_loadfromtext(no_data, "no data");
    ASSERT_GT(h, 0);
    kxglyph g;
    ASSERT_TRUE(kxfont_glyph(h, ' ', &g));
    EXPECT_EQ(g.width, 2);
    EXPECT_FALSE(has_ink(g));

    const char *const no_widths[] = {"header:", "name=Empty", "ysize=3", "data:", "***", nullptr};
    h = kxfont_loadfromtext(no_widths, "no widths");
    EXPECT_EQ(kxfont_height(h), 3);
    EXPECT_EQ(kxfont_charwidth(h, ' '), 0);
    EXPECT_EQ(kxfont_get(h)->data, nullptr);

    const char *const nothing[] = {nullptr};
    h = kxfont_loadfromtext(nothing, "nothing");
    EXPECT_GE(h, KX_FONT_HANDLE_MIN);
    EXPECT_EQ(kxfont_height(h), 0);
    EXPECT_EQ(kxfont_get(h)->kind, 0);

    int slots = kxfont_slots();
    EXPECT_EQ(kxfont_loadfromtext(nullptr, "null lines"), 0);
    EXPECT_EQ(kxfont_loadtable(nullptr), 0);
    EXPECT_EQ(kxfont_slots(), slots);

    // Too few widths: the rest are 0; the rows of the missing glyphs are
    // still consumed as rows of height 2.
    const char *const few[] = {"name=Few", "ysize=2", "chars=3", "propxs=2", "data:",
                               "**", "*.", "ignored", "ignored", nullptr};
    h = kxfont_loadfromtext(few, "few widths");
    EXPECT_EQ(kxfont_charwidth(h, ' '), 2);
    EXPECT_EQ(kxfont_charwidth(h, '!'), 0);
    ASSERT_TRUE(kxfont_glyph(h, ' ', &g));
    EXPECT_EQ(bits(g), (std::vector<int>{1, 1, 1, 0}));
}

TEST(FontText, ShortAndTruncatedRows)
{
    const char *const rows[] = {"name=Rows", "ysize=3", "chars=2", "propxs=4 4", "data:",
                                "**", "", "****extra", "*", nullptr};
    int h = kxfont_loadfromtext(rows, "short rows");
    kxglyph g;
    ASSERT_TRUE(kxfont_glyph(h, ' ', &g));
    EXPECT_EQ(bits(g), (std::vector<int>{1, 1, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1}));
    ASSERT_TRUE(kxfont_glyph(h, '!', &g));
    EXPECT_EQ(bits(g), (std::vector<int>{1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
}

TEST(FontText, HugeAndNegativeNumbersAreClamped)
{
    const char *const huge[] = {"name=Huge", "xsize=-7", "ysize=99999999999999", "chars=100000",
                                "ascent=2147483648", "descent=-2147483649",
                                "propxs=99999 -5 3", "data:", "*******", nullptr};
    int h = kxfont_loadfromtext(huge, "huge");
    const kxfont *f = kxfont_get(h);
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->xsize, 0);
    EXPECT_EQ(f->ysize, 256);
    EXPECT_EQ(f->ascent, 256);
    EXPECT_EQ(f->descent, 0);
    EXPECT_EQ(f->widths[0], 256);
    EXPECT_EQ(f->widths[1], 0);
    EXPECT_EQ(f->widths[2], 3);
    EXPECT_EQ(f->datasize, (256 + 3) * 256);
    kxglyph g;
    ASSERT_TRUE(kxfont_glyph(h, ' ', &g));
    EXPECT_EQ(g.bits[6], 1);
    EXPECT_EQ(g.bits[7], 0);

    const char *const negative[] = {"name=Neg", "ysize=-3", "chars=-1", "propxs=4", "data:", "****",
                                    nullptr};
    h = kxfont_loadfromtext(negative, "negative");
    EXPECT_EQ(kxfont_height(h), 0);
    EXPECT_EQ(kxfont_charwidth(h, ' '), 0);
}

TEST(FontText, OffsetsOutsideTheDataDropTheGlyph)
{
    const char *const text[] = {"name=Offsets", "ysize=2", "chars=4", "propxs=2 2 2 2",
                                "propdataoffset=0 -1 15 4", "data:",
                                "**", "**", "**", "**", "**", "**", "*.", ".*", nullptr};
    int h = kxfont_loadfromtext(text, "bad offsets");
    const kxfont *f = kxfont_get(h);
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->datasize, 16);
    EXPECT_EQ(kxfont_charwidth(h, ' '), 2);
    EXPECT_EQ(kxfont_charwidth(h, '!'), 0);  // negative offset
    EXPECT_EQ(kxfont_charwidth(h, '"'), 0);  // 15 + 4 > 16
    EXPECT_EQ(kxfont_charwidth(h, '#'), 2);
    kxglyph g;
    ASSERT_TRUE(kxfont_glyph(h, '#', &g));
    EXPECT_EQ(bits(g), (std::vector<int>{1, 0, 0, 1}));
}

TEST(FontText, HeaderOrderAndTextLimits)
{
    // "chars=" after "propxs=" comes too late: all widths that stand are
    // read, then only the new count of glyphs is kept.
    const char *const late[] = {"name=Late", "ysize=1", "propxs=1 1 1", "chars=2", "data:",
                                "*", "*", "*", nullptr};
    int h = kxfont_loadfromtext(late, "late chars");
    EXPECT_EQ(kxfont_charwidth(h, ' '), 1);
    EXPECT_EQ(kxfont_charwidth(h, '!'), 1);
    EXPECT_EQ(kxfont_charwidth(h, '"'), 0);

    // Names and ids keep 63 characters; a DOS line end is not part of them.
    std::string long_name = "name=" + std::string(100, 'n');
    const char *const names[] = {long_name.c_str(), "foundry=shop\r", "data:\r", nullptr};
    std::string long_id(80, 'i');
    h = kxfont_loadfromtext(names, long_id.c_str());
    const kxfont *f = kxfont_get(h);
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(std::string(f->name), std::string(63, 'n'));
    EXPECT_EQ(std::string(f->id), std::string(63, 'i'));
    EXPECT_STREQ(f->foundry, "shop");
    EXPECT_EQ(kxfont_loadfromtext(names, long_id.c_str()), h);
}

TEST(FontSystem, HostWithoutFontsPrintsAndGivesZero)
{
    int slots = kxfont_slots();
    int result = -1;
    std::string out = kxtest_stdout([&] {
        result = kxfont_loadsystem("Terminal Face, bold,points = %d,ys=16, width=7,underlined,descent=3", 12);
    });
    EXPECT_EQ(result, 0);
    EXPECT_EQ(out, "load system font:\n"
                   "Terminal Face\n"
                   "Points=12 XS=7 YS=16\n"
                   "Bold=1 Italic=0 Underlined=1 Ascent=0 Descent=3\n"
                   "kxfont_loadfromsystem: not implemented !\n");
    EXPECT_EQ(kxfont_slots(), slots);

    out = kxtest_stdout([&] { result = kxfont_loadsystem("Mono,italic,xs=5,height=9,ascent=7,bolder"); });
    EXPECT_EQ(result, 0);
    EXPECT_NE(out.find("Mono\nPoints=0 XS=5 YS=9\nBold=0 Italic=1 Underlined=0 Ascent=7 Descent=0\n"),
              std::string::npos)
        << out;
    EXPECT_EQ(kxfont_loadsystem(nullptr), 0);
}

TEST(FontSystem, LoadedFontNameIsFoundFirst)
{
    std::vector<const char *> text(std::begin(tiny_font), std::end(tiny_font));
    text[1] = "name=Host Face";
    int handle = kxfont_loadfromtext(text.data(), "host face");
    int result = 0;
    std::string out = kxtest_stdout([&] { result = kxfont_loadsystem("HOST face"); });
    EXPECT_EQ(result, handle);
    EXPECT_EQ(out, "");
}

TEST(FontExit, CleanupFreesTheTable)
{
    EXPECT_EXIT(
        {
            kxfont_builtin_5x7();
            kxapp_exit(0, false);
            std::exit(kxfont_slots() == 0 && kxfont_findbyid("builtin 5x7") < 0 ? 0 : 1);
        },
        testing::ExitedWithCode(0), "");
}

// The builtin fonts are all loaded at start, but a font's glyph rows are
// read only when it is first drawn: one never drawn holds no glyph block.
TEST(FontBuiltins, GlyphRowsAreReadAtTheFirstGlyph)
{
    kxtest_headless();
    kxfont_loadbuiltins();
    int big = kxfont_findbyid("builtin 12x24");
    ASSERT_GE(big, 0);
    const kxfont *f = kxfont_get(big);
    EXPECT_EQ(f->data, nullptr);
    EXPECT_EQ(f->ysize, 24);
    EXPECT_EQ(kxfont_charwidth(big, 'A'), 12);
    int eager = kxfont_loadfromtext(kxfontdata_fixed12x24, "12x24 read at once");
    kxglyph lazy_a, eager_a;
    ASSERT_TRUE(kxfont_glyph(big, 'A', &lazy_a));
    ASSERT_TRUE(kxfont_glyph(eager, 'A', &eager_a));
    ASSERT_NE(f->data, nullptr);
    EXPECT_EQ(std::vector<int>(f->data, f->data + f->datasize),
              std::vector<int>(kxfont_get(eager)->data, kxfont_get(eager)->data + f->datasize));
}
