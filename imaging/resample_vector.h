#pragma once
// The straightening resampler's pixel loops in 256-bit vector lanes (AVX2),
// eight output pixels at a time, with the same integer arithmetic as the plain
// loops: the output is identical byte for byte.

#include <cstdint>

#include "imaging/Skewtrim.h"
#include "imaging/outline.h"
#include "imaging/resample.h"

namespace skewtrim::vector_path {

// True when this processor (and its operating system) runs AVX2 code.
bool available();

// True when the source rows are one evenly spaced block addressable with
// 32-bit offsets, which the vector loops need; else the plain loops run.
bool accepts(const Bitmap& src);

// Writes every byte of output rows `band` of `out` (allocated unpadded with the
// plan's size and the source's depth): the sample where the source point lies
// on the paper, `fill` elsewhere. The request must have been validated and the
// source accepted. Writes nothing outside the band's rows.
void resample(const Bitmap& src, const StraightenPlan& plan, const OffsetTables& tables, int mode,
              const std::uint8_t* fill, Bitmap& out, RowRange band);

}  // namespace skewtrim::vector_path
