// Darkness summed along the bars: fine bars whose 1-bit rows each lose widths to the pixel grid
// keep them over a band of slanted rows; stretches of a row that look like a fine barcode.

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "barcode/linear/bar_profile.h"
#include "barcode/linear/runs.h"

namespace stripescan {
namespace {

struct Canvas {
    Canvas(int w, int h)
        : image{w, h, (w + 7) / 8, nullptr}, bytes(static_cast<std::size_t>((w + 7) / 8) * h + 16, 0xFF) {
        image.bits = bytes.data();
    }
    Image image;
    std::vector<std::uint8_t> bytes;
};

// Draws bars and spaces of `widths` modules (bar first) of `module` pixels from column `left` on
// row `mid`, leaning `slope` columns per row, rows [top, bottom]: a pixel is black when more than
// half of it lies under a bar, as a sharp threshold of a fine print leaves it. Answers the edges'
// true columns on row `mid`.
std::vector<double> draw_bars(Canvas& c, const std::vector<int>& widths, double module, double left,
                              double slope, int top, int bottom, int mid) {
    std::vector<double> edges{left};
    for (int w : widths) edges.push_back(edges.back() + w * module);
    constexpr int kSub = 8;  // sub-samples per pixel
    for (int y = top; y <= bottom; ++y) {
        const double shift = slope * (y - mid);
        for (int x = 0; x < c.image.width; ++x) {
            int dark = 0;
            for (int s = 0; s < kSub; ++s) {
                const double u = x + (s + 0.5) / kSub - shift;
                for (std::size_t k = 0; k + 1 < edges.size(); k += 2)
                    if (u >= edges[k] && u < edges[k + 1]) ++dark;
            }
            if (2 * dark > kSub) c.image.set(x, y, false);
        }
    }
    return edges;
}

// Widths in pixels of the runs after the first (white) one.
std::vector<double> inner_widths(const RunList& runs) {
    std::vector<double> out;
    for (int k = 1; k + 1 < runs.size(); ++k) out.push_back(static_cast<double>(runs.length(k)) / runs.unit);
    return out;
}

const std::vector<int> kWidths = {1, 1, 1, 1, 3, 2, 1, 1, 2, 2, 1, 4, 1, 1, 2, 3, 1, 1, 1, 2, 1};

TEST(BarProfile, SlantedFineBarsKeepTheirWidthsOverABandWhereSingleRowsLoseThem) {
    for (double slope : {0.03, -0.045, 0.052}) {
        Canvas c(200, 60);
        const std::vector<double> edges = draw_bars(c, kWidths, 1.25, 40.3, slope, 5, 54, 29);
        // One row alone rounds every edge to a pixel: some widths are off by most of a module.
        RunList row;
        ASSERT_TRUE(row_runs(c.image, 29, row));
        RunList runs;
        double found = 0.0;
        ASSERT_TRUE(profile_runs(c.image, 10, 180, 5, 54, 1, 29, runs, found));
        EXPECT_NEAR(found, slope, 0.01) << slope;
        const std::vector<double> widths = inner_widths(runs);
        ASSERT_EQ(widths.size(), kWidths.size()) << slope;
        for (std::size_t k = 0; k < widths.size(); ++k)
            EXPECT_NEAR(widths[k], kWidths[k] * 1.25, 0.4) << "slope " << slope << " run " << k;
        // The first bar begins where it was drawn on the band's middle row.
        EXPECT_NEAR(runs.runs[1].x, edges[0], 1.0);
        // The even and the odd rows alone keep them as well.
        for (int first : {4, 5}) {
            RunList half;
            ASSERT_TRUE(profile_runs(c.image, 10, 180, first, 54, 2, 29, half, found));
            const std::vector<double> w = inner_widths(half);
            ASSERT_EQ(w.size(), kWidths.size()) << slope << " rows from " << first;
            for (std::size_t k = 0; k < w.size(); ++k) EXPECT_NEAR(w[k], kWidths[k] * 1.25, 0.5) << k;
        }
    }
}

TEST(BarProfile, AFaintBarAndAShallowSpaceThatStandOutStillCount) {
    // A narrow bar black on only a third of the rows, a narrow space white on a third.
    Canvas c(120, 40);
    draw_bars(c, {3, 3, 3}, 1.0, 30, 0.0, 0, 39, 20);  // bars at 30..32 and 36..38
    draw_bars(c, {3, 1, 3}, 1.0, 60, 0.0, 0, 39, 20);  // bars at 60..62 and 64..66
    for (int y = 0; y < 40; ++y) {
        if (y % 3 == 0) c.image.set(34, y, false);  // faint bar in the middle of the space 33..35
        if (y % 3 != 0) c.image.set(63, y, false);  // the space at 63 filled on most rows
    }
    RunList runs;
    double slope = 0.0;
    ASSERT_TRUE(profile_runs(c.image, 0, 110, 0, 39, 1, 20, runs, slope));
    int bars = 0;
    for (const stripescan::Run& r : runs.runs) bars += r.color == kBlack ? 1 : 0;
    EXPECT_EQ(bars, 5);  // 2 + the faint one + 2
}

TEST(BarProfile, RefusesBandsOffThePageOrTooShortOrWithoutBars) {
    Canvas c(100, 40);
    RunList runs;
    double slope = 0.0;
    EXPECT_FALSE(profile_runs(c.image, 0, 90, 50, 80, 1, 20, runs, slope));  // below the page
    EXPECT_FALSE(profile_runs(c.image, 0, 90, 10, 12, 1, 20, runs, slope));  // three rows
    EXPECT_FALSE(profile_runs(c.image, 0, 90, 0, 39, 1, 20, runs, slope));   // blank paper
    EXPECT_FALSE(profile_runs(c.image, 60, 40, 0, 39, 1, 20, runs, slope));  // columns the wrong way
    EXPECT_FALSE(profile_runs(c.image, 0, 90, 0, 39, 0, 20, runs, slope));   // no step between rows
}

TEST(DenseStretches, AFineSymbolBetweenQuietZonesIsOneStretchAndItsRowsRepeat) {
    Canvas c(240, 60);
    std::vector<int> widths;
    for (int k = 0; k < 4; ++k) widths.insert(widths.end(), kWidths.begin(), kWidths.end() - 1);
    widths.push_back(1);
    const std::vector<double> edges = draw_bars(c, widths, 1.25, 60, 0.02, 10, 50, 30);
    RunList row;
    ASSERT_TRUE(row_runs(c.image, 30, row));
    const std::vector<DenseStretch> found = dense_stretches(row);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_NEAR(found[0].from, edges.front(), 1.0);
    EXPECT_NEAR(found[0].to, edges.back(), 1.0);
    EXPECT_TRUE(runs_along_bars(c.image, found[0]));
    int top = 0, bottom = 0;
    bar_rows(c.image, found[0].from, found[0].to, 30, top, bottom);
    EXPECT_EQ(top, 10);
    EXPECT_EQ(bottom, 50);
}

TEST(DenseStretches, WideBarsShortRowsAndNoiseAreNoFineBarcode) {
    Canvas c(240, 60);
    draw_bars(c, {6, 4, 8, 6, 6, 4, 8, 4, 6, 6, 8, 4, 6, 4, 8, 6, 6}, 1.0, 20, 0.0, 0, 59, 30);  // wide runs
    RunList row;
    ASSERT_TRUE(row_runs(c.image, 30, row));
    EXPECT_TRUE(dense_stretches(row).empty());

    Canvas noise(240, 60);
    std::mt19937 rng(7);
    for (int y = 0; y < 60; ++y)
        for (int x = 40; x < 200; ++x)
            if (rng() % 10 < 3) noise.image.set(x, y, false);
    ASSERT_TRUE(row_runs(noise.image, 30, row));
    for (const DenseStretch& s : dense_stretches(row)) EXPECT_FALSE(runs_along_bars(noise.image, s));
}

}  // namespace
}  // namespace stripescan
