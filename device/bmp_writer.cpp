// SaveDataToBmp and the BMP headers shared with the bitmap download.

#include "device/bmp_writer.h"

#include <cstdio>

#include "device/operations.h"
#include "device/port.h"
#include "kit/bmp_header.h"
#include "kit/bytes.h"

namespace kestrom {
std::vector<std::uint8_t> bmp_headers(bool grey, std::uint32_t stride, std::uint32_t rows,
                                      std::int32_t widthPixels) {
    const std::uint32_t offset = grey ? kGreyPixelOffset : kBwPixelOffset;
    std::vector<std::uint8_t> out;
    out.reserve(offset);
    kit::bmp::encode_headers(out, {.fileSize = stride * rows + offset,
                                   .pixelOffset = offset,
                                   .width = widthPixels,
                                   .height = static_cast<std::int32_t>(rows),
                                   .bitCount = grey ? 8 : 1,
                                   .imageSize = grey ? stride * rows : 0,
                                   .xPixelsPerMetre = kHorizontalPixelsPerMetre,
                                   .yPixelsPerMetre = vertical_pixels_per_metre(),
                                   .coloursUsed = grey ? 256u : 0u});

    if (grey) {
        kit::put_le32(out, 0);
        for (std::uint32_t i = 1; i < 256; ++i) {
            out.push_back(static_cast<std::uint8_t>(i));
            out.push_back(static_cast<std::uint8_t>(i));
            out.push_back(static_cast<std::uint8_t>(i));
            out.push_back(0xFF);
        }
    } else {
        kit::put_le32(out, 0xFF000000u);
        kit::put_le32(out, 0xFFFFFFFFu);
    }
    return out;
}

int save_data_to_bmp(const std::uint8_t* data, int lineBytes, int lines, const char* fileName,
                     int pictureType) {
    if (!data || !fileName || lineBytes < 0 || lines < 0 || (pictureType != 0 && pictureType != 1)) return 0;
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
