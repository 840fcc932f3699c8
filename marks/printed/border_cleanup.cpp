#include "marks/printed/border_cleanup.h"

#include <algorithm>
#include <vector>

namespace typemark {

namespace {

// A line whose first pixels from the edge are all light counts as clean.
constexpr int kEarlyStopPixels = 4;
// Cleaning walks inward until it has passed more than this many light pixels.
constexpr int kMaxLightPassed = 3;

// Dark-pixel count of one line from its edge; `at(i)` tells whether the i-th pixel
// from the edge is dark.
template <typename DarkAt>
int edge_count(int depth, DarkAt at) {
    int count = 0;
    for (int i = 0; i < depth; ++i) {
        if (at(i)) ++count;
        if (i + 1 == kEarlyStopPixels && count == 0) return 0;
    }
    return count;
}

// The count limit below which a line is cleaned: half the largest count when that
// exceeds dpm, else one more than it.
int clean_limit(const std::vector<int>& counts, int depth, int dpm) {
    std::vector<int> histogram(static_cast<std::size_t>(depth) + 1, 0);
    for (int c : counts) ++histogram[static_cast<std::size_t>(c)];
    int largest = 0;
    for (int c = depth; c > 0; --c) {
        if (histogram[static_cast<std::size_t>(c)] > 0) { largest = c; break; }
    }
    return largest > dpm ? largest / 2 : largest + 1;
}

template <typename DarkAt, typename Lighten>
void clean_line(int depth, DarkAt at, Lighten lighten) {
    int lightPassed = 0;
    for (int i = 0; i < depth; ++i) {
        if (at(i)) {
            lighten(i);
        } else if (++lightPassed > kMaxLightPassed) {
            return;
        }
    }
}

}  // namespace

void clean_borders(WorkingImage& img, int depth, int dpm) {
    const int w = img.width(), h = img.height();
    if (w <= 0 || h <= 0) return;
    // Padding bits beyond the last column are light.
    if (w % 8 != 0) {
        const auto pad = static_cast<std::uint8_t>(0xFFu >> (w % 8));
        for (int y = 0; y < h; ++y) img.row(y)[img.stride() - 1] |= pad;
    }

    // Left and right: both counted before either is cleaned.
    const int dx = std::min(depth, w);
    std::vector<int> left(static_cast<std::size_t>(h)), right(static_cast<std::size_t>(h));
    for (int y = 0; y < h; ++y) {
        left[static_cast<std::size_t>(y)] = edge_count(dx, [&](int i) { return img.dark(i, y); });
        right[static_cast<std::size_t>(y)] = edge_count(dx, [&](int i) { return img.dark(w - 1 - i, y); });
    }
    const int limitL = clean_limit(left, dx, dpm);
    for (int y = 0; y < h; ++y) {
        const int c = left[static_cast<std::size_t>(y)];
        if (c > 0 && c < limitL)
            clean_line(dx, [&](int i) { return img.dark(i, y); }, [&](int i) { img.set_light(i, y); });
    }
    const int limitR = clean_limit(right, dx, dpm);
    for (int y = 0; y < h; ++y) {
        const int c = right[static_cast<std::size_t>(y)];
        if (c > 0 && c < limitR)
            clean_line(dx, [&](int i) { return img.dark(w - 1 - i, y); },
                       [&](int i) { img.set_light(w - 1 - i, y); });
    }

    // First and last stored rows, per column: both counted after the side cleaning.
    const int dy = std::min(depth, h);
    std::vector<int> first(static_cast<std::size_t>(w)), last(static_cast<std::size_t>(w));
    for (int x = 0; x < w; ++x) {
        first[static_cast<std::size_t>(x)] = edge_count(dy, [&](int i) { return img.dark(x, i); });
        last[static_cast<std::size_t>(x)] = edge_count(dy, [&](int i) { return img.dark(x, h - 1 - i); });
    }
    const int limitF = clean_limit(first, dy, dpm);
    for (int x = 0; x < w; ++x) {
        const int c = first[static_cast<std::size_t>(x)];
        if (c > 0 && c < limitF)
            clean_line(dy, [&](int i) { return img.dark(x, i); }, [&](int i) { img.set_light(x, i); });
    }
    const int limitT = clean_limit(last, dy, dpm);
    for (int x = 0; x < w; ++x) {
        const int c = last[static_cast<std::size_t>(x)];
        if (c > 0 && c < limitT)
            clean_line(dy, [&](int i) { return img.dark(x, h - 1 - i); },
                       [&](int i) { img.set_light(x, h - 1 - i); });
    }
}

}  // namespace typemark
