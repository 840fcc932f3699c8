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
// last bar. `coarse`: a barcode of any module, whites up to kCoarseLongestWhite and a mean
// run up to kCoarseMeanRun pixels.
struct DenseStretch {
    int from = 0;
    int to = 0;
    int row = 0;
};
std::vector<DenseStretch> dense_stretches(const RunList& row, bool coarse = false);

// True when the stretch's pixels mostly repeat kAgreeRows rows above and below its row, as bars
// close to upright do (print, noise and halftone do not): at least kMinAgreement of them.
bool runs_along_bars(const Image& image, const DenseStretch& stretch);

// The rows around row y (top and bottom, inclusive) across which columns [from, to) stay
// barred: each at least kBarRowShare black, within kMaxBarRows of y; up to kBarRowGap rows of
// starved bars under that share between barred rows are crossed. Top and bottom are barred rows
// (both y when row y itself is not). `relative`: a row counts as barred already at
// kRelativeRowShare of row y's own black share (at least kMinBarRowShare), where bars starved
// into dashes leave every row far under kBarRowShare, and within kMaxRelativeBarRows of y.
void bar_rows(const Image& image, int from, int to, int y, int& top, int& bottom, bool relative = false);

constexpr double kMaxSlope = 0.08;        // columns per row: bars within about 4.5 degrees of upright
constexpr double kCoarseMaxSlope = 0.16;  // columns per row: about 9 degrees, for the coarse stretches

// The darkness of the band of rows rowFrom, rowFrom + rowStep, ... up to rowTo, summed along the bars over
// columns [from, to), read into runs: the slope of the bars (columns per row, within maxSlope) is the one
// that makes the profile sharpest (largest variance); bars and spaces are the profile's alternating darkest
// and lightest points that stand out by kMinProminence, edges where the profile crosses the mean of two
// neighbours. The runs are placed on row `row` (any row: the bars' slope carries the columns there), lengths
// in kBandUnit per pixel. False when the band lies outside the image or is too short, or shows fewer than
// three such points. `trimmed` (if not null, for salted paper): the same reading with the dark points
// before the first and after the last that stay under half the median bar darkness taken as paper (salt
// summed along the bars), or no runs when there are none such.
bool profile_runs(const Image& image, int from, int to, int rowFrom, int rowTo, int rowStep, int row,
                  RunList& out, double& slope, double maxSlope = kMaxSlope, RunList* trimmed = nullptr);

// Modules (pixels, kMinGridModule to kMaxGridModule) on whose grid the edges of `runs` (from a
// profile) line up: the leading edges of the bars and, apart, their trailing edges (shifted by
// the ink gain). The peaks of the mean alignment that reach kGridCandidate of the best, widest
// first, at most kGridCandidates; none when even the best stays under kMinGridFit.
std::vector<double> grid_modules(const RunList& runs);

// Puts the edges of `runs` onto the grid of module `m` (its phase fitted to the leading edges,
// the trailing ones shifted by their own): the inner runs' lengths become whole modules, the
// first and last runs keep theirs. False, with `runs` unchanged, when two edges fall on one grid
// line or `m` is not positive.
bool snap_to_modules(RunList& runs, double m);

}  // namespace stripescan
