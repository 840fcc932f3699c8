#pragma once
// Straightening and cropping a scanned ticket: measurement then resampling.

#include <cstdint>

#include "imaging/Skewtrim.h"

namespace skewtrim {

// Straightens `src` into a new unpadded record in `dst`. mode a Mode
// (kBicubic, kBilinear, kNearest); level 0..255 (0: measured); rule
// SKEWTRIM_RULE_BRIGHTER or SKEWTRIM_RULE_OUTSIDE. Codes: kInvalidArgument,
// the check code of the source, or the code of the failing step
// (kInvalidArgument, kOutOfMemory, kNoPaper, kDegenerateFit,
// kSideWithoutRuns). `dst` is written only on success.
int straighten(const Bitmap* src, int mode, int level, int rule, Bitmap* dst);

// The same over a caller's buffer of unpadded rows, with SKEWTRIM_RULE_BRIGHTER and the low
// byte of `level`. On success the straightened rows replace the buffer's
// content and the new size is stored; 1 on success, 0 otherwise (buffer and
// sizes unchanged). A result larger than the input is refused: the caller's
// buffer is only known to hold the input.
int straighten_buffer(std::uint8_t* pixels, int* width, int* height, int bitCount, int mode, int level);

// Where Skewtrim would take each output pixel from, without resampling: measures the paper of
// the caller's buffer exactly as straighten_buffer does (same level byte, same rule) and stores
// the affine map from output pixel (i, j) to source point (x, y): x = map[0] i + map[1] j +
// map[2], y = map[3] i + map[4] j + map[5] (pixel indices, rows as stored), and the output size.
// 1 exactly when straighten_buffer would succeed on the same buffer; 0 otherwise, nothing
// written.
int straighten_map(const std::uint8_t* pixels, int width, int height, int bitCount, int level, double* map,
                   int* outWidth, int* outHeight);

// Copies a result's rows over a caller's buffer known to hold `capacity` bytes
// and stores its size; false (nothing written) when the result does not fit.
bool write_back(const Bitmap& result, std::int64_t capacity, std::uint8_t* pixels, int* width, int* height);

}  // namespace skewtrim
