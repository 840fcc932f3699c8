// stackread_ex: where the symbol lies. Symbols drawn by libzint at known places; the corners the
// reader reports must land within two modules of the drawn ones.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "barcode/pdf417/Stackread.h"
#include "barcode/pdf417/tests/symbol_painter.h"

using namespace stackread_test;

namespace {

constexpr double kToleranceModules = 2.0;

struct Point {
    double x, y;
};

// Where the painter put a point of the symbol given in modules (col across, rowModules down from
// the symbol's first edge), in continuous page coordinates.
Point drawn_at(const Symbol& s, const Placement& p, double col, double rowModules) {
    const double w = (s.width + 2.0 * p.quiet) * p.module;
    const double h = (s.rows * p.rowHeight + 2.0 * p.quiet) * p.module;
    const double a = p.angle * M_PI / 180.0, ca = std::cos(a), sa = std::sin(a);
    const double u = (p.quiet + col) * p.module - w / 2, v = (p.quiet + rowModules) * p.module - h / 2;
    return {p.centerX + ca * u + sa * v, p.centerY - sa * u + ca * v};
}

// The drawn corners in the order of StackreadSymbol: start/first row, stop/first row,
// stop/last row, start/last row.
std::vector<Point> drawn_corners(const Symbol& s, const Placement& p) {
    const double bottom = static_cast<double>(s.rows) * p.rowHeight;
    return {drawn_at(s, p, 0, 0), drawn_at(s, p, s.width, 0), drawn_at(s, p, s.width, bottom),
            drawn_at(s, p, 0, bottom)};
}

struct Case {
    int columns, rows, level, module, rowHeight;
    double angle;
};

void expect_outline(const Case& c) {
    SymbolOptions options;
    options.columns = c.columns;
    options.rows = c.rows;
    options.level = c.level;
    const std::string data = "OUTLINE " + std::to_string(c.columns) + "/" + std::to_string(c.rows);
    Symbol s = encode_pdf417(data, options);
    ASSERT_TRUE(s.ok) << s.error;
    Placement p;
    p.module = c.module;
    p.rowHeight = c.rowHeight;
    p.angle = c.angle;
    Page page = page_for(s, p, 40);

    std::vector<uint8_t> out(STACKREAD_MAX_OUTPUT);
    int length = 0;
    StackreadSymbol found{};
    found.reserved = 77;
    const int r = stackread_ex(page.bytes.data(), page.width, page.height, out.data(), &length, 0, &found);
    const std::string what = std::to_string(c.columns) + " columns, " + std::to_string(c.module) + " px, " +
                             std::to_string(c.angle) + " degrees";
    ASSERT_EQ(r, STACKREAD_OK) << what;
    EXPECT_EQ(std::string(out.begin(), out.begin() + length), data) << what;
    EXPECT_EQ(found.rows, s.rows) << what;
    EXPECT_EQ(found.columns, s.columns) << what;
    EXPECT_EQ(found.level, c.level) << what;
    EXPECT_EQ(found.reserved, 0) << what;
    const std::vector<Point> want = drawn_corners(s, p);
    for (int k = 0; k < 4; ++k) {
        const double dx = found.corners[2 * k] - want[k].x, dy = found.corners[2 * k + 1] - want[k].y;
        EXPECT_LE(std::hypot(dx, dy), kToleranceModules * c.module)
            << what << ": P" << k << " at (" << found.corners[2 * k] << ", " << found.corners[2 * k + 1]
            << "), drawn at (" << want[k].x << ", " << want[k].y << ")";
    }
}

}  // namespace

TEST(StackreadOutline, CornersOfUprightSymbolsOfSeveralSizes) {
    for (const Case& c : {Case{1, 6, 1, 3, 3, 0}, Case{4, 10, 2, 2, 3, 0}, Case{8, 20, 4, 3, 4, 0},
                          Case{16, 12, 5, 2, 3, 0}, Case{3, 40, 3, 4, 3, 0}})
        expect_outline(c);
}

TEST(StackreadOutline, CornersFollowTheSymbolThroughQuarterTurns) {
    for (double angle : {0.0, 90.0, 180.0, 270.0}) expect_outline(Case{5, 12, 3, 3, 3, angle});
}

TEST(StackreadOutline, CornersOfSkewedSymbols) {
    for (double angle : {-14.0, 7.5, 18.0, 101.0, 196.0}) expect_outline(Case{6, 14, 3, 3, 3, angle});
}

TEST(StackreadOutline, SymbolIsWrittenOnlyOnSuccessAndMayBeNull) {
    Symbol s = encode_pdf417("NULL IS FINE", {});
    ASSERT_TRUE(s.ok);
    Placement p;
    Page page = page_for(s, p);
    std::vector<uint8_t> out(STACKREAD_MAX_OUTPUT);
    int length = 0;
    EXPECT_EQ(stackread_ex(page.bytes.data(), page.width, page.height, out.data(), &length, 0, nullptr),
              STACKREAD_OK);
    EXPECT_EQ(std::string(out.begin(), out.begin() + length), "NULL IS FINE");

    Page blank(320, 200);
    StackreadSymbol untouched;
    for (int i = 0; i < 8; ++i) untouched.corners[i] = -9;
    untouched.rows = untouched.columns = untouched.level = untouched.reserved = -9;
    EXPECT_EQ(stackread_ex(blank.bytes.data(), blank.width, blank.height, out.data(), &length, 0, &untouched),
              STACKREAD_NOT_FOUND);
    EXPECT_EQ(stackread_ex(blank.bytes.data(), 0, blank.height, out.data(), &length, 0, &untouched),
              STACKREAD_BAD_SIZE);
    for (int i = 0; i < 8; ++i) EXPECT_EQ(untouched.corners[i], -9);
    EXPECT_EQ(untouched.rows, -9);
    EXPECT_EQ(untouched.reserved, -9);
}
