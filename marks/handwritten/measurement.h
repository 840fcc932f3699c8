#pragma once
// Measuring the answer cells of a fitted form: where each cell lies in the
// image, how much of it is dark, and whether it counts as marked.

#include <cstdint>
#include <vector>

#include "marks/common/image.h"
#include "marks/handwritten/form_fit.h"
#include "marks/handwritten/form_model.h"

namespace inkmark {

// One cell's reading per threshold level.
struct CellReading {
    std::int32_t state[kMaxLevels] = {};  // 0 unmarked, 1 marked, 2 doubtful
    std::int32_t darkCount[kMaxLevels] = {};
    double ratio[kMaxLevels] = {};
};

// Where a cell's pixels are counted, in sheet coordinates (y from the last
// stored row): columns [x0, x1), rows [y0, y1); area = scaled width x height.
struct CellBox {
    int x0 = 0, x1 = 0, y0 = 0, y1 = 0;
    std::int64_t area = 0;
};

// Placement of one form axis in the sheet: the sheet axis it runs along
// (0 = x, 1 = y), the sheet coordinate its offsets start from, their
// direction and their scale.
struct AxisMap {
    int imageAxis = 0;
    int base = 0;
    int direction = 1;
    double scale = 1.0;
};

// Where the fitted form lies on the sheet: its x offsets and widths (`x`), its
// y offsets and heights (`y`), and the way its own axes run: signX is +1 when
// the form's x (rightward as printed) grows with the sheet coordinate of
// x.imageAxis, -1 when it shrinks; signY likewise for the form's y (downward).
struct FormPlacement {
    AxisMap x, y;
    int signX = 1, signY = 1;
};

// A rectangle of the sheet in pixels: [lo, lo + extent) on each axis (0 = x,
// 1 = y), not clipped to the image.
struct SheetRect {
    std::int64_t lo[2] = {0, 0};
    std::int64_t extent[2] = {0, 0};
};

// The placement of `form` for `fit` (which holds at least one track match).
FormPlacement form_placement(const OmrForm& form, const FitResult& fit);

// The pixels a cell covers (its scaled size about its scaled centre), before
// the counting margin is added and before clipping.
SheetRect cell_rect(const OmrCell& cell, const FormPlacement& placement);

// Sheet coordinates of an absolute form point (dots of the form), scaled as
// the cells are but not rounded.
void sheet_point(const OmrForm& form, const FormPlacement& placement, int formX, int formY, double& x,
                 double& y);

// Scale of one axis from the form's span and the measured one.
double axis_scale(int formSpan, int measuredSpan);

// Track line in the image: mean across coordinate of the matched marks,
// leaving out the first and the last when there are three or more.
int track_line(const TrackMatch& match);

// Boxes of every cell of `form` (cells made) for the fit; false when a box
// lies wholly outside the image.
bool cell_boxes(const OmrForm& form, const FitResult& fit, int width, int height,
                std::vector<CellBox>& boxes);

// Counts and decides every cell. `image` is the measurement image (1 or 8
// bits); for 8 bits each of the first `levelCount` levels is measured, for
// 1 bit only level 0. False when a box lies outside the image or memory runs out.
bool measure_cells(const OmrForm& form, const FitResult& fit, const marks::Image& image,
                   const std::int32_t* levels, int levelCount, std::vector<CellReading>& readings);

}  // namespace inkmark
