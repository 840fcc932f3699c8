#include "marks/common/format_text.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

std::vector<std::uint8_t> bytes(const std::string& s) {
    return {s.begin(), s.end()};
}

// A form: '*', a 29-character title, values.
std::string form(const std::string& values) {
    return "*" + std::string(29, 'T') + values;
}

TEST(FormText, FramingTitleSkipAndSeparators) {
    const std::string file = "notes 12 before\n" + form(" 1, 2.5\t-3 x4 .5 1.2.3\r\n") + form("7 8") + "*";
    marks::FormText text;
    ASSERT_EQ(marks::read_form_text(bytes(file), 0, text), marks::FormTextStatus::Ok);
    EXPECT_EQ(text.start, 16u);
    ASSERT_EQ(text.values.size(), 6u);
    EXPECT_DOUBLE_EQ(text.values[1], 2.5);
    EXPECT_DOUBLE_EQ(text.values[2], 3.0);  // the minus sign only separates
    EXPECT_DOUBLE_EQ(text.values[3], 4.0);
    EXPECT_DOUBLE_EQ(text.values[4], 0.5);
    EXPECT_DOUBLE_EQ(text.values[5], 1.2);
    ASSERT_EQ(marks::read_form_text(bytes(file), text.nextOffset, text), marks::FormTextStatus::Ok);
    ASSERT_EQ(text.values.size(), 2u);
    // the closing '*' of the last form starts nothing readable: it is unclosed
    EXPECT_EQ(marks::read_form_text(bytes(file), text.nextOffset, text), marks::FormTextStatus::Failed);
    EXPECT_EQ(marks::read_form_text(bytes("no star"), 0, text), marks::FormTextStatus::NoForm);
}

TEST(FormText, TitleMayHoldAnythingAndLongTitlesSpill) {
    marks::FormText text;
    // a '*' and digits inside the 29 title characters are skipped
    std::string file = "*Title * 123 ";
    file += std::string(30 - file.size(), '*') + "5 6*";
    ASSERT_EQ(marks::read_form_text(bytes(file), 0, text), marks::FormTextStatus::Ok);
    ASSERT_EQ(text.values.size(), 2u);
    file = "*" + std::string(29, 'T') + "99 more title 1*";
    ASSERT_EQ(marks::read_form_text(bytes(file), 0, text), marks::FormTextStatus::Ok);
    ASSERT_EQ(text.values.size(), 2u);
    EXPECT_DOUBLE_EQ(text.values[0], 99.0);
}

TEST(FormText, NineteenCharactersAllowedTwentyFail) {
    marks::FormText text;
    EXPECT_EQ(marks::read_form_text(bytes(form("1234567890123456789 ") + "*"), 0, text),
              marks::FormTextStatus::Ok);
    EXPECT_EQ(marks::read_form_text(bytes(form("12345678901234567890 ") + "*"), 0, text),
              marks::FormTextStatus::Failed);
    EXPECT_EQ(marks::read_form_text(bytes("*short"), 0, text), marks::FormTextStatus::Failed);
}

TEST(FormText, PathFromVariableOrDefaultWithLengthLimit) {
    const char* var = "MARKS_COMMON_TEST_PATH";
    unsetenv(var);
    EXPECT_EQ(marks::locate_format_file(var, "FormatFile.txt").value(), "FormatFile.txt");
    setenv(var, std::string(254, 'p').c_str(), 1);
    EXPECT_TRUE(marks::locate_format_file(var, "x").has_value());
    setenv(var, std::string(255, 'p').c_str(), 1);
    EXPECT_FALSE(marks::locate_format_file(var, "x").has_value());
    unsetenv(var);
}

}  // namespace
