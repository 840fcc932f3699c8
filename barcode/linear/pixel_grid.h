#pragma once
// Upright fine symbols: every edge of a bar close to upright falls on a pixel boundary on every
// row, so a profile summed along the bars shows whole-pixel widths, off the true ones by up to a
// pixel, and no mean alignment on a grid of modules stands out. Each such edge still lies within
// half a pixel of where the symbol put it: on the right grid (module and phase) all of them do at
// once, which fixes every edge's module.

#include <vector>

#include "barcode/linear/runs.h"

namespace stripescan {

// A grid of modules on a run list: the module and the phases of the leading (paper to bar) and
// trailing edges, in pixels from the runs' first edge (the end of the first run).
struct PixelGrid {
    double module = 0.0;
    double lead = 0.0;
    double trail = 0.0;
};

// True when at least kPixelEdgeShare of the edges of `runs` lie within kPixelEdgeReach of a pixel
// boundary (where most edges' fractions of a pixel lie): bars summed along upright columns.
bool edges_on_pixels(const RunList& runs);

// Grids of modules (kMinPixelGridModule to kMaxPixelGridModule pixels) that hold every edge of
// `runs` within kPixelGridReach of one of their lines (leading and trailing edges each on their
// own phase, which the ink gain sets apart): the first and last leading edges lie a whole number
// of modules apart, and per such number the module within a pixel of that span that holds the
// edges best. Only grids within kPixelGridTie of the best fit, best first, at most
// kPixelGridCandidates; none when fewer than kMinPixelGridEdges edges.
std::vector<PixelGrid> pixel_grids(const RunList& runs);

// Puts the edges of `runs` onto `grid`: the inner runs' lengths become whole modules, the first
// and last runs keep theirs. False, with `runs` unchanged, when two edges fall on one grid line.
bool snap_to_pixel_grid(RunList& runs, const PixelGrid& grid);

}  // namespace stripescan
