#pragma once
// Lines, outlines and boxes on a Raster. Coordinates are pixels of the
// raster as doubles (pixel (x, y) covers [x, x + 1) x [y, y + 1)); any value
// is accepted, also far outside the raster, infinite or not a number: what
// lies outside is clipped, what is not a number is not drawn.

#include "raster.h"

namespace annotate {

struct Point {
    double x = 0, y = 0;
};

// A straight line from a to b, `thickness` pixels wide (a square pen; below
// 1 counts as 1, above kMaxThickness as kMaxThickness).
void draw_line(Raster& raster, Point a, Point b, int thickness, Rgb colour);

// The closed outline through `count` points: 0 to 1, ..., count - 1 back to 0.
void draw_outline(Raster& raster, const Point* points, int count, int thickness, Rgb colour);

// Fills the pixels x0 <= x < x1, y0 <= y < y1 (clipped to the raster).
void fill_box(Raster& raster, long long x0, long long y0, long long x1, long long y1, Rgb colour);

inline constexpr int kMaxThickness = 64;  // pixels

}  // namespace annotate
