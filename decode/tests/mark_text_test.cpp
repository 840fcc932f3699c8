// Mark texts: what the readers give, what the dispatcher hands on, what the dialog then shows.

#include "decode/mark_text.h"

#include <gtest/gtest.h>

#include <string>

#include "dialog_format.h"

namespace {

using decode::digit_mark_text;
using decode::reliability_mark_text;
using decode_test::dialog_shows;

TEST(MarkText, PlainGridKeepsItsRowsAndCountsItsCells) {
    const std::string reader = "0006,101,010";
    EXPECT_EQ(digit_mark_text(reader), "6,101,010");
    EXPECT_EQ(dialog_shows(*digit_mark_text(reader), false), "Block num:6\r\n101\r\n010");
}

// With code slots the reader's count (the form's cells) is smaller than the characters that
// follow: the dialog would drop the last cells. The dispatcher's count covers every character.
TEST(MarkText, CodeSlotsDoNotHideTheLastCells) {
    const std::string reader = "0004,1011,10,01";
    EXPECT_EQ(dialog_shows(reader, false), "Block num:0004\r\n1011");
    const std::string ours = *digit_mark_text(reader);
    EXPECT_EQ(ours, "8,1011,10,01");
    EXPECT_EQ(dialog_shows(ours, false), "Block num:8\r\n1011\r\n10\r\n01");
}

TEST(MarkText, TextsThatAreNotReaderTextsAreRefused) {
    EXPECT_FALSE(digit_mark_text(""));
    EXPECT_FALSE(digit_mark_text("006,1"));
    EXPECT_FALSE(digit_mark_text("0002x11"));
    EXPECT_FALSE(digit_mark_text("0002,1;1"));
    EXPECT_EQ(digit_mark_text("0000"), "0");
}

// Reliability bytes 0 would end the text and 44 would split a row in the dialog; both travel
// one higher, and rows are found by position even when a cell byte is 44.
TEST(MarkText, ReliabilityBytesThatWouldEndOrSplitTheTextTravelOneHigher) {
    const std::string reader("0006,\x99\x00\x2c,\x2c\x64\x00", 12);
    const auto ours = reliability_mark_text(reader);
    ASSERT_TRUE(ours);
    EXPECT_EQ(*ours, std::string("6,\x99\x01\x2d,\x2d\x64\x01", 9));
    EXPECT_EQ(dialog_shows(*ours, true), "Block num:6\r\n153  001  045  \r\n045  100  001  ");
}

TEST(MarkText, ReliabilityTextsThatFitNoGridAreRefused) {
    EXPECT_EQ(reliability_mark_text("0006"), "0");  // a cell list reports no rows
    EXPECT_FALSE(
        reliability_mark_text(std::string("0005,\x01\x01,\x01\x01\x01", 11)));      // rows of unequal length
    EXPECT_FALSE(reliability_mark_text(std::string("0004\x01,\x01\x01,\x01", 9)));  // no leading ","
    EXPECT_FALSE(reliability_mark_text("00"));
}

}  // namespace
