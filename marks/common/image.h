#pragma once
// The mark readers' own image record: a Bitmap-shaped block of unpadded rows
// (stride = (width x bitCount + 7) / 8), row 0 first in memory, with a pixel
// block 16 bytes longer than the image and zero-filled when made, and a row
// pointer table. 1-bit pixels are packed most significant bit first with
// 1 = light and 0 = dark; 8-bit pixels are grey levels with 0 black.

#include <cstdint>
#include <vector>

namespace marks {

// Spare bytes every pixel block carries beyond the image itself.
inline constexpr int kSpareBytes = 16;

// A caller's image seen through its row table (the caller's stride may be
// padded; only (width x bitCount + 7) / 8 bytes of each row are read).
struct SourceView {
    int width = 0;
    int height = 0;
    int bitCount = 0;
    int stride = 0;
    const std::uint8_t* const* rows = nullptr;
};

// Bytes of one unpadded row, or -1 when the size is not representable.
std::int64_t unpadded_stride(int width, int bitCount);

class Image {
public:
    int width = 0;
    int height = 0;
    int bitCount = 0;
    int imageSize = 0;
    int stride = 0;

    // Makes a zero-filled image (all dark for 1 bit). False, leaving the
    // image empty, for sizes <= 0, a depth other than 1, 8 or 24, a size
    // beyond 2 GiB, or when memory runs out.
    bool create(int w, int h, int bits);
    void clear();
    bool empty() const { return bits_.empty(); }

    std::uint8_t* bits() { return bits_.data(); }
    const std::uint8_t* bits() const { return bits_.data(); }
    std::uint8_t* row(int y) { return rows_[static_cast<std::size_t>(y)]; }
    const std::uint8_t* row(int y) const { return rows_[static_cast<std::size_t>(y)]; }
    std::uint8_t** rows() { return rows_.data(); }

    // Bytes the pixel block can hold (at least imageSize + kSpareBytes).
    std::size_t capacity() const { return bits_.size(); }

    // Grows the pixel block to at least `bytes` (new bytes zero) and the row
    // table to at least `rowEntries`, keeping the content. False when memory
    // runs out (the image is then unchanged).
    bool reserve(std::size_t bytes, std::size_t rowEntries = 0);

    // After an in-place operation changed the size: recomputes stride and
    // imageSize for the new width and height and rebuilds the row table from
    // the pixel block. False (image unchanged) when the new size is not
    // positive or does not fit the pixel block.
    bool relayout(int newWidth, int newHeight);

    // 1-bit access; true for a dark pixel.
    bool dark(int x, int y) const { return ((row(y)[x >> 3] >> (7 - (x & 7))) & 1) == 0; }
    void set_light(int x, int y) { row(y)[x >> 3] |= static_cast<std::uint8_t>(0x80u >> (x & 7)); }
    void set_dark(int x, int y) { row(y)[x >> 3] &= static_cast<std::uint8_t>(~(0x80u >> (x & 7))); }

    SourceView view() const;

private:
    std::vector<std::uint8_t> bits_;
    std::vector<std::uint8_t*> rows_;
};

// The copy-and-flip preparation shared by both readers. `out` becomes an image
// of the source's size and depth whose row 0 stays zero (dark); with flip 0 its
// rows 1 .. height-1 receive source rows 0 .. height-2, with flip 1 source rows
// height-1 down to 1; with any other flip value the rows stay zero. False when
// the source is not a valid 1-, 8- or 24-bit view or memory runs out.
bool copy_flipped(const SourceView& source, int flip, Image& out);

// Sets the padding bits beyond the last column of every 1-bit row light.
void lighten_row_padding(Image& image);

}  // namespace marks
