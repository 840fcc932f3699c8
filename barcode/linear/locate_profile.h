#pragma once
// Runs along a thick line read against a threshold that follows the line's local contrast: for
// small modules blurred together, where a narrow space between two bars only lightens the band
// instead of turning it white.

#include "barcode/linear/runs.h"

namespace stripescan {

// Like band_runs (same sampling every half pixel, same band of 2 * half + 1 points across the
// line, lengths in kBandUnit per pixel), but an edge lies where the coverage crosses the middle
// of the darkest and lightest coverage within `reach` pixels on either side, where those differ
// by kMinSwing or more; elsewhere (quiet zones, flat stretches) where it crosses one half. False
// when the start lies outside the image or `reach` is not positive.
bool contrast_band_runs(const Image& image, double x, double y, double fx, double fy, int half,
                        int maxSamples, int maxRun, double reach, RunList& out);

}  // namespace stripescan
