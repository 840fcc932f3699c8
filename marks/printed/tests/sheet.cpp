#include "marks/printed/tests/sheet.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>

namespace sheet {

namespace {
int dots(int dpm, double mm) {
    return static_cast<int>(dpm * mm + 0.5);
}
}  // namespace

void Picture::fill(int x0, int y0, int x1, int y1, std::uint8_t v) {
    x0 = std::max(x0, 0);
    y0 = std::max(y0, 0);
    x1 = std::min(x1, width);
    y1 = std::min(y1, height);
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) at(x, y) = v;
}

Picture render(const Layout& l) {
    Picture p(l.width, l.height, 0);
    p.fill(l.margin, l.margin, l.width - l.margin, l.height - l.margin, 1);
    const Block& b = l.block;
    const int w = dots(l.dpm, b.markWidth), h = dots(l.dpm, b.markHeight);
    auto columnX = [&](std::size_t c) {
        double mm = b.left;
        for (std::size_t i = 0; i < c; ++i) mm += b.columnPitch[i];
        return l.margin + dots(l.dpm, mm);
    };
    auto rowY = [&](std::size_t r) {
        double mm = b.top;
        for (std::size_t i = 0; i < r; ++i) mm += b.rowPitch[i];
        return l.margin + dots(l.dpm, mm);
    };
    for (std::size_t r = 0; r < b.cells.size(); ++r)
        for (std::size_t c = 0; c < b.cells[r].size(); ++c)
            if (b.cells[r][c] == '1') p.fill(columnX(c), rowY(r), columnX(c) + w, rowY(r) + h, 0);
    if (!b.cells.empty()) {
        const std::size_t last = b.cells.size() - 1;
        for (double d : l.extraRowsBelow) {
            const int y = rowY(last) + dots(l.dpm, d);
            for (std::size_t c = 0; c < b.cells[0].size(); ++c)
                p.fill(columnX(c), y, columnX(c) + w, y + h, 0);
        }
    }
    return p;
}

std::vector<Point> drawn_cell(const Layout& l, int r, int c) {
    const Block& b = l.block;
    double left = b.left, top = b.top;
    for (int i = 0; i < c; ++i) left += b.columnPitch[static_cast<std::size_t>(i)];
    for (int i = 0; i < r; ++i) top += b.rowPitch[static_cast<std::size_t>(i)];
    const double x0 = l.margin + dots(l.dpm, left), y0 = l.margin + dots(l.dpm, top);
    const double x1 = x0 + dots(l.dpm, b.markWidth), y1 = y0 + dots(l.dpm, b.markHeight);
    return {{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}};
}

Picture turn_clockwise(const Picture& p) {
    Picture out(p.height, p.width, 1);
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x) out.at(p.height - 1 - y, x) = p.at(x, y);
    return out;
}

Picture turn_counter_clockwise(const Picture& p) {
    Picture out(p.height, p.width, 1);
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x) out.at(y, p.width - 1 - x) = p.at(x, y);
    return out;
}

Picture turn_half(const Picture& p) {
    Picture out(p.width, p.height, 1);
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x) out.at(p.width - 1 - x, p.height - 1 - y) = p.at(x, y);
    return out;
}

Picture reverse_rows(const Picture& p) {
    Picture out(p.width, p.height, 1);
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x) out.at(x, p.height - 1 - y) = p.at(x, y);
    return out;
}

Picture skew(const Picture& p, double degrees) {
    Picture out(p.width, p.height, 0);
    const double a = degrees * 3.14159265358979 / 180.0, c = std::cos(a), s = std::sin(a);
    const double mx = p.width / 2.0, my = p.height / 2.0;
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x) {
            const int sx = static_cast<int>(std::lround(mx + (x - mx) * c + (y - my) * s));
            const int sy = static_cast<int>(std::lround(my - (x - mx) * s + (y - my) * c));
            if (sx >= 0 && sy >= 0 && sx < p.width && sy < p.height) out.at(x, y) = p.at(sx, sy);
        }
    return out;
}

Picture keep_every(const Picture& p, int n) {
    Picture out(p.width, (p.height + n - 1) / n, 1);
    for (int y = 0; y < out.height; ++y)
        for (int x = 0; x < p.width; ++x) out.at(x, y) = p.at(x, y * n);
    return out;
}

std::vector<std::uint8_t> pack(const Picture& p) {
    const int stride = (p.width + 7) / 8;
    std::vector<std::uint8_t> rows(static_cast<std::size_t>(stride) * p.height, 0);
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x)
            if (p.at(x, y))
                rows[static_cast<std::size_t>(y) * stride + x / 8] |=
                    static_cast<std::uint8_t>(0x80 >> (x % 8));
    return rows;
}

Picture unpack(const std::uint8_t* rows, int width, int height) {
    Picture p(width, height, 0);
    const int stride = (width + 7) / 8;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            p.at(x, y) = (rows[static_cast<std::size_t>(y) * stride + x / 8] & (0x80 >> (x % 8))) ? 1 : 0;
    return p;
}

namespace {
void gaps(std::ostringstream& out, const std::vector<double>& pitch) {
    const bool uniform =
        !pitch.empty() && std::all_of(pitch.begin(), pitch.end(), [&](double v) { return v == pitch[0]; });
    if (uniform) {
        out << "1, " << pitch[0] << "\n";
        return;
    }
    out << "0";
    for (double v : pitch) out << ", " << v;
    out << "\n";
}
}  // namespace

std::string grid_form(const std::vector<std::pair<int, int>>& pairs, const Block& b, bool withSpans,
                      const std::string& title) {
    std::ostringstream out;
    std::string head = "*" + title;
    head.resize(30, ' ');
    out << head << "\n" << pairs.size();
    for (const auto& [k, v] : pairs) out << ", " << k << ", " << v;
    const std::size_t rows = b.cells.size(), columns = b.cells.empty() ? 0 : b.cells[0].size();
    out << "\n" << b.markWidth << " " << b.markHeight << " " << rows << " " << columns << "\n";
    gaps(out, b.rowPitch);
    gaps(out, b.columnPitch);
    if (withSpans) {
        double sx = 0, sy = 0;
        for (double v : b.columnPitch) sx += v;
        for (double v : b.rowPitch) sy += v;
        out << "4 " << sx << " " << sy << "\n";
    }
    out << "0 0\n";
    return out.str();
}

std::string expected_text(const Block& b) {
    const std::size_t rows = b.cells.size(), columns = b.cells.empty() ? 0 : b.cells[0].size();
    char digits[8];
    std::snprintf(digits, sizeof digits, "%04zu", (rows * columns) % 10000);
    std::string text = digits;
    for (std::size_t r = rows; r-- > 0;) text += "," + b.cells[r];
    return text;
}

std::string write_temp(const std::string& name, const std::string& content) {
    // One file per test process: ctest runs test cases side by side.
    const std::string path = testing::TempDir() + std::to_string(getpid()) + "_" + name;
    std::ofstream(path, std::ios::binary) << content;
    return path;
}

}  // namespace sheet
