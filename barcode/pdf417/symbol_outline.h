// Where the symbol lies: the outer edges of its start and stop patterns, seen on the lines that
// read it, fitted into the four corners of the symbol in image pixels.
#pragma once

#include <cstdint>

namespace pdf417 {

struct Workspace;

// One line's view of a pattern's outer edge: the boundary point in image pixels (continuous
// coordinates, pixel (x, y) covers [x, x + 1) x [y, y + 1)), the row the line read (1-based)
// and which pattern it was.
struct EdgeSample {
    float x = 0, y = 0;
    int16_t row = 0;
    bool stopSide = false;
    bool reversed = false;  // the line was read against its scan direction
};

constexpr int kMaxEdgeSamples = 2048;  // lines beyond this add no sample

// The reading's scan direction and module width, kept beside the samples.
struct OutlineFrame {
    double dirX = 1, dirY = 0;  // unit vector of the scan direction
    double module = 0;          // pixels per module along the rows
};

// Corners P0..P3 (x, y pairs) of a symbol of `rows` rows and `columns` data columns from the
// edge samples of the last reading in `ws`: P0 the start pattern's outer corner on the first
// row, P1 the stop pattern's on the first row, P2 the stop pattern's on the last row, P3 the
// start pattern's on the last row, rounded to whole pixels. A side without samples is placed
// the symbol's width (17 (columns + 4) + 1 modules) from the other. False when there are no
// samples at all.
bool symbol_corners(const Workspace& ws, int rows, int columns, int32_t corners[8]);

}  // namespace pdf417
