#pragma once
// The ends of an Interleaved 2 of 5 symbol against bars beyond its quiet zones. 2 of 5 carries
// no check: a symbol with one bar knocked out falls apart into two shorter, valid symbols whose
// facing quiet zones are the gap the bar left, and a run of other bars may hold a valid 2 of 5
// whose ends meet those bars' white. A 2 of 5 reading therefore needs, beyond each end, more
// white than a knocked-out bar can leave (a space, the bar and a space, all wide, plus a narrow
// element) before any further bar.

#include "barcode/linear/image.h"
#include "barcode/linear/runs.h"

namespace stripescan {

// In pixels, from the 2 of 5 symbol runs[first .. last] (start and stop included, 10 n + 7
// runs): `gap`, the widest gap that one bar knocked out of it could leave plus a narrow element
// (two wide spaces, a wide bar and the mean narrow element, each the mean over the symbol: the
// 2n + 1 widest bars and the 2n widest spaces are its wide elements), and `narrowBar`, the mean
// narrow bar, and `wideBar`, the mean wide bar. All 0 when the runs are no such symbol.
struct InterleavedWidths {
    double gap = 0;
    double narrowBar = 0;
    double wideBar = 0;
};
InterleavedWidths interleaved_widths(const RunList& runs, int first, int last);

// Whether, beyond each end of the symbol whose corners are `corners` and which reads along
// `direction`, at least kApartPlaces of kEndPlaces places between the end's corners show no bar
// of the symbol's pattern beginning within `widths.gap` of the end: black that runs on along the
// bars, at least kBarShare of `narrowBar` (and a pixel) and at most about one and a half wide
// bars wide (wider black is another object's edge, not the rest of a symbol). The last bar's
// own black next to the corner line is skipped first. Pixels off the page count as white.
constexpr int kEndPlaces = 4;
constexpr int kApartPlaces = 2;
constexpr double kBarShare = 0.5;
bool interleaved_ends_stand_apart(const Image& image, const Point corners[4], Point direction,
                                  const InterleavedWidths& widths);

}  // namespace stripescan
