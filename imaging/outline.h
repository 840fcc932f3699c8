#pragma once
// Measuring a scanned ticket: the paper's outline, its rotation, its size and
// the per-row paper mask that the resampler cuts with.

#include <vector>

#include "imaging/Skewtrim.h"
#include "imaging/geometry.h"

namespace skewtrim {

// Rows first..last of the source and, for each of them, the leftmost and
// rightmost paper column (inclusive); the tables are indexed by row.
struct PaperMask {
    int first = 0;
    int last = -1;
    std::vector<int> left;
    std::vector<int> right;
};

// Everything the resampler needs to turn the paper upright and cut it out.
struct StraightenPlan {
    double theta = 0.0;    // rotation, radians
    double degrees = 0.0;  // the same in degrees (0 up to 360)
    int cx = 0;            // paper centre in source pixels
    int cy = 0;
    int width = 0;  // output size
    int height = 0;
    int tilt = 1;                    // 0 when the edges were found straight, 1 when tilted
    Point bottom, left, right, top;  // corners B, L, R, T
    PaperMask mask;
};

// Measures the paper in `src` with the background `level` (0: measured from the
// outer columns) and paper `rule` (1: brighter than the level; 255: outside the
// band level +- 9). Codes: kInvalidArgument, kNoPaper, kDegenerateFit,
// kSideWithoutRuns as the measurement fails (see line_fit.h), kOk with the
// plan filled.
int measure_paper(const Bitmap& src, int level, int rule, StraightenPlan& plan);

}  // namespace skewtrim
