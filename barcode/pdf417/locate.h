// Finding the symbol: the band of lines that cross it, its orientation and its skew.
#pragma once

#include "barcode/pdf417/image_view.h"
#include "barcode/pdf417/patterns.h"
#include "barcode/pdf417/workspace.h"

namespace pdf417 {

// Which image edge a family of scan lines starts from; lines start every `spacing` pixels
// along that edge.
enum class Edge { Left, Right, Top, Bottom };

struct Band {
    bool found = false;
    int first = 0;  // coordinate along the edge (row for Left/Right, column for Top/Bottom)
    int last = -1;
    int lines = 0;  // lines that met a pattern
    // The longest run of neighbouring lines whose first pattern lies where the last line's did,
    // give or take the distance between the lines (a pattern edge, not scattered matches).
    int chain = 0;
    // The same for lines that met no pattern but would with a hollow pattern bar closed (only
    // counted when asked for).
    int hollowChain = 0;
    int hollowAlong = 0;  // the coordinate of the last line of that run
    // The same by the pair sums of the pattern's elements (blur or a starved bar pushes a single
    // one-module element of the pattern out of its window).
    int pairHollowChain = 0;
    int pairHollowAlong = 0;  // the coordinate of the last line of that run
};

// Lays lines every 10 pixels from `edge` in direction (dx, dy) and looks at every dark
// element for any start or stop pattern, forward or reversed. The band runs from 10 pixels
// before the first line with a pattern to 10 pixels after the last one, within the image;
// `lines` counts the lines that met one; with `countHollow`, `hollowChain` measures the lines
// that would with a hollow pattern bar closed (see hollow_bars.h), and `pairHollowChain` those that
// would by the pattern's pair sums. With Workspace::closeHollow
// set, every line is closed so first.
Band band_search(const ImageView& image, Edge edge, int dx, int dy, bool countHollow = false);

// The lines 3 pixels apart, in a run through the line at `along` from `edge` and within 40 pixels
// of it (up to 3 lines in a row that miss it skipped), that meet no pattern but would with a
// hollow pattern bar closed, where the last of them had it give or take their distance (as
// `hollowChain` above, whose lines are 10 pixels apart: a symbol of a few rows crosses only 4 or
// 5 of them). 0 when the line at `along` does not. With `pairs`, a line also counts where the
// merged bar fits the whole pattern by its pair sums (see Band::pairHollowChain).
int hollow_run_near(const ImageView& image, Edge edge, int dx, int dy, int along, bool pairs = false);

enum class Orientation { Rows, Columns };

struct SkewResult {
    bool accepted = false;
    int dx = 0, dy = 0;     // scan step vector along the symbol's rows
    int codewordWidth = 0;  // estimated width of one codeword (17 modules), in pixels
    bool upsideDown = false;
    int matches = 0;  // matches of the chosen kind that line up along one edge, accepted or not
};

// Measures the pattern edge inside `band` with lines every 2 pixels (rows: step (3, 0) from
// the left edge; columns: step (0, 3) from the top edge). Rejected when fewer than 15 matches
// line up or when the edge does not run across the lines. The scan direction is the
// perpendicular of a least-squares line through the matches, as a vector of length ~4096.
// `windows`: the pattern test of the matches (Orientation, or OrientationPairs on a second try).
// A short symbol pools the matches of its start and stop edges (6 of each, 15 together; see
// add_other_pattern). When that fails and `loose` is given, it receives the direction that edges
// of 4 matches each and 10 together give, for a last try after both orientations were rejected
// (taken at once, it would let a wrong orientation be accepted before the right one is tried).
SkewResult measure_skew(const ImageView& image, Orientation orientation, const Band& band, int noise,
                        Workspace& ws, PatternWindows windows = PatternWindows::Orientation,
                        SkewResult* loose = nullptr);

}  // namespace pdf417
