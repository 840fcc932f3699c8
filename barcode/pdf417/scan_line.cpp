#include "barcode/pdf417/scan_line.h"

#include <cmath>
#include <cstdlib>

#include "barcode/common/runs.h"

namespace pdf417 {

long isqrt_round(long long v) {
    if (v <= 0) return 0;
    long long s = static_cast<long long>(std::sqrt(static_cast<double>(v)));
    while (s * s > v) --s;
    while ((s + 1) * (s + 1) <= v) ++s;
    // (s + 0.5)^2 = s^2 + s + 0.25
    if (v - s * s > s) ++s;
    return static_cast<long>(s);
}

namespace {

// Cuts pixels fed one by one into alternating element widths, element 0 light and
// already holding the phantom first step on the start pixel. add() is false once the list
// holds kMaxElements; finish() closes the last element.
struct ElementCutter {
    ElementList& out;
    bool isDark = false;
    int run = 1;

    bool add(bool dark) {
        if (dark == isDark) {
            ++run;
            return true;
        }
        out.width[out.count++] = run;
        if (out.count == kMaxElements) return false;
        isDark = dark;
        run = 1;
        return true;
    }
    void finish() { out.width[out.count++] = run; }
};

// Cuts `steps` pixels, pixel i being dark when dark_at(i), into elements as above.
template <class DarkAt>
void collect_elements(int steps, DarkAt darkAt, ElementList& out) {
    ElementCutter cut{out};
    for (int i = 0; i < steps; ++i)
        if (!cut.add(darkAt(i))) return;
    cut.finish();
}

}  // namespace

void scan_line(const ImageView& image, int x, int y, int dx, int dy, ElementList& out) {
    out.count = 0;
    long length = isqrt_round(static_cast<long long>(dx) * dx + static_cast<long long>(dy) * dy);
    if (length <= 0 || !image.inside(x, y)) return;
    const long adx = std::labs(dx), ady = std::labs(dy);
    const int sx = dx > 0 ? 1 : -1, sy = dy > 0 ? 1 : -1;

    if (ady == 0 && adx > 0) {
        // Straight along a row: the first step stays on the start pixel, then one pixel per
        // step. Going right, whole bytes of the current colour are taken at once.
        const uint8_t* row = image.rows + static_cast<size_t>(y) * static_cast<size_t>(image.stride);
        if (sx > 0) {
            // Rightwards the shared row cutter takes whole bytes of one colour at once; the
            // phantom first step belongs to element 0, which is light.
            bool firstDark = false;
            if (image.dark(x, y)) {
                out.width[0] = 1;
                out.count = 1 + barcode::row_run_lengths(row, image.width, x, out.width + 1, kMaxElements - 1,
                                                         firstDark);
            } else {
                out.count = barcode::row_run_lengths(row, image.width, x, out.width, kMaxElements, firstDark);
                out.width[0] += 1;
            }
            return;
        }
        const uint8_t* bytes = row;
        collect_elements(
            x + 1, [bytes, x](int i) { return !(bytes[(x - i) >> 3] & (0x80 >> ((x - i) & 7))); }, out);
        return;
    }
    if (adx == 0 && ady > 0) {
        // Straight down or up a column, likewise.
        const size_t stride = static_cast<size_t>(image.stride);
        const uint8_t mask = static_cast<uint8_t>(0x80 >> (x & 7));
        const uint8_t* column = image.rows + (x >> 3);
        const int steps = sy > 0 ? image.height - y : y + 1;
        collect_elements(
            steps, [=](int i) { return !(column[static_cast<size_t>(y + i * sy) * stride] & mask); }, out);
        return;
    }

    long ax = 0, ay = 0;
    ElementCutter cut{out};
    for (;;) {
        ax += adx;
        ay += ady;
        if (ax > length) {
            ax -= length;
            x += sx;
        }
        if (ay > length) {
            ay -= length;
            y += sy;
        }
        if (!image.inside(x, y)) break;
        if (!cut.add(image.dark(x, y))) return;
    }
    cut.finish();
}

void merge_noise(ElementList& list, int noise) {
    list.count = static_cast<int>(barcode::merge_narrow_runs(list.width, static_cast<std::size_t>(list.count),
                                                             noise, [](int& w) -> int& { return w; }));
}

}  // namespace pdf417
