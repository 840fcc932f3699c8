#include "grey_picture.h"

#include <algorithm>
#include <cmath>
#include <fstream>

#include "kit/bmp_header.h"

namespace samples {
namespace {

constexpr int kDotsPerMetre = 7875;  // 8 dots per millimetre
constexpr int kGreyLevels = 256;
constexpr std::uint32_t kHeaderBytes =
    kit::bmp::kFileHeaderBytes + kit::bmp::kInfoHeaderBytes + kGreyLevels * kit::bmp::kPaletteEntryBytes;

}  // namespace

GreyPicture::GreyPicture(int w, int h, std::uint8_t fill)
    : width(w), height(h), px(static_cast<std::size_t>(w) * static_cast<std::size_t>(h), fill) {}

void GreyPicture::fill(int x0, int y0, int x1, int y1, std::uint8_t value) {
    x0 = std::max(x0, 0);
    y0 = std::max(y0, 0);
    x1 = std::min(x1, width);
    y1 = std::min(y1, height);
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) at(x, y) = value;
}

void GreyPicture::blit(const std::vector<std::uint8_t>& dark, int w, int h, int x, int y, int moduleDots,
                       int rowDots) {
    for (int r = 0; r < h; ++r)
        for (int c = 0; c < w; ++c)
            if (dark[static_cast<std::size_t>(r) * static_cast<std::size_t>(w) +
                     static_cast<std::size_t>(c)] != 0)
                fill(x + c * moduleDots, y + r * rowDots, x + (c + 1) * moduleDots, y + (r + 1) * rowDots,
                     kBlack);
}

GreyPicture turned(const GreyPicture& p, double degrees, int width, int height, std::uint8_t background) {
    GreyPicture out(width, height, background);
    const double a = degrees * 3.14159265358979323846 / 180.0;
    const double c = std::cos(a), s = std::sin(a);
    const double cx = width / 2.0, cy = height / 2.0, pcx = p.width / 2.0, pcy = p.height / 2.0;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            // Inverse turn of the output dot's centre back onto the picture.
            const double u = x + 0.5 - cx, v = y + 0.5 - cy;
            const double sx = c * u + s * v + pcx, sy = -s * u + c * v + pcy;
            if (sx < 0 || sy < 0 || sx >= p.width || sy >= p.height) continue;
            out.at(x, y) = p.at(static_cast<int>(sx), static_cast<int>(sy));
        }
    }
    return out;
}

bool write_grey_bmp(const GreyPicture& p, const std::string& path) {
    const auto stride = static_cast<std::uint32_t>(kit::bmp::stored_row_bytes(p.width, 8));
    const std::uint32_t imageSize = stride * static_cast<std::uint32_t>(p.height);
    std::vector<std::uint8_t> out;
    out.reserve(kHeaderBytes + imageSize);
    kit::bmp::Header h;
    h.fileSize = kHeaderBytes + imageSize;
    h.pixelOffset = kHeaderBytes;
    h.width = p.width;
    h.height = p.height;  // rows stored bottom-up
    h.bitCount = 8;
    h.imageSize = imageSize;
    h.xPixelsPerMetre = kDotsPerMetre;
    h.yPixelsPerMetre = kDotsPerMetre;
    h.coloursUsed = kGreyLevels;
    kit::bmp::encode_headers(out, h);
    for (int i = 0; i < kGreyLevels; ++i) {
        const auto v = static_cast<std::uint8_t>(i);
        out.insert(out.end(), {v, v, v, 0});
    }
    for (int y = p.height - 1; y >= 0; --y) {
        const std::uint8_t* row = &p.px[static_cast<std::size_t>(y) * static_cast<std::size_t>(p.width)];
        out.insert(out.end(), row, row + p.width);
        out.insert(out.end(), stride - static_cast<std::uint32_t>(p.width), 0);
    }
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(out.data()), static_cast<std::streamsize>(out.size()));
    return static_cast<bool>(file);
}

}  // namespace samples
