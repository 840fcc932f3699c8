#include "marks/common/image.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "marks/common/skewtrim_binding.h"

namespace {

TEST(ImageRecord, CreateIsUnpaddedZeroFilledWithSpareBytes) {
    marks::Image img;
    ASSERT_TRUE(img.create(13, 5, 1));
    EXPECT_EQ(img.stride, 2);
    EXPECT_EQ(img.imageSize, 10);
    EXPECT_EQ(img.capacity(), 10u + marks::kSpareBytes);
    for (std::size_t i = 0; i < img.capacity(); ++i) EXPECT_EQ(img.bits()[i], 0);
    EXPECT_EQ(img.row(3), img.bits() + 6);
    EXPECT_FALSE(img.create(0, 5, 1));
    EXPECT_FALSE(img.create(5, 5, 4));
    EXPECT_FALSE(img.create(70000, 70000, 8));  // beyond 2 GiB
    EXPECT_TRUE(img.empty());
}

TEST(ImageRecord, RelayoutAndReserveKeepContentAndRows) {
    marks::Image img;
    ASSERT_TRUE(img.create(16, 4, 8));
    img.row(1)[0] = 77;
    ASSERT_TRUE(img.reserve(4096, 40));
    EXPECT_EQ(img.row(1)[0], 77);
    EXPECT_EQ(img.row(1), img.bits() + 16);
    ASSERT_TRUE(img.relayout(8, 8));
    EXPECT_EQ(img.stride, 8);
    EXPECT_EQ(img.row(2), img.bits() + 16);
    EXPECT_FALSE(img.relayout(4096, 4096));  // does not fit the block
    EXPECT_EQ(img.width, 8);
}

std::vector<std::uint8_t*> row_table(std::vector<std::uint8_t>& data, int stride, int height) {
    std::vector<std::uint8_t*> rows;
    for (int y = 0; y < height; ++y) rows.push_back(data.data() + y * stride);
    return rows;
}

TEST(CopyFlipped, FirstRowDarkThenRowsInOrderOrReversed) {
    // 4 rows of 8-bit pixels, padded stride 3 for width 2: row y holds y + 10.
    std::vector<std::uint8_t> data = {10, 10, 99, 11, 11, 99, 12, 12, 99, 13, 13, 99};
    auto rows = row_table(data, 3, 4);
    marks::SourceView src{2, 4, 8, 3, rows.data()};
    marks::Image out;
    ASSERT_TRUE(marks::copy_flipped(src, 0, out));
    EXPECT_EQ(out.stride, 2);
    EXPECT_EQ(out.row(0)[0], 0);
    EXPECT_EQ(out.row(1)[0], 10);
    EXPECT_EQ(out.row(3)[1], 12);
    ASSERT_TRUE(marks::copy_flipped(src, 1, out));
    EXPECT_EQ(out.row(0)[0], 0);
    EXPECT_EQ(out.row(1)[0], 13);
    EXPECT_EQ(out.row(3)[0], 11);
    ASSERT_TRUE(marks::copy_flipped(src, 7, out));  // unknown flip: rows stay empty
    EXPECT_EQ(out.row(2)[0], 0);
    src.stride = 1;  // shorter than a row: refused
    EXPECT_FALSE(marks::copy_flipped(src, 0, out));
}

TEST(CopyFlipped, RowPaddingBitsAreMadeLight) {
    marks::Image img;
    ASSERT_TRUE(img.create(10, 2, 1));
    marks::lighten_row_padding(img);
    EXPECT_EQ(img.row(0)[1], 0x3F);
    EXPECT_TRUE(img.dark(9, 1));
}

}  // namespace

namespace {

// Stand-ins for the bitmap library's quarter turn: the answer is a result code, 0 = success.
int turn_ok(std::uint8_t*, int* width, int* height, int, int) {
    std::swap(*width, *height);
    return 0;
}
int turn_refused(std::uint8_t*, int*, int*, int, int) {
    return 1;
}

TEST(RotateInPlace, ResultCodeZeroIsSuccessAndRoomIsMadeFirst) {
    marks::Image image;
    ASSERT_TRUE(image.create(10, 3, 1));
    ASSERT_TRUE(marks::rotate_in_place(image, turn_ok, 90));
    EXPECT_EQ(image.width, 3);
    EXPECT_EQ(image.height, 10);
    EXPECT_GE(image.capacity(), static_cast<std::size_t>(10 * 1 + 1024));

    EXPECT_FALSE(marks::rotate_in_place(image, turn_refused, 90));
    EXPECT_EQ(image.width, 3);
    EXPECT_FALSE(marks::rotate_in_place(image, nullptr, 90));
}

}  // namespace
