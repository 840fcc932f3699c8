#pragma once
// The fixed-point line walk shared by polygon drawing, symbol fills and scan lines.

#include <cstdint>
#include <functional>
#include <vector>

#include "barcode/linear/image.h"

namespace stripescan {

// Walks from `start` in the direction of `step` in pixel steps (each step moves by at most one
// pixel on each axis, about one pixel of length along the line) until the walk has passed the
// column (or row) of `stop`. Calls `visit` for every point; the first one is `start`. `visit`
// answers false to end the walk early. A zero step visits the start point only. `limit` bounds
// the number of points visited.
void walk_line(Point start, Point step, Point stop, const std::function<bool(Point)>& visit,
               std::int64_t limit = 1 << 24);

// The visited points as offsets from the start.
std::vector<Point> line_offsets(Point start, Point step, Point stop, std::int64_t limit = 1 << 24);

// Clears every pixel of the closed polygon outline to black; false (nothing drawn) when a point
// lies outside the image.
bool draw_polygon(Image& image, const std::int32_t* points, int count);

// Fills the quadrilateral p[0..3] (the corners of a result) white, clipped to the image.
void fill_quadrilateral(Image& image, const Point corners[4]);

// The right-most column the fill of `corners` reaches on row y (the nearest row of the fill
// when y lies outside it).
int fill_right_column(const Point corners[4], int y);

}  // namespace stripescan
