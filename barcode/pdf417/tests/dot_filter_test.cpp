// The speck filter of the second look: a pixel takes the majority of itself and its two
// neighbours along the bars. Pages are built pixel by pixel and checked pixel by pixel.
#include "barcode/pdf417/dot_filter.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

// A light page of w x h pixels (w a multiple of 8), packed as the decoder takes it.
struct TestPage {
    int width, height;
    std::vector<uint8_t> bytes;
    TestPage(int w, int h) : width(w), height(h), bytes(static_cast<size_t>(w / 8) * h, 0xFF) {}
    void dark(int x, int y) { bytes[static_cast<size_t>(y) * (width / 8) + x / 8] &= ~(0x80 >> (x % 8)); }
    pdf417::ImageView view() const { return pdf417::ImageView(bytes.data(), width, height); }
};

// Bars of the given widths from x = 3 (crossing byte boundaries), over every row.
TestPage bars(int w, int h) {
    TestPage page(w, h);
    const int widths[] = {1, 2, 5, 1, 9, 3};
    int x = 3;
    bool isDark = true;
    for (int bar : widths) {
        for (int k = 0; k < bar; ++k, ++x)
            for (int y = 0; y < h; ++y)
                if (isDark) page.dark(x, y);
        isDark = !isDark;
    }
    return page;
}

TEST(SpeckFilter, VerticalKeepsBarsToThePixelAndRemovesLoneSpecksAndHoles) {
    TestPage page = bars(48, 12);
    const TestPage clean = page;
    page.dark(40, 5);                                    // a speck in the light area behind the bars
    page.dark(30, 0);                                    // a speck on the top row: the edge keeps it
    page.bytes[static_cast<size_t>(7) * 6 + 1] |= 0x02;  // a light hole in the 9-pixel bar (x = 14)
    std::vector<uint8_t> out;
    const pdf417::ImageView f = pdf417::filter_specks(page.view(), pdf417::SpeckAxis::Vertical, out);
    ASSERT_EQ(f.width, 48);
    ASSERT_EQ(f.height, 12);
    for (int y = 0; y < 12; ++y)
        for (int x = 0; x < 48; ++x) {
            const bool expected = (x == 30 && y == 0) ? true : clean.view().dark(x, y);
            EXPECT_EQ(f.dark(x, y), expected) << x << "," << y;
        }
}

TEST(SpeckFilter, HorizontalRemovesOnePixelRunsAcrossByteBoundariesAndKeepsWiderOnes) {
    // One row of runs along x; the filter works along x, so a one-pixel run goes and a two-pixel
    // run stays, wherever they fall against the bytes.
    TestPage page(32, 3);
    for (int y = 0; y < 3; ++y) {
        page.dark(7, y);                                // one pixel at a byte's end
        page.dark(15, y), page.dark(16, y);             // two pixels across a boundary
        for (int x = 20; x < 26; ++x) page.dark(x, y);  // a wider bar
        page.dark(0, y);                                // the row's first pixel stays
    }
    page.bytes[static_cast<size_t>(1) * 4 + 2] |= 0x01;  // a light hole at x = 23 on row 1
    std::vector<uint8_t> out;
    const pdf417::ImageView f = pdf417::filter_specks(page.view(), pdf417::SpeckAxis::Horizontal, out);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 32; ++x) {
            const bool expected = x == 0 || x == 15 || x == 16 || (x >= 20 && x < 26);
            EXPECT_EQ(f.dark(x, y), expected) << x << "," << y;
        }
}

TEST(SpeckFilter, ReusesItsBufferAndHandlesOneRowPages) {
    TestPage page(16, 1);
    page.dark(4, 0);
    std::vector<uint8_t> out(1000, 0);
    const pdf417::ImageView f = pdf417::filter_specks(page.view(), pdf417::SpeckAxis::Vertical, out);
    EXPECT_EQ(out.size(), 2u);
    EXPECT_TRUE(f.dark(4, 0));  // one row: the pixel is its own neighbour above and below
    EXPECT_FALSE(f.dark(5, 0));
}

}  // namespace
