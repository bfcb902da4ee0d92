// The outline of a circle, point by point, as the server bitmaps draw it:
// the points nearest to the true circle, mirrored into all eight octants.
// Only the points that can land in a width x height bitmap are walked, so
// a circle with a far-away centre or a huge radius costs no more than the
// bitmap's size.  Shared by the server bitmaps held in client memory and by
// the Win32 ones for circles beyond the range of the host's own ellipse.
#pragma once

#include <algorithm>
#include <cmath>

namespace kxcirclewalk {

// The outline's y at x, for 0 <= x <= r: the integer nearest to
// sqrt(r^2 - x^2).  r fits in an int, so every square fits in 64 bits.
inline long long outline_y(long long r, long long x)
{
    const unsigned long long v =
        static_cast<unsigned long long>(r) * r - static_cast<unsigned long long>(x) * x;
    auto y = static_cast<unsigned long long>(std::sqrt(static_cast<long double>(v)));
    while (y > 0 && y * y > v)
        y--;
    while ((y + 1) * (y + 1) <= v)
        y++;
    // (y + 1/2)^2 < v, in integers.
    if (y * y + y < v)
        y++;
    return static_cast<long long>(y);
}

// Last x of the first octant (x <= y).
inline long long octant_end(long long r)
{
    long long lo = 0, hi = r;
    while (lo < hi) {
        long long mid = lo + (hi - lo + 1) / 2;
        if (mid <= outline_y(r, mid))
            lo = mid;
        else
            hi = mid - 1;
    }
    return lo;
}

// plot(x, y) gets every point of the outline that may be inside the bitmap
// (and some outside it, which it must drop); 0 <= r <= INT_MAX.
template <typename Plot>
void walk(long long cx, long long cy, long long r, long long width, long long height, Plot plot)
{
    const long long last = octant_end(r);
    // Every point of the outline has cx +- x inside the width or cy +- x
    // inside the height, so only those x are walked.
    const long long ranges[4][2] = {
        {-cx, width - 1 - cx}, {cx - (width - 1), cx}, {-cy, height - 1 - cy}, {cy - (height - 1), cy}};
    for (const auto &range : ranges) {
        const long long lo = std::max<long long>(range[0], 0), hi = std::min(range[1], last);
        for (long long x = lo; x <= hi; x++) {
            const long long y = outline_y(r, x);
            plot(cx + x, cy + y);
            plot(cx - x, cy + y);
            plot(cx + x, cy - y);
            plot(cx - x, cy - y);
            plot(cx + y, cy + x);
            plot(cx - y, cy + x);
            plot(cx + y, cy - x);
            plot(cx - y, cy - x);
        }
    }
}

} // namespace kxcirclewalk
