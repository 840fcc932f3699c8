#pragma once
// The layout of the last successful read, kept for OMReadLayout: every cell and
// timing mark of the fitted form, carried from the sheet back to the picture
// the caller passed.

#include <cstdint>
#include <optional>
#include <vector>

#include "kit/MarkLayout.h"
#include "marks/common/picture_map.h"
#include "marks/handwritten/form_fit.h"
#include "marks/handwritten/form_model.h"
#include "marks/handwritten/measurement.h"

namespace inkmark {

// The steps a read took from the caller's picture to its working image, as far
// as they move pixels.
struct PictureSteps {
    int flip = 0;            // INKMARK_ROWS_*
    int pictureHeight = 0;   // rows of the caller's picture (and of its flipped copy)
    int copyWidth = 0;       // the flipped copy, before resampling
    int resampledWidth = 0;  // the working image after resampling
    int resampledHeight = 0;
    bool straightened = false;
    marks::Affine straightening;  // straightened pixel -> resampled pixel (SkewtrimMap)
    int workHeight = 0;           // rows of the working image the form was fitted on
};

// The map from a sheet point (x the column, y counted from the working
// image's last stored row; pixel edges at whole numbers) to the caller's
// picture (pixel edges at whole numbers, rows as stored).
marks::Affine sheet_to_picture(const PictureSteps& steps);

// The kept layout: what OMReadLayout hands out.
struct LayoutRecord {
    std::int32_t form = 0;
    std::int32_t orientation = MARK_ORIENTATION_UPRIGHT;
    std::int32_t levelCount = 0;
    std::int32_t rows = 0, columns = 0;
    std::vector<MarkCell> cells;
    std::vector<MarkGuide> guides;
    double topEdge[2] = {1.0, 0.0};  // which way the form's top edge runs, before placing
};

// The layout of a fitted and measured form, on the sheet: answer cells then
// code slots, then the matched timing marks of each track. `levels` readings
// are reported per cell (1 .. MARK_LAYOUT_MAX_LEVELS). Throws std::bad_alloc
// when memory runs out.
LayoutRecord build_layout(const OmrForm& form, const FitResult& fit, const std::vector<CellReading>& readings,
                          int levels);

// Carries a layout built on the sheet to the caller's picture and sets its
// orientation from where the form's top edge then points.
void place_layout(LayoutRecord& record, const marks::Affine& sheetToPicture);

// Hands `record` (nothing: no layout) out into `layout` by the rules of
// OMReadLayout: 1 when a layout exists and every cell and guide was written;
// 0 for a null `layout`, no layout (counts 0), or a capacity too small for
// the counts (nothing written to the arrays then, the scalars set).
int copy_layout(const std::optional<LayoutRecord>& record, MarkLayout* layout);

}  // namespace inkmark
