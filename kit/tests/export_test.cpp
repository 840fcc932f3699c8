#include "kit/export.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <new>
#include <stdexcept>

#include "kit/Bitmap.h"

extern "C" std::size_t kit_c_bitmap_size(void);
extern "C" std::size_t kit_c_bitmap_bits_offset(void);

TEST(ExportFence, PassesTheBodysResultThroughAndTurnsEveryExceptionIntoTheFailureValue) {
    EXPECT_EQ(kit::fenced(-1, [] { return 7; }), 7);
    EXPECT_EQ(kit::fenced(-1, []() -> int { throw std::bad_alloc(); }), -1);
    EXPECT_EQ(kit::fenced(0, []() -> int { throw std::runtime_error("x"); }), 0);
    EXPECT_EQ(kit::fenced(0, []() -> int { throw 42; }), 0);
    // A 64-bit result keeps its width.
    EXPECT_EQ(kit::fenced(0, [] { return std::int64_t{1} << 40; }), std::int64_t{1} << 40);
}

TEST(ExportFence, SwallowsAnExceptionOfABodyWithoutResult) {
    int ran = 0;
    kit::fenced([&] { ++ran; });
    kit::fenced([&] {
        ++ran;
        throw std::bad_alloc();
    });
    EXPECT_EQ(ran, 2);
}

TEST(PublicHeaders, CompileTogetherAsCAndLayTheBitmapRecordOutAsInCxx) {
    EXPECT_EQ(kit_c_bitmap_size(), sizeof(Bitmap));
    EXPECT_EQ(kit_c_bitmap_bits_offset(), offsetof(Bitmap, bits));
    // Five 32-bit fields, padding to the pointers, the row table and the pixels.
    EXPECT_EQ(offsetof(Bitmap, rows), 24u);
    EXPECT_EQ(sizeof(Bitmap), 40u);
}
