#include "imaging/rotate.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "imaging/bitmap.h"
#include "imaging/tests/test_images.h"

namespace skewtrim {
namespace {

using testing::pattern_bitmap;
using testing::pixel;
using testing::same_pixels;

TEST(RotateBitmap, OnlyRightAnglesAndZeroIsAnExactCopy) {
    Bitmap src = pattern_bitmap(7, 5, 8, true);
    Bitmap dst{};
    EXPECT_EQ(rotate_bitmap(&src, &dst, 45.0), kInvalidArgument);
    EXPECT_EQ(rotate_bitmap(&src, &dst, 90.5), kInvalidArgument);
    EXPECT_EQ(rotate_bitmap(&src, &dst, -90.0), kInvalidArgument);
    EXPECT_EQ(rotate_bitmap(nullptr, &dst, 90.0), kInvalidArgument);
    EXPECT_EQ(rotate_bitmap(&src, nullptr, 90.0), kInvalidArgument);
    EXPECT_EQ(dst.bits, nullptr);
    BitmapGuard copy;
    ASSERT_EQ(rotate_bitmap(&src, copy.get(), 0.0), kOk);
    EXPECT_EQ(copy->stride, src.stride);
    EXPECT_EQ(std::memcmp(copy->bits, src.bits, static_cast<size_t>(src.imageSize)), 0);
    bitmap_done(&src);
}

// The mapping table, checked pixel by pixel for every depth.
TEST(RotateBitmap, PixelMappingForEachAngleAndDepth) {
    for (int bitCount : {1, 8, 24}) {
        Bitmap src = pattern_bitmap(11, 6, bitCount, true, 21);
        const int w = 11, h = 6;
        for (int angle : {90, 180, 270}) {
            BitmapGuard out;
            ASSERT_EQ(rotate_bitmap(&src, out.get(), angle), kOk);
            const bool quarter = angle != 180;
            ASSERT_EQ(out->width, quarter ? h : w);
            ASSERT_EQ(out->height, quarter ? w : h);
            EXPECT_EQ(out->stride, (out->width * bitCount + 7) / 8);  // unpadded
            for (int y = 0; y < h; ++y) {
                for (int x = 0; x < w; ++x) {
                    int dx = 0, dy = 0;
                    if (angle == 90) {
                        dx = y;
                        dy = w - 1 - x;
                    } else if (angle == 180) {
                        dx = w - 1 - x;
                        dy = h - 1 - y;
                    } else {
                        dx = h - 1 - y;
                        dy = x;
                    }
                    ASSERT_EQ(pixel(*out, dx, dy), pixel(src, x, y)) << bitCount << " bits, " << angle;
                }
            }
        }
        bitmap_done(&src);
    }
}

TEST(RotateBitmap, TurnsComposeBackToTheStart) {
    for (int bitCount : {1, 8, 24}) {
        Bitmap src = pattern_bitmap(13, 9, bitCount, false, 8);
        BitmapGuard a, b;
        ASSERT_EQ(rotate_bitmap(&src, a.get(), 90), kOk);
        ASSERT_EQ(rotate_bitmap(a.get(), b.get(), 270), kOk);
        EXPECT_TRUE(same_pixels(*b, src));

        Bitmap cur{};
        ASSERT_EQ(bitmap_copy(&src, &cur), kOk);
        for (int i = 0; i < 4; ++i) {
            Bitmap next{};
            ASSERT_EQ(rotate_bitmap(&cur, &next, 90), kOk);
            bitmap_done(&cur);
            cur = next;
        }
        EXPECT_TRUE(same_pixels(cur, src)) << bitCount;
        bitmap_done(&cur);
        bitmap_done(&src);
    }
}

TEST(RotateBuffer, QuarterTurnOfEightBitsReportsTheNewSize) {
    std::vector<std::uint8_t> buf = {1, 2, 3, 4, 5, 6};  // 3 x 2, row 0 = 1 2 3
    int w = 3, h = 2;
    ASSERT_EQ(rotate_buffer(buf.data(), &w, &h, 8, 90), kOk);
    EXPECT_EQ(w, 2);
    EXPECT_EQ(h, 3);
    // (x, y) -> column y of row 2 - x
    EXPECT_EQ(buf, (std::vector<std::uint8_t>{3, 6, 2, 5, 1, 4}));
}

TEST(RotateBuffer, OneBitQuarterTurnGrowsToTheDocumentedRoom) {
    // W = 10, H = 3: 6 bytes become 10 rows of one byte.
    std::vector<std::uint8_t> buf(10, 0xEE);
    const std::uint8_t rows[6] = {0xC0, 0x40, 0x00, 0x00, 0xFF, 0xC0};
    std::memcpy(buf.data(), rows, 6);
    int w = 10, h = 3;
    ASSERT_EQ(rotate_buffer(buf.data(), &w, &h, 1, 90), kOk);
    EXPECT_EQ(w, 3);
    EXPECT_EQ(h, 10);
    // Source pixel (0,0) is set: goes to column 0 of row 9; (9,0) set -> column 0 of row 0.
    EXPECT_EQ(buf[9] & 0x80, 0x80);
    EXPECT_EQ(buf[0] & 0x80, 0x80);
    EXPECT_EQ(buf[0] & 0x40, 0x00);  // (9,1) clear
    EXPECT_EQ(buf[0] & 0x20, 0x20);  // (9,2) set
}

TEST(RotateBuffer, RefusalsLeaveBufferAndSizes) {
    std::vector<std::uint8_t> buf = {1, 2, 3, 4, 5, 6};
    const auto before = buf;
    int w = 3, h = 2;
    EXPECT_EQ(rotate_buffer(buf.data(), &w, &h, 8, 360), kInvalidArgument);
    EXPECT_EQ(rotate_buffer(buf.data(), &w, &h, 4, 90), kInvalidArgument);
    EXPECT_EQ(rotate_buffer(nullptr, &w, &h, 8, 90), kInvalidArgument);
    EXPECT_EQ(rotate_buffer(buf.data(), nullptr, &h, 8, 90), kInvalidArgument);
    int zero = 0;
    EXPECT_EQ(rotate_buffer(buf.data(), &zero, &h, 8, 90), kInvalidArgument);
    EXPECT_EQ(buf, before);
    EXPECT_EQ(w, 3);
    EXPECT_EQ(h, 2);
}

}  // namespace
}  // namespace skewtrim
