#pragma once
// The layout of one printed-mark block as a form of the format file gives it, and the
// same layout adapted to one of the four ways the sheet can lie in the image.

#include <cstdint>
#include <optional>
#include <vector>

namespace typemark {

// One row or column of the block: the mark size across it and the distance (dots,
// centre to centre) to the next one; the last entry's gap is 0. In the explicit-coordinates
// layout `size` holds the position and `gap` the second value of the file.
struct TableEntry {
    int size = 0;
    int gap = 0;
};

// Anchor flags, named as the file writes them (index 0..3 of the settings).
enum AnchorFlag { kAnchorL = 0, kAnchorR = 1, kAnchorU = 2, kAnchorD = 3 };

struct PrintedForm {
    int anchor[4] = {0, 0, 0, 0};  // L, R, U, D
    int columnCount = 0;
    std::vector<TableEntry> columns;
    int rowCount = 0;
    std::vector<TableEntry> rows;
    int markWidth = 0;   // dots
    int markHeight = 0;  // dots
    int spanX = 0;       // first to last column, dots
    int spanY = 0;       // first to last row, dots
    bool explicitLayout = false;

    int column_gap(int i) const { return columns[static_cast<std::size_t>(i)].gap; }
    int row_gap(int i) const { return rows[static_cast<std::size_t>(i)].gap; }
};

// Largest row or column count a form may declare; larger values make the form fail
// (no sheet can hold more printed rows than this at the scanner's resolution).
constexpr int kMaxGridLines = 4096;

// Builds a form from the values of one form area at `dpm` dots per millimetre.
// Nothing when the values do not follow the grammar or do not use up the values exactly.
std::optional<PrintedForm> parse_printed_form(const std::vector<double>& values, int dpm);

// Orientations: 0 as read, 1 a quarter turn, 2 half a turn, 3 three quarters.
// The adapted form lists its rows in the order of the image's stored rows and its
// columns in the order of growing x; flag U then means the block's last stored row is
// full, D its first stored row.
PrintedForm adapt_to_orientation(const PrintedForm& form, int orientation);

// Reverses a table: entries in the opposite order, each gap moved to the entry it now follows.
std::vector<TableEntry> reversed_table(const std::vector<TableEntry>& table);

}  // namespace typemark

namespace typemark {

// The form as reading uses it. A grid form is used as loaded. An explicit-coordinates
// form becomes a grid whose gaps are the distances between consecutive positions (the
// mark size comes from its key/value pairs, settings 8 and 10; spans left 0 become the
// sums of the gaps). Nothing when the form cannot be read (no mark size).
std::optional<PrintedForm> layout_for_reading(const PrintedForm& form);

}  // namespace typemark
