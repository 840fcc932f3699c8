#include "barcode/pdf417/scan_line.h"

#include <cmath>
#include <cstdlib>

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

void scan_line(const ImageView &image, int x, int y, int dx, int dy, ElementList &out) {
    out.count = 0;
    long length = isqrt_round(static_cast<long long>(dx) * dx + static_cast<long long>(dy) * dy);
    if (length <= 0 || !image.inside(x, y)) return;
    const long adx = std::labs(dx), ady = std::labs(dy);
    const int sx = dx > 0 ? 1 : -1, sy = dy > 0 ? 1 : -1;

    if (ady == 0 && adx > 0) {
        // Straight along a row: the first step stays on the start pixel, then one pixel per
        // step. Going right, whole bytes of the current colour are taken at once.
        const uint8_t *row = image.rows + static_cast<size_t>(y) * static_cast<size_t>(image.stride);
        bool isDark = false;
        int run = 1;
        for (; x >= 0 && x < image.width;) {
            if (sx > 0 && (x & 7) == 0 && x + 8 <= image.width && row[x >> 3] == (isDark ? 0x00 : 0xFF)) {
                run += 8;
                x += 8;
                continue;
            }
            const bool d = !(row[x >> 3] & (0x80 >> (x & 7)));
            x += sx;
            if (d == isDark) {
                ++run;
                continue;
            }
            out.width[out.count++] = run;
            if (out.count == kMaxElements) return;
            isDark = d;
            run = 1;
        }
        out.width[out.count++] = run;
        return;
    }
    if (adx == 0 && ady > 0) {
        // Straight down or up a column, likewise.
        const size_t stride = static_cast<size_t>(image.stride);
        const uint8_t mask = static_cast<uint8_t>(0x80 >> (x & 7));
        const uint8_t *column = image.rows + (x >> 3);
        bool isDark = false;
        int run = 1;
        for (; y >= 0 && y < image.height; y += sy) {
            const bool d = !(column[static_cast<size_t>(y) * stride] & mask);
            if (d == isDark) {
                ++run;
                continue;
            }
            out.width[out.count++] = run;
            if (out.count == kMaxElements) return;
            isDark = d;
            run = 1;
        }
        out.width[out.count++] = run;
        return;
    }

    long ax = 0, ay = 0;
    bool isDark = false;
    int run = 1;
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
        bool d = image.dark(x, y);
        if (d == isDark) {
            ++run;
            continue;
        }
        out.width[out.count++] = run;
        if (out.count == kMaxElements) return;
        isDark = d;
        run = 1;
    }
    out.width[out.count++] = run;
}

void merge_noise(ElementList &list, int noise) {
    if (noise <= 0 || list.count < 3) return;
    int n = list.count;
    int kept = 1;  // element 0 stays
    int i = 1;
    for (; i <= n - 2; ++i) {
        int w = list.width[i];
        if (w > noise) {
            list.width[kept++] = w;
        } else {
            list.width[kept - 1] += w + list.width[i + 1];
            ++i;  // the element after it went with it
        }
    }
    if (i == n - 1) list.width[kept++] = list.width[n - 1];
    list.count = kept;
}

}  // namespace pdf417
