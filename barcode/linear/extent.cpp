#include "barcode/linear/extent.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "barcode/linear/line_walk.h"
#include "barcode/linear/runs.h"

namespace stripescan {
namespace {

constexpr int kReach = 1000;    // pixels the extent may reach each way
constexpr int kCoarseStep = 8;  // first slide in steps of this many pixels

// Number of runs along a..b (stopping at a run longer than max_run), or 0 when a or b is outside.
int runs_between(const Image& image, Point a, Point b, int maxRun) {
    if (!image.inside(a.x, a.y) || !image.inside(b.x, b.y)) return 0;
    int count = 1;
    int length = 0;
    bool have = false;
    bool color = false;
    const Point step{b.x - a.x, b.y - a.y};
    walk_line(
        a, step, b,
        [&](Point p) {
            if (!image.inside(p.x, p.y)) return true;
            const bool c = image.black(p.x, p.y);
            if (!have) {
                have = true;
                color = c;
                length = 1;
                return true;
            }
            if (c == color) {
                if (++length > maxRun) return false;
            } else {
                ++count;
                color = c;
                length = 1;
            }
            return true;
        },
        std::abs(step.x) + std::abs(step.y) + 4);
    return count;
}

// Rows in a row that may fail inside a symbol: a local threshold dots thin bars and opens holes
// in wide ones, so that a single row may cross too few runs while the bars carry on beyond it.
constexpr std::size_t kGapRows = 2;

// How far the segment a-b can slide along `offsets` and still cross `need` runs, stepping over
// up to kGapRows rows that do not where the rows after them do.
int slide(const Image& image, Point a, Point b, const std::vector<Point>& offsets, int need, int maxRun) {
    auto holds = [&](std::size_t k) {
        const Point o = offsets[k];
        return runs_between(image, Point{a.x + o.x, a.y + o.y}, Point{b.x + o.x, b.y + o.y}, maxRun) >= need;
    };
    std::size_t k = 0;
    while (k + kCoarseStep < offsets.size() && holds(k + kCoarseStep)) k += kCoarseStep;
    for (;;) {
        while (k + 1 < offsets.size() && holds(k + 1)) ++k;
        std::size_t beyond = k + 2;
        while (beyond <= k + kGapRows + 1 && beyond < offsets.size() && !holds(beyond)) ++beyond;
        if (beyond > k + kGapRows + 1 || beyond >= offsets.size()) break;
        k = beyond;
    }
    return static_cast<int>(k);
}

}  // namespace

bool order_corners(const Point points[4], bool axisParallel, Point corners[4]) {
    Point p[4] = {points[0], points[1], points[2], points[3]};
    std::sort(p, p + 4, [](Point a, Point b) { return a.y != b.y ? a.y < b.y : a.x < b.x; });
    if (axisParallel) {
        if (p[0].y != p[1].y || p[2].y != p[3].y) return false;
        corners[2] = p[0];  // upper left
        corners[3] = p[1];  // upper right
        corners[1] = p[2];  // lower left
        corners[0] = p[3];  // lower right
        return true;
    }
    corners[2] = p[0];
    corners[0] = p[3];
    corners[1] = p[1].x <= p[2].x ? p[1] : p[2];
    corners[3] = p[1].x <= p[2].x ? p[2] : p[1];
    return true;
}

bool symbol_extent(const Image& image, Point a, Point b, Point direction, int runs, Point corners[4]) {
    if (!image.inside(a.x, a.y) || !image.inside(b.x, b.y) || runs < 4) return false;
    // A before B along the reading direction.
    const long long along =
        static_cast<long long>(b.x - a.x) * direction.x + static_cast<long long>(b.y - a.y) * direction.y;
    if (along < 0) std::swap(a, b);
    Point normal{-direction.y, direction.x};
    if (normal.y < 0 || (normal.y == 0 && normal.x < 0)) normal = Point{-normal.x, -normal.y};
    const int maxRun = std::max(1, (std::abs(a.x - b.x) + std::abs(a.y - b.y)) / (runs / 4));
    const int need = runs / 2;
    const Point farPlus{normal.x == 0 ? 0 : (normal.x > 0 ? kReach * 4 : -kReach * 4), kReach * 4};
    std::vector<Point> plus =
        line_offsets(Point{0, 0}, normal, Point{farPlus.x, normal.y == 0 ? 0 : farPlus.y}, kReach);
    const Point minusDir{-normal.x, -normal.y};
    std::vector<Point> minus =
        line_offsets(Point{0, 0}, minusDir,
                     Point{minusDir.x == 0 ? 0 : (minusDir.x > 0 ? kReach * 4 : -kReach * 4),
                           minusDir.y == 0 ? 0 : -kReach * 4},
                     kReach);
    if (plus.empty() || minus.empty()) return false;
    const int kp = slide(image, a, b, plus, need, maxRun);
    const int km = slide(image, a, b, minus, need, maxRun);
    const Point op = plus[static_cast<std::size_t>(kp)];
    const Point om = minus[static_cast<std::size_t>(km)];
    const Point pts[4] = {{a.x + op.x, a.y + op.y},
                          {b.x + op.x, b.y + op.y},
                          {a.x + om.x, a.y + om.y},
                          {b.x + om.x, b.y + om.y}};
    const bool axisParallel = direction.x == 0 || direction.y == 0;
    if (!order_corners(pts, axisParallel, corners)) return false;
    if (std::abs(corners[0].y - corners[2].y) < kMinSymbolSize) return false;
    if (std::abs(corners[3].x - corners[1].x) < kMinSymbolSize) return false;
    return true;
}

}  // namespace stripescan
