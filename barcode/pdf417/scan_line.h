// Scan lines across the image and the element lists they produce.
#pragma once

#include "barcode/pdf417/image_view.h"

namespace pdf417 {

constexpr int kMaxElements = 600;

// Widths in steps (one step = one pixel of length along the line), alternating light and dark;
// element 0 is the light stretch before the first dark pixel.
struct ElementList {
    int count = 0;
    int width[kMaxElements];
};

// Nearest integer to the square root of v (v >= 0).
long isqrt_round(long long v);

// Walks from (x, y) in the direction (dx, dy), one pixel of length per step, until the line
// leaves the image or the list holds kMaxElements elements. The start pixel always counts as
// light. An empty list when the start lies outside the image or the direction is (0, 0).
void scan_line(const ImageView& image, int x, int y, int dx, int dy, ElementList& out);

// Merges elements of `noise` pixels or fewer, with the element after them, into the last
// element kept before them (first and last element always stay).
void merge_noise(ElementList& list, int noise);

}  // namespace pdf417
