#pragma once
// The in-memory model of the format file's forms: tracks of timing marks,
// answer cells, threshold ratios and code slots. Lengths are in dots of the
// working image (8 per millimetre).

#include <cstdint>
#include <vector>

#include "marks/handwritten/Inkmark.h"

namespace inkmark {

inline constexpr int kDotsPerMm = 8;
inline constexpr int kMaxLevels = INKMARK_MAX_LEVELS;

// Track kinds: vertical tracks (marks stacked at a fixed x) and horizontal
// tracks (marks side by side at a fixed y).
enum TrackKind : int { kLeft = 0, kRight = 1, kBottom = 2, kTop = 3 };

inline bool is_vertical(int kind) {
    return kind == kLeft || kind == kRight;
}

// One answer cell or timing mark: centre and size in dots. For cells the
// centre becomes relative to the tracks after loading (offsets toward the
// sheet's interior); formX/formY keep the absolute centre.
struct OmrCell {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    int formX = 0;
    int formY = 0;
};

struct OmrTrack {
    int kind = 0;
    int markCount = 0;
    int markWidth = 0;
    int markHeight = 0;
    std::vector<int> gaps;
    std::vector<OmrCell> marks;  // in kept order (kinds 1 and 3 reversed)
    int line = 0;
    std::vector<int> positions;  // regular form: listed centre positions along the track
    int role = 0;
    int openEnded = 0;
    int nearest = 0;  // index of the mark nearest the other track (two-track forms)
};

struct OmrForm {
    int trackCount = 0;
    std::vector<OmrTrack> tracks;
    int pairOffset[4][4] = {};
    int codeFromLast = 0;
    int codeSlotCount = 0;
    int codeSlotPitch = 0;
    int codeSlotStart = 0;
    int cellCount = 0;
    std::vector<OmrCell> cells;  // list cells; a grid's cells are made by materialize_cells
    int bodyKind = 0;            // 0 list, 1 grid, anything else: no cells
    int cellWidth = 0;
    int cellHeight = 0;
    int rowCount = 0;
    std::vector<int> rowY;  // absolute centres
    int columnCount = 0;
    std::vector<int> columnX;  // absolute centres
    int ratioCount = 1;
    double markedRatio = 0.0;
    double doubtfulRatio = 0.0;
    int filePosition = 0;  // 0-based place in the file
};

// The forms of one format file and their trial order.
struct OmrFormList {
    std::vector<OmrForm> forms;
    std::vector<int> order;
};

}  // namespace inkmark
