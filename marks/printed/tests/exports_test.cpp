// The exports of libTypemark.so as a caller binds them, by name at run time.

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "marks/printed/Typemark.h"
#include "marks/printed/tests/sheet.h"
#include "platform/dynamic_library.h"

namespace {

using OMReadSPFn = int (*)(const uint8_t*, int*, int, int, int, int, char*);
using DecodeFn = int (*)(Bitmap*, int, int, int, int*, char*);

class TypemarkExports : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(lib_.open(TYPEMARK_LIBRARY_PATH)) << lib_.error();
        omread_ = lib_.resolve<OMReadSPFn>("OMReadSP");
        decode_ = lib_.resolve<DecodeFn>("image_decode_OMRSP");
        ASSERT_NE(omread_, nullptr);
        ASSERT_NE(decode_, nullptr);
    }
    void TearDown() override { unsetenv("FMTFILESPPATH"); }
    platform::DynamicLibrary lib_;
    OMReadSPFn omread_ = nullptr;
    DecodeFn decode_ = nullptr;
};

TEST_F(TypemarkExports, BadArgumentsAnswerZeroAndLeaveTheResult) {
    std::uint8_t image[16] = {0};
    int selector = 0;
    char result[8] = "keep";
    EXPECT_EQ(omread_(nullptr, &selector, 0, 8, 2, 2, result), 0);
    EXPECT_EQ(omread_(image, nullptr, 0, 8, 2, 2, result), 0);
    EXPECT_EQ(omread_(image, &selector, 0, 8, 2, 2, nullptr), 0);
    EXPECT_EQ(omread_(image, &selector, 0, 0, 2, 2, result), 0);
    EXPECT_EQ(omread_(image, &selector, 0, 8, -1, 2, result), 0);
    EXPECT_EQ(omread_(image, &selector, 0, 8, 2, 5, result), 0);
    EXPECT_EQ(omread_(image, &selector, 0, 0x7fffffff, 0x7fffffff, 2, result), 0);
    Bitmap bmp{8, 2, 8, 16, 8, nullptr, image};
    EXPECT_EQ(decode_(&bmp, 0, 0, 2, &selector, result), 0) << "8-bit record";
    bmp.bitCount = 1;
    bmp.stride = 0;
    EXPECT_EQ(decode_(&bmp, 0, 0, 2, &selector, result), 0) << "stride shorter than a row";
    EXPECT_EQ(decode_(nullptr, 0, 0, 2, &selector, result), 0);
    EXPECT_STREQ(result, "keep");
}

// With the kit's bitmap library beside this one, a slightly skewed sheet on a dark
// background is straightened and read through OMReadSP, fed upright, upside down and
// turned; the text fills exactly what the grid needs.
TEST_F(TypemarkExports, ReadsSkewedSheetsThroughTheBitmapLibrary) {
    platform::DynamicLibrary skewtrim;
    if (!skewtrim.open("Skewtrim.dll")) GTEST_SKIP() << "libSkewtrim.so is not built";
    sheet::Block b;
    b.markWidth = 2.5;
    b.markHeight = 1.5;
    b.columnPitch = {5, 7, 5, 5};
    b.rowPitch = {4, 6, 4};
    b.cells = {"11111", "10010", "01101", "00110"};
    setenv("FMTFILESPPATH",
           sheet::write_temp("typemark_exports.txt", sheet::grid_form({{2, 1}}, b) + "*").c_str(), 1);
    sheet::Layout l;
    l.width = 720;
    l.height = 520;
    l.margin = 40;
    l.block = b;
    const sheet::Picture upright = sheet::skew(sheet::render(l), 1.5);
    const std::string want = sheet::expected_text(b);
    const sheet::Picture feeds[] = {upright, sheet::turn_half(upright), sheet::turn_clockwise(upright),
                                    sheet::turn_counter_clockwise(upright)};
    for (const sheet::Picture& p : feeds) {
        const auto rows = sheet::pack(p);
        char result[64];
        std::memset(result, 0x7f, sizeof result);
        int selector = 0;
        ASSERT_EQ(omread_(rows.data(), &selector, 1, p.width, p.height, 2, result), 1) << p.width;
        EXPECT_STREQ(result, want.c_str());
        EXPECT_EQ(selector, 1);
        for (std::size_t i = want.size() + 1; i < sizeof result; ++i) ASSERT_EQ(result[i], 0x7f) << i;
    }

    // The same sheet in a Bitmap record with padded rows, straightened, selector 1.
    const int stride = ((upright.width + 31) / 8) & ~3;
    std::vector<std::uint8_t> padded(static_cast<std::size_t>(stride) * upright.height, 0);
    std::vector<std::uint8_t*> rowTable;
    const auto rows = sheet::pack(upright);
    const std::size_t rowBytes = static_cast<std::size_t>((upright.width + 7) / 8);
    for (int y = 0; y < upright.height; ++y) {
        std::memcpy(&padded[static_cast<std::size_t>(y) * stride], &rows[y * rowBytes], rowBytes);
        rowTable.push_back(&padded[static_cast<std::size_t>(y) * stride]);
    }
    Bitmap bmp{upright.width,   upright.height, 1, stride * upright.height, stride,
               rowTable.data(), padded.data()};
    char result[64];
    int selector = 1;
    ASSERT_EQ(decode_(&bmp, 1, 1, 2, &selector, result), 1);
    EXPECT_STREQ(result, want.c_str());
    EXPECT_EQ(selector, 0);
    selector = 1;
    EXPECT_EQ(decode_(&bmp, 1, 1, 5, &selector, result), 0) << "scan mode 5";
}

}  // namespace
