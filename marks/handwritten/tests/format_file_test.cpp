// The format-file loader: grammar, units, kinds, corner sharing, relative
// geometry, failure rules and trial order.

#include "marks/handwritten/format_file.h"

#include <gtest/gtest.h>

#include <string>

#include "marks/handwritten/tests/sheet_painter.h"

namespace {

using inkmark::OmrForm;
using inkmark::OmrFormList;

std::vector<std::uint8_t> bytes(const std::string& s) {
    return {s.begin(), s.end()};
}

int load(const std::string& text, OmrFormList& list) {
    return inkmark::load_forms(bytes(text), list);
}

std::string form(const std::string& values) {
    return inktest::form_text(values);
}

// Left track of 3 marks, top track with a corner mark and 2 more, a 2 x 2 grid.
const std::string kLeftTop = "7 9 2  0 3 0 4 5 2 30 38 46  3 3 1 4 2 5 5.5 20 30  1 6 4 2 18 28 2 29 37  0.5";

TEST(FormatFile, RegularTracksGridAndRelativeGeometry) {
    OmrFormList list;
    ASSERT_EQ(load(form(kLeftTop) + "*", list), 1);
    const OmrForm& f = list.forms[0];
    ASSERT_EQ(f.trackCount, 2);
    const inkmark::OmrTrack& left = f.tracks[0];
    const inkmark::OmrTrack& top = f.tracks[1];
    // Lines from the edges: 8 x 4 mm + 0.5 = 32, plus half the mark size across.
    EXPECT_EQ(left.line, 52);
    EXPECT_EQ(top.line, 52);
    EXPECT_EQ(left.markWidth, 40);
    EXPECT_EQ(left.markHeight, 16);
    // The corner mark of the top track joins the left track at its start.
    ASSERT_EQ(left.markCount, 4);
    ASSERT_EQ(left.marks.size(), 4u);
    EXPECT_EQ(left.marks[0].y, 52);
    EXPECT_EQ(left.marks[0].width, 16);
    EXPECT_EQ(left.marks[1].y, 248);
    EXPECT_EQ(left.marks[3].y, 376);
    EXPECT_EQ(left.gaps, (std::vector<int>{0, 196, 64, 64}));
    // Top marks are kept right to left.
    ASSERT_EQ(top.markCount, 3);
    EXPECT_EQ(top.marks[0].x, 248);
    EXPECT_EQ(top.marks[2].x, 52);
    EXPECT_EQ(top.gaps, (std::vector<int>{0, 80, 116}));
    EXPECT_EQ(top.role, 1);
    EXPECT_EQ(f.pairOffset[0][3], 0);
    EXPECT_EQ(f.pairOffset[3][0], 0);
    EXPECT_EQ(f.codeFromLast, 0);
    EXPECT_EQ(f.bodyKind, 1);
    EXPECT_EQ(f.cellCount, 4);
    EXPECT_EQ(f.columnX, (std::vector<int>{168, 248}));
    EXPECT_EQ(f.rowY, (std::vector<int>{248, 312}));
    EXPECT_EQ(f.ratioCount, 1);

    OmrForm current;
    ASSERT_TRUE(inkmark::select_form(list, 0, current));
    ASSERT_TRUE(inkmark::materialize_cells(current));
    ASSERT_EQ(current.cells.size(), 4u);
    // Row-major; offsets from the left line and the top line.
    EXPECT_EQ(current.cells[1].x, 196);
    EXPECT_EQ(current.cells[1].y, 196);
    EXPECT_EQ(current.cells[2].x, 116);
    EXPECT_EQ(current.cells[2].y, 260);
    EXPECT_EQ(current.cells[3].width, 48);
    EXPECT_EQ(current.cells[3].height, 32);
    EXPECT_FALSE(inkmark::select_form(list, 1, current));
    EXPECT_FALSE(inkmark::select_form(list, -1, current));
}

TEST(FormatFile, ListTracksListCellsAndPairOffsetsWithoutCorner) {
    // Right track (list form, marks 5 x 2 mm and one 6 x 3 mm), bottom track regular,
    // two listed cells.
    const std::string values =
        "0 0 2  1 2 0 6666 90 30 5 2 90 40 6 3  2 2 0 120 2 5 20 40"
        "  0 2 10 20 6 4 30 50 8 4  0.4 0.2";
    OmrFormList list;
    ASSERT_EQ(load(form(values) + "*", list), 1);
    const OmrForm& f = list.forms[0];
    const inkmark::OmrTrack& right = f.tracks[0];
    const inkmark::OmrTrack& bottom = f.tracks[1];
    EXPECT_EQ(right.markWidth, 48);
    EXPECT_EQ(right.markHeight, 24);
    EXPECT_EQ(right.line, 720 + 20);  // first listed mark's centre x
    // Kept bottom-up: the lower mark first.
    EXPECT_EQ(right.marks[0].y, 320 + 12);
    EXPECT_EQ(right.marks[1].y, 240 + 8);
    EXPECT_EQ(right.gaps[1], 84);
    EXPECT_EQ(bottom.line, 960 + 20);
    EXPECT_EQ(bottom.marks[0].x, 160 + 8);
    // Nearest marks: the right track's lower mark, the bottom track's right mark.
    EXPECT_EQ(f.pairOffset[1][2], 320 + 8 - 740);
    EXPECT_EQ(f.pairOffset[2][1], 332 - 980);
    ASSERT_EQ(f.cells.size(), 2u);
    EXPECT_EQ(f.cells[0].formX, 80 + 24);
    // Offsets toward the interior: from the right line leftward, from the bottom line upward.
    EXPECT_EQ(f.cells[0].x, 740 - 104);
    EXPECT_EQ(f.cells[0].y, 980 - (160 + 16));
    EXPECT_EQ(f.ratioCount, 2);
    EXPECT_DOUBLE_EQ(f.doubtfulRatio, 0.2);
}

TEST(FormatFile, CodeSlotsRatiosAndOpenEndedFlags) {
    OmrFormList list;
    // A value above 1 before the ratio declares code slots: count, pitch, start.
    ASSERT_EQ(load(form("0 0 1 3 3 0 4 2 5 5.5 20 30 2 4 6 40 0.5") + "*", list), 1);
    EXPECT_EQ(list.forms[0].codeSlotCount, 4);
    EXPECT_EQ(list.forms[0].codeSlotPitch, 48);
    EXPECT_EQ(list.forms[0].codeSlotStart, 320);
    EXPECT_EQ(list.forms[0].bodyKind, 2);
    EXPECT_EQ(list.forms[0].cellCount, 0);
    // A slot count of 1 is the marked ratio, the next value the doubtful one.
    ASSERT_EQ(load(form("0 0 1 3 3 0 4 2 5 5.5 20 30 2 1 0.5") + "*", list), 1);
    EXPECT_EQ(list.forms[0].codeSlotCount, 0);
    EXPECT_DOUBLE_EQ(list.forms[0].markedRatio, 1.0);
    EXPECT_EQ(list.forms[0].ratioCount, 2);
    // 15 switches the open-ended flags on.
    ASSERT_EQ(load(form("0 0 1 3 3 0 4 2 5 5.5 20 30 2 0.5 15 1") + "*", list), 1);
    EXPECT_EQ(list.forms[0].tracks[0].openEnded, 1);
    // Any other value after the ratios is left over: the form fails.
    EXPECT_EQ(load(form("0 0 1 3 3 0 4 2 5 5.5 20 30 2 0.5 16 1") + "*", list), 0);
}

TEST(FormatFile, GridOfFiveColumnsAndFourRowsNumbersCellsRowByRow) {
    OmrFormList list;
    ASSERT_EQ(load(form("0 0 1 0 2 0 4 5 2 30 38 1 6 4 5 10 20 30 40 50 4 29 37 45 53 0.5") + "*", list), 1);
    OmrForm f = list.forms[0];
    EXPECT_EQ(f.cellCount, 20);
    ASSERT_TRUE(inkmark::materialize_cells(f));
    EXPECT_EQ(f.cells[6].formX, f.columnX[1]);
    EXPECT_EQ(f.cells[6].formY, f.rowY[1]);
    // One-track form: offsets from the line across and from the first mark along.
    EXPECT_EQ(f.cells[6].x, f.columnX[1] - f.tracks[0].line);
    EXPECT_EQ(f.cells[6].y, f.rowY[1] - f.tracks[0].marks[0].y);
}

TEST(FormatFile, FailingFormStopsLoadingButKeepsEarlierForms) {
    const std::string good = form("0 0 1 0 2 0 4 5 2 30 38 2 0.5");
    OmrFormList list;
    EXPECT_EQ(load(good + good + "*", list), 2);
    EXPECT_EQ(list.forms[1].filePosition, 1);
    // Without a closing '*' the last form is lost.
    EXPECT_EQ(load(good + good, list), 1);
    EXPECT_EQ(load(good, list), 0);
    // Three tracks, too few values, a missing value, leftovers, a 20-character number.
    for (const std::string& bad :
         {std::string("0 0 3 0 2 0 4 5 2 30 38 2 0.5"), std::string("1 2 1"),
          std::string("0 0 1 0 2 0 4 5 2 30"), std::string("0 0 1 0 2 0 4 5 2 30 38 2"),
          std::string("0 0 1 0 2 0 4 5 2 30 38 2 0.5 0.2 7"),
          std::string("0 0 1 0 2 0 4 5 2 30 38 2 0.50000000000000000000"),
          std::string("0 0 2 0 2 0 4 5 2 30 38 7 2 0 4 5 2 30 38 2 0.5"),
          std::string("0 0 1 0 9 0 4 5 2 30 38 2 0.5")}) {
        EXPECT_EQ(load(good + form(bad) + good + "*", list), 1) << bad;
    }
    EXPECT_EQ(load(form("0 0 3") + good + "*", list), 0);
}

TEST(FormatFile, MinusSignsSeparateAndLongTitlesSpillIntoValues) {
    OmrFormList list;
    ASSERT_EQ(load(form("0 0 1 0 2 0 -4 5 2 30 38 2 -0.5") + "*", list), 1);
    EXPECT_EQ(list.forms[0].tracks[0].line, 52);
    EXPECT_DOUBLE_EQ(list.forms[0].markedRatio, 0.5);
    // 29 title characters then "12 " in the value area: two more leading values.
    const std::string title = "*" + std::string(29, 't') + "12 ";
    ASSERT_EQ(load(title + "0 0 1 0 2 0 4 5 2 30 38 2 0.5*", list), 0);  // 3 leading values: kinds shift
    ASSERT_EQ(load(title + "0 1 0 2 0 4 5 2 30 38 2 0.5*", list), 1);
}

TEST(FormatFile, TrialOrderPutsOpenEndedFormsLastByMarkCount) {
    const std::string closed = form("0 0 1 0 2 0 4 5 2 30 38 2 0.5");
    auto open1 = [](int marks) {
        std::string v = "0 0 1 0 " + std::to_string(marks) + " 0 4 5 2";
        for (int i = 0; i < marks; ++i) v += " " + std::to_string(30 + 8 * i);
        return form(v + " 2 0.5 15 1");
    };
    const std::string open2 = form("0 0 2 0 2 0 4 5 2 30 38 3 2 0 4 2 5 20 30 2 0.5 15 1 1");
    OmrFormList list;
    ASSERT_EQ(load(closed + open1(3) + open2 + closed + open1(5) + open1(4) + "*", list), 6);
    ASSERT_TRUE(inkmark::order_forms(list));
    EXPECT_EQ(list.order, (std::vector<int>{0, 3, 4, 5, 1, 2}));
}

TEST(FormatFile, UnreadableFileLoadsNothing) {
    OmrFormList list;
    EXPECT_EQ(inkmark::load_form_file("no-such-format-file.txt", list), 0);
    EXPECT_EQ(inkmark::dots(0.06), 0);
    EXPECT_EQ(inkmark::dots(0.07), 1);
    EXPECT_EQ(inkmark::dots(1e30), inkmark::kMaxDots);
}

}  // namespace
