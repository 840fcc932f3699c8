#pragma once
// Device pictures for the dispatcher's tests and benchmarks: tickets drawn as the scanner
// delivers them (1-bit rows of width / 8 bytes, top row first, bit 1 white) at 8 dots/mm across
// and 4 or 8 lines/mm along.

#include <cstdint>
#include <string>
#include <vector>

namespace decode_test {

constexpr int kTicketWidth = 1728;   // 216 mm at 8 dots/mm
constexpr int kTicketHeight = 1200;  // 150 mm at 8 lines/mm

struct Ticket {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rows;  // height x width / 8 bytes
    std::uint8_t* data() { return rows.data(); }
};

// A white ticket at 8 lines/mm.
Ticket blank_ticket(int width = kTicketWidth, int height = kTicketHeight);

// The same ticket scanned at `linesPerMm` (4 keeps every other line of an 8 lines/mm ticket).
Ticket at_lines_per_mm(const Ticket& eightLines, int linesPerMm);

// Paints a linear symbol drawn by libzint (a BARCODE_* number) at 8 lines/mm, centred at
// (cx, cy) pixels, `module` pixels per module, bars upright unless `angle` (degrees) says
// otherwise. False when the encoder refuses the data.
bool add_linear(Ticket& ticket, int zintSymbology, const std::string& data, double cx, double cy,
                double module = 3, double angle = 0);

// Paints a PDF417 symbol drawn by libzint at 8 lines/mm, centred at (cx, cy), `module` pixels per
// module and rows of 3 modules, `columns` data columns (0: the encoder's choice). False when the
// encoder refuses the data.
bool add_pdf417(Ticket& ticket, const std::string& data, double cx, double cy, int module = 3,
                int columns = 0);

// The handwritten answer sheet (8 rows of 6 cells, a left and a top timing track) slightly
// turned on the dark scanner bed, scanned at `linesPerMm` across a full-width ticket, and its
// format file written as `formatFile` in the current directory (FMTFILEPATH points at it).
Ticket handwritten_ticket(int linesPerMm, const std::string& formatFile);

// The reader's plain text for handwritten_ticket.
constexpr const char* kHandwrittenReaderText = "0048,100000,010000,001000,000100,000010,000001,100001,000000";

}  // namespace decode_test
