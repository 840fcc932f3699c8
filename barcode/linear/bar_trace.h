#pragma once
// Bar tracing: follows one bar row by row to learn its extent and the reading direction at right
// angles to it; and the cache of the bars traced in the current pass.

#include <memory>
#include <vector>

#include "barcode/linear/image.h"

namespace stripescan {

constexpr int kTraceUnit = 8;  // pixels: edge tolerance, gap allowance, minimum bar size

struct Span {
    int left = 0;
    int right = 0;
};

struct TracedBar {
    Point direction;  // at right angles to the bar, y >= 0 (x > 0 when y == 0)
    int left = 0;     // extents over all rows
    int bottom = 0;
    int right = 0;
    int top = 0;
    std::vector<Span> rows;    // per row from top to bottom: leftmost and rightmost black column
    std::vector<Point> edges;  // left edge point of the rows 2 .. n-3
    bool dead = false;

    bool contains(int x, int y) const {
        if (y < top || y > bottom) return false;
        const Span& s = rows[static_cast<std::size_t>(y - top)];
        return x >= s.left && x <= s.right;
    }
};

// Traces the bar through the black pixel (x, y). False when the pixel is white, an edge jumps by
// more than kTraceUnit between rows, the bar is too small, not straight, or has no direction.
bool trace_bar(const Image& image, int x, int y, TracedBar& out);

using SharedBar = std::shared_ptr<const TracedBar>;

class BarCache {
public:
    // The live cached bar that contains (x, y), or nothing; bars wholly above row y are dropped.
    SharedBar find(int x, int y);
    SharedBar add(TracedBar bar);
    void clear() { bars_.clear(); }

private:
    std::vector<std::shared_ptr<TracedBar>> bars_;
};

}  // namespace stripescan
