#pragma once
// The layout of a read as the caller sees it: every cell of the fitted block and the marks
// it was anchored on, carried from the working image back to the caller's picture, and
// handed out in the shared MarkLayout records.
//
// Where the straightening took its pixels from is asked only when a layout is asked for:
// a read keeps what it takes to work it out (the fit and a copy of the image straightening
// was given), so that reading does not pay for a second paper measurement.

#include <cstdint>
#include <optional>
#include <vector>

#include "kit/MarkLayout.h"
#include "marks/common/image.h"
#include "marks/common/picture_map.h"
#include "marks/common/skewtrim_binding.h"
#include "marks/printed/block_fit.h"

namespace typemark {

// What a fit found, in terms of the working image and the adapted form.
struct FitReport {
    int form = 0;         // 1-based number of the form in its file
    int orientation = 0;  // the reader's orientation, 0..3
    int rowCount = 0;     // of the adapted form
    int columnCount = 0;
    CellGrid grid;
    BlockPlace place;
    std::vector<float> ratios;  // dark fraction of each cell's box, as place.cells
};

// What a successful read keeps so that its layout can be worked out later: the fit on the
// working image and each step that led there from the caller's picture.
struct ReadTrace {
    FitReport fit;
    marks::Affine preparation;  // the flipped and stretched copy back to the caller's picture
    bool straightened = false;
    std::vector<std::uint8_t> beforeStraightening;  // the copy as straightening was given it
    int widthBefore = 0, heightBefore = 0;
    int widthAfter = 0, heightAfter = 0;  // the working image before any turn (as straightening wrote it)
    bool turned = false;                  // the quarter-turn retry ran
};

// A read's layout in the caller's picture (pixels, pixel centres at + 0.5).
struct SheetLayout {
    int form = 0;
    int orientation = MARK_ORIENTATION_UPRIGHT;  // where the form's top points in the picture
    int rows = 0, columns = 0;                   // the form's grid as printed
    std::vector<MarkCell> cells;                 // row by row of the printed form
    std::vector<MarkGuide> guides;
};

// Position in the printed form (row 0 at its top, column 0 at its left) of the adapted grid's
// cell (j, i), for a fit in `orientation` of an adapted grid of rowCount x columnCount.
struct FormPosition {
    int row = 0, column = 0;
};
FormPosition form_position(int orientation, int rowCount, int columnCount, int j, int i);

// Dark fraction of every cell box of `place` on the 1-bit working image, 0 .. 1.
std::vector<float> cell_ratios(const BlockPlace& place, const marks::Image& working);

// The layout of `fit`. `toPicture` carries a working-image pixel (pixel centres at whole
// numbers) to the caller's picture, same convention.
SheetLayout make_layout(const FitReport& fit, const marks::Affine& toPicture);

// The layout a read traced. A straightened read asks `skewtrimMap` where straightening took
// its pixels from; nothing when it is null, fails, or promises another size than the
// straightening wrote.
std::optional<SheetLayout> layout_of(const ReadTrace& trace, marks::SkewtrimMapFn skewtrimMap);

// Hands `layout` out (null: there is none): scalars and counts always (counts 0 without a
// layout), the cells when they fit cellCapacity, the guides when they fit guideCapacity
// (a null array holds nothing). 1 when a layout exists and all of it was written, else 0.
int hand_out(const SheetLayout* layout, MarkLayout* out);

}  // namespace typemark
