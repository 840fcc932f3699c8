// Whole reads of rendered answer sheets.

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "marks/common/image.h"
#include "marks/handwritten/preparation.h"
#include "marks/handwritten/reader.h"
#include "marks/handwritten/tests/answer_sheet.h"

namespace {

using inktest::AnswerSheet;
using inktest::Scan;
using inktest::ScanSetup;

const std::vector<std::string> kAnswers = {
    "#.....", ".#....", "..#...", "...#..", "....#.", ".....#", "#....#", "......",
};

// Reads a scan through the core without straightening; the plain text or "" on failure.
std::string read_core(const Scan& scan, int flip, int scanMode, int selector = 0,
                      inkmark::ResultStyle style = inkmark::ResultStyle::Plain, int straighten = 0) {
    marks::Image img;
    if (!img.create(scan.width, scan.height, 1)) return "";
    const std::vector<std::uint8_t> rows = flip == 1 ? scan.rows : scan.reversed();
    std::memcpy(img.bits(), rows.data(), rows.size());
    Bitmap bmp{img.width, img.height, 1, img.imageSize, img.stride, img.rows(), img.bits()};
    std::vector<char> text(10240, 0);
    std::int32_t level = 90;
    OmrResultBlock block{0, 10240, text.data()};
    OmrResultSet set{0, 1, &level, &block};
    int sel = selector;
    if (inkmark::decode_sheet(&bmp, &sel, flip, scanMode, straighten, &set, style) != 1) return "";
    return std::string(text.data(), static_cast<std::size_t>(block.length > 0 ? block.length - 1 : 0));
}

TEST(ReadSheet, UprightSheetPlainText) {
    AnswerSheet a;
    inktest::use_format_file("upright.txt", a.form("0.5") + "*");
    const Scan s = inktest::scan(a.draw(kAnswers), ScanSetup{});
    EXPECT_EQ(read_core(s, 1, 2), "0048,100000,010000,001000,000100,000010,000001,100001,000000");
}

}  // namespace

namespace {

// Reads a scan through the front end (straightened); "" on failure.
std::string read_front(const Scan& scan, int flip, int scanMode, inkmark::ResultStyle style,
                       int* selectorOut = nullptr, int selectorIn = 0) {
    const std::vector<std::uint8_t> rows = flip == 1 ? scan.rows : scan.reversed();
    std::vector<char> result(10240, 0x7F);
    int selector = selectorIn;
    if (inkmark::read_raw_sheet(rows.data(), &selector, flip, scan.width, scan.height, scanMode,
                                result.data(), style) != 1)
        return "";
    if (selectorOut) *selectorOut = selector;
    return std::string(result.data());
}

TEST(ReadSheet, TiltedSheetOnDarkBedIsStraightened) {
    AnswerSheet a;
    inktest::use_format_file("tilted.txt", a.form("0.5") + "*");
    for (double degrees : {-3.0, 2.0, 4.0}) {
        ScanSetup setup;
        setup.degrees = degrees;
        setup.margin = 8;
        const Scan s = inktest::scan(a.draw(kAnswers), setup);
        int selector = -1;
        EXPECT_EQ(read_front(s, 1, 2, inkmark::ResultStyle::Plain, &selector),
                  "0048,100000,010000,001000,000100,000010,000001,100001,000000")
            << degrees;
        EXPECT_EQ(selector, 1);
    }
}

}  // namespace

namespace {

// With and without a shared corner mark: without one, the pair offsets
// between the tracks are far from zero and are checked from each track's mark
// nearest the other track.
TEST(ReadSheet, AllFourOrientationsGiveTheSameText) {
    for (bool corner : {true, false}) {
        AnswerSheet a;
        a.corner = corner;
        inktest::use_format_file(corner ? "turned.txt" : "turned-nocorner.txt", a.form("0.5") + "*");
        const inktest::Sheet sheet = a.draw(kAnswers);
        for (int quarter = 0; quarter < 4; ++quarter) {
            for (double tilt : {0.0, 2.5}) {
                ScanSetup setup;
                setup.degrees = 90.0 * quarter + tilt;
                setup.margin = 6;
                const Scan s = inktest::scan(sheet, setup);
                EXPECT_EQ(read_front(s, 1, 2, inkmark::ResultStyle::Plain),
                          "0048,100000,010000,001000,000100,000010,000001,100001,000000")
                    << "quarter " << quarter << " tilt " << tilt << " corner " << corner;
            }
        }
    }
}

}  // namespace

namespace {

const char* kPlain8x6 = "0048,100000,010000,001000,000100,000010,000001,100001,000000";

TEST(ReadSheet, ScanModesOneToFiveAndBothFlips) {
    AnswerSheet a;
    inktest::use_format_file("modes.txt", a.form("0.5") + "*");
    const inktest::Sheet sheet = a.draw(kAnswers);
    // Dots per mm across and lines per mm along for the modes.
    const double across[5] = {8, 8, 12, 12, 12};
    const double along[5] = {4, 8, 4, 12, 6};
    for (int mode = 1; mode <= 5; ++mode) {
        ScanSetup setup;
        setup.dotsAcross = across[mode - 1];
        setup.linesAlong = along[mode - 1];
        setup.degrees = mode % 2 == 0 ? 1.5 : -1.5;
        setup.margin = 6;
        const Scan s = inktest::scan(sheet, setup);
        for (int flip = 0; flip <= 1; ++flip)
            EXPECT_EQ(read_front(s, flip, mode, inkmark::ResultStyle::Plain), kPlain8x6)
                << "mode " << mode << " flip " << flip;
    }
}

TEST(ReadSheet, WorkingSizeFollowsTheModeTable) {
    int w = 0, h = 0;
    ASSERT_TRUE(inkmark::working_size(1, 1728, 600, w, h));
    EXPECT_EQ(w, 1755);
    EXPECT_EQ(h, 1200);
    ASSERT_TRUE(inkmark::working_size(4, 2592, 900, w, h));
    EXPECT_EQ(w, 2633 * 200 / 300);
    EXPECT_EQ(h, 600);
    ASSERT_TRUE(inkmark::working_size(5, 2592, 900, w, h));
    EXPECT_EQ(h, 1200);
    EXPECT_FALSE(inkmark::working_size(6, 100, 100, w, h));
}

TEST(ReadSheet, OneTrackFormIsSoughtTurnedByHalf) {
    AnswerSheet a;
    a.topTrack = false;
    inktest::use_format_file("onetrack.txt", a.form("0.5") + "*");
    ScanSetup setup;
    setup.degrees = 182;
    setup.margin = 6;
    EXPECT_EQ(read_front(inktest::scan(a.draw(kAnswers), setup), 1, 2, inkmark::ResultStyle::Plain),
              kPlain8x6);
    // Upright, the only list it is sought in holds no such track.
    setup.degrees = 2;
    EXPECT_EQ(read_front(inktest::scan(a.draw(kAnswers), setup), 1, 2, inkmark::ResultStyle::Plain), "");
}

// Two ratios and code slots: partly filled cells are doubtful; the top track
// carries the code 1011 in four 6 mm slots from 40 mm.
TEST(ReadSheet, TwoRatiosAndCodeSlotsInAllThreeStyles) {
    AnswerSheet a;
    a.topMarks = {42, 54, 60};
    a.outlines = false;
    a.partial = 0.45;
    const std::vector<std::string> answers = {"#+....", ".#+...", "......", "##....", "", "", "", "+....#"};
    inktest::use_format_file("coded.txt", a.form("0.65 0.3", "4 6 40") + "*");
    ScanSetup setup;
    setup.degrees = -2;
    setup.margin = 6;
    const Scan s = inktest::scan(a.draw(answers), setup);
    int selector = 1;  // two-ratio forms only
    const std::string plain = "0048,1011,120000,012000,000000,110000,000000,000000,000000,200001";
    EXPECT_EQ(read_front(s, 1, 2, inkmark::ResultStyle::Plain, &selector, 1), plain);
    EXPECT_EQ(selector, 1);
    const std::string extended = read_front(s, 1, 2, inkmark::ResultStyle::Extended, nullptr, 1);
    ASSERT_EQ(extended.size(), plain.size() + 1 + 5 + 8 + 8 * 13);
    EXPECT_EQ(extended.substr(0, 14), "0048,99009999,");
    EXPECT_EQ(extended.substr(extended.size() - plain.size() - 1), ";" + plain);
    // Fully filled cells read 99, empty ones 00, partly filled ones about 45.
    EXPECT_EQ(extended.substr(14, 2), "99");
    const int partial = std::stoi(extended.substr(16, 2));
    EXPECT_GE(partial, 40);
    EXPECT_LE(partial, 50);
    EXPECT_EQ(extended.substr(18, 8), "00000000");
    EXPECT_EQ(extended.substr(27 + 13 + 13, 12), "999900000000");
    // Reliability: one byte per cell, ratio / 0.65 x 100: 153 full, 0 empty.
    std::vector<char> result(10240, 0);
    const std::vector<std::uint8_t> rows = s.rows;
    selector = 1;
    ASSERT_EQ(inkmark::read_raw_sheet(rows.data(), &selector, 1, s.width, s.height, 2, result.data(),
                                      inkmark::ResultStyle::Reliability),
              1);
    const unsigned char* r = reinterpret_cast<const unsigned char*>(result.data());
    EXPECT_EQ(std::string(result.data(), 5), "0048,");
    EXPECT_EQ(r[5], 153);
    EXPECT_GE(r[6], 61);  // about 0.45 / 0.65
    EXPECT_LE(r[6], 77);
    EXPECT_EQ(r[7], 0);
    EXPECT_EQ(r[11], ',');
    EXPECT_GE(r[5 + 7 * 7], 61);  // row 7 starts with a partly filled cell
    EXPECT_EQ(r[5 + 7 * 7 + 1], 0);
    EXPECT_EQ(r[5 + 7 * 7 + 5], 153);
    EXPECT_EQ(r[5 + 8 * 7 - 1], 0);  // terminating zero after the last row
}

}  // namespace
