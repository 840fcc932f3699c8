#include "marks/handwritten/preparation.h"

#include <cstring>
#include <new>
#include <vector>

#include "marks/handwritten/Inkmark.h"

namespace inkmark {

namespace {

struct ModeScale {
    int nativeDpi;
    int nativeDotsPerMm;
    double millimetresPerDot;  // the width factor's second term
    int heightFactor;
};

bool mode_scale(int scanMode, ModeScale& m) {
    switch (scanMode) {
        case INKMARK_SCAN_8DPM_DOUBLED:
            m = {200, 8, 0.127, 2};
            return true;
        case INKMARK_SCAN_8DPM:
            m = {200, 8, 0.127, 1};
            return true;
        case INKMARK_SCAN_12DPM_TRIPLED:
            m = {300, 12, 0.08466666666666667, 3};
            return true;
        case INKMARK_SCAN_12DPM:
            m = {300, 12, 0.08466666666666667, 1};
            return true;
        case INKMARK_SCAN_12DPM_DOUBLED:
            m = {300, 12, 0.08466666666666667, 2};
            return true;
        default:
            return false;
    }
}

// Each byte's eight pixels as eight bytes of 0 or 1, in memory order.
struct ExpandTable {
    std::uint64_t entry[256];
    constexpr ExpandTable() : entry() {
        for (int v = 0; v < 256; ++v) {
            std::uint64_t e = 0;
            for (int bit = 0; bit < 8; ++bit)
                if ((v >> (7 - bit)) & 1) e |= std::uint64_t{1} << (8 * bit);
            entry[v] = e;
        }
    }
    std::uint64_t operator[](std::uint8_t v) const { return entry[v]; }
};
constexpr ExpandTable kExpand;

// Source index for each destination index: ftol(i x n / n' + 0.5), at most n - 1.
std::vector<int> sample_map(int source, int target) {
    std::vector<int> map(static_cast<std::size_t>(target));
    const double step = static_cast<double>(source) / static_cast<double>(target);
    for (int i = 0; i < target; ++i) {
        int s = static_cast<int>(i * step + 0.5);
        if (s > source - 1) s = source - 1;
        map[static_cast<std::size_t>(i)] = s;
    }
    return map;
}

}  // namespace

bool working_size(int scanMode, int width, int height, int& outWidth, int& outHeight) {
    ModeScale m;
    if (!mode_scale(scanMode, m) || width <= 0 || height <= 0) return false;
    const double w = static_cast<double>(width) * m.nativeDotsPerMm * m.millimetresPerDot;
    const std::int64_t targetWidth = static_cast<std::int64_t>(w);
    const std::int64_t targetHeight = static_cast<std::int64_t>(height) * m.heightFactor;
    const std::int64_t ww = targetWidth * 200 / m.nativeDpi;
    const std::int64_t hh = targetHeight * 200 / m.nativeDpi;
    if (ww <= 0 || hh <= 0 || ww > 0x7FFFFFFF || hh > 0x7FFFFFFF) return false;
    outWidth = static_cast<int>(ww);
    outHeight = static_cast<int>(hh);
    return true;
}

bool resample_to_working(const marks::Image& copy, int scanMode, marks::Image& out) {
    if (copy.empty() || (copy.bitCount != 1 && copy.bitCount != 8)) return false;
    int w2 = 0, h2 = 0;
    if (!working_size(scanMode, copy.width, copy.height, w2, h2)) return false;
    if (!out.create(w2, h2, copy.bitCount)) return false;
    try {
        const std::vector<int> columns = sample_map(copy.width, w2);
        const std::vector<int> rows = sample_map(copy.height, h2);
        std::vector<std::uint8_t> expanded;
        if (copy.bitCount == 1) expanded.resize(static_cast<std::size_t>(copy.stride) * 8);
        int previous = -1;
        for (int j = 0; j < h2; ++j) {
            const int sy = rows[static_cast<std::size_t>(j)];
            std::uint8_t* dst = out.row(j);
            if (sy == previous) {
                std::memcpy(dst, out.row(j - 1), static_cast<std::size_t>(out.stride));
                continue;
            }
            previous = sy;
            const std::uint8_t* src = copy.row(sy);
            if (copy.bitCount == 8) {
                for (int i = 0; i < w2; ++i) dst[i] = src[columns[static_cast<std::size_t>(i)]];
                continue;
            }
            // One byte per pixel, eight at a time.
            for (int b = 0; b < copy.stride; ++b) {
                const std::uint64_t eight = kExpand[src[b]];
                const std::size_t at = static_cast<std::size_t>(b) * 8;
                std::memcpy(expanded.data() + at, &eight, 8);
            }
            const std::uint8_t* e = expanded.data();
            const int* col = columns.data();
            int i = 0;
            for (; i + 8 <= w2; i += 8, col += 8) {
                dst[i >> 3] = static_cast<std::uint8_t>(e[col[0]] << 7 | e[col[1]] << 6 | e[col[2]] << 5 |
                                                        e[col[3]] << 4 | e[col[4]] << 3 | e[col[5]] << 2 |
                                                        e[col[6]] << 1 | e[col[7]]);
            }
            if (i < w2) {
                unsigned byte = 0;
                for (int b = 0; b < 8; ++b) byte = (byte << 1) | (i + b < w2 ? e[col[b]] : 0u);
                dst[i >> 3] = static_cast<std::uint8_t>(byte);
            }
        }
    } catch (const std::bad_alloc&) {
        out.clear();
        return false;
    }
    return true;
}

bool threshold_grey(const marks::Image& grey, int level, marks::Image& out) {
    if (grey.empty() || grey.bitCount != 8) return false;
    if (!out.create(grey.width, grey.height, 1)) return false;
    const unsigned limit = static_cast<unsigned>(level) & 0xFFu;
    for (int y = 0; y < grey.height; ++y) {
        const std::uint8_t* src = grey.row(y);
        std::uint8_t* dst = out.row(y);
        for (int x = 0; x < grey.width; ++x)
            if (src[x] > limit) dst[x >> 3] |= static_cast<std::uint8_t>(0x80u >> (x & 7));
    }
    return true;
}

}  // namespace inkmark
