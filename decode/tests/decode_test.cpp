// Decode end to end, through libdecode.so bound by name as the demo binds it, on tickets drawn
// as the scanner delivers them: barcodes drawn by libzint, mark sheets drawn as the mark reader
// tests draw them.

#include "decode/Decode.h"

#include <gtest/gtest.h>
#include <unistd.h>
#include <zint.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "barcode/linear/tests/symbol_page.h"
#include "decode/dispatcher.h"
#include "dialog_format.h"
#include "platform/dynamic_library.h"
#include "sheet.h"
#include "tickets.h"

namespace {

using decode_test::Ticket;
using DecodeFn = int (*)(uint8_t*, int, int, int*, int*, char*);
using VersionFn = int (*)(char*);

const std::string kMark = DECODE_CUT_MARK;

struct Result {
    int status = -1;
    int out = -1;
    std::string text;
};

// The export, bound once for the whole program.
DecodeFn bound_decode() {
    static platform::DynamicLibrary lib;
    static DecodeFn fn = nullptr;
    if (fn == nullptr && lib.open("decode.dll")) fn = lib.resolve<DecodeFn>("Decode");
    return fn;
}

// Calls Decode on `t` with a text buffer that shows any write past its 1,024 bytes.
Result decode_ticket(Ticket& t, int kind, int linesPerMm) {
    Result r;
    DecodeFn fn = bound_decode();
    EXPECT_NE(fn, nullptr) << "libdecode.so";
    if (fn == nullptr) return r;
    std::vector<char> text(DECODE_TEXT_CAPACITY + 64, 0x5A);
    r.out = linesPerMm;
    r.status = fn(t.data(), t.width, t.height, &kind, &r.out, text.data());
    for (std::size_t i = DECODE_TEXT_CAPACITY; i < text.size(); ++i) EXPECT_EQ(text[i], 0x5A) << "byte " << i;
    r.text = std::string(text.data(), strnlen(text.data(), DECODE_TEXT_CAPACITY));
    return r;
}

std::string with_ean_check(const std::string& digits) {
    int sum = 0;
    for (std::size_t k = 1; k <= digits.size(); ++k)
        sum += (digits[digits.size() - k] - '0') * (k % 2 == 1 ? 3 : 1);
    return digits + static_cast<char>('0' + (10 - sum % 10) % 10);
}

// Format files the tests write into the current directory, one set per test process; removed
// when the program ends.
std::vector<std::string>& written_files() {
    static std::vector<std::string> files;
    return files;
}

std::string unique(const std::string& name) {
    const std::string file = "decode-" + std::to_string(getpid()) + "-" + name;
    written_files().push_back(file);
    return file;
}

class RemoveWrittenFiles : public ::testing::Environment {
public:
    void TearDown() override {
        for (const std::string& f : written_files()) std::remove(f.c_str());
    }
};
const auto* const kRemoveWrittenFiles = ::testing::AddGlobalTestEnvironment(new RemoveWrittenFiles);

struct LinearCase {
    int zint;
    std::string data;
    std::string line;
};

std::vector<LinearCase> linear_cases() {
    return {
        {BARCODE_CODE128, "Ticket-0042/b", "Code 128: Ticket-0042/b\n"},
        {BARCODE_CODE93, "TQ-93 SEAT.7", "Code 93: TQ-93 SEAT.7\n"},
        {BARCODE_EANX, "400638133393", "EAN-13: " + with_ean_check("400638133393") + "\n"},
        {BARCODE_UPCA, "03600029145", "UPC-A: " + with_ean_check("03600029145") + "\n"},
        {BARCODE_EANX, "9638507", "EAN-8: " + with_ean_check("9638507") + "\n"},
        {BARCODE_UPCE, "0123457", "UPC-E: " + stripescan::testing::expected_text(5, "0123457") + "\n"},
        {BARCODE_CODE39, "GATE 12-B", "Code 39: GATE 12-B\n"},
        {BARCODE_CODABAR, "A40156-7B", "Codabar: A40156-7B\n"},
        {BARCODE_C25INTER, "12345670", "Interleaved 2 of 5: 12345670\n"},
    };
}

}  // namespace

namespace {

TEST(DecodeBarcodes, EveryLinearSymbologyReadsAtBothLineDensities) {
    for (const LinearCase& c : linear_cases()) {
        Ticket eight = decode_test::blank_ticket();
        ASSERT_TRUE(decode_test::add_linear(eight, c.zint, c.data, 864, 500)) << c.data;
        for (int lines : {8, 4}) {
            Ticket t = decode_test::at_lines_per_mm(eight, lines);
            const Result r = decode_ticket(t, DECODE_KIND_BARCODES, lines);
            EXPECT_EQ(r.status, 1) << c.line << " at " << lines;
            EXPECT_EQ(r.out, 1) << c.line << " at " << lines;
            EXPECT_EQ(r.text, c.line) << " at " << lines;
        }
    }
}

// Bars lying along the rows are read too: a 4 lines/mm picture is stretched back to square
// pixels first, so the symbol's modules keep their widths down the columns.
TEST(DecodeBarcodes, TurnedSymbolsReadAtBothLineDensities) {
    for (double angle : {90.0, 30.0}) {
        Ticket eight = decode_test::blank_ticket();
        ASSERT_TRUE(decode_test::add_linear(eight, BARCODE_CODE128, "TURNED 7", 864, 600, 3, angle));
        for (int lines : {8, 4}) {
            Ticket t = decode_test::at_lines_per_mm(eight, lines);
            const Result r = decode_ticket(t, DECODE_KIND_BARCODES, lines);
            EXPECT_EQ(r.text, "Code 128: TURNED 7\n") << angle << " degrees at " << lines;
        }
    }
}

// The dialog passes 0: barcodes are then taken at 8 lines/mm, the dialog's preset.
TEST(DecodeBarcodes, ALinearAndAPdf417SymbolOnOneTicketGiveTwoLines) {
    Ticket eight = decode_test::blank_ticket();
    ASSERT_TRUE(decode_test::add_linear(eight, BARCODE_CODE128, "SEAT 14C", 500, 250));
    ASSERT_TRUE(decode_test::add_pdf417(eight, "PASSENGER DOE/JANE FLIGHT TQ417 GATE B7", 1000, 800));
    Result r = decode_ticket(eight, DECODE_KIND_BARCODES, DECODE_LINES_PER_MM_PRESET);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, 2);
    EXPECT_EQ(r.text, "Code 128: SEAT 14C\nPDF417: PASSENGER DOE/JANE FLIGHT TQ417 GATE B7\n");
    // The same ticket scanned at 4 lines/mm reads the same once the rows are stretched back.
    Ticket four = decode_test::at_lines_per_mm(eight, 4);
    r = decode_ticket(four, DECODE_KIND_BARCODES, 4);
    EXPECT_EQ(r.out, 2);
    EXPECT_EQ(r.text, "Code 128: SEAT 14C\nPDF417: PASSENGER DOE/JANE FLIGHT TQ417 GATE B7\n");
}

TEST(DecodeBarcodes, ALongPdf417TextIsCutWithinTheBufferAndMarked) {
    std::string data;
    for (int i = 0; data.size() < 1100; ++i) data += "ROW" + std::to_string(i) + " ";
    Ticket t = decode_test::blank_ticket(1728, 1600);
    ASSERT_TRUE(decode_test::add_pdf417(t, data, 864, 800, 2, 20));
    const Result r = decode_ticket(t, DECODE_KIND_BARCODES, 8);
    ASSERT_EQ(r.status, 1);
    EXPECT_EQ(r.out, 1);
    EXPECT_LE(r.text.size(), 1023u);
    ASSERT_GT(r.text.size(), kMark.size());
    EXPECT_EQ(r.text.substr(r.text.size() - kMark.size()), kMark);
    const std::string kept = r.text.substr(0, r.text.size() - kMark.size());
    EXPECT_EQ(kept, ("PDF417: " + data).substr(0, kept.size()));
}

TEST(DecodeAnyKind, ABlankTicketReadsNothingAndLeavesNoText) {
    for (int kind : {0, 1, 2, 5}) {
        for (int lines : {4, 8}) {
            Ticket t = decode_test::at_lines_per_mm(decode_test::blank_ticket(), lines);
            const Result r = decode_ticket(t, kind, lines);
            EXPECT_EQ(r.status, 0) << kind;
            EXPECT_EQ(r.out, 0) << kind;
            EXPECT_EQ(r.text, "") << kind;
        }
    }
}

TEST(DecodeAnyKind, BadArgumentsAnswerZero) {
    DecodeFn fn = bound_decode();
    ASSERT_NE(fn, nullptr);
    Ticket t = decode_test::blank_ticket(64, 16);
    char text[DECODE_TEXT_CAPACITY];
    int kind = 1, out = 8;
    std::strcpy(text, "old");
    EXPECT_EQ(fn(nullptr, 64, 16, &kind, &out, text), 0);
    EXPECT_STREQ(text, "");
    EXPECT_EQ(out, 0);
    struct Case {
        int width, height, kind, lines;
    };
    for (const Case c :
         {Case{63, 16, 1, 8}, Case{0, 16, 1, 8}, Case{64, 0, 1, 8}, Case{64, -3, 1, 8}, Case{64, 16, 3, 8},
          Case{64, 16, -1, 8}, Case{64, 16, 1, 2}, Case{64, 16, 1, 12}, Case{1 << 20, 16, 1, 8}}) {
        kind = c.kind;
        out = c.lines;
        EXPECT_EQ(fn(t.data(), c.width, c.height, &kind, &out, text), 0)
            << c.width << " " << c.kind << " " << c.lines;
        EXPECT_EQ(out, 0);
        EXPECT_EQ(kind, c.kind);
    }
    kind = 1;
    EXPECT_EQ(fn(t.data(), 64, 16, nullptr, &out, text), 0);
    EXPECT_EQ(fn(t.data(), 64, 16, &kind, nullptr, text), 0);
    out = 8;
    EXPECT_EQ(fn(t.data(), 64, 16, &kind, &out, nullptr), 0);
}

TEST(DecodeAnyKind, VersionTextIsShortAndNamed) {
    platform::DynamicLibrary lib;
    ASSERT_TRUE(lib.open("decode.dll"));
    const VersionFn version = lib.resolve<VersionFn>("GetDecodeVersion");
    ASSERT_NE(version, nullptr);
    char text[DECODE_VERSION_CAPACITY];
    EXPECT_EQ(version(text), 1);
    EXPECT_EQ(std::string(text).rfind("libdecode ", 0), 0u);
    EXPECT_EQ(version(nullptr), 0);
}

// Handwritten sheets are described with flip 1 and scan mode 1 (4 lines/mm) or 2 (8 lines/mm);
// the dialog's formatting of the result shows every row of the sheet.
TEST(DecodeMarks, HandwrittenSheetReadsAtBothLineDensities) {
    for (int lines : {4, 8}) {
        Ticket t = decode_test::handwritten_ticket(lines, unique("handwritten.txt"));
        const Result r = decode_ticket(t, DECODE_KIND_HANDWRITTEN_MARKS, lines);
        EXPECT_EQ(r.status, 1) << lines;
        EXPECT_EQ(r.out, 1);
        EXPECT_EQ(r.text, "48,100000,010000,001000,000100,000010,000001,100001,000000") << lines;
        EXPECT_EQ(
            decode_test::dialog_shows(r.text, false),
            "Block num:48\r\n100000\r\n010000\r\n001000\r\n000100\r\n000010\r\n000001\r\n100001\r\n000000");
    }
    // 0 asks for the dialog's preset for marks, 4 lines/mm.
    Ticket t = decode_test::handwritten_ticket(4, unique("handwritten.txt"));
    EXPECT_EQ(decode_ticket(t, DECODE_KIND_HANDWRITTEN_MARKS, 0).status, 1);
}

// The reliability reader writes one byte per cell: full cells well above 100, empty ones 0. An
// empty cell's 0 would end the dialog's text; it arrives as 1 and every row is shown.
TEST(DecodeMarks, ReliabilityBytesReachTheDialogForEveryCell) {
    for (int lines : {4, 8}) {
        Ticket t = decode_test::handwritten_ticket(lines, unique("reliability.txt"));
        const Result r = decode_ticket(t, DECODE_KIND_HANDWRITTEN_MARKS_RELIABILITY, lines);
        ASSERT_EQ(r.status, 1) << lines;
        ASSERT_EQ(r.text.size(), 2u + 8u * 7u) << lines;
        EXPECT_EQ(r.text.substr(0, 3), "48,");
        const std::string plain = "100000010000001000000100000010000001100001000000";
        for (int row = 0; row < 8; ++row) {
            EXPECT_EQ(r.text[2 + row * 7], ',');
            for (int col = 0; col < 6; ++col) {
                const unsigned char b = static_cast<unsigned char>(r.text[3 + row * 7 + col]);
                EXPECT_NE(b, 0);
                EXPECT_NE(b, ',');
                if (plain[static_cast<std::size_t>(row * 6 + col)] == '1')
                    EXPECT_GE(b, 100) << row << "," << col;
                else
                    EXPECT_LT(b, 50) << row << "," << col;
            }
        }
        const std::string shown = decode_test::dialog_shows(r.text, true);
        EXPECT_EQ(std::count(shown.begin(), shown.end(), '\n'), 8);
        EXPECT_EQ(shown.size(), std::string("Block num:48").size() + 8 * 2 + 48 * 5);
    }
}

// Printed marks: flip 1 and scan mode 1 or 2 read the block; the reader lists its rows from the
// bottom of the block up.
TEST(DecodeMarks, PrintedMarkTicketReadsAtBothLineDensities) {
    sheet::Block b;
    b.markWidth = 2.5;
    b.markHeight = 1.5;
    b.columnPitch = {5, 5, 5, 5};
    b.rowPitch = {4, 4, 4};
    b.cells = {"11111", "10010", "01101", "00110"};
    setenv("FMTFILESPPATH",
           sheet::write_temp("decode_printed.txt", sheet::grid_form({{2, 1}}, b) + "*").c_str(), 1);
    sheet::Layout l;
    l.block = b;
    const sheet::Picture eight = sheet::skew(sheet::render(l), 1.0);
    for (int lines : {8, 4}) {
        const sheet::Picture p = lines == 8 ? eight : sheet::keep_every(eight, 2);
        Ticket t;
        t.width = p.width;
        t.height = p.height;
        t.rows = sheet::pack(p);
        const Result r = decode_ticket(t, DECODE_KIND_PRINTED_MARKS, lines);
        EXPECT_EQ(r.status, 1) << lines;
        EXPECT_EQ(r.text, "20,00110,01101,10010,11111") << lines;
        EXPECT_EQ(r.text.substr(2), sheet::expected_text(b).substr(4));
        EXPECT_EQ(decode_test::dialog_shows(r.text, false),
                  "Block num:20\r\n00110\r\n01101\r\n10010\r\n11111");
    }
    unsetenv("FMTFILESPPATH");
}

// A reader that cannot be found fails only the kinds that need it.
TEST(DecodeReaders, AMissingReaderFailsOnlyItsKinds) {
    decode::ReaderNames names;
    names.typemark = "NoSuchTypemark.dll";
    decode::Dispatcher dispatcher(names);
    char text[DECODE_TEXT_CAPACITY];
    Ticket marks = decode_test::handwritten_ticket(4, unique("absent.txt"));
    int kind = DECODE_KIND_PRINTED_MARKS, out = 4;
    EXPECT_EQ(dispatcher.decode(marks.data(), marks.width, marks.height, &kind, &out, text), 0);
    EXPECT_STREQ(text, "");
    kind = DECODE_KIND_HANDWRITTEN_MARKS;
    out = 4;
    EXPECT_EQ(dispatcher.decode(marks.data(), marks.width, marks.height, &kind, &out, text), 1);
    Ticket codes = decode_test::blank_ticket();
    ASSERT_TRUE(decode_test::add_linear(codes, BARCODE_CODE39, "ABSENT", 864, 600));
    kind = DECODE_KIND_BARCODES;
    out = 8;
    EXPECT_EQ(dispatcher.decode(codes.data(), codes.width, codes.height, &kind, &out, text), 1);
    EXPECT_STREQ(text, "Code 39: ABSENT\n");

    // Barcodes need both barcode readers.
    decode::ReaderNames noPdf;
    noPdf.stackread = "NoSuchStackread.dll";
    decode::Dispatcher withoutPdf(noPdf);
    out = 8;
    EXPECT_EQ(withoutPdf.decode(codes.data(), codes.width, codes.height, &kind, &out, text), 0);
    kind = DECODE_KIND_HANDWRITTEN_MARKS;
    out = 4;
    EXPECT_EQ(withoutPdf.decode(marks.data(), marks.width, marks.height, &kind, &out, text), 1);
}

// Two threads calling Decode at once get what each gets alone (run under ASan/TSan to see any
// overlap inside the readers).
TEST(DecodeThreads, ConcurrentCallsGiveTheSameTextsAsSingleCalls) {
    Ticket codes = decode_test::blank_ticket();
    ASSERT_TRUE(decode_test::add_linear(codes, BARCODE_CODE128, "THREAD ONE", 500, 300));
    ASSERT_TRUE(decode_test::add_pdf417(codes, "THREAD TWO", 1100, 800));
    Ticket marks = decode_test::handwritten_ticket(4, unique("threads.txt"));
    const std::string codesText = decode_ticket(codes, DECODE_KIND_BARCODES, 8).text;
    const std::string marksText = decode_ticket(marks, DECODE_KIND_HANDWRITTEN_MARKS, 4).text;
    ASSERT_EQ(codesText, "Code 128: THREAD ONE\nPDF417: THREAD TWO\n");
    ASSERT_EQ(marksText, "48,100000,010000,001000,000100,000010,000001,100001,000000");
    constexpr int kRounds = 6;
    std::vector<std::string> a, b;
    std::thread first([&] {
        for (int i = 0; i < kRounds; ++i) a.push_back(decode_ticket(codes, DECODE_KIND_BARCODES, 8).text);
    });
    std::thread second([&] {
        for (int i = 0; i < kRounds; ++i)
            b.push_back(decode_ticket(marks, DECODE_KIND_HANDWRITTEN_MARKS, 4).text);
    });
    first.join();
    second.join();
    for (const std::string& s : a) EXPECT_EQ(s, codesText);
    for (const std::string& s : b) EXPECT_EQ(s, marksText);
}

}  // namespace
