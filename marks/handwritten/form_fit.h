#pragma once
// Fitting a form to the timing marks found along the image edges: which
// orientation the sheet lies in and which image marks are the form's tracks.

#include <array>
#include <vector>

#include "marks/common/image.h"
#include "marks/handwritten/edge_scan.h"
#include "marks/handwritten/form_model.h"

namespace inkmark {

using EdgeLists = std::array<EdgeList, 4>;  // indexed by Edge

// The image marks matched to one track of the form, one per mark, in the
// track's kept order.
struct TrackMatch {
    int track = -1;
    Edge edge = kEdgeL;
    std::vector<marks::MarkBlob> blobs;
};

struct FitResult {
    int orientation = 0;
    std::vector<TrackMatch> matches;  // the locating track first
};

enum class FitOutcome { Fitted, NoFit, OutOfMemory };

// Fits `form` to the edge lists of `work`. The lists are not changed (a track
// sought by a fresh band scan uses a list of its own).
FitOutcome fit_form(const OmrForm& form, const EdgeLists& lists, const marks::Image& work, FitResult& out);

// Spacing tolerance of a gap of `gap` dots: ftol(gap x 0.015 + dpm + 2).
int gap_tolerance(int gap);

// Whether an image mark matches a form mark by size (either way round).
bool size_matches(const marks::MarkBlob& blob, const OmrCell& mark);

}  // namespace inkmark
