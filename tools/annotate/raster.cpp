// Copying a scanned picture into a muted grey RGB raster.

#include "raster.h"

namespace annotate {

namespace {

// Grey level black is drawn at, 0 .. 255: dark enough to read the picture,
// light enough that a coloured line on a bar still shows.
constexpr int kInkLevel = 72;

std::uint8_t muted(int level) {
    return static_cast<std::uint8_t>(kInkLevel + level * (255 - kInkLevel) / 255);
}

}  // namespace

bool usable(const PictureView& p) {
    if (p.rows == nullptr || p.width <= 0 || p.height <= 0 || p.width > kMaxSide || p.height > kMaxSide)
        return false;
    if (p.bitCount == 1) return p.stride >= (static_cast<std::size_t>(p.width) + 7) / 8;
    if (p.bitCount == 8) return p.stride >= static_cast<std::size_t>(p.width);
    return false;
}

Raster grey_copy(const PictureView& p) {
    Raster out;
    if (!usable(p)) return out;
    out.width = p.width;
    out.height = p.height;
    out.pixels.resize(static_cast<std::size_t>(p.width) * static_cast<std::size_t>(p.height) * 3);
    const std::uint8_t ink = muted(0);
    std::uint8_t* dst = out.pixels.data();
    for (int y = 0; y < p.height; ++y) {
        const std::uint8_t* row = p.rows + static_cast<std::size_t>(y) * p.stride;
        for (int x = 0; x < p.width; ++x, dst += 3) {
            const std::uint8_t v =
                p.bitCount == 1 ? (((row[x >> 3] >> (7 - (x & 7))) & 1) ? 255 : ink) : muted(row[x]);
            dst[0] = dst[1] = dst[2] = v;
        }
    }
    return out;
}

}  // namespace annotate
