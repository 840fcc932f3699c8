#pragma once
// A device picture as Decode receives it: 1-bit rows, top row first, bit 1 white, and the
// lines per millimetre it was scanned at along the paper.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace decode {

constexpr int kDotsPerMmAcross = 8;       // the scanner's fixed sampling across the paper
constexpr int kMaxWidthPixels = 32768;    // pixels per row
constexpr int kMaxHeightLines = 1 << 20;  // rows
constexpr std::size_t kMaxPictureBytes = std::size_t{64} << 20;  // bytes of rows

struct Picture {
    const std::uint8_t* rows = nullptr;  // height rows of rowBytes bytes, top row first
    int width = 0;                       // pixels, a multiple of 8
    int height = 0;                      // rows
    int linesPerMm = 0;                  // 4 or 8 along the paper
    std::size_t row_bytes() const { return static_cast<std::size_t>(width) / 8; }
};

// The picture described by Decode's arguments, or nothing when they are out of range: a null
// image, a width that is not a positive multiple of 8 up to kMaxWidthPixels, a height outside
// 1..kMaxHeightLines, more than kMaxPictureBytes of rows, or a line density other than 4 or 8.
std::optional<Picture> describe_picture(const std::uint8_t* image, int widthPixels, int heightLines,
                                        int linesPerMm);

// The lines per millimetre Decode uses: the requested value, or for 0 the demo dialog's preset
// for the kind (8 for barcodes, 4 for the mark kinds).
int lines_per_mm_for(int kind, int requested);

// The picture at square pixels (8 dots/mm both ways), rows packed as in `picture`: a 4 lines/mm
// picture gets every row twice; an 8 lines/mm picture is copied as it is. `storage` receives the
// rows; the answer points into it.
Picture square_pixels(const Picture& picture, std::vector<std::uint8_t>& storage);

}  // namespace decode
