#include "barcode/pdf417/tests/symbol_painter.h"

#include <zint.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace stackread_test {

Symbol encode_pdf417(const std::string& data, const SymbolOptions& options) {
    Symbol out;
    zint_symbol* s = ZBarcode_Create();
    if (!s) return out;
    s->symbology = BARCODE_PDF417;
    s->input_mode = DATA_MODE;
    if (options.level >= 0) s->option_1 = options.level;
    if (options.columns > 0) s->option_2 = options.columns;
    if (options.rows > 0) s->option_3 = options.rows;
    s->scale = 0.5f;  // one pixel per module
    s->show_hrt = 0;
    int rc = ZBarcode_Encode(s, reinterpret_cast<const unsigned char*>(data.data()),
                             static_cast<int>(data.size()));
    if (rc >= ZINT_ERROR || ZBarcode_Buffer(s, 0) >= ZINT_ERROR) {
        out.error = s->errtxt;
        ZBarcode_Delete(s);
        return out;
    }
    out.rows = s->rows;
    out.width = s->bitmap_width;
    out.columns = (out.width - 69) / 17;
    out.dark.assign(static_cast<size_t>(out.rows) * out.width, 0);
    for (int r = 0; r < out.rows; ++r) {
        int y = static_cast<int>((r + 0.5) * s->bitmap_height / out.rows);
        for (int c = 0; c < out.width; ++c)
            out.dark[static_cast<size_t>(r) * out.width + c] =
                s->bitmap[(static_cast<size_t>(y) * s->bitmap_width + c) * 3] < 128;
    }
    out.ok = true;
    ZBarcode_Delete(s);
    return out;
}

void paint(Page& page, const Symbol& symbol, const Placement& p) {
    const double w = static_cast<double>(symbol.width + 2 * p.quiet) * p.module;
    const double h = static_cast<double>(symbol.rows * p.rowHeight + 2 * p.quiet) * p.module;
    const double a = p.angle * M_PI / 180.0, ca = std::cos(a), sa = std::sin(a);
    const double rx = (std::fabs(ca) * w + std::fabs(sa) * h) / 2 + 2;
    const double ry = (std::fabs(sa) * w + std::fabs(ca) * h) / 2 + 2;
    const int x0 = static_cast<int>(std::floor(p.centerX - rx)),
              x1 = static_cast<int>(std::ceil(p.centerX + rx));
    const int y0 = static_cast<int>(std::floor(p.centerY - ry)),
              y1 = static_cast<int>(std::ceil(p.centerY + ry));
    for (int y = y0; y <= y1; ++y) {
        for (int x = x0; x <= x1; ++x) {
            // Page y grows downwards; turn the pixel centre back into symbol coordinates.
            double px = x + 0.5 - p.centerX, py = y + 0.5 - p.centerY;
            double u = ca * px - sa * py + w / 2;
            double v = sa * px + ca * py + h / 2;
            if (u < 0 || v < 0 || u >= w || v >= h) continue;
            int col = static_cast<int>(u / p.module) - p.quiet;
            double vm = v / p.module - p.quiet;
            int row = vm >= 0 ? static_cast<int>(vm / p.rowHeight) : -1;
            bool dark =
                col >= 0 && col < symbol.width && row >= 0 && row < symbol.rows && symbol.at(row, col);
            page.set(x, y, dark);
        }
    }
}

Page page_for(const Symbol& symbol, Placement& p, int margin) {
    const double w = static_cast<double>(symbol.width + 2 * p.quiet) * p.module;
    const double h = static_cast<double>(symbol.rows * p.rowHeight + 2 * p.quiet) * p.module;
    const double a = p.angle * M_PI / 180.0;
    const double bw = std::fabs(std::cos(a)) * w + std::fabs(std::sin(a)) * h;
    const double bh = std::fabs(std::sin(a)) * w + std::fabs(std::cos(a)) * h;
    int pw = (static_cast<int>(std::ceil(bw)) + 2 * margin + 7) / 8 * 8;
    int ph = static_cast<int>(std::ceil(bh)) + 2 * margin;
    p.centerX = pw / 2.0;
    p.centerY = ph / 2.0;
    Page page(pw, ph);
    paint(page, symbol, p);
    return page;
}

namespace {

// 5 x 7 glyphs: one byte per row, low 5 bits, most significant of them leftmost.
struct Glyph {
    char c;
    uint8_t rows[7];
};
const Glyph kFont[] = {
    {'A', {14, 17, 17, 31, 17, 17, 17}}, {'B', {30, 17, 17, 30, 17, 17, 30}},
    {'C', {14, 17, 16, 16, 16, 17, 14}}, {'D', {30, 17, 17, 17, 17, 17, 30}},
    {'E', {31, 16, 16, 30, 16, 16, 31}}, {'F', {31, 16, 16, 30, 16, 16, 16}},
    {'G', {14, 17, 16, 23, 17, 17, 15}}, {'H', {17, 17, 17, 31, 17, 17, 17}},
    {'I', {14, 4, 4, 4, 4, 4, 14}},      {'J', {7, 2, 2, 2, 2, 18, 12}},
    {'K', {17, 18, 20, 24, 20, 18, 17}}, {'L', {16, 16, 16, 16, 16, 16, 31}},
    {'M', {17, 27, 21, 21, 17, 17, 17}}, {'N', {17, 17, 25, 21, 19, 17, 17}},
    {'O', {14, 17, 17, 17, 17, 17, 14}}, {'P', {30, 17, 17, 30, 16, 16, 16}},
    {'Q', {14, 17, 17, 17, 21, 18, 13}}, {'R', {30, 17, 17, 30, 20, 18, 17}},
    {'S', {15, 16, 16, 14, 1, 1, 30}},   {'T', {31, 4, 4, 4, 4, 4, 4}},
    {'U', {17, 17, 17, 17, 17, 17, 14}}, {'V', {17, 17, 17, 17, 17, 10, 4}},
    {'W', {17, 17, 17, 21, 21, 21, 10}}, {'X', {17, 17, 10, 4, 10, 17, 17}},
    {'Y', {17, 17, 10, 4, 4, 4, 4}},     {'Z', {31, 1, 2, 4, 8, 16, 31}},
    {'0', {14, 17, 19, 21, 25, 17, 14}}, {'1', {4, 12, 4, 4, 4, 4, 14}},
    {'2', {14, 17, 1, 2, 4, 8, 31}},     {'3', {31, 2, 4, 2, 1, 17, 14}},
    {'4', {2, 6, 10, 18, 31, 2, 2}},     {'5', {31, 16, 30, 1, 1, 17, 14}},
    {'6', {6, 8, 16, 30, 17, 17, 14}},   {'7', {31, 1, 2, 4, 8, 8, 8}},
    {'8', {14, 17, 17, 14, 17, 17, 14}}, {'9', {14, 17, 17, 15, 1, 2, 12}},
    {':', {0, 12, 12, 0, 12, 12, 0}},    {'.', {0, 0, 0, 0, 0, 12, 12}},
    {'-', {0, 0, 0, 31, 0, 0, 0}},       {'/', {0, 1, 2, 4, 8, 16, 0}},
};

}  // namespace

void draw_text(Page& page, int x, int y, const std::string& text, int scale) {
    for (char ch : text) {
        char c = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
        for (const Glyph& g : kFont) {
            if (g.c != c) continue;
            for (int r = 0; r < 7; ++r)
                for (int b = 0; b < 5; ++b)
                    if (g.rows[r] & (16 >> b)) page.fill(x + b * scale, y + r * scale, scale, scale, true);
        }
        x += 6 * scale;
    }
}

}  // namespace stackread_test
