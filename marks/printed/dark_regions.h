#pragma once
// Dark connected regions of the whole image: dark runs of every row, linked across
// neighbouring rows into regions (the readers' shared labelling).

#include <vector>

#include "marks/common/image.h"
#include "marks/common/regions.h"

namespace typemark {

using Region = marks::MarkBlob;

// Rules for printed marks at `dpm` dots per millimetre: runs of dpm / 4 .. 100 x dpm,
// runs within dpm / 4 + 1 pixels joined.
marks::RunRules printed_mark_rules(int dpm);

// Smallest region kept, in pixels.
constexpr int kMinRegionPixels = 10;

// The kept regions of a 1-bit image in labelling order (the order in which the regions
// were first met, from stored row 0 upward and along each row). Width and height are the
// bounding-box extents.
std::vector<Region> find_dark_regions(const marks::Image& image, int dpm);

}  // namespace typemark
