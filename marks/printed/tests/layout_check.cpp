#include "marks/printed/tests/layout_check.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <string>

namespace layout_check {

using sheet::Picture;
using sheet::Point;

std::vector<Feed> every_feed(int width, int height) {
    const double w = width, h = height;
    return {
        {"upright", [](const Picture& p) { return p; }, 1, MARK_ORIENTATION_UPRIGHT,
         [](Point p) { return p; }},
        {"upright, last line first", [](const Picture& p) { return sheet::reverse_rows(p); }, 0,
         MARK_ORIENTATION_HALF,
         [=](Point p) {
             return Point{p.x, h - p.y};
         }},
        {"upside down", [](const Picture& p) { return sheet::turn_half(p); }, 1, MARK_ORIENTATION_HALF,
         [=](Point p) {
             return Point{w - p.x, h - p.y};
         }},
        {"upside down, last line first",
         [](const Picture& p) { return sheet::reverse_rows(sheet::turn_half(p)); }, 0,
         MARK_ORIENTATION_UPRIGHT,
         [=](Point p) {
             return Point{w - p.x, p.y};
         }},
        {"turned clockwise", [](const Picture& p) { return sheet::turn_clockwise(p); }, 1,
         MARK_ORIENTATION_QUARTER,
         [=](Point p) {
             return Point{h - p.y, p.x};
         }},
        {"turned clockwise, last line first",
         [](const Picture& p) { return sheet::reverse_rows(sheet::turn_clockwise(p)); }, 0,
         MARK_ORIENTATION_QUARTER,
         [=](Point p) {
             return Point{h - p.y, w - p.x};
         }},
        {"turned counter-clockwise", [](const Picture& p) { return sheet::turn_counter_clockwise(p); }, 1,
         MARK_ORIENTATION_THREE_QUARTERS,
         [=](Point p) {
             return Point{p.y, w - p.x};
         }},
        {"turned counter-clockwise, last line first",
         [](const Picture& p) { return sheet::reverse_rows(sheet::turn_counter_clockwise(p)); }, 0,
         MARK_ORIENTATION_THREE_QUARTERS,
         [](Point p) {
             return Point{p.y, p.x};
         }},
    };
}

namespace {

// Largest distance, over the four corners in order, between `box` and the drawn cell.
double corner_error(const MarkQuad& box, const sheet::Layout& drawn, int r, int c,
                    const std::function<Point(Point)>& where) {
    const std::vector<Point> corners = sheet::drawn_cell(drawn, r, c);
    double worst = 0.0;
    for (int k = 0; k < 4; ++k) {
        const Point want = where(corners[static_cast<std::size_t>(k)]);
        worst = std::max({worst, std::fabs(box.x[k] - want.x), std::fabs(box.y[k] - want.y)});
    }
    return worst;
}

}  // namespace

void expect_cells_on_drawing(const std::vector<MarkCell>& cells, const sheet::Layout& drawn,
                             const std::function<Point(Point)>& where, double tolerance) {
    const auto& grid = drawn.block.cells;
    const int rows = static_cast<int>(grid.size()), columns = static_cast<int>(grid[0].size());
    ASSERT_EQ(cells.size(), static_cast<std::size_t>(rows * columns));
    int misplaced = 0;
    std::ostringstream first;
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < columns; ++c) {
            const MarkCell& cell = cells[static_cast<std::size_t>(r * columns + c)];
            ASSERT_EQ(cell.row, r);
            ASSERT_EQ(cell.column, c);
            EXPECT_EQ(cell.kind, MARK_CELL_ANSWER);
            const bool printed = grid[static_cast<std::size_t>(r)][static_cast<std::size_t>(c)] == '1';
            EXPECT_EQ(cell.state[0], printed ? MARK_STATE_MARKED : MARK_STATE_EMPTY) << r << "," << c;
            EXPECT_EQ(cell.state[1], 0);
            if (printed)
                EXPECT_GT(cell.ratio[0], 0.6f) << r << "," << c;
            else
                EXPECT_LT(cell.ratio[0], 0.2f) << r << "," << c;
            const double error = corner_error(cell.box, drawn, r, c, where);
            if (error > tolerance && misplaced++ == 0)
                first << "cell " << r << "," << c << " off by " << error << " px, top-left at "
                      << cell.box.x[0] << "," << cell.box.y[0];
        }
    }
    EXPECT_EQ(misplaced, 0) << first.str();
}

void expect_guides_on_drawing(const std::vector<MarkGuide>& guides, const sheet::Layout& drawn,
                              std::initializer_list<int> flags, const std::function<Point(Point)>& where,
                              double tolerance) {
    const int rows = static_cast<int>(drawn.block.cells.size());
    const int columns = static_cast<int>(drawn.block.cells[0].size());
    // The full row's marks by column, then the end column's by row.
    struct Expected {
        int r, c, index;
    };
    std::vector<Expected> want;
    for (int f : flags)
        if (f == 2 || f == 3)
            for (int c = 0; c < columns; ++c) want.push_back({f == 2 ? 0 : rows - 1, c, c});
    for (int f : flags)
        if (f == 0 || f == 1)
            for (int r = 0; r < rows; ++r) want.push_back({r, f == 0 ? 0 : columns - 1, r});
    ASSERT_EQ(guides.size(), want.size());
    for (std::size_t k = 0; k < want.size(); ++k) {
        const MarkGuide& g = guides[k];
        EXPECT_EQ(g.kind, MARK_GUIDE_ANCHOR);
        EXPECT_EQ(g.index, want[k].index) << "guide " << k;
        EXPECT_LE(corner_error(g.box, drawn, want[k].r, want[k].c, where), tolerance)
            << "guide " << k << " at " << g.box.x[0] << "," << g.box.y[0];
    }
}

}  // namespace layout_check
