// Whole reads of rendered answer sheets.

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "answer_sheet.h"
#include "marks/common/image.h"
#include "marks/handwritten/reader.h"

namespace {

using inktest::AnswerSheet;
using inktest::Scan;
using inktest::ScanSetup;

const std::vector<std::string> kAnswers = {
    "#.....", ".#....", "..#...", "...#..", "....#.", ".....#", "#....#", "......",
};

// Reads a scan through the core without straightening; the plain text or "" on failure.
std::string read_core(const Scan& scan, int flip, int scanMode, int selector = 0,
                      inkmark::ResultStyle style = inkmark::ResultStyle::kPlain, int straighten = 0) {
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
std::string read_front(const Scan& scan, int flip, int scanMode, inkmark::ResultStyle style, int* selectorOut = nullptr) {
    const std::vector<std::uint8_t> rows = flip == 1 ? scan.rows : scan.reversed();
    std::vector<char> result(10240, 0x7F);
    int selector = 0;
    if (inkmark::read_raw_sheet(rows.data(), &selector, flip, scan.width, scan.height, scanMode, result.data(), style) != 1)
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
        EXPECT_EQ(read_front(s, 1, 2, inkmark::ResultStyle::kPlain, &selector),
                  "0048,100000,010000,001000,000100,000010,000001,100001,000000")
            << degrees;
        EXPECT_EQ(selector, 1);
    }
}

}  // namespace

namespace {

TEST(ReadSheet, AllFourOrientationsGiveTheSameText) {
    AnswerSheet a;
    inktest::use_format_file("turned.txt", a.form("0.5") + "*");
    const inktest::Sheet sheet = a.draw(kAnswers);
    for (int quarter = 0; quarter < 4; ++quarter) {
        for (double tilt : {0.0, 2.5}) {
            ScanSetup setup;
            setup.degrees = 90.0 * quarter + tilt;
            setup.margin = 6;
            const Scan s = inktest::scan(sheet, setup);
            EXPECT_EQ(read_front(s, 1, 2, inkmark::ResultStyle::kPlain),
                      "0048,100000,010000,001000,000100,000010,000001,100001,000000")
                << "quarter " << quarter << " tilt " << tilt;
        }
    }
}

}  // namespace
