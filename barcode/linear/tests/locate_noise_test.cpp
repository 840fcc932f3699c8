// Finding bars on noisy pictures: tracing a bar through specks that bridge a space or eat into
// it, the lines read by local contrast where small modules blur together, and a small bar
// that blur joins to its neighbours.

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "barcode/linear/bar_trace.h"
#include "barcode/linear/locate_bar.h"
#include "barcode/linear/locate_profile.h"
#include "barcode/linear/runs.h"
#include "barcode/linear/tests/canvas.h"

namespace stripescan {
namespace {

int black_runs(const RunList& runs) {
    int n = 0;
    for (const stripescan::Run& r : runs.runs) n += r.color == kBlack ? 1 : 0;
    return n;
}

TEST(NoisyBarTrace, ASpeckBridgingTheSpaceToANeighbourDoesNotJoinTheTwoBars) {
    Canvas c(120, 140);
    c.black(40, 10, 43, 120);  // the bar
    c.black(46, 10, 47, 120);  // its neighbour, two pixels to the right
    c.black(44, 60, 45, 60);   // one row where the space between them is black
    c.black(30, 90, 39, 90);   // one row where a smear runs far out to the left
    TracedBar bar;
    ASSERT_TRUE(trace_bar(c.image, 41, 30, bar));
    EXPECT_EQ(bar.top, 10);
    EXPECT_EQ(bar.bottom, 120);
    EXPECT_EQ(bar.left, 40);
    EXPECT_EQ(bar.right, 43);
    EXPECT_FALSE(bar.contains(46, 100));  // the neighbour stays apart below the bridge
    EXPECT_EQ(bar.direction.x, 1);
    EXPECT_EQ(bar.direction.y, 0);
}

TEST(NoisyBarTrace, AThinBarWithHolesAndAOnePixelStepIsFollowedToItsEnds) {
    Canvas c(100, 140);
    c.black(50, 10, 50, 69);
    c.black(51, 70, 51, 130);  // a one-pixel bar that steps a pixel aside
    c.white(50, 40);           // a single-row hole
    TracedBar bar;
    ASSERT_TRUE(trace_bar(c.image, 50, 20, bar));
    EXPECT_EQ(bar.top, 10);
    EXPECT_EQ(bar.bottom, 130);
}

TEST(NoisyBarTrace, AnEdgeThatJumpsAndStaysAwayStillFailsTheTrace) {
    // Three rows and more of a far edge are a different shape, not noise.
    Canvas c(200, 200);
    c.black(50, 20, 53, 99);
    c.black(38, 100, 53, 102);  // three rows reaching 12 pixels further left
    c.black(50, 103, 53, 180);
    TracedBar bar;
    EXPECT_FALSE(trace_bar(c.image, 51, 60, bar));
    c.black(50, 102, 53, 102);
    for (int x = 38; x < 50; ++x) c.white(x, 102);  // now only two rows
    EXPECT_TRUE(trace_bar(c.image, 51, 60, bar));
    EXPECT_EQ(bar.bottom, 180);
}

// Upright bars `bar` pixels wide every `pitch` pixels, between white margins; the spaces
// between them are black on three rows of five, as blur and a threshold leave narrow spaces.
Canvas blurred_bars(int bars, int bar, int pitch) {
    Canvas c(40 + bars * pitch + 40, 40);
    for (int k = 0; k < bars; ++k) {
        const int x = 40 + k * pitch;
        c.black(x, 0, x + bar - 1, 39);
        if (k + 1 == bars) break;
        for (int y = 0; y < 40; ++y)
            if (y % 5 < 3) c.black(x + bar, y, x + pitch - 1, y);
    }
    return c;
}

TEST(ContrastRuns, SpacesThatOnlyLightenTheBandAreSeenByLocalContrast) {
    // The band's coverage in the spaces is about 0.6 against 1.0 in the bars: one half takes
    // them for black, the middle of the nearby coverage does not.
    const Canvas c = blurred_bars(6, 2, 3);
    RunList plain, local;
    ASSERT_TRUE(band_runs(c.image, 0, 20, 1, 0, 5, 400, 0, plain));
    ASSERT_TRUE(contrast_band_runs(c.image, 0, 20, 1, 0, 5, 400, 0, 2.0, local));
    EXPECT_EQ(black_runs(plain), 1);
    EXPECT_EQ(black_runs(local), 6);
    EXPECT_EQ(local.unit, kBandUnit);
    // The symbol spans the same length either way: 6 bars of 2 and 5 spaces of 1 pixel.
    int span = 0;
    for (const stripescan::Run& r : local.runs)
        if (&r != &local.runs.front() && &r != &local.runs.back()) span += r.length;
    EXPECT_NEAR(span, 17 * kBandUnit, kBandUnit);
}

TEST(ContrastRuns, SpecksOnPlainPaperMakeNoEdges) {
    Canvas c(200, 40);
    std::mt19937 rng(9);
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 200; ++x)
            if (rng() % 25 == 0) c.black(x, y, x, y);
    RunList runs;
    ASSERT_TRUE(contrast_band_runs(c.image, 0, 20, 1, 0, 5, 400, 0, 6.0, runs));
    EXPECT_EQ(runs.size(), 1);
    EXPECT_EQ(runs.runs[0].color, kWhite);
}

TEST(ContrastRuns, RefusesAStartOutsideTheImageOrNoReach) {
    Canvas c(50, 20);
    RunList runs;
    EXPECT_FALSE(contrast_band_runs(c.image, -5, 10, 1, 0, 5, 100, 0, 4.0, runs));
    EXPECT_FALSE(contrast_band_runs(c.image, 5, 10, 1, 0, 5, 100, 0, 0.0, runs));
}

TEST(SmallBar, ABarJoinedToItsNeighbourOnManyRowsStandsWhereADotOrAShortMarkDoesNot) {
    Canvas c(100, 120);
    c.black(50, 20, 50, 100);                                  // a one-pixel bar
    for (int y = 20; y <= 100; y += 3) c.black(48, y, 49, y);  // joined to its neighbour every third row
    for (int y = 30; y <= 100; y += 7) c.white(50, y);         // and broken now and then
    EXPECT_TRUE(bar_stands(c.image, 50, 60, 1, 0, 1.0));
    c.black(20, 55, 21, 70);  // a mark 16 rows tall
    EXPECT_FALSE(bar_stands(c.image, 20.5, 60, 1, 0, 1.0));
    EXPECT_FALSE(bar_stands(c.image, 80, 60, 1, 0, 1.0));  // white paper
    EXPECT_FALSE(bar_stands(c.image, -1, 60, 1, 0, 1.0));
}

}  // namespace
}  // namespace stripescan
