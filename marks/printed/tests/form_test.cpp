// The format file: picking a form, the two form layouts, and the orientation tables.

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "marks/common/format_text.h"
#include "marks/printed/form_file.h"
#include "marks/printed/printed_form.h"

namespace {

using typemark::PrintedForm;

std::vector<std::uint8_t> bytes(const std::string& s) {
    return {s.begin(), s.end()};
}

std::vector<int> gaps(const std::vector<typemark::TableEntry>& t) {
    std::vector<int> g;
    for (const auto& e : t) g.push_back(e.gap);
    return g;
}

TEST(FormFraming, FormsFollowEachOtherAndCanBeSkipped) {
    const auto file = bytes(
        "*first                        1 2*second                       3 4*third                        5*");
    std::size_t pos = 0;
    marks::FormText form;
    ASSERT_TRUE(typemark::skip_forms(file, pos, 2));
    ASSERT_EQ(marks::read_form_text(file, pos, form), marks::FormTextStatus::Ok);
    EXPECT_EQ(form.values, (std::vector<double>{5}));
    pos = 0;
    EXPECT_FALSE(typemark::skip_forms(file, pos, 5));
}

TEST(FormFraming, PathFromTheEnvironmentUpTo254Characters) {
    unsetenv("FMTFILESPPATH");
    EXPECT_EQ(typemark::format_file_path(), "FormatFileSP.txt");
    setenv("FMTFILESPPATH", std::string(254, 'a').c_str(), 1);
    EXPECT_TRUE(typemark::format_file_path());
    setenv("FMTFILESPPATH", std::string(255, 'a').c_str(), 1);
    EXPECT_FALSE(typemark::format_file_path());
    unsetenv("FMTFILESPPATH");
}

TEST(GridForm, PitchesGapListsAndSpans) {
    // 2 pairs (U=1, L=1); marks 2 x 1.5 mm; 3 rows, 4 columns; row gaps listed; columns "1, pitch".
    auto form = typemark::parse_printed_form({2, 2, 1, 0, 1, 2, 1.5, 3, 4, 0, 4, 5.5, 1, 6, 7, 8}, 8);
    ASSERT_TRUE(form);
    EXPECT_EQ(form->anchor[typemark::kAnchorU], 1);
    EXPECT_EQ(form->anchor[typemark::kAnchorL], 1);
    EXPECT_EQ(form->markWidth, 16);
    EXPECT_EQ(form->markHeight, 12);
    EXPECT_EQ(form->rowCount, 3);
    EXPECT_EQ(form->columnCount, 4);
    EXPECT_EQ(gaps(form->rows), (std::vector<int>{32, 44, 0}));
    EXPECT_EQ(gaps(form->columns), (std::vector<int>{48, 48, 48, 0}));
    EXPECT_EQ(form->spanX, 144);
    EXPECT_EQ(form->spanY, 76);

    // The same with "4, spans" before the final values, at 12 dots per mm.
    form = typemark::parse_printed_form({2, 2, 1, 0, 1, 2, 1.5, 3, 4, 0, 4, 5.5, 1, 6, 4, 20, 10, 7, 8}, 12);
    ASSERT_TRUE(form);
    EXPECT_EQ(form->spanX, 240);
    EXPECT_EQ(form->spanY, 120);
    EXPECT_EQ(form->markWidth, 24);
    EXPECT_EQ(gaps(form->rows), (std::vector<int>{48, 66, 0}));
}

TEST(GridForm, MalformedFormsFail) {
    const std::vector<double> good = {1, 2, 1, 2, 2, 3, 4, 1, 4, 1, 5, 0, 0};
    ASSERT_TRUE(typemark::parse_printed_form(good, 8));
    auto with = [&](std::size_t i, double v) {
        auto copy = good;
        copy[i] = v;
        return typemark::parse_printed_form(copy, 8);
    };
    EXPECT_FALSE(with(1, 5)) << "layout other than 0..4";
    EXPECT_FALSE(with(1, 7));
    EXPECT_FALSE(with(5, 0)) << "no rows";
    EXPECT_FALSE(with(6, 5000)) << "absurd column count";
    auto longer = good;
    longer.push_back(3);
    EXPECT_FALSE(typemark::parse_printed_form(longer, 8)) << "values left over";
    auto shorter = good;
    shorter.pop_back();
    EXPECT_FALSE(typemark::parse_printed_form(shorter, 8)) << "value missing";
    EXPECT_FALSE(typemark::parse_printed_form({1, 2, 1, 2, 2, 3, 4, 1, 4, 0}, 8)) << "ten values";
    EXPECT_FALSE(typemark::parse_printed_form({2, 2, 1, 5, 1, 2, 2, 3, 4, 1, 4, 1, 5, 0, 0}, 8)) << "key 5";
    EXPECT_TRUE(typemark::parse_printed_form({2, 2, 1, 3, 1, 2, 2, 3, 4, 1, 4, 1, 5, 0, 0}, 8));
    EXPECT_FALSE(with(4, 1.0e12)) << "length out of range";
    // A huge value where the optional spans may start is not mistaken for their marker.
    EXPECT_FALSE(
        typemark::parse_printed_form({2, 2, 1, 0, 1, 2, 1.5, 3, 4, 0, 4, 5.5, 1, 6, 4.1e9, 20, 10, 7, 8}, 8));
}

TEST(ExplicitForm, PositionsAndSecondValues) {
    // 3 pairs (U=1, mark width 16, mark height 12 dots), 2 rows, 3 columns.
    const std::vector<double> v = {3,  4, 2,  1, 8, 16, 10,
                                   12, 2, 3,  0, 4, 4,  // row positions, one second value
                                   0,  5, 11, 5, 6,     // column positions, two second values
                                   11, 4, 0,  0};
    const auto form = typemark::parse_printed_form(v, 8);
    ASSERT_TRUE(form);
    EXPECT_TRUE(form->explicitLayout);
    EXPECT_EQ(form->markWidth, 16);
    EXPECT_EQ(form->rows[1].size, 32);
    EXPECT_EQ(form->rows[0].gap, 32);
    EXPECT_EQ(form->columns[2].size, 88);
    EXPECT_EQ(form->spanX, 88);
    const auto layout = typemark::layout_for_reading(*form);
    ASSERT_TRUE(layout);
    EXPECT_EQ(gaps(layout->columns), (std::vector<int>{40, 48, 0}));
    EXPECT_EQ(gaps(layout->rows), (std::vector<int>{32, 0}));

    auto cut = v;
    cut.pop_back();
    EXPECT_FALSE(typemark::parse_printed_form(cut, 8));
}

PrintedForm asymmetric_form() {
    PrintedForm f;
    f.anchor[0] = 1;  // L
    f.anchor[1] = 2;  // R
    f.anchor[2] = 3;  // U
    f.anchor[3] = 4;  // D
    f.rowCount = 3;
    f.rows = {{12, 30}, {12, 40}, {12, 0}};
    f.columnCount = 2;
    f.columns = {{16, 50}, {16, 0}};
    f.markWidth = 16;
    f.markHeight = 12;
    f.spanX = 50;
    f.spanY = 70;
    return f;
}

TEST(Orientation, TablesAndFlagsFollowTheTurn) {
    const PrintedForm f = asymmetric_form();
    auto flags = [](const PrintedForm& a) {
        return std::vector<int>{a.anchor[0], a.anchor[1], a.anchor[2], a.anchor[3]};
    };
    // 0: rows in stored order (bottom row first).
    PrintedForm a = typemark::adapt_to_orientation(f, 0);
    EXPECT_EQ(flags(a), (std::vector<int>{1, 2, 3, 4}));
    EXPECT_EQ(gaps(a.rows), (std::vector<int>{40, 30, 0}));
    EXPECT_EQ(gaps(a.columns), (std::vector<int>{50, 0}));
    // 2: half a turn.
    a = typemark::adapt_to_orientation(f, 2);
    EXPECT_EQ(flags(a), (std::vector<int>{2, 1, 4, 3}));
    EXPECT_EQ(gaps(a.rows), (std::vector<int>{30, 40, 0}));
    // 1 and 3: rows and columns exchanged.
    a = typemark::adapt_to_orientation(f, 1);
    EXPECT_EQ(flags(a), (std::vector<int>{4, 3, 1, 2}));
    EXPECT_EQ(a.rowCount, 2);
    EXPECT_EQ(a.columnCount, 3);
    EXPECT_EQ(a.markWidth, 12);
    EXPECT_EQ(a.spanX, 70);
    EXPECT_EQ(gaps(a.columns), (std::vector<int>{40, 30, 0}));
    EXPECT_EQ(gaps(a.rows), (std::vector<int>{50, 0}));
    a = typemark::adapt_to_orientation(f, 3);
    EXPECT_EQ(flags(a), (std::vector<int>{3, 4, 2, 1}));
    EXPECT_EQ(gaps(a.columns), (std::vector<int>{30, 40, 0}));
    EXPECT_EQ(a.markHeight, 16);
}

}  // namespace
