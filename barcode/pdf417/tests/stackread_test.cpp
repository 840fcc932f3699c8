// End-to-end: symbols drawn by libzint go in through the exported entry point.
#include "barcode/pdf417/Stackread.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "barcode/pdf417/tests/symbol_painter.h"

using namespace stackread_test;

namespace {

struct Outcome {
    int result = 0;
    std::string text;
    int length = -12345;
};

Outcome read_page(const Page& page, int noise = 0) {
    Outcome o;
    std::vector<uint8_t> out(STACKREAD_MAX_OUTPUT + 64, 0xA5);
    o.result = stackread(page.bytes.data(), page.width, page.height, out.data(), &o.length, noise);
    for (size_t i = STACKREAD_MAX_OUTPUT; i < out.size(); ++i)
        EXPECT_EQ(out[i], 0xA5) << "wrote past the output";
    if (o.result == 1) o.text.assign(out.begin(), out.begin() + o.length);
    return o;
}

// Draws `data` and reads it back.
Outcome round_trip(const std::string& data, const SymbolOptions& options, Placement placement,
                   int noise = 0) {
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
    for (const auto& data : samples) {
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

TEST(StackreadOrientation, SkewIsMeasuredFinelyEnoughForLongRows) {
    // Wide, short symbols at two pixels per module: a tenth of a degree of error moves the far
    // end of a row by more than a pixel. Padding codewords repeat the same pattern, which a
    // reading that starts inside a codeword would take for another value.
    for (double angle : {-17.0, -11.5, 6.0, 13.0, 19.5, 166.0, 283.0}) {
        SymbolOptions options;
        options.columns = 24;
        options.level = 4;
        options.rows = 8;
        Placement placement;
        placement.module = 2;
        placement.angle = angle;
        Outcome o = round_trip("SHORT DATA, LONG ROWS", options, placement);
        EXPECT_EQ(o.result, 1) << angle << " degrees";
        EXPECT_EQ(o.text, "SHORT DATA, LONG ROWS") << angle << " degrees";
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

namespace {

// Paints a light or dark rectangle given in modules and symbol rows over an upright symbol.
void blot(Page& page, const Placement& p, const Symbol& s, int col0, int cols, int row0, int rows,
          bool dark) {
    const double left = p.centerX - (s.width + 2.0 * p.quiet) * p.module / 2 + p.quiet * p.module;
    const double top = p.centerY - (s.rows * p.rowHeight + 2.0 * p.quiet) * p.module / 2 + p.quiet * p.module;
    page.fill(static_cast<int>(left + col0 * p.module), static_cast<int>(top + row0 * p.rowHeight * p.module),
              cols * p.module, rows * p.rowHeight * p.module, dark);
}

}  // namespace

TEST(StackreadDamage, BlottedCodewordsAreRepaired) {
    SymbolOptions options;
    options.columns = 6;
    options.rows = 14;
    options.level = 5;
    Symbol s = encode_pdf417(kTicketText, options);
    ASSERT_TRUE(s.ok);
    Placement p;
    Page page = page_for(s, p);
    // Data columns start after the start pattern (17 modules) and the row indicator (17).
    blot(page, p, s, 34 + 17, 30, 3, 4, true);
    blot(page, p, s, 34 + 17 * 4 + 3, 20, 9, 3, false);
    Outcome o = read_page(page);
    EXPECT_EQ(o.result, 1);
    EXPECT_EQ(o.text, kTicketText);
}

TEST(StackreadDamage, DamagedLeftSideIsReadFromTheStopSide) {
    SymbolOptions options;
    options.columns = 5;
    options.rows = 12;
    options.level = 5;
    Symbol s = encode_pdf417(kTicketText, options);
    ASSERT_TRUE(s.ok);
    Placement p;
    Page page = page_for(s, p);
    // Start pattern, left row indicator and the first data column gone on every row.
    blot(page, p, s, 0, 17 * 3, 0, s.rows, true);
    Outcome o = read_page(page);
    EXPECT_EQ(o.result, 1);
    EXPECT_EQ(o.text, kTicketText);
}

TEST(StackreadDamage, BeyondRepairIsReportedNotGuessed) {
    SymbolOptions options;
    options.columns = 4;
    options.rows = 10;
    options.level = 1;
    Symbol s = encode_pdf417("BEYOND REPAIR 0123456789", options);
    ASSERT_TRUE(s.ok);
    Placement p;
    Page page = page_for(s, p);
    blot(page, p, s, 34 + 17, 34, 0, s.rows, true);
    Outcome o = read_page(page);
    EXPECT_EQ(o.result, STACKREAD_UNCORRECTABLE);
    EXPECT_EQ(o.length, -12345) << "the length is written only on success";
}

TEST(StackreadDamage, SpecksVanishWithNoiseWidthOne) {
    SymbolOptions options;
    options.columns = 5;
    options.level = 2;
    Symbol s = encode_pdf417(kTicketText, options);
    ASSERT_TRUE(s.ok);
    Placement p;
    p.module = 4;
    Page page = page_for(s, p);
    std::mt19937 rng(11);
    for (int i = 0; i < page.width * page.height / 40; ++i) {
        int x = static_cast<int>(rng() % page.width), y = static_cast<int>(rng() % page.height);
        page.set(x, y, !page.dark(x, y));
    }
    Outcome o = read_page(page, 1);
    EXPECT_EQ(o.result, 1);
    EXPECT_EQ(o.text, kTicketText);
    // Without the noise merge, the second look at the page with its specks filtered reads it.
    o = read_page(page, 0);
    EXPECT_EQ(o.result, 1);
    EXPECT_EQ(o.text, kTicketText);
}

TEST(StackreadFailures, NoSymbolBadSizeAndNullArguments) {
    Page blank(640, 480);
    EXPECT_EQ(read_page(blank).result, STACKREAD_NOT_FOUND);
    Page text(800, 300);
    for (int line = 0; line < 8; ++line) draw_text(text, 10, 10 + line * 30, kTicketText.substr(0, 40), 3);
    EXPECT_EQ(read_page(text).result, STACKREAD_NOT_FOUND);

    uint8_t out[STACKREAD_MAX_OUTPUT];
    int length = -7;
    EXPECT_EQ(stackread(blank.bytes.data(), 0, 480, out, &length, 0), STACKREAD_BAD_SIZE);
    EXPECT_EQ(stackread(blank.bytes.data(), 640, 0, out, &length, 0), STACKREAD_BAD_SIZE);
    EXPECT_EQ(stackread(blank.bytes.data(), -5, 480, out, &length, 0), STACKREAD_BAD_SIZE);
    EXPECT_EQ(stackread(nullptr, 640, 480, out, &length, 0), STACKREAD_BAD_SIZE);
    EXPECT_EQ(stackread(blank.bytes.data(), 640, 480, nullptr, &length, 0), STACKREAD_BAD_SIZE);
    EXPECT_EQ(length, -7);
    // Narrower than one byte: no pixel can be read.
    EXPECT_EQ(stackread(blank.bytes.data(), 7, 480, out, &length, 0), STACKREAD_NOT_FOUND);
}

TEST(StackreadFailures, RowsAreNeverReadPastTheirEnd) {
    // A symbol cut off at the bottom and right: the reader sees only the given rows.
    SymbolOptions options;
    options.columns = 6;
    Symbol s = encode_pdf417(kTicketText, options);
    Placement p;
    Page page = page_for(s, p);
    for (int keep : {page.height / 2, 3, 1}) {
        std::vector<uint8_t> rows(page.bytes.begin(),
                                  page.bytes.begin() + static_cast<long>(keep) * page.stride);
        uint8_t out[STACKREAD_MAX_OUTPUT];
        int length = 0;
        int r = stackread(rows.data(), page.width, keep, out, &length, 0);
        EXPECT_LE(r, 1);
        EXPECT_NE(r, 0);
    }
}

TEST(StackreadFailures, WidthNotAMultipleOfEight) {
    // Rows hold width / 8 bytes; the pixels beyond are not looked at.
    SymbolOptions options;
    options.columns = 3;
    Symbol s = encode_pdf417("EDGE", options);
    Placement p;
    Page page = page_for(s, p);
    Outcome o;
    std::vector<uint8_t> out(STACKREAD_MAX_OUTPUT);
    o.result = stackread(page.bytes.data(), page.width + 5, page.height, out.data(), &o.length, 0);
    EXPECT_EQ(o.result, 1);
    EXPECT_EQ(std::string(out.begin(), out.begin() + o.length), "EDGE");
}

TEST(StackreadExports, SmallExports) {
    EXPECT_EQ(fnStackread(), 42);
    EXPECT_EQ(nStackread, 0);
    CStackread a, b;
    EXPECT_EQ(a.value, 0);
    b.value = 17;
    a = b;
    EXPECT_EQ(a.value, 17);
}
