// End-to-end: symbols drawn by libzint go in through the exported entry point.
#include "Stackread.h"
#include "symbol_painter.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

using namespace stackread_test;

namespace {

struct Outcome {
    int result = 0;
    std::string text;
    int length = -12345;
};

Outcome read_page(const Page &page, int noise = 0) {
    Outcome o;
    std::vector<uint8_t> out(STACKREAD_MAX_OUTPUT + 64, 0xA5);
    o.result = stackread(page.bytes.data(), page.width, page.height, out.data(), &o.length, noise);
    for (size_t i = STACKREAD_MAX_OUTPUT; i < out.size(); ++i) EXPECT_EQ(out[i], 0xA5) << "wrote past the output";
    if (o.result == 1) o.text.assign(out.begin(), out.begin() + o.length);
    return o;
}

// Draws `data` and reads it back.
Outcome round_trip(const std::string &data, const SymbolOptions &options, Placement placement, int noise = 0) {
    Symbol symbol = encode_pdf417(data, options);
    EXPECT_TRUE(symbol.ok) << symbol.error;
    if (!symbol.ok) return {};
    Page page = page_for(symbol, placement);
    return read_page(page, noise);
}

std::string digits(int n, int seed) {
    std::string s;
    for (int i = 0; i < n; ++i) s += static_cast<char>('0' + (i * 7 + seed) % 10);
    return s;
}

std::string bytes(int n, int seed) {
    std::mt19937 rng(seed);
    std::string s;
    for (int i = 0; i < n; ++i) s += static_cast<char>(rng() & 0xFF);
    return s;
}

const std::string kTicketText = "Ticket 4711/B, Gate 12: Paris-Nord -> Lyon Part-Dieu; seat 34a (2nd class)";

}  // namespace

TEST(StackreadCompaction, TextBytesNumbersAndMixtures) {
    const std::vector<std::string> samples = {
        "HELLO WORLD",
        kTicketText,
        "lower case and MIXED case with punctuation: <>@[]_`~!{}|?'\"\t\r\n",
        digits(120, 1),
        bytes(70, 2),
        bytes(60, 3) + digits(50, 4) + "Text after the numbers " + bytes(13, 5),
        "A" + std::string(1, '\xE9') + "B",  // a single byte shifted inside text
    };
    Placement placement;
    for (const auto &data : samples) {
        Outcome o = round_trip(data, {}, placement);
        EXPECT_EQ(o.result, 1) << data;
        EXPECT_EQ(o.text, data);
        EXPECT_EQ(o.length, static_cast<int>(data.size()));
    }
}

TEST(StackreadShape, EveryErrorCorrectionLevel) {
    Placement placement;
    placement.module = 2;
    for (int level = 0; level <= 8; ++level) {
        SymbolOptions options;
        options.level = level;
        options.columns = level < 6 ? 6 : 16;
        options.rows = level < 6 ? 8 : 0;  // tall enough for the pattern edge to be measured
        std::string data = "LEVEL " + std::to_string(level) + " " + digits(20 + level * 5, level);
        Outcome o = round_trip(data, options, placement);
        EXPECT_EQ(o.result, 1) << "level " << level;
        EXPECT_EQ(o.text, data) << "level " << level;
    }
}

TEST(StackreadShape, ColumnsFromOneToThirty) {
    Placement placement;
    placement.module = 2;
    for (int columns : {1, 2, 3, 5, 8, 13, 20, 27, 30}) {
        SymbolOptions options;
        options.columns = columns;
        options.level = 2;
        std::string data = bytes(columns * 6, columns);
        Outcome o = round_trip(data, options, placement);
        EXPECT_EQ(o.result, 1) << columns << " columns";
        EXPECT_EQ(o.text, data) << columns << " columns";
    }
}

TEST(StackreadShape, NinetyRows) {
    SymbolOptions options;
    options.columns = 4;
    options.rows = 90;
    options.level = 3;
    Placement placement;
    placement.module = 2;
    std::string data = kTicketText + digits(300, 7);
    Outcome o = round_trip(data, options, placement);
    EXPECT_EQ(o.result, 1);
    EXPECT_EQ(o.text, data);
}

TEST(StackreadShape, ModuleWidthsAndRowHeights) {
    for (int module = 2; module <= 4; ++module) {
        for (int rowHeight = 3; rowHeight <= 4; ++rowHeight) {
            Placement placement;
            placement.module = module;
            placement.rowHeight = rowHeight;
            SymbolOptions options;
            options.columns = 5;
            Outcome o = round_trip(kTicketText, options, placement);
            EXPECT_EQ(o.result, 1) << module << " px, " << rowHeight << " modules";
            EXPECT_EQ(o.text, kTicketText);
        }
    }
}

TEST(StackreadOrientation, QuarterTurns) {
    for (int angle : {0, 90, 180, 270}) {
        Placement placement;
        placement.angle = angle;
        SymbolOptions options;
        options.columns = 4;
        Outcome o = round_trip(kTicketText, options, placement);
        EXPECT_EQ(o.result, 1) << angle << " degrees";
        EXPECT_EQ(o.text, kTicketText) << angle << " degrees";
    }
}

TEST(StackreadOrientation, SkewedUpToTwentyDegrees) {
    for (double angle : {-20.0, -13.0, -7.0, -2.5, 3.0, 9.0, 15.0, 20.0, 93.0, 172.0, 259.0}) {
        Placement placement;
        placement.angle = angle;
        placement.module = 3;
        SymbolOptions options;
        options.columns = 6;
        options.level = 3;
        std::string data = kTicketText + " " + digits(30, 3);
        Outcome o = round_trip(data, options, placement);
        EXPECT_EQ(o.result, 1) << angle << " degrees";
        EXPECT_EQ(o.text, data) << angle << " degrees";
    }
}
