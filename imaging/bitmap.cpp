#include "imaging/bitmap.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace skewtrim {

namespace {
constexpr std::int64_t kSpareBytes = 16;  // allocated after the pixel block, not part of the image
}

int bitmap_new(Bitmap* out, int width, int height, int bitCount, bool padded, NewPixels pixels) {
    if (out == nullptr || width <= 0 || height <= 0 || !valid_depth(bitCount)) {
        return kInvalidArgument;
    }
    const std::int64_t stride =
        padded ? padded_row_bytes(width, bitCount) : unpadded_row_bytes(width, bitCount);
    const std::int64_t imageSize = stride * height;
    // The byte count must be representable in the record; never allocate short.
    if (imageSize > std::numeric_limits<std::int32_t>::max() - kSpareBytes) {
        return kOutOfMemory;
    }
    const auto bytes = static_cast<std::size_t>(imageSize + kSpareBytes);
    auto* bits =
        static_cast<std::uint8_t*>(pixels == NewPixels::Zeroed ? std::calloc(bytes, 1) : std::malloc(bytes));
    if (bits == nullptr) {
        return kOutOfMemory;
    }
    if (pixels == NewPixels::Unset) {
        std::memset(bits + imageSize, 0, static_cast<std::size_t>(kSpareBytes));
    }
    auto* rows =
        static_cast<std::uint8_t**>(std::malloc(sizeof(std::uint8_t*) * static_cast<std::size_t>(height)));
    if (rows == nullptr) {
        std::free(bits);
        return kOutOfMemory;
    }
    for (int y = 0; y < height; ++y) {
        rows[y] = bits + static_cast<std::int64_t>(y) * stride;
    }
    out->width = width;
    out->height = height;
    out->bitCount = bitCount;
    out->imageSize = static_cast<std::int32_t>(imageSize);
    out->stride = static_cast<std::int32_t>(stride);
    out->rows = rows;
    out->bits = bits;
    return kOk;
}

int bitmap_init(Bitmap* bmp) {
    if (bmp == nullptr) {
        return kInvalidArgument;
    }
    std::memset(bmp, 0, sizeof(Bitmap));
    return kOk;
}

int bitmap_done(Bitmap* bmp) {
    if (bmp == nullptr) {
        return kInvalidArgument;
    }
    std::free(bmp->bits);
    std::free(bmp->rows);
    std::memset(bmp, 0, sizeof(Bitmap));
    return kOk;
}

int bitmap_check(const Bitmap* bmp) {
    if (bmp == nullptr) {
        return kInvalidArgument;
    }
    if (bmp->width <= 0 || bmp->height <= 0 || !valid_depth(bmp->bitCount) || bmp->bits == nullptr ||
        bmp->stride <= 0 || bmp->rows == nullptr) {
        return kInvalidRecord;
    }
    return kOk;
}

int bitmap_copy(const Bitmap* src, Bitmap* dst) {
    if (dst == nullptr) {
        return kUnsupportedDepth;
    }
    if (int code = bitmap_check(src); code != kOk) {
        return code;
    }
    Bitmap copy{};
    if (int code = bitmap_new(&copy, src->width, src->height, src->bitCount, derives_padded(*src));
        code != kOk) {
        return code;
    }
    // Row by row through the source's row table: identical to copying the whole
    // block for a record made here, and never reads past a caller's shorter rows.
    const std::size_t bytes = static_cast<std::size_t>(std::min(copy.stride, src->stride));
    for (int y = 0; y < copy.height; ++y) {
        std::memcpy(copy.rows[y], src->rows[y], bytes);
    }
    *dst = copy;
    return kOk;
}

}  // namespace skewtrim
