#include "imaging/bmp_file.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <vector>

#include "imaging/bitmap.h"
#include "kit/bmp_header.h"
#include "platform/files.h"

namespace skewtrim {

namespace {

namespace codec = kit::bmp;

constexpr int kSkippedBytes = 4;  // first palette entry or first pixel bytes, read and ignored
constexpr int kMonoPaletteBytes = 2 * codec::kPaletteEntryBytes;

struct FileCloser {
    std::FILE* file;
    ~FileCloser() {
        if (file != nullptr) {
            std::fclose(file);
        }
    }
};

std::uint32_t pixel_data_offset(int bitCount) {
    switch (bitCount) {
        case 24:
            return 54;
        case 8:
            return 1078;
        default:
            return 62;
    }
}

// Whether a 1-bit file stores white as index 0, read from the palette right
// after the information header. A file without room for a palette before its
// pixels is taken as stored (index 1 white). False also when the palette
// cannot be read; the pixel read that follows reports a short file.
bool mono_palette_white_first(std::FILE* file, const codec::Header& header) {
    const std::size_t at = header.palette_offset();
    if (header.pixelOffset < at + codec::kPaletteEntryBytes) return false;
    const bool both = header.pixelOffset >= at + kMonoPaletteBytes;
    std::uint8_t palette[kMonoPaletteBytes] = {};
    const std::size_t want = both ? kMonoPaletteBytes : codec::kPaletteEntryBytes;
    if (std::fseek(file, static_cast<long>(at), SEEK_SET) != 0 ||
        std::fread(palette, 1, want, file) != want) {
        return false;
    }
    return codec::white_first(palette, both ? palette + codec::kPaletteEntryBytes : nullptr);
}

// Reads the file header, the first 40 bytes of the information header and the
// 4 bytes after them (read and ignored, so a file of headers alone is short),
// from the start of `file`. kReadError when the file ends inside them, kNotBmp
// without the "BM" signature, kUnsupportedDepth for a depth other than 1/8/24,
// compressed pixels or an information header under 40 bytes.
int read_headers(std::FILE* file, codec::Header& header) {
    std::uint8_t fileHeader[codec::kFileHeaderBytes];
    if (std::fread(fileHeader, 1, sizeof fileHeader, file) != sizeof fileHeader) {
        return kReadError;
    }
    if (!codec::decode_file_header(fileHeader, header)) {
        return kNotBmp;
    }
    std::uint8_t info[codec::kInfoHeaderBytes];
    if (std::fread(info, 1, sizeof info, file) != sizeof info) {
        return kReadError;
    }
    codec::decode_info_header(info, header);
    if (!valid_depth(header.bitCount) || header.compressed() || header.infoSize < codec::kInfoHeaderBytes) {
        return kUnsupportedDepth;
    }
    std::uint8_t skipped[kSkippedBytes];
    if (std::fread(skipped, 1, sizeof skipped, file) != sizeof skipped) {
        return kReadError;
    }
    return kOk;
}

}  // namespace

int read_bitmap_file(Bitmap* out, const char* path) {
    if (out == nullptr || path == nullptr) {
        return kInvalidArgument;
    }
    if (platform::is_directory(path)) {
        return kCannotOpen;
    }
    FileCloser file{std::fopen(path, "rb")};
    if (file.file == nullptr) {
        return kCannotOpen;
    }
    codec::Header header;
    if (int code = read_headers(file.file, header); code != kOk) {
        return code;
    }
    const int bitCount = header.bitCount;
    const std::int32_t width = header.width;
    const std::int32_t fileHeight = header.height;
    if (width <= 0 || fileHeight == 0) {
        return kInvalidArgument;
    }
    const std::int64_t height = fileHeight < 0 ? -static_cast<std::int64_t>(fileHeight) : fileHeight;
    const std::int64_t imageSize = padded_row_bytes(width, bitCount) * height;
    if (height > std::numeric_limits<std::int32_t>::max() ||
        imageSize > std::numeric_limits<std::int32_t>::max() - 16) {
        return kOutOfMemory;  // no record can hold this pixel block
    }
    // The length check comes before the allocation so that a short file with a
    // huge declared size is refused without reserving its memory.
    if (std::fseek(file.file, 0, SEEK_END) != 0) {
        return kReadError;
    }
    const long length = std::ftell(file.file);
    if (length < 0) {
        return kReadError;
    }
    const std::int64_t offset = header.pixelOffset;
    if (length < offset + imageSize) {
        return kNotBmp;
    }

    const bool invert = bitCount == 1 && mono_palette_white_first(file.file, header);
    BitmapGuard bmp;
    if (int code = bitmap_new(bmp.get(), width, static_cast<int>(height), bitCount, true); code != kOk) {
        return code;
    }
    if (std::fseek(file.file, static_cast<long>(offset), SEEK_SET) != 0) {
        return kReadError;
    }
    if (std::fread(bmp->bits, 1, static_cast<std::size_t>(bmp->imageSize), file.file) !=
        static_cast<std::size_t>(bmp->imageSize)) {
        return kReadError;
    }
    if (invert) {
        codec::invert_rows(bmp->bits, bmp->stride, bmp->width, bmp->height);
    }
    *out = bmp.release();
    return kOk;
}

int save_bitmap_file(const Bitmap* bmp, const char* path) {
    if (bmp == nullptr || path == nullptr) {
        return kInvalidArgument;
    }
    if (int code = bitmap_check(bmp); code != kOk) {
        return code;
    }
    const std::int64_t rowBytes = (static_cast<std::int64_t>(bmp->stride) + 3) & ~std::int64_t{3};
    const std::int64_t dataBytes = rowBytes * bmp->height;
    const std::uint32_t offset = pixel_data_offset(bmp->bitCount);
    if (dataBytes + offset > std::numeric_limits<std::uint32_t>::max()) {
        return kInvalidRecord;  // rows longer than any real image: no BMP can describe them
    }

    std::vector<std::uint8_t> head;
    head.reserve(offset);
    codec::encode_headers(head, {.fileSize = static_cast<std::uint32_t>(offset + dataBytes),
                                 .pixelOffset = offset,
                                 .width = bmp->width,
                                 .height = bmp->height,
                                 .bitCount = bmp->bitCount,
                                 .imageSize = static_cast<std::uint32_t>(dataBytes),
                                 .coloursUsed = bmp->bitCount == 8   ? 256u
                                                : bmp->bitCount == 1 ? 2u
                                                                     : 0u});
    if (bmp->bitCount == 8) {
        for (int j = 0; j < 256; ++j) {
            const auto v = static_cast<std::uint8_t>(j);
            head.insert(head.end(), {v, v, v, static_cast<std::uint8_t>(j == 0 ? 0 : 255)});
        }
    } else if (bmp->bitCount == 1) {
        head.insert(head.end(), {0, 0, 0, 0, 255, 255, 255, 0});
    }

    std::FILE* file = std::fopen(path, "wb");
    if (file == nullptr) {
        return kCannotCreate;
    }
    bool ok = std::fwrite(head.data(), 1, head.size(), file) == head.size();
    const std::size_t stride = static_cast<std::size_t>(bmp->stride);
    const std::size_t pad = static_cast<std::size_t>(rowBytes) - stride;
    static const std::uint8_t zeros[4] = {0, 0, 0, 0};
    for (int y = 0; ok && y < bmp->height; ++y) {
        ok = std::fwrite(bmp->rows[y], 1, stride, file) == stride &&
             (pad == 0 || std::fwrite(zeros, 1, pad, file) == pad);
    }
    if (std::fclose(file) != 0) {
        ok = false;
    }
    return ok ? kOk : kWriteError;
}

}  // namespace skewtrim
