#include "imaging/line_fit.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "imaging/bitmap.h"

namespace skewtrim {

namespace {

constexpr double kSnapDegrees = 0.5;      // run fits this close to an axis snap to it
constexpr int kStraightNeighbourGap = 6;  // tilt 0: a middle run may differ this much from its neighbours
constexpr int kOutwardDrop = 5;           // runs this far outside the line are dropped
constexpr int kLooseMeanDistance = 7;     // a pass this loose only settles, no point fit
constexpr int kPointFitDrop = 8;          // runs this far from the point fit are dropped
constexpr int kSmallSide = 3;             // sides with this many runs or fewer are fitted at once

Point mean_of_runs(const std::vector<Run>& runs, size_t from, size_t to) {
    std::int64_t sx = 0;
    std::int64_t sy = 0;
    for (size_t i = from; i < to; ++i) {
        sx += runs[i].centroid.x;
        sy += runs[i].centroid.y;
    }
    const auto n = static_cast<std::int64_t>(to - from);
    return {static_cast<int>(sx / n), static_cast<int>(sy / n)};
}

Point midpoint(const Point& a, const Point& b) {
    return {(a.x + b.x) >> 1, (a.y + b.y) >> 1};
}

// Keep test of run M between the two runs P and N (their centroids).
// Returns 1 when the pair coincides (the fit fails), else 0 with `keep` updated.
int keep_test(const Point& p, const Point& n, const Point& m, int number, int tilt, int& keep) {
    if (p == n) {
        return kInvalidArgument;
    }
    if (tilt == 0) {
        if (number == 1 || number == 3) {
            keep =
                std::abs(m.y - p.y) <= kStraightNeighbourGap && std::abs(m.y - n.y) <= kStraightNeighbourGap;
        } else {
            keep =
                std::abs(m.x - p.x) <= kStraightNeighbourGap && std::abs(m.x - n.x) <= kStraightNeighbourGap;
        }
        return kOk;
    }
    if (p.x == n.x || p.y == n.y) {
        return kOk;  // no chord: the mark stays as it was
    }
    // Far outside the image the chord is clamped before truncation; the
    // comparison with M (inside the image) comes out the same.
    const double chord = p.y + static_cast<double>(n.y - p.y) * (m.x - p.x) / (n.x - p.x);
    const int chordY = static_cast<int>(std::clamp(chord, -2e9, 2e9));
    const bool rising = (p.x - n.x > 0) == (p.y - n.y > 0);
    const bool lowerSide = number == 1 || number == 2;
    if (rising == lowerSide) {
        keep = m.y >= chordY;
    } else {
        keep = chordY >= m.y;
    }
    return kOk;
}

// Marks every run of the working copy by the keep tests (middle runs against
// their neighbours, end runs against the nearest two kept runs).
int mark_runs(std::vector<Run>& runs, int number, int tilt) {
    const int n = static_cast<int>(runs.size());
    for (int i = 1; i + 1 < n; ++i) {
        if (int code = keep_test(runs[i - 1].centroid, runs[i + 1].centroid, runs[i].centroid, number, tilt,
                                 runs[i].keep);
            code != kOk) {
            return code;
        }
    }
    // First run: against the first two kept runs after it.
    int a = -1;
    int b = -1;
    for (int i = 1; i < n && b < 0; ++i) {
        if (runs[i].keep != 0) {
            (a < 0 ? a : b) = i;
        }
    }
    if (b >= 0) {
        if (int code =
                keep_test(runs[a].centroid, runs[b].centroid, runs[0].centroid, number, tilt, runs[0].keep);
            code != kOk) {
            return code;
        }
    } else {
        runs[0].keep = 1;
    }
    // Last run: against the last two kept runs before it, never the first run.
    a = b = -1;
    for (int i = n - 2; i >= 1 && b < 0; --i) {
        if (runs[i].keep != 0) {
            (a < 0 ? a : b) = i;
        }
    }
    if (b >= 0) {
        if (int code = keep_test(runs[a].centroid, runs[b].centroid, runs[n - 1].centroid, number, tilt,
                                 runs[n - 1].keep);
            code != kOk) {
            return code;
        }
    } else {
        runs[n - 1].keep = 1;
    }
    return kOk;
}

// Removes the runs for which `drop(distance)` holds; true when any was removed.
template <typename Drop>
bool drop_runs(std::vector<Run>& runs, const Line& line, Drop drop) {
    const size_t before = runs.size();
    std::erase_if(runs, [&](const Run& r) { return drop(int_distance(line, r.centroid)); });
    return runs.size() != before;
}

}  // namespace

int fit_runs(const std::vector<Run>& runs, Line& line) {
    const size_t n = runs.size();
    if (n < 2) {
        return kInvalidArgument;
    }
    const Point a = mean_of_runs(runs, 0, n / 2);
    const Point b = mean_of_runs(runs, n / 2, n);
    if (a == b) {
        return kDegenerateFit;
    }
    line.centre = midpoint(a, b);
    line.s = 0.0;
    if (a.x == b.x) {
        line = {kVertical, static_cast<double>(a.x), 0.0, 90.0, line.centre};
        return kOk;
    }
    if (a.y == b.y) {
        line = {kHorizontal, static_cast<double>(a.y), 0.0, 0.0, line.centre};
        return kOk;
    }
    const double slope = static_cast<double>(b.y - a.y) / (b.x - a.x);
    const double angle = std::atan(std::fabs(slope)) * kRadToDeg;
    if (angle <= kSnapDegrees) {
        line = {kHorizontal, static_cast<double>(line.centre.y), 0.0, 0.0, line.centre};
    } else if (angle >= 90.0 - kSnapDegrees) {
        line = {kVertical, static_cast<double>(line.centre.x), 0.0, 90.0, line.centre};
    } else {
        line = {kGeneral, a.y - slope * a.x, slope, angle, line.centre};
    }
    return kOk;
}

int fit_points(const std::vector<Point>& points, const std::vector<Run>& runs, Line& line) {
    line.type = kUnfitted;
    int total = 0;
    for (const Run& r : runs) {
        total += r.count;
    }
    if (runs.empty() || total < 2) {
        return kInvalidArgument;
    }
    const int half = total / 2;
    int seen = 0;
    std::int64_t sums[2][2] = {{0, 0}, {0, 0}};
    for (const Run& r : runs) {
        for (int i = r.first; i < r.first + r.count && seen < 2 * half; ++i, ++seen) {
            const Point& p = points[static_cast<size_t>(i)];
            const int h = seen < half ? 0 : 1;
            sums[h][0] += p.x;
            sums[h][1] += p.y;
        }
    }
    const Point a{static_cast<int>(sums[0][0] / half), static_cast<int>(sums[0][1] / half)};
    const Point b{static_cast<int>(sums[1][0] / half), static_cast<int>(sums[1][1] / half)};
    if (a == b) {
        return kDegenerateFit;
    }
    const Point centre = midpoint(a, b);
    if (a.x == b.x) {
        line = {kVertical, static_cast<double>(a.x), 0.0, 90.0, centre};
    } else if (a.y == b.y) {
        line = {kHorizontal, static_cast<double>(a.y), 0.0, 0.0, centre};
    } else {
        const double slope = static_cast<double>(b.y - a.y) / (b.x - a.x);
        line = {kGeneral, centre.y - slope * centre.x, slope, std::atan(slope) * kRadToDeg, centre};
    }
    return kOk;
}

double distance(const Line& line, double x, double y) {
    switch (line.type) {
        case kHorizontal:
            return y - line.c;
        case kVertical:
            return line.c - x;
        case kGeneral:
            return (y - line.c - x * line.s) / std::sqrt(line.s * line.s + 1.0);
        default:
            return 0.0;
    }
}

int robust_side_fit(Side& side, int number, int tilt) {
    const std::vector<Point>& points = *side.points;
    if (side.runs.size() <= static_cast<size_t>(kSmallSide)) {
        for (Run& r : side.runs) {
            r.keep = 1;
        }
        return fit_points(points, side.runs, side.line);
    }

    const bool dropAbove = number == 1 || number == 4;  // which way is "outside" for this side
    std::vector<Run> work = side.runs;
    Line line;
    int previousEnd = -1;
    while (work.size() > static_cast<size_t>(kSmallSide)) {
        if (int code = mark_runs(work, number, tilt); code != kOk) {
            return code;
        }
        std::erase_if(work, [](const Run& r) { return r.keep == 0; });
        if (int code = fit_runs(work, line); code != kOk) {
            return code;
        }
        const bool dropped =
            drop_runs(work, line, [&](int d) { return dropAbove ? d >= kOutwardDrop : d <= -kOutwardDrop; });
        if (dropped) {
            previousEnd = static_cast<int>(work.size());
            continue;
        }
        std::int64_t sum = 0;
        for (const Run& r : work) {
            sum += std::abs(int_distance(line, r.centroid));
        }
        const std::int64_t meanDistance = sum / static_cast<std::int64_t>(work.size());
        const int end = static_cast<int>(work.size());
        if (meanDistance >= kLooseMeanDistance) {
            if (end == previousEnd) {
                break;
            }
            previousEnd = end;
            continue;
        }
        if (int code = fit_points(points, work, line); code != kOk) {
            return code;
        }
        if (!drop_runs(work, line, [](int d) { return std::abs(d) >= kPointFitDrop; })) {
            break;
        }
        previousEnd = static_cast<int>(work.size());
    }

    std::vector<Run> kept;
    for (const Run& r : side.runs) {
        if (std::abs(int_distance(line, r.centroid)) < kPointFitDrop) {
            Run k = r;
            k.keep = 1;
            kept.push_back(k);
        }
    }
    if (kept.empty()) {
        return kSideWithoutRuns;
    }
    side.runs = std::move(kept);
    return kOk;
}

}  // namespace skewtrim
