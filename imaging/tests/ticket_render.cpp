#include "imaging/tests/ticket_render.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "imaging/bitmap.h"

namespace skewtrim::testing {

namespace {

bool inside(const Block& b, double x, double y) {
    return x >= b.x0 && x < b.x1 && y >= b.y0 && y < b.y1;
}

// Print on the paper, in paper coordinates: the marker, the bar, a frame line
// and some lines of "text" made of short strokes.
bool ink_at(double x, double y, int pw, int ph) {
    if (inside(kMarker, x, y) || inside(kBar, x, y)) {
        return true;
    }
    if (x >= 70 && x < pw - 70 && ((y >= 260 && y < 264) || (y >= ph - 264 && y < ph - 260))) {
        return true;
    }
    if (x >= 120 && x < pw - 120 && y >= 340 && y < ph - 340) {
        const int line = static_cast<int>(y) / 48;
        const int inLine = static_cast<int>(y) % 48;
        const int cell = static_cast<int>(x) / 22;
        const int inCell = static_cast<int>(x) % 22;
        if (line % 3 != 2 && inLine >= 14 && inLine < 34 && inCell < 12 && ((cell * 7 + line * 3) % 5) != 0) {
            return inCell < 3 || inLine < 17 || (cell + line) % 3 == 0;
        }
    }
    return false;
}

}  // namespace

Bitmap render_ticket(const TicketScene& s, int bitCount) {
    Bitmap bmp{};
    if (bitmap_new(&bmp, s.imageWidth, s.imageHeight, bitCount, bitCount != 1) != kOk) {
        std::abort();
    }
    const double cx = s.centreX >= 0 ? s.centreX : s.imageWidth / 2.0;
    const double cy = s.centreY >= 0 ? s.centreY : s.imageHeight / 2.0;
    const double a = s.degrees * 3.14159265358979323846 / 180.0;
    const double c = std::cos(a);
    const double sn = std::sin(a);
    const double hw = s.paperWidth / 2.0;
    const double hh = s.paperHeight / 2.0;
    unsigned state = s.seed * 747796405u + 2891336453u;
    for (int y = 0; y < s.imageHeight; ++y) {
        std::uint8_t* row = bmp.rows[y];
        for (int x = 0; x < s.imageWidth; ++x) {
            const double dx = x + 0.5 - cx;
            const double dy = y + 0.5 - cy;
            // Paper coordinates of the pixel centre (turn back by the angle).
            const double px = dx * c + dy * sn + hw;
            const double py = -dx * sn + dy * c + hh;
            // Coverage of the paper, blended over about one pixel like a scanner's optics.
            const double edge = std::min({px, s.paperWidth - px, py, s.paperHeight - py});
            const double cover = std::clamp(edge + 0.5, 0.0, 1.0);
            double grey = s.background;
            if (cover > 0.0) {
                const int paperGrey = ink_at(px, py, s.paperWidth, s.paperHeight) ? s.ink : s.paper;
                grey = s.background + (paperGrey - s.background) * cover;
            }
            state = state * 1103515245u + 12345u;
            if (bitCount == 1) {
                put_bit(row, x, grey > 128);
                continue;
            }
            const int amplitude = cover > 0.0 ? s.noise : s.backgroundNoise;
            const int noise =
                amplitude > 0 ? static_cast<int>((state >> 16) % (2 * amplitude + 1)) - amplitude : 0;
            const int v = std::clamp(static_cast<int>(grey + 0.5) + noise, 0, 255);
            if (bitCount == 8) {
                row[x] = static_cast<std::uint8_t>(v);
            } else {
                // A slightly warm paper: blue, green, red.
                row[3 * x] = static_cast<std::uint8_t>(std::max(v - 6, 0));
                row[3 * x + 1] = static_cast<std::uint8_t>(v);
                row[3 * x + 2] = static_cast<std::uint8_t>(std::min(v + 4, 255));
            }
        }
    }
    return bmp;
}

double block_mean(const Bitmap& bmp, int x0, int y0, int x1, int y1) {
    double sum = 0.0;
    int n = 0;
    for (int y = std::max(y0, 0); y < std::min(y1, bmp.height); ++y) {
        for (int x = std::max(x0, 0); x < std::min(x1, bmp.width); ++x) {
            const std::uint8_t* row = bmp.rows[y];
            if (bmp.bitCount == 1) {
                sum += bit_at(row, x) ? 255 : 0;
            } else if (bmp.bitCount == 8) {
                sum += row[x];
            } else {
                sum += row[3 * x + 1];
            }
            ++n;
        }
    }
    return n > 0 ? sum / n : -1.0;
}

}  // namespace skewtrim::testing
