// Sheets drawn here are read end to end by the reader core, with a stand-in bitmap
// library (straightening leaves the image as it is; quarter turns are exact).

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <sstream>
#include <string>

#include "marks/printed/reader.h"
#include "marks/printed/tests/sheet.h"
#include "platform/dynamic_library.h"

namespace {

using sheet::Block;
using sheet::Layout;
using sheet::Picture;

// Flags as the format file writes them.
constexpr int kL = 0, kR = 1, kU = 2, kD = 3;

class ReadingTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(fake.open(FAKE_SKEWTRIM_PATH)) << fake.error();
        fake.resolve<void (*)()>("FakeReset")();
        typemark::library_state().skewtrimLibrary = FAKE_SKEWTRIM_PATH;
    }
    void TearDown() override {
        typemark::library_state().skewtrimLibrary = "Skewtrim.dll";
        unsetenv("FMTFILESPPATH");
    }

    void use_forms(const std::string& forms) {
        setenv("FMTFILESPPATH", sheet::write_temp("typemark_forms.txt", forms).c_str(), 1);
    }

    std::optional<std::string> read(const Picture& p, int flip, int scanMode, int* selector,
                                    int straighten = 1) {
        orientation = -1;
        turned = 0;
        const auto rows = sheet::pack(p);
        typemark::ReadRequest rq =
            typemark::make_request(rows.data(), static_cast<std::size_t>((p.width + 7) / 8), p.width,
                                   p.height, straighten, flip, scanMode, selector);
        rq.orientation = &orientation;
        rq.turned = &turned;
        return typemark::read_printed_marks(rq);
    }
    std::optional<std::string> read(const Picture& p, int flip = 1, int scanMode = 2) {
        int selector = 0;
        return read(p, flip, scanMode, &selector);
    }

    int rotate_calls() { return fake.resolve<int (*)()>("FakeRotateCalls")(); }
    int straighten_calls() { return fake.resolve<int (*)()>("FakeStraightenCalls")(); }

    int orientation = -1;  // of the last read
    int turned = 0;
    platform::DynamicLibrary fake;  // keeps the stand-in loaded so its counters last
};

// A 10 x 8 block with uneven column and row pitches. Interior cells are mixed; the
// outer rows and columns are filled only where a flag asks for it.
Block block_for(std::initializer_list<int> flags) {
    Block b;
    b.markWidth = 2.5;
    b.markHeight = 1.5;
    b.columnPitch = {5, 5, 8, 5, 5, 6, 5, 5, 5};
    b.rowPitch = {4, 4, 7, 4, 4, 5, 4};
    b.cells = {"1011010010", "0010010011", "1100101000", "0001110101",
               "1010001010", "0111000001", "1000110110", "0110101100"};
    for (int f : flags) {
        for (auto& row : b.cells) {
            if (f == kL) row.front() = '1';
            if (f == kR) row.back() = '1';
        }
        if (f == kU) b.cells.front() = std::string(10, '1');
        if (f == kD) b.cells.back() = std::string(10, '1');
    }
    return b;
}

std::vector<std::pair<int, int>> pairs_for(std::initializer_list<int> flags) {
    std::vector<std::pair<int, int>> pairs;
    for (int f : flags) pairs.emplace_back(f, 1);
    return pairs;
}

Layout small_layout(const Block& b, int dpm = 8) {
    Layout l;
    l.dpm = dpm;
    l.width = dpm == 8 ? 900 : 1300;
    l.height = dpm == 8 ? 640 : 960;
    l.margin = 3 * dpm;
    l.block = b;
    return l;
}

struct FlagCase {
    const char* name;
    std::initializer_list<int> flags;
};

class EveryWayUp : public ReadingTest, public ::testing::WithParamInterface<int> {};

// The same sheet, fed upright, upside down and turned a quarter either way, gives the
// same text for every anchor flag the form may use.
TEST_P(EveryWayUp, SameTextForEveryFeedAndEveryAnchor) {
    const std::initializer_list<int> flagSets[] = {{kU}, {kD}, {kL}, {kR}, {kU, kL}, {kD, kR}};
    const auto& flags = flagSets[GetParam()];
    const Block b = block_for(flags);
    use_forms(sheet::grid_form(pairs_for(flags), b) + "*");
    const Picture upright = sheet::render(small_layout(b));
    const std::string want = sheet::expected_text(b);

    EXPECT_EQ(read(upright, 1), want) << "upright";
    EXPECT_EQ(orientation, 0);
    EXPECT_EQ(read(sheet::reverse_rows(upright), 0), want) << "upright, last line first";
    EXPECT_EQ(orientation, 0);
    EXPECT_EQ(read(sheet::turn_half(upright), 1), want) << "upside down";
    EXPECT_EQ(orientation, 2);
    EXPECT_EQ(read(sheet::turn_clockwise(upright), 1), want) << "quarter turn clockwise";
    EXPECT_EQ(orientation, 1);
    EXPECT_EQ(read(sheet::turn_counter_clockwise(upright), 1), want) << "quarter turn counter-clockwise";
    EXPECT_EQ(orientation, 3);
    EXPECT_EQ(turned, 0);
}
INSTANTIATE_TEST_SUITE_P(Flags, EveryWayUp, ::testing::Range(0, 6));

TEST_F(ReadingTest, ResolutionsAndLineStretching) {
    const Block b = block_for({kU});
    use_forms(sheet::grid_form(pairs_for({kU}), b) + "*");
    const std::string want = sheet::expected_text(b);
    const Picture at8 = sheet::render(small_layout(b, 8));
    const Picture at12 = sheet::render(small_layout(b, 12));
    EXPECT_EQ(read(at8, 1, 2), want) << "mode 2";
    EXPECT_EQ(read(sheet::keep_every(at8, 2), 1, 1), want) << "mode 1, lines doubled";
    EXPECT_EQ(read(at12, 1, 4), want) << "mode 4";
    EXPECT_EQ(read(sheet::keep_every(at12, 3), 1, 3), want) << "mode 3, lines tripled";
    EXPECT_EQ(read(sheet::turn_half(at12), 1, 4), want) << "mode 4 upside down";
    // A sheet measured at the wrong resolution does not fit.
    EXPECT_FALSE(read(at12, 1, 2));
}

TEST_F(ReadingTest, BlankRowInsideTheBlock) {
    Block b = block_for({kD});
    b.cells[0] = "0100000000";
    b.cells[4] = std::string(10, '0');
    use_forms(sheet::grid_form(pairs_for({kD}), b) + "*");
    const Picture upright = sheet::render(small_layout(b));
    const std::string want = sheet::expected_text(b);
    EXPECT_EQ(read(upright), want);
    EXPECT_EQ(read(sheet::turn_half(upright)), want);
    EXPECT_EQ(read(sheet::turn_clockwise(upright)), want);
    EXPECT_EQ(read(sheet::turn_counter_clockwise(upright)), want);
    // Without a mark in the row farthest from the anchor row the block's extent is not
    // known from the anchor row; the sheet is then read only after the quarter turn, from
    // its first column, which every row fills.
    b.cells[0] = std::string(10, '0');
    EXPECT_EQ(read(sheet::render(small_layout(b))), sheet::expected_text(b));
    EXPECT_EQ(turned, 1);
}

// The explicit-coordinates layout: mark size in dots from the key/value pairs, row and
// column positions in millimetres; the gaps are the distances between the positions.
TEST_F(ReadingTest, ExplicitCoordinatesForm) {
    const Block b = block_for({kU});
    std::ostringstream form;
    form << "*explicit positions           \n3 4 2 1 8 20 10 12\n8 10\n";
    auto positions = [&](const std::vector<double>& pitches) {
        double at = 0;
        form << at;
        for (double p : pitches) form << " " << (at += p);
        form << "\n";
        for (std::size_t i = 0; i < pitches.size(); ++i) form << "1 ";  // second values
        form << "\n";
    };
    positions(b.rowPitch);
    positions(b.columnPitch);
    form << "0 0 0 0\n*";
    use_forms(form.str());
    const Picture upright = sheet::render(small_layout(b));
    EXPECT_EQ(read(upright), sheet::expected_text(b));
    EXPECT_EQ(read(sheet::turn_clockwise(upright)), sheet::expected_text(b));
}

TEST_F(ReadingTest, UniformPitchesWithSpans) {
    Block b = block_for({kU});
    b.cells[3] = "0000100000";
    b.columnPitch.assign(9, 5.0);
    b.rowPitch.assign(7, 4.5);
    use_forms(sheet::grid_form(pairs_for({kU}), b, /*withSpans=*/true) + "*");
    const Picture upright = sheet::render(small_layout(b));
    EXPECT_EQ(read(upright), sheet::expected_text(b));
    EXPECT_EQ(read(sheet::turn_counter_clockwise(upright)), sheet::expected_text(b));
}

TEST_F(ReadingTest, PrintedRowTooCloseToTheBlockDoesNotFit) {
    const Block b = block_for({kU});
    use_forms(sheet::grid_form(pairs_for({kU}), b) + "*");
    Layout close = small_layout(b);
    close.extraRowsBelow = {2.0};  // 16 dots: closer than 3 mm
    EXPECT_FALSE(read(sheet::render(close)));
    EXPECT_EQ(rotate_calls(), 1);  // tried once more after a quarter turn
    Layout clear = small_layout(b);
    clear.extraRowsBelow = {8.0};
    EXPECT_EQ(read(sheet::render(clear)), sheet::expected_text(b));
}

TEST_F(ReadingTest, UnevenGapsInTheWrongOrderDoNotFit) {
    // The form lists the row pitches bottom-up while the sheet is printed top-down.
    Block printed = block_for({kU, kL});
    Block form = printed;
    std::reverse(form.rowPitch.begin(), form.rowPitch.end());
    use_forms(sheet::grid_form(pairs_for({kU, kL}), form) + "*");
    EXPECT_FALSE(read(sheet::render(small_layout(printed))));
}

TEST_F(ReadingTest, SelectorPicksOrReportsTheForm) {
    const Block b = block_for({kU});
    Block other = b;
    other.columnPitch = {4, 4, 4, 4, 4, 4, 4, 4, 4};
    const std::string forms =
        sheet::grid_form(pairs_for({kU}), other) + sheet::grid_form(pairs_for({kU}), b) + "*";
    use_forms(forms);
    const Picture p = sheet::render(small_layout(b));
    int selector = 0;
    EXPECT_EQ(read(p, 1, 2, &selector), sheet::expected_text(b));
    EXPECT_EQ(selector, 2) << "selector 0 reports the form that fitted";
    selector = 2;
    EXPECT_EQ(read(p, 1, 2, &selector), sheet::expected_text(b));
    EXPECT_EQ(selector, 0) << "selector N is cleared on success";
    selector = 1;
    EXPECT_FALSE(read(p, 1, 2, &selector));
    EXPECT_EQ(selector, 1);
    selector = 3;
    EXPECT_FALSE(read(p, 1, 2, &selector)) << "no third form";
    selector = -1;
    EXPECT_FALSE(read(p, 1, 2, &selector));
}

TEST_F(ReadingTest, FormThatFailsToParseEndsTheSearch) {
    const Block b = block_for({kU});
    const std::string good = sheet::grid_form(pairs_for({kU}), b);
    const std::string bad = "*broken form                  \n1 5 1 2 2 8 10 1 5 1 5 0 0\n";
    const Picture p = sheet::render(small_layout(b));
    int selector = 0;
    use_forms(bad + good + "*");
    EXPECT_FALSE(read(p, 1, 2, &selector)) << "a bad first form ends the search";
    selector = 2;
    EXPECT_EQ(read(p, 1, 2, &selector), sheet::expected_text(b)) << "selector 2 skips it";
    selector = 1;
    EXPECT_FALSE(read(p, 1, 2, &selector));
    use_forms(good);  // not closed by '*'
    selector = 0;
    EXPECT_FALSE(read(p, 1, 2, &selector));
    use_forms("");
    EXPECT_FALSE(read(p, 1, 2, &selector));
    setenv("FMTFILESPPATH", (testing::TempDir() + "no_such_forms.txt").c_str(), 1);
    EXPECT_FALSE(read(p, 1, 2, &selector));
}

TEST_F(ReadingTest, LongFormatFilePathFails) {
    const Block b = block_for({kU});
    const std::string path =
        sheet::write_temp("typemark_long.txt", sheet::grid_form(pairs_for({kU}), b) + "*");
    const Picture p = sheet::render(small_layout(b));
    // The same file through a path padded with "./" steps to 254 and to 255 characters.
    auto padded = [&](std::size_t length) {
        const auto slash = path.rfind('/');
        std::string dir = path.substr(0, slash + 1), name = path.substr(slash + 1);
        while (dir.size() + name.size() + 2 <= length) dir += "./";
        if (dir.size() + name.size() < length) dir.insert(0, "/");
        return dir + name;
    };
    const std::string ok = padded(254), tooLong = padded(255);
    ASSERT_EQ(ok.size(), 254u);
    ASSERT_EQ(tooLong.size(), 255u);
    setenv("FMTFILESPPATH", ok.c_str(), 1);
    EXPECT_EQ(read(p), sheet::expected_text(b));
    setenv("FMTFILESPPATH", tooLong.c_str(), 1);
    EXPECT_FALSE(read(p));
}

TEST_F(ReadingTest, RefusedSettings) {
    const Block b = block_for({kU});
    use_forms(sheet::grid_form(pairs_for({kU}), b) + "*");
    const Picture p = sheet::render(small_layout(b));
    int selector = 0;
    EXPECT_FALSE(read(p, 1, 5, &selector)) << "scan mode 5";
    EXPECT_FALSE(read(p, 1, 0, &selector));
    EXPECT_FALSE(read(p, 2, 2, &selector)) << "flip 2";
    EXPECT_EQ(straighten_calls(), 0);
    EXPECT_TRUE(read(p, 1, 2, &selector, /*straighten=*/0));
    EXPECT_EQ(straighten_calls(), 0);
}

TEST_F(ReadingTest, BitmapLibraryMissingOrFailing) {
    const Block b = block_for({kU});
    use_forms(sheet::grid_form(pairs_for({kU}), b) + "*");
    const Picture p = sheet::render(small_layout(b));
    int selector = 0;
    typemark::library_state().skewtrimLibrary = "NoSuchSkewtrim.dll";
    EXPECT_FALSE(read(p, 1, 2, &selector));
    EXPECT_FALSE(read(p, 1, 2, &selector, /*straighten=*/0)) << "bound even when not straightening";
    typemark::library_state().skewtrimLibrary = FAKE_SKEWTRIM_NO_ROTATE_PATH;
    EXPECT_FALSE(read(p, 1, 2, &selector)) << "RotatePicSP missing";
    typemark::library_state().skewtrimLibrary = FAKE_SKEWTRIM_PATH;
    fake.resolve<void (*)(int)>("FakeFailStraighten")(1);
    EXPECT_FALSE(read(p, 1, 2, &selector));
    EXPECT_EQ(rotate_calls(), 0);
}

TEST_F(ReadingTest, QuarterTurnRetryReadsTheTurnedImage) {
    const Block b = block_for({kU});
    use_forms(sheet::grid_form(pairs_for({kU}), b) + "*");
    // An empty sheet whose turn yields the printed one: only the retry can read it.
    // Its height is not a multiple of 8, so the turn needs more room than the image had.
    Layout empty = small_layout(b);
    empty.block.cells.clear();
    empty.height = 637;
    const Picture printed = sheet::render(small_layout(b));
    // Rows of the working image run bottom-up: store the printed sheet that way.
    const auto turned = sheet::pack(sheet::reverse_rows(printed));
    fake.resolve<void (*)(const std::uint8_t*, int, int)>("FakeSetTurnedImage")(turned.data(), printed.width,
                                                                                printed.height);
    EXPECT_EQ(read(sheet::render(empty)), sheet::expected_text(b));
    EXPECT_EQ(rotate_calls(), 1);
}

TEST_F(ReadingTest, UprightSheetNeedsNoTurn) {
    const Block b = block_for({kD});
    use_forms(sheet::grid_form(pairs_for({kD}), b) + "*");
    EXPECT_EQ(read(sheet::render(small_layout(b))), sheet::expected_text(b));
    EXPECT_EQ(rotate_calls(), 0);
    EXPECT_EQ(straighten_calls(), 1);
}

TEST_F(ReadingTest, NoisyAndTinyImagesAreRefusedQuietly) {
    const Block b = block_for({kU});
    use_forms(sheet::grid_form(pairs_for({kU}), b) + "*");
    Picture noise(300, 200, 1);
    unsigned seed = 7;
    for (auto& v : noise.px) {
        seed = seed * 1103515245u + 12345u;
        v = (seed >> 16) & 1;
    }
    EXPECT_FALSE(read(noise));
    EXPECT_FALSE(read(Picture(1, 1, 0)));
    EXPECT_FALSE(read(Picture(3, 2, 1), 0, 1));
}

}  // namespace
