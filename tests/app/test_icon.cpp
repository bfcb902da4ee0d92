// Quenlorix's icon at the sizes of the icon theme.
#include <gtest/gtest.h>

#include <utility>

#include "icon.h"

namespace {

// The first and last row holding the colour; -1, -1 when none does.
std::pair<int, int> rows_of(const kxpxmap &icon, int colour)
{
    int first = -1, last = -1;
    for (int y = 0; y < icon.height; y++)
        for (int x = 0; x < icon.width; x++)
            if (kxpxmap_getpixel(&icon, x, y) == colour) {
                first = first < 0 ? y : first;
                last = y;
            }
    return {first, last};
}

TEST(QuenlorixIcon, SentAndReceivedLinesStayApartAtEverySize)
{
    for (int size : {16, 24, 48, 256}) {
        kxpxmap icon;
        ASSERT_TRUE(quenlorix_drawicon(&icon, size));
        EXPECT_EQ(icon.width, size);
        EXPECT_EQ(icon.height, size);
        auto sent = rows_of(icon, 0x0000C0), received = rows_of(icon, 0xC00000);
        kxpxmap_free(&icon);
        ASSERT_GE(sent.first, 0) << size;
        ASSERT_GE(received.first, 0) << size;
        EXPECT_GT(received.first, sent.second + 1) << "lines run together at " << size;
        EXPECT_LT(received.second, size - 1);
    }
}

} // namespace
