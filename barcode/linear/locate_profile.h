#pragma once
// Runs along a thick line read against a threshold that follows the line's local contrast: for
// small modules blurred together, where a narrow space between two bars only lightens the band
// instead of turning it white.

#include "barcode/linear/runs.h"

namespace stripescan {

// Coverage (darkest minus lightest within the reach) from which the local contrast places the
// edges: kMinSwing as a rule; kSaltedMinSwing on paper salted with lone dots, where a local
// threshold leaves a narrow bar as a scatter of dots that darkens the band by only a fifth or so.
constexpr double kMinSwing = 0.3;
constexpr double kSaltedMinSwing = 0.2;

// Like band_runs (same sampling every half pixel, same band of 2 * half + 1 points across the
// line, lengths in kBandUnit per pixel), but an edge lies where the coverage crosses the middle
// of the darkest and lightest coverage within `reach` pixels on either side, where those differ
// by `minSwing` or more; elsewhere (quiet zones, flat stretches) where it crosses one half. False
// when the start lies outside the image or `reach` is not positive.
bool contrast_band_runs(const Image& image, double x, double y, double fx, double fy, int half,
                        int maxSamples, int maxRun, double reach, RunList& out, double minSwing = kMinSwing);

}  // namespace stripescan
