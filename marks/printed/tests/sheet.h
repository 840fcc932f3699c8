#pragma once
// Sheets drawn by the tests: paper on a dark scanner background with a block of small
// printed rectangles, as the scanner delivers it (top line of the sheet first), and the
// format-file text that describes the block.

#include <cstdint>
#include <string>
#include <vector>

namespace sheet {

// One byte per pixel while drawing: 1 light, 0 dark.
struct Picture {
    int width = 0, height = 0;
    std::vector<std::uint8_t> px;
    Picture() = default;
    Picture(int w, int h, std::uint8_t fill)
        : width(w), height(h), px(static_cast<std::size_t>(w) * h, fill) {}
    std::uint8_t& at(int x, int y) { return px[static_cast<std::size_t>(y) * width + x]; }
    std::uint8_t at(int x, int y) const { return px[static_cast<std::size_t>(y) * width + x]; }
    void fill(int x0, int y0, int x1, int y1, std::uint8_t v);  // [x0, x1) x [y0, y1), clipped
};

struct Block {
    double markWidth = 2.0, markHeight = 2.0;  // mm
    std::vector<double> columnPitch;           // mm, columns - 1 entries
    std::vector<double> rowPitch;              // mm, rows - 1 entries
    std::vector<std::string> cells;            // rows from the top, '1' printed
    double left = 20.0, top = 20.0;            // mm from the paper's top-left corner to mark (0,0)'s corner
};

struct Layout {
    int dpm = 8;
    int width = 1728, height = 1200;  // pixels
    int margin = 40;                  // dark background around the paper, pixels
    Block block;
    // Extra printed rows below the block: distance (mm, centre to centre from the last row).
    std::vector<double> extraRowsBelow;
};

// The sheet as the scanner delivers it: top line first, `dpm` dots per mm both ways.
Picture render(const Layout& layout);

// A point of a picture: x along a row, y down the rows, pixel edges at whole numbers.
struct Point {
    double x = 0.0, y = 0.0;
};
// Where render draws (or would draw) the mark of the block's row r and column c: its
// top-left, top-right, bottom-right and bottom-left corners.
std::vector<Point> drawn_cell(const Layout& layout, int r, int c);

Picture turn_clockwise(const Picture& p);
Picture turn_counter_clockwise(const Picture& p);
Picture turn_half(const Picture& p);
Picture reverse_rows(const Picture& p);
// Turned by a small angle about the centre (nearest pixel); uncovered corners are dark.
Picture skew(const Picture& p, double degrees);
// Every n-th line from the first (a scan at 1/n of the line resolution).
Picture keep_every(const Picture& p, int n);

// Packed 1-bit rows of (width + 7) / 8 bytes, 1 = light.
std::vector<std::uint8_t> pack(const Picture& p);
Picture unpack(const std::uint8_t* rows, int width, int height);

// Values of a grid form: the key/value pairs, the sizes line and gaps of `block`
// (uniform pitches written as "1, pitch"), optional spans, two final values.
std::string grid_form(const std::vector<std::pair<int, int>>& pairs, const Block& block,
                      bool withSpans = false, const std::string& title = "printed marks");

// The result text the reader gives for a block read in any orientation: the cell count,
// then the rows from the bottom of the block up, each from its first column.
std::string expected_text(const Block& block);

// Writes `content` to a file in the test's temporary folder and returns its path.
std::string write_temp(const std::string& name, const std::string& content);

}  // namespace sheet
