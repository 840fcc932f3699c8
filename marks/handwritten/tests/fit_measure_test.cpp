// Edge scans, orientation tables, form fitting, scale and cell boxes, and the
// result texts, on sheets rendered without a scanner bed.

#include <gtest/gtest.h>

#include <cstring>

#include "marks/common/border_cleanup.h"
#include "marks/common/image.h"
#include "marks/handwritten/edge_scan.h"
#include "marks/handwritten/form_fit.h"
#include "marks/handwritten/format_file.h"
#include "marks/handwritten/measurement.h"
#include "marks/handwritten/orientation.h"
#include "marks/handwritten/preparation.h"
#include "marks/handwritten/result_text.h"
#include "marks/handwritten/tests/answer_sheet.h"

namespace {

using namespace inkmark;

// The working image of a scan read top row first (flip 1), scan mode 2.
marks::Image working(const inktest::Scan& s) {
    marks::Image raw, copy, work;
    raw.create(s.width, s.height, 1);
    std::memcpy(raw.bits(), s.rows.data(), s.rows.size());
    marks::copy_flipped(raw.view(), 1, copy);
    resample_to_working(copy, 2, work);
    marks::clean_borders(work, kDotsPerMm);
    return work;
}

EdgeLists scan_all(const marks::Image& work) {
    EdgeLists lists;
    for (Edge e : {kEdgeB, kEdgeT, kEdgeL, kEdgeR}) EXPECT_TRUE(scan_edge(work, e, lists[e]));
    return lists;
}

OmrForm load_one(const std::string& text) {
    OmrFormList list;
    const std::string t = text + "*";
    EXPECT_EQ(load_forms(std::vector<std::uint8_t>(t.begin(), t.end()), list), 1);
    return list.forms.empty() ? OmrForm{} : list.forms[0];
}

TEST(OrientationTables, SignsFollowTheListsAndPairSignsTheKinds) {
    for (int c = 0; c < 4; ++c) {
        for (int k = 0; k < 4; ++k) {
            const Edge x = kListFor[c][k];
            EXPECT_EQ(kOrientationOf[x][k], c);
            EXPECT_EQ(kCoordinateSign[c][k], inward(x));
            // Offsets across kinds 1 and 2 point against the coordinate (line - x, line - y).
            const int kindSign = (k == kLeft || k == kTop) ? 1 : -1;
            EXPECT_EQ(kPairSign[c][k], -inward(x) * kindSign);
        }
    }
}

TEST(EdgeScan, BandsHoldTimingMarksInListOrder) {
    inktest::AnswerSheet a;
    const marks::Image work = working(inktest::scan(a.draw({}), {}));
    const EdgeLists lists = scan_all(work);
    // Left: the corner mark and the eight row marks, top to bottom.
    ASSERT_FALSE(lists[kEdgeL].bands.empty());
    const auto& left = lists[kEdgeL].bands[0];
    ASSERT_EQ(left.size(), 9u);
    for (std::size_t i = 1; i < left.size(); ++i) EXPECT_GT(left[i].centroidY, left[i - 1].centroidY);
    // Mean run length replaces the height across a column scan.
    EXPECT_EQ(left[1].height, left[1].pixelCount / left[1].width);
    // Top: seven marks right to left.
    ASSERT_FALSE(lists[kEdgeT].bands.empty());
    const auto& top = lists[kEdgeT].bands[0];
    ASSERT_EQ(top.size(), 7u);
    for (std::size_t i = 1; i < top.size(); ++i) EXPECT_LT(top[i].centroidX, top[i - 1].centroidX);
    for (const auto& list : lists) EXPECT_LE(list.bands.size(), 3u);
}

TEST(EdgeScan, DarkBorderTouchingASideIsNoMark) {
    inktest::Sheet s;
    s.width = 60;
    s.height = 60;
    s.fill({0, 0, 60, 3});   // dark strip along the top, corner to corner
    s.fill({20, 20, 5, 2});  // a mark well inside
    const marks::Image work = working(inktest::scan(s, {}));
    EdgeList top;
    ASSERT_TRUE(scan_edge(work, kEdgeT, top));
    ASSERT_FALSE(top.bands.empty());
    EXPECT_EQ(top.bands[0].size(), 1u);
    EXPECT_NEAR(top.bands[0][0].centroidY, 168, 2);
}

TEST(FormFit, EachQuarterTurnFitsInItsOrientation) {
    inktest::AnswerSheet a;
    const OmrForm form = load_one(a.form("0.5"));
    for (int quarter = 0; quarter < 4; ++quarter) {
        inktest::ScanSetup setup;
        setup.degrees = 90.0 * quarter;
        const marks::Image work = working(inktest::scan(a.draw({}), setup));
        const EdgeLists lists = scan_all(work);
        FitResult fit;
        ASSERT_EQ(fit_form(form, lists, work, fit), FitOutcome::Fitted) << quarter;
        // A clockwise quarter turn puts the form's left edge at the image top.
        EXPECT_EQ(fit.orientation, quarter);
        ASSERT_EQ(fit.matches.size(), 2u);
        EXPECT_EQ(fit.matches[0].edge, kListFor[quarter][kLeft]);
        EXPECT_EQ(fit.matches[1].edge, kListFor[quarter][kTop]);
    }
}

TEST(FormFit, WrongMarkCountOrSpacingDoesNotFit) {
    inktest::AnswerSheet a;
    const marks::Image work = working(inktest::scan(a.draw({}), {}));
    const EdgeLists lists = scan_all(work);
    FitResult fit;
    inktest::AnswerSheet fewer = a;
    fewer.rows = 7;  // the image track holds one mark more
    EXPECT_EQ(fit_form(load_one(fewer.form("0.5")), lists, work, fit), FitOutcome::NoFit);
    // The same count, the marks 2 mm further apart.
    std::string text = a.form("0.5");
    const std::string from = "0 8 0 4 5 2 30 38 46 54 62 70 78 86";
    const std::string to = "0 8 0 4 5 2 30 40 50 60 70 80 90 100";
    ASSERT_NE(text.find(from), std::string::npos);
    text.replace(text.find(from), from.size(), to);
    EXPECT_EQ(fit_form(load_one(text), lists, work, fit), FitOutcome::NoFit);
}

TEST(FormFit, ToleranceRules) {
    EXPECT_EQ(gap_tolerance(320), 14);
    EXPECT_EQ(gap_tolerance(64), 10);
    OmrCell mark;
    mark.width = 40;
    mark.height = 16;
    marks::MarkBlob blob;
    blob.width = 52;
    blob.height = 4;
    EXPECT_TRUE(size_matches(blob, mark));  // 1.5 mm either way
    blob.width = 53;
    EXPECT_FALSE(size_matches(blob, mark));
    blob.width = 16;
    blob.height = 40;  // turned by a quarter
    EXPECT_TRUE(size_matches(blob, mark));
}

TEST(Measurement, ScaleKeepsOneNearTheFormSpanAndPullsTowardIt) {
    EXPECT_DOUBLE_EQ(axis_scale(500, 503), 1.0);
    EXPECT_DOUBLE_EQ(axis_scale(500, 497), 1.0);
    EXPECT_DOUBLE_EQ(axis_scale(500, 520), 518.0 / 500);
    EXPECT_DOUBLE_EQ(axis_scale(300, 320), 317.0 / 300);
    EXPECT_DOUBLE_EQ(axis_scale(300, 280), 283.0 / 300);
    EXPECT_DOUBLE_EQ(axis_scale(0, 280), 1.0);
}

// A fitted form with readings made by hand, for the texts.
struct TextCase {
    OmrForm form;
    FitResult fit;
    std::vector<CellReading> readings;
};

TextCase grid_case() {
    TextCase t;
    t.form.bodyKind = 1;
    t.form.rowCount = 2;
    t.form.columnCount = 3;
    t.form.cellCount = 6;
    t.form.markedRatio = 0.65;
    t.form.ratioCount = 2;
    t.readings.resize(6);
    const double ratios[6] = {1.0, 0.43, 0.2, 0.0, 0.999, 0.65};
    const int states[6] = {1, 2, 0, 0, 1, 1};
    for (int i = 0; i < 6; ++i) {
        t.readings[static_cast<std::size_t>(i)].ratio[0] = ratios[i];
        t.readings[static_cast<std::size_t>(i)].state[0] = states[i];
    }
    return t;
}

std::string text_of(const TextCase& t, ResultStyle style, std::size_t capacity = 10240) {
    std::string out;
    EXPECT_TRUE(build_result_text(t.form, t.fit, t.readings, 0, style, capacity, out));
    return out;
}

TEST(ResultText, PlainExtendedAndReliabilityOfAGrid) {
    const TextCase t = grid_case();
    EXPECT_EQ(text_of(t, ResultStyle::Plain), std::string("0006,120,011\0", 13));
    EXPECT_EQ(text_of(t, ResultStyle::Extended), std::string("0006,994320,009965;0006,120,011\0", 32));
    const std::string r = text_of(t, ResultStyle::Reliability);
    ASSERT_EQ(r.size(), 4u + 2 * 4 + 1);
    EXPECT_EQ(r.substr(0, 5), "0006,");
    EXPECT_EQ(static_cast<unsigned char>(r[5]), 153);  // 1.0 / 0.65
    EXPECT_EQ(static_cast<unsigned char>(r[6]), 66);   // 0.43 / 0.65
    EXPECT_EQ(static_cast<unsigned char>(r[8]), ',');
    EXPECT_EQ(static_cast<unsigned char>(r[9]), 0);
    EXPECT_EQ(static_cast<unsigned char>(r[11]), 100);
    EXPECT_EQ(result_text_size(t.form, ResultStyle::Plain), 13);
}

TEST(ResultText, ListCellsAndTextsThatDoNotFit) {
    TextCase t = grid_case();
    t.form.bodyKind = 0;
    EXPECT_EQ(text_of(t, ResultStyle::Plain), std::string("0006,120011\0", 12));
    EXPECT_EQ(text_of(t, ResultStyle::Reliability), std::string("0006\0", 5));
    std::string out = "untouched";
    EXPECT_FALSE(build_result_text(t.form, t.fit, t.readings, 0, ResultStyle::Plain, 11, out));
    EXPECT_TRUE(build_result_text(t.form, t.fit, t.readings, 0, ResultStyle::Plain, 12, out));
    t.form.cellCount = 12345;  // D is the count modulo 10000
    t.form.bodyKind = 2;
    EXPECT_EQ(text_of(t, ResultStyle::Plain), std::string("2345\0", 5));
}

TEST(ResultText, CodeSlotsReportTheTopTrackPatternFromItsLastMark) {
    // Top track marks at 344, 440, 488 and the shared corner at 52 (kept right to left).
    TextCase t = grid_case();
    t.form.trackCount = 2;
    t.form.tracks.resize(2);
    t.form.tracks[1].kind = kTop;
    for (int x : {488, 440, 344, 52}) {
        OmrCell m;
        m.formX = x;
        m.width = 16;
        m.height = 40;
        t.form.tracks[1].marks.push_back(m);
    }
    t.form.codeSlotCount = 4;
    t.form.codeSlotPitch = 48;
    t.form.codeSlotStart = 320;
    t.form.codeFromLast = 1;
    TrackMatch m;
    m.track = 1;
    for (int n : {640, 320, 700, 600}) {
        marks::MarkBlob b;
        b.pixelCount = n;
        m.blobs.push_back(b);
    }
    t.fit.matches.push_back(m);
    EXPECT_EQ(code_slots(t.form, t.fit, false), "1011");
    EXPECT_EQ(code_slots(t.form, t.fit, true), "99005099");
    EXPECT_EQ(text_of(t, ResultStyle::Plain), std::string("0006,1011,120,011\0", 18));
    EXPECT_EQ(result_text_size(t.form, ResultStyle::Extended), 46);
}

}  // namespace

namespace {

// A cell box placed by hand: one left track matched at x = 20, y = 20 and 100;
// a 10 x 10 cell 50 dots right of the track and 30 below its first mark.
TEST(Measurement, BoxPlacementAndTheMarkedRatioBoundary) {
    OmrForm form = load_one(
        inktest::form_text("0 0 1  0 2 0 6666 0 0 5 2 0 10 5 2  0 1 8.75 4.375 1.25 1.25  0.5 0.25"));
    ASSERT_EQ(form.cells.size(), 1u);
    // Put the form's geometry in round numbers.
    form.tracks[0].marks[0].formY = 20;
    form.tracks[0].marks[1].formY = 100;
    form.cells[0] = OmrCell{50, 30, 10, 10, 0, 0};
    FitResult fit;
    fit.orientation = 2;
    TrackMatch m;
    m.track = 0;
    m.edge = kEdgeL;
    for (int y : {20, 100}) {
        marks::MarkBlob b;
        b.centroidX = 20;
        b.centroidY = y;
        m.blobs.push_back(b);
    }
    fit.matches.push_back(m);
    std::vector<CellBox> boxes;
    ASSERT_TRUE(cell_boxes(form, fit, 200, 200, boxes));
    EXPECT_EQ(boxes[0].x0, 63);
    EXPECT_EQ(boxes[0].x1, 77);
    EXPECT_EQ(boxes[0].y0, 43);
    EXPECT_EQ(boxes[0].y1, 57);
    EXPECT_EQ(boxes[0].area, 100);

    marks::Image img;
    img.create(200, 200, 1);
    std::fill(img.bits(), img.bits() + img.imageSize, 0xFF);
    auto fill = [&](int n) {  // n dark pixels inside the box, rows counted from the last stored row
        std::fill(img.bits(), img.bits() + img.imageSize, 0xFF);
        for (int i = 0; i < n; ++i) img.set_dark(63 + i % 14, 199 - (43 + i / 14));
    };
    const std::int32_t level = 90;
    std::vector<CellReading> readings;
    fill(50);
    ASSERT_TRUE(measure_cells(form, fit, img, &level, 1, readings));
    EXPECT_EQ(readings[0].darkCount[0], 50);
    EXPECT_EQ(readings[0].state[0], 1);  // exactly the marked ratio
    fill(49);
    ASSERT_TRUE(measure_cells(form, fit, img, &level, 1, readings));
    EXPECT_EQ(readings[0].state[0], 2);
    fill(24);
    ASSERT_TRUE(measure_cells(form, fit, img, &level, 1, readings));
    EXPECT_EQ(readings[0].state[0], 0);
    fill(14 * 14);  // the box holds more than the cell: the count stops at the area
    ASSERT_TRUE(measure_cells(form, fit, img, &level, 1, readings));
    EXPECT_EQ(readings[0].darkCount[0], 100);
    EXPECT_DOUBLE_EQ(readings[0].ratio[0], 1.0);
    // A box wholly outside the image fails the measurement.
    form.cells[0].x = 500;
    EXPECT_FALSE(measure_cells(form, fit, img, &level, 1, readings));
}

// A top track 30 mm down, below a row of title blocks that ends the top edge
// scan before it: with role 1 it is sought by a fresh band scan.
TEST(FormFit, DeepRoleOneTrackIsFoundByAFreshBandScan) {
    inktest::Sheet s;
    s.width = 100;
    s.height = 120;
    for (double x : {30.0, 50.0, 70.0}) s.fill({x, 3, 6, 3});
    s.fill({5.5, 30, 2, 5});
    for (double x : {20.0, 40.0}) s.fill({x, 30, 2, 5});
    for (int r = 0; r < 4; ++r) s.fill({4, 50 + 8.0 * r, 5, 2});
    const marks::Image work = working(inktest::scan(s, {}));
    const EdgeLists lists = scan_all(work);
    ASSERT_LT(lists[kEdgeT].deepest, 8 * 30);
    auto formWithRole = [](int role) {
        return load_one(inktest::form_text("0 0 2  0 4 0 4 5 2 50 58 66 74  3 3 " + std::to_string(role) +
                                           " 30 2 5 5.5 20 40  2 0.5"));
    };
    FitResult fit;
    ASSERT_EQ(fit_form(formWithRole(1), lists, work, fit), FitOutcome::Fitted);
    EXPECT_EQ(fit.orientation, 0);
    ASSERT_EQ(fit.matches.size(), 2u);
    EXPECT_EQ(fit.matches[1].blobs.size(), 3u);
    EXPECT_NEAR(fit.matches[1].blobs[0].centroidY, 8 * 32.5, 2);
    // Any other role is sought in the edge list only.
    EXPECT_EQ(fit_form(formWithRole(2), lists, work, fit), FitOutcome::NoFit);
}

// The form's left track lists only the first four rows, open-ended: it fits
// the first window of the longer image track.
TEST(FormFit, OpenEndedTrackFitsAWindowOfTheImageTrack) {
    inktest::AnswerSheet a;
    const marks::Image work = working(inktest::scan(a.draw({}), {}));
    const EdgeLists lists = scan_all(work);
    inktest::AnswerSheet four = a;
    four.rows = 4;
    std::string text = four.form("0.5");
    text.insert(text.size() - 1, " 15 1 0");
    const OmrForm form = load_one(text);
    EXPECT_EQ(form.tracks[0].openEnded, 1);
    FitResult fit;
    ASSERT_EQ(fit_form(form, lists, work, fit), FitOutcome::Fitted);
    ASSERT_EQ(fit.matches[0].blobs.size(), 5u);  // the corner and four rows
    EXPECT_NEAR(fit.matches[0].blobs[4].centroidY, 8 * 55, 2);
    // Closed, the same form does not fit the longer track.
    EXPECT_EQ(fit_form(load_one(four.form("0.5")), lists, work, fit), FitOutcome::NoFit);
}

}  // namespace
