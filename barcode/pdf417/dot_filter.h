// A second look at a page that did not read: every pixel replaced by the majority of itself and
// its two neighbours along the bars, which removes the isolated specks that sensor noise and a
// local threshold leave inside wide bars and in the quiet zone, and steadies the ragged bar edges
// of blurred small modules, without moving any edge that runs along the bars.
#pragma once

#include <cstdint>
#include <vector>

#include "barcode/pdf417/image_view.h"

namespace pdf417 {

enum class SpeckAxis {
    Vertical,    // neighbours above and below: bars that run down the page (row orientation)
    Horizontal,  // neighbours left and right: bars that run across it (column orientation)
};

// Writes the filtered copy of `image` into `out` (resized to stride x height bytes, the same
// layout) and returns a view of it. The first and last pixel of the axis keep their value.
ImageView filter_specks(const ImageView& image, SpeckAxis axis, std::vector<uint8_t>& out);

// The same with every pixel light when it or either neighbour along the bars is light: a space
// that ink spread closed on one line but left open on the next is opened on both.
ImageView open_spaces(const ImageView& image, SpeckAxis axis, std::vector<uint8_t>& out);

}  // namespace pdf417
