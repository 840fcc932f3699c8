// The layout a read hands out: rendered sheets whose cells and timing marks
// were drawn at known places on the paper, scanned turned, mirrored by the
// row order and at several resolutions; the records must land on what was
// drawn, in the caller's picture.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "kit/MarkLayout.h"
#include "marks/common/image.h"
#include "marks/handwritten/Inkmark.h"
#include "marks/handwritten/reader.h"
#include "marks/handwritten/tests/answer_sheet.h"
#include "platform/dynamic_library.h"

namespace {

using inktest::AnswerSheet;
using inktest::Rect;
using inktest::Scan;
using inktest::ScanSetup;

constexpr double kToleranceMm = 1.0;
constexpr double kPi = 3.14159265358979323846;

const std::vector<std::string> kAnswers = {
    "#.....", ".#....", "..#...", "...#..", "....#.", ".....#", "#....#", "......",
};

// Where a point of the paper (millimetres, y downward) lies in the picture
// handed to the reader: the painter's turn about the paper centre onto the
// bed, in pixels (edges at whole numbers), rows reversed for a bottom-up picture.
struct PaperToPicture {
    double paperWidth, paperHeight;
    ScanSetup setup;
    int pictureHeight;
    bool bottomUp;

    void map(double px, double py, double& x, double& y) const {
        const double a = setup.degrees * kPi / 180.0;
        const double c = std::cos(a), s = std::sin(a);
        double bw = std::fabs(c) * paperWidth + std::fabs(s) * paperHeight + 2 * setup.margin;
        double bh = std::fabs(s) * paperWidth + std::fabs(c) * paperHeight + 2 * setup.margin;
        if (setup.width > 0) bw = setup.width / setup.dotsAcross;
        if (setup.height > 0) bh = setup.height / setup.linesAlong;
        const double dx = px - paperWidth / 2, dy = py - paperHeight / 2;
        const double u = c * dx - s * dy;
        const double v = s * dx + c * dy;
        x = (u + bw / 2) * setup.dotsAcross;
        y = (v + bh / 2) * setup.linesAlong;
        if (bottomUp) y = pictureHeight - y;
    }

    // Largest distance in millimetres between the quad's corners and the
    // rectangle's, clockwise from its top-left.
    double corner_error(const MarkQuad& q, const Rect& r) const {
        const double px[4] = {r.x, r.x + r.w, r.x + r.w, r.x};
        const double py[4] = {r.y, r.y, r.y + r.h, r.y + r.h};
        double worst = 0;
        for (int k = 0; k < 4; ++k) {
            double x = 0, y = 0;
            map(px[k], py[k], x, y);
            const double ex = (q.x[k] - x) / setup.dotsAcross;
            const double ey = (q.y[k] - y) / setup.linesAlong;
            worst = std::max(worst, std::hypot(ex, ey));
        }
        return worst;
    }
};

struct Layout {
    MarkLayout record{};
    std::vector<MarkCell> cells;
    std::vector<MarkGuide> guides;
};

// The layout of the last read, asked for twice: counts, then the records.
bool last_layout(Layout& out) {
    out.record = MarkLayout{};
    if (inkmark::read_layout(&out.record) != 0) return false;  // no room given: counts only
    out.cells.assign(static_cast<std::size_t>(std::max(out.record.cellCount, 0)), MarkCell{});
    out.guides.assign(static_cast<std::size_t>(std::max(out.record.guideCount, 0)), MarkGuide{});
    out.record.cells = out.cells.data();
    out.record.cellCapacity = out.record.cellCount;
    out.record.guides = out.guides.data();
    out.record.guideCapacity = out.record.guideCount;
    return inkmark::read_layout(&out.record) == 1;
}

// The picture a caller with the given row order passes.
std::vector<std::uint8_t> picture_rows(const Scan& s, int flip) {
    return flip == INKMARK_ROWS_REVERSED ? s.rows : s.reversed();
}

bool read_front(const Scan& s, int flip, int scanMode, int selectorIn = 0) {
    const std::vector<std::uint8_t> rows = picture_rows(s, flip);
    std::vector<char> result(INKMARK_RESULT_BYTES, 0);
    int selector = selectorIn;
    return inkmark::read_raw_sheet(rows.data(), &selector, flip, s.width, s.height, scanMode, result.data(),
                                   inkmark::ResultStyle::Plain) == 1;
}

// Every answer cell of the standard sheet on its drawn rectangle, with the
// state that was drawn; `levels` levels reported alike.
void expect_cells_on_drawing(const Layout& l, const AnswerSheet& a, const PaperToPicture& m, int levels) {
    ASSERT_EQ(l.record.cellCount, a.rows * a.columns);
    EXPECT_EQ(l.record.rows, a.rows);
    EXPECT_EQ(l.record.columns, a.columns);
    EXPECT_EQ(l.record.levelCount, levels);
    for (int i = 0; i < l.record.cellCount; ++i) {
        const MarkCell& cell = l.cells[static_cast<std::size_t>(i)];
        EXPECT_EQ(cell.kind, MARK_CELL_ANSWER);
        ASSERT_EQ(cell.row, i / a.columns);
        ASSERT_EQ(cell.column, i % a.columns);
        const Rect drawn{a.column_left(cell.column), a.row_top(cell.row), AnswerSheet::kCellW,
                         AnswerSheet::kCellH};
        EXPECT_LE(m.corner_error(cell.box, drawn), kToleranceMm) << "cell " << cell.row << "," << cell.column;
        const bool filled =
            kAnswers[static_cast<std::size_t>(cell.row)][static_cast<std::size_t>(cell.column)] == '#';
        for (int k = 0; k < levels; ++k) {
            EXPECT_EQ(cell.state[k], filled ? MARK_STATE_MARKED : MARK_STATE_EMPTY) << i << " level " << k;
            EXPECT_EQ(cell.ratio[k] >= 0.5f, filled) << i << " level " << k;
        }
        for (int k = levels; k < MARK_LAYOUT_MAX_LEVELS; ++k) {
            EXPECT_EQ(cell.state[k], 0);
            EXPECT_EQ(cell.ratio[k], 0.0f);
        }
    }
}

// Every guide on a drawn timing mark: the left track (the shared corner mark
// first, then one per row) or the top track (the corner, then one per column),
// numbered from the form's top or left.
void expect_guides_on_drawing(const Layout& l, const AnswerSheet& a, const PaperToPicture& m) {
    const Rect corner{5.5, 4, 2, 5};
    std::vector<Rect> left{corner}, top{corner};
    for (int r = 0; r < a.rows; ++r) left.push_back({4, 30 + a.rowPitch * r, 5, 2});
    for (double x : a.top_marks()) top.push_back({x, 4, 2, 5});
    ASSERT_EQ(l.record.guideCount, static_cast<int>(left.size() + top.size()));
    // Each drawn mark is matched by exactly one guide (the corner by one per track).
    std::vector<int> leftHits(left.size()), topHits(top.size());
    for (const MarkGuide& g : l.guides) {
        EXPECT_EQ(g.kind, MARK_GUIDE_TIMING);
        ASSERT_GE(g.index, 0);
        const std::size_t i = static_cast<std::size_t>(g.index);
        const bool onLeft = i < left.size() && m.corner_error(g.box, left[i]) <= kToleranceMm;
        const bool onTop = i < top.size() && m.corner_error(g.box, top[i]) <= kToleranceMm;
        if (i == 0 && onLeft && onTop) {
            ++(leftHits[0] == 0 ? leftHits[0] : topHits[0]);
        } else if (onLeft) {
            ++leftHits[i];
        } else if (onTop) {
            ++topHits[i];
        } else {
            ADD_FAILURE() << "guide " << g.index << " at " << g.box.x[0] << "," << g.box.y[0]
                          << " lies on no drawn mark of that number";
        }
    }
    EXPECT_EQ(leftHits, std::vector<int>(left.size(), 1));
    EXPECT_EQ(topHits, std::vector<int>(top.size(), 1));
}

// A picture with its first stored row at the top shows the sheet turned by
// the bed's quarter turns; a bottom-up picture shows it mirrored, so that its
// top edge points the other way for odd quarters.
int expected_orientation(int quarter, int flip) {
    return flip == INKMARK_ROWS_REVERSED ? quarter : (4 - quarter) % 4;
}

TEST(ReadLayout, FrontEndCellsAndMarksLandOnTheDrawingInEveryOrientationAndRowOrder) {
    AnswerSheet a;
    inktest::use_format_file("layout_turns.txt", a.form("0.5") + "*");
    for (int quarter = 0; quarter < 4; ++quarter) {
        ScanSetup setup;
        setup.degrees = 90.0 * quarter + (quarter % 2 == 0 ? 2.0 : -1.5);
        setup.margin = 6;
        const Scan s = inktest::scan(a.draw(kAnswers), setup);
        for (int flip : {INKMARK_ROWS_AS_GIVEN, INKMARK_ROWS_REVERSED}) {
            SCOPED_TRACE("quarter " + std::to_string(quarter) + " flip " + std::to_string(flip));
            ASSERT_TRUE(read_front(s, flip, INKMARK_SCAN_8DPM));
            Layout l;
            ASSERT_TRUE(last_layout(l));
            EXPECT_EQ(l.record.form, 1);
            EXPECT_EQ(l.record.orientation, expected_orientation(quarter, flip));
            const PaperToPicture m{a.width, a.height, setup, s.height, flip == INKMARK_ROWS_AS_GIVEN};
            expect_cells_on_drawing(l, a, m, 1);
            expect_guides_on_drawing(l, a, m);
        }
    }
}

TEST(ReadLayout, ResampledScanModesAreUndone) {
    AnswerSheet a;
    inktest::use_format_file("layout_modes.txt", a.form("0.5") + "*");
    const struct {
        int mode;
        double across, along;
    } modes[] = {{INKMARK_SCAN_8DPM_DOUBLED, 8, 4},
                 {INKMARK_SCAN_12DPM_TRIPLED, 12, 4},
                 {INKMARK_SCAN_12DPM, 12, 12},
                 {INKMARK_SCAN_12DPM_DOUBLED, 12, 6}};
    for (const auto& mode : modes) {
        SCOPED_TRACE("mode " + std::to_string(mode.mode));
        ScanSetup setup;
        setup.dotsAcross = mode.across;
        setup.linesAlong = mode.along;
        setup.degrees = 181.5;
        setup.margin = 6;
        const Scan s = inktest::scan(a.draw(kAnswers), setup);
        ASSERT_TRUE(read_front(s, INKMARK_ROWS_AS_GIVEN, mode.mode));
        Layout l;
        ASSERT_TRUE(last_layout(l));
        EXPECT_EQ(l.record.orientation, MARK_ORIENTATION_HALF);
        const PaperToPicture m{a.width, a.height, setup, s.height, true};
        expect_cells_on_drawing(l, a, m, 1);
        expect_guides_on_drawing(l, a, m);
    }
}

// A bottom-up 8-bit picture at 12 dots per mm, turned a quarter, read through
// the core with two levels.
TEST(ReadLayout, GreyBitmapThroughTheCoreReportsEveryLevel) {
    AnswerSheet a;
    inktest::use_format_file("layout_grey.txt", a.form("0.5") + "*");
    ScanSetup setup;
    setup.dotsAcross = 12;
    setup.linesAlong = 12;
    setup.degrees = 91;
    setup.margin = 6;
    const Scan s = inktest::scan(a.draw(kAnswers), setup);
    marks::Image grey;
    ASSERT_TRUE(grey.create(s.width, s.height, 8));
    for (int y = 0; y < s.height; ++y)
        for (int x = 0; x < s.width; ++x) grey.row(s.height - 1 - y)[x] = s.dark(x, y) ? 40 : 220;
    Bitmap bitmap{grey.width, grey.height, 8, grey.imageSize, grey.stride, grey.rows(), grey.bits()};
    std::vector<char> text[2] = {std::vector<char>(200), std::vector<char>(200)};
    OmrResultBlock blocks[2] = {{0, 200, text[0].data()}, {0, 200, text[1].data()}};
    std::int32_t levels[2] = {90, 110};
    OmrResultSet set{0, 2, levels, blocks};
    int selector = INKMARK_FORMS_ONE_RATIO;
    ASSERT_EQ(inkmark::decode_sheet(&bitmap, &selector, INKMARK_ROWS_AS_GIVEN, INKMARK_SCAN_12DPM, 1, &set,
                                    inkmark::ResultStyle::Plain),
              1);
    Layout l;
    ASSERT_TRUE(last_layout(l));
    EXPECT_EQ(l.record.form, selector);
    EXPECT_EQ(l.record.orientation, expected_orientation(1, INKMARK_ROWS_AS_GIVEN));
    const PaperToPicture m{a.width, a.height, setup, s.height, true};
    expect_cells_on_drawing(l, a, m, 2);
    expect_guides_on_drawing(l, a, m);
}

// The code 1011 in four 6 mm slots from 40 mm along the top track.
TEST(ReadLayout, CodeSlotsFollowTheAnswerCellsOnTheTopTrack) {
    AnswerSheet a;
    a.topMarks = {42, 54, 60};
    a.outlines = false;
    inktest::use_format_file("layout_code.txt", a.form("0.65 0.3", "4 6 40") + "*");
    ScanSetup setup;
    setup.degrees = -2;
    setup.margin = 6;
    const Scan s = inktest::scan(a.draw(kAnswers), setup);
    ASSERT_TRUE(read_front(s, INKMARK_ROWS_REVERSED, INKMARK_SCAN_8DPM, INKMARK_FORMS_TWO_RATIOS));
    Layout l;
    ASSERT_TRUE(last_layout(l));
    ASSERT_EQ(l.record.cellCount, a.rows * a.columns + 4);
    const PaperToPicture m{a.width, a.height, setup, s.height, false};
    const char code[] = "1011";
    for (int slot = 0; slot < 4; ++slot) {
        const MarkCell& cell = l.cells[static_cast<std::size_t>(a.rows * a.columns + slot)];
        EXPECT_EQ(cell.kind, MARK_CELL_CODE_SLOT);
        EXPECT_EQ(cell.row, 0);
        EXPECT_EQ(cell.column, slot);
        EXPECT_EQ(cell.state[0], code[slot] == '1' ? MARK_STATE_MARKED : MARK_STATE_EMPTY) << slot;
        EXPECT_EQ(cell.ratio[0] > 0.8f, code[slot] == '1') << slot;
        EXPECT_LE(m.corner_error(cell.box, Rect{40.0 + 6 * slot, 4, 6, 5}), kToleranceMm) << slot;
    }
}

TEST(ReadLayout, FailedReadForgetsTheLayout) {
    AnswerSheet a;
    inktest::use_format_file("layout_forget.txt", a.form("0.5") + "*");
    ScanSetup setup;
    setup.margin = 6;
    const Scan s = inktest::scan(a.draw(kAnswers), setup);
    ASSERT_TRUE(read_front(s, INKMARK_ROWS_REVERSED, INKMARK_SCAN_8DPM));
    Layout l;
    ASSERT_TRUE(last_layout(l));

    // A blank sheet fits no form.
    inktest::Sheet blank;
    blank.width = a.width;
    blank.height = a.height;
    EXPECT_FALSE(read_front(inktest::scan(blank, setup), INKMARK_ROWS_REVERSED, INKMARK_SCAN_8DPM));
    MarkLayout after{};
    after.cellCount = after.guideCount = after.form = 77;
    EXPECT_EQ(inkmark::read_layout(&after), 0);
    EXPECT_EQ(after.cellCount, 0);
    EXPECT_EQ(after.guideCount, 0);
    EXPECT_EQ(after.form, 0);

    // A refused argument forgets it as well.
    ASSERT_TRUE(read_front(s, INKMARK_ROWS_REVERSED, INKMARK_SCAN_8DPM));
    int selector = 0;
    std::vector<char> result(INKMARK_RESULT_BYTES);
    EXPECT_EQ(inkmark::read_raw_sheet(nullptr, &selector, 1, s.width, s.height, 2, result.data(),
                                      inkmark::ResultStyle::Plain),
              0);
    EXPECT_EQ(inkmark::read_layout(&after), 0);
    EXPECT_EQ(after.cellCount, 0);
}

TEST(ReadLayout, TooSmallCapacityGivesCountsAndWritesNothingBeyondIt) {
    AnswerSheet a;
    inktest::use_format_file("layout_capacity.txt", a.form("0.5") + "*");
    ScanSetup setup;
    setup.margin = 6;
    ASSERT_TRUE(read_front(inktest::scan(a.draw(kAnswers), setup), INKMARK_ROWS_REVERSED, INKMARK_SCAN_8DPM));
    const int cells = a.rows * a.columns;
    const int guides = (a.rows + 1) + (a.columns + 1);

    EXPECT_EQ(inkmark::read_layout(nullptr), 0);

    // One record short in either array: counts and scalars set, the arrays
    // (and the guard records behind the capacity) untouched.
    for (int shortOf = 0; shortOf < 2; ++shortOf) {
        MarkCell cellFill{};
        cellFill.row = -7;
        MarkGuide guideFill{};
        guideFill.index = -7;
        std::vector<MarkCell> cellBuffer(static_cast<std::size_t>(cells + 1), cellFill);
        std::vector<MarkGuide> guideBuffer(static_cast<std::size_t>(guides + 1), guideFill);
        MarkLayout l{};
        l.cells = cellBuffer.data();
        l.cellCapacity = shortOf == 0 ? cells - 1 : cells;
        l.guides = guideBuffer.data();
        l.guideCapacity = shortOf == 1 ? guides - 1 : guides;
        EXPECT_EQ(inkmark::read_layout(&l), 0);
        EXPECT_EQ(l.cellCount, cells);
        EXPECT_EQ(l.guideCount, guides);
        EXPECT_EQ(l.form, 1);
        EXPECT_EQ(l.levelCount, 1);
        EXPECT_EQ(l.rows, a.rows);
        EXPECT_EQ(l.columns, a.columns);
        for (const MarkCell& c : cellBuffer) EXPECT_EQ(c.row, -7);
        for (const MarkGuide& g : guideBuffer) EXPECT_EQ(g.index, -7);
    }

    // A positive capacity with no array behind it is refused the same way.
    MarkLayout l{};
    l.cellCapacity = cells;
    l.guideCapacity = guides;
    EXPECT_EQ(inkmark::read_layout(&l), 0);
    EXPECT_EQ(l.cellCount, cells);
}

// The stand-ins for the bitmap library straighten nothing; one lacks
// SkewtrimMap, the other answers a size the straightening does not give.
TEST(ReadLayout, StraighteningThatCannotBeMappedKeepsTheReadButNoLayout) {
    AnswerSheet a;
    inktest::use_format_file("layout_unmapped.txt", a.form("0.5") + "*");
    const Scan s = inktest::scan(a.draw(kAnswers), ScanSetup{});
    for (const char* library : {FAKE_SKEWTRIM_NO_MAP_PATH, FAKE_SKEWTRIM_WRONG_MAP_PATH}) {
        SCOPED_TRACE(library);
        inkmark::ReadOptions options;
        options.straightener = library;
        std::vector<char> result(INKMARK_RESULT_BYTES, 0);
        int selector = 0;
        ASSERT_EQ(
            inkmark::read_raw_sheet(s.rows.data(), &selector, INKMARK_ROWS_REVERSED, s.width, s.height,
                                    INKMARK_SCAN_8DPM, result.data(), inkmark::ResultStyle::Plain, options),
            1);
        EXPECT_EQ(std::string(result.data()), "0048,100000,010000,001000,000100,000010,000001,100001,000000");
        MarkLayout l{};
        EXPECT_EQ(inkmark::read_layout(&l), 0);
        EXPECT_EQ(l.cellCount, 0);
    }
}

// The exported entry point, bound by name as callers bind it.
TEST(ReadLayout, LibraryExportHandsOutTheLayoutOfItsOwnReads) {
    platform::DynamicLibrary library;
    ASSERT_TRUE(library.open("Inkmark.dll"));
    using Front = int (*)(const std::uint8_t*, int*, int, int, int, int, char*);
    using LayoutFn = int (*)(MarkLayout*);
    const Front omRead = library.resolve<Front>("OMRead");
    const LayoutFn omReadLayout = library.resolve<LayoutFn>("OMReadLayout");
    ASSERT_NE(omRead, nullptr);
    ASSERT_NE(omReadLayout, nullptr);
    EXPECT_EQ(omReadLayout(nullptr), 0);

    AnswerSheet a;
    inktest::use_format_file("layout_export.txt", a.form("0.5") + "*");
    ScanSetup setup;
    setup.degrees = 270.5;
    setup.margin = 6;
    const Scan s = inktest::scan(a.draw(kAnswers), setup);
    std::vector<char> result(INKMARK_RESULT_BYTES, 0);
    int selector = 0;
    ASSERT_EQ(omRead(s.rows.data(), &selector, INKMARK_ROWS_REVERSED, s.width, s.height, INKMARK_SCAN_8DPM,
                     result.data()),
              1);
    std::vector<MarkCell> cells(static_cast<std::size_t>(a.rows * a.columns));
    MarkLayout l{};
    l.cells = cells.data();
    l.cellCapacity = static_cast<std::int32_t>(cells.size());
    EXPECT_EQ(omReadLayout(&l), 0);  // guides asked for with no room
    std::vector<MarkGuide> guides(static_cast<std::size_t>(l.guideCount));
    l.guides = guides.data();
    l.guideCapacity = l.guideCount;
    ASSERT_EQ(omReadLayout(&l), 1);
    EXPECT_EQ(l.orientation, MARK_ORIENTATION_THREE_QUARTERS);
    const PaperToPicture m{a.width, a.height, setup, s.height, false};
    const MarkCell& last = cells.back();
    EXPECT_LE(m.corner_error(last.box, Rect{a.column_left(a.columns - 1), a.row_top(a.rows - 1),
                                            AnswerSheet::kCellW, AnswerSheet::kCellH}),
              kToleranceMm);
}

}  // namespace
