// Interleaved 2 of 5 ends held apart from other bars beyond the quiet zones.

#include "barcode/linear/symbologies/interleaved_ends.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <vector>

namespace stripescan {
namespace {

constexpr int kStartStopElements = 7;  // four of the start, three of the stop
constexpr int kPairElements = 10;
// The last bar's black next to the corner line is skipped up to this many of `gapPixels`.
constexpr double kOwnBarShare = 0.3;
// Black counts as a bar where it runs on kAlongPixels along the bars either way, and as a bar of
// the pattern up to kWidestBarShare of the symbol's wide bar (and a pixel).
constexpr int kAlongPixels = 2;
constexpr double kWidestBarShare = 1.5;

}  // namespace

InterleavedWidths interleaved_widths(const RunList& runs, int first, int last) {
    const int n = last - first + 1;
    if (first < 0 || last >= runs.size() || n < kStartStopElements + kPairElements ||
        (n - kStartStopElements) % kPairElements != 0 || runs.unit <= 0)
        return InterleavedWidths{};
    const int pairs = (n - kStartStopElements) / kPairElements;
    std::vector<int> bars, spaces;
    for (int k = first; k <= last; ++k)
        (runs.runs[static_cast<std::size_t>(k)].color == kBlack ? bars : spaces).push_back(runs.length(k));
    const std::size_t wideBars = static_cast<std::size_t>(2 * pairs + 1);
    const std::size_t wideSpaces = static_cast<std::size_t>(2 * pairs);
    if (bars.size() <= wideBars || spaces.size() <= wideSpaces) return InterleavedWidths{};
    std::sort(bars.begin(), bars.end(), std::greater<>());
    std::sort(spaces.begin(), spaces.end(), std::greater<>());
    auto mean = [](const std::vector<int>& w, std::size_t from, std::size_t to) {
        double sum = 0;
        for (std::size_t i = from; i < to; ++i) sum += w[i];
        return sum / static_cast<double>(to - from);
    };
    const double wideBar = mean(bars, 0, wideBars);
    const double wideSpace = mean(spaces, 0, wideSpaces);
    const double narrowBar = mean(bars, wideBars, bars.size());
    const double narrow = (narrowBar + mean(spaces, wideSpaces, spaces.size())) / 2.0;
    return InterleavedWidths{(2.0 * wideSpace + wideBar + narrow) / runs.unit, narrowBar / runs.unit,
                             wideBar / runs.unit};
}

bool interleaved_ends_stand_apart(const Image& image, const Point corners[4], Point direction,
                                  const InterleavedWidths& widths) {
    const double gapPixels = widths.gap;
    const double norm = std::hypot(double(direction.x), double(direction.y));
    if (norm <= 0 || gapPixels <= 0) return true;
    const double ux = direction.x / norm, uy = direction.y / norm;
    Point byAlong[4] = {corners[0], corners[1], corners[2], corners[3]};
    std::sort(byAlong, byAlong + 4,
              [&](Point p, Point q) { return p.x * ux + p.y * uy < q.x * ux + q.y * uy; });
    // Black at distance d beyond the end point (x0, y0) on the row `along` pixels along the bars.
    auto black = [&](double x0, double y0, double out, double d, int along) {
        const int px = static_cast<int>(std::lround(x0 + out * d * ux - along * uy));
        const int py = static_cast<int>(std::lround(y0 + out * d * uy + along * ux));
        return image.inside(px, py) && image.black(px, py);
    };
    // A pixel of a bar: black there and kAlongPixels either way along the bars (a dot is not).
    auto barPixel = [&](double x0, double y0, double out, double d) {
        return black(x0, y0, out, d, 0) && black(x0, y0, out, d, -kAlongPixels) &&
               black(x0, y0, out, d, kAlongPixels);
    };
    const double needed = std::max(1.0, kBarShare * widths.narrowBar);
    const double widest = kWidestBarShare * widths.wideBar + 1.0;
    for (int end = 0; end < 2; ++end) {
        const Point p = byAlong[2 * end], q = byAlong[2 * end + 1];
        const double out = end == 0 ? -1.0 : 1.0;  // away from the symbol
        int apart = 0;
        for (int place = 1; place <= kEndPlaces; ++place) {
            const double t = static_cast<double>(place) / (kEndPlaces + 1);
            const double x0 = p.x + t * (q.x - p.x), y0 = p.y + t * (q.y - p.y);
            double d = 0;
            while (d < kOwnBarShare * gapPixels && black(x0, y0, out, d, 0)) d += 1.0;
            // The first bar that begins within the gap, measured up to `widest`.
            const double gapEnd = d + gapPixels;
            while (d < gapEnd && !barPixel(x0, y0, out, d)) d += 1.0;
            double run = 0;
            while (d < gapEnd + widest && run <= widest && barPixel(x0, y0, out, d)) {
                run += 1.0;
                d += 1.0;
            }
            // No bar of the pattern: nothing, dirt, or black wider than any bar (the edge of
            // another object, which no knocked-out bar leaves).
            if (run < needed || run > widest) ++apart;
        }
        if (apart < kApartPlaces) return false;
    }
    return true;
}

}  // namespace stripescan
