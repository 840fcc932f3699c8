// Runs along scan lines, the noise merge, candidate segments, transposition and bar tracing.

#include "barcode/linear/runs.h"

#include <gtest/gtest.h>

#include <random>

#include "barcode/linear/bar_trace.h"
#include "barcode/linear/line_walk.h"
#include "barcode/linear/tests/canvas.h"
#include "barcode/linear/transpose.h"

namespace stripescan {
namespace {

std::vector<int> lengths(const RunList& r) {
    std::vector<int> out;
    for (const Run& run : r.runs) out.push_back(run.length);
    return out;
}

RunList list_of(std::initializer_list<int> w) {
    RunList r;
    std::uint8_t c = kWhite;
    for (int v : w) {
        r.runs.push_back(stripescan::Run{0, 0, v, c});
        c = c == kWhite ? kBlack : kWhite;
    }
    return r;
}

TEST(Runs, RowRunsMatchThePixels) {
    Canvas c(50, 3);
    c.black(3, 1, 4, 1);
    c.black(10, 1, 29, 1);
    c.black(49, 1, 49, 1);
    RunList runs;
    ASSERT_TRUE(row_runs(c.image, 1, runs));
    EXPECT_EQ(lengths(runs), (std::vector<int>{3, 2, 5, 20, 19, 1}));
    EXPECT_EQ(runs.runs[3].x, 10);
    EXPECT_EQ(runs.runs[3].color, kBlack);
    EXPECT_FALSE(row_runs(c.image, 3, runs));
}

TEST(Runs, LineRunsStopAtTheStopColumnAndAtLongRuns) {
    Canvas c(40, 5);
    c.black(5, 2, 9, 2);
    const auto offsets = line_offsets(Point{0, 2}, Point{1, 0}, Point{39, 2});
    RunList runs;
    ASSERT_TRUE(line_runs(c.image, Point{0, 2}, offsets, Point{20, 2}, 0, runs));
    EXPECT_EQ(lengths(runs), (std::vector<int>{5, 5, 10}));  // column 20 ends the line
    ASSERT_TRUE(line_runs(c.image, Point{0, 2}, offsets, Point{39, 2}, 3, runs));
    EXPECT_EQ(lengths(runs), (std::vector<int>{4}));  // a run longer than 3 ends it
    EXPECT_FALSE(line_runs(c.image, Point{-1, 2}, offsets, Point{20, 2}, 0, runs));
}

TEST(Runs, BandRunsCountHalfPixelsAndIgnoreSpecks) {
    Canvas c(60, 20);
    c.black(20, 0, 29, 19);
    c.image.set(40, 10, false);  // one black speck on the line itself
    RunList runs;
    ASSERT_TRUE(band_runs(c.image, 0, 10, 1, 0, 3, 1000, 0, runs));
    ASSERT_EQ(runs.size(), 3);
    EXPECT_EQ(runs.runs[1].color, kBlack);
    EXPECT_NEAR(runs.runs[1].length, 10 * kBandUnit, 2);  // ten pixels
    EXPECT_EQ(runs.runs[1].x, 20);
    EXPECT_FALSE(band_runs(c.image, -5, 10, 1, 0, 3, 1000, 0, runs));
}

TEST(Runs, BandRunsAcrossASlantedBarMeasureItsTrueWidth) {
    Canvas c(200, 200);
    // A bar 8 pixels wide at right angles to the direction (0.8, -0.6).
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 200; ++x) {
            const double u = (x - 100) * 0.8 - (y - 100) * 0.6;
            if (u >= 0 && u < 8) c.image.set(x, y, false);
        }
    RunList runs;
    ASSERT_TRUE(band_runs(c.image, 60, 130, 0.8, -0.6, 3, 200, 0, runs));
    ASSERT_GE(runs.size(), 2);
    EXPECT_NEAR(runs.runs[1].length, 8 * kBandUnit, 3);
}

// A probe that needs a quiet zone stops at a first run that fails it, and its runs are the whole
// line's: on a grainy page nearly every probe ends at its first speck.
TEST(Runs, BandRunsStopAtAFirstRunThatIsNoQuietZone) {
    Canvas c(120, 20);
    c.black(30, 0, 33, 19);
    c.black(40, 0, 41, 19);
    c.black(60, 0, 69, 19);
    RunList whole, probe;
    ASSERT_TRUE(band_runs(c.image, 0, 10, 1, 0, 3, 1000, 0, whole));
    ASSERT_GE(whole.size(), 5);
    // The white before the first bar is about 30 px: long enough for 20, too short for 40.
    ASSERT_TRUE(band_runs(c.image, 0, 10, 1, 0, 3, 1000, 0, probe, 20 * kBandUnit));
    EXPECT_EQ(lengths(probe), lengths(whole));
    ASSERT_TRUE(band_runs(c.image, 0, 10, 1, 0, 3, 1000, 0, probe, 40 * kBandUnit));
    ASSERT_EQ(probe.size(), 2);
    EXPECT_EQ(probe.runs[0].length, whole.runs[0].length);
    // Starting on the bar: the first run is black, and the line ends after it.
    ASSERT_TRUE(band_runs(c.image, 31, 10, 1, 0, 3, 1000, 0, probe, 1));
    ASSERT_EQ(probe.size(), 2);
    EXPECT_EQ(probe.runs[0].color, kBlack);
}

TEST(NoiseMerge, NarrowRunsAreSwallowedWithTheirFollower) {
    RunList r = list_of({50, 1, 30, 4, 3, 4, 1, 2, 40});
    merge_noise(r, 1);
    // The speck (1) and the white after it join the first run; the white crack (1) in the bar
    // joins the bar with the rest of it.
    EXPECT_EQ(lengths(r), (std::vector<int>{81, 4, 3, 7, 40}));
    EXPECT_EQ(r.runs[1].color, kBlack);
    RunList unchanged = list_of({5, 3, 5});
    merge_noise(unchanged, 0);
    EXPECT_EQ(lengths(unchanged), (std::vector<int>{5, 3, 5}));
    RunList last = list_of({9, 9, 1, 1});
    merge_noise(last, 1);
    EXPECT_EQ(lengths(last), (std::vector<int>{9, 11}));
}

TEST(Segments, CutAtJumpsOfMoreThanSix) {
    const RunList r = list_of({100, 3, 2, 4, 3, 100, 2, 2, 50});
    const auto segments = candidate_segments(r, 3);
    ASSERT_EQ(segments.size(), 1u);
    EXPECT_EQ(segments[0].begin, 1);
    EXPECT_EQ(segments[0].end, 5);
    EXPECT_EQ(candidate_segments(r, 2).size(), 2u);
}

TEST(RunList, ReverseKeepsTheSymbolBounds) {
    RunList r = list_of({1, 2, 3, 4, 5, 6});
    int first = 1;
    int last = 2;
    reverse_runs(r, first, last);
    EXPECT_EQ(lengths(r), (std::vector<int>{6, 5, 4, 3, 2, 1}));
    EXPECT_EQ(first, 3);
    EXPECT_EQ(last, 4);
}

TEST(Transpose, ExchangesRowsAndColumns) {
    std::mt19937 rng(5);
    Canvas c(37, 21);
    for (auto& b : c.bytes) b = static_cast<std::uint8_t>(rng());
    std::vector<std::uint8_t> storage;
    const Image t = transpose(c.image, storage);
    ASSERT_EQ(t.width, 21);
    ASSERT_EQ(t.height, 37);
    for (int y = 0; y < 21; ++y)
        for (int x = 0; x < 37; ++x) ASSERT_EQ(t.black(y, x), c.image.black(x, y)) << x << "," << y;
}

TEST(BarTrace, UprightBarReadsAlongRows) {
    Canvas c(100, 120);
    c.black(40, 10, 43, 90);
    TracedBar bar;
    ASSERT_TRUE(trace_bar(c.image, 41, 50, bar));
    EXPECT_EQ(bar.top, 10);
    EXPECT_EQ(bar.bottom, 90);
    EXPECT_EQ(bar.left, 40);
    EXPECT_EQ(bar.right, 43);
    EXPECT_EQ(bar.direction.x, 1);
    EXPECT_EQ(bar.direction.y, 0);
    EXPECT_TRUE(bar.contains(43, 80));
    EXPECT_FALSE(bar.contains(44, 80));
    EXPECT_EQ(bar.edges.size(), 81u - 4u);
    EXPECT_FALSE(trace_bar(c.image, 10, 50, bar));  // a white pixel
}

TEST(BarTrace, SlantedBarGivesAPerpendicularDirection) {
    Canvas c(200, 200);
    // A bar leaning right by one pixel every four rows.
    for (int y = 20; y <= 180; ++y) c.black(50 + (y - 20) / 4, y, 53 + (y - 20) / 4, y);
    TracedBar bar;
    ASSERT_TRUE(trace_bar(c.image, 70, 100, bar));
    // Perpendicular to (1, 4): (4, -1), turned to a non-negative y: (-4, 1) times a length.
    EXPECT_LT(bar.direction.x, 0);
    EXPECT_GT(bar.direction.y, 0);
    EXPECT_NEAR(static_cast<double>(bar.direction.x) / bar.direction.y, -4.0, 0.3);
}

TEST(BarTrace, EdgeJumpsAndSmallBlobsAreNotBars) {
    Canvas c(200, 200);
    c.black(50, 20, 53, 99);
    c.black(40, 100, 53, 180);  // the left edge jumps by 10 pixels
    TracedBar bar;
    EXPECT_FALSE(trace_bar(c.image, 51, 60, bar));
    c.black(150, 20, 154, 40);  // 20 tall, 4 wide: too small
    EXPECT_FALSE(trace_bar(c.image, 151, 30, bar));
}

TEST(BarCache, FindsLiveBarsAndDropsPassedOnes) {
    Canvas c(100, 200);
    c.black(20, 10, 23, 60);
    c.black(60, 10, 63, 150);
    BarCache cache;
    TracedBar a, b;
    ASSERT_TRUE(trace_bar(c.image, 21, 30, a));
    ASSERT_TRUE(trace_bar(c.image, 61, 30, b));
    cache.add(a);
    cache.add(b);
    EXPECT_NE(cache.find(22, 40), nullptr);
    EXPECT_EQ(cache.find(30, 40), nullptr);
    EXPECT_EQ(cache.find(22, 100), nullptr);  // below the first bar
    EXPECT_NE(cache.find(62, 100), nullptr);
}

}  // namespace
}  // namespace stripescan
