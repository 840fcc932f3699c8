#include "barcode/common/runs.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace {

// Pixel-by-pixel cut of a packed row, the oracle for the byte-skipping cutter.
std::vector<int> naive_runs(const std::vector<std::uint8_t>& row, int width, int from, bool& firstDark) {
    std::vector<int> out;
    auto dark = [&](int x) { return !((row[static_cast<std::size_t>(x / 8)] >> (7 - x % 8)) & 1); };
    firstDark = dark(from);
    int run = 0;
    bool colour = firstDark;
    for (int x = from; x < width; ++x) {
        if (dark(x) == colour) {
            ++run;
        } else {
            out.push_back(run);
            colour = !colour;
            run = 1;
        }
    }
    out.push_back(run);
    return out;
}

TEST(RowRunLengths, MatchesAPixelByPixelCutOnRandomRowsFromAnyColumn) {
    std::mt19937 random(7);
    for (int trial = 0; trial < 300; ++trial) {
        const int width = 1 + static_cast<int>(random() % 200);
        std::vector<std::uint8_t> row(static_cast<std::size_t>((width + 7) / 8));
        const int style = trial % 3;  // long runs (whole bytes), single pixels, mixed
        for (auto& byte : row) {
            const unsigned r = random();
            byte = style == 0   ? ((r & 1) ? 0xFF : 0x00)
                   : style == 1 ? static_cast<std::uint8_t>(r)
                                : ((r & 3) ? static_cast<std::uint8_t>(r >> 8) : 0xFF);
        }
        const int from = static_cast<int>(random() % static_cast<unsigned>(width));
        bool expectedDark = false;
        const std::vector<int> expected = naive_runs(row, width, from, expectedDark);
        std::vector<int> got(static_cast<std::size_t>(width));
        bool dark = false;
        const int count = barcode::row_run_lengths(row.data(), width, from, got.data(), width, dark);
        got.resize(static_cast<std::size_t>(count));
        ASSERT_EQ(got, expected) << "trial " << trial;
        ASSERT_EQ(dark, expectedDark);
    }
}

TEST(RowRunLengths, StopsAtTheCapacityAndRefusesAStartOutsideTheRow) {
    const std::vector<std::uint8_t> row = {0x55, 0x55};  // alternating single pixels
    int lengths[4] = {};
    bool dark = true;
    EXPECT_EQ(barcode::row_run_lengths(row.data(), 16, 0, lengths, 4, dark), 4);
    EXPECT_TRUE(dark);
    EXPECT_EQ(barcode::row_run_lengths(row.data(), 16, 16, lengths, 4, dark), 0);
    EXPECT_EQ(barcode::row_run_lengths(row.data(), 16, -1, lengths, 4, dark), 0);
    EXPECT_EQ(barcode::row_run_lengths(row.data(), 16, 0, lengths, 0, dark), 0);
}

TEST(MergeNarrowRuns, SwallowsEachNarrowRunWithItsSuccessorIntoTheLastKeptRun) {
    auto length = [](int& w) -> int& { return w; };
    // 1 and its successor 4 join 10; 2 and 6 join 8; the last run stays.
    std::vector<int> runs = {5, 10, 1, 4, 8, 2, 6, 9};
    runs.resize(barcode::merge_narrow_runs(runs.data(), runs.size(), 2, length));
    EXPECT_EQ(runs, (std::vector<int>{5, 15, 16, 9}));
    // A narrow second-last run takes the last run with it.
    runs = {5, 10, 1, 4};
    runs.resize(barcode::merge_narrow_runs(runs.data(), runs.size(), 2, length));
    EXPECT_EQ(runs, (std::vector<int>{5, 15}));
    // The first run is never merged, whatever its width; width 0 leaves the list alone.
    runs = {1, 9, 9};
    runs.resize(barcode::merge_narrow_runs(runs.data(), runs.size(), 2, length));
    EXPECT_EQ(runs, (std::vector<int>{1, 9, 9}));
    runs.resize(barcode::merge_narrow_runs(runs.data(), runs.size(), 0, length));
    EXPECT_EQ(runs.size(), 3u);
}

TEST(MergeNarrowRuns, AHugeWidthDoesNotOverflowAndMergesEverythingIntoTheFirstRun) {
    std::vector<int> runs = {3, 4, 5, 6, 7};
    runs.resize(barcode::merge_narrow_runs(runs.data(), runs.size(), 8LL * 2147483647LL,
                                           [](int& w) -> int& { return w; }));
    EXPECT_EQ(runs, (std::vector<int>{25}));
}

}  // namespace
