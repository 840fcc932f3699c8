// The 1,024-byte text: what fits is written whole, what does not is cut with the mark.

#include "decode/result_text.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "decode/Decode.h"
#include "dialog_format.h"

namespace {

using decode::SymbolText;

const std::string kMark = DECODE_CUT_MARK;

bool ends_with(const std::string& s, const std::string& end) {
    return s.size() >= end.size() && s.compare(s.size() - end.size(), end.size(), end) == 0;
}

TEST(ResultText, BarcodeLinesNameTheSymbologyAndEndInALineBreak) {
    const std::vector<SymbolText> symbols = {{"EAN-13", "4006381333931"}, {"PDF417", "TICKET 42"}};
    EXPECT_EQ(decode::barcode_text(symbols), "EAN-13: 4006381333931\nPDF417: TICKET 42\n");
}

TEST(ResultText, ABarcodeTextUpToTheCapacityIsKeptWhole) {
    const std::string full = "PDF417: " + std::string(1023 - 9, 'A') + "\n";
    ASSERT_EQ(full.size(), 1023u);
    EXPECT_EQ(decode::cut_barcode_text(full, DECODE_TEXT_CAPACITY), full);
}

TEST(ResultText, ALongBarcodeTextIsCutToTheCapacityAndMarked) {
    for (std::size_t length : {1016u, 1017u, 1024u, 2710u}) {
        const std::string full = "Code 128: X\nPDF417: " + std::string(length, 'A') + "\n";
        const std::string cut = decode::cut_barcode_text(full, DECODE_TEXT_CAPACITY);
        EXPECT_LE(cut.size(), 1023u) << length;
        EXPECT_TRUE(ends_with(cut, kMark)) << length;
        EXPECT_EQ(full.compare(0, cut.size() - kMark.size(), cut, 0, cut.size() - kMark.size()), 0) << length;
    }
    // A cut that falls at a line's end does not leave an empty line.
    const std::string lines = std::string(1015, 'B') + "\n" + std::string(100, 'C') + "\n";
    const std::string cut = decode::cut_barcode_text(lines, DECODE_TEXT_CAPACITY);
    EXPECT_EQ(cut, std::string(1015, 'B') + kMark);
}

TEST(ResultText, ALongMarkTextKeepsACountOfTheCellsItKeeps) {
    std::string full = "1200";
    for (int r = 0; r < 40; ++r) full += "," + std::string(30, r % 2 ? '1' : '0');
    const std::string cut = decode::cut_mark_text(full, DECODE_TEXT_CAPACITY);
    ASSERT_LE(cut.size(), 1023u);
    ASSERT_TRUE(ends_with(cut, kMark));
    const std::size_t comma = cut.find(',');
    const int count = std::stoi(cut.substr(0, comma));
    const std::string body = cut.substr(comma, cut.size() - comma - kMark.size());
    int cells = 0;
    for (char c : body) cells += c != ',';
    EXPECT_EQ(count, cells);
    EXPECT_GT(cells, 950);
    EXPECT_EQ(full.compare(4, body.size(), body), 0);
    // The dialog shows exactly the kept cells and nothing of the mark.
    const std::string shown = decode_test::dialog_shows(cut, false);
    EXPECT_EQ(shown.find('('), std::string::npos);
    EXPECT_EQ(decode::cut_mark_text("6,101,010", DECODE_TEXT_CAPACITY), "6,101,010");
}

TEST(ResultText, WritingNeverPassesTheBuffer) {
    std::vector<char> buffer(DECODE_TEXT_CAPACITY + 8, 'Z');
    decode::write_text(std::string(5000, 'Q'), buffer.data(), DECODE_TEXT_CAPACITY);
    EXPECT_EQ(std::strlen(buffer.data()), 1023u);
    for (std::size_t i = DECODE_TEXT_CAPACITY; i < buffer.size(); ++i) EXPECT_EQ(buffer[i], 'Z');
}

}  // namespace
