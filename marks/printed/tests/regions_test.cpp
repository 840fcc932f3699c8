// Dark regions, candidate marks, row groups and border cleanup on small drawn images.

#include <gtest/gtest.h>

#include <cstring>

#include "imaging/Skewtrim.h"
#include "marks/common/image.h"
#include "marks/printed/dark_regions.h"
#include "marks/printed/reader.h"
#include "marks/printed/row_groups.h"
#include "marks/printed/tests/sheet.h"

namespace {

using WorkingImage = marks::Image;

void load(WorkingImage& img, const sheet::Picture& p) {
    ASSERT_TRUE(img.create(p.width, p.height, 1));
    const auto rows = sheet::pack(p);
    std::copy(rows.begin(), rows.end(), img.bits());
}

TEST(DarkRegions, RunsAreFilteredMergedAndLinked) {
    sheet::Picture p(200, 40, 1);
    p.fill(10, 5, 20, 15, 0);  // a 10 x 10 mark
    p.fill(40, 5, 41, 15, 0);  // 1-pixel wide runs: below dpm / 4, ignored
    p.fill(60, 5, 64, 10, 0);  // two 4-pixel runs 2 pixels apart merge: 10 x 5
    p.fill(66, 5, 70, 10, 0);
    p.fill(100, 5, 104, 6, 0);    // 4 pixels only: below 10, dropped
    p.fill(120, 20, 130, 22, 0);  // a U shape joins into one region
    p.fill(120, 22, 122, 30, 0);
    p.fill(128, 22, 130, 30, 0);
    WorkingImage img;
    load(img, p);
    const auto regions = typemark::find_dark_regions(img, 8);
    ASSERT_EQ(regions.size(), 3u);
    EXPECT_EQ(regions[0].pixelCount, 100);
    EXPECT_EQ(regions[0].centroidX, 14);
    EXPECT_EQ(regions[0].centroidY, 9);
    EXPECT_EQ(regions[0].width, 10);
    EXPECT_EQ(regions[1].pixelCount, 50);
    EXPECT_EQ(regions[1].width, 10);
    EXPECT_EQ(regions[1].height, 5);
    EXPECT_EQ(regions[2].pixelCount, 20 + 2 * 16);
    EXPECT_EQ(regions[2].height, 10);
    EXPECT_EQ(regions[2].minY, 20);
}

TEST(DarkRegions, RunsReachingTheLengthLimitAreDropped) {
    sheet::Picture p(1000, 12, 1);
    p.fill(0, 2, 801, 4, 0);  // 801 pixels: longer than 100 x dpm
    p.fill(0, 6, 790, 8, 0);  // merges with the next into 800: dropped
    p.fill(792, 6, 800, 8, 0);
    p.fill(0, 9, 700, 11, 0);  // kept
    WorkingImage img;
    load(img, p);
    const auto regions = typemark::find_dark_regions(img, 8);
    ASSERT_EQ(regions.size(), 1u);
    EXPECT_EQ(regions[0].minY, 9);
}

TEST(RowGroups, CandidatesBySizeAndRowsByCentroid) {
    sheet::Picture p(300, 120, 1);
    // Row one, drawn right to left; a much larger region; row two 20 pixels lower.
    p.fill(100, 10, 116, 22, 0);
    p.fill(60, 11, 76, 23, 0);
    p.fill(10, 10, 26, 22, 0);
    p.fill(150, 5, 250, 60, 0);
    p.fill(10, 30, 26, 42, 0);
    p.fill(60, 31, 76, 43, 0);
    WorkingImage img;
    load(img, p);
    const auto regions = typemark::find_dark_regions(img, 8);
    const auto candidates = typemark::select_candidates(regions, 16, 12, 8);
    ASSERT_EQ(candidates.size(), 5u);
    const auto rows = typemark::group_rows(candidates, 8);
    ASSERT_EQ(rows.size(), 2u);
    ASSERT_EQ(rows[0].size(), 3u);
    EXPECT_LT(rows[0][0]->centroidX, rows[0][1]->centroidX);
    EXPECT_LT(rows[0][1]->centroidX, rows[0][2]->centroidX);
    EXPECT_EQ(rows[1].size(), 2u);
    // A mark size far from the regions' selects none of them.
    EXPECT_TRUE(typemark::select_candidates(regions, 40, 40, 8).empty());
}

TEST(Preparation, LinesRepeatedForHalfAndThirdResolution) {
    WorkingImage img;
    ASSERT_TRUE(img.create(8, 3, 1));
    for (int y = 0; y < 3; ++y) img.row(y)[0] = static_cast<std::uint8_t>(y + 1);
    WorkingImage out;
    ASSERT_TRUE(typemark::repeat_rows(img, 3, out));
    ASSERT_EQ(out.height, 9);
    for (int y = 0; y < 9; ++y) EXPECT_EQ(out.row(y)[0], y / 3 + 1) << y;
}

// A stand-in turn that writes the whole turned size, as the real one does.
int turn_stub(std::uint8_t* pixels, int* width, int* height, int bitCount, int angle) {
    if (bitCount != 1 || angle != 90) return SKEWTRIM_INVALID_ARGUMENT;
    const int w = *width, h = *height;
    std::memset(pixels, 0xA5, static_cast<std::size_t>(w) * static_cast<std::size_t>((h + 7) / 8));
    *width = h;
    *height = w;
    return SKEWTRIM_OK;
}
int failing_turn(std::uint8_t*, int*, int*, int, int) {
    return SKEWTRIM_INVALID_ARGUMENT;
}

TEST(Preparation, QuarterTurnMakesRoomAndTakesTheNewSize) {
    WorkingImage img;
    ASSERT_TRUE(img.create(100, 3, 1));  // 13 x 3 bytes; turned: 1 x 100
    ASSERT_TRUE(typemark::quarter_turn(img, turn_stub));
    EXPECT_EQ(img.width, 3);
    EXPECT_EQ(img.height, 100);
    EXPECT_EQ(img.stride, 1);
    EXPECT_EQ(img.row(99)[0], 0xA5);
    EXPECT_FALSE(typemark::quarter_turn(img, failing_turn));
    EXPECT_EQ(img.width, 3);
}

}  // namespace
