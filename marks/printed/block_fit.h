#pragma once
// Finding the block of printed marks that an adapted form describes among the candidate
// marks of the image, and reading its cells.

#include <optional>
#include <string>
#include <vector>

#include "marks/printed/printed_form.h"
#include "marks/printed/row_groups.h"

namespace typemark {

// The block's cells: one string per row of the adapted form (stored-row order), one
// character per column (growing x), '1' for a printed mark and '0' for a blank position.
using CellGrid = std::vector<std::string>;

// Where something lies on the working image: inclusive pixel bounds.
struct PixelBox {
    int minX = 0, minY = 0, maxX = 0, maxY = 0;
};

// Where the fitted block lies. A printed cell's box is its mark's bounding box; a blank
// cell's is a mark-sized box centred where the column and the row put it.
struct BlockPlace {
    std::vector<PixelBox> cells;         // adapted grid, row by row (stored-row order, growing x)
    std::vector<PixelBox> anchorRow;     // U/D: the full row's marks, growing x
    std::vector<PixelBox> anchorColumn;  // L/R: the end mark of every row, stored-row order
};

// Places the adapted form on the candidates (labelling order) at `dpm` dots per mm.
// Anchor rows (U: the block's last stored row is full; D: its first) locate the block
// and give the columns; without them, the first (L) or last (R) column does. Nothing
// when no place fits. `place`, when given, receives where the block lies on a fit.
std::optional<CellGrid> fit_block(const std::vector<const Region*>& candidates, const PrintedForm& adapted,
                                  int dpm, BlockPlace* place = nullptr);

// The first run of columnCount regions of `row` that matches the form's column gaps and
// span and is not continued within 3 x dpm; its start index.
std::optional<std::size_t> find_anchor_run(const RowGroup& row, const PrintedForm& adapted, int dpm);

}  // namespace typemark
