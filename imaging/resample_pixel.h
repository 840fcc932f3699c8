#pragma once
// One output pixel of the straightening resampler, computed plainly: the
// neighbourhood is read with coordinates clamped into the image, which repeats
// the outermost pixels as a border of copies around the image would. The
// vector loops use these for pixels next to the image edges and for colour
// images, so both paths share one definition of every sample.

#include "imaging/Skewtrim.h"
#include "imaging/resample.h"

#include <algorithm>
#include <cstdint>

namespace skewtrim::pixel {

constexpr int kPhases = 10;       // sub-pixel positions per pixel
constexpr int kWeightShift = 10;  // bicubic weights are in 1/1024
constexpr std::int32_t kCubicMax = 255 << kWeightShift;  // 261120

// Channel byte of source pixel (x, y) with x and y clamped into the image.
template <int kChannels>
inline int clamped(const Bitmap& src, int x, int y, int c) {
    x = std::clamp(x, 0, src.width - 1);
    y = std::clamp(y, 0, src.height - 1);
    return src.rows[y][x * kChannels + c];
}

// Bilinear sample at (x0 + px/10, y0 + py/10) through the product table,
// written as kChannels bytes at `out`.
template <int kChannels>
inline void bilinear(const Bitmap& src, int x0, int y0, int px, int py, std::uint8_t* out) {
    const LinearProducts& t = linear_products();
    const auto& ax = t[static_cast<std::size_t>(kPhases - px)];
    const auto& bx = t[static_cast<std::size_t>(px)];
    const auto& ay = t[static_cast<std::size_t>(kPhases - py)];
    const auto& by = t[static_cast<std::size_t>(py)];
    for (int c = 0; c < kChannels; ++c) {
        const int top = ax[static_cast<std::size_t>(clamped<kChannels>(src, x0, y0, c))] +
                        bx[static_cast<std::size_t>(clamped<kChannels>(src, x0 + 1, y0, c))];
        const int bottom = ax[static_cast<std::size_t>(clamped<kChannels>(src, x0, y0 + 1, c))] +
                           bx[static_cast<std::size_t>(clamped<kChannels>(src, x0 + 1, y0 + 1, c))];
        out[c] = static_cast<std::uint8_t>(ay[static_cast<std::size_t>(top)] + by[static_cast<std::size_t>(bottom)]);
    }
}

// Bicubic sample at (x0 + px/10, y0 + py/10): rows filtered first (each sum
// shifted right by 10, rounding toward minus infinity), then the column; the
// result is clamped to 0..261120 before its final shift.
template <int kChannels>
inline void bicubic(const Bitmap& src, int x0, int y0, int px, int py, std::uint8_t* out) {
    const CubicWeights& w = cubic_weights();
    const auto& wx = w[static_cast<std::size_t>(px)];
    const auto& wy = w[static_cast<std::size_t>(py)];
    for (int c = 0; c < kChannels; ++c) {
        std::int32_t s = 0;
        for (int r = 0; r < 4; ++r) {
            std::int32_t h = 0;
            for (int k = 0; k < 4; ++k) {
                h += wx[static_cast<std::size_t>(k)] * clamped<kChannels>(src, x0 - 1 + k, y0 - 1 + r, c);
            }
            s += wy[static_cast<std::size_t>(r)] * (h >> kWeightShift);
        }
        out[c] = static_cast<std::uint8_t>(std::clamp(s, 0, kCubicMax) >> kWeightShift);
    }
}

}  // namespace skewtrim::pixel
