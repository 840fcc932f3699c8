#include "emulator/bmp_file.h"

#include "platform/files.h"

namespace emu {
namespace {

namespace codec = kit::bmp;

std::uint8_t luminance(std::uint8_t blue, std::uint8_t green, std::uint8_t red) {
    return static_cast<std::uint8_t>((red * 299u + green * 587u + blue * 114u + 500u) / 1000u);
}

// Both headers of a file with `palette` entries and `imageSize` pixel bytes.
void put_headers(std::vector<std::uint8_t>& out, int width, int height, int bits, std::uint32_t palette,
                 std::uint32_t imageSize, int pixelsPerMetre) {
    const std::uint32_t offset =
        static_cast<std::uint32_t>(codec::kFileHeaderBytes + codec::kInfoHeaderBytes) +
        palette * codec::kPaletteEntryBytes;
    codec::encode_headers(out, {.fileSize = offset + imageSize,
                                .pixelOffset = offset,
                                .width = width,
                                .height = height,
                                .bitCount = bits,
                                .imageSize = imageSize,
                                .xPixelsPerMetre = pixelsPerMetre,
                                .yPixelsPerMetre = pixelsPerMetre,
                                .coloursUsed = palette});
}

}  // namespace

bool read_bmp_header(const std::uint8_t* data, std::size_t size, BmpHeader& header) {
    return codec::decode_headers(data, size, header) == codec::Verdict::Ok && header.planes == 1;
}

bool decode_bmp(const std::uint8_t* data, std::size_t size, GreyImage& out) {
    BmpHeader h;
    if (!read_bmp_header(data, size, h)) return false;
    const int bits = h.bitCount;
    if (bits != 1 && bits != 4 && bits != 8 && bits != 24 && bits != 32) return false;
    if (h.width <= 0 || h.width > kMaxBmpSide) return false;
    if (h.height == 0 || h.height < -kMaxBmpSide || h.height > kMaxBmpSide) return false;
    const bool topDown = h.height < 0;
    const int width = h.width;
    const int height = topDown ? -h.height : h.height;

    // Palette for the indexed formats, as grey levels.
    std::vector<std::uint8_t> palette;
    if (bits <= 8) {
        std::uint32_t entries = h.coloursUsed == 0 ? (1u << bits) : h.coloursUsed;
        if (entries > (1u << bits)) entries = 1u << bits;
        const std::size_t start = h.palette_offset();
        if (start + entries * 4 > size || start + entries * 4 < start) return false;
        palette.resize(1u << bits, 0);
        for (std::uint32_t i = 0; i < entries; ++i) {
            const std::uint8_t* e = data + start + i * 4;
            palette[i] = luminance(e[0], e[1], e[2]);
        }
    }

    const std::size_t stride = (static_cast<std::size_t>(width) * bits + 31) / 32 * 4;
    if (h.pixelOffset > size || stride * height > size - h.pixelOffset) return false;

    out.width = width;
    out.height = height;
    out.pixels.assign(static_cast<std::size_t>(width) * height, 255);
    for (int y = 0; y < height; ++y) {
        const int fileRow = topDown ? y : height - 1 - y;
        const std::uint8_t* row = data + h.pixelOffset + stride * fileRow;
        std::uint8_t* dst = &out.pixels[static_cast<std::size_t>(y) * width];
        for (int x = 0; x < width; ++x) {
            switch (bits) {
                case 1:
                    dst[x] = palette[(row[x >> 3] >> (7 - (x & 7))) & 1];
                    break;
                case 4:
                    dst[x] = palette[(row[x >> 1] >> ((x & 1) ? 0 : 4)) & 0x0F];
                    break;
                case 8:
                    dst[x] = palette[row[x]];
                    break;
                case 24:
                    dst[x] = luminance(row[x * 3], row[x * 3 + 1], row[x * 3 + 2]);
                    break;
                default:
                    dst[x] = luminance(row[x * 4], row[x * 4 + 1], row[x * 4 + 2]);
                    break;
            }
        }
    }
    return true;
}

bool load_bmp_file(const std::string& path, GreyImage& out) {
    const auto bytes = platform::read_file(path);
    return bytes && decode_bmp(bytes->data(), bytes->size(), out);
}

std::vector<std::uint8_t> encode_grey_bmp(const GreyImage& image, int pixelsPerMetre) {
    const std::size_t stride = (static_cast<std::size_t>(image.width) + 3) / 4 * 4;
    std::vector<std::uint8_t> out;
    out.reserve(1078 + stride * image.height);
    put_headers(out, image.width, image.height, 8, 256, static_cast<std::uint32_t>(stride * image.height),
                pixelsPerMetre);
    for (int i = 0; i < 256; ++i) {
        const auto v = static_cast<std::uint8_t>(i);
        out.insert(out.end(), {v, v, v, 0});
    }
    for (int y = image.height - 1; y >= 0; --y) {
        const std::uint8_t* row = &image.pixels[static_cast<std::size_t>(y) * image.width];
        out.insert(out.end(), row, row + image.width);
        out.insert(out.end(), stride - image.width, 0);
    }
    return out;
}

std::vector<std::uint8_t> encode_mono_bmp(const std::uint8_t* rows, int rowBytes, int width, int height,
                                          int pixelsPerMetre) {
    const std::size_t used = (static_cast<std::size_t>(width) + 7) / 8;
    const std::size_t stride = (static_cast<std::size_t>(width) + 31) / 32 * 4;
    std::vector<std::uint8_t> out;
    out.reserve(62 + stride * height);
    put_headers(out, width, height, 1, 2, static_cast<std::uint32_t>(stride * height), pixelsPerMetre);
    out.insert(out.end(), {0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF});
    for (int y = height - 1; y >= 0; --y) {
        const std::uint8_t* row = rows + static_cast<std::size_t>(y) * rowBytes;
        out.insert(out.end(), row, row + used);
        out.insert(out.end(), stride - used, 0);
    }
    return out;
}

}  // namespace emu
