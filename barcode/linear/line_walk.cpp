#include "barcode/linear/line_walk.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace stripescan {
namespace {

int sign(std::int64_t v) {
    return (v > 0) - (v < 0);
}

}  // namespace

void walk_line(Point start, Point step, Point stop, const std::function<bool(Point)>& visit,
               std::int64_t limit) {
    const std::int64_t dx = step.x;
    const std::int64_t dy = step.y;
    const int sx = sign(dx);
    const int sy = sign(dy);
    if (sx == 0 && sy == 0) {
        visit(start);
        return;
    }
    const auto length = static_cast<std::uint64_t>(std::sqrt(static_cast<double>(dx * dx + dy * dy)) * 100.0);
    const auto ax = static_cast<std::uint64_t>(std::llabs(dx)) * 100u;
    const auto ay = static_cast<std::uint64_t>(std::llabs(dy)) * 100u;
    std::uint64_t u = 0;
    std::uint64_t v = 0;
    std::int64_t x = start.x;
    std::int64_t y = start.y;
    for (std::int64_t n = 0; n < limit; ++n) {
        if (sx > 0 && !(x < stop.x)) break;
        if (sx < 0 && !(x > stop.x)) break;
        if (sy > 0 && !(y < stop.y)) break;
        if (u >= length) {
            x += sx;
            u -= length;
        }
        if (sy < 0 && y <= stop.y) break;
        if (v >= length) y += sy;
        if (!visit(Point{static_cast<int>(x), static_cast<int>(y)})) break;
        u += ax;
        v = ay + (v < length ? v : v - length);
    }
}

std::vector<Point> line_offsets(Point start, Point step, Point stop, std::int64_t limit) {
    std::vector<Point> out;
    walk_line(
        start, step, stop,
        [&](Point p) {
            out.push_back(Point{p.x - start.x, p.y - start.y});
            return true;
        },
        limit);
    return out;
}

bool draw_polygon(Image& image, const std::int32_t* points, int count) {
    for (int i = 0; i < count; ++i) {
        if (!image.inside(points[2 * i], points[2 * i + 1])) return false;
    }
    for (int i = 0; i < count; ++i) {
        const Point a{points[2 * i], points[2 * i + 1]};
        const int j = (i + 1) % count;
        const Point b{points[2 * j], points[2 * j + 1]};
        // Each segment ends on its stop point, which the walk itself may stop short of.
        image.set(a.x, a.y, false);
        image.set(b.x, b.y, false);
        walk_line(
            a, Point{b.x - a.x, b.y - a.y}, b,
            [&](Point p) {
                if (image.inside(p.x, p.y)) image.set(p.x, p.y, false);
                return true;
            },
            static_cast<std::int64_t>(image.width) + image.height + 4);
    }
    return true;
}

namespace {

// The column span of the convex quadrilateral on row y, as doubles; false when y misses it.
bool row_span(const Point c[4], double y, double& left, double& right) {
    left = 1e18;
    right = -1e18;
    bool any = false;
    for (int i = 0; i < 4; ++i) {
        const Point a = c[i];
        const Point b = c[(i + 1) % 4];
        const double lo = std::min(a.y, b.y);
        const double hi = std::max(a.y, b.y);
        if (y < lo || y > hi) continue;
        if (a.y == b.y) {
            left = std::min({left, double(a.x), double(b.x)});
            right = std::max({right, double(a.x), double(b.x)});
        } else {
            const double x = a.x + (b.x - a.x) * (y - a.y) / double(b.y - a.y);
            left = std::min(left, x);
            right = std::max(right, x);
        }
        any = true;
    }
    return any;
}

}  // namespace

void fill_quadrilateral(Image& image, const Point corners[4]) {
    int top = corners[0].y;
    int bottom = corners[0].y;
    for (int i = 1; i < 4; ++i) {
        top = std::min(top, corners[i].y);
        bottom = std::max(bottom, corners[i].y);
    }
    top = std::max(top, 0);
    bottom = std::min(bottom, image.height - 1);
    for (int y = top; y <= bottom; ++y) {
        double l = 0;
        double r = 0;
        if (!row_span(corners, y, l, r)) continue;
        int x0 = std::max(0, static_cast<int>(std::floor(l)));
        int x1 = std::min(image.width - 1, static_cast<int>(std::ceil(r)));
        std::uint8_t* row = image.row(y);
        for (int x = x0; x <= x1;) {
            if ((x & 7) == 0 && x + 7 <= x1) {
                row[x >> 3] = 0xFF;
                x += 8;
            } else {
                image.set(x, y, true);
                ++x;
            }
        }
    }
}

int fill_right_column(const Point corners[4], int y) {
    int top = corners[0].y;
    int bottom = corners[0].y;
    for (int i = 1; i < 4; ++i) {
        top = std::min(top, corners[i].y);
        bottom = std::max(bottom, corners[i].y);
    }
    y = std::clamp(y, top, bottom);
    double l = 0;
    double r = 0;
    if (!row_span(corners, y, l, r)) return -1;
    return static_cast<int>(std::ceil(r));
}

}  // namespace stripescan
