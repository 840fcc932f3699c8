#include "imaging/colour.h"

#include <gtest/gtest.h>

#include <cmath>

#include "imaging/bitmap.h"
#include "imaging/tests/test_images.h"

namespace skewtrim {
namespace {

using testing::pattern_bitmap;
using testing::pixel;

TEST(LumaTables, MatchTheRoundedWeights) {
    for (int v = 0; v < 256; ++v) {
        EXPECT_EQ(luma_red()[v], std::lround(std::floor(v * 0.299 * 1024 + 0.5))) << v;
        EXPECT_EQ(luma_green()[v], std::lround(std::floor(v * 0.587 * 1024 + 0.5))) << v;
        EXPECT_EQ(luma_blue()[v], std::lround(std::floor(v * 0.114 * 1024 + 0.5))) << v;
    }
    EXPECT_EQ(luma_red()[255] + luma_green()[255] + luma_blue()[255], 261120);
}

TEST(ToneTable, KnownEntriesIncludingItsDips) {
    EXPECT_EQ(tone()[0], 0);
    EXPECT_EQ(tone()[11], 4);
    EXPECT_EQ(tone()[12], 3);
    EXPECT_EQ(tone()[76], 44);
    EXPECT_EQ(tone()[128], 94);
    EXPECT_EQ(tone()[255], 255);
    long sum = 0;
    for (int v : tone()) {
        sum += v;
    }
    EXPECT_EQ(sum, 26633);  // guards the whole table against a mistyped entry
}

TEST(GreyOfColour, WhiteBlackAndPureRed) {
    const std::uint8_t white[3] = {255, 255, 255};
    const std::uint8_t black[3] = {0, 0, 0};
    const std::uint8_t red[3] = {0, 0, 255};  // blue, green, red
    EXPECT_EQ(grey_of_bgr(white), 255);
    EXPECT_EQ(grey_of_bgr(black), 0);
    EXPECT_EQ(grey_of_bgr(red), 44);  // grey index 76
}

TEST(BlackWhite, StrictThresholdOnTheLowByte) {
    Bitmap grey{};
    ASSERT_EQ(bitmap_new(&grey, 4, 1, 8, false), kOk);
    grey.bits[0] = 128;
    grey.bits[1] = 127;
    grey.bits[2] = 0;
    grey.bits[3] = 255;
    auto bitsFor = [&](int threshold) {
        BitmapGuard bw;
        EXPECT_EQ(to_black_white(&grey, bw.get(), threshold), kOk);
        return (pixel(*bw, 0, 0) << 3) | (pixel(*bw, 1, 0) << 2) | (pixel(*bw, 2, 0) << 1) | pixel(*bw, 3, 0);
    };
    EXPECT_EQ(bitsFor(128), 0b0001u);
    EXPECT_EQ(bitsFor(127), 0b1001u);
    EXPECT_EQ(bitsFor(256), 0b1101u);  // acts as 0
    EXPECT_EQ(bitsFor(255), 0b0000u);
    bitmap_done(&grey);
}

TEST(BlackWhite, ColourThroughToneAndRowLengthFollowsTheSource) {
    Bitmap colour = pattern_bitmap(10, 3, 24, false, 5);  // stride 30: not a multiple of 4
    BitmapGuard bw;
    ASSERT_EQ(to_black_white(&colour, bw.get(), 100), kOk);
    EXPECT_EQ(bw->stride, 2);
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 10; ++x) {
            EXPECT_EQ(pixel(*bw, x, y), grey_of_bgr(colour.rows[y] + 3 * x) > 100 ? 1u : 0u);
        }
    }
    bitmap_done(&colour);

    Bitmap grey10 = pattern_bitmap(10, 2, 8, false);
    Bitmap grey12 = pattern_bitmap(10, 2, 8, true);
    BitmapGuard a, b;
    ASSERT_EQ(to_black_white(&grey10, a.get(), 9), kOk);
    ASSERT_EQ(to_black_white(&grey12, b.get(), 9), kOk);
    EXPECT_EQ(a->stride, 2);
    EXPECT_EQ(b->stride, 4);
    bitmap_done(&grey10);
    bitmap_done(&grey12);
}

TEST(GreyAndColour, PerPixelRules) {
    Bitmap bw = pattern_bitmap(19, 3, 1, true, 9);
    BitmapGuard grey, colour;
    ASSERT_EQ(to_grey(&bw, grey.get()), kOk);
    ASSERT_EQ(to_colour(&bw, colour.get()), kOk);
    EXPECT_EQ(grey->stride, 20);
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 19; ++x) {
            const bool set = pixel(bw, x, y) == 1;
            EXPECT_EQ(pixel(*grey, x, y), set ? 255u : 0u);
            EXPECT_EQ(pixel(*colour, x, y), set ? 0xFFFFFFu : 0u);
        }
    }
    bitmap_done(&bw);

    Bitmap g = pattern_bitmap(5, 2, 8, false, 4);
    BitmapGuard c, back;
    ASSERT_EQ(to_colour(&g, c.get()), kOk);
    for (int x = 0; x < 5; ++x) {
        EXPECT_EQ(pixel(*c, x, 1), g.rows[1][x] * 0x010101u);
    }
    ASSERT_EQ(to_grey(c.get(), back.get()), kOk);  // grey pixels pass through tone
    for (int x = 0; x < 5; ++x) {
        EXPECT_EQ(pixel(*back, x, 1), static_cast<std::uint32_t>(tone()[g.rows[1][x]]));
    }
    bitmap_done(&g);
}

TEST(Conversions, SameDepthIsAnIndependentCopyAndErrorsLeaveTheDestination) {
    Bitmap colour = pattern_bitmap(6, 4, 24, false, 2);
    BitmapGuard copy;
    ASSERT_EQ(to_colour(&colour, copy.get()), kOk);
    EXPECT_NE(copy->bits, colour.bits);
    EXPECT_TRUE(testing::same_pixels(*copy, colour));
    EXPECT_EQ(copy->stride, colour.stride);

    Bitmap dst{};
    dst.width = 5;
    EXPECT_EQ(to_grey(nullptr, &dst), kInvalidArgument);
    EXPECT_EQ(to_grey(&colour, nullptr), kInvalidArgument);
    EXPECT_EQ(to_black_white(&colour, nullptr, 3), kInvalidArgument);
    Bitmap bad = colour;
    bad.stride = 0;
    EXPECT_EQ(to_colour(&bad, &dst), kInvalidRecord);
    EXPECT_EQ(dst.width, 5);
    bitmap_done(&colour);
}

}  // namespace
}  // namespace skewtrim
