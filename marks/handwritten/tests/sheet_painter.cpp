#include "marks/handwritten/tests/sheet_painter.h"

#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace inktest {

void Sheet::outline(Rect r, double line) {
    fill({r.x, r.y, r.w, line});
    fill({r.x, r.y + r.h - line, r.w, line});
    fill({r.x, r.y, line, r.h});
    fill({r.x + r.w - line, r.y, line, r.h});
}

std::vector<std::uint8_t> Scan::reversed() const {
    const std::size_t stride = static_cast<std::size_t>((width + 7) / 8);
    std::vector<std::uint8_t> out(rows.size());
    for (int y = 0; y < height; ++y)
        std::copy(rows.begin() + static_cast<std::ptrdiff_t>(y * stride),
                  rows.begin() + static_cast<std::ptrdiff_t>((y + 1) * stride),
                  out.begin() + static_cast<std::ptrdiff_t>((height - 1 - y) * stride));
    return out;
}

bool Scan::dark(int x, int row) const {
    const std::size_t stride = static_cast<std::size_t>((width + 7) / 8);
    return ((rows[static_cast<std::size_t>(row) * stride + static_cast<std::size_t>(x >> 3)] >>
             (7 - (x & 7))) &
            1) == 0;
}

Scan scan(const Sheet& sheet, const ScanSetup& setup) {
    // The sheet first, upright, on a fine grid.
    constexpr double kFine = 16.0;  // grid cells per millimetre
    const int gw = static_cast<int>(std::ceil(sheet.width * kFine));
    const int gh = static_cast<int>(std::ceil(sheet.height * kFine));
    std::vector<std::uint8_t> grid(static_cast<std::size_t>(gw) * static_cast<std::size_t>(gh), 1);
    for (const Rect& r : sheet.dark) {
        const int x0 = std::max(0, static_cast<int>(std::lround(r.x * kFine)));
        const int x1 = std::min(gw, static_cast<int>(std::lround((r.x + r.w) * kFine)));
        const int y0 = std::max(0, static_cast<int>(std::lround(r.y * kFine)));
        const int y1 = std::min(gh, static_cast<int>(std::lround((r.y + r.h) * kFine)));
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x)
                grid[static_cast<std::size_t>(y) * static_cast<std::size_t>(gw) +
                     static_cast<std::size_t>(x)] = 0;
    }
    const double a = setup.degrees * 3.14159265358979323846 / 180.0;
    const double c = std::cos(a), s = std::sin(a);
    // Bounding box of the turned paper plus the bed margin.
    double bw = std::fabs(c) * sheet.width + std::fabs(s) * sheet.height + 2 * setup.margin;
    double bh = std::fabs(s) * sheet.width + std::fabs(c) * sheet.height + 2 * setup.margin;
    if (setup.width > 0) bw = setup.width / setup.dotsAcross;
    if (setup.height > 0) bh = setup.height / setup.linesAlong;
    Scan out;
    out.width = static_cast<int>(std::lround(bw * setup.dotsAcross));
    out.height = static_cast<int>(std::lround(bh * setup.linesAlong));
    const std::size_t stride = static_cast<std::size_t>((out.width + 7) / 8);
    out.rows.assign(stride * static_cast<std::size_t>(out.height), 0);
    for (int j = 0; j < out.height; ++j) {
        const double v = (j + 0.5) / setup.linesAlong - bh / 2;
        for (int i = 0; i < out.width; ++i) {
            const double u = (i + 0.5) / setup.dotsAcross - bw / 2;
            // Inverse turn back onto the paper.
            const double px = c * u + s * v + sheet.width / 2;
            const double py = -s * u + c * v + sheet.height / 2;
            bool light = false;
            if (px >= 0 && py >= 0 && px < sheet.width && py < sheet.height) {
                const int gx = std::min(gw - 1, static_cast<int>(px * kFine));
                const int gy = std::min(gh - 1, static_cast<int>(py * kFine));
                light = grid[static_cast<std::size_t>(gy) * static_cast<std::size_t>(gw) +
                             static_cast<std::size_t>(gx)] != 0;
            }
            if (light)
                out.rows[static_cast<std::size_t>(j) * stride + static_cast<std::size_t>(i >> 3)] |=
                    static_cast<std::uint8_t>(0x80u >> (i & 7));
        }
    }
    return out;
}

void use_format_file(const std::string& name, const std::string& text) {
    // Written aside and renamed into place, so that test programs running side
    // by side never read a half-written file.
    const std::string temporary = "fmt-" + std::to_string(getpid()) + ".tmp";
    std::FILE* f = std::fopen(temporary.c_str(), "wb");
    if (f != nullptr) {
        std::fwrite(text.data(), 1, text.size(), f);
        std::fclose(f);
        std::rename(temporary.c_str(), name.c_str());
    }
    setenv("FMTFILEPATH", name.c_str(), 1);
}

std::string form_text(const std::string& values) {
    std::string title = " test form";
    title.resize(29, '.');
    return "*" + title + values + "\n";
}

}  // namespace inktest
