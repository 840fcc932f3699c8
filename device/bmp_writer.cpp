// SaveDataToBmp and the BMP headers shared with the bitmap download.

#include "device/bmp_writer.h"

#include <cstdio>

#include "device/operations.h"
#include "device/port.h"

namespace kestrom {
namespace {

void put16(std::vector<std::uint8_t>& out, std::uint32_t v) {
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}

void put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}

}  // namespace

std::vector<std::uint8_t> bmp_headers(bool grey, std::uint32_t stride, std::uint32_t rows,
                                      std::int32_t widthPixels) {
    const std::uint32_t offset = grey ? kGreyPixelOffset : kBwPixelOffset;
    std::vector<std::uint8_t> out;
    out.reserve(offset);
    out.push_back('B');
    out.push_back('M');
    put32(out, stride * rows + offset);
    put16(out, 0);
    put16(out, 0);
    put32(out, offset);

    put32(out, 40);
    put32(out, static_cast<std::uint32_t>(widthPixels));
    put32(out, rows);
    put16(out, 1);
    put16(out, grey ? 8 : 1);
    put32(out, 0);
    put32(out, grey ? stride * rows : 0);
    put32(out, kHorizontalPixelsPerMetre);
    put32(out, static_cast<std::uint32_t>(vertical_pixels_per_metre()));
    put32(out, grey ? 256 : 0);
    put32(out, 0);

    if (grey) {
        put32(out, 0);
        for (std::uint32_t i = 1; i < 256; ++i) {
            out.push_back(static_cast<std::uint8_t>(i));
            out.push_back(static_cast<std::uint8_t>(i));
            out.push_back(static_cast<std::uint8_t>(i));
            out.push_back(0xFF);
        }
    } else {
        put32(out, 0xFF000000u);
        put32(out, 0xFFFFFFFFu);
    }
    return out;
}

int save_data_to_bmp(const std::uint8_t* data, int lineBytes, int lines, const char* fileName,
                     int pictureType) {
    if (!data || !fileName || lineBytes < 0 || lines < 0 || (pictureType != 0 && pictureType != 1))
        return 0;
    const bool grey = pictureType == 1;
    const std::uint64_t stride = (static_cast<std::uint64_t>(lineBytes) + 3) / 4 * 4;
    // The header fields are 32 bits wide; refuse what they cannot describe.
    if (stride * static_cast<std::uint64_t>(lines) + kGreyPixelOffset > 0xFFFFFFFFull ||
        (!grey && static_cast<std::uint64_t>(lineBytes) * 8 > 0x7FFFFFFFull))
        return 0;
    const auto pad = static_cast<std::size_t>(stride - static_cast<std::uint64_t>(lineBytes));

    std::FILE* file = std::fopen(fileName, "wb");
    if (!file) return 0;
    const std::vector<std::uint8_t> head =
        bmp_headers(grey, static_cast<std::uint32_t>(stride), static_cast<std::uint32_t>(lines),
                    grey ? lineBytes : lineBytes * 8);
    bool ok = std::fwrite(head.data(), 1, head.size(), file) == head.size();
    static constexpr std::uint8_t kZeros[4] = {};
    for (int row = lines - 1; ok && row >= 0; --row) {
        const std::uint8_t* line = data + static_cast<std::size_t>(row) * static_cast<std::size_t>(lineBytes);
        ok = std::fwrite(line, 1, static_cast<std::size_t>(lineBytes), file) ==
                 static_cast<std::size_t>(lineBytes) &&
             std::fwrite(kZeros, 1, pad, file) == pad;
    }
    const bool closed = std::fclose(file) == 0;
    return ok && closed ? 1 : 0;
}

}  // namespace kestrom
