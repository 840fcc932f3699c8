#pragma once
// Colour reduction: fixed-point luma followed by the tone table, and the three
// depth conversions (to 1, 8 and 24 bits).

#include <array>
#include <cstdint>

#include "imaging/Skewtrim.h"

namespace skewtrim {

using Table256 = std::array<std::int32_t, 256>;

// Luma weights in units of 1/1024: round(v x 0.299 x 1024) and so on, half up.
const Table256& luma_red();
const Table256& luma_green();
const Table256& luma_blue();

// The tone table indexed by the grey index Y / 1024; it darkens mid-tones.
const Table256& tone();

// Grey level of a 24-bit pixel: tone[Y / 1024], Y the fixed-point luma.
inline int grey_of_bgr(const std::uint8_t* px) {
    const int y = luma_red()[px[2]] + luma_green()[px[1]] + luma_blue()[px[0]];
    int index = y / 1024;
    index = index < 0 ? 0 : (index > 255 ? 255 : index);
    return tone()[static_cast<std::size_t>(index)];
}

// Depth conversions; when the source already has the target depth the result
// is a copy. Codes: kInvalidArgument for a missing record, the check code of the source, the
// bitmap_new or bitmap_copy code.
int to_black_white(const Bitmap* src, Bitmap* dst, int threshold);
int to_grey(const Bitmap* src, Bitmap* dst);
int to_colour(const Bitmap* src, Bitmap* dst);

}  // namespace skewtrim
