#include "barcode/linear/bitmap_io.h"

#include <cstdlib>
#include <cstring>
#include <limits>
#include <vector>

#include "platform/files.h"

namespace stripescan {
namespace {

constexpr int kFileHeaderSize = 14;
constexpr int kInfoHeaderSize = 40;
constexpr int kPaletteEntrySize = 4;
constexpr std::int32_t kPixelsPerMetre = 2834;  // 72 dots per inch

std::uint32_t le32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}
std::uint16_t le16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}
void put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}
void put16(std::vector<std::uint8_t>& out, std::uint16_t v) {
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}

}  // namespace

void free_bitmap(Bitmap& bitmap) {
    std::free(bitmap.bits);
    std::free(bitmap.rows);
    bitmap = Bitmap{};
}

// Failure values: 0 for a missing or short file, a signature other than "BM", a bit count other
// than 1, a width or height that is not positive, a pixel block larger than 32 bits can count,
// or a file too short for its pixel data.
int read_bitmap_file(Bitmap& out, const char* path) {
    out = Bitmap{};
    const auto file = platform::read_file(path);
    if (!file) return 0;
    const std::vector<std::uint8_t>& data = *file;
    if (data.size() < kFileHeaderSize || data[0] != 'B' || data[1] != 'M') return 0;
    if (data.size() < kFileHeaderSize + kInfoHeaderSize) return 0;
    const std::uint8_t* info = data.data() + kFileHeaderSize;
    if (le16(info + 14) != 1) return 0;
    if (data.size() < kFileHeaderSize + kInfoHeaderSize + kPaletteEntrySize) return 0;
    const std::uint8_t* palette0 = info + kInfoHeaderSize;

    const std::int64_t width = static_cast<std::int32_t>(le32(info + 4));
    std::int64_t height = static_cast<std::int32_t>(le32(info + 8));
    if (height < 0) height = -height;
    if (width <= 0 || height <= 0) return 0;
    const std::int64_t stride = ((width + 31) / 8) & ~std::int64_t{3};
    const std::int64_t image_size = stride * height;
    if (image_size + 16 > std::numeric_limits<std::int32_t>::max()) return 0;

    const std::int64_t offset = le32(data.data() + 10);
    if (static_cast<std::int64_t>(data.size()) < image_size + offset) return 0;

    auto* bits = static_cast<std::uint8_t*>(std::malloc(static_cast<std::size_t>(image_size + 16)));
    auto* rows = static_cast<std::uint8_t**>(std::malloc(sizeof(std::uint8_t*) * static_cast<std::size_t>(height)));
    if (!bits || !rows) {
        std::free(bits);
        std::free(rows);
        return 0;
    }
    std::memcpy(bits, data.data() + offset, static_cast<std::size_t>(image_size));
    std::memset(bits + image_size, 0, 16);
    for (std::int64_t i = 0; i < height; ++i) rows[i] = bits + i * stride;

    // Palette entry 0 white: bring the picture to 0 = black.
    if (palette0[0] == 255 && palette0[1] == 255 && palette0[2] == 255) {
        const std::int64_t whole = width / 8;
        const int rest = static_cast<int>(width % 8);
        for (std::int64_t y = 0; y < height; ++y) {
            std::uint8_t* row = rows[y];
            for (std::int64_t i = 0; i < whole; ++i) row[i] = static_cast<std::uint8_t>(~row[i]);
            if (rest != 0) row[whole] = static_cast<std::uint8_t>(~row[whole] & (0xFF << (8 - rest)));
        }
    }
    out.width = static_cast<std::int32_t>(width);
    out.height = static_cast<std::int32_t>(height);
    out.bitCount = 1;
    out.stride = static_cast<std::int32_t>(stride);
    out.imageSize = static_cast<std::int32_t>(image_size);
    out.bits = bits;
    out.rows = rows;
    return 1;
}

// Failure values: 0 for a bit count other than 1, 8 or 24 (nothing is written then), a record
// without pixels or with a pixel block smaller than its rows, or a file that cannot be written.
int save_bitmap_file(const Bitmap& bitmap, const char* path) {
    if (bitmap.bitCount != 1 && bitmap.bitCount != 8 && bitmap.bitCount != 24) return 0;
    if (!bitmap.bits || bitmap.stride <= 0 || bitmap.height < 0) return 0;
    const std::int64_t stride = bitmap.stride;
    if (static_cast<std::int64_t>(bitmap.imageSize) < stride * bitmap.height) return 0;
    const std::int64_t padded = (stride + 3) & ~std::int64_t{3};
    const std::int64_t data_size = padded * bitmap.height;

    std::uint32_t offset = 54;
    std::int32_t resolution = 0;
    if (bitmap.bitCount == 8) {
        offset = 1078;
        resolution = kPixelsPerMetre;
    } else if (bitmap.bitCount == 1) {
        offset = 62;
        resolution = kPixelsPerMetre;
    }
    if (data_size + offset > std::numeric_limits<std::uint32_t>::max()) return 0;

    std::vector<std::uint8_t> out;
    out.reserve(static_cast<std::size_t>(offset + data_size));
    out.push_back('B');
    out.push_back('M');
    put32(out, static_cast<std::uint32_t>(offset + data_size));
    put16(out, 0);
    put16(out, 0);
    put32(out, offset);
    put32(out, kInfoHeaderSize);
    put32(out, static_cast<std::uint32_t>(bitmap.width));
    put32(out, static_cast<std::uint32_t>(bitmap.height));
    put16(out, 1);
    put16(out, static_cast<std::uint16_t>(bitmap.bitCount));
    put32(out, 0);
    put32(out, static_cast<std::uint32_t>(data_size));
    put32(out, static_cast<std::uint32_t>(resolution));
    put32(out, static_cast<std::uint32_t>(resolution));
    put32(out, 0);
    put32(out, 0);
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
    return platform::write_file(path, out.data(), out.size()) ? 1 : 0;
}

}  // namespace stripescan
