#pragma once
// Image preparation: the working copy at 8 dots per millimetre and the
// 1-bit working image of a grey sheet.

#include "marks/common/image.h"

namespace inkmark {

// Target size of the working image for a copy of `width` x `height` taken in
// `scanMode` (1..5); false for another mode or a size that is not positive.
bool working_size(int scanMode, int width, int height, int& outWidth, int& outHeight);

// Resamples `copy` (1 or 8 bits) to the working size of `scanMode` by nearest
// neighbour: destination column i takes source column ftol(i x W / W' + 0.5)
// (at most W - 1), rows likewise. False for an unsupported depth or mode or
// when memory runs out.
bool resample_to_working(const marks::Image& copy, int scanMode, marks::Image& out);

// The 1-bit image of an 8-bit one: light where the grey value is above
// `level` (taken as an unsigned byte). False when memory runs out.
bool threshold_grey(const marks::Image& grey, int level, marks::Image& out);

}  // namespace inkmark
