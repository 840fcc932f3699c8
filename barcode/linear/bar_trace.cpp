#include "barcode/linear/bar_trace.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <deque>

namespace stripescan {
namespace {

constexpr int kMaxGapRows = kTraceUnit / 4;    // white rows a bar may skip
constexpr int kMaxLeapRows = 2;                // rows in a row whose edge may jump as noise
constexpr int kMinSize = 5 * kTraceUnit;       // height + width of a bar, pixels
constexpr int kStraightRows = 4 * kTraceUnit;  // bars this tall must be straight
constexpr int kStraightTolerance = kTraceUnit / 2;
constexpr int kSteepRatio = 50;  // steeper than this counts as upright
constexpr int kMaxEdgeRows = 1 << 14;
constexpr int kSpeckGapPixels = 2;  // white pixels inside a bar that a row's run may bridge

// The black run on row y containing x, as [left, right].
Span run_at(const Image& image, int x, int y) {
    Span s{x, x};
    while (s.left > 0 && image.black(s.left - 1, y)) --s.left;
    while (s.right + 1 < image.width && image.black(s.right + 1, y)) ++s.right;
    return s;
}

// True when row y has a black pixel in columns [from, to].
bool black_between(const Image& image, int y, int from, int to) {
    if (y < 0 || y >= image.height) return false;
    for (int x = std::max(0, from); x <= std::min(image.width - 1, to); ++x)
        if (image.black(x, y)) return true;
    return false;
}

// Widens `next` (a black run on row y) to the right across white gaps of at most
// kSpeckGapPixels that lie inside `current`, the bar's extent on the row before: a white speck
// inside a bar splits its run on one row without moving its edges. Bridging stays inside the
// row before's extent, so it never reaches across a space into the next bar.
void bridge_specks(const Image& image, int y, Span current, Span& next) {
    const int limit = std::min(current.right, image.width - 1);
    while (next.right < limit) {
        int x = next.right + 1;
        while (x <= limit && !image.black(x, y) && x - next.right <= kSpeckGapPixels) ++x;
        if (x > limit || !image.black(x, y)) break;
        next.right = run_at(image, x, y).right;
    }
}

// True when the black found on row y under a bar of extent `current` is no more than specks:
// `first` and every other black run within the extent at most kSpeckGapPixels wide, while the
// bar is at least three specks wider. Such a row is white paper past the bar's end (or a row
// the bar skips), not an edge that jumped.
bool only_specks(const Image& image, int y, Span current, Span first) {
    const int width = current.right - current.left + 1;
    if (width < 3 * kSpeckGapPixels + 1) return false;
    for (int x = first.left; x <= std::min(current.right, image.width - 1);) {
        if (!image.black(x, y)) {
            ++x;
            continue;
        }
        const Span run = run_at(image, x, y);
        if (run.right - run.left + 1 > kSpeckGapPixels) return false;
        x = run.right + 1;
    }
    return true;
}

// Follows the bar from row y0 with extent `start` in direction `step` (+1 down, -1 up).
// Appends matched rows (gap and noise rows repeat the row before). False when an edge jumps
// away for more than kMaxLeapRows rows.
bool follow(const Image& image, int y0, Span start, int step, std::deque<Span>& rows, int& endRow) {
    Span current = start;
    int gaps = 0;
    int leaps = 0;  // rows in a row whose edge jumped
    int y = y0 + step;
    endRow = y0;
    std::vector<Span> pending;  // gap rows waiting for a matched row after them
    while (y >= 0 && y < image.height && static_cast<int>(rows.size()) < kMaxEdgeRows) {
        int found = -1;
        for (int x = std::max(0, current.left); x <= std::min(image.width - 1, current.right); ++x) {
            if (image.black(x, y)) {
                found = x;
                break;
            }
        }
        // A bar thinned by noise may step a pixel aside from one row to the next.
        if (found < 0) {
            if (current.left > 0 && image.black(current.left - 1, y))
                found = current.left - 1;
            else if (current.right + 1 < image.width && image.black(current.right + 1, y))
                found = current.right + 1;
        }
        Span next{};
        if (found >= 0) {
            next = run_at(image, found, y);
            bridge_specks(image, y, current, next);
            if (next.right < current.right && image.black(current.right, y))
                next.right = run_at(image, current.right, y).right;
            if (only_specks(image, y, current, next)) found = -1;  // paper with dirt: the bar ended
        }
        if (found < 0) {
            if (++gaps >= kMaxGapRows) break;
            pending.push_back(current);
            y += step;
            continue;
        }
        // A row much wider on both sides is a bearer bar or a frame across the bars (ITF-14):
        // it ends a bar already long enough to be straight-checked instead of failing it.
        // Any other jump of an edge fails the trace.
        const bool crossed = next.left < current.left - kTraceUnit && next.right > current.right + kTraceUnit;
        if (crossed && static_cast<int>(rows.size()) >= kStraightRows) break;
        // An edge does not move onto a neighbour that stood apart on the last matched row: the row's
        // run bridged a space (noise, ink), and the bar keeps its edge.
        if (!crossed) {
            const int before = endRow;  // the last row that matched
            if (next.left < current.left - 1 && black_between(image, before, next.left, current.left - 1))
                next.left = current.left;
            if (next.right > current.right + 1 && black_between(image, before, current.right + 1, next.right))
                next.right = current.right;
        }
        if (std::abs(next.left - current.left) > kTraceUnit ||
            std::abs(next.right - current.right) > kTraceUnit) {
            // One or two rows whose edge leaps and comes back are noise that bridged a space or
            // ate into the bar: the bar goes on with its extent unchanged. An edge that stays
            // away fails the trace.
            if (++leaps > kMaxLeapRows) return false;
            pending.push_back(current);
            y += step;
            continue;
        }
        for (const Span& g : pending) {
            if (step > 0)
                rows.push_back(g);
            else
                rows.push_front(g);
        }
        pending.clear();
        if (step > 0)
            rows.push_back(next);
        else
            rows.push_front(next);
        current = next;
        gaps = 0;
        leaps = 0;
        endRow = y;
        y += step;
    }
    return true;
}

int round_div(long long num, long long den) {
    if (den == 0) return 0;
    const double v = static_cast<double>(num) / static_cast<double>(den);
    return static_cast<int>(std::lround(v));
}

// Centroid of the black pixels of rows [a, b] (indexes into rows), to the nearest integer.
Point centroid(const std::vector<Span>& rows, int top, int a, int b) {
    long long sx = 0, sy = 0, n = 0;
    for (int i = a; i <= b; ++i) {
        const Span& s = rows[static_cast<std::size_t>(i)];
        const long long w = s.right - s.left + 1;
        sx += (static_cast<long long>(s.left) + s.right) * w;  // twice the sum of x
        sy += static_cast<long long>(top + i) * w;
        n += w;
    }
    return Point{round_div(sx, 2 * n), round_div(sy, n)};
}

// Distance from point p to the line through a and b, to the nearest integer.
int distance(Point a, Point b, Point p) {
    const double dx = b.x - a.x;
    const double dy = b.y - a.y;
    const double len = std::sqrt(dx * dx + dy * dy);
    if (len == 0) return 0;
    return static_cast<int>(std::lround(std::fabs(dy * (p.x - a.x) - dx * (p.y - a.y)) / len));
}

}  // namespace

bool trace_bar(const Image& image, int x0, int y0, TracedBar& out) {
    if (!image.inside(x0, y0) || !image.black(x0, y0)) return false;
    const Span first = run_at(image, x0, y0);
    std::deque<Span> rows{first};
    int bottom = y0;
    int top = y0;
    if (!follow(image, y0, first, +1, rows, bottom)) return false;
    if (!follow(image, y0, first, -1, rows, top)) return false;

    out = TracedBar{};
    out.rows.assign(rows.begin(), rows.end());
    out.top = top;
    out.bottom = bottom;
    out.left = image.width;
    out.right = -1;
    for (const Span& s : out.rows) {
        out.left = std::min(out.left, s.left);
        out.right = std::max(out.right, s.right);
    }
    const int n = static_cast<int>(out.rows.size());
    if ((bottom - top) + (out.right - out.left) < kMinSize) return false;

    if (n >= kStraightRows) {
        // The outermost edge points, leaving out single-row spikes (a speck of noise against
        // the edge or across the next space): a row counts when a neighbouring row's edge lies
        // within a pixel of it.
        auto steady = [&](int i, bool left) {
            auto edge = [&](int k) { return left ? out.rows[k].left : out.rows[k].right; };
            return (i > 0 && std::abs(edge(i - 1) - edge(i)) <= 1) ||
                   (i + 1 < n && std::abs(edge(i + 1) - edge(i)) <= 1);
        };
        int leftMin = -1, rightMax = -1;
        for (int i = 0; i < n; ++i) {
            if (steady(i, true) && (leftMin < 0 || out.rows[i].left < out.rows[leftMin].left)) leftMin = i;
            if (steady(i, false) && (rightMax < 0 || out.rows[i].right > out.rows[rightMax].right))
                rightMax = i;
        }
        if (leftMin < 0 || rightMax < 0) return false;
        const int a = kTraceUnit;
        const int b = n - 1 - kTraceUnit;
        if (distance(Point{out.rows[a].left, top + a}, Point{out.rows[b].left, top + b},
                     Point{out.rows[leftMin].left, top + leftMin}) > kStraightTolerance)
            return false;
        if (distance(Point{out.rows[a].right, top + a}, Point{out.rows[b].right, top + b},
                     Point{out.rows[rightMax].right, top + rightMax}) > kStraightTolerance)
            return false;
    }

    // Reading direction from the centroids near both ends of the bar.
    const int a0 = std::min(2, n - 1);
    const int a1 = std::min(2 + kTraceUnit, n - 1);
    const int b0 = std::max(0, n - 2 - kTraceUnit);
    const int b1 = std::max(0, n - 2);
    const Point t = centroid(out.rows, top, a0, a1);
    const Point b = centroid(out.rows, top, b0, b1);
    int dx = b.y - t.y;
    int dy = t.x - b.x;
    if (t.x != b.x && std::abs((b.y - t.y) / (t.x - b.x)) >= kSteepRatio) {
        dx = 1;
        dy = 0;
    }
    if (dx < 0 && dy < 0) {
        dx = -dx;
        dy = -dy;
    }
    if (dx == 0) return false;
    if (dy == 0) {
        dx = 1;
    } else if (std::abs(dx) == std::abs(dy)) {
        dx = dx > 0 ? 1 : -1;
        dy = dy > 0 ? 1 : -1;
    }
    if (dy < 0) {
        dx = -dx;
        dy = -dy;
    }
    out.direction = Point{dx, dy};

    for (int i = 2; i <= n - 3; ++i) out.edges.push_back(Point{out.rows[i].left, top + i});
    return true;
}

SharedBar BarCache::find(int x, int y) {
    int dead = 0;
    SharedBar hit;
    for (const auto& bar : bars_) {
        if (bar->bottom < y) {
            bar->dead = true;
            ++dead;
            continue;
        }
        if (!hit && bar->contains(x, y)) hit = bar;
    }
    if (dead > 10) {
        bars_.erase(std::remove_if(bars_.begin(), bars_.end(), [](const auto& b) { return b->dead; }),
                    bars_.end());
    }
    return hit;
}

SharedBar BarCache::add(TracedBar bar) {
    bars_.push_back(std::make_shared<TracedBar>(std::move(bar)));
    return bars_.back();
}

}  // namespace stripescan
