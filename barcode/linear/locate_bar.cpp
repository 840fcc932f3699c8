#include "barcode/linear/locate_bar.h"

#include <cmath>

#include "barcode/linear/bar_trace.h"

namespace stripescan {
namespace {

constexpr int kBarRows = 5 * kTraceUnit;  // rows looked at, centred on the point: as tall as a traced bar
constexpr double kMinBlackShare = 0.8;    // share of those rows that must show the bar

}  // namespace

bool bar_stands(const Image& image, double x, double y, double ux, double uy, double reach) {
    const int cx = static_cast<int>(std::lround(x));
    const int cy = static_cast<int>(std::lround(y));
    if (!image.inside(cx, cy) || reach < 0) return false;
    const double bx = -uy;  // along the bar
    const double by = ux;
    int black = 0;
    for (int t = -kBarRows / 2; t <= kBarRows / 2; ++t) {
        bool hit = false;
        for (double s = -reach; s <= reach && !hit; s += 0.5) {
            const int px = static_cast<int>(std::lround(x + t * bx + s * ux));
            const int py = static_cast<int>(std::lround(y + t * by + s * uy));
            hit = image.inside(px, py) && image.black(px, py);
        }
        black += hit ? 1 : 0;
    }
    return black >= kMinBlackShare * (kBarRows + 1);
}

}  // namespace stripescan
