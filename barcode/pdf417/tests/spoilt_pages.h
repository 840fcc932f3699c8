// Test support: PDF417 symbols drawn by libzint and spoilt on 1-bit pages by the shared degrade
// helpers, read back through the library's C interface.
#pragma once

#include <random>
#include <string>

#include "barcode/common/tests/degrade.h"
#include "barcode/pdf417/tests/symbol_painter.h"

namespace stackread_test {

// `n` characters drawn from letters, digits and a little punctuation.
std::string random_text(std::mt19937& rng, int n);

// A uniformly drawn value in [a, b).
double uniform(std::mt19937& rng, double a, double b);

// The symbol's module matrix in the degrade helpers' form.
barcode::degrade::ModuleGrid module_grid(const Symbol& symbol);

// Renders `grid` with `how`, centred (off the pixel grid by a fraction) on a page `widthFactor`
// times the symbol's drawn width plus `marginX` pixels wide and its height plus `marginY` tall.
barcode::degrade::BitPage draw_centred(const barcode::degrade::ModuleGrid& grid, barcode::degrade::Render how,
                                       std::mt19937& rng, double widthFactor, int marginX, int marginY = 64);

// What the library answered for a page: its result code and, on success, the text.
struct Reading {
    int result = 0;
    std::string text;
};

Reading read_page(const barcode::degrade::BitPage& page);

}  // namespace stackread_test
