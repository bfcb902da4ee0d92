// Drawing primitives and frames.  Most primitives collect their points in
// the shared point batch and hand it to the pixmap in one colour; filled
// shapes and flood fill go row by row through kxpxmap_fillrect.
//
// Coordinates come from callers and markup and may be anywhere in the int
// range, so all geometry is done in 64 bits and every walk is cut to the
// steps that can land inside the pixmap before it runs: a line across two
// billion pixels costs as much as one across the pixmap.
#include "graphics/draw.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <numbers>
#include <vector>

#include "graphics/colours.h"
#include "platform/platform.h"

namespace {

using i64 = long long;

constexpr double PI = std::numbers::pi;

int saturate(i64 v) { return static_cast<int>(std::clamp<i64>(v, INT_MIN, INT_MAX)); }

bool fits_int(i64 v) { return v >= INT_MIN && v <= INT_MAX; }

void set_pen(kxpxmap *p, i64 x, i64 y)
{
    p->pen_x = saturate(x);
    p->pen_y = saturate(y);
}

int or_gui(int colour, int number) { return colour == -1 ? kxgui_color(number) : colour; }

// The offsets lo .. hi of a run of len pixels starting at pos that fall
// inside 0 .. limit - 1; false when none do.
bool visible_run(i64 pos, i64 len, int limit, i64 *lo, i64 *hi)
{
    *lo = std::max<i64>(0, -pos);
    *hi = std::min<i64>(len - 1, limit - 1 - pos);
    return *lo <= *hi;
}

// The row span x0 .. x1 (either order), cut to the pixmap.
void fill_span(kxpxmap *p, i64 x0, i64 x1, i64 y, int colour)
{
    if (x1 < x0)
        std::swap(x0, x1);
    if (y < 0 || y >= p->height || x1 < 0 || x0 >= p->width)
        return;
    x0 = std::max<i64>(x0, 0);
    x1 = std::min<i64>(x1, p->width - 1);
    kxpxmap_fillrect(p, static_cast<int>(x0), static_cast<int>(y), static_cast<int>(x1 - x0 + 1), 1,
                     colour);
}

// ------------------------------------------------------------ point batch

constexpr int BATCH_POINTS = 64000;

// The points of the primitive being drawn.  Points outside the target are
// dropped on the way in; a full batch is drawn and emptied, so primitives
// with more points than it holds keep all of them.
struct point_batch {
    kxpxmap *target = nullptr;
    int colour = 0;
    int count = 0;
    std::array<int, BATCH_POINTS> xs{};
    std::array<int, BATCH_POINTS> ys{};
};

point_batch batch;

void batch_flush()
{
    if (batch.count > 0)
        kxpxmap_setpixels(batch.target, batch.count, batch.xs.data(), batch.ys.data(),
                          batch.colour);
    batch.count = 0;
}

void batch_begin(kxpxmap *p, int colour)
{
    batch.target = p;
    batch.colour = colour;
    batch.count = 0;
}

void batch_add(i64 x, i64 y)
{
    const kxpxmap *p = batch.target;
    if (x < 0 || y < 0 || x >= p->width || y >= p->height)
        return;
    if (batch.count == BATCH_POINTS)
        batch_flush();
    batch.xs[batch.count] = static_cast<int>(x);
    batch.ys[batch.count] = static_cast<int>(y);
    batch.count++;
}

void batch_end()
{
    batch_flush();
    batch.target = nullptr;
}

// ------------------------------------------------------------------ lines

// The walk of a line: the longer axis (y on a tie) steps by one from the
// start point for steps 0 .. length - 1, the other coordinate is the real
// value start + i * run / length rounded as trunc(v + 0.5).  The value is
// computed exactly from the step number rather than summed step by step, so
// step two billion lands where the rule puts it.
class line_walk {
  public:
    line_walk(i64 x0, i64 y0, i64 x1, i64 y1)
        : x0_(x0), y0_(y0), xmajor_(std::llabs(y1 - y0) < std::llabs(x1 - x0))
    {
        const i64 dx = std::llabs(x1 - x0), dy = std::llabs(y1 - y0);
        length_ = xmajor_ ? dx : dy;
        run_ = xmajor_ ? dy : dx;
        sx_ = x1 < x0 ? -1 : 1;
        sy_ = y1 < y0 ? -1 : 1;
    }

    void point(i64 i, i64 *x, i64 *y) const
    {
        if (xmajor_) {
            *x = x0_ + sx_ * i;
            *y = minor(y0_, sy_, i);
        } else {
            *x = minor(x0_, sx_, i);
            *y = y0_ + sy_ * i;
        }
    }

    // The steps whose major coordinate lies inside the pixmap.
    bool visible(const kxpxmap *p, i64 *lo, i64 *hi) const
    {
        const i64 start = xmajor_ ? x0_ : y0_;
        const int dir = xmajor_ ? sx_ : sy_;
        const int limit = xmajor_ ? p->width : p->height;
        const i64 a = dir > 0 ? -start : start - (limit - 1);
        const i64 b = dir > 0 ? (limit - 1) - start : start;
        *lo = std::max<i64>(a, 0);
        *hi = std::min<i64>(b, length_ - 1);
        return *lo <= *hi;
    }

  private:
    // trunc(m0 + dir * i * run / length + 1/2) as one fraction; integer
    // division truncates toward zero as trunc does.
    i64 minor(i64 m0, int dir, i64 i) const
    {
#ifdef __SIZEOF_INT128__
        const __int128 len = length_;
        const __int128 num = 2 * len * m0 + 2 * static_cast<__int128>(dir) * i * run_ + len;
        return static_cast<i64>(num / (2 * len));
#else
        return minor_narrow(m0, dir, i);
#endif
    }

    // The same without a 128-bit type (32-bit targets).  With i * run split
    // as q * length + r the value is m0 + dir * q + (2 * dir * r + length) /
    // (2 * length), whose fraction lies between -1/2 and 3/2; exact while
    // both spans fit 32 bits, so that i * run fits 64.
    i64 minor_narrow(i64 m0, int dir, i64 i) const
    {
        const i64 len = length_;
        if (len > 0xFFFFFFFFLL || run_ > 0xFFFFFFFFLL) {
            const long double v = static_cast<long double>(m0) +
                                  static_cast<long double>(dir) * i * run_ / len + 0.5L;
            return static_cast<i64>(v);
        }
        const std::uint64_t u = static_cast<std::uint64_t>(i) * static_cast<std::uint64_t>(run_);
        const i64 q = static_cast<i64>(u / static_cast<std::uint64_t>(len));
        const i64 r = static_cast<i64>(u % static_cast<std::uint64_t>(len));
        const i64 k = m0 + dir * q, t = 2 * dir * r + len, den = 2 * len;
        // trunc(k + t / den): floor when the sum is not negative, else ceiling.
        const bool nonneg = k >= 1 || (k == 0 && t >= 0) || (k == -1 && t >= den);
        auto floor_div = [](i64 a, i64 b) { return a >= 0 ? a / b : -((-a + b - 1) / b); };
        return nonneg ? k + floor_div(t, den) : k - floor_div(-t, den);
    }

    i64 x0_, y0_;
    bool xmajor_;
    i64 length_ = 0, run_ = 0;
    int sx_ = 1, sy_ = 1;
};

// Which steps of a dashed walk are drawn: `on` drawn, `off` skipped, over
// and over from step 0.
struct dash {
    i64 on, off;
    bool drawn(i64 i) const
    {
        if (on <= 0)
            return false;
        if (off <= 0)
            return true;
        return i % (on + off) < on;
    }
};

// Adds the walk's visible steps that keep() accepts, then the end point.
template <class Keep> void walk_line(kxpxmap *p, i64 x0, i64 y0, i64 x1, i64 y1, Keep keep)
{
    const line_walk w(x0, y0, x1, y1);
    i64 lo, hi;
    if (w.visible(p, &lo, &hi)) {
        for (i64 i = lo; i <= hi; i++) {
            if (!keep(i))
                continue;
            i64 x, y;
            w.point(i, &x, &y);
            batch_add(x, y);
        }
    }
    batch_add(x1, y1);
}

// A solid line without touching the pen.
void draw_line(kxpxmap *p, i64 x0, i64 y0, i64 x1, i64 y1, int colour)
{
    if (x0 == x1 && y0 == y1) {
        if (fits_int(x0) && fits_int(y0))
            kxpxmap_setpixel(p, static_cast<int>(x0), static_cast<int>(y0), colour);
        return;
    }
    if (p->format == KX_PXFMT_SERVER && fits_int(x0) && fits_int(y0) && fits_int(x1) &&
        fits_int(y1) &&
        kxserver_line(p, static_cast<int>(x0), static_cast<int>(y0), static_cast<int>(x1),
                      static_cast<int>(y1), colour))
        return;
    batch_begin(p, colour);
    walk_line(p, x0, y0, x1, y1, [](i64) { return true; });
    batch_end();
}

// --------------------------------------------------------- boxes, frames

// A rectangle with its right column and bottom row.
struct box {
    i64 x, y, r, b;
};

box box_of(int x, int y, int w, int h)
{
    return {x, y, static_cast<i64>(x) + w - 1, static_cast<i64>(y) + h - 1};
}

// One horizontal or vertical edge, cut to the box: the inner edges of frames
// only a pixel or two wide would otherwise stick out of them.  An edge with
// nothing left is not drawn.
void edge(kxpxmap *p, const box &bx, i64 x0, i64 y0, i64 x1, i64 y1, int colour)
{
    x0 = std::max(x0, bx.x);
    y0 = std::max(y0, bx.y);
    x1 = std::min(x1, bx.r);
    y1 = std::min(y1, bx.b);
    if (x0 > x1 || y0 > y1)
        return;
    set_pen(p, x1, y1);
    draw_line(p, x0, y0, x1, y1, colour);
}

// The four lines of kxgraphic_rect: top and left in c1, right and bottom in
// c2; the bottom starts one pixel in, after the left edge's last pixel.
void outline(kxpxmap *p, const box &bx, int c1, int c2)
{
    edge(p, bx, bx.x, bx.y, bx.r, bx.y, c1);
    edge(p, bx, bx.x, bx.y, bx.x, bx.b, c1);
    edge(p, bx, bx.r, bx.y, bx.r, bx.b, c2);
    edge(p, bx, bx.x + 1, bx.b, bx.r, bx.b, c2);
}

// Types 0 and 5, and the raised field frame: the top and left edges stop one
// short of the corners that the right and bottom edges take.
void frame_simple(kxpxmap *p, const box &bx, bool pressed, int light, int dark)
{
    const int tl = pressed ? dark : light, br = pressed ? light : dark;
    edge(p, bx, bx.x, bx.y, bx.r - 1, bx.y, tl);
    edge(p, bx, bx.x, bx.y, bx.x, bx.b - 1, tl);
    edge(p, bx, bx.r, bx.y, bx.r, bx.b, br);
    edge(p, bx, bx.x, bx.b, bx.r, bx.b, br);
}

// Type 1: an outer and an inner ring, each with its own light and dark side.
void frame_double(kxpxmap *p, const box &bx, bool pressed, int c1, int c2, int c3, int c4)
{
    c1 = or_gui(c1, KX_GUI_BLACK);
    c2 = or_gui(c2, KX_GUI_WHITE);
    c3 = or_gui(c3, KX_GUI_DARK);
    c4 = or_gui(c4, KX_GUI_LIGHT);
    const int outer_tl = pressed ? c3 : c4, inner_tl = pressed ? c1 : c2;
    const int inner_br = pressed ? c4 : c3, outer_br = pressed ? c2 : c1;
    const i64 x = bx.x, y = bx.y, r = bx.r, b = bx.b;
    edge(p, bx, x + 1, y + 1, r - 2, y + 1, inner_tl);
    edge(p, bx, x + 1, y + 2, x + 1, b - 2, inner_tl);
    edge(p, bx, r, y, r, b, outer_br);
    edge(p, bx, x, b, r, b, outer_br);
    edge(p, bx, x, y, r - 1, y, outer_tl);
    edge(p, bx, x, y, x, b - 1, outer_tl);
    edge(p, bx, r - 1, y + 1, r - 1, b - 1, inner_br);
    edge(p, bx, x + 1, b - 1, r - 1, b - 1, inner_br);
}

// Type 2: raised, a simple 3D frame with a second, inner shade; pressed, a
// sunken field with a dark inner top-left corner.
void frame_field(kxpxmap *p, const box &bx, bool pressed, int c1, int c2, int c3, int c4)
{
    c1 = or_gui(c1, KX_GUI_GREY);
    c2 = or_gui(c2, KX_GUI_DARK);
    c3 = or_gui(c3, KX_GUI_BLACK);
    c4 = or_gui(c4, KX_GUI_WHITE);
    const i64 x = bx.x, y = bx.y, r = bx.r, b = bx.b;
    if (pressed) {
        edge(p, bx, x, y, r, y, c2);
        edge(p, bx, x, y + 1, x, b, c2);
        edge(p, bx, r, y + 1, r, b, c1);
        edge(p, bx, x + 1, b, r, b, c1);
    } else {
        frame_simple(p, bx, false, c4, c3);
        edge(p, bx, x + 2, b - 1, r - 1, b - 1, c2);
        edge(p, bx, r - 1, y + 2, r - 1, b - 2, c2);
    }
    const int inner = pressed ? c3 : c1;
    edge(p, bx, x + 1, y + 1, r - 1, y + 1, inner);
    edge(p, bx, x + 1, y + 2, x + 1, b - 1, inner);
}

// The first of start, start + 2, ... that is at least lo.
i64 first_even_step(i64 start, i64 lo)
{
    return start >= lo ? start : start + (lo - start + 1) / 2 * 2;
}

// Type 3: every second pixel of the rectangle x .. x + w, y .. y + h, on
// the parity of the size so that opposite sides match.  Only the dots on
// the pixmap are visited.
void frame_dotted(kxpxmap *p, int x, int y, int w, int h, int colour)
{
    const i64 right = static_cast<i64>(x) + w, bottom = static_cast<i64>(y) + h;
    const i64 f = static_cast<i64>(x) + w % 2, g = static_cast<i64>(y) + h % 2;
    batch_begin(p, colour);
    const i64 last_col = std::min<i64>(right, p->width - 1);
    for (i64 j = first_even_step(f, 0); j <= last_col; j += 2) {
        batch_add(j, g);
        batch_add(j, bottom);
    }
    const i64 last_row = std::min<i64>(bottom, p->height - 1);
    for (i64 i = first_even_step(g, 0); i <= last_row; i += 2) {
        batch_add(f, i);
        batch_add(right, i);
    }
    batch_end();
}

// ------------------------------------------------------ ellipses, circles

// Steps of an angle: t_k = t0 + k * step for k = 0 .. last.  Like the line
// walk, each angle comes from its step number, not from a running sum.
struct angle_walk {
    double t0 = 0, step = 0;
    i64 last = 0;
    double at(i64 k) const { return t0 + static_cast<double>(k) * step; }
};

// The last step of a walk from t0 that stays at or below limit.
i64 last_step_until(double t0, double step, double limit)
{
    const angle_walk w{t0, step, 0};
    auto k = static_cast<i64>(std::floor((limit - t0) / step));
    while (k > 0 && w.at(k) > limit)
        k--;
    while (w.at(k + 1) <= limit)
        k++;
    return k;
}

// Calls run(lo, hi) for runs of steps that cover 0 .. last in order and on
// each of which sin and cos are both monotone.  The runs break at every
// multiple of pi/2; the few steps around each turn come as runs of one, so
// that rounding cannot leave a turn inside a longer run.
template <class Run> void quarter_runs(const angle_walk &w, Run &&run)
{
    if (w.last == 0 || w.step <= 0) {
        run(0, 0);
        return;
    }
    constexpr double quarter = PI / 2;
    const auto first_q = static_cast<i64>(std::floor(w.t0 / quarter));
    const auto last_q = static_cast<i64>(std::ceil(w.at(w.last) / quarter));
    i64 lo = 0;
    for (i64 q = first_q; q <= last_q; q++) {
        const auto turn = static_cast<i64>(std::floor((q * quarter - w.t0) / w.step));
        const i64 a = std::max(lo, turn - 1), b = std::min(w.last, turn + 2);
        if (a > b)
            continue;
        if (a > lo)
            run(lo, a - 1);
        for (i64 k = a; k <= b; k++)
            run(k, k);
        lo = b + 1;
    }
    if (lo <= w.last)
        run(lo, w.last);
}

struct point {
    i64 x, y;
    bool operator==(const point &) const = default;
};

struct arc_shape {
    i64 cx, cy;
    double rx, ry;
    angle_walk walk;

    point at(i64 k) const
    {
        const double t = walk.at(k);
        return {cx + static_cast<i64>(std::trunc(std::cos(t) * rx + 0.5)),
                cy + static_cast<i64>(std::trunc(std::sin(t) * ry + 0.5))};
    }
};

// Adds the points of steps lo .. hi, a run on which both coordinates move
// one way only.  So every point in between lies in the box of the two ends:
// a box off the pixmap holds no visible point, and equal ends mean every
// step in between gives that same point.  The work follows the visible
// part of the outline, not the number of steps, which for rx = 1e9 is
// 2.4e10 per turn.  Halving keeps the recursion under 40 levels deep.
void arc_run(const kxpxmap *p, const arc_shape &a, i64 lo, point plo, i64 hi, point phi)
{
    if (plo == phi) {
        batch_add(plo.x, plo.y);
        return;
    }
    if (std::max(plo.x, phi.x) < 0 || std::min(plo.x, phi.x) >= p->width ||
        std::max(plo.y, phi.y) < 0 || std::min(plo.y, phi.y) >= p->height)
        return;
    if (hi - lo <= 1) {
        batch_add(plo.x, plo.y);
        batch_add(phi.x, phi.y);
        return;
    }
    const i64 mid = lo + (hi - lo) / 2;
    const point pm = a.at(mid);
    arc_run(p, a, lo, plo, mid, pm);
    arc_run(p, a, mid, pm, hi, phi);
}

// One row of a filled shape: the line (left, row) - (right, row).
struct span {
    i64 row, left, right;
};

// The rows of the filled ellipse and circle, t from pi/2 down the left side
// to 3 pi/2.  The circle rounds every coordinate as trunc(v + 0.5), the
// ellipse truncates.
struct fill_shape {
    double cx, cy, rx, ry;
    bool rounded;
    angle_walk walk;

    span at(i64 k) const
    {
        const double t = walk.at(k), g = rx * std::cos(t), half = rounded ? 0.5 : 0.0;
        return {static_cast<i64>(std::trunc(cy + ry * std::sin(t) + half)),
                static_cast<i64>(std::trunc(cx + g + half)),
                static_cast<i64>(std::trunc(cx - g + half))};
    }
};

// Draws the rows of steps lo .. hi, a run on which the row and the half
// width each move one way only.  Equal end rows mean every row in between
// is that row, with a line that lies inside the wider end's line.
void fill_run(kxpxmap *p, const fill_shape &f, int colour, i64 lo, span slo, i64 hi, span shi)
{
    if (slo.row == shi.row || hi - lo <= 1) {
        fill_span(p, slo.left, slo.right, slo.row, colour);
        fill_span(p, shi.left, shi.right, shi.row, colour);
        return;
    }
    if (std::max(slo.row, shi.row) < 0 || std::min(slo.row, shi.row) >= p->height)
        return;
    const i64 mid = lo + (hi - lo) / 2;
    const span sm = f.at(mid);
    fill_run(p, f, colour, lo, slo, mid, sm);
    fill_run(p, f, colour, mid, sm, hi, shi);
}

// The filled shapes walk while t <= this, a hair past 3 pi/2 so that the
// bottom row is never lost to rounding.
constexpr double FILL_END = 4.712388981;

void fill_shape_draw(kxpxmap *p, const fill_shape &f, int colour)
{
    quarter_runs(f.walk,
                 [&](i64 lo, i64 hi) { fill_run(p, f, colour, lo, f.at(lo), hi, f.at(hi)); });
    // As if the rows were drawn as lines: the pen ends on the last one.
    const span last = f.at(f.walk.last);
    set_pen(p, last.right, last.row);
}

angle_walk fill_walk(double step)
{
    if (step <= 0 || !std::isfinite(step))
        return {PI / 2, 0, 0};
    return {PI / 2, step, last_step_until(PI / 2, step, FILL_END)};
}

// -------------------------------------------------------------- patterns

// Length of s, at most limit: a pattern shorter than its size ends early
// instead of being read past its end.
i64 bounded_length(const char *s, i64 limit)
{
    i64 n = 0;
    while (n < limit && s[n])
        n++;
    return n;
}

// Calls set(i, j) for the pixels of a w x h grid at (x, y) that lie on the
// pixmap and whose index j * w + i is below size.
template <class Set>
void visible_grid(const kxpxmap *p, i64 x, i64 y, i64 w, i64 h, i64 size, Set set)
{
    i64 i0, i1, j0, j1;
    if (w <= 0 || h <= 0 || !visible_run(x, w, p->width, &i0, &i1) ||
        !visible_run(y, h, p->height, &j0, &j1))
        return;
    for (i64 j = j0; j <= j1 && j * w < size; j++)
        for (i64 i = i0; i <= i1 && j * w + i < size; i++)
            set(i, j);
}

void draw_pattern(kxpxmap *p, i64 x, i64 y, const char *pattern, i64 w, i64 h, int colour)
{
    if (!p || !pattern || w <= 0 || h <= 0)
        return;
    const i64 size = bounded_length(pattern, w * h);
    batch_begin(p, colour);
    visible_grid(p, x, y, w, h, size, [&](i64 i, i64 j) {
        if (pattern[j * w + i] == '*')
            batch_add(x + i, y + j);
    });
    batch_end();
}

// ----------------------------------------------------------------- arrows

struct arrow_shape {
    const char *name;
    int width, height;
    const char *rows;  // width * height characters, '*' set
};

constexpr std::array<arrow_shape, 6> NORMAL_ARROWS{{
    {"up", 7, 4, "...*..." "..***.." ".*****." "*******"},
    {"down", 7, 4, "*******" ".*****." "..***.." "...*..."},
    {"left", 4, 7, "...*" "..**" ".***" "****" ".***" "..**" "...*"},
    {"right", 4, 7, "*..." "**.." "***." "****" "***." "**.." "*..."},
    {"double left", 9, 7,
     "...*....*" "..**...**" ".***..***" "****.****" ".***..***" "..**...**" "...*....*"},
    {"double right", 9, 7,
     "*....*..." "**...**.." "***..***." "****.****" "***..***." "**...**.." "*....*..."},
}};

constexpr std::array<arrow_shape, 4> SMALL_ARROWS{{
    {"up", 5, 3, "..*.." ".***." "*****"},
    {"down", 5, 3, "*****" ".***." "..*.."},
    {"left", 3, 5, "..*" ".**" "***" ".**" "..*"},
    {"right", 3, 5, "*.." "**." "***" "**." "*.."},
}};

// The big arrows follow a rule, so they are generated: a triangle of rows
// 1, 3, .. 11 wide for up and down, rows 1 .. 8 .. 1 wide for left and right.
constexpr int BIG_VW = 11, BIG_VH = 6, BIG_HW = 8, BIG_HH = 15;

template <int W, int H, class Set> constexpr std::array<char, W * H + 1> make_pattern(Set set)
{
    std::array<char, W * H + 1> text{};
    for (int r = 0; r < H; r++)
        for (int c = 0; c < W; c++)
            text[r * W + c] = set(r, c) ? '*' : '.';
    text[W * H] = '\0';
    return text;
}

constexpr bool big_up_set(int r, int c) { return c >= BIG_VW / 2 - r && c <= BIG_VW / 2 + r; }
constexpr int big_side_count(int r) { return std::min(r, BIG_HH - 1 - r) + 1; }

constexpr auto BIG_UP = make_pattern<BIG_VW, BIG_VH>(big_up_set);
constexpr auto BIG_DOWN =
    make_pattern<BIG_VW, BIG_VH>([](int r, int c) { return big_up_set(BIG_VH - 1 - r, c); });
constexpr auto BIG_LEFT =
    make_pattern<BIG_HW, BIG_HH>([](int r, int c) { return c >= BIG_HW - big_side_count(r); });
constexpr auto BIG_RIGHT =
    make_pattern<BIG_HW, BIG_HH>([](int r, int c) { return c < big_side_count(r); });

constexpr std::array<arrow_shape, 4> BIG_ARROWS{{
    {"up", BIG_VW, BIG_VH, BIG_UP.data()},
    {"down", BIG_VW, BIG_VH, BIG_DOWN.data()},
    {"left", BIG_HW, BIG_HH, BIG_LEFT.data()},
    {"right", BIG_HW, BIG_HH, BIG_RIGHT.data()},
}};

char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool same_name(const char *a, const char *b)
{
    for (; *a && *b; a++, b++)
        if (lower(*a) != lower(*b))
            return false;
    return *a == *b;
}

template <std::size_t N>
void draw_arrow(kxpxmap *p, const std::array<arrow_shape, N> &table, const char *name, int x,
                int y, int w, int h, int colour)
{
    if (!p || !name)
        return;
    for (const arrow_shape &a : table) {
        if (!same_name(a.name, name))
            continue;
        // Integer division truncates toward zero, also for a box smaller
        // than the arrow.
        const i64 left = x + (static_cast<i64>(w) - a.width) / 2;
        const i64 top = y + (static_cast<i64>(h) - a.height) / 2;
        draw_pattern(p, left, top, a.rows, a.width, a.height, colour);
        return;
    }
}

// ------------------------------------------------------------- flood fill

bool readable(const kxpxmap *p)
{
    return p->data && (p->format == KX_PXFMT_PALETTE8 || p->format == KX_PXFMT_PALETTE16 ||
                       p->format == KX_PXFMT_TRUECOLOR || p->format == KX_PXFMT_SERVER);
}

struct seed {
    int x, y;
};

// Pushes the first pixel of every start-valued run of row y within l .. r.
void push_runs(const kxpxmap *p, int start, int l, int r, int y, std::vector<seed> &todo)
{
    if (y < 0 || y >= p->height)
        return;
    bool in_run = false;
    for (int i = l; i <= r; i++) {
        const bool match = kxpxmap_getpixel(p, i, y) == start;
        if (match && !in_run)
            todo.push_back({i, y});
        in_run = match;
    }
}

} // namespace

int kxgraphic_rgb(int r, int g, int b) { return (r & 0xFF) << 16 | (g & 0xFF) << 8 | (b & 0xFF); }

void kxgraphic_line(kxpxmap *p, int x0, int y0, int x1, int y1, int colour)
{
    if (!p)
        return;
    set_pen(p, x1, y1);
    draw_line(p, x0, y0, x1, y1, colour);
}

void kxgraphic_dashedline(kxpxmap *p, int x0, int y0, int x1, int y1, int colour, int on, int off)
{
    if (!p)
        return;
    set_pen(p, x1, y1);
    if (x0 == x1 && y0 == y1) {
        kxpxmap_setpixel(p, x0, y0, colour);
        return;
    }
    const dash d{on, off};
    batch_begin(p, colour);
    walk_line(p, x0, y0, x1, y1, [&](i64 i) { return d.drawn(i); });
    batch_end();
}

void kxgraphic_moveto(kxpxmap *p, int x, int y)
{
    if (p)
        set_pen(p, x, y);
}

void kxgraphic_lineto(kxpxmap *p, int x, int y, int colour)
{
    if (p)
        kxgraphic_line(p, p->pen_x, p->pen_y, x, y, colour);
}

void kxgraphic_dashedlineto(kxpxmap *p, int x, int y, int colour)
{
    if (p)
        kxgraphic_dashedline(p, p->pen_x, p->pen_y, x, y, colour, 3, 3);
}

void kxgraphic_rect(kxpxmap *p, int x, int y, int w, int h, int colour)
{
    kxgraphic_box2(p, x, y, w, h, colour, colour);
}

void kxgraphic_box2(kxpxmap *p, int x, int y, int w, int h, int colour1, int colour2)
{
    if (!p || w < 1 || h < 1)
        return;
    outline(p, box_of(x, y, w, h), colour1, colour2);
}

void kxgraphic_fillrect(kxpxmap *p, int x, int y, int w, int h, int colour)
{
    kxpxmap_fillrect(p, x, y, w, h, colour);
}

void kxgraphic_filledbox(kxpxmap *p, int x, int y, int w, int h, int fill, int colour1,
                         int colour2)
{
    if (!p || w < 1 || h < 1)
        return;
    // The inside in 64 bits: x + 1 of the largest int does not fit.
    const i64 ix = static_cast<i64>(x) + 1, iy = static_cast<i64>(y) + 1;
    i64 i0, i1, j0, j1;
    if (visible_run(ix, static_cast<i64>(w) - 2, p->width, &i0, &i1) &&
        visible_run(iy, static_cast<i64>(h) - 2, p->height, &j0, &j1))
        kxpxmap_fillrect(p, static_cast<int>(ix + i0), static_cast<int>(iy + j0),
                         static_cast<int>(i1 - i0 + 1), static_cast<int>(j1 - j0 + 1), fill);
    kxgraphic_box2(p, x, y, w, h, colour1, colour2);
}

void kxgraphic_arc(kxpxmap *p, int cx, int cy, int rx, int ry, int start, int end, int colour)
{
    if (!p || rx <= 0 || ry <= 0 || end < start)
        return;
    // The walk steps pi / (12 rx), so one turn is exactly 24 rx steps and
    // any step after that repeats a point of the first turn: a span of a
    // turn or more is walked as one turn.  Within it the step count is exact
    // (the end angle is included when it falls on a step), and the start is
    // taken modulo 360 degrees, which keeps the angles small and precise.
    const i64 span_deg = static_cast<i64>(end) - start;
    const i64 turn = 24LL * rx;
    const i64 last = span_deg >= 360 ? turn - 1 : span_deg * rx / 15;
    const i64 start_deg = (static_cast<i64>(start) % 360 + 360) % 360;
    const arc_shape a{cx, cy, static_cast<double>(rx), static_cast<double>(ry),
                      {static_cast<double>(start_deg) * PI / 180, PI / (12.0 * rx), last}};
    batch_begin(p, colour);
    quarter_runs(a.walk, [&](i64 lo, i64 hi) { arc_run(p, a, lo, a.at(lo), hi, a.at(hi)); });
    batch_end();
}

void kxgraphic_ellipse(kxpxmap *p, int cx, int cy, int rx, int ry, int colour)
{
    kxgraphic_arc(p, cx, cy, rx, ry, 0, 360, colour);
}

void kxgraphic_circle(kxpxmap *p, int cx, int cy, int r, int colour)
{
    if (!p || r <= 0)
        return;
    if (p->format == KX_PXFMT_SERVER && kxserver_circle(p, cx, cy, r, colour))
        return;
    kxgraphic_ellipse(p, cx, cy, r, r, colour);
}

void kxgraphic_fillellipse(kxpxmap *p, int cx, int cy, int rx, int ry, int colour)
{
    if (!p || rx < 0 || ry < 0)
        return;
    const int m = std::max(rx, ry);
    const fill_shape f{static_cast<double>(cx), static_cast<double>(cy), static_cast<double>(rx),
                       static_cast<double>(ry), false, fill_walk(PI / (4.0 * m))};
    fill_shape_draw(p, f, colour);
}

void kxgraphic_fillcircle(kxpxmap *p, int cx, int cy, int r, int colour)
{
    if (!p || r < 0)
        return;
    const double rr = r;
    const fill_shape f{static_cast<double>(cx), static_cast<double>(cy), rr, rr, true,
                       fill_walk(PI / (12.0 * r))};
    fill_shape_draw(p, f, colour);
}

// Scan-line fill with an explicit stack, so any area the pixmap can hold is
// fine: a seed grows into its whole row run, the run is filled at once, and
// the start-valued runs touching it above and below become new seeds.
void kxgraphic_floodfill(kxpxmap *p, int x, int y, int colour)
{
    if (!p || x < 0 || y < 0 || x >= p->width || y >= p->height)
        return;
    const int start = kxpxmap_getpixel(p, x, y);
    if (!readable(p) || start == colour)
        return;
    // The colour as stored (palette8 keeps the low byte, server pixmaps the
    // RGB bits) can still equal the start value: then nothing would change,
    // and filled pixels would match forever.
    kxpxmap_setpixel(p, x, y, colour);
    const bool changes = kxpxmap_getpixel(p, x, y) != start;
    kxpxmap_setpixel(p, x, y, start);
    if (!changes)
        return;

    std::vector<seed> todo{{x, y}};
    while (!todo.empty()) {
        const seed s = todo.back();
        todo.pop_back();
        if (kxpxmap_getpixel(p, s.x, s.y) != start)
            continue;
        int l = s.x, r = s.x;
        while (l > 0 && kxpxmap_getpixel(p, l - 1, s.y) == start)
            l--;
        while (r + 1 < p->width && kxpxmap_getpixel(p, r + 1, s.y) == start)
            r++;
        kxpxmap_fillrect(p, l, s.y, r - l + 1, 1, colour);
        push_runs(p, start, l, r, s.y - 1, todo);
        push_runs(p, start, l, r, s.y + 1, todo);
    }
}

void kxgraphic_mask(kxpxmap *p, int x, int y, int w, int h, const std::uint8_t *mask, int colour)
{
    if (!p || !mask)
        return;
    // Text in a truecolor pixmap (a terminal's cells): straight into its
    // rows, as kxpxmap_setpixel would store each pixel.
    if (p->format == KX_PXFMT_TRUECOLOR && p->data) {
        i64 i0, i1, j0, j1;
        if (w <= 0 || h <= 0 || !visible_run(x, w, p->width, &i0, &i1) ||
            !visible_run(y, h, p->height, &j0, &j1))
            return;
        const auto c = static_cast<std::uint32_t>(colour);
        for (i64 j = j0; j <= j1; j++) {
            const std::uint8_t *bits = mask + j * w + i0;
            std::uint32_t *row = static_cast<std::uint32_t *>(p->data) +
                                 static_cast<std::size_t>(y + j) * p->width + (x + i0);
            for (i64 i = 0; i <= i1 - i0; i++)
                if (bits[i])
                    row[i] = c;
        }
        return;
    }
    batch_begin(p, colour);
    visible_grid(p, x, y, w, h, static_cast<i64>(w) * h, [&](i64 i, i64 j) {
        if (mask[j * w + i])
            batch_add(x + i, y + j);
    });
    batch_end();
}

void kxgraphic_mask2(kxpxmap *p, int x, int y, int w, int h, const std::uint8_t *mask,
                     int foreground, int background)
{
    if (!p || !mask)
        return;
    visible_grid(p, x, y, w, h, static_cast<i64>(w) * h, [&](i64 i, i64 j) {
        kxpxmap_setpixel(p, static_cast<int>(x + i), static_cast<int>(y + j),
                         mask[j * w + i] ? foreground : background);
    });
}

void kxgraphic_pattern(kxpxmap *p, int x, int y, const char *pattern, int w, int h, int colour)
{
    draw_pattern(p, x, y, pattern, w, h, colour);
}

void kxgraphic_colorpattern(kxpxmap *p, int x, int y, const char *pattern, int w, int h,
                            const int *table)
{
    if (!p || !pattern || !table || w <= 0 || h <= 0)
        return;
    const i64 size = bounded_length(pattern, static_cast<i64>(w) * h);
    visible_grid(p, x, y, w, h, size, [&](i64 i, i64 j) {
        const auto c = static_cast<unsigned char>(pattern[j * w + i]);
        if (c >= '1')
            kxpxmap_setpixel(p, static_cast<int>(x + i), static_cast<int>(y + j), table[c - '1']);
    });
}

void kxgraphic_copy(kxpxmap *dst, const kxpxmap *src, int dx, int dy, int w, int h, int sx, int sy)
{
    kxpxmap_merge4(dst, src, dx, dy, sx, sy, w, h, 0);
}

void kxgraphic_arrow(kxpxmap *p, const char *name, int x, int y, int w, int h, int colour)
{
    draw_arrow(p, NORMAL_ARROWS, name, x, y, w, h, colour);
}

void kxgraphic_smallarrow(kxpxmap *p, const char *name, int x, int y, int w, int h, int colour)
{
    draw_arrow(p, SMALL_ARROWS, name, x, y, w, h, colour);
}

void kxgraphic_bigarrow(kxpxmap *p, const char *name, int x, int y, int w, int h, int colour)
{
    draw_arrow(p, BIG_ARROWS, name, x, y, w, h, colour);
}

void kxgraphic_frame(kxpxmap *p, int type, bool pressed, int x, int y, int w, int h, int colour1,
                     int colour2, int colour3, int colour4)
{
    if (!p || w < 1 || h < 1)
        return;
    const box bx = box_of(x, y, w, h);
    switch (type) {
    case KX_FRAME_3DCOLOURS:
        frame_simple(p, bx, pressed, or_gui(colour1, KX_GUI_WHITE), or_gui(colour2, KX_GUI_BLACK));
        break;
    case KX_FRAME_DOUBLE3D:
        frame_double(p, bx, pressed, colour1, colour2, colour3, colour4);
        break;
    case KX_FRAME_FIELD:
        frame_field(p, bx, pressed, colour1, colour2, colour3, colour4);
        break;
    case KX_FRAME_DOTTED:
        frame_dotted(p, x, y, w, h, or_gui(colour1, KX_GUI_BLACK));
        break;
    case KX_FRAME_PLAIN:
    case KX_FRAME_PLAIN2: {
        const int c = or_gui(colour1, KX_GUI_BLACK);
        frame_simple(p, bx, false, c, c);
        break;
    }
    default:
        frame_simple(p, bx, pressed, kxgui_color(KX_GUI_WHITE), kxgui_color(KX_GUI_BLACK));
        break;
    }
}
