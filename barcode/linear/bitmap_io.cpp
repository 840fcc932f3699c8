#include "barcode/linear/bitmap_io.h"

#include <cstdlib>
#include <cstring>
#include <limits>
#include <vector>

#include "kit/bmp_header.h"
#include "platform/files.h"

namespace stripescan {
namespace {

namespace codec = kit::bmp;

constexpr std::int32_t kPixelsPerMetre = 2834;  // 72 dots per inch

}  // namespace

void free_bitmap(Bitmap& bitmap) {
    std::free(bitmap.bits);
    std::free(bitmap.rows);
    bitmap = Bitmap{};
}

// Failure values: 0 for a missing or short file, a signature other than "BM", an information
// header under 40 bytes, compressed pixels, a bit count other than 1, a width or height that is
// not positive, a pixel block larger than 32 bits can count, or a file too short for its pixel
// data. The palette is read where the information header ends; when it puts white first the
// picture is inverted so that 0 stays black.
int read_bitmap_file(Bitmap& out, const char* path) {
    out = Bitmap{};
    const auto file = platform::read_file(path);
    if (!file) return STRIPESCAN_FAILED;
    const std::vector<std::uint8_t>& data = *file;
    codec::Header header;
    if (codec::decode_headers(data.data(), data.size(), header) != codec::Verdict::Ok)
        return STRIPESCAN_FAILED;
    if (header.bitCount != 1) return STRIPESCAN_FAILED;
    const std::size_t palette = header.palette_offset();
    if (data.size() < palette + codec::kPaletteEntryBytes) return STRIPESCAN_FAILED;
    const std::uint8_t* palette0 = data.data() + palette;
    const std::uint8_t* palette1 = data.size() >= palette + 2 * codec::kPaletteEntryBytes
                                       ? palette0 + codec::kPaletteEntryBytes
                                       : nullptr;

    const std::int64_t width = header.width;
    std::int64_t height = header.height;
    if (height < 0) height = -height;
    if (width <= 0 || height <= 0) return STRIPESCAN_FAILED;
    const std::int64_t stride = codec::stored_row_bytes(width, 1);
    const std::int64_t imageSize = stride * height;
    if (imageSize + 16 > std::numeric_limits<std::int32_t>::max()) return STRIPESCAN_FAILED;

    const std::int64_t offset = header.pixelOffset;
    if (static_cast<std::int64_t>(data.size()) < imageSize + offset) return STRIPESCAN_FAILED;

    auto* bits = static_cast<std::uint8_t*>(std::malloc(static_cast<std::size_t>(imageSize + 16)));
    auto* rows =
        static_cast<std::uint8_t**>(std::malloc(sizeof(std::uint8_t*) * static_cast<std::size_t>(height)));
    if (!bits || !rows) {
        std::free(bits);
        std::free(rows);
        return STRIPESCAN_FAILED;
    }
    std::memcpy(bits, data.data() + offset, static_cast<std::size_t>(imageSize));
    std::memset(bits + imageSize, 0, 16);
    for (std::int64_t i = 0; i < height; ++i) rows[i] = bits + i * stride;

    if (codec::white_first(palette0, palette1)) codec::invert_rows(bits, stride, width, height);
    out.width = static_cast<std::int32_t>(width);
    out.height = static_cast<std::int32_t>(height);
    out.bitCount = 1;
    out.stride = static_cast<std::int32_t>(stride);
    out.imageSize = static_cast<std::int32_t>(imageSize);
    out.bits = bits;
    out.rows = rows;
    return STRIPESCAN_OK;
}

// Failure values: STRIPESCAN_FAILED for a bit count other than 1, 8 or 24 (nothing is written then), a record
// without pixels or with a pixel block smaller than its rows, or a file that cannot be written.
int save_bitmap_file(const Bitmap& bitmap, const char* path) {
    if (bitmap.bitCount != 1 && bitmap.bitCount != 8 && bitmap.bitCount != 24) return STRIPESCAN_FAILED;
    if (!bitmap.bits || bitmap.stride <= 0 || bitmap.height < 0) return STRIPESCAN_FAILED;
    const std::int64_t stride = bitmap.stride;
    if (static_cast<std::int64_t>(bitmap.imageSize) < stride * bitmap.height) return STRIPESCAN_FAILED;
    const std::int64_t padded = (stride + 3) & ~std::int64_t{3};
    const std::int64_t dataSize = padded * bitmap.height;

    std::uint32_t offset = 54;
    std::int32_t resolution = 0;
    if (bitmap.bitCount == 8) {
        offset = 1078;
        resolution = kPixelsPerMetre;
    } else if (bitmap.bitCount == 1) {
        offset = 62;
        resolution = kPixelsPerMetre;
    }
    if (dataSize + offset > std::numeric_limits<std::uint32_t>::max()) return STRIPESCAN_FAILED;

    std::vector<std::uint8_t> out;
    out.reserve(static_cast<std::size_t>(offset + dataSize));
    codec::encode_headers(out, {.fileSize = static_cast<std::uint32_t>(offset + dataSize),
                                .pixelOffset = offset,
                                .width = bitmap.width,
                                .height = bitmap.height,
                                .bitCount = bitmap.bitCount,
                                .imageSize = static_cast<std::uint32_t>(dataSize),
                                .xPixelsPerMetre = resolution,
                                .yPixelsPerMetre = resolution});
    if (bitmap.bitCount == 8) {
        for (int j = 0; j < 256; ++j) {
            for (int c = 0; c < 3; ++c) out.push_back(static_cast<std::uint8_t>(j));
            out.push_back(0);
        }
    } else if (bitmap.bitCount == 1) {
        for (int c = 0; c < 4; ++c) out.push_back(0);
        for (int c = 0; c < 3; ++c) out.push_back(255);
        out.push_back(0);
    }
    for (std::int64_t y = 0; y < bitmap.height; ++y) {
        const std::uint8_t* row = bitmap.bits + y * stride;
        out.insert(out.end(), row, row + stride);
        for (std::int64_t i = stride; i < padded; ++i) out.push_back(0);
    }
    return platform::write_file(path, out.data(), out.size()) ? STRIPESCAN_OK : STRIPESCAN_FAILED;
}

}  // namespace stripescan
