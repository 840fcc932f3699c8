// Clipped thick lines: the segment is first cut to the raster (grown by the
// pen's reach) in floating point, so the integer walk that follows never
// starts far away, then walked with Bresenham's steps under a square pen.

#include "drawing.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace annotate {

namespace {

// Cuts the segment a-b to the box [lo, hi] x [loY, hiY] (Liang-Barsky).
// False when nothing of it lies inside or a coordinate is not a number.
bool clip(Point& a, Point& b, double lo, double hi, double loY, double hiY) {
    if (std::isnan(a.x) || std::isnan(a.y) || std::isnan(b.x) || std::isnan(b.y)) return false;
    // Infinite ends: keep the direction where there is one, else give up.
    if (!std::isfinite(a.x) || !std::isfinite(a.y) || !std::isfinite(b.x) || !std::isfinite(b.y)) {
        auto tame = [](double v) { return std::clamp(v, -1e12, 1e12); };
        a = {tame(a.x), tame(a.y)};
        b = {tame(b.x), tame(b.y)};
    }
    const double dx = b.x - a.x, dy = b.y - a.y;
    double t0 = 0, t1 = 1;
    const double p[4] = {-dx, dx, -dy, dy};
    const double q[4] = {a.x - lo, hi - a.x, a.y - loY, hiY - a.y};
    for (int i = 0; i < 4; ++i) {
        if (p[i] == 0) {
            if (q[i] < 0) return false;
            continue;
        }
        const double t = q[i] / p[i];
        if (p[i] < 0)
            t0 = std::max(t0, t);
        else
            t1 = std::min(t1, t);
        if (t0 > t1) return false;
    }
    b = {a.x + t1 * dx, a.y + t1 * dy};
    a = {a.x + t0 * dx, a.y + t0 * dy};
    return true;
}

void pen(Raster& r, long long x, long long y, int thickness, Rgb c) {
    const long long lo = -(thickness - 1) / 2;
    for (long long dy = lo; dy < lo + thickness; ++dy)
        for (long long dx = lo; dx < lo + thickness; ++dx) r.put(x + dx, y + dy, c);
}

}  // namespace

void draw_line(Raster& r, Point a, Point b, int thickness, Rgb colour) {
    if (r.empty()) return;
    thickness = std::clamp(thickness, 1, kMaxThickness);
    const double reach = thickness;  // the pen may touch the raster from this far outside
    if (!clip(a, b, -reach, r.width - 1 + reach, -reach, r.height - 1 + reach)) return;
    long long x = std::llround(std::floor(a.x)), y = std::llround(std::floor(a.y));
    const long long x1 = std::llround(std::floor(b.x)), y1 = std::llround(std::floor(b.y));
    const long long dx = std::llabs(x1 - x), dy = -std::llabs(y1 - y);
    const int sx = x < x1 ? 1 : -1, sy = y < y1 ? 1 : -1;
    long long err = dx + dy;
    for (;;) {
        pen(r, x, y, thickness, colour);
        if (x == x1 && y == y1) break;
        const long long e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            x += sx;
        }
        if (e2 <= dx) {
            err += dx;
            y += sy;
        }
    }
}

void draw_outline(Raster& r, const Point* points, int count, int thickness, Rgb colour) {
    if (points == nullptr || count <= 0) return;
    for (int i = 0; i < count; ++i) draw_line(r, points[i], points[(i + 1) % count], thickness, colour);
}

void fill_box(Raster& r, long long x0, long long y0, long long x1, long long y1, Rgb colour) {
    x0 = std::max(x0, 0LL);
    y0 = std::max(y0, 0LL);
    x1 = std::min(x1, static_cast<long long>(r.width));
    y1 = std::min(y1, static_cast<long long>(r.height));
    for (long long y = y0; y < y1; ++y)
        for (long long x = x0; x < x1; ++x) r.put(x, y, colour);
}

}  // namespace annotate
