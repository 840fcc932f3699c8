#pragma once
// Whether a bar found on a line stands on the page as a bar: for modules so small that blur
// joins the bar to its neighbours on many rows, where tracing it row by row fails.

#include "barcode/linear/image.h"

namespace stripescan {

// True when, of the kBarRows + 1 rows of the bar centred on the point (x, y) (rows at right
// angles to the unit reading direction (ux, uy)), at least kMinBlackShare have a black pixel
// within `reach` pixels of the bar's line. False when the point lies outside the image or
// `reach` is negative.
bool bar_stands(const Image& image, double x, double y, double ux, double uy, double reach);

}  // namespace stripescan
