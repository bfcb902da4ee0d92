// Tab bars in a window on the headless host.
#include <gtest/gtest.h>

#include <cstring>

#include "graphics/font.h"
#include "graphics/text.h"
#include "input_support.h"
#include "widgets/tabbar.h"

namespace {

struct TabBarTest : InputTest {
    kxTabBar t;
    int mid() { return t.geom.y + t.geom.ys / 2; }
    // A click at x relative to the bar.
    void click_at(int rel) { click(t.geom.x + rel, mid()); }
};

TEST_F(TabBarTest, AutoNumbersAndNarrowNames)
{
    t.create("x=10,y=10,tabs=Eins|Zwei,autonumber=1");
    ASSERT_EQ(t.count, 2);
    EXPECT_STREQ(t.tabs[0].name, "Eins [1]");
    EXPECT_STREQ(t.tabs[1].name, "Zwei [2]");
    EXPECT_EQ(t.selected_index(), 0);
    // A name narrower than 50 pixels still gives a 60-pixel tab.
    t.create("x=10,y=10,tabs=A|Ein recht langer Reitername");
    ASSERT_LT(kxtext_width(t.font, "A"), 50);
    EXPECT_EQ(t.tabs[0].width, 60);
    int wide = kxtext_width(t.font, "Ein recht langer Reitername") + 10;
    EXPECT_EQ(t.tabs[1].width, wide);
    EXPECT_EQ(t.geom.xs, 20 + 60 + wide);
    EXPECT_EQ(t.geom.ys, kxfont_height(t.font) + 8);
    EXPECT_STREQ(t.tabs[0].name, "A");
}

TEST_F(TabBarTest, OnlyAClickOnAnotherTabReports)
{
    t.create("x=10,y=10,tabs=Eins|Zwei|Drei");
    ASSERT_EQ(t.tabs[0].xstart, 1);
    ASSERT_EQ(t.tabs[1].xstart, 1 + 60 + 2);
    click_at(30);  // the selected tab
    EXPECT_EQ(posted(t.ids[0]), 0);
    // The two pixels between the first and second tab, and the edges.
    click_at(t.tabs[0].xend);
    click_at(t.tabs[0].xend + 1);
    click_at(t.tabs[1].xstart);
    EXPECT_EQ(posted(t.ids[0]), 0);
    EXPECT_EQ(t.selected_index(), 0);
    click_at(t.tabs[1].xstart + 1);
    EXPECT_EQ(t.selected_index(), 1);
    EXPECT_EQ(posted(t.ids[0]), 1);
    EXPECT_FALSE(t.tabs[0].selected);
    // Beyond the last tab: nothing.
    click_at(t.tabs[2].xend + 5);
    EXPECT_EQ(posted(t.ids[0]), 0);
    EXPECT_EQ(t.selected_index(), 1);
}

TEST_F(TabBarTest, SelectIsLimitedAndSilent)
{
    t.create("x=10,y=10,tabs=Eins|Zwei|Drei,greystyle");
    EXPECT_EQ(t.style, 2);
    EXPECT_EQ(t.tabs[0].xstart, 0);
    t.select(7);
    EXPECT_EQ(t.selected_index(), 2);
    t.select(-4);
    EXPECT_EQ(t.selected_index(), 0);
    int n = 0;
    for (int i = 0; i < t.count; i++)
        n += t.tabs[i].selected;
    EXPECT_EQ(n, 1);
    EXPECT_EQ(posted(t.ids[0]), 0);
    // The selected tab of the grey style is drawn in its own shade.
    t.select(1);
    int inside = pixel(t.geom.x + t.tabs[1].xstart + 5, t.geom.y + 2);
    int other = pixel(t.geom.x + t.tabs[0].xstart + 5, t.geom.y + 2);
    EXPECT_NE(inside, other);
}

TEST_F(TabBarTest, NoNamesAndTooManyNames)
{
    t.create("x=10,y=10,xs=100");
    EXPECT_EQ(t.count, 0);
    EXPECT_EQ(t.selected_index(), -1);
    t.select(3);
    EXPECT_EQ(t.selected_index(), -1);
    click_at(20);
    EXPECT_EQ(posted(t.ids[0]), 0);
    std::string list = "tabs=";
    for (int i = 0; i < 150; i++)
        list += "t|";
    t.create("x=0,y=0,xs=300,%s", list.c_str());
    EXPECT_EQ(t.count, KX_MAX_TABS);
    EXPECT_EQ(t.selected_index(), 0);
}

TEST_F(TabBarTest, StyleOneOutlinesTheSelectedTabInBlue)
{
    t.create("x=10,y=10,tabs=Eins|Zwei");
    int x0 = t.geom.x + t.tabs[0].xstart, x1 = t.geom.x + t.tabs[1].xstart;
    EXPECT_EQ(pixel(x0, mid()), 0x0023B1);
    EXPECT_EQ(pixel(x1, mid()), 0x000000);
    // The rounded corner shows the background.
    EXPECT_EQ(pixel(x0, t.geom.y), t.transcolor);
    EXPECT_EQ(pixel(x0 + 5, t.geom.y), 0x0023B1);
}

} // namespace
