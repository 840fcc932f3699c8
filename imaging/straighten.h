#pragma once
// Straightening and cropping a scanned ticket: measurement then resampling.

#include "imaging/Skewtrim.h"

#include <cstdint>

namespace skewtrim {

// Straightens `src` into a new unpadded record in `dst`. mode 1 bicubic, 2
// bilinear, 3 nearest; level 0..255 (0: measured); rule 1 or 255. Codes: 1
// invalid argument, the check code of the source, or the code of the failing
// step (1, 5, 9, 10, 11). `dst` is written only on success.
int straighten(const Bitmap* src, int mode, int level, int rule, Bitmap* dst);

// The same over a caller's buffer of unpadded rows, with rule 1 and the low
// byte of `level`. On success the straightened rows replace the buffer's
// content and the new size is stored; 1 on success, 0 otherwise (buffer and
// sizes unchanged). A result larger than the input is refused: the caller's
// buffer is only known to hold the input.
int straighten_buffer(std::uint8_t* pixels, int* width, int* height, int bitCount, int mode, int level);

// Copies a result's rows over a caller's buffer known to hold `capacity` bytes
// and stores its size; false (nothing written) when the result does not fit.
bool write_back(const Bitmap& result, std::int64_t capacity, std::uint8_t* pixels, int* width, int* height);

}  // namespace skewtrim
