#include "marks/common/border_cleanup.h"

#include <algorithm>
#include <vector>

namespace marks {

namespace {

// A walk stops counting once this many pixels have passed without a dark one.
constexpr int kEmptyLead = 4;
// Cleaning stops once more than this many already-light pixels were passed.
constexpr int kLightRun = 3;

// One border: line l (row or column) and step i inward address pixel
// pixel(l, i); `lines` lines, strips `depth` deep.
template <typename Pixel>
std::vector<int> count_strip(int lines, int depth, Pixel&& isDark) {
    std::vector<int> counts(static_cast<std::size_t>(lines), 0);
    for (int l = 0; l < lines; ++l) {
        int count = 0;
        for (int i = 0; i < depth; ++i) {
            if (i == kEmptyLead && count == 0) break;
            if (isDark(l, i)) ++count;
        }
        counts[static_cast<std::size_t>(l)] = count;
    }
    return counts;
}

// The clean limit from the counts' histogram: lines with 0 < count < limit are cleaned.
int clean_limit(const std::vector<int>& counts, int depth, int dotsPerMm) {
    std::vector<int> histogram(static_cast<std::size_t>(depth) + 1, 0);
    for (int c : counts) ++histogram[static_cast<std::size_t>(c)];
    int largest = 0;
    for (int c = depth; c > 0; --c) {
        if (histogram[static_cast<std::size_t>(c)] > 0) {
            largest = c;
            break;
        }
    }
    return largest > dotsPerMm ? largest / 2 : largest + 1;
}

template <typename Pixel, typename Lighten>
void clean_strip(const std::vector<int>& counts, int limit, int depth, Pixel&& isDark, Lighten&& lighten) {
    for (std::size_t l = 0; l < counts.size(); ++l) {
        if (counts[l] <= 0 || counts[l] >= limit) continue;
        int lightPassed = 0;
        const int line = static_cast<int>(l);
        for (int i = 0; i < depth; ++i) {
            if (isDark(line, i)) {
                lighten(line, i);
            } else if (++lightPassed > kLightRun) {
                break;
            }
        }
    }
}

}  // namespace

void clean_borders(Image& image, int dotsPerMm) {
    if (image.empty() || image.bitCount != 1 || dotsPerMm <= 0) return;
    lighten_row_padding(image);
    const int w = image.width;
    const int h = image.height;
    const int rowDepth = std::min(2 * dotsPerMm, w);
    const int colDepth = std::min(2 * dotsPerMm, h);

    auto leftDark = [&](int y, int i) { return image.dark(i, y); };
    auto rightDark = [&](int y, int i) { return image.dark(w - 1 - i, y); };
    auto leftLight = [&](int y, int i) { image.set_light(i, y); };
    auto rightLight = [&](int y, int i) { image.set_light(w - 1 - i, y); };

    // Both row counts come before any cleaning.
    const std::vector<int> left = count_strip(h, rowDepth, leftDark);
    const std::vector<int> right = count_strip(h, rowDepth, rightDark);
    clean_strip(left, clean_limit(left, rowDepth, dotsPerMm), rowDepth, leftDark, leftLight);
    clean_strip(right, clean_limit(right, rowDepth, dotsPerMm), rowDepth, rightDark, rightLight);

    auto firstDark = [&](int x, int i) { return image.dark(x, i); };
    auto lastDark = [&](int x, int i) { return image.dark(x, h - 1 - i); };
    auto firstLight = [&](int x, int i) { image.set_light(x, i); };
    auto lastLight = [&](int x, int i) { image.set_light(x, h - 1 - i); };

    // Both column counts come after the row cleaning.
    const std::vector<int> first = count_strip(w, colDepth, firstDark);
    const std::vector<int> last = count_strip(w, colDepth, lastDark);
    clean_strip(first, clean_limit(first, colDepth, dotsPerMm), colDepth, firstDark, firstLight);
    clean_strip(last, clean_limit(last, colDepth, dotsPerMm), colDepth, lastDark, lastLight);
}

}  // namespace marks
