// The layout a read hands out, against where the test drew each mark: every cell's box must
// land on the drawn cell (within 1 mm, corners in the form's own order) however the sheet
// was fed, stretched or turned on the way.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <functional>
#include <optional>
#include <string>

#include "marks/printed/reader.h"
#include "marks/printed/tests/layout_check.h"
#include "marks/printed/tests/sheet.h"
#include "platform/dynamic_library.h"

namespace {

using sheet::Block;
using sheet::Layout;
using sheet::Picture;
using sheet::Point;

constexpr int kL = 0, kR = 1, kU = 2, kD = 3;

class LayoutTest : public ::testing::Test {
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
        setenv("FMTFILESPPATH", sheet::write_temp("typemark_layout_forms.txt", forms).c_str(), 1);
    }
    // The read's layout; nothing when the read fails or keeps none.
    std::optional<typemark::SheetLayout> read(const Picture& p, int flip, int scanMode = 2,
                                              int straighten = 1) {
        const auto rows = sheet::pack(p);
        int selector = 0;
        typemark::ReadRequest rq =
            typemark::make_request(rows.data(), static_cast<std::size_t>((p.width + 7) / 8), p.width,
                                   p.height, straighten, flip, scanMode, &selector);
        std::optional<typemark::ReadTrace> trace;
        rq.trace = &trace;
        rq.turned = &turned;
        readOk = typemark::read_printed_marks(rq).has_value();
        if (!trace) return std::nullopt;
        return typemark::layout_through_library(*trace);
    }
    bool readOk = false;
    int turned = 0;
    platform::DynamicLibrary fake;
};

Block block_with(std::initializer_list<int> flags) {
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

std::string form_for(const Block& b, std::initializer_list<int> flags) {
    std::vector<std::pair<int, int>> pairs;
    for (int f : flags) pairs.emplace_back(f, 1);
    return sheet::grid_form(pairs, b) + "*";
}

Layout layout_of(const Block& b, int dpm = 8) {
    Layout l;
    l.dpm = dpm;
    l.width = dpm == 8 ? 900 : 1300;
    l.height = dpm == 8 ? 640 : 960;
    l.margin = 3 * dpm;
    l.block = b;
    return l;
}

class EveryFeed : public LayoutTest, public ::testing::WithParamInterface<int> {};

// Four turns, each in both row orders (rows reversed and passed with flip 0), for every
// anchor the form may use.
TEST_P(EveryFeed, CellsAndAnchorsLandOnTheDrawnMarks) {
    const std::initializer_list<int> flagSets[] = {{kU}, {kD}, {kL}, {kR}, {kU, kL}, {kD, kR}};
    const auto& flags = flagSets[GetParam()];
    const Block b = block_with(flags);
    use_forms(form_for(b, flags));
    const Layout l = layout_of(b);
    const Picture upright = sheet::render(l);
    for (const layout_check::Feed& feed : layout_check::every_feed(upright.width, upright.height)) {
        SCOPED_TRACE(feed.name);
        const auto layout = read(feed.turn(upright), feed.flip);
        ASSERT_TRUE(readOk);
        ASSERT_TRUE(layout);
        EXPECT_EQ(turned, 0);
        EXPECT_EQ(layout->form, 1);
        EXPECT_EQ(layout->orientation, feed.orientation);
        EXPECT_EQ(layout->rows, 8);
        EXPECT_EQ(layout->columns, 10);
        layout_check::expect_cells_on_drawing(layout->cells, l, feed.where, l.dpm);
        layout_check::expect_guides_on_drawing(layout->guides, l, flags, feed.where, l.dpm);
    }
}
INSTANTIATE_TEST_SUITE_P(Flags, EveryFeed, ::testing::Range(0, 6));

// Scans at half or a third of the line resolution are stretched before reading; the boxes
// come back in the rows the caller passed.
TEST_F(LayoutTest, LineRepetitionIsUndone) {
    const Block b = block_with({kU});
    use_forms(form_for(b, {kU}));
    const Layout at8 = layout_of(b, 8), at12 = layout_of(b, 12);
    const auto halfLines = read(sheet::keep_every(sheet::render(at8), 2), 1, 1);
    ASSERT_TRUE(halfLines);
    layout_check::expect_cells_on_drawing(
        halfLines->cells, at8,
        [](Point p) {
            return Point{p.x, p.y / 2};
        },
        at8.dpm / 2.0);
    const auto thirdLines = read(sheet::keep_every(sheet::turn_half(sheet::render(at12)), 3), 1, 3);
    ASSERT_TRUE(thirdLines);
    EXPECT_EQ(thirdLines->orientation, MARK_ORIENTATION_HALF);
    const double w = at12.width, h = at12.height;
    layout_check::expect_cells_on_drawing(
        thirdLines->cells, at12,
        [&](Point p) {
            return Point{w - p.x, (h - p.y) / 3};
        },
        at12.dpm / 3.0);
}

// A block only the quarter-turn retry finds: the turn is undone as well.
TEST_F(LayoutTest, QuarterTurnRetryIsUndone) {
    Block b = block_with({kD});
    b.cells[0] = std::string(10, '0');
    b.cells[4] = std::string(10, '0');
    use_forms(form_for(b, {kD}));
    const Layout l = layout_of(b);
    const auto layout = read(sheet::render(l), 1);
    ASSERT_TRUE(layout);
    EXPECT_EQ(turned, 1);
    EXPECT_EQ(layout->orientation, MARK_ORIENTATION_UPRIGHT);
    layout_check::expect_cells_on_drawing(
        layout->cells, l, [](Point p) { return p; }, l.dpm);
}

// Without SkewtrimMap the read still succeeds but cannot say where it read; a read that does
// not straighten needs no map; a failed read leaves no layout.
TEST_F(LayoutTest, LayoutOnlyWhereItIsKnown) {
    const Block b = block_with({kU});
    use_forms(form_for(b, {kU}));
    const Picture p = sheet::render(layout_of(b));
    typemark::library_state().skewtrimLibrary = FAKE_SKEWTRIM_NO_MAP_PATH;
    EXPECT_FALSE(read(p, 1));
    EXPECT_TRUE(readOk);
    EXPECT_TRUE(read(p, 1, 2, /*straighten=*/0));
    EXPECT_TRUE(readOk);
    typemark::library_state().skewtrimLibrary = FAKE_SKEWTRIM_PATH;
    EXPECT_FALSE(read(p, 1, 5));
    EXPECT_FALSE(readOk);
    Block other = b;
    other.columnPitch.assign(9, 4.0);
    use_forms(form_for(other, {kU}));
    EXPECT_FALSE(read(p, 1));
    EXPECT_FALSE(readOk);
}

}  // namespace
