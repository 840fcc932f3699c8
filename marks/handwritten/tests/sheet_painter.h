#pragma once
// Test answer sheets drawn in millimetres and "scanned" at a chosen
// resolution: the paper may lie turned on a dark scanner bed.

#include <cstdint>
#include <string>
#include <vector>

namespace inktest {

struct Rect {
    double x, y, w, h;  // millimetres, left/top edges, y downward
};

struct Sheet {
    double width = 0;
    double height = 0;
    std::vector<Rect> dark;
    void fill(Rect r) { dark.push_back(r); }
    // A printed cell outline of the given line thickness, inside the rectangle.
    void outline(Rect r, double line = 0.25);
};

struct ScanSetup {
    double dotsAcross = 8.0;  // per millimetre, along a row
    double linesAlong = 8.0;  // rows per millimetre
    double degrees = 0.0;     // turn of the paper on the bed (clockwise as seen)
    double margin = 0.0;      // dark bed around the paper, millimetres
    int width = 0;            // when set, the scan's size in dots and rows (the paper centred)
    int height = 0;
};

// A 1-bit scan: rows of (width + 7) / 8 bytes, 1 = light, the sheet's top row first.
struct Scan {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rows;
    // The rows last first, as a bottom-up picture stores them.
    std::vector<std::uint8_t> reversed() const;
    bool dark(int x, int row) const;
};

Scan scan(const Sheet& sheet, const ScanSetup& setup);

// Writes `text` to a file in the current directory and points FMTFILEPATH at it.
void use_format_file(const std::string& name, const std::string& text);

// One form's text: '*', a 29-character title, the values.
std::string form_text(const std::string& values);

}  // namespace inktest
