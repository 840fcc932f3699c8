// Checking and reshaping device pictures.

#include "decode/picture.h"

#include <cstring>

#include "decode/Decode.h"

namespace decode {

std::optional<Picture> describe_picture(const std::uint8_t* image, int widthPixels, int heightLines,
                                        int linesPerMm) {
    if (image == nullptr) return std::nullopt;
    if (widthPixels <= 0 || widthPixels % 8 != 0 || widthPixels > kMaxWidthPixels) return std::nullopt;
    if (heightLines <= 0 || heightLines > kMaxHeightLines) return std::nullopt;
    if (linesPerMm != DECODE_LINES_PER_MM_LOW && linesPerMm != DECODE_LINES_PER_MM_HIGH) return std::nullopt;
    Picture p{image, widthPixels, heightLines, linesPerMm};
    if (p.row_bytes() * static_cast<std::size_t>(heightLines) > kMaxPictureBytes) return std::nullopt;
    return p;
}

int lines_per_mm_for(int kind, int requested) {
    if (requested != DECODE_LINES_PER_MM_PRESET) return requested;
    return kind == DECODE_KIND_BARCODES ? DECODE_LINES_PER_MM_HIGH : DECODE_LINES_PER_MM_LOW;
}

Picture square_pixels(const Picture& picture, std::vector<std::uint8_t>& storage) {
    const std::size_t rowBytes = picture.row_bytes();
    const int repeat = kDotsPerMmAcross / picture.linesPerMm;  // 1 or 2
    const std::size_t height = static_cast<std::size_t>(picture.height) * static_cast<std::size_t>(repeat);
    storage.resize(rowBytes * height);
    std::uint8_t* dst = storage.data();
    for (int y = 0; y < picture.height; ++y) {
        const std::uint8_t* src = picture.rows + static_cast<std::size_t>(y) * rowBytes;
        for (int r = 0; r < repeat; ++r, dst += rowBytes) std::memcpy(dst, src, rowBytes);
    }
    Picture out = picture;
    out.rows = storage.data();
    out.height = static_cast<int>(height);
    out.linesPerMm = kDotsPerMmAcross;
    return out;
}

}  // namespace decode
