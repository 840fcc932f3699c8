#include "barcode/pdf417/symbol_reader.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "barcode/pdf417/codeword_reader.h"
#include "barcode/pdf417/hollow_bars.h"
#include "barcode/pdf417/patterns.h"
#include "barcode/pdf417/scan_line.h"

namespace pdf417 {
namespace {

constexpr int kIndicatorTolerance = 10;  // pixels between a row indicator and the estimate
constexpr double kLocalShare = 0.1;      // of the local codeword width: how far a codeword's
constexpr double kLocalMinimum = 2.0;    // pixels                        width may differ from it
constexpr int kMeanCodewords = 199;      // codewords that feed the mean width (the module size)
constexpr int kMinPatternBar = 7;        // pixels: a stop pattern at one pixel per module
constexpr double kGrowthLimit =
    0.1;  // of a codeword width: how much wider or narrower the next may be expected
constexpr double kAlignShare = 0.1;     // of a codeword width per column: how far a codeword
constexpr double kAlignMinimum = 3.0;   // pixels                          may start off its
constexpr double kAlignMaximum = 0.25;  // of a codeword width             column boundary

enum class Side { Start, Stop };

// How far (pixels) a codeword's width may lie from the local codeword width `local` (pixels).
double local_tolerance(double local) {
    return std::max(kLocalMinimum, kLocalShare * local);
}

// State that lives across the lines of one call.
struct ReadState {
    int estimate = 0;
    bool upsideDown = false;  // read the reversed patterns (the symbol lies turned half way)
    bool bothSides = false;   // read each line from both patterns, not only the first
    bool anyPattern = false;
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

// The codeword the elements e[p .. p+7] form: the exact reading, else (when they form no
// pattern at all) the nearest pattern of `cluster` (or of any cluster when `cluster` is -1).
// An exact reading of another cluster is no codeword. Its pair sums go to `t`.
Codeword read_any(const ElementList& e, int p, int cluster, double t[6]) {
    Codeword cw = read_codeword(&e.width[p]);
    if (!pair_sums(&e.width[p], t)) return cw;
    if (cw.value >= 0 && (cluster < 0 || cw.cluster == cluster)) return cw;
    const int width = cw.width;
    if (cw.value >= 0) {  // a clear codeword of another row's cluster: not this row's
        cw.value = -1;
        cw.cluster = -1;
        return cw;
    }
    cw = nearest_codeword(t, cluster);
    cw.width = width;
    return cw;
}

// Adds the darkness of the line over one codeword to the profile of `cell`: kProfileBins samples
// from `start` (steps along the line, a column boundary) over `length` steps, 1 where the
// sample falls in a dark element. `pos` holds the elements' left edges.
void add_profile(Workspace& ws, Cell& cell, const ElementList& e, const int* pos, int first, double start,
                 double length) {
    if (cell.profile < 0) {
        if (ws.profileCount >= kMaxProfiles) return;
        cell.profile = static_cast<int16_t>(ws.profileCount++);
        std::fill(ws.profile[cell.profile], ws.profile[cell.profile] + kProfileBins, 0.0f);
    }
    if (cell.profiles == 0xFFFF) return;
    float* bins = ws.profile[cell.profile];
    int k = first;
    for (int b = 0; b < kProfileBins; ++b) {
        const double x = start + (b + 0.5) * length / kProfileBins;
        while (k + 1 < e.count && pos[k + 1] <= x) ++k;
        if (k >= e.count || x >= pos[e.count]) break;
        if (k % 2 == 1) bins[b] += 1.0f;
    }
    ++cell.profiles;
}

// Reads one line from the pattern whose first element is `s` in the forward-ordered list `e`.
// Returns false when the row indicator is not accepted (the caller walks on).
//
// Codewords are placed by their distance from the last one placed on the line, in units of the
// local codeword width: the width of the line's own pattern and indicator to begin with, then a
// running value that follows the codewords read. So a symbol whose modules grow along its rows
// (perspective) keeps its columns, and a codeword is judged by its neighbours' width, not by the
// width measured at the pattern edge.
bool read_from_pattern(Workspace& ws, const ElementList& e, int s, Side side, ReadState& st) {
    int* pos = ws.position;
    pos[0] = 0;
    for (int i = 0; i < e.count; ++i) pos[i + 1] = pos[i] + e.width[i];

    const int indicator = side == Side::Start ? s + 8 : s - 8;
    if (indicator < 0 || indicator + 8 > e.count) return false;
    // The start pattern and the first 8 elements of the stop pattern are 17 modules, as wide as
    // a codeword of this line.
    const double patternWidth = pos[s + 8] - pos[s];
    // The width first: it is cheap, and most false patterns (in text, say) fail it.
    const int indicatorWidth = pos[indicator + 8] - pos[indicator];
    if (std::abs(indicatorWidth - st.estimate) > kIndicatorTolerance &&
        std::fabs(indicatorWidth - patternWidth) > local_tolerance(patternWidth))
        return false;
    double t[6];
    const Codeword row = read_any(e, indicator, -1, t);
    if (row.value < 0) return false;

    const int r = 3 * (row.value / 30) + row.cluster / 3 + 1;
    if (r > kMaxRows) return true;
    vote_indicator(ws, side, row.value, row.cluster);
    record_edge(ws, e, s, side, r, st);

    Grid& grid = side == Side::Start ? ws.startSide : ws.stopSide;
    const int step = side == Side::Start ? 8 : -8;
    const int skip = side == Side::Start ? 2 : -2;
    auto distance = [&](int p) { return side == Side::Start ? pos[p] - pos[s] : pos[s] - pos[p]; };
    // `local` is the last codeword's own width: the distance to the next codeword's start. Under
    // perspective each codeword is wider (or narrower) than the last by about the same factor,
    // so the next one's width is expected at `local * growth`.
    double local = row.width;
    double growth = std::clamp(row.width / patternWidth, 1.0 - kGrowthLimit, 1.0 + kGrowthLimit);
    int current = r;          // the row the line is in now
    int profiledColumn = -1;  // the last column whose profile this line added to
    int lastColumn = 1;
    double lastDistance = distance(indicator);
    for (int p = indicator + step; p >= 0 && p + 8 <= e.count;) {
        const double d = distance(p);
        const int advance = static_cast<int>(std::lround((d - lastDistance) / local));
        if (advance < 1) {
            p += skip;
            continue;
        }
        const int column = lastColumn + advance;
        if (column >= kGridColumns) break;
        // A codeword starts on a column boundary (a reading that begins inside a codeword can
        // decode: runs of the same codeword, such as padding, do so every time) and is about as
        // wide as its neighbours.
        const double offBoundary = std::fabs(d - lastDistance - advance * local);
        const double alignTolerance =
            std::min(kAlignMaximum * local, std::max(kAlignMinimum, kAlignShare * local * advance));
        const int width = pos[p + 8] - pos[p];
        if (offBoundary > alignTolerance) {
            p += skip;
            continue;
        }
        // On a column boundary the line's darkness over one codeword width is kept for the cell,
        // whether or not its elements have a codeword's shape (blur closes narrow spaces); only
        // on the second reading, from both sides, which clean symbols never need.
        if (st.bothSides && column != profiledColumn) {
            add_profile(ws, grid.cell[current - 1][column], e, pos, p, pos[p], local);
            profiledColumn = column;
        }
        // Either as wide as the last codeword or as the growth says: a single pixel of rounding
        // in two narrow codewords' widths would otherwise pass for a growth of several per cent.
        const double grown = local * growth;
        if (std::fabs(width - local) > local_tolerance(local) &&
            std::fabs(width - grown) > local_tolerance(grown)) {
            p += skip;
            continue;
        }
        // A line that drifts across a row boundary (curl, perspective, rows a few pixels tall)
        // goes on in the neighbouring row; an exact reading of that row's cluster says so.
        Codeword cw = read_codeword(&e.width[p]);
        pair_sums(&e.width[p], t);
        if (cw.value >= 0 && cw.cluster != row_cluster(current)) {
            const int moved = neighbour_row(current, cw.cluster);
            if (moved >= 1 && moved <= kMaxRows)
                current = moved;
            else
                cw.value = -1;
        } else if (cw.value < 0) {
            cw = nearest_codeword(t, row_cluster(current));
        }
        grid.cell[current - 1][column].add_sums(t);
        if (cw.value >= 0) {
            grid.cell[current - 1][column].vote(cw.value);
            // This codeword's own width is the local width for the next one: under perspective
            // codewords grow or shrink by several per cent from one to the next, which any
            // average over earlier codewords would lag behind.
            growth = std::clamp(width / local, 1.0 - kGrowthLimit, 1.0 + kGrowthLimit);
            local = width;
            if (st.meanCount < kMeanCodewords) {
                st.meanSum += width;
                ++st.meanCount;
            }
        }
        // Read or not, the elements had the shape of a codeword here: go on by a codeword.
        lastColumn = column;
        lastDistance = d;
        p += step;
    }
    return true;
}

// Walks one merged line and reads it from its first usable pattern, and with st.bothSides from
// its first usable start pattern and its first usable stop pattern: where blur or damage breaks
// the walk from one side, the walk from the other side still reaches the codewords behind it.
void read_line(Workspace& ws, ReadState& st) {
    const ElementList& e = ws.line;
    bool sideRead[2] = {false, false};
    for (int i = 1; i < e.count && !(sideRead[0] && sideRead[1]); i += 2) {
        if (e.width[i] < kMinPatternBar) continue;
        for (int k = 0; k < 4; ++k) {
            const PatternKind kind = static_cast<PatternKind>(k);
            if (!matches_pattern(e.width, e.count, i, kind, PatternWindows::Search)) continue;
            st.anyPattern = true;
            // Only the patterns of the orientation measured on the pattern edge are read: a
            // count of forward against reversed patterns met so far would let stray matches
            // inside the symbol (the pair test takes more of them) switch lines off.
            const bool reversed = is_reversed(kind);
            if (reversed != st.upsideDown) continue;
            const Side side =
                (kind == PatternKind::Start || kind == PatternKind::ReversedStart) ? Side::Start : Side::Stop;
            if (sideRead[side == Side::Stop]) continue;
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
            if (fixed) {
                if (!st.bothSides) return;
                sideRead[side == Side::Stop] = true;
                break;
            }
        }
    }
}

void read_one(const ImageView& image, int x, int y, const SkewResult& skew, int noise, Workspace& ws,
              ReadState& st) {
    st.lineX = x;
    st.lineY = y;
    scan_line(image, x, y, skew.dx, skew.dy, ws.line);
    merge_noise(ws.line, noise);
    if (ws.closeHollow) close_hollow_bars(ws.line);
    read_line(ws, st);
}

}  // namespace

bool read_symbol_lines(const ImageView& image, Orientation orientation, const SkewResult& skew, int noise,
                       Workspace& ws, bool bothSides) {
    ReadState st;
    st.estimate = skew.codewordWidth;
    st.upsideDown = skew.upsideDown;
    st.bothSides = bothSides;
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

int neighbour_row(int row, int cluster) {
    if (cluster != 0 && cluster != 3 && cluster != 6) return -1;
    for (int candidate = row - 1; candidate <= row + 1; ++candidate)
        if (((candidate - 1) % 3 + 3) % 3 * 3 == cluster) return candidate;
    return -1;
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

namespace {

constexpr int kMinMeanSums = 2;  // readings whose mean pair sums are read for an undecoded cell

// A cell that no line decoded, read from the mean pair sums of both sides' readings: the
// lines of a row see each edge a pixel apart in different places, so their mean is finer than
// any one line. Taken only as the nearest pattern of the row's cluster with a clear margin;
// otherwise the cell stays empty (an erasure).
void read_mean_sums(Cell& a, const Cell& b, int row) {
    const int n = a.sums + b.sums;
    if (n < kMinMeanSums) return;
    double t[6];
    for (int i = 0; i < 6; ++i) t[i] = (static_cast<double>(a.sum[i]) + b.sum[i]) / n;
    const Codeword cw = nearest_codeword(t, (row % 3) * 3);
    if (cw.value < 0) return;
    a.state = Cell::kSingle;
    a.older = static_cast<int16_t>(cw.value);
}

constexpr int kMinProfiles = 2;         // lines whose summed profile is read for an undecoded cell
constexpr double kProfileEdgeBins = 4;  // bins (one module) of a stray run at either end

// A cell that neither a line nor the mean pair sums decoded, read from the darkness profile of
// all lines that crossed it: where blur closes a narrow space on some lines, the mean darkness
// still dips there. Edges lie where the mean crosses one half (interpolated between bins); the
// 8 elements' pair sums are read as the nearest pattern of the row's cluster with a clear margin,
// else the cell stays empty. True when the cell was read.
bool read_profile(Cell& a, const Cell& b, int row, const Workspace& ws) {
    const int n = a.profiles + b.profiles;
    if (n < kMinProfiles) return false;
    double mean[kProfileBins] = {};
    for (const Cell* cell : {static_cast<const Cell*>(&a), &b})
        if (cell->profile >= 0)
            for (int i = 0; i < kProfileBins; ++i) mean[i] += ws.profile[cell->profile][i];
    for (double& v : mean) v /= n;
    // Edges: positions (bins) where the mean crosses one half.
    double edge[kProfileBins + 2];
    int edges = 0;
    bool dark = mean[0] > 0.5;
    if (dark) edge[edges++] = 0;
    for (int i = 0; i + 1 < kProfileBins; ++i) {
        const bool next = mean[i + 1] > 0.5;
        if (next == dark) continue;
        edge[edges++] = i + 0.5 + (mean[i] - 0.5) / (mean[i] - mean[i + 1]);
        dark = next;
    }
    edge[edges++] = kProfileBins;
    // A light sliver before the first bar or a dark one after the last space (the line's
    // boundary a pixel off) is not an element.
    int first = 0, last = edges - 1;
    if (edges - 1 - first == 9 && dark && edge[last] - edge[last - 1] <= kProfileEdgeBins) --last;
    if (last - first != 8) return false;
    double w[8], total = 0;
    for (int i = 0; i < 8; ++i) {
        w[i] = edge[first + i + 1] - edge[first + i];
        total += w[i];
    }
    if (total <= 0) return false;
    double t[6];
    for (int i = 0; i < 6; ++i) t[i] = 17.0 * (w[i] + w[i + 1]) / total;
    const Codeword cw = nearest_codeword(t, (row % 3) * 3);
    if (cw.value < 0) return false;
    a.state = Cell::kSingle;
    a.older = static_cast<int16_t>(cw.value);
    return true;
}

// Readings of `value` in both cells less the readings of any other value.
int support(const Cell& a, const Cell& b, int value) {
    int n = 0;
    for (const Cell* cell : {&a, &b})
        for (int k = 0; k < cell->distinct; ++k)
            n += cell->value[k] == value ? cell->count[k] : -cell->count[k];
    return n;
}

}  // namespace

int merge_grids(Workspace& ws, const SymbolShape& shape) {
    int erasureCount = 0;
    for (int r = 0; r < shape.rows; ++r) {
        for (int c = 2; c < shape.columns + 2; ++c) {
            Cell& a = ws.startSide.cell[r][c];
            const Cell& b = ws.stopSide.cell[r][shape.columns + 3 - c];
            if (a.state == Cell::kConflict) a.state = Cell::kEmpty;
            if (a.state == Cell::kSingle && b.state == Cell::kConfirmed) {
                a.older = b.older;
            } else if (a.state == Cell::kEmpty && (b.state == Cell::kSingle || b.state == Cell::kConfirmed)) {
                a.state = Cell::kSingle;
                a.older = b.older;
            }
            const int index = r * shape.columns + (c - 2);
            if (a.state == Cell::kEmpty) read_mean_sums(a, b, r);
            const bool fromProfile = a.state == Cell::kEmpty && read_profile(a, b, r, ws);
            if (a.state == Cell::kEmpty) {
                ws.codewords[index] = 0;
                ws.support[index] = 0;
                if (erasureCount < kMaxErasures) ws.erasures[erasureCount++] = index;
            } else {
                ws.codewords[index] = a.older;
                // A cell read from the profile counts as one reading: the retry may erase it.
                ws.support[index] = fromProfile ? 1 : support(a, b, a.older);
            }
        }
    }
    return erasureCount;
}

}  // namespace pdf417
