#pragma once
// One output pixel of the straightening resampler, computed plainly: the
// neighbourhood is read with coordinates clamped into the image, which repeats
// the outermost pixels as a border of copies around the image would. The
// vector loops use these for pixels next to the image edges and for colour
// images, so both paths share one definition of every sample.

#include <algorithm>
#include <cstdint>

#include "imaging/Skewtrim.h"
#include "imaging/resample.h"

namespace skewtrim::pixel {

constexpr int kPhases = 10;                              // sub-pixel positions per pixel
constexpr int kWeightShift = 10;                         // bicubic weights are in 1/1024
constexpr std::int32_t kCubicMax = 255 << kWeightShift;  // 261120

// The kTaps x kTaps neighbourhood whose first pixel is (x, y): row pointers
// straight into the source when it lies inside, else into `patch`, a copy with
// the coordinates clamped into the image.
template <int kChannels, int kTaps>
inline void neighbourhood(const Bitmap& src, int x, int y, std::uint8_t (&patch)[kTaps][kTaps * kChannels],
                          const std::uint8_t* (&rows)[kTaps]) {
    if (x >= 0 && y >= 0 && x + kTaps <= src.width && y + kTaps <= src.height) {
        for (int r = 0; r < kTaps; ++r) {
            rows[r] = src.rows[y + r] + x * kChannels;
        }
        return;
    }
    for (int r = 0; r < kTaps; ++r) {
        const std::uint8_t* in = src.rows[std::clamp(y + r, 0, src.height - 1)];
        for (int k = 0; k < kTaps; ++k) {
            const int cx = std::clamp(x + k, 0, src.width - 1);
            for (int c = 0; c < kChannels; ++c) {
                patch[r][k * kChannels + c] = in[cx * kChannels + c];
            }
        }
        rows[r] = patch[r];
    }
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
    std::uint8_t patch[2][2 * kChannels];
    const std::uint8_t* rows[2];
    neighbourhood<kChannels, 2>(src, x0, y0, patch, rows);
    for (int c = 0; c < kChannels; ++c) {
        const int top = ax[rows[0][c]] + bx[rows[0][c + kChannels]];
        const int bottom = ax[rows[1][c]] + bx[rows[1][c + kChannels]];
        out[c] = static_cast<std::uint8_t>(ay[static_cast<std::size_t>(top)] +
                                           by[static_cast<std::size_t>(bottom)]);
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
    std::uint8_t patch[4][4 * kChannels];
    const std::uint8_t* rows[4];
    neighbourhood<kChannels, 4>(src, x0 - 1, y0 - 1, patch, rows);
    for (int c = 0; c < kChannels; ++c) {
        std::int32_t s = 0;
        for (int r = 0; r < 4; ++r) {
            const std::uint8_t* p = rows[r] + c;
            const std::int32_t h =
                wx[0] * p[0] + wx[1] * p[kChannels] + wx[2] * p[2 * kChannels] + wx[3] * p[3 * kChannels];
            s += wy[static_cast<std::size_t>(r)] * (h >> kWeightShift);
        }
        out[c] = static_cast<std::uint8_t>(std::clamp(s, 0, kCubicMax) >> kWeightShift);
    }
}

}  // namespace skewtrim::pixel
