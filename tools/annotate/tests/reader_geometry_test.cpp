// The readers' geometry as ReaderGeometry collects it: linear symbols drawn
// by libzint come back with corners on the drawn bars, at both line
// densities; mark layouts come through the count-then-fill protocol; a
// missing reader or export is said once.

#include "reader_geometry.h"

#include <gtest/gtest.h>
#include <zint.h>

#include <algorithm>
#include <cstring>

namespace annotate {
namespace {

// A white 1-bit page with a zint symbol whose top-left lies at (left, top);
// the drawn symbol's dark extent is returned as the oracle.
struct Page {
    int width = 0, height = 0;
    std::vector<std::uint8_t> rows;
    int x0 = 1 << 30, y0 = 1 << 30, x1 = -1, y1 = -1;  // dark pixels' extent, inclusive
    void dark(int x, int y) {
        rows[static_cast<std::size_t>(y) * (width / 8) + static_cast<std::size_t>(x / 8)] &=
            static_cast<std::uint8_t>(~(0x80 >> (x % 8)));
        x0 = std::min(x0, x), y0 = std::min(y0, y), x1 = std::max(x1, x), y1 = std::max(y1, y);
    }
};

Page draw_symbol(int symbology, const char* text, int width, int height, int left, int top) {
    Page p;
    p.width = width;
    p.height = height;
    p.rows.assign(static_cast<std::size_t>(width / 8) * height, 0xFF);
    zint_symbol* s = ZBarcode_Create();
    s->symbology = symbology;
    s->show_hrt = 0;
    s->scale = 1.5f;  // 3 pixels a module
    const int rc = ZBarcode_Encode_and_Buffer(s, reinterpret_cast<const unsigned char*>(text),
                                              static_cast<int>(std::strlen(text)), 0);
    EXPECT_LT(rc, ZINT_ERROR) << s->errtxt;
    for (int y = 0; y < s->bitmap_height; ++y)
        for (int x = 0; x < s->bitmap_width; ++x)
            if (s->bitmap[(y * s->bitmap_width + x) * 3] < 128 && left + x < width && top + y < height)
                p.dark(left + x, top + y);
    ZBarcode_Delete(s);
    return p;
}

// Every other row of `p`: the same page scanned at 4 lines/mm.
Page half_rows(const Page& p) {
    Page h = p;
    h.height = p.height / 2;
    h.rows.clear();
    const std::size_t rowBytes = static_cast<std::size_t>(p.width / 8);
    for (int y = 0; y < h.height; ++y)
        h.rows.insert(h.rows.end(), p.rows.begin() + static_cast<std::ptrdiff_t>(2 * y * rowBytes),
                      p.rows.begin() + static_cast<std::ptrdiff_t>((2 * y + 1) * rowBytes));
    return h;
}

void expect_corners_on(const SymbolOutline& s, double x0, double y0, double x1, double y1, double tolerance) {
    for (const Point& c : s.corners) {
        const bool onX = std::abs(c.x - x0) <= tolerance || std::abs(c.x - x1) <= tolerance;
        const bool onY = std::abs(c.y - y0) <= tolerance || std::abs(c.y - y1) <= tolerance;
        EXPECT_TRUE(onX && onY) << "corner " << c.x << "," << c.y << " not on the box " << x0 << "," << y0
                                << " - " << x1 << "," << y1;
    }
}

TEST(ReaderGeometry, ALinearSymbolsCornersLieOnItsBarsAtBothLineDensities) {
    const Page page = draw_symbol(BARCODE_CODE128, "ANNOTATE-42", 640, 400, 120, 150);
    std::vector<std::string> warnings;
    ReaderGeometry readers([&](const std::string& w) { warnings.push_back(w); });

    const auto found = readers.barcodes({page.rows.data(), page.width, page.height, 8});
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].symbology, "Code 128");
    EXPECT_EQ(found[0].text, "ANNOTATE-42");
    // The reader may stop short of the bars' ends along them; across they are exact.
    expect_corners_on(found[0], page.x0, page.y0, page.x1, page.y1, 12);

    const Page half = half_rows(page);
    const auto halfFound = readers.barcodes({half.rows.data(), half.width, half.height, 4});
    ASSERT_EQ(halfFound.size(), 1u);
    EXPECT_EQ(halfFound[0].text, "ANNOTATE-42");
    expect_corners_on(halfFound[0], page.x0, page.y0 / 2.0, page.x1, page.y1 / 2.0, 12);

    // Bad pictures give nothing.
    EXPECT_TRUE(readers.barcodes({nullptr, 640, 400, 8}).empty());
    EXPECT_TRUE(readers.barcodes({page.rows.data(), 639, 400, 8}).empty());
    EXPECT_TRUE(readers.barcodes({page.rows.data(), 640, 400, 6}).empty());
}

TEST(ReaderGeometry, APdf417SymbolIsOutlinedWhenStackreadHandsOutWhereItLies) {
    platform::DynamicLibrary stackread;
    ASSERT_TRUE(stackread.open("Stackread.dll"));
    if (stackread.symbol("stackread_ex") == nullptr) {
        std::vector<std::string> warnings;
        ReaderGeometry readers([&](const std::string& w) { warnings.push_back(w); });
        const Page blank = draw_symbol(BARCODE_CODE128, "X", 64, 64, 0, 0);
        readers.barcodes({blank.rows.data(), 64, 64, 8});
        readers.barcodes({blank.rows.data(), 64, 64, 8});
        ASSERT_EQ(warnings.size(), 1u) << "said once";
        EXPECT_NE(warnings[0].find("stackread_ex"), std::string::npos);
        GTEST_SKIP() << "libStackread has no stackread_ex yet: PDF417 outlines are not drawn";
    }
    const Page page = draw_symbol(BARCODE_PDF417, "Seat 14C, coach 5", 640, 400, 100, 120);
    ReaderGeometry readers;
    const auto found = readers.barcodes({page.rows.data(), page.width, page.height, 8});
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].symbology, "PDF417");
    EXPECT_EQ(found[0].text, "Seat 14C, coach 5");
    expect_corners_on(found[0], page.x0, page.y0, page.x1, page.y1, 6);
}

TEST(ReaderGeometry, AMarkLayoutIsFetchedWithItsCountsFirstAndCopiedWhole) {
    ReaderFiles files;
    files.inkmark = files.typemark = LAYOUT_DOUBLE_PATH;
    ReaderGeometry readers({}, files);
    for (const bool printed : {false, true}) {
        const auto m = readers.mark_layout(printed);
        ASSERT_TRUE(m);
        EXPECT_EQ(m->form, 2);
        EXPECT_EQ(m->orientation, MARK_ORIENTATION_QUARTER);
        EXPECT_EQ(m->columns, 3);
        ASSERT_EQ(m->cells.size(), 3u);
        ASSERT_EQ(m->guides.size(), 2u);
        EXPECT_EQ(m->cells[2].state[0], MARK_STATE_DOUBTFUL);
        EXPECT_FLOAT_EQ(m->cells[1].box.x[0], 50.0f);
        EXPECT_EQ(m->guides[1].index, 1);
    }
}

TEST(ReaderGeometry, AMissingReaderOrExportLeavesItsPartOutAndIsSaidOnce) {
    std::vector<std::string> warnings;
    ReaderFiles files;
    files.inkmark = "/nonexistent/libInkmark.so";
    files.stripescan = "/nonexistent/libStripescan.so";
    ReaderGeometry readers([&](const std::string& w) { warnings.push_back(w); }, files);
    EXPECT_FALSE(readers.mark_layout(false));
    EXPECT_FALSE(readers.mark_layout(false));
    const std::vector<std::uint8_t> white(8 * 16, 0xFF);
    EXPECT_TRUE(readers.barcodes({white.data(), 64, 16, 8}).empty());
    EXPECT_TRUE(readers.barcodes({white.data(), 64, 16, 8}).empty());
    int inkmark = 0, stripescan = 0;
    for (const auto& w : warnings) {
        inkmark += w.find("OMReadLayout") != std::string::npos;
        stripescan += w.find("libStripescan") != std::string::npos;
    }
    EXPECT_EQ(inkmark, 1);
    EXPECT_EQ(stripescan, 1);
}

}  // namespace
}  // namespace annotate
