#pragma once
// Symbols whose modules are so small that blur merges bars and spaces on single rows: the bars
// still flicker from row to row around their true edges, so the darkness summed along the bars
// over a band of rows keeps the widths that every single row has lost.

#include <vector>

#include "barcode/linear/runs.h"

namespace stripescan {

// Columns [from, to) of a row that look like a fine barcode: at least kDenseMinRuns runs whose
// whites are all short (no quiet zone inside) and whose mean width is small, between two long
// whites or the row's ends. From and to are the first pixel of the first bar and one past the
// last bar.
struct DenseStretch {
    int from = 0;
    int to = 0;
    int row = 0;
};
std::vector<DenseStretch> dense_stretches(const RunList& row);

// True when the stretch's pixels mostly repeat kAgreeRows rows above and below its row, as bars
// close to upright do (print, noise and halftone do not): at least kMinAgreement of them.
bool runs_along_bars(const Image& image, const DenseStretch& stretch);

// The rows around row y (top and bottom, inclusive) across which columns [from, to) stay
// barred: each at least kBarRowShare black, within kMaxBarRows of y. Both are y when row y
// itself is not.
void bar_rows(const Image& image, int from, int to, int y, int& top, int& bottom);

// The darkness of the band of rows [rowFrom, rowTo] summed along the bars over columns
// [from, to), read into runs: the slope of the bars (columns per row, within kMaxSlope) is the
// one that makes the profile sharpest (largest variance); bars and spaces are the profile's
// alternating darkest and lightest points that stand out by kMinProminence, edges where the
// profile crosses the mean of two neighbours. The runs are placed on the band's middle row,
// lengths in kBandUnit per pixel. False when the band lies outside the image or is too short, or
// shows fewer than three such points.
bool profile_runs(const Image& image, int from, int to, int rowFrom, int rowTo, RunList& out, double& slope);

}  // namespace stripescan
