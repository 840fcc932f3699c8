// The decoder's process-wide working storage, cleared at the start of every call.
#pragma once

#include <cstdint>
#include <vector>

#include "barcode/pdf417/error_correction.h"
#include "barcode/pdf417/scan_line.h"
#include "barcode/pdf417/symbol_outline.h"

namespace pdf417 {

constexpr int kMaxRows = 90;
constexpr int kMaxDataColumns = 30;
constexpr int kGridColumns = kMaxDataColumns + 2;  // pattern, row indicator, 30 data columns
constexpr int kMaxVotes = 60;
constexpr int kMaxMatches = 300;
constexpr int kMaxWidths = 600;
constexpr int kMaxErasures = 512;
constexpr int kProfileBins = 68;    // samples per codeword profile, 4 per module
constexpr int kMaxProfiles = 2048;  // cells that may hold a profile in one reading

// One cell of a codeword grid. Readings are counted per value (up to four values); the state
// follows from the counts: one reading is Single, a value read more often than any other and at
// least twice is Confirmed, a tie between the most frequent values is a Conflict.
struct Cell {
    enum State : uint8_t { kEmpty = 0, kSingle = 1, kConflict = 2, kConfirmed = 3 };
    static constexpr int kCandidates = 4;
    uint8_t state = kEmpty;
    int16_t newer = 0;  // slot 1: the competing value of a conflict
    int16_t older = 0;  // slot 2: the value of a single or confirmed reading
    uint8_t distinct = 0;
    int16_t value[kCandidates] = {};
    uint16_t count[kCandidates] = {};
    // Pair sums (modules) of every reading that had a codeword's shape here, decoded or not:
    // their mean is read when no line decoded the cell.
    uint16_t sums = 0;
    float sum[6] = {};
    // The summed darkness profile of the lines that crossed this cell on a column boundary
    // (see Workspace::profile), or -1; and how many lines it sums.
    int16_t profile = -1;
    uint16_t profiles = 0;
    void vote(int c);
    void add_sums(const double t[6]) {
        if (sums == 0xFFFF) return;
        ++sums;
        for (int i = 0; i < 6; ++i) sum[i] += static_cast<float>(t[i]);
    }
};

struct Grid {
    Cell cell[kMaxRows][kGridColumns];
};

struct VoteList {
    int count = 0;
    int value[kMaxVotes];
    void add(int v) {
        if (count < kMaxVotes) value[count++] = v;
    }
    // Most frequent value, ties to the one met first; -1 when empty.
    int most_frequent() const;
};

// Pattern matches of one kind during the orientation search.
struct MatchList {
    int count = 0;
    int line[kMaxMatches];      // the line's coordinate (row or column)
    int distance[kMaxMatches];  // steps along the line to the pattern
};

struct Workspace {
    ElementList line;
    ElementList reversed;
    int position[kMaxElements + 1];  // left edge of each element along the line

    MatchList matches[4];  // by PatternKind
    int widths[kMaxWidths];
    int widthCount = 0;

    Grid startSide;
    Grid stopSide;
    VoteList rowGroups, rowRemainders, levels, columns;

    // Where the reading met the patterns' outer edges, for the symbol's corners.
    EdgeSample edgeSamples[kMaxEdgeSamples];
    int edgeSampleCount = 0;
    OutlineFrame outlineFrame;

    int codewords[kMaxCodewords];
    int support[kMaxCodewords];  // how firmly each codeword was read (see merge_grids)
    int erasures[kMaxErasures];
    int readCodewords[kMaxCodewords];  // the sequence as read, before a correction changed it
    int weakOrder[kMaxCodewords];      // the weakly read codewords, weakest first

    // Darkness profiles of cells, summed over the lines that crossed them: kProfileBins samples
    // from the codeword's first boundary over one local codeword width. Handed out to cells in
    // order; only the first profileCount are in use (they are zeroed when handed out).
    float profile[kMaxProfiles][kProfileBins];
    int profileCount = 0;

    // Codewords that earlier looks at grey copies of the same halftone page read (they keep
    // the shape they were read in): a look fills its erasures from them. `pooling` is set only
    // while such copies are read.
    struct Pool {
        enum State : uint8_t { kUnknown = 0, kKnown = 1, kConflict = 2 };
        bool pooling = false;
        int rows = 0, columns = 0, level = -1;
        int value[kMaxCodewords];
        uint8_t state[kMaxCodewords];
    } pool;

    // The speck-filtered copy of a page that did not read (see dot_filter.h); it keeps its
    // capacity between calls, so only a larger page than any before allocates.
    std::vector<uint8_t> filtered;
    // The smoothed copy of a dithered page (barcode::smooth_halftone), kept the same way.
    std::vector<uint8_t> smoothed;

    // Set while a page is looked at with its hollow pattern bars closed (see hollow_bars.h): every
    // line is then merged so before it is searched or read.
    bool closeHollow = false;

    void clear();
    void clear_reading();  // grids, votes and edge samples only
};

// The single instance; calls must not overlap.
Workspace& workspace();

}  // namespace pdf417
