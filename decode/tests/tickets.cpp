#include "tickets.h"

#include <cstring>

#include "answer_sheet.h"
#include "barcode/linear/tests/symbol_page.h"
#include "barcode/pdf417/tests/symbol_painter.h"

namespace decode_test {

namespace {

const std::vector<std::string> kAnswers = {
    "#.....", ".#....", "..#...", "...#..", "....#.", ".....#", "#....#", "......",
};

// ANDs a page of packed rows (1 = white) into the ticket, so dark pixels of both remain.
void darken(Ticket& ticket, const std::uint8_t* rows, int stride) {
    const std::size_t rowBytes = static_cast<std::size_t>(ticket.width / 8);
    for (int y = 0; y < ticket.height; ++y)
        for (std::size_t b = 0; b < rowBytes; ++b)
            ticket.rows[static_cast<std::size_t>(y) * rowBytes + b] &=
                rows[static_cast<std::size_t>(y) * stride + b];
}

}  // namespace

Ticket blank_ticket(int width, int height) {
    Ticket t;
    t.width = width;
    t.height = height;
    t.rows.assign(static_cast<std::size_t>(width / 8) * static_cast<std::size_t>(height), 0xFF);
    return t;
}

Ticket at_lines_per_mm(const Ticket& eightLines, int linesPerMm) {
    if (linesPerMm == 8) return eightLines;
    const int step = 8 / linesPerMm;
    const std::size_t rowBytes = static_cast<std::size_t>(eightLines.width / 8);
    Ticket t;
    t.width = eightLines.width;
    t.height = (eightLines.height + step - 1) / step;
    t.rows.resize(rowBytes * static_cast<std::size_t>(t.height));
    for (int y = 0; y < t.height; ++y)
        std::memcpy(&t.rows[static_cast<std::size_t>(y) * rowBytes],
                    &eightLines.rows[static_cast<std::size_t>(y * step) * rowBytes], rowBytes);
    return t;
}

bool add_linear(Ticket& ticket, int zintSymbology, const std::string& data, double cx, double cy,
                double module, double angle) {
    stripescan::testing::ModuleImage symbol;
    if (!stripescan::testing::encode(zintSymbology, data, symbol)) return false;
    stripescan::testing::Page page(ticket.width, ticket.height);
    page.paint(symbol, {cx, cy, module, angle});
    darken(ticket, page.bits().data(), page.stride());
    return true;
}

bool add_pdf417(Ticket& ticket, const std::string& data, double cx, double cy, int module, int columns) {
    stackread_test::SymbolOptions options;
    options.columns = columns;
    const stackread_test::Symbol symbol = stackread_test::encode_pdf417(data, options);
    if (!symbol.ok) return false;
    stackread_test::Page page(ticket.width, ticket.height);
    stackread_test::Placement where;
    where.centerX = cx;
    where.centerY = cy;
    where.module = module;
    stackread_test::paint(page, symbol, where);
    darken(ticket, page.bytes.data(), page.stride);
    return true;
}

Ticket handwritten_ticket(int linesPerMm, const std::string& formatFile) {
    inktest::AnswerSheet sheet;
    inktest::use_format_file(formatFile, sheet.form("0.5") + "*");
    inktest::ScanSetup setup;
    setup.linesAlong = linesPerMm;
    setup.degrees = 1.5;
    setup.margin = 6;
    setup.width = kTicketWidth;
    const inktest::Scan scan = inktest::scan(sheet.draw(kAnswers), setup);
    Ticket t;
    t.width = scan.width;
    t.height = scan.height;
    t.rows = scan.rows;
    return t;
}

}  // namespace decode_test
