#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "graphics/colours.h"
#include "graphics/font.h"
#include "graphics/text.h"
#include "support.h"

namespace {

constexpr int H = 5;  // rows 0..3 inked, row 4 empty so underlines show

// A font whose glyphs are solid blocks of the given widths (the space blank).
int load_block_font(const char *id, int (*width)(int code))
{
    static std::vector<std::string> keep;
    keep = {"header:", std::string("name=") + id, "proportional", "xsize=4", "ysize=5", "ascent=4",
            "descent=1"};
    std::string xs = "propxs=", offs = "propdataoffset=";
    int offset = 0;
    for (int k = 0; k < KX_FONT_GLYPHS; k++) {
        int w = width(32 + k);
        xs += (k ? " " : "") + std::to_string(w);
        offs += (k ? " " : "") + std::to_string(offset);
        offset += w * H;
    }
    keep.push_back(xs);
    keep.push_back(offs);
    keep.push_back("data:");
    for (int k = 0; k < KX_FONT_GLYPHS; k++)
        for (int r = 0; r < H; r++)
            keep.push_back(std::string(width(32 + k), r < H - 1 && k != 0 ? '*' : '.') + "..");
    static std::vector<const char *> lines;
    lines.clear();
    for (auto &l : keep)
        lines.push_back(l.c_str());
    lines.push_back(nullptr);
    return kxfont_loadfromtext(lines.data(), id);
}

int four_wide(int code) { return code == '.' || code == ' ' ? 2 : 4; }
int two_wide(int) { return 2; }

std::set<std::pair<int, int>> pixels_of(const Px &t, int colour)
{
    std::set<std::pair<int, int>> s;
    for (int y = 0; y < t.p.height; y++)
        for (int x = 0; x < t.p.width; x++)
            if (t.at(x, y) == colour)
                s.insert({x, y});
    return s;
}

struct Text : testing::Test {
    int font = 0;
    Px t{KX_PXFMT_TRUECOLOR, 60, 30};
    void SetUp() override
    {
        kxtest_headless();
        font = load_block_font("blocks", four_wide);
        ASSERT_GE(font, KX_FONT_HANDLE_MIN);
    }
};

} // namespace

TEST_F(Text, WidthsAreSumsAndNothingForNullOrNoFont)
{
    EXPECT_EQ(kxtext_width(font, ""), 0);
    EXPECT_EQ(kxtext_width(font, nullptr), 0);
    EXPECT_EQ(kxtext_width(font, "ab. "), 12);
    EXPECT_EQ(kxtext_width(font, "a\nb\t"), 8);  // codes below 32 are 0 wide
    EXPECT_EQ(kxtext_width(font, "\xe4\xdf"), 8);
    EXPECT_EQ(kxtext_width(123456, "abc"), 0);
}

TEST_F(Text, ACharacterFillsItsCellAndLeavesTheRest)
{
    kxpxmap_clear(&t.p, 0x111111);
    kxtext_drawchar(&t.p, font, 3, 2, 0xFF0000, false, false, -1, 'A', -1, -1);
    EXPECT_EQ(pixels_of(t, 0xFF0000).size(), 16u);
    EXPECT_EQ(t.at(3, 2), 0xFF0000);
    EXPECT_EQ(t.at(6, 5), 0xFF0000);
    EXPECT_EQ(t.at(3, 6), 0x111111);  // the empty bottom row stays
    kxtext_drawchar(&t.p, font, 20, 2, 0xFF0000, false, true, 0x00FF00, 'B', -1, -1);
    EXPECT_EQ(t.at(20, 6), 0xFF0000);  // underline on the bottom row
    EXPECT_EQ(t.at(23, 6), 0xFF0000);
    EXPECT_EQ(t.at(24, 6), 0x111111);
    kxtext_drawchar(&t.p, font, 30, 2, 0xFF0000, false, false, 0x00FF00, 'C', -1, -1);
    EXPECT_EQ(t.at(30, 6), 0x00FF00);  // background fills the whole cell
    kxpxmap_clear(&t.p, 0x111111);
    kxtext_drawchar(&t.p, font, 0, 0, 0xFF0000, false, false, -1, 31, -1, -1);
    EXPECT_TRUE(pixels_of(t, 0xFF0000).empty());
}

TEST_F(Text, EngravedTextIsLightShiftedUnderDarkWithoutUnderline)
{
    kxpxmap_clear(&t.p, 0x111111);
    kxtext_drawchar(&t.p, font, 2, 2, 0xFF0000, true, true, -1, 'A', -1, -1);
    EXPECT_EQ(t.at(2, 2), kxgui_color(KX_GUI_DARK));
    EXPECT_EQ(t.at(6, 6), kxgui_color(KX_GUI_WHITE));  // light part one down and right
    EXPECT_EQ(t.at(6, 2), 0x111111);
    EXPECT_TRUE(pixels_of(t, 0xFF0000).empty());
    kxtext_drawchar(&t.p, font, 20, 2, 0xFF0000, true, false, 0x0000FF, 'A', 0xAAAAAA, 0x555555);
    EXPECT_EQ(t.at(20, 6), 0x0000FF);
    EXPECT_EQ(t.at(21, 3), 0x555555);
    EXPECT_EQ(t.at(24, 6), 0xAAAAAA);
}

TEST_F(Text, TheHotkeyUnderlinesOnlyItsCharacter)
{
    kxpxmap_clear(&t.p, 0);
    kxtext_draw(&t.p, font, 0, 0, 0xFFFFFF, false, false, -1, 0, 1, "OK", -1, -1);
    for (int x = 0; x < 4; x++)
        EXPECT_EQ(t.at(x, 4), 0) << x;
    for (int x = 4; x < 8; x++)
        EXPECT_EQ(t.at(x, 4), 0xFFFFFF) << x;
    kxpxmap_clear(&t.p, 0);
    kxtext_draw(&t.p, font, 0, 0, 0xFFFFFF, false, true, -1, 0, -1, "OK", -1, -1);
    EXPECT_EQ(t.at(0, 4), 0xFFFFFF);
}

TEST_F(Text, ATooWideCaptionEndsInDotsAfterTheLastCharacterStartedInside)
{
    // Limit 20: "... " is 8 wide, so characters start while the pen is below 12.
    kxpxmap_clear(&t.p, 0);
    int end = kxtext_draw(&t.p, font, 0, 0, 0xFFFFFF, false, false, -1, 20, -1, "ABCDEFGH", -1, -1);
    EXPECT_EQ(end, 12 + 6);
    EXPECT_EQ(t.at(11, 0), 0xFFFFFF);  // C
    EXPECT_EQ(t.at(12, 0), 0xFFFFFF);  // first dot
    EXPECT_EQ(t.at(17, 0), 0xFFFFFF);  // third dot
    EXPECT_EQ(t.at(18, 0), 0);
    // A text that fits is drawn whole, its line feeds breaking lines.
    kxpxmap_clear(&t.p, 0);
    end = kxtext_draw(&t.p, font, 1, 0, 0xFFFFFF, false, false, -1, 20, -1, "AB\nC", -1, -1);
    EXPECT_EQ(end, 5);
    EXPECT_EQ(t.at(1, H), 0xFFFFFF);
    EXPECT_EQ(t.at(8, 0), 0xFFFFFF);
    EXPECT_EQ(t.at(9, 0), 0);
}

TEST(WrappedText, HyphensBreakAfterThemselvesAndLongWordsBreakBetweenCharacters)
{
    kxtest_headless();
    int font = load_block_font("twos", two_wide);
    Px t(KX_PXFMT_TRUECOLOR, 20, 30);
    kxpxmap_clear(&t.p, 0);
    EXPECT_EQ(kxtext_drawwrapped(&t.p, font, 0, 0, 7, 100, 0xFFFFFF, "ab-cd", false), 2 * H);
    EXPECT_EQ(t.at(4, 0), 0xFFFFFF);  // the hyphen stays on the first line
    EXPECT_EQ(t.at(0, H), 0xFFFFFF);  // "cd" starts the second
    EXPECT_EQ(t.at(6, 0), 0);
    // A word wider than the box leaves the first line empty, then breaks.
    kxpxmap_clear(&t.p, 0);
    EXPECT_EQ(kxtext_drawwrapped(&t.p, font, 0, 0, 7, 100, 0xFFFFFF, "abcdef", false), 3 * H);
    EXPECT_EQ(t.at(0, 0), 0);
    EXPECT_EQ(t.at(6, H), 0xFFFFFF);  // d straddles the edge
    EXPECT_EQ(t.at(0, 2 * H), 0xFFFFFF);
    EXPECT_EQ(t.at(4, 2 * H), 0);
    EXPECT_EQ(kxtext_wrappedheight(7, "abcdef", font), 3 * H);
}

TEST(WrappedText, TheBoxBottomStopsDrawingButLinesStillCount)
{
    kxtest_headless();
    int font = load_block_font("twos", two_wide);
    Px t(KX_PXFMT_TRUECOLOR, 20, 30);
    kxpxmap_clear(&t.p, 0);
    EXPECT_EQ(kxtext_drawwrapped(&t.p, font, 0, 0, 20, H, 0xFFFFFF, "ab\ncd\nef", false), 3 * H);
    EXPECT_EQ(t.at(0, 0), 0xFFFFFF);
    EXPECT_EQ(t.at(0, H), 0);
    // Tabs are skipped, carriage returns too, spaces take their width.
    kxpxmap_clear(&t.p, 0);
    EXPECT_EQ(kxtext_drawwrapped(&t.p, font, 0, 0, 20, 100, 0xFFFFFF, "a\tb\r c", false), H);
    EXPECT_EQ(t.at(2, 0), 0xFFFFFF);
    EXPECT_EQ(t.at(4, 0), 0);
    EXPECT_EQ(t.at(6, 0), 0xFFFFFF);
    // Measuring draws nothing.
    kxpxmap_clear(&t.p, 0);
    EXPECT_EQ(kxtext_drawwrapped(&t.p, font, 0, 0, 20, 100, 0xFFFFFF, "abc", true), H);
    EXPECT_EQ(t.at(0, 0), 0);
    // A box of no width still ends.
    EXPECT_EQ(kxtext_drawwrapped(&t.p, font, 0, 0, 0, 100, 0xFFFFFF, "abc", false), 5 * H);
}

TEST(GuiMetrics, StatusBarFollowsTheDefaultFont)
{
    kxtest_headless();
    kxfont_loadbuiltins();
    EXPECT_EQ(guimetrics("statusbarheight"), 21);
    kxgui_setdefaultfont(kxfont_findbyid("builtin 8x16"));
    EXPECT_EQ(guimetrics("statusbarheight"), 24);
    EXPECT_EQ(guimetrics("scrollbarwidth"), 15);
    EXPECT_EQ(guimetrics("menuheight"), 20);
    EXPECT_EQ(guimetrics("screenwidth"), kxsys_metric("screenxs"));
    EXPECT_EQ(kxtest_stdout([] { EXPECT_EQ(guimetrics("ScrollBarWidth"), 0); }),
              "guimetrics: ScrollBarWidth\n");
}

// Every builtin font's characters 32..255 on one sheet, kept in the build
// directory for people to look at.
TEST(FontSheet, ShowsEveryBuiltinCharacter)
{
    kxtest_headless();
    kxfont_loadbuiltins();
    constexpr int columns = 32, margin = 4;
    int width = 0, height = margin;
    for (int slot = 0; slot < KX_BUILTIN_FONTS; slot++) {
        const kxfont *f = kxfont_get(slot);
        ASSERT_NE(f, nullptr);
        width = std::max(width, margin + columns * (f->xsize + 2));
        height += (KX_FONT_GLYPHS / columns) * (f->ysize + 2) + margin;
    }
    Px sheet(KX_PXFMT_TRUECOLOR, width, height);
    kxpxmap_clear(&sheet.p, 0xFFFFFF);
    int top = margin;
    for (int slot = 0; slot < KX_BUILTIN_FONTS; slot++) {
        const kxfont *f = kxfont_get(slot);
        int inked_before = static_cast<int>(pixels_of(sheet, 0x000000).size());
        for (int k = 0; k < KX_FONT_GLYPHS; k++)
            kxtext_drawchar(&sheet.p, slot, margin + (k % columns) * (f->xsize + 2),
                            top + (k / columns) * (f->ysize + 2), 0x000000, false, false, -1,
                            KX_FONT_FIRST_CODE + k, -1, -1);
        EXPECT_GT(static_cast<int>(pixels_of(sheet, 0x000000).size()), inked_before + 200)
            << f->id;
        top += (KX_FONT_GLYPHS / columns) * (f->ysize + 2) + margin;
    }
    std::string path = kxtest_output_dir() + "/builtin_fonts.ppm";
    ASSERT_TRUE(kxtest_write_ppm(path, sheet.p));
    std::FILE *in = std::fopen(path.c_str(), "rb");
    ASSERT_NE(in, nullptr);
    int w = 0, h = 0;
    EXPECT_EQ(std::fscanf(in, "P6 %d %d 255", &w, &h), 2);
    std::fclose(in);
    EXPECT_EQ(w, width);
    EXPECT_EQ(h, height);
}
