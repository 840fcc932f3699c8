// Test support: PDF417 symbols drawn by libzint, painted onto packed 1-bit pages.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace stackread_test {

// A page of packed rows, width / 8 bytes per row, bit 1 light, 0 dark.
struct Page {
    int width = 0, height = 0, stride = 0;
    std::vector<uint8_t> bytes;
    Page(int w, int h) : width(w), height(h), stride(w / 8), bytes(static_cast<size_t>(w / 8) * h, 0xFF) {}
    void set(int x, int y, bool dark) {
        if (x < 0 || y < 0 || x >= stride * 8 || y >= height) return;
        uint8_t& b = bytes[static_cast<size_t>(y) * stride + x / 8];
        uint8_t bit = static_cast<uint8_t>(0x80 >> (x % 8));
        b = dark ? static_cast<uint8_t>(b & ~bit) : static_cast<uint8_t>(b | bit);
    }
    bool dark(int x, int y) const {
        return !(bytes[static_cast<size_t>(y) * stride + x / 8] & (0x80 >> (x % 8)));
    }
    void fill(int x0, int y0, int w, int h, bool dark) {
        for (int y = y0; y < y0 + h; ++y)
            for (int x = x0; x < x0 + w; ++x) set(x, y, dark);
    }
};

// The module matrix of one encoded symbol.
struct Symbol {
    int rows = 0, columns = 0;  // columns: data columns of the symbol
    int width = 0;              // modules per row
    std::vector<uint8_t> dark;  // rows x width
    bool ok = false;
    std::string error;
    bool at(int r, int c) const { return dark[static_cast<size_t>(r) * width + c]; }
};

struct SymbolOptions {
    int level = -1;   // -1: the encoder's choice
    int columns = 0;  // 0: the encoder's choice
    int rows = 0;     // 0: the encoder's choice
};

// Encodes `data` (bytes) with libzint as PDF417.
Symbol encode_pdf417(const std::string& data, const SymbolOptions& options = {});

struct Placement {
    double centerX = 0, centerY = 0;
    int module = 3;     // pixels per module
    int rowHeight = 3;  // modules per row
    double angle = 0;   // degrees, counter-clockwise on the page
    int quiet = 2;      // light modules kept around the symbol
};

// Paints the symbol (with its quiet zone) onto the page, sampling each pixel's centre.
void paint(Page& page, const Symbol& symbol, const Placement& placement);

// A page just large enough for the symbol at `placement` (angle 0, 90, 180 or 270 or any),
// with `margin` pixels around it; the placement's centre is set.
Page page_for(const Symbol& symbol, Placement& placement, int margin = 24);

// Deterministic filler text lines drawn with a small bitmap font.
void draw_text(Page& page, int x, int y, const std::string& text, int scale);

}  // namespace stackread_test
