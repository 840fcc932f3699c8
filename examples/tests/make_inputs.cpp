// Writes the pictures the examples are tried on into a folder: a barcode ticket, a PDF417
// ticket, a handwritten answer sheet on a dark scanner bed with its format file, and a ticket
// folder for the software scanner-printer. All 1-bit BMP files at 8 dots/mm.

#include <zint.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "tickets.h"

namespace fs = std::filesystem;

namespace {

void put16(std::vector<std::uint8_t>& b, unsigned v) {
    b.push_back(static_cast<std::uint8_t>(v));
    b.push_back(static_cast<std::uint8_t>(v >> 8));
}
void put32(std::vector<std::uint8_t>& b, std::uint32_t v) {
    put16(b, v & 0xFFFF);
    put16(b, v >> 16);
}

// A bottom-up 1-bit BMP with palette (black, white), 8,000 pixels per metre both ways unless the
// lines are sparser.
bool write_bmp(const std::string& path, const decode_test::Ticket& t, int linesPerMm = 8) {
    const std::uint32_t rowBytes = static_cast<std::uint32_t>((t.width + 31) / 32 * 4);
    const std::uint32_t image = rowBytes * static_cast<std::uint32_t>(t.height);
    std::vector<std::uint8_t> b;
    b.push_back('B');
    b.push_back('M');
    put32(b, 62 + image);
    put32(b, 0);
    put32(b, 62);
    put32(b, 40);
    put32(b, static_cast<std::uint32_t>(t.width));
    put32(b, static_cast<std::uint32_t>(t.height));
    put16(b, 1);
    put16(b, 1);
    put32(b, 0);
    put32(b, image);
    put32(b, 8000);
    put32(b, static_cast<std::uint32_t>(linesPerMm * 1000));
    put32(b, 2);
    put32(b, 0);
    put32(b, 0x00000000);
    put32(b, 0x00FFFFFF);
    const std::size_t src = static_cast<std::size_t>(t.width / 8);
    for (int y = t.height - 1; y >= 0; --y) {
        const std::size_t at = b.size();
        b.resize(at + rowBytes, 0xFF);
        std::copy_n(&t.rows[static_cast<std::size_t>(y) * src], src, &b[at]);
    }
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) return false;
    const bool ok = std::fwrite(b.data(), 1, b.size(), f) == b.size();
    return std::fclose(f) == 0 && ok;
}

// A binary PBM (P4) of the ticket: rows top first, 1 is black.
bool write_pbm(const std::string& path, const decode_test::Ticket& t) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) return false;
    std::fprintf(f, "P4\n%d %d\n", t.width, t.height);
    std::vector<std::uint8_t> inverted(t.rows);
    for (std::uint8_t& b : inverted) b = static_cast<std::uint8_t>(~b);
    const bool ok = std::fwrite(inverted.data(), 1, inverted.size(), f) == inverted.size();
    return std::fclose(f) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    const fs::path dir = argv[1];
    fs::create_directories(dir / "tickets");
    fs::current_path(dir);

    decode_test::Ticket barcodes = decode_test::blank_ticket();
    bool ok = decode_test::add_linear(barcodes, BARCODE_CODE128, "TK-7 0042", 600, 300) &&
              decode_test::add_linear(barcodes, BARCODE_EANX, "400638133393", 1200, 800);
    ok = ok && write_bmp("barcodes.bmp", barcodes);

    decode_test::Ticket pdf = decode_test::blank_ticket();
    ok = ok && decode_test::add_pdf417(pdf, "PDF417 EXAMPLE TICKET 0042", 864, 600) &&
         write_bmp("pdf417.bmp", pdf);

    // The sheet writes its format file as forms.txt.
    const decode_test::Ticket sheet = decode_test::handwritten_ticket(8, "forms.txt");
    ok = ok && write_bmp("sheet.bmp", sheet) && write_pbm("sheet.pbm", sheet);

    decode_test::Ticket session = decode_test::blank_ticket();
    ok = ok && decode_test::add_linear(session, BARCODE_CODE128, "SESSION 0001", 864, 400) &&
         write_bmp("tickets/barcode-1.bmp", session);
    if (!ok) std::fprintf(stderr, "%s: could not draw or write the pictures\n", argv[0]);
    return ok ? 0 : 1;
}
