// Ticket pages for the Stackread benchmarks: a 1728 x 1200 page (8 dots per millimetre) with
// lines of printed text and, optionally, one PDF417 symbol placed among them.
#pragma once

#include <algorithm>
#include <cmath>
#include <random>
#include <string>

#include "barcode/pdf417/tests/symbol_painter.h"

namespace stackread_bench {

using stackread_test::Page;
using stackread_test::Placement;
using stackread_test::Symbol;

constexpr int kPageWidth = 1728;
constexpr int kPageHeight = 1200;

inline const char* ticket_line(int i) {
    static const char* lines[] = {
        "TICKET NO 4711-0815  ISSUED 2026-12-08 09:14",  "FROM: CENTRAL STATION  TO: AIRPORT TERMINAL 2",
        "VALID 120 MIN  ZONES 1-4  ADULT  FARE 7.40",    "SEAT 34A  CAR 12  TRAIN 1784  PLATFORM 9",
        "OPERATOR 42  TERMINAL 7  SHIFT B  CHECK 95.13", "KEEP THIS TICKET UNTIL THE END OF YOUR JOURNEY",
    };
    return lines[i % 6];
}

// Box of the symbol on the page (axis-aligned bounds of the turned symbol), in pixels.
struct Box {
    double x0, y0, x1, y1;
};

inline Box symbol_box(const Symbol& s, const Placement& p) {
    const double w = (s.width + 2.0 * p.quiet) * p.module;
    const double h = (s.rows * p.rowHeight + 2.0 * p.quiet) * p.module;
    const double a = p.angle * M_PI / 180.0;
    const double bw = std::fabs(std::cos(a)) * w + std::fabs(std::sin(a)) * h;
    const double bh = std::fabs(std::sin(a)) * w + std::fabs(std::cos(a)) * h;
    return {p.centerX - bw / 2, p.centerY - bh / 2, p.centerX + bw / 2, p.centerY + bh / 2};
}

// Text lines over the page; next to the symbol only a short label on its left.
inline void print_text(Page& page, const Box* keepOut, int seed) {
    std::mt19937 rng(static_cast<unsigned>(seed));
    const int scale = 2 + static_cast<int>(rng() % 2);
    const int lineHeight = 7 * scale + 14;
    for (int y = 20, i = 0; y + 7 * scale < page.height - 10; y += lineHeight, ++i) {
        std::string text = ticket_line(i + seed);
        if (keepOut && y + 7 * scale + 30 > keepOut->y0 && y - 30 < keepOut->y1) {
            if (keepOut->x0 < 200) continue;
            text = text.substr(
                0, std::min<size_t>(text.size(), static_cast<size_t>((keepOut->x0 - 60) / (6 * scale))));
            text = text.substr(0, 16);
        }
        stackread_test::draw_text(page, 24, y, text, scale);
    }
}

}  // namespace stackread_bench
