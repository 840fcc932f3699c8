#pragma once
// BMP files of scanned pictures: grey (8 bits, 256-entry grey palette) and
// black-and-white (1 bit, palette black, white), rows bottom-up.

#include <cstdint>
#include <vector>

namespace kestrom {

inline constexpr int kHorizontalPixelsPerMetre = 7875;
inline constexpr std::uint32_t kBwPixelOffset = 62;
inline constexpr std::uint32_t kGreyPixelOffset = 1078;

// The 14 + 40 header bytes and palette of a picture. `widthPixels` goes into
// the header; `imageSize` is 0 for black-and-white.
std::vector<std::uint8_t> bmp_headers(bool grey, std::uint32_t stride, std::uint32_t rows,
                                      std::int32_t widthPixels);

}  // namespace kestrom
