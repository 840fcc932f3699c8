// Lines that do not stay in one symbol row: short symbols of a few thin rows whose scan direction
// is known only roughly, and symbols whose rows bow (curl) so that a straight line crosses from
// one row into the next. Each codeword must land in the row its cluster names, never in the row
// the line started in.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "barcode/common/tests/degrade.h"
#include "barcode/pdf417/Stackread.h"
#include "barcode/pdf417/tests/spoilt_pages.h"

using namespace barcode::degrade;
using namespace stackread_test;

namespace {

struct Tally {
    int drawn = 0, read = 0, wrong = 0;
};

// Draws `count` symbols of `rows` rows (0: the encoder's choice) and 3 to 7 data columns with
// the rendering `how` gets from `setup`, reads them and counts exact and wrong texts.
template <class Setup>
Tally read_many(int count, unsigned seed, int rows, Setup setup) {
    std::mt19937 rng(seed);
    Tally t;
    for (int n = 0; n < count; ++n) {
        stackread_test::SymbolOptions options;
        options.columns = 3 + static_cast<int>(rng() % 5);
        options.rows = rows ? rows + static_cast<int>(rng() % 2) : 0;
        const std::string data =
            random_text(rng, rows ? 8 + static_cast<int>(rng() % 5) : 20 + static_cast<int>(rng() % 30));
        const stackread_test::Symbol symbol = stackread_test::encode_pdf417(data, options);
        EXPECT_TRUE(symbol.ok) << symbol.error;
        if (!symbol.ok) continue;
        Render how;
        setup(how, rng);
        const ModuleGrid grid = module_grid(symbol);
        const Reading r = read_page(draw_centred(grid, how, rng, 1.3, 96));
        ++t.drawn;
        if (r.result != STACKREAD_OK) continue;
        if (r.text == data)
            ++t.read;
        else
            ++t.wrong;
    }
    return t;
}

TEST(RowDrift, ShortSymbolsOfThreeOrFourThinRowsReadAtSmallAngles) {
    // Three or four rows of 6 px: the pattern edge is about 20 px long, so the measured
    // direction can be off by a degree and a line crosses a row over 60 modules (a line that
    // keeps its starting row reads 27 of these 30).
    const Tally t = read_many(30, 4417, 3, [](Render& how, std::mt19937& rng) {
        how.module = 2;
        how.moduleY = 6;
        how.angle = uniform(rng, -2, 2);
    });
    EXPECT_EQ(t.wrong, 0);
    EXPECT_GE(t.read, 29) << "of " << t.drawn;
}

TEST(RowDrift, CurledSymbolsWithThinRowsRead) {
    // Bars bowing by 4 to 8 px at the ends against rows of 4 px: straight lines through the
    // middle of a row at the centre run through the next row or two at the ends (a line that
    // keeps its starting row reads 22 of these 30).
    const Tally t = read_many(30, 7071, 0, [](Render& how, std::mt19937& rng) {
        how.module = 2;
        how.moduleY = 4;
        how.curvature = uniform(rng, 4, 8) * (rng() % 2 ? 1 : -1);
        how.angle = uniform(rng, -2, 2);
    });
    EXPECT_EQ(t.wrong, 0);
    EXPECT_GE(t.read, 25) << "of " << t.drawn;
}

TEST(RowDrift, CurledBlurredSymbolsNeverGiveAWrongText) {
    // Beyond what can be read: heavy curl on 4 px rows with blur. Misses are allowed; a
    // codeword placed in the wrong row must never make it through the correction.
    const Tally t = read_many(30, 90210, 0, [](Render& how, std::mt19937& rng) {
        how.module = 2;
        how.moduleY = 4;
        how.blur = 0.8;
        how.curvature = uniform(rng, 3, 6) * (rng() % 2 ? 1 : -1);
        how.perspective = uniform(rng, -0.003, 0.003);
        how.angle = uniform(rng, -3, 3);
    });
    EXPECT_EQ(t.wrong, 0);
}

}  // namespace
