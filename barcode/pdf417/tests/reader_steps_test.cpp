// The reader's steps one by one: scan lines, noise merge, pattern windows, codeword reading,
// cell votes, vote lists and the merge of the two grids.
#include <gtest/gtest.h>

#include <vector>

#include "barcode/pdf417/codeword_reader.h"
#include "barcode/pdf417/codeword_tables.h"
#include "barcode/pdf417/hollow_bars.h"
#include "barcode/pdf417/patterns.h"
#include "barcode/pdf417/scan_line.h"
#include "barcode/pdf417/symbol_reader.h"
#include "barcode/pdf417/workspace.h"

using namespace pdf417;

namespace {

std::vector<int> widths(const ElementList& l) {
    return {l.width, l.width + l.count};
}

ElementList list_of(const std::vector<int>& w) {
    ElementList l;
    l.count = static_cast<int>(w.size());
    for (size_t i = 0; i < w.size(); ++i) l.width[i] = w[i];
    return l;
}

// Rows of `w` pixels (w multiple of 8), light, with dark pixels where `dark` says.
std::vector<uint8_t> image(int w, int h, const std::vector<std::pair<int, int>>& dark) {
    std::vector<uint8_t> bytes(static_cast<size_t>(w / 8) * h, 0xFF);
    for (auto [x, y] : dark)
        bytes[static_cast<size_t>(y) * (w / 8) + x / 8] &= static_cast<uint8_t>(~(0x80 >> (x % 8)));
    return bytes;
}

}  // namespace

TEST(ScanLine, RowWalkCountsTheStartPixelAsLight) {
    auto bytes = image(16, 2, {{0, 0}, {1, 0}, {5, 0}});
    ImageView view(bytes.data(), 16, 2);
    ElementList l;
    scan_line(view, 0, 0, 3, 0, l);
    // The first step stays on the start pixel; it is light by rule, dark when looked at again.
    EXPECT_EQ(widths(l), (std::vector<int>{1, 2, 3, 1, 10}));
    scan_line(view, 15, 1, -3, 0, l);
    EXPECT_EQ(widths(l), (std::vector<int>{17}));
}

TEST(ScanLine, StraightWalksAgreeWithTheSteppedWalk) {
    // Whole light and dark bytes, and a column walk, give the runs a pixel-by-pixel walk gives.
    std::vector<std::pair<int, int>> dark;
    for (int x = 8; x < 24; ++x) dark.push_back({x, 3});
    for (int x = 29; x < 31; ++x) dark.push_back({x, 3});
    for (int y = 2; y < 9; ++y) dark.push_back({5, y});
    auto bytes = image(40, 12, dark);
    ImageView view(bytes.data(), 40, 12);
    ElementList l;
    scan_line(view, 0, 3, 3, 0, l);
    EXPECT_EQ(widths(l), (std::vector<int>{6, 1, 2, 16, 5, 2, 9}));
    scan_line(view, 5, 0, 0, 3, l);
    EXPECT_EQ(widths(l), (std::vector<int>{3, 7, 3}));
    scan_line(view, 5, 11, 0, -3, l);
    EXPECT_EQ(widths(l), (std::vector<int>{4, 7, 2}));
    scan_line(view, 39, 3, -3, 0, l);
    EXPECT_EQ(widths(l), (std::vector<int>{10, 2, 5, 16, 2, 1, 5}));
}

TEST(ScanLine, SlopedWalkStaysInsideAndStops) {
    std::vector<std::pair<int, int>> dark;
    for (int i = 0; i < 40; ++i) dark.push_back({i, 20});  // a horizontal dark line
    auto bytes = image(40, 40, dark);
    ImageView view(bytes.data(), 40, 40);
    ElementList l;
    scan_line(view, 0, 0, 1, 1, l);  // diagonal crosses the line once
    ASSERT_EQ(l.count, 3);
    EXPECT_EQ(l.width[1], 1);
    int total = 0;
    for (int w : widths(l)) total += w;
    EXPECT_GE(total, 40);
    EXPECT_LE(total, 60);
    scan_line(view, 0, 0, 0, 0, l);
    EXPECT_EQ(l.count, 0);
    scan_line(view, -1, 0, 1, 0, l);
    EXPECT_EQ(l.count, 0);
    scan_line(view, 0, 40, 1, 0, l);
    EXPECT_EQ(l.count, 0);
}

TEST(ScanLine, ElementListIsCutAtItsLimit) {
    std::vector<std::pair<int, int>> dark;
    for (int x = 0; x < 2000; x += 2) dark.push_back({x, 0});
    auto bytes = image(2000, 1, dark);
    ImageView view(bytes.data(), 2000, 1);
    ElementList l;
    scan_line(view, 0, 0, 5, 0, l);
    EXPECT_EQ(l.count, kMaxElements);
    scan_line(view, 0, 0, 5, 1, l);  // the sloped walk leaves the single row after a few steps
    EXPECT_LT(l.count, 10);
}

TEST(ScanLine, IntegerSquareRootRoundsToNearest) {
    EXPECT_EQ(isqrt_round(0), 0);
    EXPECT_EQ(isqrt_round(9), 3);
    EXPECT_EQ(isqrt_round(12), 3);  // 3.46
    EXPECT_EQ(isqrt_round(13), 4);  // 3.61
    EXPECT_EQ(isqrt_round(2LL * 30000 * 30000), 42426);
}

TEST(NoiseMerge, NarrowElementsJoinTheirNeighbours) {
    ElementList l = list_of({5, 10, 1, 10, 6, 2, 7});
    merge_noise(l, 1);
    EXPECT_EQ(widths(l), (std::vector<int>{5, 21, 6, 2, 7}));
    l = list_of({5, 10, 1, 10, 6, 2, 7});
    merge_noise(l, 2);
    EXPECT_EQ(widths(l), (std::vector<int>{5, 21, 15}));
    l = list_of({1, 1, 1});
    merge_noise(l, 0);
    EXPECT_EQ(widths(l), (std::vector<int>{1, 1, 1}));
    l = list_of({4, 1, 3, 9});
    merge_noise(l, 1);
    EXPECT_EQ(widths(l), (std::vector<int>{8, 9}));
    l = list_of({4, 9, 1});
    merge_noise(l, 1);
    EXPECT_EQ(widths(l), (std::vector<int>{4, 9, 1})) << "first and last stay";
}

TEST(Patterns, StartAndStopInBothDirections) {
    // Module 3: start 24 3 3 3 3 3 3 9, stop 21 3 3 9 3 3 3 6 3, after a light element.
    std::vector<int> start{10, 24, 3, 3, 3, 3, 3, 3, 9, 10};
    std::vector<int> stop{10, 21, 3, 3, 9, 3, 3, 3, 6, 3, 10};
    for (auto windows : {PatternWindows::Search, PatternWindows::Orientation}) {
        EXPECT_TRUE(matches_pattern(start.data(), 10, 1, PatternKind::Start, windows));
        EXPECT_FALSE(matches_pattern(start.data(), 10, 1, PatternKind::Stop, windows));
        EXPECT_TRUE(matches_pattern(stop.data(), 11, 1, PatternKind::Stop, windows));
        std::vector<int> rs(start.rbegin(), start.rend()), rt(stop.rbegin(), stop.rend());
        EXPECT_TRUE(matches_pattern(rs.data(), 10, 8, PatternKind::ReversedStart, windows));
        EXPECT_TRUE(matches_pattern(rt.data(), 11, 9, PatternKind::ReversedStop, windows));
        EXPECT_EQ(pattern_first_element(9, PatternKind::ReversedStop), 1);
    }
    // Patterns that run off the list are not matched.
    EXPECT_FALSE(matches_pattern(start.data(), 8, 1, PatternKind::Start, PatternWindows::Search));
    EXPECT_FALSE(matches_pattern(start.data(), 10, 8, PatternKind::ReversedStart, PatternWindows::Search));
}

TEST(Patterns, WindowsDifferBetweenSearchAndOrientation) {
    // A reference bar of exactly 7 pixels passes the search but not the orientation start test.
    std::vector<int> small{5, 7, 1, 1, 1, 1, 1, 1, 3, 5};
    EXPECT_TRUE(matches_pattern(small.data(), 10, 1, PatternKind::Start, PatternWindows::Search));
    EXPECT_FALSE(matches_pattern(small.data(), 10, 1, PatternKind::Start, PatternWindows::Orientation));
    // 1-module elements 18 times narrower than the bar: search yes (<= 20), orientation no (<= 16).
    std::vector<int> wide{5, 90, 5, 5, 5, 5, 5, 5, 30, 5};
    EXPECT_TRUE(matches_pattern(wide.data(), 10, 1, PatternKind::Start, PatternWindows::Search));
    EXPECT_FALSE(matches_pattern(wide.data(), 10, 1, PatternKind::Start, PatternWindows::Orientation));
    // A 3-module element as wide as a 1-module one fails.
    std::vector<int> bad{5, 24, 3, 3, 3, 3, 3, 3, 3, 5};
    EXPECT_FALSE(matches_pattern(bad.data(), 10, 1, PatternKind::Start, PatternWindows::Search));
}

TEST(CodewordReading, EveryPatternReadsBackAtSeveralScalesAndWithPrintGain) {
    int rebuilt = 0;
    for (int cluster : {0, 3, 6}) {
        const CodewordEntry* t = cluster_table(cluster);
        for (int i = 0; i < 929; i += 7) {
            // Rebuild module widths from t1..t6 (e1 + e2 = t1, ...): e1 is free, pick the one
            // that makes all widths 1..6 with e8 = 17 - (e1 + ... + e7) and e8 + e7 matching.
            int tk[6], k = t[i].key;
            for (int d = 5; d >= 0; --d, k /= 10) tk[d] = k % 10;
            for (int e1 = 1; e1 <= 6; ++e1) {
                int e[8] = {e1};
                bool ok = true;
                int sum = e1;
                for (int j = 1; j < 7 && ok; ++j) {
                    e[j] = tk[j - 1] - e[j - 1];
                    ok = e[j] >= 1 && e[j] <= 6;
                    sum += e[j];
                }
                e[7] = 17 - sum;
                ok = ok && e[7] >= 1 && e[7] <= 6;
                sum += e[7];
                if (!ok || sum != 17) continue;
                ++rebuilt;
                for (int scale : {2, 3, 5}) {
                    int px[8];
                    for (int j = 0; j < 8; ++j) px[j] = e[j] * scale + (scale > 2 ? (j % 2 ? -1 : 1) : 0);
                    Codeword cw = read_codeword(px);
                    EXPECT_EQ(cw.value, t[i].value) << "cluster " << cluster << " scale " << scale;
                    EXPECT_EQ(cw.cluster, cluster);
                    EXPECT_EQ(cw.width, 17 * scale);
                }
            }
        }
    }
    EXPECT_GE(rebuilt, 3 * 133);
    int nothing[8] = {1, 1, 1, 1, 1, 1, 1, 10};
    EXPECT_EQ(read_codeword(nothing).value, -1);
    int zero[8] = {};
    EXPECT_EQ(read_codeword(zero).value, -1);
}

// Module widths of a table entry: e1 is free in t(i) = e(i) + e(i+1); the one that gives widths
// 1..6 summing to 17 is taken. False when none does.
bool modules_of(int key, int e[8]) {
    int tk[6];
    for (int d = 5; d >= 0; --d, key /= 10) tk[d] = key % 10;
    for (int e1 = 1; e1 <= 6; ++e1) {
        e[0] = e1;
        bool ok = true;
        int sum = e1;
        for (int j = 1; j < 7 && ok; ++j) {
            e[j] = tk[j - 1] - e[j - 1];
            ok = e[j] >= 1 && e[j] <= 6;
            sum += e[j];
        }
        e[7] = 17 - sum;
        if (ok && e[7] >= 1 && e[7] <= 6) return true;
    }
    return false;
}

TEST(CodewordReading, AnEdgeOnePixelOffAtTwoPixelsPerModuleNeverGivesAnotherValue) {
    // Moving one edge by a pixel puts two pair sums exactly between two module counts: the
    // reading is either the true codeword or none at all.
    int right = 0, none = 0;
    for (int cluster : {0, 3, 6}) {
        const CodewordEntry* t = cluster_table(cluster);
        for (int i = 0; i < 929; i += 3) {
            int e[8];
            if (!modules_of(t[i].key, e)) continue;
            for (int edge = 1; edge < 8; ++edge) {
                for (int shift : {-1, 1}) {
                    int px[8];
                    for (int j = 0; j < 8; ++j) px[j] = 2 * e[j];
                    px[edge - 1] += shift;
                    px[edge] -= shift;
                    if (px[edge - 1] < 1 || px[edge] < 1) continue;
                    Codeword cw = read_codeword(px);
                    if (cw.value < 0) {
                        ++none;
                        continue;
                    }
                    ASSERT_EQ(cw.value, t[i].value) << "cluster " << cluster << " edge " << edge;
                    ++right;
                }
            }
        }
    }
    EXPECT_GT(right, none) << "most such readings are still recovered";
}

TEST(Votes, CellStatesFollowTheCounts) {
    Cell c;
    c.vote(5);
    EXPECT_EQ(c.state, Cell::kSingle);
    c.vote(5);
    EXPECT_EQ(c.state, Cell::kConfirmed);
    EXPECT_EQ(c.older, 5);
    c.vote(9);
    EXPECT_EQ(c.state, Cell::kConfirmed);
    EXPECT_EQ(c.older, 5) << "one contrary reading does not overturn two";

    Cell d;
    d.vote(1);
    d.vote(2);
    EXPECT_EQ(d.state, Cell::kConflict);
    d.vote(2);
    EXPECT_EQ(d.state, Cell::kConfirmed);
    EXPECT_EQ(d.older, 2);

    Cell e;
    e.vote(1);
    e.vote(2);
    e.vote(3);
    EXPECT_EQ(e.state, Cell::kConflict) << "three different readings settle nothing";

    // A value misread twice early is outvoted by the readings that follow.
    Cell f;
    for (int v : {7, 7, 4, 4, 4}) f.vote(v);
    EXPECT_EQ(f.state, Cell::kConfirmed);
    EXPECT_EQ(f.older, 4);

    // Beyond four different values the cell stops following new ones but keeps its counts.
    Cell g;
    for (int v : {1, 2, 3, 4, 5, 5, 5, 1}) g.vote(v);
    EXPECT_EQ(g.state, Cell::kConfirmed);
    EXPECT_EQ(g.older, 1);

    VoteList v;
    for (int x : {4, 7, 7, 4}) v.add(x);
    EXPECT_EQ(v.most_frequent(), 4) << "ties go to the value met first";
    VoteList empty;
    EXPECT_EQ(empty.most_frequent(), -1);
    for (int i = 0; i < 100; ++i) v.add(9);
    EXPECT_EQ(v.count, kMaxVotes);
}

TEST(Votes, ShapeLimits) {
    Workspace& ws = workspace();
    ws.clear();
    SymbolShape shape;
    EXPECT_FALSE(shape_from_votes(ws, shape)) << "no votes";
    auto set = [&](int group, int remainder, int columns, int level) {
        ws.clear();
        ws.rowGroups.add(group);
        ws.rowRemainders.add(remainder);
        ws.columns.add(columns);
        ws.levels.add(level);
        return shape_from_votes(ws, shape);
    };
    EXPECT_TRUE(set(10, 2, 5, 2));
    EXPECT_EQ(shape.rows, 12);
    EXPECT_FALSE(set(91, 0, 5, 2)) << "rows above 90";
    EXPECT_FALSE(set(88, 2, 31, 2)) << "columns above 30";
    EXPECT_FALSE(set(10, 0, 5, 9)) << "level above 8";
    EXPECT_FALSE(set(88, 2, 11, 2)) << "more than 928 codewords";
    EXPECT_FALSE(set(4, 0, 1, 2)) << "no room for data";
}

TEST(Votes, GridMergeTakesTheStopSideWhereTheStartSideIsUnsure) {
    Workspace& ws = workspace();
    ws.clear();
    SymbolShape shape{1, 4, 0};
    // Start-side columns 2..5 correspond to stop-side columns 5..2.
    ws.startSide.cell[0][2].vote(11);  // single, stop confirmed -> stop
    ws.stopSide.cell[0][5].vote(21), ws.stopSide.cell[0][5].vote(21);
    ws.startSide.cell[0][3].vote(12), ws.startSide.cell[0][3].vote(13);  // conflict -> emptied
    ws.startSide.cell[0][4].vote(14), ws.startSide.cell[0][4].vote(14);  // confirmed stays
    ws.stopSide.cell[0][3].vote(24), ws.stopSide.cell[0][3].vote(24);
    ws.stopSide.cell[0][2].vote(25);  // empty start, single stop
    int erasures = merge_grids(ws, shape);
    EXPECT_EQ(ws.codewords[0], 21);
    EXPECT_EQ(ws.codewords[2], 14);
    EXPECT_EQ(ws.codewords[3], 25);
    ASSERT_EQ(erasures, 1);
    EXPECT_EQ(ws.erasures[0], 1);
}

TEST(HollowBars, APatternBarWithLightInsideIsClosedOnlyWhereThePatternFitsAroundIt) {
    // 4 px modules: a start pattern whose 8-module bar is a rim of 11, a hollow of 10 and a rim
    // of 11, then a codeword with a genuine bar-space-bar of like widths (3, 1, 3 modules).
    ElementList start = list_of({30, 11, 10, 11, 4, 4, 4, 4, 4, 4, 12, 12, 4, 12, 8, 8, 4, 4, 16, 4, 30});
    EXPECT_FALSE(matches_pattern(start.width, start.count, 1, PatternKind::Start, PatternWindows::Search));
    EXPECT_EQ(close_hollow_bars(start), 1);
    EXPECT_EQ(widths(start),
              (std::vector<int>{30, 32, 4, 4, 4, 4, 4, 4, 12, 12, 4, 12, 8, 8, 4, 4, 16, 4, 30}));
    EXPECT_TRUE(matches_pattern(start.width, start.count, 1, PatternKind::Start, PatternWindows::Search));

    // The stop pattern read backwards (a symbol upside down): its 7-module bar ends the pattern.
    ElementList stop = list_of({30, 4, 8, 4, 4, 4, 12, 4, 4, 10, 8, 10, 30});
    EXPECT_EQ(close_hollow_bars(stop), 1);
    EXPECT_EQ(widths(stop), (std::vector<int>{30, 4, 8, 4, 4, 4, 12, 4, 4, 28, 30}));
    EXPECT_TRUE(
        matches_pattern(stop.width, stop.count, 9, PatternKind::ReversedStop, PatternWindows::Search));

    // Rims of unlike widths, or like rims with no pattern around them, stay as they are.
    for (const std::vector<int>& w : {std::vector<int>{30, 4, 10, 18, 4, 4, 4, 4, 4, 4, 12, 30},
                                      std::vector<int>{30, 12, 4, 12, 8, 4, 4, 8, 4, 16, 8, 4, 30}}) {
        ElementList l = list_of(w);
        EXPECT_EQ(close_hollow_bars(l), 0);
        EXPECT_EQ(widths(l), w);
    }
}
