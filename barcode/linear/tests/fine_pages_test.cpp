// Symbols of 1.25 px modules blurred before the threshold, so that single rows merge narrow
// bars and spaces: read on the darkness summed along the bars. Damaged symbols at those
// modules may be missed but never misread.

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "barcode/common/tests/degrade.h"
#include "barcode/common/tests/sanitized_pages.h"
#include "barcode/linear/tests/drawn_pages.h"

namespace stripescan::testing {
namespace {

using barcode::degrade::BitPage;
using barcode::degrade::ModuleGrid;
using barcode::degrade::Render;

// A photo of a fine symbol: 1.25 px modules, blur of half a pixel, contrast 0.8 and sensor
// noise, turned by 1 to 3 degrees either way; `damage` may then change the grid.
template <class Damage>
Outcome read_fine(int symbology, int count, unsigned seed, Damage damage) {
    return read_drawn(
        symbology, count, seed,
        [&damage](ModuleGrid& grid, Render& how, std::mt19937& rng) {
            how.module = 1.25;
            how.blur = 0.5;
            how.contrast = 0.8;
            how.noise = 0.04;
            const double turn = std::uniform_real_distribution<double>(1, 3)(rng);
            how.angle = rng() % 2 ? turn : -turn;
            damage(grid, rng);
        },
        [](const ModuleGrid& grid, const Render& how) {
            return BitPage(static_cast<int>(grid.width * how.module + 100),
                           static_cast<int>(grid.height * how.module + 80));
        });
}

void intact(ModuleGrid&, std::mt19937&) {}

// Clears every column of one bar in the middle three fifths of the symbol.
void knock_out_bar(ModuleGrid& grid, std::mt19937& rng) {
    int x = grid.width / 5 + static_cast<int>(rng() % static_cast<unsigned>(3 * grid.width / 5));
    while (x < grid.width && !grid.at(x, 0)) ++x;
    for (; x < grid.width && grid.at(x, 0); ++x)
        for (int y = 0; y < grid.height; ++y) grid.dark[static_cast<std::size_t>(y) * grid.width + x] = 0;
}

// Cuts 5 to 30 % off the symbol's end.
void cut_short(ModuleGrid& grid, std::mt19937& rng) {
    const int cut =
        std::max(2, static_cast<int>(grid.width * std::uniform_real_distribution<double>(0.05, 0.3)(rng)));
    for (int y = 0; y < grid.height; ++y)
        for (int x = grid.width - cut; x < grid.width; ++x)
            grid.dark[static_cast<std::size_t>(y) * grid.width + x] = 0;
}

TEST(FineModules, EveryModuleSymbologyIsMostlyReadAndNeverMisread) {
    for (int symbology :
         {STRIPESCAN_CODE128, STRIPESCAN_CODE93, STRIPESCAN_EAN13, STRIPESCAN_EAN8, STRIPESCAN_UPCE}) {
        const Outcome o = read_fine(symbology, 10, 3u + static_cast<unsigned>(symbology), intact);
        EXPECT_GE(o.read, 5) << "symbology " << symbology;
        EXPECT_EQ(o.wrong, 0) << "symbology " << symbology << o.wrongTexts;
    }
}

TEST(FineModules, NarrowWideSymbologiesAreOftenReadAndNeverMisread) {
    for (int symbology : {STRIPESCAN_CODE39, STRIPESCAN_CODABAR, STRIPESCAN_ITF}) {
        const Outcome o = read_fine(symbology, 10, 5u + static_cast<unsigned>(symbology), intact);
        EXPECT_GE(o.read, 3) << "symbology " << symbology;
        EXPECT_EQ(o.wrong, 0) << "symbology " << symbology << o.wrongTexts;
    }
}

// 2 of 5 is left out: it has no check, and a cut end that ends like a stop pattern is a valid,
// shorter symbol at any module.
TEST(FineModules, AKnockedOutBarOrACutEndGivesNoWrongText) {
    for (int symbology = STRIPESCAN_CODE128; symbology <= STRIPESCAN_CODABAR; ++symbology) {
        const Outcome knocked = read_fine(symbology, barcode::degrade::pages_to_draw(8),
                                          11u + static_cast<unsigned>(symbology), knock_out_bar);
        EXPECT_EQ(knocked.wrong, 0) << "symbology " << symbology << knocked.wrongTexts;
        const Outcome cut = read_fine(symbology, barcode::degrade::pages_to_draw(8),
                                      17u + static_cast<unsigned>(symbology), cut_short);
        EXPECT_EQ(cut.wrong, 0) << "symbology " << symbology << cut.wrongTexts;
    }
}

}  // namespace
}  // namespace stripescan::testing
