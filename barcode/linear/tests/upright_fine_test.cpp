// Upright fine symbols, whose edges all fall on pixel boundaries on every row: widths rounded to
// whole pixels put back onto the grid of modules that holds every edge, end to end on photos
// that used to miss, and damaged ones that must not misread.

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "barcode/common/tests/degrade.h"
#include "barcode/linear/pixel_grid.h"
#include "barcode/linear/tests/drawn_pages.h"

namespace stripescan::testing {
namespace {

using barcode::degrade::BitPage;
using barcode::degrade::ModuleGrid;
using barcode::degrade::Render;

// Runs of bars and spaces of `widths` modules (bar first, between two quiet zones) whose edges,
// `module` pixels apart and thinned by `thin` pixels on each side of every bar, are rounded to
// whole pixels, as an upright symbol shows them on every row.
RunList rounded_runs(const std::vector<int>& widths, double module, double left, double thin) {
    std::vector<long> edges;
    double at = left;
    for (std::size_t k = 0; k <= widths.size(); ++k) {
        const bool leading = k % 2 == 0;
        edges.push_back(std::lround(at + (leading ? thin : -thin)));
        if (k < widths.size()) at += widths[k] * module;
    }
    RunList runs;
    runs.unit = kBandUnit;
    runs.runs.push_back(Run{0, 0, static_cast<int>(edges.front() * kBandUnit), kWhite});
    for (std::size_t k = 0; k + 1 < edges.size(); ++k)
        runs.runs.push_back(Run{static_cast<int>(edges[k]), 0,
                                static_cast<int>((edges[k + 1] - edges[k]) * kBandUnit),
                                k % 2 == 0 ? kBlack : kWhite});
    runs.runs.push_back(Run{static_cast<int>(edges.back()), 0, 20 * kBandUnit, kWhite});
    return runs;
}

TEST(PixelGrid, WidthsRoundedToWholePixelsComeBackAsModulesOnOneOfTheGrids) {
    // A UPC-E's guards and digits (0-0-1-6-8-3-5-9 drawn by hand: any widths of one to four
    // modules will do) at 1.25 px modules, at several phases and ink losses.
    const std::vector<int> widths{1, 1, 1, 3, 2, 1, 1, 2, 3, 1, 1, 1, 1, 3, 2, 1, 4, 1, 1, 1, 2, 1, 3,
                                  1, 3, 1, 1, 2, 1, 1, 1, 1, 1, 1, 1, 2, 1, 1, 3, 3, 1, 1, 1, 1, 1, 1};
    int found = 0, cases = 0;
    for (double left : {20.0, 20.2, 20.45, 20.7, 20.9}) {
        for (double thin : {0.0, 0.1, 0.19}) {
            ++cases;
            const RunList runs = rounded_runs(widths, 1.25, left, thin);
            ASSERT_TRUE(edges_on_pixels(runs));
            bool exact = false;
            for (const PixelGrid& grid : pixel_grids(runs)) {
                RunList snapped = runs;
                if (!snap_to_pixel_grid(snapped, grid)) continue;
                bool same = true;
                for (std::size_t k = 0; k < widths.size(); ++k)
                    same = same && std::lround(snapped.length(static_cast<int>(k) + 1) /
                                               (grid.module * kBandUnit)) == widths[k];
                exact = exact || same;
            }
            found += exact ? 1 : 0;
        }
    }
    EXPECT_EQ(found, cases);

    // Slanted bars, whose edges fall anywhere within the pixels, are not taken for upright ones.
    RunList slanted = rounded_runs(widths, 1.25, 20.0, 0.0);
    std::mt19937 rng(3);
    for (std::size_t k = 1; k + 1 < slanted.runs.size(); ++k)
        slanted.runs[k].length += std::uniform_int_distribution<int>(-3, 3)(rng);
    EXPECT_FALSE(edges_on_pixels(slanted));
}

// An upright photo of a fine symbol (as the degraded report draws them, turned by 0 degrees)
// with one bar knocked out.
Outcome read_upright_fine_photo(int symbology, int count, unsigned seed) {
    return read_drawn(
        symbology, count, seed,
        [](ModuleGrid& grid, Render& how, std::mt19937& rng) {
            damage_symbol(grid, 0, rng);
            how.module = 1.25;
            how.blur = 0.5;
            how.contrast = 0.8;
            how.noise = 0.04;
        },
        [](const ModuleGrid& grid, const Render& how) {
            return BitPage(static_cast<int>(grid.width * how.module + 100),
                           static_cast<int>(grid.height * how.module + 80));
        });
}

TEST(UprightFinePhotos, SavedPagesThatMissedAreReadAndDrawnOnesWithABarKnockedOutNeverMisread) {
    // Missed before: an upright UPC-E and an upright EAN-13 at 1.25 px with blur.
    const std::vector<std::pair<int, std::string>> upce{{STRIPESCAN_UPCE, "00168359"}};
    EXPECT_EQ(read_saved_page(STRIPESCAN_TEST_DATA, "upce-fine-upright.bmp"), upce);
    const std::vector<std::pair<int, std::string>> ean13{{STRIPESCAN_EAN13, "540253577683"}};
    EXPECT_EQ(read_saved_page(STRIPESCAN_TEST_DATA, "ean13-fine-upright.bmp"), ean13);
    // Band readings keep their pair digits firm by the symbol's gain: told by the band's own
    // narrow and wide bars, as lines by local contrast are, this UPC-E was refused.
    const std::vector<std::pair<int, std::string>> tipped{{STRIPESCAN_UPCE, "02871875"}};
    EXPECT_EQ(read_saved_page(STRIPESCAN_TEST_DATA, "upce-fine-upright-tipped.bmp"), tipped);

    // Code 39 and Codabar whose wide elements are two modules: at 1.25 px a narrow and a wide
    // element both rounded to 2 px on every row, so that their widths as they are read nothing.
    const std::vector<std::pair<int, std::string>> code39{{STRIPESCAN_CODE39, "C9N7Z7PQSUR"}};
    EXPECT_EQ(read_saved_page(STRIPESCAN_TEST_DATA, "code39-fine-upright.bmp"), code39);
    const std::vector<std::pair<int, std::string>> codabar{{STRIPESCAN_CODABAR, "B731892-5:8A"}};
    EXPECT_EQ(read_saved_page(STRIPESCAN_TEST_DATA, "codabar-fine-upright.bmp"), codabar);

    // With a bar knocked out, upright symbols never misread: the whole-pixel widths read as they
    // are gave an EAN-13 "062498205978" for "569198905978" on both bands, the same picture.
    // Narrow/wide symbols, which carry no check, are read on the grid too now.
    for (int symbology : {STRIPESCAN_CODE128, STRIPESCAN_EAN13, STRIPESCAN_UPCE, STRIPESCAN_CODE39,
                          STRIPESCAN_CODABAR, STRIPESCAN_ITF}) {
        const Outcome damaged =
            read_upright_fine_photo(symbology, 12, 90u + static_cast<unsigned>(symbology));
        EXPECT_EQ(damaged.wrong, 0) << "symbology " << symbology << damaged.wrongTexts;
    }
}

}  // namespace
}  // namespace stripescan::testing
