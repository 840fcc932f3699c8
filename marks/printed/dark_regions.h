#pragma once
// Dark connected regions of the whole image, built from horizontal runs of dark pixels
// linked across neighbouring rows.

#include <vector>

#include "marks/printed/working_image.h"

namespace typemark {

// One dark region; centroids are pixel-coordinate sums divided by the pixel count
// (integer division); width and height are the bounding-box extents.
struct Region {
    int pixels = 0;
    int cx = 0, cy = 0;
    int width = 0, minX = 0, maxX = 0;
    int height = 0, maxY = 0, minY = 0;
};

struct RunRules {
    int minLength;    // shortest run that counts
    int maxLength;    // longest run that counts; a merged run reaching it is dropped
    int mergeGap;     // a counting run starting at most this far after the last one's end joins it
    int minPixels;    // smallest region kept
};

// Rules for printed marks at `dpm` dots per millimetre: runs of dpm / 4 .. 100 x dpm,
// merged across dpm / 4 + 1, regions of 10 pixels or more.
RunRules printed_mark_rules(int dpm);

// The kept regions in labelling order (the order in which they were first met, from
// stored row 0 upward and along each row).
std::vector<Region> find_dark_regions(const WorkingImage& image, const RunRules& rules);

}  // namespace typemark
