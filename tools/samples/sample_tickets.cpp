#include "sample_tickets.h"

#include <zint.h>

#include <stdexcept>

#include "answer_sheet.h"

namespace samples {
namespace {

// Ticket sizes.
constexpr int kTicketWidthMm = 80;
constexpr int kTicketLengthMm = 110;
constexpr int kBarcodeModuleDots = 3;  // 0.375 mm narrow bar
constexpr int kPdfRowDots = 9;         // three modules high

constexpr const char* kCode128Text = "TK-2026-000042";
constexpr const char* kPdf417Text = "Ticket 42 / seat 17C / gate B / 2026-12-08 19:30";
constexpr const char* kSkewedText = "SKEW-4DEG-0007";
constexpr double kSkewDegrees = 4.0;

// The printed-mark block: marks of 2.5 x 1.5 mm on a 4 x 5 grid.
const std::vector<std::string> kPrintedCells = {"11111", "10010", "01101", "00110"};
const std::vector<double> kPrintedRowPitch = {4, 6, 4};
const std::vector<double> kPrintedColumnPitch = {5, 7, 5, 5};
constexpr double kMarkWidthMm = 2.5, kMarkHeightMm = 1.5;
constexpr double kBlockLeftMm = 20, kBlockTopMm = 20;

// The handwritten answers, one string per row, '#' a filled cell.
const std::vector<std::string> kAnswers = {"#.....", ".#....", "..#...", "...#..",
                                           "....#.", ".....#", "#....#", "......"};

struct Symbol {
    int width = 0, height = 0;
    std::vector<std::uint8_t> dark;  // one byte per module
};

// Draws one symbol with libzint, one module per element; throws when zint refuses.
Symbol encode(int symbology, const std::string& text, int heightModules) {
    zint_symbol* s = ZBarcode_Create();
    if (s == nullptr) throw std::runtime_error("libzint: out of memory");
    s->symbology = symbology;
    s->show_hrt = 0;
    s->scale = 0.5f;  // one pixel per module
    s->output_options |= BARCODE_NO_QUIET_ZONES;
    if (heightModules > 0) s->height = static_cast<float>(heightModules);
    const int rc = ZBarcode_Encode_and_Buffer(s, reinterpret_cast<const unsigned char*>(text.data()),
                                              static_cast<int>(text.size()), 0);
    if (rc >= ZINT_ERROR) {
        const std::string why = s->errtxt;
        ZBarcode_Delete(s);
        throw std::runtime_error("libzint cannot draw \"" + text + "\": " + why);
    }
    Symbol out;
    out.width = s->bitmap_width;
    out.height = s->bitmap_height;
    out.dark.resize(static_cast<std::size_t>(out.width) * static_cast<std::size_t>(out.height));
    for (std::size_t i = 0; i < out.dark.size(); ++i) {
        const unsigned char* px = s->bitmap + 3 * i;
        out.dark[i] = (px[0] + px[1] + px[2]) < 384 ? 1 : 0;
    }
    ZBarcode_Delete(s);
    return out;
}

int mm(double v) {
    return static_cast<int>(v * kDotsPerMm + 0.5);
}

GreyPicture barcode_ticket() {
    GreyPicture t(mm(kTicketWidthMm), mm(kTicketLengthMm), kWhite);
    const Symbol code128 = encode(BARCODE_CODE128, kCode128Text, mm(15) / kBarcodeModuleDots);
    t.blit(code128.dark, code128.width, code128.height, mm(8), mm(8), kBarcodeModuleDots, kBarcodeModuleDots);
    const Symbol pdf = encode(BARCODE_PDF417, kPdf417Text, 0);
    t.blit(pdf.dark, pdf.width, pdf.height, mm(8), mm(34), kBarcodeModuleDots, kPdfRowDots / 3);
    return t;
}

GreyPicture skewed_ticket() {
    GreyPicture t(mm(kTicketWidthMm), mm(90), kWhite);
    const Symbol code128 = encode(BARCODE_CODE128, kSkewedText, mm(18) / kBarcodeModuleDots);
    t.blit(code128.dark, code128.width, code128.height, mm(10), mm(12), kBarcodeModuleDots,
           kBarcodeModuleDots);
    // The paper lies turned on a dark bed, as a loose ticket is scanned.
    return turned(t, kSkewDegrees, mm(kTicketWidthMm + 16), mm(90 + 16), 40);
}

GreyPicture handwritten_ticket() {
    const inktest::AnswerSheet sheet;
    inktest::ScanSetup setup;  // 8 x 8 per mm, upright, no bed
    const inktest::Scan scan = inktest::scan(sheet.draw(kAnswers), setup);
    GreyPicture t(scan.width, scan.height, kWhite);
    for (int y = 0; y < scan.height; ++y)
        for (int x = 0; x < scan.width; ++x)
            if (scan.dark(x, y)) t.at(x, y) = kBlack;
    return t;
}

GreyPicture printed_ticket() {
    GreyPicture t(mm(kTicketWidthMm), mm(kTicketLengthMm), kWhite);
    double top = kBlockTopMm;
    for (std::size_t r = 0; r < kPrintedCells.size(); ++r) {
        double left = kBlockLeftMm;
        for (std::size_t c = 0; c < kPrintedCells[r].size(); ++c) {
            if (kPrintedCells[r][c] == '1')
                t.fill(mm(left), mm(top), mm(left) + mm(kMarkWidthMm), mm(top) + mm(kMarkHeightMm), kBlack);
            if (c < kPrintedColumnPitch.size()) left += kPrintedColumnPitch[c];
        }
        if (r < kPrintedRowPitch.size()) top += kPrintedRowPitch[r];
    }
    return t;
}

std::string printed_expected() {
    std::string text = "0020";
    for (std::size_t r = kPrintedCells.size(); r-- > 0;) text += "," + kPrintedCells[r];
    return text;
}

std::string pitches(const std::vector<double>& v) {
    std::string out = "0";
    for (double p : v) out += ", " + inktest::AnswerSheet::num(p);
    return out;
}

}  // namespace

std::string handwritten_format_text() {
    return inktest::AnswerSheet{}.form("0.5") + "*";
}

std::string printed_format_text() {
    std::string title = "*printed marks";
    title.resize(30, ' ');
    return title + "\n1, 2, 1\n" + inktest::AnswerSheet::num(kMarkWidthMm) + " " +
           inktest::AnswerSheet::num(kMarkHeightMm) + " " + std::to_string(kPrintedCells.size()) + " " +
           std::to_string(kPrintedCells[0].size()) + "\n" + pitches(kPrintedRowPitch) + "\n" +
           pitches(kPrintedColumnPitch) + "\n0 0\n*";
}

std::vector<SampleTicket> draw_sample_tickets() {
    std::vector<SampleTicket> t;
    t.push_back({"barcode-code128-pdf417.bmp",
                 "barcode",
                 8,
                 {std::string("Code 128: ") + kCode128Text, std::string("PDF417: ") + kPdf417Text},
                 barcode_ticket()});
    t.push_back({"barcode-skewed-code128.bmp",
                 "barcode",
                 8,
                 {std::string("Code 128: ") + kSkewedText},
                 skewed_ticket()});
    t.push_back({"marks-answer-sheet.bmp",
                 "marks",
                 4,
                 {"100000,010000,001000,000100,000010,000001,100001,000000"},
                 handwritten_ticket()});
    t.push_back({"printed-marks-grid.bmp", "printed-marks", 4, {printed_expected()}, printed_ticket()});
    return t;
}

}  // namespace samples
