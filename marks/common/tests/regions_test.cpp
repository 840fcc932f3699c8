#include "marks/common/regions.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// A packed 1-bit line from a picture string: '#' dark, anything else light.
std::vector<std::uint8_t> line_of(const std::string& picture) {
    std::vector<std::uint8_t> bytes((picture.size() + 7) / 8, 0xFF);
    for (std::size_t i = 0; i < picture.size(); ++i)
        if (picture[i] == '#') bytes[i / 8] &= static_cast<std::uint8_t>(~(0x80u >> (i % 8)));
    return bytes;
}

std::vector<marks::Run> runs_of(const std::string& picture, marks::RunRules rules) {
    std::vector<marks::Run> runs;
    marks::find_runs(line_of(picture).data(), static_cast<int>(picture.size()), rules, runs);
    return runs;
}

TEST(Runs, LengthLimitsAndMergingOfNearRuns) {
    const marks::RunRules rules{3, 12, 3};  // joins across up to two light pixels
    // short run ignored, near runs joined, far run separate
    auto runs = runs_of("#....###..####.....####..........", rules);
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(runs[0].start, 5);
    EXPECT_EQ(runs[0].end, 13);
    EXPECT_EQ(runs[1].start, 19);
    EXPECT_EQ(runs[1].length(), 4);
    // a joined run reaching the maximum is dropped, with what joins it later
    runs = runs_of("######..######..###.......###", rules);
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].start, 26);
    // too long alone; runs reaching the line end
    runs = runs_of("#############....########", rules);
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].end, 24);
}

TEST(Runs, WholeBytesAreSkippedWithoutLosingPixels) {
    std::string pic(64, '.');
    for (int i = 16; i < 40; ++i) pic[static_cast<std::size_t>(i)] = '#';
    auto runs = runs_of(pic, marks::RunRules{});
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].start, 16);
    EXPECT_EQ(runs[0].end, 39);
}

// Labels a picture of rows and returns the finished regions.
std::vector<marks::MarkBlob> label(const std::vector<std::string>& rows) {
    marks::RegionLabeller labeller;
    std::vector<marks::MarkBlob> done;
    std::vector<marks::Run> runs;
    for (std::size_t y = 0; y < rows.size(); ++y) {
        marks::find_runs(line_of(rows[y]).data(), static_cast<int>(rows[y].size()), marks::RunRules{}, runs);
        labeller.add_line(static_cast<int>(y), runs, done);
    }
    labeller.finish_all(done);
    return done;
}

TEST(Labelling, UShapeMergesIntoEarlierRegionWithSummedStatistics) {
    auto blobs = label({
        "#..#....",
        "#..#....",
        "####....",
        "........",
        ".....##.",
    });
    ASSERT_EQ(blobs.size(), 2u);
    const marks::MarkBlob& u = blobs[0];
    EXPECT_EQ(u.number, 0);
    EXPECT_EQ(u.pixelCount, 8);
    EXPECT_EQ(u.minX, 0);
    EXPECT_EQ(u.maxX, 3);
    EXPECT_EQ(u.width, 4);
    EXPECT_EQ(u.height, 3);
    EXPECT_EQ(u.centroidX, (0 + 3 + 0 + 3 + 0 + 1 + 2 + 3) / 8);
    EXPECT_EQ(u.centroidY, (0 + 0 + 1 + 1 + 2 * 4) / 8);
    ASSERT_EQ(u.merged.size(), 1u);
    EXPECT_EQ(u.merged[0], 1);
    EXPECT_EQ(blobs[1].pixelCount, 2);
    EXPECT_EQ(blobs[1].minY, 4);
}

TEST(Labelling, DiagonalNeighboursAreSeparateAndColumnsSwapAxes) {
    auto blobs = label({"#...", ".#.."});
    EXPECT_EQ(blobs.size(), 2u);

    // The same picture walked by columns: line index is x.
    marks::RegionLabeller labeller(true);
    std::vector<marks::MarkBlob> done;
    labeller.add_line(5, {{2, 4}}, done);
    labeller.add_line(6, {{3, 6}}, done);
    EXPECT_TRUE(done.empty());
    labeller.add_line(7, {}, done);
    ASSERT_EQ(done.size(), 1u);
    EXPECT_EQ(done[0].minX, 5);
    EXPECT_EQ(done[0].maxX, 6);
    EXPECT_EQ(done[0].minY, 2);
    EXPECT_EQ(done[0].maxY, 6);
    EXPECT_EQ(done[0].pixelCount, 7);
    EXPECT_EQ(labeller.open_count(), 0u);
}

}  // namespace
