#include "barcode/linear/locate_profile.h"

#include <algorithm>
#include <cmath>
#include <deque>
#include <vector>

namespace stripescan {
namespace {

constexpr double kHalf = 0.5;  // coverage: the threshold where the band has no contrast

// Black coverage of the band at (cx, cy): 2 * half + 1 points one pixel apart along (bx, by),
// each interpolated between its four pixels; negative where no point lies inside the image.
double coverage_at(const Image& image, double cx, double cy, double bx, double by, int half) {
    double black = 0.0;
    double seen = 0.0;
    for (int k = -half; k <= half; ++k) {
        const double sx = cx + k * bx;
        const double sy = cy + k * by;
        const int x0 = static_cast<int>(std::floor(sx));
        const int y0 = static_cast<int>(std::floor(sy));
        if (x0 < 0 || y0 < 0 || x0 + 1 >= image.width || y0 + 1 >= image.height) continue;
        const double ax = sx - x0;
        const double ay = sy - y0;
        const double b00 = image.black(x0, y0), b10 = image.black(x0 + 1, y0);
        const double b01 = image.black(x0, y0 + 1), b11 = image.black(x0 + 1, y0 + 1);
        black += (1 - ay) * ((1 - ax) * b00 + ax * b10) + ay * ((1 - ax) * b01 + ax * b11);
        seen += 1.0;
    }
    return seen == 0.0 ? -1.0 : black / seen;
}

// Sliding minimum (or maximum) of `v` over [i - w, i + w].
std::vector<double> sliding_extreme(const std::vector<double>& v, int w, bool maximum) {
    const int n = static_cast<int>(v.size());
    std::vector<double> out(v.size());
    std::deque<int> window;  // indexes whose values are monotone
    auto better = [&](double a, double b) { return maximum ? a >= b : a <= b; };
    int next = 0;
    for (int i = 0; i < n; ++i) {
        for (; next < n && next <= i + w; ++next) {
            while (!window.empty() &&
                   better(v[static_cast<std::size_t>(next)], v[static_cast<std::size_t>(window.back())]))
                window.pop_back();
            window.push_back(next);
        }
        while (window.front() < i - w) window.pop_front();
        out[static_cast<std::size_t>(i)] = v[static_cast<std::size_t>(window.front())];
    }
    return out;
}

int length_between(double from, double to) {
    return std::max(1, static_cast<int>(std::lround((to - from) * 0.5 * kBandUnit)));
}

}  // namespace

bool contrast_band_runs(const Image& image, double x, double y, double fx, double fy, int half,
                        int maxSamples, int maxRun, double reach, RunList& out, double minSwing) {
    out.runs.clear();
    out.unit = kBandUnit;
    if (!(reach > 0.0)) return false;
    std::vector<double> cover;
    std::vector<Point> centre;
    const int w = std::max(1, static_cast<int>(std::lround(2 * reach)));  // samples
    int steady = 0;  // samples in a row on one side of one half
    for (int n = 0; n < maxSamples; ++n) {
        const double cx = x + 0.5 * n * fx;
        const double cy = y + 0.5 * n * fy;
        const int px = static_cast<int>(std::floor(cx + 0.5));
        const int py = static_cast<int>(std::floor(cy + 0.5));
        const double c = image.inside(px, py) ? coverage_at(image, cx, cy, -fy, fx, half) : -1.0;
        if (c < 0.0) break;
        steady = !cover.empty() && (c > kHalf) == (cover.back() > kHalf) ? steady + 1 : 0;
        cover.push_back(c);
        centre.push_back(Point{px, py});
        if (maxRun > 0 && steady > maxRun + 2 * w) break;  // the line has ended in a long run
    }
    if (cover.empty()) return false;
    const std::vector<double> low = sliding_extreme(cover, w, false);
    const std::vector<double> high = sliding_extreme(cover, w, true);
    auto level = [&](std::size_t i) {
        return high[i] - low[i] >= minSwing ? cover[i] - (high[i] + low[i]) / 2 : cover[i] - kHalf;
    };
    double edge = -0.5;  // where the current run began, in samples
    double before = level(0);
    Run current{centre[0].x, centre[0].y, 0, before > 0 ? kBlack : kWhite};
    int samples = 1;
    for (std::size_t i = 1; i < cover.size(); ++i) {
        const double now = level(i);
        const std::uint8_t color = now > 0 ? kBlack : kWhite;
        if (color == current.color) {
            before = now;
            if (maxRun > 0 && ++samples > maxRun) {
                current.length = length_between(edge, static_cast<double>(i) - 0.5);
                out.runs.push_back(current);
                return true;
            }
            continue;
        }
        const double cross = (static_cast<double>(i) - 1) + before / (before - now);
        current.length = length_between(edge, cross);
        out.runs.push_back(current);
        edge = cross;
        current = Run{centre[i].x, centre[i].y, 0, color};
        samples = 1;
        before = now;
    }
    current.length = length_between(edge, static_cast<double>(cover.size()) - 0.5);
    out.runs.push_back(current);
    return true;
}

}  // namespace stripescan
