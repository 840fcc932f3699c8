#pragma once
// Line fits of the paper measurement: the two-halves fit over run centroids or
// over points, signed point-line distance, and the robust fit of one side.

#include <vector>

#include "imaging/geometry.h"

namespace skewtrim {

// Fit through the mean centroids of the first n/2 runs and of the rest. Lines
// within 0.5 degree of horizontal or vertical snap to it; the angle is unsigned.
// kInvalidArgument for fewer than 2 runs, kDegenerateFit when both means coincide.
int fit_runs(const std::vector<Run>& runs, Line& line);

// Fit through the mean of the first t/2 points of the runs and of the next t/2
// (an odd last point unused); signed angle, no snapping, through the centre.
// Marks the line unfitted first. kInvalidArgument for no runs or fewer than 2
// points, kDegenerateFit when
// both means coincide (the line stays unfitted).
int fit_points(const std::vector<Point>& points, const std::vector<Run>& runs, Line& line);

// Signed distance of (x, y) from the line.
double distance(const Line& line, double x, double y);

// The same, truncated toward zero, as the side fits compare it (held within
// the range of int for absurdly large images).
inline int int_distance(const Line& line, const Point& p) {
    const double d = distance(line, p.x, p.y);
    return static_cast<int>(d < -2e9 ? -2e9 : (d > 2e9 ? 2e9 : d));
}

// Robust fit of side `number` (1 to 4): drops runs that stray from the side's
// line in passes, then keeps every run of the side within 8 pixels of the last
// line. The side keeps only those runs (its line is fitted again later).
// Codes: kInvalidArgument (too few runs, coinciding neighbours), kDegenerateFit,
// kSideWithoutRuns (no run near the line).
int robust_side_fit(Side& side, int number, int tilt);

}  // namespace skewtrim
