#pragma once
// The four corners of a decoded symbol and their order in a result.

#include "barcode/linear/image.h"

namespace stripescan {

constexpr int kMinSymbolSize = 16;  // pixels, height and width of a reported symbol

// A: first pixel of the symbol's first bar; B: the pixel just after its last bar on the line
// that decoded it; `direction`: the reading direction from A to B; `runs`: number of runs of the
// symbol. Slides A-B at right angles to the reading direction while the shifted segment still
// crosses at least half the runs. Fills `corners` (P0..P3); false when the symbol is too small or
// A or B lies outside the image.
bool symbol_extent(const Image& image, Point a, Point b, Point direction, int runs, Point corners[4]);

// Orders four points as P0 (largest y), P1 (middle, smaller x), P2 (smallest y), P3 (middle,
// larger x); for an axis-parallel box P0 = lower right, P1 = lower left, P2 = upper left, P3 =
// upper right. False when an axis-parallel box has no two points on each of its two rows.
bool order_corners(const Point points[4], bool axisParallel, Point corners[4]);

}  // namespace stripescan
