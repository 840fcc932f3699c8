// The overlay over a picture: symbols outlined and labelled, cells boxed in
// their state's colour, guides drawn, the caption in the corner.

#include "overlay.h"

#include <gtest/gtest.h>

#include <cmath>

namespace annotate {
namespace {

// A white 1-bit picture `w` x `h` with a black block at x 0..7 of every row.
struct Page {
    int w, h;
    std::vector<std::uint8_t> rows;
    Page(int width, int height)
        : w(width), h(height), rows(static_cast<std::size_t>((width + 7) / 8) * height, 0xFF) {
        for (int y = 0; y < h; ++y) rows[static_cast<std::size_t>(y) * ((w + 7) / 8)] = 0x00;
    }
    PictureView view() const { return {rows.data(), w, h, 1, static_cast<std::size_t>((w + 7) / 8)}; }
};

MarkQuad box(float x0, float y0, float x1, float y1) {
    return {{x0, x1, x1, x0}, {y0, y0, y1, y1}};
}

TEST(Overlay, ThePictureComesOutInGreyWithWhiteKept) {
    Page page(40, 10);
    const Raster r = render(page.view(), {});
    ASSERT_EQ(r.width, 40);
    ASSERT_EQ(r.height, 10);
    EXPECT_EQ(r.at(20, 5), Rgb({255, 255, 255}));
    const Rgb ink = r.at(3, 5);
    EXPECT_EQ(ink.r, ink.g);
    EXPECT_EQ(ink.g, ink.b);
    EXPECT_LT(ink.r, 128) << "black stays dark";
    EXPECT_GT(ink.r, 0) << "but light enough for colours to show on it";

    // 8-bit grey keeps its order of levels.
    const std::uint8_t levels[4] = {0, 100, 200, 255};
    const Raster g = render({levels, 4, 1, 8, 4}, {});
    EXPECT_LT(g.at(0, 0).r, g.at(1, 0).r);
    EXPECT_LT(g.at(1, 0).r, g.at(2, 0).r);
    EXPECT_EQ(g.at(3, 0).r, 255);

    // Pictures that cannot be read give an empty raster.
    EXPECT_TRUE(render({nullptr, 4, 1, 8, 4}, {}).empty());
    EXPECT_TRUE(render({levels, 4, 1, 24, 12}, {}).empty());
    EXPECT_TRUE(render({levels, 5, 1, 8, 4}, {}).empty()) << "stride shorter than a row";
    EXPECT_TRUE(render({levels, 0, 1, 8, 4}, {}).empty());
}

TEST(Overlay, ASymbolIsOutlinedThroughItsCornersAndLabelledAboveIt) {
    Page page(320, 200);
    Overlay o;
    o.symbols.push_back({"Code 128", "TICKET-7", {{150, 140}, {40, 140}, {40, 80}, {150, 80}}});
    const Raster r = render(page.view(), o);
    for (const Point& p : o.symbols[0].corners)
        EXPECT_EQ(r.at(static_cast<int>(p.x), static_cast<int>(p.y)), kSymbolColour) << p.x << "," << p.y;
    EXPECT_EQ(r.at(95, 140), kSymbolColour) << "bottom edge";
    EXPECT_EQ(r.at(40, 110), kSymbolColour) << "left edge";
    EXPECT_NE(r.at(95, 110), kSymbolColour) << "inside left alone";
    // The label: white text on the symbol's colour, in the rows above its top.
    int labelPixels = 0, labelInk = 0;
    for (int y = 50; y < 79; ++y)
        for (int x = 40; x < 320; ++x) {
            labelPixels += r.at(x, y) == kSymbolColour;
            labelInk += r.at(x, y) == kLabelInk;
        }
    EXPECT_GT(labelPixels, 200);
    EXPECT_GT(labelInk, 30);
}

TEST(Overlay, CellsAreBoxedInTheColourOfTheirStateWithGuidesAndCaption) {
    Page page(320, 240);
    MarkOverlay m;
    m.form = 3;
    m.orientation = MARK_ORIENTATION_HALF;
    const int states[] = {MARK_STATE_MARKED, MARK_STATE_EMPTY, MARK_STATE_DOUBTFUL, 7};
    for (int i = 0; i < 4; ++i) {
        MarkCell c{};
        c.box = box(60.0f + 50.0f * i, 100, 90.0f + 50.0f * i, 120);
        c.state[0] = states[i];
        m.cells.push_back(c);
    }
    MarkGuide g{};
    g.box = box(20, 100, 30, 110);
    m.guides.push_back(g);
    Overlay o;
    o.marks = m;
    const Raster r = render(page.view(), o);
    const Rgb expected[] = {kMarkedColour, kEmptyColour, kDoubtfulColour, kOtherStateColour};
    for (int i = 0; i < 4; ++i) {
        const int x0 = 60 + 50 * i, x1 = 90 + 50 * i;
        SCOPED_TRACE(i);
        EXPECT_EQ(r.at(x0, 110), expected[i]);  // left edge
        EXPECT_EQ(r.at(x1, 110), expected[i]);  // right edge
        EXPECT_EQ(r.at(x0 + 15, 100), expected[i]);
        EXPECT_EQ(r.at(x0 + 15, 120), expected[i]);
        EXPECT_EQ(r.at(x0 + 15, 110), Rgb({255, 255, 255})) << "the cell's inside shows the picture";
    }
    EXPECT_EQ(r.at(20, 105), kGuideColour);
    EXPECT_EQ(r.at(0, 0), kCornerBackground);
    EXPECT_EQ(form_caption(m), "form 3, turned 180 degrees");
    m.orientation = MARK_ORIENTATION_UPRIGHT;
    EXPECT_EQ(form_caption(m), "form 3, upright");
}

TEST(Overlay, PensAndTextGrowWithThePictureAndTextKeepsItsShapeOnHalfRows) {
    EXPECT_EQ(pen_width(100), 1);
    EXPECT_EQ(pen_width(1728), 5);
    const TextScale square = label_scale(1728, 1.0);
    const TextScale half = label_scale(1728, 0.5);
    EXPECT_EQ(square.across, square.down);
    EXPECT_EQ(half.across, square.across);
    EXPECT_EQ(half.down, 3) << "rows at 4 lines/mm are twice as tall as a dot is wide";
    const TextScale silly = label_scale(640, std::nan(""));
    EXPECT_EQ(silly.down, silly.across);
}

TEST(Overlay, WildGeometryDrawsOnlyInsideTheRaster) {
    Page page(50, 40);
    Overlay o;
    const float big = 3e38f;
    o.symbols.push_back(
        {"PDF417", std::string(5000, '\xff'), {{-1e300, 5}, {1e300, 5}, {5, 1e300}, {std::nan(""), 0}}});
    o.symbols.push_back({"Code 39", "", {{49, 39}, {49, 39}, {49, 39}, {49, 39}}});
    MarkOverlay m;
    m.form = -2147483647;
    m.orientation = 99;
    MarkCell c{};
    c.box = {{-big, big, big, -big}, {-big, -big, big, big}};
    c.state[0] = -5;
    m.cells.push_back(c);
    o.marks = m;
    // ASan and the raster's own clipping: the test passes when nothing is written past the pixels.
    const Raster r = render(page.view(), o);
    EXPECT_EQ(r.pixels.size(), 50u * 40u * 3u);
    int outline = 0;
    for (int x = 0; x < 50; ++x) outline += r.at(x, 20) == kSymbolColour;
    EXPECT_EQ(outline, 0) << "the wild outline crosses only row 5, under the labels";
    EXPECT_EQ(r.at(49, 39), kSymbolColour) << "the one-point symbol's pen";
}

}  // namespace
}  // namespace annotate
