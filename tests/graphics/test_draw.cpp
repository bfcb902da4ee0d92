#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdio>
#include <map>
#include <numbers>
#include <set>
#include <string>
#include <vector>

#include "graphics/colours.h"
#include "graphics/draw.h"
#include "support.h"

namespace {

constexpr int BG = 0x123456;  // never drawn by the tests
constexpr int INK = 0xABCDEF;
constexpr double PI = std::numbers::pi;

using pixel_set = std::set<std::pair<int, int>>;
using rows = std::vector<std::string>;

struct Canvas : Px {
    Canvas(int w, int h, int format = KX_PXFMT_TRUECOLOR) : Px(format, w, h)
    {
        kxpxmap_clear(&p, BG);
    }
};

pixel_set drawn(const kxpxmap &p)
{
    pixel_set s;
    for (int y = 0; y < p.height; y++)
        for (int x = 0; x < p.width; x++)
            if (kxpxmap_getpixel(&p, x, y) != BG)
                s.insert({x, y});
    return s;
}

// The pixmap as text: '.' background, legend characters, '?' anything else.
rows picture(const kxpxmap &p, const std::map<int, char> &legend)
{
    rows out(p.height, std::string(p.width, '.'));
    for (auto [x, y] : drawn(p)) {
        auto it = legend.find(kxpxmap_getpixel(&p, x, y));
        out[y][x] = it == legend.end() ? '?' : it->second;
    }
    return out;
}

pixel_set set_of(const rows &r, int dx = 0, int dy = 0)
{
    pixel_set s;
    for (int y = 0; y < static_cast<int>(r.size()); y++)
        for (int x = 0; x < static_cast<int>(r[y].size()); x++)
            if (r[y][x] != '.')
                s.insert({x + dx, y + dy});
    return s;
}

// References: each walk written out plainly, run over every step;
// only fit for shapes of moderate size.
struct reference {
    int w, h;
    pixel_set s;
    void add(double x, double y)
    {
        if (x >= 0 && y >= 0 && x < w && y < h)
            s.insert({static_cast<int>(x), static_cast<int>(y)});
    }
};

// The real-valued minor coordinate is summed step by step.
pixel_set ref_line(int w, int h, long x0, long y0, long x1, long y1)
{
    reference r{w, h, {}};
    const long dx = std::labs(x0 - x1), dy = std::labs(y0 - y1);
    const int sx = x1 < x0 ? -1 : 1, sy = y1 < y0 ? -1 : 1;
    double v = dy < dx ? y0 : x0;
    if (dy < dx)
        for (long x = x0; x != x1; x += sx, v += double(dy) / dx * sy)
            r.add(x, std::trunc(v + 0.5));
    else
        for (long y = y0; y != y1; y += sy, v += double(dx) / dy * sx)
            r.add(std::trunc(v + 0.5), y);
    r.add(x1, y1);
    return r.s;
}

pixel_set ref_arc(int w, int h, const int (&a)[6])
{
    reference r{w, h, {}};
    const double step = PI / (12.0 * a[2]);
    for (long k = 0; a[4] * PI / 180 + k * step <= a[5] * PI / 180; k++) {
        const double t = a[4] * PI / 180 + k * step;
        r.add(a[0] + std::trunc(std::cos(t) * a[2] + 0.5),
              a[1] + std::trunc(std::sin(t) * a[3] + 0.5));
    }
    return r.s;
}

pixel_set ref_fill(int w, int h, double cx, double cy, double rx, double ry, bool circle)
{
    reference r{w, h, {}};
    const double step = circle ? PI / (12 * rx) : PI / (4 * std::max(rx, ry));
    const double half = circle ? 0.5 : 0;
    for (long k = 0; PI / 2 + k * step <= 4.712388981; k++) {
        const double t = PI / 2 + k * step, g = rx * std::cos(t);
        const double row = std::trunc(cy + ry * std::sin(t) + half);
        const double a = std::trunc(cx + g + half), b = std::trunc(cx - g + half);
        for (double x = std::max(0.0, std::min(a, b)); x <= std::min(w - 1.0, std::max(a, b)); x++)
            r.add(x, row);
    }
    return r.s;
}

// ------------------------------------------------------------------ lines

TEST(DrawLine, WalkRoundsHalfUpWithTrunc)
{
    Canvas dot(8, 8), a(8, 8), b(8, 8), steep(8, 8), top(8, 4);
    kxgraphic_line(&dot.p, 3, 4, 3, 4, INK);
    EXPECT_EQ(drawn(dot.p), (pixel_set{{3, 4}}));
    kxgraphic_line(&a.p, 0, 0, 5, 2, INK);
    kxgraphic_line(&b.p, 5, 2, 0, 0, INK);
    kxgraphic_line(&steep.p, 0, 0, 2, 5, INK);
    const pixel_set shallow{{0, 0}, {1, 0}, {2, 1}, {3, 1}, {4, 2}, {5, 2}};
    EXPECT_EQ(drawn(a.p), shallow);
    EXPECT_EQ(drawn(b.p), shallow);
    EXPECT_EQ(drawn(steep.p), (pixel_set{{0, 0}, {0, 1}, {1, 2}, {1, 3}, {2, 4}, {2, 5}}));
    EXPECT_EQ(b.p.pen_x, 0);
    EXPECT_EQ(steep.p.pen_y, 5);
    // y runs -1, -0.5, 0, 0.5: trunc(y + 0.5) gives 0, 0, 0, 1.
    kxgraphic_line(&top.p, 0, -1, 4, 1, INK);
    EXPECT_EQ(drawn(top.p), (pixel_set{{0, 0}, {1, 0}, {2, 0}, {3, 1}, {4, 1}}));
}

TEST(DrawLine, ClippedLinesDrawTheirInsideSilently)
{
    Canvas c(10, 10);
    EXPECT_EQ(kxtest_stdout([&] { kxgraphic_line(&c.p, -5, -5, 20, 20, INK); }), "");
    pixel_set diagonal;
    for (int i = 0; i < 10; i++)
        diagonal.insert({i, i});
    EXPECT_EQ(drawn(c.p), diagonal);
    // Odd run lengths: no step lands exactly on .5, where summing and exact
    // arithmetic could round apart.
    const long lines[][4] = {{-3001, 7, 4000, 40}, {10, -5001, -20, 3000}, {70, 90, -7001, -3000}};
    for (const auto &l : lines) {
        Canvas d(64, 48);
        kxgraphic_line(&d.p, l[0], l[1], l[2], l[3], INK);
        EXPECT_EQ(drawn(d.p), ref_line(64, 48, l[0], l[1], l[2], l[3])) << l[0] << "," << l[1];
    }
}

TEST(DrawLine, HugeCoordinatesFinishAndKeepTheSlope)
{
    Canvas flat(64, 16), slope(64, 40), up(8, 30), wide(70000, 1);
    kxgraphic_line(&flat.p, -2000000000, 5, 2000000000, 5, INK);
    kxgraphic_line(&slope.p, -2000000000, -1000000000, 2000000000, 1000000000, INK);
    kxgraphic_line(&up.p, 3, INT_MAX, 3, INT_MIN, INK);
    pixel_set row, half, column;
    for (int x = 0; x < 64; x++) {
        row.insert({x, 5});
        half.insert({x, (x + 1) / 2});  // y = x / 2 rounded half up
    }
    for (int y = 0; y < 30; y++)
        column.insert({3, y});
    EXPECT_EQ(drawn(flat.p), row);
    EXPECT_EQ(drawn(slope.p), half);
    EXPECT_EQ(drawn(up.p), column);
    // More points than one batch holds.
    kxgraphic_line(&wide.p, 0, 0, 69999, 0, INK);
    EXPECT_EQ(drawn(wide.p).size(), 70000u);
}

TEST(DrawLine, ServerLineHasBothEndPoints)
{
    kxtest_headless();
    Canvas c(10, 10, KX_PXFMT_SERVER);
    kxgraphic_line(&c.p, 8, 4, 1, 1, INK);
    const pixel_set s = drawn(c.p);
    EXPECT_EQ(s.size(), 8u);  // one per column
    EXPECT_TRUE(s.count({1, 1}) && s.count({8, 4}));
    EXPECT_EQ(kxpxmap_getpixel(&c.p, 1, 1), INK);
    // Drawn by the platform's line, which makes a pen; the point walk does not.
    EXPECT_EQ(kxserver_pens_made(&c.p), 1);
}

TEST(DrawLine, DashesThreeOnThreeOffAndEndOnTarget)
{
    Canvas to(16, 4), far(24, 1), none(10, 1), solid(10, 1);
    kxgraphic_moveto(&to.p, 0, 2);
    kxgraphic_dashedlineto(&to.p, 11, 2, INK);  // steps 9, 10 are off: the end still shows
    EXPECT_EQ(drawn(to.p), (pixel_set{{0, 2}, {1, 2}, {2, 2}, {6, 2}, {7, 2}, {8, 2}, {11, 2}}));
    EXPECT_EQ(to.p.pen_x, 11);
    EXPECT_EQ(to.p.pen_y, 2);
    // Step i = x + 2e9 and 2e9 mod 6 = 2: x is drawn when (x + 2) mod 6 < 3.
    kxgraphic_dashedline(&far.p, -2000000000, 0, 2000000000, 0, INK, 3, 3);
    pixel_set expect;
    for (int x = 0; x < 24; x++)
        if ((x + 2) % 6 < 3)
            expect.insert({x, 0});
    EXPECT_EQ(drawn(far.p), expect);
    kxgraphic_dashedline(&none.p, 0, 0, 9, 0, INK, 0, 3);
    kxgraphic_dashedline(&solid.p, 0, 0, 9, 0, INK, 2, 0);
    EXPECT_EQ(drawn(none.p), (pixel_set{{9, 0}}));
    EXPECT_EQ(drawn(solid.p).size(), 10u);
}

// ------------------------------------------------------------ rectangles

TEST(DrawRect, OutlinesBySide)
{
    Canvas one(6, 6), r(6, 5), b(6, 5), f(6, 5), none(6, 6);
    kxgraphic_rect(&one.p, 3, 3, 1, 1, INK);
    EXPECT_EQ(drawn(one.p), (pixel_set{{3, 3}}));
    kxgraphic_rect(&r.p, 1, 1, 4, 3, INK);
    EXPECT_EQ(picture(r.p, {{INK, '#'}}), (rows{"......", ".####.", ".#..#.", ".####.", "......"}));
    // The right edge comes after the top one and takes the corner.
    const std::map<int, char> rb{{0xFF0000, 'R'}, {0x0000FF, 'B'}, {0x00FF00, 'G'}};
    kxgraphic_box2(&b.p, 1, 1, 4, 3, 0xFF0000, 0x0000FF);
    EXPECT_EQ(picture(b.p, rb), (rows{"......", ".RRRB.", ".R..B.", ".RBBB.", "......"}));
    kxgraphic_filledbox(&f.p, 0, 0, 5, 4, 0x00FF00, 0xFF0000, 0x0000FF);
    EXPECT_EQ(picture(f.p, rb), (rows{"RRRRB.", "RGGGB.", "RGGGB.", "RBBBB.", "......"}));
    for (int w : {0, -1, -5}) {
        kxgraphic_rect(&none.p, 2, 2, w, 3, INK);
        kxgraphic_rect(&none.p, 2, 2, 3, w, INK);
        kxgraphic_filledbox(&none.p, 2, 2, w, w, INK, INK, INK);
    }
    EXPECT_TRUE(drawn(none.p).empty());
}

TEST(DrawRect, HugeRectanglesDoNotOverflow)
{
    Canvas c(20, 8), corner(4, 4);
    kxgraphic_rect(&c.p, -1000000000, 2, 2000000000, 3, INK);
    kxgraphic_filledbox(&corner.p, INT_MAX - 1, INT_MAX - 1, INT_MAX, INT_MAX, INK, INK, INK);
    kxgraphic_filledbox(&corner.p, INT_MIN, INT_MIN, INT_MAX, INT_MAX, INK, INK, INK);
    pixel_set top_bottom;
    for (int x = 0; x < 20; x++)
        top_bottom.insert({{x, 2}, {x, 4}});
    EXPECT_EQ(drawn(c.p), top_bottom);
    EXPECT_TRUE(drawn(corner.p).empty());
}

// ---------------------------------------------------------------- frames

struct FrameTest : testing::Test {
    static std::map<int, char> legend()
    {
        kxtest_headless();
        return {{kxgui_color(KX_GUI_GREY), 'G'},  {kxgui_color(KX_GUI_LIGHT), 'L'},
                {kxgui_color(KX_GUI_DARK), 'D'},  {kxgui_color(KX_GUI_WHITE), 'W'},
                {kxgui_color(KX_GUI_BLACK), 'K'}, {0xFF0000, 'R'}, {0x0000FF, 'B'}};
    }
    std::map<int, char> gui = legend();
    rows frame(int type, bool pressed, int w, int h, int c1 = -1, int c2 = -1, int c3 = -1,
               int c4 = -1)
    {
        Canvas c(w, h);
        kxgraphic_frame(&c.p, type, pressed, 0, 0, w, h, c1, c2, c3, c4);
        return picture(c.p, gui);
    }
};

TEST_F(FrameTest, SimpleAndPlainFrames)
{
    constexpr int R = 0xFF0000, B = 0x0000FF;
    EXPECT_EQ(frame(0, false, 5, 4, R, B), (rows{"RRRRB", "R...B", "R...B", "BBBBB"}));
    EXPECT_EQ(frame(0, true, 5, 4, R, B), (rows{"BBBBR", "B...R", "B...R", "RRRRR"}));
    EXPECT_EQ(frame(0, false, 5, 4), (rows{"WWWWK", "W...K", "W...K", "KKKKK"}));
    // Type 5 and unknown types ignore the colours.
    for (int type : {5, 7, -1})
        EXPECT_EQ(frame(type, true, 5, 4, R, B), (rows{"KKKKW", "K...W", "K...W", "WWWWW"}));
    for (int type : {4, 6})
        for (bool pressed : {false, true})
            EXPECT_EQ(frame(type, pressed, 4, 3), (rows{"KKKK", "K..K", "KKKK"}));
}

TEST_F(FrameTest, DoubleAndFieldFrames)
{
    EXPECT_EQ(frame(1, false, 6, 5), (rows{"LLLLLK", "LWWWDK", "LW..DK", "LDDDDK", "KKKKKK"}));
    EXPECT_EQ(frame(1, true, 6, 5), (rows{"DDDDDW", "DKKKLW", "DK..LW", "DLLLLW", "WWWWWW"}));
    EXPECT_EQ(frame(1, false, 6, 5, 0x0000FF, 0xFF0000, 0x0000FF, 0xFF0000),
              (rows{"RRRRRB", "RRRRBB", "RR..BB", "RBBBBB", "BBBBBB"}));
    EXPECT_EQ(frame(2, true, 5, 4), (rows{"DDDDD", "DKKKG", "DK..G", "DGGGG"}));
    EXPECT_EQ(frame(2, false, 6, 5), (rows{"WWWWWK", "WGGGGK", "WG..DK", "WGDDDK", "KKKKKK"}));
}

TEST_F(FrameTest, DottedFrameReachesXPlusWAndYPlusH)
{
    Canvas even(8, 8), odd(8, 8);
    kxgraphic_frame(&even.p, 3, false, 1, 1, 4, 4, -1, -1, -1, -1);
    kxgraphic_frame(&odd.p, 3, true, 1, 1, 4, 3, 0xFF0000, -1, -1, -1);
    EXPECT_EQ(drawn(even.p),
              (pixel_set{{1, 1}, {3, 1}, {5, 1}, {1, 3}, {5, 3}, {1, 5}, {3, 5}, {5, 5}}));
    EXPECT_EQ(kxpxmap_getpixel(&even.p, 5, 5), kxgui_color(KX_GUI_BLACK));
    // An odd height starts the dots one row down, so they still meet at y + h.
    EXPECT_EQ(drawn(odd.p), (pixel_set{{1, 2}, {3, 2}, {5, 2}, {1, 4}, {3, 4}, {5, 4}}));
}

TEST_F(FrameTest, TinyAndHugeFramesStayInTheirBox)
{
    for (int type = 0; type <= 7; type++)
        for (int size = 0; size < 32; size++) {
            const int w = 1 + size % 4, h = 1 + size / 4 % 4, reach = type == 3 ? 1 : 0;
            Canvas c(10, 10);
            kxgraphic_frame(&c.p, type, size >= 16, 3, 3, w, h, -1, -1, -1, -1);
            for (auto [x, y] : drawn(c.p))
                EXPECT_TRUE(x >= 3 && y >= 3 && x <= 2 + w + reach && y <= 2 + h + reach)
                    << type << " " << w << "x" << h << " at " << x << "," << y;
        }
    EXPECT_EQ(frame(5, false, 1, 1), (rows{"K"}));
    for (int type = 0; type <= 6; type++) {
        Canvas c(16, 16);
        kxgraphic_frame(&c.p, type, false, -2000000000, 4, INT_MAX, 8, -1, -1, -1, -1);
        EXPECT_FALSE(drawn(c.p).empty()) << type;
        for (auto [x, y] : drawn(c.p))  // only the rows of the top and bottom edges show
            EXPECT_TRUE(y == 4 || y == 5 || (y >= 10 && y <= 12)) << type << ": " << x << "," << y;
    }
}

// ---------------------------------------------------------------- arrows

using arrow_fn = void (*)(kxpxmap *, const char *, int, int, int, int, int);

pixel_set arrow(arrow_fn fn, const char *name, int x, int y, int w, int h)
{
    Canvas c(40, 40);
    fn(&c.p, name, x, y, w, h, INK);
    return drawn(c.p);
}

TEST(DrawArrow, NamesIgnoreCaseAndUnknownNamesDrawNothing)
{
    EXPECT_EQ(arrow(kxgraphic_arrow, "UP", 0, 0, 7, 4), arrow(kxgraphic_arrow, "up", 0, 0, 7, 4));
    EXPECT_EQ(arrow(kxgraphic_arrow, "Double Right", 0, 0, 9, 7),
              set_of({"*....*...", "**...**..", "***..***.", "****.****", "***..***.", "**...**..",
                      "*....*..."}));
    for (const char *bad : {"sideways", "", "upp", "double left "})
        EXPECT_TRUE(arrow(kxgraphic_arrow, bad, 0, 0, 20, 20).empty()) << bad;
    EXPECT_TRUE(arrow(kxgraphic_arrow, nullptr, 0, 0, 20, 20).empty());
    EXPECT_TRUE(arrow(kxgraphic_smallarrow, "double left", 0, 0, 20, 20).empty());
    EXPECT_TRUE(arrow(kxgraphic_bigarrow, "double right", 0, 0, 20, 20).empty());
}

TEST(DrawArrow, CentredWithTruncatingDivision)
{
    const rows up{"...*...", "..***..", ".*****.", "*******"};
    // (10 - 7) / 2 = 1, (7 - 4) / 2 = 1.
    EXPECT_EQ(arrow(kxgraphic_arrow, "up", 2, 3, 10, 7), set_of(up, 3, 4));
    // A box narrower than the arrow: (4 - 7) / 2 = -1, not -2.
    EXPECT_EQ(arrow(kxgraphic_arrow, "up", 10, 10, 4, 4), set_of(up, 9, 10));
    EXPECT_EQ(arrow(kxgraphic_smallarrow, "LEFT", 0, 0, 8, 8),
              set_of({"..*", ".**", "***", ".**", "..*"}, 2, 1));
}

TEST(DrawArrow, BigArrowsFollowTheRule)
{
    EXPECT_EQ(arrow(kxgraphic_bigarrow, "down", 0, 0, 11, 6),
              set_of({"***********", ".*********.", "..*******..", "...*****...", "....***....",
                      ".....*....."}));
    const pixel_set left = arrow(kxgraphic_bigarrow, "left", 0, 0, 8, 15);
    EXPECT_EQ(left, set_of({".......*", "......**", ".....***", "....****", "...*****", "..******",
                            ".*******", "********", ".*******", "..******", "...*****", "....****",
                            ".....***", "......**", ".......*"}));
    pixel_set mirrored;
    for (auto [x, y] : left)
        mirrored.insert({7 - x, y});
    EXPECT_EQ(arrow(kxgraphic_bigarrow, "right", 0, 0, 8, 15), mirrored);
}

// ------------------------------------------------------- ellipses, fills

TEST(DrawEllipse, ZeroOrNegativeRadiiDrawNothing)
{
    Canvas c(20, 20);
    kxgraphic_ellipse(&c.p, 10, 10, 0, 5, INK);
    kxgraphic_ellipse(&c.p, 10, 10, 5, 0, INK);
    kxgraphic_ellipse(&c.p, 10, 10, -5, 5, INK);
    kxgraphic_circle(&c.p, 10, 10, 0, INK);
    kxgraphic_arc(&c.p, 10, 10, 5, 5, 90, 10, INK);  // end before start
    kxgraphic_fillcircle(&c.p, 10, 10, -1, INK);
    kxgraphic_fillellipse(&c.p, 10, 10, -3, 3, INK);
    EXPECT_TRUE(drawn(c.p).empty());
}

TEST(DrawEllipse, OutlinesMatchTheStepWalk)
{
    // Even radii: odd ones put steps exactly on .5 at 30 and 60 degrees.
    const int shapes[][6] = {{20, 15, 12, 8, 0, 360},        {5, 5, 36, 50, 0, 360},
                             {-2990, 10, 3000, 2000, 0, 360}, {20, 15, 12, 8, 13, 90},
                             {20, 15, 40, 30, 200, 517},      {30, 20, 14, 14, 0, 3600}};
    for (const auto &s : shapes) {
        Canvas c(48, 32);
        kxgraphic_arc(&c.p, s[0], s[1], s[2], s[3], s[4], s[5], INK);
        EXPECT_EQ(drawn(c.p), ref_arc(48, 32, s)) << s[2] << "x" << s[3];
    }
    // The rightmost point (10, 20) of a circle of radius 1e9: within 20 rows
    // of it the outline is still 2e-7 pixels from that column.
    Canvas huge(40, 40);
    kxgraphic_ellipse(&huge.p, -1000000000 + 10, 20, 1000000000, 1000000000, INK);
    kxgraphic_ellipse(&huge.p, 20, 20, 1000000000, 1000000000, INK);  // all far outside
    pixel_set column;
    for (int y = 0; y < 40; y++)
        column.insert({10, y});
    EXPECT_EQ(drawn(huge.p), column);
}

TEST(DrawEllipse, FilledRowsByHand)
{
    Canvas circle(10, 10), ellipse(10, 10), dot(10, 10);
    kxgraphic_fillcircle(&circle.p, 5, 5, 2, INK);
    EXPECT_EQ(drawn(circle.p),
              set_of({"....###", "...#####", "...#####", "...#####", "....###"}, 0, 3));
    // The ellipse truncates where the circle rounds.
    kxgraphic_fillellipse(&ellipse.p, 5, 5, 3, 1, INK);
    EXPECT_EQ(drawn(ellipse.p), set_of({"..######", "..#######", ".....#"}, 0, 4));
    kxgraphic_fillcircle(&dot.p, 4, 6, 0, INK);
    EXPECT_EQ(drawn(dot.p), (pixel_set{{4, 6}}));
}

TEST(DrawEllipse, FilledShapesMatchTheStepWalk)
{
    const int shapes[][4] = {
        {20, 15, 12, 8}, {20, 15, 5, 30}, {-1990, 16, 2000, 900}, {24, 40, 30, 3}};
    for (const auto &s : shapes) {
        Canvas e(48, 32), c(48, 32);
        kxgraphic_fillellipse(&e.p, s[0], s[1], s[2], s[3], INK);
        kxgraphic_fillcircle(&c.p, s[0], s[1], s[2], INK);
        EXPECT_EQ(drawn(e.p), ref_fill(48, 32, s[0], s[1], s[2], s[3], false))
            << s[2] << "x" << s[3];
        EXPECT_EQ(drawn(c.p), ref_fill(48, 32, s[0], s[1], s[2], s[2], true)) << s[2];
    }
    // Rows 11 .. 19 of a flat ellipse 2e9 wide are full; only the end rows
    // 10 and 20 depend on how sin rounds next to +-1.
    Canvas flat(30, 30), disc(30, 30);
    kxgraphic_fillellipse(&flat.p, 15, 15, 1000000000, 5, INK);
    const pixel_set s = drawn(flat.p);
    for (int y = 0; y < 30; y++)
        for (int x = 0; x < 30 && y != 10 && y != 20; x++)
            EXPECT_EQ(s.count({x, y}), y > 10 && y < 20 ? 1u : 0u) << x << "," << y;
    kxgraphic_fillcircle(&disc.p, 15, 15, 2000000000, INK);
    EXPECT_EQ(drawn(disc.p).size(), 900u);
}

// ------------------------------------------------------------ flood fill

rows fill_map(const rows &map, int x, int y)
{
    Canvas c(static_cast<int>(map[0].size()), static_cast<int>(map.size()));
    for (auto [wx, wy] : set_of(map))
        kxpxmap_setpixel(&c.p, wx, wy, 0);
    kxgraphic_floodfill(&c.p, x, y, INK);
    return picture(c.p, {{0, '#'}, {INK, 'F'}});
}

TEST(FloodFill, FillsExactlyTheFourConnectedArea)
{
    const rows map{"..#.....", "..#.....", "##.....#", "......#.", ".....#..", "......#."};
    EXPECT_EQ(fill_map(map, 4, 0),
              (rows{"..#FFFFF", "..#FFFFF", "##FFFFF#", "FFFFFF#.", "FFFFF#..", "FFFFFF#."}));
    EXPECT_EQ(fill_map(map, 1, 1),
              (rows{"FF#.....", "FF#.....", "##.....#", "......#.", ".....#..", "......#."}));
    EXPECT_EQ(fill_map(map, 2, 0),
              (rows{"..F.....", "..F.....", "##.....#", "......#.", ".....#..", "......#."}));
}

TEST(FloodFill, NothingChangesForTheStartColourOutsideOrAnUnchangedStore)
{
    Canvas c(6, 6);
    kxgraphic_rect(&c.p, 1, 1, 4, 4, INK);
    const rows before = picture(c.p, {{INK, '#'}});
    kxgraphic_floodfill(&c.p, 1, 1, INK);
    for (auto [x, y] : pixel_set{{-1, 0}, {6, 0}, {0, 6}, {INT_MIN, INT_MAX}})
        kxgraphic_floodfill(&c.p, x, y, 0xFF);
    EXPECT_EQ(picture(c.p, {{INK, '#'}}), before);
    // palette8 keeps the low byte: 0x105 is stored as the start index 5.
    Px pal(KX_PXFMT_PALETTE8, 8, 8);
    kxpxmap_clear(&pal.p, 5);
    kxgraphic_floodfill(&pal.p, 3, 3, 0x105);
    for (int i = 0; i < 64; i++)
        ASSERT_EQ(pal.at(i % 8, i / 8), 5);
}

TEST(FloodFill, ServerPixmapInsideARing)
{
    kxtest_headless();
    Canvas c(8, 8, KX_PXFMT_SERVER);
    kxgraphic_rect(&c.p, 1, 1, 6, 6, INK);
    kxgraphic_floodfill(&c.p, 3, 3, 0x00FF00);
    EXPECT_EQ(picture(c.p, {{INK, '#'}, {0x00FF00, 'F'}}),
              (rows{"........", ".######.", ".#FFFF#.", ".#FFFF#.", ".#FFFF#.", ".#FFFF#.",
                    ".######.", "........"}));
}

TEST(FloodFill, LargeSerpentine)
{
    // Every odd row is a wall with a gap at alternating ends: one path of
    // eight million pixels, far too deep for a recursive fill.
    constexpr int N = 4096;
    Px c(KX_PXFMT_TRUECOLOR, N, N);
    auto wall = [](int x, int y) { return y % 2 == 1 && x != ((y / 2) % 2 ? 0 : N - 1); };
    for (int y = 1; y < N; y += 2)
        for (int x = 0; x < N; x++)
            if (wall(x, y))
                kxpxmap_setpixel(&c.p, x, y, INK);
    kxgraphic_floodfill(&c.p, 0, 0, 0x00FF00);
    long wrong = 0;
    for (int y = 0; y < N; y++)
        for (int x = 0; x < N; x++)
            wrong += c.at(x, y) != (wall(x, y) ? INK : 0x00FF00);
    EXPECT_EQ(wrong, 0);
}

// ---------------------------------------------- masks, patterns, copies

TEST(DrawMask, MasksPatternsAndColourPatterns)
{
    const std::uint8_t bits[] = {1, 0, 2, 0, 0, 9};
    Canvas m(4, 3), m2(4, 3), pat(4, 3), cp(5, 2);
    kxgraphic_mask(&m.p, -1, 1, 3, 2, bits, INK);  // column 0 falls off the left edge
    EXPECT_EQ(drawn(m.p), (pixel_set{{1, 1}, {1, 2}}));
    kxgraphic_mask2(&m2.p, 1, 0, 3, 2, bits, INK, 0xFF);
    EXPECT_EQ(picture(m2.p, {{INK, '#'}, {0xFF, 'o'}}), (rows{".#o#", ".oo#", "...."}));
    // The string ends before w * h: nothing past its end is read.
    const std::string text = "*.x*";
    std::vector<char> heap(text.begin(), text.end());
    heap.push_back('\0');
    kxgraphic_pattern(&pat.p, 0, 0, heap.data(), 3, 3, INK);
    EXPECT_EQ(drawn(pat.p), (pixel_set{{0, 0}, {0, 1}}));
    const int table[10] = {0x10, 0x20, 0x30, 0, 0, 0, 0, 0, 0, 0xA0};
    kxgraphic_colorpattern(&cp.p, 0, 0, "1 03:./2*", 5, 2, table);
    EXPECT_EQ(picture(cp.p, {{0x10, '1'}, {0x20, '2'}, {0x30, '3'}, {0xA0, 'a'}}),
              (rows{"1..3a", "..2.."}));
}

// Truecolor targets take masks straight into their rows: clipped at every
// edge exactly as a server pixmap's points are.
TEST(DrawMask, TruecolorRowsClipLikeTheGeneralPath)
{
    std::uint8_t bits[5 * 4];
    for (int i = 0; i < 5 * 4; i++)
        bits[i] = static_cast<std::uint8_t>(i % 3 != 1);
    for (auto [x, y] : {std::pair{-2, -1}, std::pair{4, 3}, std::pair{-3, 4}, std::pair{1, 1}}) {
        Canvas t(6, 5), s(6, 5, KX_PXFMT_SERVER);
        kxgraphic_mask(&t.p, x, y, 5, 4, bits, INK);
        kxgraphic_mask(&s.p, x, y, 5, 4, bits, INK);
        EXPECT_EQ(drawn(t.p), drawn(s.p)) << x << "," << y;
    }
}

TEST(DrawCopy, HonoursTransparency)
{
    Px src(KX_PXFMT_TRUECOLOR, 3, 1), pal(KX_PXFMT_PALETTE8, 3, 1);
    Canvas dst(4, 2);
    kxpxmap_setpixel(&src.p, 0, 0, 0x111111);
    kxpxmap_setpixel(&src.p, 1, 0, 0xF00000);  // the fresh pixmap's transparent colour
    kxpxmap_setpixel(&src.p, 2, 0, 0x222222);
    kxgraphic_copy(&dst.p, &src.p, 1, 0, 3, 1, 0, 0);
    kxpxmap_setpixel(&pal.p, 0, 0, KX_TRANSPARENT_INDEX);
    kxpxmap_setpixel(&pal.p, 1, 0, 15);  // white in the default palette
    kxgraphic_copy(&dst.p, &pal.p, 0, 1, 0, 0, 0, 0);
    EXPECT_EQ(picture(dst.p, {{0x111111, '1'}, {0x222222, '2'}, {0xFFFFFF, 'W'}, {0, 'K'}}),
              (rows{".1.2", ".WK."}));
    EXPECT_EQ(kxgraphic_rgb(-255, 256 + 0x34, -1), 0x0134FF);
}

// ------------------------------------------------------------ image dump

#ifdef KX_TEST_BINARY_DIR
const char *const DUMP_DIR = KX_TEST_BINARY_DIR;
#else
const char *const DUMP_DIR = "/tmp";
#endif

// Every frame type raised and pressed, then the arrows of the three sizes in
// field frames, written as a PPM for a person to look at.
TEST(DrawDump, FramesAndArrowsPicture)
{
    kxtest_headless();
    constexpr int CELL = 48, W = 8 * CELL, H = 5 * CELL, IN = CELL - 8;
    Px img(KX_PXFMT_TRUECOLOR, W, H);
    kxpxmap_clear(&img.p, kxgui_color(KX_GUI_GREY));
    for (int type = 0; type <= 7; type++)
        for (int pressed = 0; pressed < 2; pressed++)
            kxgraphic_frame(&img.p, type, pressed, type * CELL + 4, pressed * CELL + 4, IN, IN, -1,
                            -1, -1, -1);
    const char *names[] = {"up", "down", "left", "right", "double left", "double right"};
    const arrow_fn sizes[] = {kxgraphic_smallarrow, kxgraphic_arrow, kxgraphic_bigarrow};
    for (int s = 0; s < 3; s++)
        for (int n = 0; n < 6; n++) {
            const int x = n * CELL + 4, y = (2 + s) * CELL + 4;
            kxgraphic_frame(&img.p, 2, false, x, y, IN, IN, -1, -1, -1, -1);
            sizes[s](&img.p, names[n], x, y, IN, IN, 0);
        }
    const std::string path = std::string(DUMP_DIR) + "/frames_and_arrows.ppm";
    std::FILE *f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr) << path;
    std::fprintf(f, "P6\n%d %d\n255\n", W, H);
    for (int i = 0; i < W * H; i++) {
        const int v = img.at(i % W, i / W);
        const unsigned char rgb[3] = {static_cast<unsigned char>(v >> 16),
                                      static_cast<unsigned char>(v >> 8),
                                      static_cast<unsigned char>(v)};
        std::fwrite(rgb, 1, 3, f);
    }
    ASSERT_EQ(std::fclose(f), 0);

    f = std::fopen(path.c_str(), "rb");
    ASSERT_NE(f, nullptr);
    std::vector<unsigned char> file(64 + 3 * W * H);
    file.resize(std::fread(file.data(), 1, file.size(), f));
    std::fclose(f);
    const std::string header = "P6\n384 240\n255\n";
    ASSERT_EQ(file.size(), header.size() + 3 * W * H);
    EXPECT_EQ(std::string(file.begin(), file.begin() + header.size()), header);
    // Spot checks that the pixels went out in order: the dotted frame's
    // corner, and every 97th pixel.
    const auto at = [&](int x, int y) {
        const unsigned char *q = file.data() + header.size() + 3 * (y * W + x);
        return q[0] << 16 | q[1] << 8 | q[2];
    };
    EXPECT_EQ(at(3 * CELL + 4, 4), kxgui_color(KX_GUI_BLACK));
    for (int i = 0; i < W * H; i += 97)
        ASSERT_EQ(at(i % W, i / W), img.at(i % W, i / W)) << i;
}

} // namespace
