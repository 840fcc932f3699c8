#include "imaging/bitmap.h"

#include <gtest/gtest.h>

#include <cstring>

#include "imaging/tests/test_images.h"

namespace skewtrim {
namespace {

using testing::pattern_bitmap;
using testing::same_pixels;

TEST(BitmapNew, RowLengthsPaddedAndUnpadded) {
    struct Case {
        int bitCount;
        bool padded;
        int stride;
    } cases[] = {{1, true, 4}, {8, true, 12}, {24, true, 32}, {1, false, 2}, {8, false, 10}, {24, false, 30}};
    for (const Case& c : cases) {
        BitmapGuard bmp;
        ASSERT_EQ(bitmap_new(bmp.get(), 10, 7, c.bitCount, c.padded), kOk);
        EXPECT_EQ(bmp->stride, c.stride) << c.bitCount << " bits, padded " << c.padded;
        EXPECT_EQ(bmp->imageSize, 7 * c.stride);
        EXPECT_EQ(bmp->width, 10);
        EXPECT_EQ(bmp->height, 7);
        EXPECT_EQ(bmp->bitCount, c.bitCount);
        ASSERT_EQ(bmp->rows[0], bmp->bits);
        for (int y = 1; y < 7; ++y) {
            EXPECT_EQ(bmp->rows[y], bmp->rows[y - 1] + c.stride);
        }
        bmp->bits[bmp->imageSize + 15] = 1;  // the spare bytes exist (checked under ASan)
    }
}

TEST(BitmapNew, RefusesBadArgumentsWithoutTouchingTheRecord) {
    Bitmap out{};
    out.width = 77;
    EXPECT_EQ(bitmap_new(nullptr, 1, 1, 8, false), kInvalidArgument);
    EXPECT_EQ(bitmap_new(&out, 0, 1, 8, false), kInvalidArgument);
    EXPECT_EQ(bitmap_new(&out, 1, -3, 8, false), kInvalidArgument);
    EXPECT_EQ(bitmap_new(&out, 1, 1, 4, false), kInvalidArgument);
    EXPECT_EQ(bitmap_new(&out, 1, 1, 32, true), kInvalidArgument);
    EXPECT_EQ(out.width, 77);
    EXPECT_EQ(out.bits, nullptr);
}

TEST(BitmapNew, SizesBeyondThe32BitImageSizeAreRefusedNotAllocatedShort) {
    Bitmap out{};
    // 65536 x 65536 bytes wraps to 0 in 32 bits; 2^30 pixels x 24 bits overflows the row length.
    EXPECT_EQ(bitmap_new(&out, 65536, 65536, 8, false), kOutOfMemory);
    EXPECT_EQ(bitmap_new(&out, 1 << 30, 1, 24, true), kOutOfMemory);
    EXPECT_EQ(bitmap_new(&out, 0x7fffffff, 0x7fffffff, 1, true), kOutOfMemory);
    EXPECT_EQ(out.bits, nullptr);
    EXPECT_EQ(out.width, 0);
}

TEST(BitmapLifeCycle, InitDoneAndCheck) {
    EXPECT_EQ(bitmap_init(nullptr), kInvalidArgument);
    EXPECT_EQ(bitmap_done(nullptr), kInvalidArgument);
    EXPECT_EQ(bitmap_check(nullptr), kInvalidArgument);

    Bitmap empty{};
    EXPECT_EQ(bitmap_done(&empty), kOk);  // harmless on the empty state
    EXPECT_EQ(bitmap_check(&empty), kInvalidRecord);

    Bitmap bmp = pattern_bitmap(5, 4, 8, true);
    EXPECT_EQ(bitmap_check(&bmp), kOk);
    // Each field the check looks at, made invalid in turn.
    auto broken = [&](auto spoil) {
        Bitmap copy = bmp;
        spoil(copy);
        return bitmap_check(&copy);
    };
    EXPECT_EQ(broken([](Bitmap& b) { b.width = 0; }), kInvalidRecord);
    EXPECT_EQ(broken([](Bitmap& b) { b.height = -1; }), kInvalidRecord);
    EXPECT_EQ(broken([](Bitmap& b) { b.bitCount = 16; }), kInvalidRecord);
    EXPECT_EQ(broken([](Bitmap& b) { b.bits = nullptr; }), kInvalidRecord);
    EXPECT_EQ(broken([](Bitmap& b) { b.stride = 0; }), kInvalidRecord);
    EXPECT_EQ(broken([](Bitmap& b) { b.rows = nullptr; }), kInvalidRecord);
    EXPECT_EQ(broken([](Bitmap& b) { b.imageSize = -5; }), kOk);  // not examined

    EXPECT_EQ(bitmap_done(&bmp), kOk);
    EXPECT_EQ(bmp.bits, nullptr);
    EXPECT_EQ(bmp.rows, nullptr);
    EXPECT_EQ(bmp.width, 0);
    EXPECT_EQ(bmp.stride, 0);

    Bitmap stale = pattern_bitmap(3, 3, 8, false);
    Bitmap keep = stale;
    EXPECT_EQ(bitmap_init(&stale), kOk);  // forgets, does not release
    EXPECT_EQ(stale.bits, nullptr);
    bitmap_done(&keep);
}

TEST(BitmapCopy, KeepsRowLengthAndPixelsAndIsIndependent) {
    for (int bitCount : {1, 8, 24}) {
        for (bool padded : {false, true}) {
            Bitmap src = pattern_bitmap(13, 6, bitCount, padded, 7);
            BitmapGuard dst;
            ASSERT_EQ(bitmap_copy(&src, dst.get()), kOk);
            EXPECT_EQ(dst->stride, src.stride);
            EXPECT_EQ(dst->imageSize, src.imageSize);
            EXPECT_NE(dst->bits, src.bits);
            EXPECT_EQ(std::memcmp(dst->bits, src.bits, static_cast<size_t>(src.imageSize)), 0);
            src.bits[0] ^= 0xFF;
            EXPECT_NE(dst->bits[0], src.bits[0]);
            bitmap_done(&src);
        }
    }
}

TEST(BitmapCopy, ResultCodesAndUntouchedDestination) {
    Bitmap src = pattern_bitmap(4, 4, 8, false);
    EXPECT_EQ(bitmap_copy(&src, nullptr), kUnsupportedDepth);
    EXPECT_EQ(bitmap_copy(nullptr, nullptr), kUnsupportedDepth);
    Bitmap dst{};
    dst.width = 99;
    EXPECT_EQ(bitmap_copy(nullptr, &dst), kInvalidArgument);
    Bitmap noRows = src;
    noRows.rows = nullptr;
    EXPECT_EQ(bitmap_copy(&noRows, &dst), kInvalidRecord);
    EXPECT_EQ(dst.width, 99);
    EXPECT_EQ(dst.bits, nullptr);
    bitmap_done(&src);
}

}  // namespace
}  // namespace skewtrim
