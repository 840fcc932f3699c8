#pragma once
// Border cleanup of a 1-bit working image: ragged dark fringes left along the
// four image borders by the scanner background are set light, while solid
// dark margins (and marks printed near the border) stay.

#include "marks/common/image.h"

namespace marks {

// Cleans the borders of a 1-bit image in place, examining a strip of
// 2 x dotsPerMm pixels along each border. The row padding bits are set light
// first. Does nothing for other depths or an empty image.
void clean_borders(Image& image, int dotsPerMm);

}  // namespace marks
