#pragma once
// The canvas an overlay is drawn on: an RGB copy of a scanned picture, three
// bytes a pixel (red, green, blue), rows top first, no padding. Every write
// goes through put(), which drops points outside the raster, so nothing a
// drawing routine is handed can reach memory beyond it.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace annotate {

struct Rgb {
    std::uint8_t r = 0, g = 0, b = 0;
    bool operator==(const Rgb&) const = default;
};

struct Raster {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> pixels;  // width x height x 3 bytes

    bool empty() const { return width <= 0 || height <= 0; }
    bool inside(long long x, long long y) const { return x >= 0 && y >= 0 && x < width && y < height; }
    // Sets one pixel; points outside the raster are ignored.
    void put(long long x, long long y, Rgb c) {
        if (!inside(x, y)) return;
        std::uint8_t* p = &pixels[(static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                                   static_cast<std::size_t>(x)) *
                                  3];
        p[0] = c.r;
        p[1] = c.g;
        p[2] = c.b;
    }
    // The pixel at (x, y); black outside the raster.
    Rgb at(long long x, long long y) const {
        if (!inside(x, y)) return {};
        const std::uint8_t* p = &pixels[(static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                                         static_cast<std::size_t>(x)) *
                                        3];
        return {p[0], p[1], p[2]};
    }
};

// A picture as the scanner hands it out: `height` rows of `stride` bytes,
// top row first; bitCount 1 (packed, most significant bit leftmost, 1 =
// white) or 8 (grey levels, 255 = white).
struct PictureView {
    const std::uint8_t* rows = nullptr;
    int width = 0;
    int height = 0;
    int bitCount = 1;
    std::size_t stride = 0;
};

// The largest picture side the renderer accepts, in pixels.
inline constexpr int kMaxSide = 65535;

// True when `picture` can be read: rows given, sizes 1 .. kMaxSide, bitCount
// 1 or 8 and a stride that holds a row.
bool usable(const PictureView& picture);

// The picture as a muted grey RGB raster (white stays white, black becomes a
// dark grey, so that coloured marks stand out on bars and ink). An empty
// raster when the picture is not usable.
Raster grey_copy(const PictureView& picture);

}  // namespace annotate
