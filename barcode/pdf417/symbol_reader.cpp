#include "barcode/pdf417/symbol_reader.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "barcode/pdf417/codeword_reader.h"
#include "barcode/pdf417/patterns.h"
#include "barcode/pdf417/scan_line.h"

namespace pdf417 {
namespace {

constexpr int kIndicatorTolerance = 10;  // pixels between a row indicator and the estimate
constexpr int kEstimateTolerance = 8;    // pixels between a codeword and the estimate
constexpr int kMeanTolerance = 5;        // pixels between a codeword and the running mean
constexpr int kToleranceWidth = 68;      // codeword width (pixels) the two tolerances are for
constexpr int kEstimateCodewords = 10;   // codewords placed with the estimate before the mean
constexpr int kMeanCodewords = 199;      // codewords that feed the running mean
constexpr int kMinPatternBar = 8;        // pixels
constexpr double kAlignShare = 0.1;      // of a codeword width: how far a codeword may start
constexpr double kAlignMinimum = 3.0;    // pixels     off its column boundary

enum class Side { Start, Stop };

// Width tolerances: 8 pixels against the estimate and 5 against the running mean for codewords
// of 68 pixels (4 pixels per module) or wider; narrower codewords get the same share of their
// width, so that at 2 pixels per module a codeword two modules too wide or narrow is not taken.
int estimate_tolerance(int estimate) {
    return std::clamp(estimate * kEstimateTolerance / kToleranceWidth, 3, kEstimateTolerance);
}
double mean_tolerance(double mean) {
    return std::clamp(mean * kMeanTolerance / kToleranceWidth, 2.0, static_cast<double>(kMeanTolerance));
}

// State that lives across the lines of one call.
struct ReadState {
    int estimate = 0;
    int estimateTolerance = 0;
    int forwardPatterns = 0;
    int reversedPatterns = 0;
    bool anyPattern = false;
    int accepted = 0;
    long meanSum = 0;
    int meanCount = 0;
    // The line being read: its start pixel, unit direction, and whether its elements are
    // being read backwards.
    int lineX = 0, lineY = 0;
    double unitX = 1, unitY = 0;
    bool lineReversed = false;
};

// Records where the line met the outer edge of its pattern (the start pattern's first bar or
// the stop pattern's last bar, element `s` of the list `e` being read), for the corners.
void record_edge(Workspace& ws, const ElementList& e, int s, Side side, int row, const ReadState& st) {
    if (ws.edgeSampleCount >= kMaxEdgeSamples) return;
    const int* pos = ws.position;
    const bool start = side == Side::Start;
    int k = start ? pos[s] : pos[s + 9] - 1;  // the pattern's outermost pixel, in reading order
    if (st.lineReversed) k = pos[e.count] - 1 - k;
    // The boundary lies half a pixel outside that pixel's centre.
    const double along = k + ((start != st.lineReversed) ? -0.5 : 0.5);
    EdgeSample& sample = ws.edgeSamples[ws.edgeSampleCount++];
    sample.x = static_cast<float>(st.lineX + 0.5 + along * st.unitX);
    sample.y = static_cast<float>(st.lineY + 0.5 + along * st.unitY);
    sample.row = static_cast<int16_t>(row);
    sample.stopSide = !start;
    sample.reversed = st.lineReversed;
}

void vote_indicator(Workspace& ws, Side side, int value, int cluster) {
    const int v = value % 30;
    const bool left = side == Side::Start;
    const int groupCluster = left ? 0 : 3, levelCluster = left ? 3 : 6, columnCluster = left ? 6 : 0;
    if (cluster == groupCluster) {
        ws.rowGroups.add(v * 3 + 1);
    } else if (cluster == levelCluster) {
        ws.levels.add(v / 3);
        ws.rowRemainders.add(v % 3);
    } else if (cluster == columnCluster) {
        ws.columns.add(v + 1);
    }
}

// Reads one line from the pattern whose first element is `s` in the forward-ordered list `e`.
// Returns false when the row indicator is not accepted (the caller walks on).
bool read_from_pattern(Workspace& ws, const ElementList& e, int s, Side side, ReadState& st) {
    int* pos = ws.position;
    pos[0] = 0;
    for (int i = 0; i < e.count; ++i) pos[i + 1] = pos[i] + e.width[i];

    const int indicator = side == Side::Start ? s + 8 : s - 8;
    if (indicator < 0 || indicator + 8 > e.count) return false;
    const Codeword row = read_codeword(&e.width[indicator]);
    if (row.value < 0 || std::abs(row.width - st.estimate) > kIndicatorTolerance) return false;

    const int r = 3 * (row.value / 30) + row.cluster / 3 + 1;
    if (r > kMaxRows) return true;
    vote_indicator(ws, side, row.value, row.cluster);
    record_edge(ws, e, s, side, r, st);

    Grid& grid = side == Side::Start ? ws.startSide : ws.stopSide;
    const int step = side == Side::Start ? 8 : -8;
    const int skip = side == Side::Start ? 2 : -2;
    int previousColumn = -1;
    for (int p = indicator; p >= 0 && p + 8 <= e.count;) {
        const bool haveMean = st.accepted >= kEstimateCodewords && st.meanCount > 0;
        const double mean = st.meanCount > 0 ? static_cast<double>(st.meanSum) / st.meanCount : 0.0;
        const double reference = haveMean ? mean : static_cast<double>(st.estimate);
        const int distance = side == Side::Start ? pos[p] - pos[s] : pos[s] - pos[p];
        const int column = static_cast<int>(distance / reference + 0.5);
        if (column >= kGridColumns) break;

        const Codeword cw = read_codeword(&e.width[p]);
        bool ok = cw.value >= 0 && cw.cluster == row.cluster &&
                  (std::abs(cw.width - st.estimate) <= st.estimateTolerance ||
                   (st.meanCount > 0 && std::fabs(cw.width - mean) <= mean_tolerance(mean)));
        // Once the mean width is known, a codeword must also start on a column boundary: after
        // a rejection the walk moves on by two elements, and a reading that begins inside a
        // codeword can decode (runs of the same codeword, such as padding, do so every time).
        if (ok && haveMean &&
            std::fabs(distance - column * reference) > std::max(kAlignMinimum, kAlignShare * reference))
            ok = false;
        if (!ok) {
            p += skip;
            continue;
        }
        if (column != previousColumn && st.accepted < kMeanCodewords) {
            st.meanSum += cw.width;
            ++st.meanCount;
        }
        ++st.accepted;
        previousColumn = column;
        grid.cell[r - 1][column].vote(cw.value);
        p += step;
    }
    return true;
}

// Walks one merged line for its first usable pattern and reads the line from it.
void read_line(Workspace& ws, ReadState& st) {
    const ElementList& e = ws.line;
    for (int i = 1; i < e.count; i += 2) {
        if (e.width[i] < kMinPatternBar) continue;
        for (int k = 0; k < 4; ++k) {
            const PatternKind kind = static_cast<PatternKind>(k);
            if (!matches_pattern(e.width, e.count, i, kind, PatternWindows::Search)) continue;
            st.anyPattern = true;
            const bool reversed = is_reversed(kind);
            if (reversed)
                ++st.reversedPatterns;
            else
                ++st.forwardPatterns;
            if (reversed ? st.reversedPatterns <= st.forwardPatterns
                         : st.forwardPatterns <= st.reversedPatterns)
                continue;
            const Side side =
                (kind == PatternKind::Start || kind == PatternKind::ReversedStart) ? Side::Start : Side::Stop;
            bool fixed;
            st.lineReversed = reversed;
            if (!reversed) {
                fixed = read_from_pattern(ws, e, i, side, st);
            } else {
                // Read the line backwards: the widest bar at i becomes a forward pattern.
                ws.reversed.count = e.count;
                for (int j = 0; j < e.count; ++j) ws.reversed.width[j] = e.width[e.count - 1 - j];
                fixed = read_from_pattern(ws, ws.reversed, e.count - 1 - i, side, st);
            }
            if (fixed) return;
        }
    }
}

void read_one(const ImageView& image, int x, int y, const SkewResult& skew, int noise, Workspace& ws,
              ReadState& st) {
    st.lineX = x;
    st.lineY = y;
    scan_line(image, x, y, skew.dx, skew.dy, ws.line);
    merge_noise(ws.line, noise);
    read_line(ws, st);
}

}  // namespace

bool read_symbol_lines(const ImageView& image, Orientation orientation, const SkewResult& skew, int noise,
                       Workspace& ws) {
    ReadState st;
    st.estimate = skew.codewordWidth;
    st.estimateTolerance = estimate_tolerance(st.estimate);
    const double length = std::hypot(static_cast<double>(skew.dx), static_cast<double>(skew.dy));
    if (length > 0) {
        st.unitX = skew.dx / length;
        st.unitY = skew.dy / length;
    }
    if (orientation == Orientation::Rows) {
        // Lines from the left edge; where the symbol's rows leave through the top or bottom
        // edge before reaching column 0, lines also start on that edge.
        Band rows = band_search(image, Edge::Left, skew.dx, skew.dy);
        if (rows.found)
            for (int y = rows.first; y <= rows.last; ++y) read_one(image, 0, y, skew, noise, ws, st);
        if (skew.dy != 0) {
            const bool fromTop = skew.dy > 0;
            const bool reachesEdge =
                !rows.found || (fromTop ? rows.first == 0 : rows.last == image.height - 1);
            if (reachesEdge) {
                Band cols = band_search(image, fromTop ? Edge::Top : Edge::Bottom, skew.dx, skew.dy);
                if (cols.found)
                    for (int x = cols.first; x <= cols.last; ++x)
                        read_one(image, x, fromTop ? 0 : image.height - 1, skew, noise, ws, st);
            }
        }
    } else {
        Band cols = band_search(image, Edge::Top, skew.dx, skew.dy);
        if (cols.found)
            for (int x = cols.first; x <= cols.last; ++x) read_one(image, x, 0, skew, noise, ws, st);
        if (skew.dx != 0) {
            const bool fromLeft = skew.dx > 0;
            const bool reachesEdge =
                !cols.found || (fromLeft ? cols.first == 0 : cols.last == image.width - 1);
            if (reachesEdge) {
                Band rows = band_search(image, fromLeft ? Edge::Left : Edge::Right, skew.dx, skew.dy);
                if (rows.found)
                    for (int y = rows.first; y <= rows.last; ++y)
                        read_one(image, fromLeft ? 0 : image.width - 1, y, skew, noise, ws, st);
            }
        }
    }
    ws.outlineFrame.dirX = st.unitX;
    ws.outlineFrame.dirY = st.unitY;
    const double codeword = st.meanCount > 0 ? static_cast<double>(st.meanSum) / st.meanCount : st.estimate;
    ws.outlineFrame.module = codeword / 17.0;
    return st.anyPattern;
}

bool shape_from_votes(const Workspace& ws, SymbolShape& shape) {
    int group = ws.rowGroups.most_frequent();
    int remainder = ws.rowRemainders.most_frequent();
    int columns = ws.columns.most_frequent();
    int level = ws.levels.most_frequent();
    if (group < 0 || remainder < 0 || columns < 0 || level < 0) return false;
    shape.rows = group + remainder;
    shape.columns = columns;
    shape.level = level;
    if (shape.rows > kMaxRows || shape.columns > kMaxDataColumns || shape.level > 8) return false;
    // A symbol has at least 3 rows; fewer can only come from misread indicators.
    if (shape.rows < 3 || shape.columns < 1) return false;
    const int n = shape.rows * shape.columns;
    return n <= kMaxCodewords && n > (2 << shape.level);
}

int merge_grids(Workspace& ws, const SymbolShape& shape) {
    int erasureCount = 0;
    for (int r = 0; r < shape.rows; ++r) {
        for (int c = 2; c < shape.columns + 2; ++c) {
            Cell& a = ws.startSide.cell[r][c];
            const Cell& b = ws.stopSide.cell[r][shape.columns + 3 - c];
            if (a.state == Cell::Conflict) a.state = Cell::Empty;
            if (a.state == Cell::Single && b.state == Cell::Confirmed) {
                a.older = b.older;
            } else if (a.state == Cell::Empty && (b.state == Cell::Single || b.state == Cell::Confirmed)) {
                a.state = Cell::Single;
                a.older = b.older;
            }
            const int index = r * shape.columns + (c - 2);
            if (a.state == Cell::Empty) {
                ws.codewords[index] = 0;
                if (erasureCount < kMaxErasures) ws.erasures[erasureCount++] = index;
            } else {
                ws.codewords[index] = a.older;
            }
        }
    }
    return erasureCount;
}

}  // namespace pdf417
