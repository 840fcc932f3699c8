// Codewords read from a cell's whole darkness profile, for cells whose edges blur together.
#pragma once

namespace pdf417 {

// Samples a cell's profile holds: kProfileSamplesPerModule per module over 21 modules, from
// 1.5 modules before the cell's start (sample k at k / 4 + 1 / 8 - 1.5 modules from the start).
constexpr int kProfileSamplesPerModule = 4;
constexpr int kProfileSamples = 21 * kProfileSamplesPerModule;
constexpr double kProfileMarginModules = 1.5;

// The page's blur and threshold as seen in a symbol's cells: the blur's standard deviation in
// modules and the darkness level (0..1 of the contrast) above which the page turned dark.
struct ProfileBlur {
    double sigma = 0.0;
    double level = 0.5;
};

// Fits the blur and threshold that best explain `count` profiles of cells whose codeword is
// known (values[i] of cluster clusters[i]), over a grid of blurs and levels. False when fewer
// than kMinKnownCells profiles are given; only the first kMaxCalibrationCells are used.
bool fit_profile_blur(const double* const* profiles, const int* clusters, const int* values, int count,
                      ProfileBlur& blur);

// The codeword of `cluster` whose blurred, thresholded pattern best matches the profile g
// (gain and offset fitted by least squares, the cell's start searched within half a module),
// taken only when the pattern explains most of the profile and every other pattern leaves a
// clearly larger residual; otherwise -1.
int match_profile(const double* g, int cluster, const ProfileBlur& blur);

constexpr int kMinKnownCells = 6;         // known cells the blur is fitted on, at least
constexpr int kMaxCalibrationCells = 48;  // and at most (the rest are not used)

}  // namespace pdf417
