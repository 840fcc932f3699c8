#pragma once
// Removes partial dark borders left along the four image edges (scanner background
// slivers), so that they are not taken for marks.

#include "marks/printed/working_image.h"

namespace typemark {

// Sets the padding bits light, then cleans the left, right, first-row and last-row
// edges in that order, each up to `depth` pixels deep, at `dpm` dots per millimetre.
void clean_borders(WorkingImage& image, int depth, int dpm);

}  // namespace typemark
