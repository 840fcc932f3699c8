#pragma once
// Test pictures: symbols drawn by libzint, painted at any module width and angle onto a white
// 1-bit page the size of a ticket scan, with optional printed text and specks around them.

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "barcode/linear/Stripescan.h"

namespace stripescan::testing {

// A symbol at one pixel per module: dark[y * width + x] is 1 for a bar module.
struct ModuleImage {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> dark;
};

// Draws `data` with libzint (a BARCODE_* number) without human-readable text or quiet zones.
// `option2` is the zint check-digit option where the symbology has one. False when zint refuses.
bool encode(int zintSymbology, const std::string& data, ModuleImage& out, int option2 = 0,
            int heightModules = 0);

struct Placement {
    double cx = 0;  // centre of the symbol on the page, pixels
    double cy = 0;
    double module = 2;  // pixels per module
    double angle = 0;   // degrees, counter-clockwise as seen on the page
};

class Page {
public:
    explicit Page(int width = 1728, int height = 1200);

    // Paints the symbol's bars black; answers the four corners of its bar area (x, y pairs).
    std::vector<double> paint(const ModuleImage& symbol, const Placement& where);
    // Paints a line of block-letter text with its top-left corner at (x, y), `scale` pixels per dot.
    void text(const std::string& letters, int x, int y, int scale);
    void set_black(int x, int y);
    void set_white(int x, int y);
    bool black(int x, int y) const;
    // Black pixels inside the axis-aligned box (inclusive).
    int black_count(int x0, int y0, int x1, int y1) const;

    Bitmap bitmap();  // a record over the page's own pixels (rows left empty)
    int width() const { return width_; }
    int height() const { return height_; }
    int stride() const { return stride_; }
    std::vector<std::uint8_t>& bits() { return bits_; }

private:
    int width_;
    int height_;
    int stride_;
    std::vector<std::uint8_t> bits_;
};

// Settings of one symbology with everything else 0 (sendCheck 0, full-ASCII Code 39).
SymbologySetting setting(int symbology);

// Runs the decoder over `page` with the given settings; answers the results as (number, text).
struct Read {
    int symbology = 0;
    std::string text;
    BarcodeResult raw{};
};
std::vector<Read> decode(Page& page, const std::vector<SymbologySetting>& settings, int directions = 3,
                         int minSize = 8, int* status = nullptr);

// Valid random payloads for each symbology number 1..8 (digits only where required).
std::string random_payload(int symbology, std::mt19937& rng);
// The zint symbology used to draw each of our numbers 1..10.
int zint_symbology_for(int symbology);
// The text the decoder should give for `payload` drawn with zint under default settings.
std::string expected_text(int symbology, const std::string& payload);

}  // namespace stripescan::testing
