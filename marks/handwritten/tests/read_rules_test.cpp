// The reader's rules around a read: grey sheets and levels, the selector,
// argument checks, the format file's path, result capacity and the
// straightening library.

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "marks/common/image.h"
#include "marks/handwritten/reader.h"
#include "marks/handwritten/tests/answer_sheet.h"
#include "platform/dynamic_library.h"

namespace {

using inktest::AnswerSheet;

const std::vector<std::string> kAnswers = {"#.....", "......", "..#...", "", "", "", "", ".....#"};
const char* kPlain = "0048,100000,000000,001000,000000,000000,000000,000000,000001";

// A sheet image owned by the test, in the bottom-up order the core reads with flip 0.
struct SheetImage {
    marks::Image image;
    Bitmap bitmap{};

    static SheetImage one_bit(const inktest::Scan& s) {
        SheetImage out;
        out.image.create(s.width, s.height, 1);
        const std::vector<std::uint8_t> rows = s.reversed();
        std::memcpy(out.image.bits(), rows.data(), rows.size());
        out.bind();
        return out;
    }
    // Grey: dark in `base` 40, else dark in `faint` 100, else 220.
    static SheetImage grey(const inktest::Scan& base, const inktest::Scan& faint) {
        SheetImage out;
        out.image.create(base.width, base.height, 8);
        for (int y = 0; y < base.height; ++y)
            for (int x = 0; x < base.width; ++x)
                out.image.row(base.height - 1 - y)[x] = base.dark(x, y) ? 40 : faint.dark(x, y) ? 100 : 220;
        out.bind();
        return out;
    }
    void bind() {
        bitmap = Bitmap{image.width,  image.height, image.bitCount, image.imageSize,
                        image.stride, image.rows(), image.bits()};
    }
};

struct Blocks {
    std::vector<std::int32_t> levels;
    std::vector<std::vector<char>> texts;
    std::vector<OmrResultBlock> blocks;
    OmrResultSet set{};
    explicit Blocks(std::vector<std::int32_t> lv, int capacity = 1024) : levels(std::move(lv)) {
        for (std::size_t i = 0; i < levels.size(); ++i)
            texts.emplace_back(static_cast<std::size_t>(capacity) + 16, '~');
        for (auto& t : texts) blocks.push_back(OmrResultBlock{0, capacity, t.data()});
        set = OmrResultSet{0, static_cast<std::int32_t>(levels.size()), levels.data(), blocks.data()};
    }
    std::string text(int k) const {
        const OmrResultBlock& b = blocks[static_cast<std::size_t>(k)];
        return b.length > 0 ? std::string(b.text, static_cast<std::size_t>(b.length - 1)) : "";
    }
};

int decode(SheetImage& img, int& selector, Blocks& b, int flip = 0, int mode = 2) {
    return inkmark::decode_sheet(&img.bitmap, &selector, flip, mode, 0, &b.set, inkmark::ResultStyle::Plain);
}

class ReadRules : public ::testing::Test {
protected:
    void SetUp() override { inktest::use_format_file("rules.txt", sheet.form("0.5") + "*"); }
    AnswerSheet sheet;
    SheetImage image = SheetImage::one_bit(inktest::scan(sheet.draw(kAnswers), {}));
};

TEST_F(ReadRules, GreySheetGivesOneTextPerLevel) {
    // Faint marks (grey 100) in row 1 count at level 110 but not at level 90.
    const inktest::Scan base = inktest::scan(sheet.draw(kAnswers), {});
    const inktest::Scan faint = inktest::scan(sheet.draw({"", ".#.#.."}), {});
    SheetImage grey = SheetImage::grey(base, faint);
    Blocks b({90, 110});
    int selector = 0;
    ASSERT_EQ(decode(grey, selector, b), 1);
    EXPECT_EQ(b.set.resultCount, 2);
    EXPECT_EQ(b.text(0), kPlain);
    EXPECT_EQ(b.text(1), "0048,100000,010100,001000,000000,000000,000000,000000,000001");
    // A 1-bit sheet with the same levels gives one text.
    Blocks one({90, 110});
    ASSERT_EQ(decode(image, selector = 0, one), 1);
    EXPECT_EQ(one.set.resultCount, 1);
    EXPECT_EQ(one.text(0), kPlain);
    EXPECT_EQ(one.blocks[1].length, 0);
}

TEST_F(ReadRules, SelectorPicksTheRatioCountAndReturnsTheFormNumber) {
    AnswerSheet other = sheet;
    other.rows = 7;  // does not fit this sheet
    inktest::use_format_file("selector.txt",
                             other.form("0.5") + sheet.form("0.5") + sheet.form("0.5 0.2") + "*");
    Blocks b({90});
    int selector = 0;
    ASSERT_EQ(decode(image, selector, b), 1);
    EXPECT_EQ(selector, 2);
    selector = 1;
    ASSERT_EQ(decode(image, selector, b), 1);
    EXPECT_EQ(selector, 3);
    EXPECT_EQ(b.text(0), kPlain);
    selector = 2;
    EXPECT_EQ(decode(image, selector, b), 0);
    selector = -1;
    EXPECT_EQ(decode(image, selector, b), 0);
    // Only one-ratio forms in the file: selector 1 tries none.
    inktest::use_format_file("selector1.txt", sheet.form("0.5") + "*");
    selector = 1;
    EXPECT_EQ(decode(image, selector, b), 0);
    EXPECT_EQ(selector, 0);
}

TEST_F(ReadRules, InvalidArgumentsFail) {
    Blocks b({90});
    int selector = 0;
    EXPECT_EQ(decode(image, selector, b, 2), 0);     // flip
    EXPECT_EQ(decode(image, selector, b, 0, 0), 0);  // scan mode
    EXPECT_EQ(decode(image, selector, b, 0, 6), 0);
    EXPECT_EQ(inkmark::decode_sheet(nullptr, &selector, 0, 2, 0, &b.set, inkmark::ResultStyle::Plain), 0);
    EXPECT_EQ(inkmark::decode_sheet(&image.bitmap, nullptr, 0, 2, 0, &b.set, inkmark::ResultStyle::Plain), 0);
    EXPECT_EQ(inkmark::decode_sheet(&image.bitmap, &selector, 0, 2, 0, nullptr, inkmark::ResultStyle::Plain),
              0);
    Bitmap bad = image.bitmap;
    bad.bitCount = 24;
    EXPECT_EQ(inkmark::decode_sheet(&bad, &selector, 0, 2, 0, &b.set, inkmark::ResultStyle::Plain), 0);
    bad = image.bitmap;
    bad.stride = image.bitmap.stride - 1;  // shorter than a row
    EXPECT_EQ(inkmark::decode_sheet(&bad, &selector, 0, 2, 0, &b.set, inkmark::ResultStyle::Plain), 0);
    Blocks zero({90}, 0);
    EXPECT_EQ(decode(image, selector, zero), 0);
    // More levels than a cell record holds are refused.
    Blocks many(std::vector<std::int32_t>(17, 90));
    EXPECT_EQ(decode(image, selector, many), 0);
    Blocks sixteen(std::vector<std::int32_t>(16, 90));
    EXPECT_EQ(decode(image, selector, sixteen), 1);
}

TEST_F(ReadRules, TextThatDoesNotFitFailsWithoutWritingPastTheBlock) {
    Blocks small({90}, 60);  // the plain text needs 61 bytes
    int selector = 0;
    EXPECT_EQ(decode(image, selector, small), 0);
    for (char c : small.texts[0]) EXPECT_EQ(c, '~');
    Blocks exact({90}, 61);
    EXPECT_EQ(decode(image, selector, exact), 1);
    EXPECT_EQ(exact.blocks[0].length, 61);
    EXPECT_EQ(exact.texts[0][61], '~');
}

TEST_F(ReadRules, FormatFilePathRules) {
    Blocks b({90});
    int selector = 0;
    setenv("FMTFILEPATH", "no-such-file.txt", 1);
    EXPECT_EQ(decode(image, selector, b), 0);
    // Without the variable the file in the current directory is read.
    unsetenv("FMTFILEPATH");
    inktest::use_format_file("FormatFile.txt", sheet.form("0.5") + "*");
    unsetenv("FMTFILEPATH");
    EXPECT_EQ(decode(image, selector, b), 1);
    // A path of 254 characters is read; one of 255 is refused rather than cut.
    const std::string longest(254, 'f');
    inktest::use_format_file(longest, sheet.form("0.5") + "*");
    EXPECT_EQ(decode(image, selector = 0, b), 1);
    inktest::use_format_file(longest + "g", sheet.form("0.5") + "*");
    EXPECT_EQ(decode(image, selector = 0, b), 0);
    std::remove(longest.c_str());
    std::remove((longest + "g").c_str());
    // A file without forms.
    inktest::use_format_file("empty.txt", "no forms here");
    EXPECT_EQ(decode(image, selector, b), 0);
}

TEST_F(ReadRules, MissingStraighteningLibraryFailsTheRead) {
    const inktest::Scan s = inktest::scan(sheet.draw(kAnswers), {});
    std::vector<char> result(10240, 0);
    int selector = 0;
    inkmark::ReadOptions none;
    none.straightener = "NoSuchStraightener.dll";
    EXPECT_EQ(inkmark::read_raw_sheet(s.rows.data(), &selector, 1, s.width, s.height, 2, result.data(),
                                      inkmark::ResultStyle::Plain, none),
              0);
    // A library without the two exports.
    inkmark::ReadOptions wrong;
    wrong.straightener = "Inkmark.dll";
    EXPECT_EQ(inkmark::read_raw_sheet(s.rows.data(), &selector, 1, s.width, s.height, 2, result.data(),
                                      inkmark::ResultStyle::Plain, wrong),
              0);
    EXPECT_EQ(result[0], 0);
    // A direct read without straightening needs no library.
    Blocks b({90});
    EXPECT_EQ(inkmark::decode_sheet(&image.bitmap, &selector, 0, 2, 0, &b.set, inkmark::ResultStyle::Plain),
              1);
}

// The library as callers bind it: by name, through its four exports.
TEST_F(ReadRules, ExportsThroughTheSharedLibrary) {
    platform::DynamicLibrary lib;
    ASSERT_TRUE(lib.open("Inkmark.dll")) << lib.error();
    using Front = int (*)(const std::uint8_t*, int*, int, int, int, int, char*);
    using Core = int (*)(Bitmap*, int*, int, int, int, OmrResultSet*);
    const Front omRead = lib.resolve<Front>("OMRead");
    const Front omReadEx = lib.resolve<Front>("OMReadEx");
    const Front reliability = lib.resolve<Front>("OMRead_Reliability");
    const Core core = lib.resolve<Core>("image_decode_OMR");
    ASSERT_TRUE(omRead && omReadEx && reliability && core);

    inktest::ScanSetup setup;
    setup.degrees = 1;
    setup.margin = 5;
    const inktest::Scan s = inktest::scan(sheet.draw(kAnswers), setup);
    std::vector<char> result(10240, 0);
    int selector = 0;
    ASSERT_EQ(omRead(s.rows.data(), &selector, 1, s.width, s.height, 2, result.data()), 1);
    EXPECT_EQ(std::string(result.data()), kPlain);
    EXPECT_EQ(selector, 1);
    selector = 0;
    ASSERT_EQ(omReadEx(s.rows.data(), &selector, 1, s.width, s.height, 2, result.data()), 1);
    const std::string ex = result.data();
    EXPECT_EQ(ex.substr(ex.size() - std::strlen(kPlain)), kPlain);
    EXPECT_EQ(ex[4 + 8 * 13], ';');
    // The style the front end set stays for direct calls of the core.
    Blocks b({90});
    selector = 0;
    ASSERT_EQ(core(&image.bitmap, &selector, 0, 2, 0, &b.set), 1);
    EXPECT_EQ(b.text(0).size(), ex.size());
    EXPECT_EQ(b.text(0).substr(4 + 8 * 13), ex.substr(4 + 8 * 13));
    EXPECT_EQ(omRead(nullptr, &selector, 1, s.width, s.height, 2, result.data()), 0);
    EXPECT_EQ(omRead(s.rows.data(), &selector, 1, 0, s.height, 2, result.data()), 0);
    EXPECT_EQ(core(nullptr, &selector, 0, 2, 0, &b.set), 0);
}

}  // namespace
