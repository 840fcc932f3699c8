// The exports of libTypemark.so as a caller binds them, by name at run time.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "marks/printed/Typemark.h"
#include "marks/printed/tests/layout_check.h"
#include "marks/printed/tests/sheet.h"
#include "platform/dynamic_library.h"

namespace {

using OMReadSPFn = int (*)(const uint8_t*, int*, int, int, int, int, char*);
using DecodeFn = int (*)(Bitmap*, int, int, int, int*, char*);
using LayoutFn = int (*)(MarkLayout*);

class TypemarkExports : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(lib.open(TYPEMARK_LIBRARY_PATH)) << lib.error();
        omread = lib.resolve<OMReadSPFn>("OMReadSP");
        decode = lib.resolve<DecodeFn>("image_decode_OMRSP");
        layout = lib.resolve<LayoutFn>("OMReadLayoutSP");
        ASSERT_NE(omread, nullptr);
        ASSERT_NE(decode, nullptr);
        ASSERT_NE(layout, nullptr);
    }
    // The last read's layout through OMReadLayoutSP, arrays sized from a first call.
    bool last_layout(MarkLayout& out, std::vector<MarkCell>& cells, std::vector<MarkGuide>& guides) {
        out = MarkLayout{};
        if (layout(&out) != 0 || out.cellCount <= 0) return false;
        cells.assign(static_cast<std::size_t>(out.cellCount), MarkCell{});
        guides.assign(static_cast<std::size_t>(out.guideCount), MarkGuide{});
        out.cells = cells.data();
        out.cellCapacity = out.cellCount;
        out.guides = guides.data();
        out.guideCapacity = out.guideCount;
        return layout(&out) == 1;
    }
    void TearDown() override { unsetenv("FMTFILESPPATH"); }
    platform::DynamicLibrary lib;
    OMReadSPFn omread = nullptr;
    DecodeFn decode = nullptr;
    LayoutFn layout = nullptr;
};

// A 5 x 4 block anchored by its full top row, on a sheet turned 1.5 degrees.
struct SkewedSheet {
    sheet::Layout drawn;
    double degrees = 1.5;
    SkewedSheet() {
        sheet::Block& b = drawn.block;
        b.markWidth = 2.5;
        b.markHeight = 1.5;
        b.columnPitch = {5, 7, 5, 5};
        b.rowPitch = {4, 6, 4};
        b.cells = {"11111", "10010", "01101", "00110"};
        drawn.width = 720;
        drawn.height = 520;
        drawn.margin = 40;
    }
    sheet::Picture picture() const { return sheet::skew(sheet::render(drawn), degrees); }
    // Where a point of the upright drawing lies on the skewed picture.
    sheet::Point skewed(sheet::Point p) const {
        const double a = degrees * 3.14159265358979 / 180.0, c = std::cos(a), s = std::sin(a);
        const double mx = drawn.width / 2.0, my = drawn.height / 2.0;
        return {mx + (p.x - mx) * c - (p.y - my) * s, my + (p.x - mx) * s + (p.y - my) * c};
    }
};

// A Bitmap record over packed rows copied into `padded` with a stride padded to 4 bytes.
Bitmap padded_bitmap(const sheet::Picture& p, std::vector<std::uint8_t>& padded,
                     std::vector<std::uint8_t*>& rows) {
    const int stride = ((p.width + 31) / 8) & ~3;
    const auto packed = sheet::pack(p);
    const std::size_t rowBytes = static_cast<std::size_t>((p.width + 7) / 8);
    padded.assign(static_cast<std::size_t>(stride) * p.height, 0);
    rows.clear();
    for (int y = 0; y < p.height; ++y) {
        std::memcpy(&padded[static_cast<std::size_t>(y) * stride], &packed[y * rowBytes], rowBytes);
        rows.push_back(&padded[static_cast<std::size_t>(y) * stride]);
    }
    return Bitmap{p.width, p.height, 1, stride * p.height, stride, rows.data(), padded.data()};
}

TEST_F(TypemarkExports, BadArgumentsAnswerZeroAndLeaveTheResult) {
    std::uint8_t image[16] = {0};
    int selector = 0;
    char result[8] = "keep";
    EXPECT_EQ(omread(nullptr, &selector, 0, 8, 2, 2, result), 0);
    EXPECT_EQ(omread(image, nullptr, 0, 8, 2, 2, result), 0);
    EXPECT_EQ(omread(image, &selector, 0, 8, 2, 2, nullptr), 0);
    EXPECT_EQ(omread(image, &selector, 0, 0, 2, 2, result), 0);
    EXPECT_EQ(omread(image, &selector, 0, 8, -1, 2, result), 0);
    EXPECT_EQ(omread(image, &selector, 0, 8, 2, 5, result), 0);
    EXPECT_EQ(omread(image, &selector, 0, 0x7fffffff, 0x7fffffff, 2, result), 0);
    Bitmap bmp{8, 2, 8, 16, 8, nullptr, image};
    EXPECT_EQ(decode(&bmp, 0, 0, 2, &selector, result), 0) << "8-bit record";
    bmp.bitCount = 1;
    bmp.stride = 0;
    EXPECT_EQ(decode(&bmp, 0, 0, 2, &selector, result), 0) << "stride shorter than a row";
    EXPECT_EQ(decode(nullptr, 0, 0, 2, &selector, result), 0);
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
        ASSERT_EQ(omread(rows.data(), &selector, 1, p.width, p.height, 2, result), 1) << p.width;
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
    ASSERT_EQ(decode(&bmp, 1, 1, 2, &selector, result), 1);
    EXPECT_STREQ(result, want.c_str());
    EXPECT_EQ(selector, 0);
    selector = 1;
    EXPECT_EQ(decode(&bmp, 1, 1, 5, &selector, result), 0) << "scan mode 5";
}

// Straightened by the kit's bitmap library, a skewed sheet's layout still lands on the cells
// drawn, fed every way through OMReadSP and through image_decode_OMRSP.
TEST_F(TypemarkExports, LayoutOfSkewedSheetsLandsOnTheDrawnCells) {
    platform::DynamicLibrary skewtrim;
    if (!skewtrim.open("Skewtrim.dll")) GTEST_SKIP() << "libSkewtrim.so is not built";
    const SkewedSheet s;
    setenv("FMTFILESPPATH",
           sheet::write_temp("typemark_layout_exports.txt", sheet::grid_form({{2, 1}}, s.drawn.block) + "*")
               .c_str(),
           1);
    const sheet::Picture skewed = s.picture();
    const double mm = s.drawn.dpm;
    for (const layout_check::Feed& feed : layout_check::every_feed(skewed.width, skewed.height)) {
        SCOPED_TRACE(feed.name);
        const auto where = [&](sheet::Point p) { return feed.where(s.skewed(p)); };
        const sheet::Picture p = feed.turn(skewed);
        const auto rows = sheet::pack(p);
        char result[64];
        int selector = 0;
        ASSERT_EQ(omread(rows.data(), &selector, feed.flip, p.width, p.height, 2, result), 1);
        MarkLayout got;
        std::vector<MarkCell> cells;
        std::vector<MarkGuide> guides;
        ASSERT_TRUE(last_layout(got, cells, guides));
        EXPECT_EQ(got.form, 1);
        EXPECT_EQ(got.levelCount, 1);
        EXPECT_EQ(got.orientation, feed.orientation);
        EXPECT_EQ(got.rows, 4);
        EXPECT_EQ(got.columns, 5);
        layout_check::expect_cells_on_drawing(cells, s.drawn, where, mm);
        layout_check::expect_guides_on_drawing(guides, s.drawn, {2}, where, mm);

        std::vector<std::uint8_t> padded;
        std::vector<std::uint8_t*> rowTable;
        Bitmap bmp = padded_bitmap(p, padded, rowTable);
        selector = 1;
        ASSERT_EQ(decode(&bmp, 1, feed.flip, 2, &selector, result), 1);
        ASSERT_TRUE(last_layout(got, cells, guides));
        EXPECT_EQ(got.form, 1) << "the form's number, though the selector was cleared";
        layout_check::expect_cells_on_drawing(cells, s.drawn, where, mm);
    }
}

// Counts first, arrays only when they fit, nothing past a capacity; a failed read forgets.
TEST_F(TypemarkExports, LayoutHandOutRules) {
    platform::DynamicLibrary skewtrim;
    if (!skewtrim.open("Skewtrim.dll")) GTEST_SKIP() << "libSkewtrim.so is not built";
    const SkewedSheet s;
    setenv("FMTFILESPPATH",
           sheet::write_temp("typemark_layout_rules.txt", sheet::grid_form({{2, 1}}, s.drawn.block) + "*")
               .c_str(),
           1);
    const sheet::Picture p = s.picture();
    const auto rows = sheet::pack(p);
    char result[64];
    int selector = 0;
    ASSERT_EQ(omread(rows.data(), &selector, 1, p.width, p.height, 2, result), 1);
    EXPECT_EQ(layout(nullptr), 0);

    MarkLayout counts{};
    EXPECT_EQ(layout(&counts), 0) << "no arrays";
    EXPECT_EQ(counts.cellCount, 20);
    EXPECT_EQ(counts.guideCount, 5);
    EXPECT_EQ(counts.form, 1);
    EXPECT_EQ(counts.levelCount, 1);
    EXPECT_EQ(counts.rows, 4);
    EXPECT_EQ(counts.columns, 5);

    // One cell short: the cells stay untouched, the guides that fit are written.
    MarkCell sentinel{};
    sentinel.row = -7;
    std::vector<MarkCell> cells(20, sentinel);
    std::vector<MarkGuide> guides(6);
    guides[5].index = -7;
    MarkLayout shortOfCells{};
    shortOfCells.cells = cells.data();
    shortOfCells.cellCapacity = 19;
    shortOfCells.guides = guides.data();
    shortOfCells.guideCapacity = 5;
    EXPECT_EQ(layout(&shortOfCells), 0);
    EXPECT_EQ(shortOfCells.cellCount, 20);
    for (const MarkCell& c : cells) ASSERT_EQ(c.row, -7);
    EXPECT_EQ(guides[5].index, -7);
    EXPECT_EQ(guides[4].kind, MARK_GUIDE_ANCHOR);

    MarkLayout shortOfGuides = shortOfCells;
    shortOfGuides.cellCapacity = 20;
    shortOfGuides.guideCapacity = 4;
    guides.assign(6, MarkGuide{});
    guides[4].index = -7;
    EXPECT_EQ(layout(&shortOfGuides), 0);
    EXPECT_EQ(guides[4].index, -7);
    EXPECT_EQ(cells[19].row, 3);
    shortOfGuides.guideCapacity = 5;
    EXPECT_EQ(layout(&shortOfGuides), 1);

    // A failed read, even one refused for its arguments, forgets the layout.
    EXPECT_EQ(omread(rows.data(), &selector, 1, p.width, p.height, 5, result), 0);
    MarkLayout after = shortOfGuides;
    EXPECT_EQ(layout(&after), 0);
    EXPECT_EQ(after.cellCount, 0);
    EXPECT_EQ(after.guideCount, 0);
    ASSERT_EQ(omread(rows.data(), &selector, 1, p.width, p.height, 2, result), 1);
    EXPECT_EQ(layout(&after), 1);
    EXPECT_EQ(decode(nullptr, 1, 1, 2, &selector, result), 0);
    EXPECT_EQ(layout(&after), 0);
}

}  // namespace
