#include "imaging/bmp_file.h"

#include "imaging/bitmap.h"
#include "platform/files.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <vector>

namespace skewtrim {

namespace {

constexpr int kFileHeaderBytes = 14;
constexpr int kInfoHeaderBytes = 40;
constexpr int kSkippedBytes = 4;  // first palette entry or first pixel bytes, read and ignored

struct FileCloser {
    std::FILE* file;
    ~FileCloser() {
        if (file != nullptr) {
            std::fclose(file);
        }
    }
};

std::uint32_t le32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

std::uint16_t le16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}

void put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    }
}

void put16(std::vector<std::uint8_t>& out, std::uint16_t v) {
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}

std::uint32_t pixel_data_offset(int bitCount) {
    switch (bitCount) {
        case 24: return 54;
        case 8: return 1078;
        default: return 62;
    }
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
    std::uint8_t fileHeader[kFileHeaderBytes];
    if (std::fread(fileHeader, 1, sizeof fileHeader, file.file) != sizeof fileHeader) {
        return kReadError;
    }
    if (fileHeader[0] != 'B' || fileHeader[1] != 'M') {
        return kNotBmp;
    }
    std::uint8_t info[kInfoHeaderBytes];
    if (std::fread(info, 1, sizeof info, file.file) != sizeof info) {
        return kReadError;
    }
    const int bitCount = le16(info + 14);
    if (!valid_depth(bitCount)) {
        return kUnsupportedDepth;
    }
    std::uint8_t skipped[kSkippedBytes];
    if (std::fread(skipped, 1, sizeof skipped, file.file) != sizeof skipped) {
        return kReadError;
    }

    const auto width = static_cast<std::int32_t>(le32(info + 4));
    const auto fileHeight = static_cast<std::int32_t>(le32(info + 8));
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
    const std::int64_t offset = le32(fileHeader + 10);
    if (length < offset + imageSize) {
        return kNotBmp;
    }

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
    head.push_back('B');
    head.push_back('M');
    put32(head, static_cast<std::uint32_t>(offset + dataBytes));
    put16(head, 0);
    put16(head, 0);
    put32(head, offset);
    put32(head, kInfoHeaderBytes);
    put32(head, static_cast<std::uint32_t>(bmp->width));
    put32(head, static_cast<std::uint32_t>(bmp->height));
    put16(head, 1);
    put16(head, static_cast<std::uint16_t>(bmp->bitCount));
    put32(head, 0);
    put32(head, static_cast<std::uint32_t>(dataBytes));
    put32(head, 0);
    put32(head, 0);
    put32(head, bmp->bitCount == 8 ? 256 : bmp->bitCount == 1 ? 2 : 0);
    put32(head, 0);
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
