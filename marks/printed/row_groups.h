#pragma once
// Candidate marks (regions of about the form's mark size) and their grouping into rows.

#include <vector>

#include "marks/printed/dark_regions.h"

namespace typemark {

// Regions that can be a printed mark of markWidth x markHeight dots at `dpm`: with
// F = markWidth - dpm (markWidth / 2 when not positive) and H likewise, pixel count in
// F x H .. (dpm + markWidth) x (dpm + markHeight), width in F .. dpm + markWidth,
// height in H .. dpm + markHeight. Labelling order is kept.
std::vector<const Region*> select_candidates(const std::vector<Region>& regions, int markWidth,
                                             int markHeight, int dpm);

// A row of candidates, sorted by centroid x.
using RowGroup = std::vector<const Region*>;

// Groups candidates, in their order, into rows: a candidate whose centroid y differs from
// the previous one's by dpm or more starts a new row. Each row is sorted by centroid x.
std::vector<RowGroup> group_rows(const std::vector<const Region*>& candidates, int dpm);

// Mean centroid y of a row.
int row_line(const RowGroup& row);

}  // namespace typemark
