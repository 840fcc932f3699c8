#pragma once
// The straightening resampler: turns the measured paper upright and cuts it out
// into a new unpadded record of the plan's size.

#include <array>
#include <cstdint>
#include <vector>

#include "imaging/Skewtrim.h"
#include "imaging/outline.h"

namespace skewtrim {

// Resampling methods chosen by the caller's mode (1-bit sources always nearest).
enum Mode : int {
    kBicubic = SKEWTRIM_MODE_BICUBIC,
    kBilinear = SKEWTRIM_MODE_BILINEAR,
    kNearest = SKEWTRIM_MODE_NEAREST
};

// Colour of everything outside the paper: blue, green, red bytes.
using FillColour = std::array<std::uint8_t, 3>;
constexpr FillColour kFillColour = {255, 0, 0};

// Bicubic weights in 1/1024, 10 phases by 4 taps (cubic convolution, a = -1).
using CubicWeights = std::array<std::array<std::int32_t, 4>, 10>;
const CubicWeights& cubic_weights();

// Bilinear products ((v + 1) x w) / 10 for weights 0..10 and values 0..255,
// with the last entries of rows 5, 7 and 9 lowered so that complementary
// weights never sum above 255.
using LinearProducts = std::array<std::array<std::uint8_t, 256>, 11>;
const LinearProducts& linear_products();

// Source offsets of output pixels: entry k is cos (resp. sin) of the angle
// added k times, for k up to max((W-1)/2, (H-1)/2) + 10.
struct OffsetTables {
    std::vector<double> cosines;
    std::vector<double> sines;
    OffsetTables(double theta, int width, int height);
};

// Output rows first .. end - 1: the share of one thread.
struct RowRange {
    int first;
    int end;
};

// Fills `dst` with the straightened paper. Codes: kInvalidArgument for an invalid request (missing
// record or fill, size not positive, centre or mask outside the source), the
// check code of the source, kOutOfMemory; `dst` is written only on success.
int resample(const Bitmap* src, const StraightenPlan& plan, int mode, const std::uint8_t* fill, Bitmap* dst);

// The pixel loops resample() runs: the vector ones when the processor has
// AVX2 (checked once, at run time), else the plain ones. Both give the same
// bytes; tests force the plain loops to check that on any machine.
enum class ResamplePath { Vector, Plain };
ResamplePath resample_path();
void force_plain_resample_for_testing(bool plain);

// Threads a call uses for an output of `pixels` pixels in `rows` rows: one
// per kMinPixelsPerThread (400 000) output pixels, at most the limit (the
// environment variable SKEWTRIM_THREADS when it holds a whole number from 1
// up, else the processor's hardware threads up to 4), at most one per row.
// The rows are independent, so the bytes are the same with any count.
int resample_threads(std::int64_t pixels, int rows);
// Tests: every call uses exactly `threads` threads (at most one per row); 0
// restores the rule.
void set_resample_threads_for_testing(int threads);

}  // namespace skewtrim
