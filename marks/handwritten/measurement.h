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
