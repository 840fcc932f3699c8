#pragma once
// Random symbols drawn by libzint, spoilt by the shared degrade helpers and read with every
// symbology requested: how many read exactly and every other text reported.

#include <random>
#include <string>
#include <utility>
#include <vector>

#include "barcode/common/tests/degrade.h"
#include "barcode/linear/tests/symbol_page.h"

namespace stripescan::testing {

struct Outcome {
    int read = 0;
    int wrong = 0;
    std::string wrongTexts;  // "number:text for expected" of each wrong result
};

// Reads `page` with all eight symbologies requested, both directions; (number, text) per result.
std::vector<std::pair<int, std::string>> read_bit_page(barcode::degrade::BitPage& page);

// Reads the BMP file `file` of the folder `folder` with all eight symbologies requested (default
// settings), both directions; (number, text) per result. A file that cannot be read is a failure.
std::vector<std::pair<int, std::string>> read_saved_page(const std::string& folder, const char* file);

// A saved page with one symbol printed on it.
struct PrintedPage {
    const char* file;  // in STRIPESCAN_TEST_DATA
    int symbology;
    const char* printed;
};

// The page of `folder` gives exactly its one symbol, read right.
void expect_read_once(const std::string& folder, const PrintedPage& page);

// Damages a symbol's grid: kind 0 knocks out one bar (all its columns) in the middle three fifths,
// kind 1 cuts off the last 10 to 30 % of its columns (at least two).
void damage_symbol(barcode::degrade::ModuleGrid& grid, int kind, std::mt19937& rng);

// Draws `count` random symbols of `symbology`: `spoil(grid, how, rng)` changes the grid and sets up
// the rendering, `pageFor(grid, how)` gives the blank page; the symbol is centred on it (within a
// pixel) and read. Every text but the drawn one, and the drawn one twice, is wrong.
template <class Spoil, class PageFor>
Outcome read_drawn(int symbology, int count, unsigned seed, Spoil spoil, PageFor pageFor) {
    std::mt19937 rng(seed);
    Outcome outcome;
    for (int n = 0; n < count; ++n) {
        const std::string payload = random_payload(symbology, rng);
        ModuleImage image;
        if (!encode(zint_symbology_for(symbology), payload, image)) {
            outcome.wrongTexts += " cannot draw " + payload;
            ++outcome.wrong;
            continue;
        }
        barcode::degrade::ModuleGrid grid{image.width, image.height, image.dark};
        barcode::degrade::Render how;
        spoil(grid, how, rng);
        barcode::degrade::BitPage page = pageFor(grid, how);
        how.cx = page.width / 2.0 + std::uniform_real_distribution<double>(0, 1)(rng);
        how.cy = page.height / 2.0 + std::uniform_real_distribution<double>(0, 1)(rng);
        render(grid, how, page, rng);
        const std::string expected = expected_text(symbology, payload);
        bool hit = false;
        for (const auto& [number, text] : read_bit_page(page)) {
            if (!hit && number == symbology && text == expected) {
                hit = true;
            } else {
                ++outcome.wrong;
                outcome.wrongTexts += " " + std::to_string(number) + ":" + text + " for " + expected;
            }
        }
        outcome.read += hit ? 1 : 0;
    }
    return outcome;
}

}  // namespace stripescan::testing
