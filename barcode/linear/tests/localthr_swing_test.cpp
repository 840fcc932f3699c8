// Lines by local contrast on paper salted by a local threshold: a narrow bar between two wide
// spaces left as a scatter of dots darkens the band by only a fifth or so.

#include <gtest/gtest.h>

#include <random>

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

TEST(SaltedContrast, ADottedNarrowBarBetweenWideSpacesStandsOnlyAtTheSaltedSwing) {
    Canvas c(120, 40);
    c.black(30, 0, 35, 39);                                 // a wide bar
    for (int y = 0; y < 40; y += 4) c.black(46, y, 47, y);  // the narrow bar, one row in four
    c.black(58, 0, 63, 39);                                 // the next wide bar
    RunList usual, salted;
    ASSERT_TRUE(contrast_band_runs(c.image, 0, 20, 1, 0, 5, 240, 0, 3.0, usual));
    ASSERT_TRUE(contrast_band_runs(c.image, 0, 20, 1, 0, 5, 240, 0, 3.0, salted, kSaltedMinSwing));
    EXPECT_EQ(black_runs(usual), 2);
    EXPECT_EQ(black_runs(salted), 3);
}

TEST(SaltedContrast, SpecksOnPlainPaperStillMakeNoEdges) {
    // About one pixel in a hundred, as a local threshold leaves on the paper, and twice that.
    for (const unsigned oneIn : {100u, 50u}) {
        Canvas c(300, 40);
        std::mt19937 rng(11 + oneIn);
        for (int y = 0; y < 40; ++y)
            for (int x = 0; x < 300; ++x)
                if (rng() % oneIn == 0) c.black(x, y, x, y);
        RunList runs;
        ASSERT_TRUE(contrast_band_runs(c.image, 0, 20, 1, 0, 5, 600, 0, 3.0, runs, kSaltedMinSwing));
        EXPECT_EQ(black_runs(runs), 0) << "one in " << oneIn;
    }
}

}  // namespace
}  // namespace stripescan
