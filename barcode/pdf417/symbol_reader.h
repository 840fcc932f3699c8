// Reading the symbol: scan lines along its rows, row indicators and their votes, codewords
// voted into the start-side and stop-side grids, and the merged codeword sequence.
#pragma once

#include "barcode/pdf417/image_view.h"
#include "barcode/pdf417/locate.h"
#include "barcode/pdf417/workspace.h"

namespace pdf417 {

struct SymbolShape {
    int rows = 0;
    int columns = 0;  // data columns
    int level = 0;    // error-correction level 0..8
};

// The cluster (0, 3 or 6) of the codewords of row `row` (1-based).
inline int row_cluster(int row) {
    return ((row - 1) % 3) * 3;
}

// Of the rows next to and including `row` (row - 1, row, row + 1), the one whose codewords are
// of `cluster`: every cluster belongs to exactly one of the three. -1 for a cluster other than
// 0, 3 or 6. May give 0 (above the first row).
int neighbour_row(int row, int cluster);

// Reads every line across the symbol into ws's grids and vote lists: from the first usable
// pattern of each line, or, with `bothSides`, from its first usable start pattern and its first
// usable stop pattern. Returns false when no start or stop pattern was met on any line.
bool read_symbol_lines(const ImageView& image, Orientation orientation, const SkewResult& skew, int noise,
                       Workspace& ws, bool bothSides);

// The symbol's shape from the votes; false when a list has no votes or a limit is broken
// (rows below 3 or above 90, columns above 30, level above 8, more than 928 codewords, or no data
// codewords besides the error-correction codewords).
bool shape_from_votes(const Workspace& ws, SymbolShape& shape);

// Merges the stop-side grid into the start-side grid and lists the codewords row by row in
// ws.codewords; empty cells become erasures (at most 512 listed). ws.support receives, per
// codeword, the readings of its value less the readings of other values (0 for a cell read
// from its mean pair sums or empty). Returns the erasure count.
int merge_grids(Workspace& ws, const SymbolShape& shape);

}  // namespace pdf417
