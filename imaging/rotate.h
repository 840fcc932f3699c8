#pragma once
// Right-angle rotation without resampling.

#include <cstdint>

#include "imaging/Skewtrim.h"

namespace skewtrim {

// Turns a record by 0, 90, 180 or 270 degrees into a new unpadded record
// (angle 0: a copy with the source's row length). Pixel (x, y) of a W x H
// source goes to (y, W-1-x) for 90, (W-1-x, H-1-y) for 180, (H-1-y, x) for 270.
// Codes: kInvalidArgument for a missing record or another angle, the check code
// of the source, the bitmap_new code.
int rotate_bitmap(const Bitmap* src, Bitmap* dst, double angle);

// The same on a caller's buffer of unpadded rows, rotated in place; the new
// size is stored through the pointers. The caller provides room for a 1-bit
// quarter turn ((height + 7) / 8 x width bytes). Buffer and sizes are unchanged
// on failure.
int rotate_buffer(std::uint8_t* pixels, int* width, int* height, int bitCount, int angle);

}  // namespace skewtrim
