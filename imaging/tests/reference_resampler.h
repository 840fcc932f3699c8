#pragma once
// A plain, slow rendering of the straightening resampler's rules: the oracle
// the library's resampler must match byte for byte.

#include "imaging/Skewtrim.h"
#include "imaging/outline.h"

namespace skewtrim::testing {

// Straightened record (unpadded, owned by the caller) for `plan` and `mode`.
Bitmap reference_resample(const Bitmap& src, const StraightenPlan& plan, int mode);

// A plan covering the whole source: centre, angle and output size as given.
StraightenPlan whole_image_plan(const Bitmap& src, double degrees, int cx, int cy, int width, int height);

}  // namespace skewtrim::testing
