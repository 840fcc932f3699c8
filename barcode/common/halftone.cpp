#include "barcode/common/halftone.h"

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstring>

namespace barcode {
namespace {

constexpr int kHalftoneSampleRows = 8;       // every eighth row is counted
constexpr double kDitheredLoneShare = 0.01;  // lone pixels per pixel from which a page is dithered
constexpr int kPeriodSampleRows = 8;         // every eighth row is compared for the pattern period
constexpr int kMaxPeriod = 8;                // pixels: the largest ordered pattern looked for
// Differences at a pattern period against the mean of those one pixel nearer and farther: an
// ordered page dips to 0.3-0.8, error diffusion and thresholded pages stay about 1.
constexpr double kPeriodDip = 0.85;
// Differences at 8 against those at 4 below which the pattern is one of 8 pixels.
constexpr double kHalfRepeats = 0.7;

inline int bit(const std::uint8_t* row, int x) {
    return (row[x >> 3] >> (7 - (x & 7))) & 1;
}

// Unpacks row y (clamped to the page) into one byte per pixel, with the nearest border pixel
// repeated `border` times on each side: pixel x at out[x + border].
void unpack_row(const std::uint8_t* bits, int width, int height, int stride, int y, int border,
                std::vector<std::uint8_t>& out) {
    y = std::clamp(y, 0, height - 1);
    const std::uint8_t* row = bits + static_cast<std::ptrdiff_t>(y) * stride;
    out.resize(static_cast<std::size_t>(width + 2 * border));
    for (int x = 0; x < width; ++x)
        out[static_cast<std::size_t>(x + border)] = static_cast<std::uint8_t>(bit(row, x));
    for (int k = 0; k < border; ++k) {
        out[static_cast<std::size_t>(k)] = out[static_cast<std::size_t>(border)];
        out[static_cast<std::size_t>(width + border + k)] = out[static_cast<std::size_t>(width + border - 1)];
    }
}

// Bytes i .. i + 7 of a row as one word, byte i in the highest bits; bytes from `bytes` on are 0.
std::uint64_t load_word(const std::uint8_t* row, int i, int bytes) {
    std::uint64_t word = 0;
    if (i + 8 <= bytes) {
        std::memcpy(&word, row + i, 8);
        return std::endian::native == std::endian::little ? __builtin_bswap64(word) : word;
    }
    for (int k = 0; k < 8; ++k) word = (word << 8) | (i + k < bytes ? row[i + k] : 0u);
    return word;
}

// The page unpacked to one byte per pixel, 1 where the bit is 1.
std::vector<std::uint8_t> unpack_page(const std::uint8_t* bits, int width, int height, int stride) {
    std::vector<std::uint8_t> page(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* row = bits + static_cast<std::ptrdiff_t>(y) * stride;
        std::uint8_t* to = page.data() + static_cast<std::ptrdiff_t>(y) * width;
        int x = 0;
        for (; x + 8 <= width; x += 8) {
            const unsigned byte = row[x >> 3];
            for (int k = 0; k < 8; ++k) to[x + k] = static_cast<std::uint8_t>((byte >> (7 - k)) & 1u);
        }
        for (; x < width; ++x) to[x] = static_cast<std::uint8_t>(bit(row, x));
    }
    return page;
}

}  // namespace

double lone_pixel_share(const std::uint8_t* bits, int width, int height, int stride) {
    if (!bits || width < 3 || height < 3 || stride * 8 < width) return 0.0;
    // 64 pixels at a time, the first in the highest bit: a bit is lone where it differs from the
    // bits of the pixels left, right, above and below it. Pixels 1 .. width - 2 are counted.
    const int bytes = (width + 7) / 8;
    const int last = width - 2;
    long long lone = 0, counted = 0;
    for (int y = 1; y + 1 < height; y += kHalftoneSampleRows) {
        const std::uint8_t* above = bits + static_cast<std::ptrdiff_t>(y - 1) * stride;
        const std::uint8_t* row = above + stride;
        const std::uint8_t* below = row + stride;
        for (int i = 0; i < bytes; i += 8) {
            const std::uint64_t c = load_word(row, i, bytes);
            const std::uint64_t before = i > 0 ? row[i - 1] & 1u : 0u;
            const std::uint64_t after = i + 8 < bytes ? row[i + 8] >> 7 : 0u;
            const std::uint64_t left = (c >> 1) | (before << 63);
            const std::uint64_t right = (c << 1) | after;
            std::uint64_t mask = (c ^ left) & (c ^ right) & (c ^ load_word(above, i, bytes)) &
                                 (c ^ load_word(below, i, bytes));
            if (i == 0) mask &= ~(std::uint64_t{1} << 63);  // pixel 0 has no left neighbour
            const int kept = last - 8 * i + 1;              // pixels of this word up to the last counted
            if (kept < 64) mask &= kept > 0 ? ~std::uint64_t{0} << (64 - kept) : 0u;
            lone += std::popcount(mask);
        }
        counted += width - 2;
    }
    return counted > 0 ? static_cast<double>(lone) / static_cast<double>(counted) : 0.0;
}

bool looks_dithered(double loneShare) {
    return loneShare >= kDitheredLoneShare;
}

void smooth_halftone(const std::uint8_t* bits, int width, int height, int stride,
                     std::vector<std::uint8_t>& out, int reach) {
    out.assign(bits, bits + static_cast<std::ptrdiff_t>(stride) * height);
    if (width < 1 || height < 1) return;
    static constexpr int kNear[] = {1, 2, 1};
    static constexpr int kWide[] = {1, 4, 6, 4, 1};
    reach = reach >= 2 ? 2 : 1;
    const int* weight = reach == 2 ? kWide : kNear;
    const int half = reach == 2 ? 128 : 8;  // half of the weights' sum, 16 x 16 or 4 x 4
    std::vector<std::vector<std::uint8_t>> rows(static_cast<std::size_t>(2 * reach + 1));
    std::vector<int> column(static_cast<std::size_t>(width) + 2 * reach);
    for (int y = 0; y < height; ++y) {
        for (int k = -reach; k <= reach; ++k)
            unpack_row(bits, width, height, stride, y + k, reach, rows[static_cast<std::size_t>(k + reach)]);
        // Weighted count of the pixels whose bit is 1: down each column, then across.
        for (std::size_t x = 0; x < column.size(); ++x) {
            int sum = 0;
            for (int k = 0; k <= 2 * reach; ++k) sum += weight[k] * rows[static_cast<std::size_t>(k)][x];
            column[x] = sum;
        }
        const std::vector<std::uint8_t>& own = rows[static_cast<std::size_t>(reach)];
        std::uint8_t* row = out.data() + static_cast<std::ptrdiff_t>(y) * stride;
        for (int x = 0; x < width; ++x) {
            int ones = 0;
            for (int k = 0; k <= 2 * reach; ++k) ones += weight[k] * column[static_cast<std::size_t>(x + k)];
            int v = own[static_cast<std::size_t>(x + reach)];
            if (ones > half)
                v = 1;
            else if (ones < half)
                v = 0;
            const std::uint8_t mask = static_cast<std::uint8_t>(0x80u >> (x & 7));
            std::uint8_t& byte = row[x >> 3];
            byte = v ? static_cast<std::uint8_t>(byte | mask) : static_cast<std::uint8_t>(byte & ~mask);
        }
    }
}

int ordered_period(const std::uint8_t* bits, int width, int height, int stride) {
    const int reach = kMaxPeriod + 1;  // lags 1 .. 9 across and down
    if (!bits || width <= reach || height <= reach || stride * 8 < width) return 0;
    long long differ[kMaxPeriod + 2] = {};
    std::vector<std::vector<std::uint8_t>> rows(static_cast<std::size_t>(reach + 1));
    for (int y = 0; y + reach < height; y += kPeriodSampleRows) {
        for (int k = 0; k <= reach; ++k)
            unpack_row(bits, width, height, stride, y + k, 0, rows[static_cast<std::size_t>(k)]);
        const std::uint8_t* row = rows[0].data();
        for (int lag = 1; lag <= reach; ++lag) {
            const std::uint8_t* down = rows[static_cast<std::size_t>(lag)].data();
            long long n = 0;
            for (int x = 0; x + reach < width; ++x) n += (row[x] != row[x + lag]) + (row[x] != down[x]);
            differ[lag] += n;
        }
    }
    auto dip = [&differ](int p) {
        const double beside = 0.5 * static_cast<double>(differ[p - 1] + differ[p + 1]);
        return beside > 0 ? static_cast<double>(differ[p]) / beside : 1.0;
    };
    // Lag 8 is a multiple of a 4 x 4 (or 2 x 2) pattern as well: only a pattern of 8 whose half
    // does not repeat differs clearly less at 8 than at 4. A pattern of 2 repeats at 4.
    if (dip(8) < kPeriodDip && static_cast<double>(differ[8]) < kHalfRepeats * static_cast<double>(differ[4]))
        return 8;
    return dip(4) < kPeriodDip ? 4 : 0;
}

void descreen_ordered(const std::uint8_t* bits, int width, int height, int stride, int period, bool upright,
                      std::vector<std::uint8_t>& out) {
    out.assign(bits, bits + static_cast<std::ptrdiff_t>(stride) * height);
    if (width < 1 || height < 1 || period < 1) return;
    const std::vector<std::uint8_t> page = unpack_page(bits, width, height, stride);
    auto pixel = [&](int x, int y) {
        return page[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                    static_cast<std::size_t>(x)];
    };
    // along[y * width + x]: the ones over the period along the bars, from period / 2 before the
    // pixel; pixels beyond the page count as the nearest border pixel.
    const int before = period / 2, after = period - period / 2;  // window [-before, after)
    std::vector<std::uint8_t> along(page.size());
    if (upright) {
        std::vector<int> column(static_cast<std::size_t>(width), 0);
        for (int j = -before; j < after; ++j)
            for (int x = 0; x < width; ++x)
                column[static_cast<std::size_t>(x)] += pixel(x, std::clamp(j, 0, height - 1));
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x)
                along[static_cast<std::size_t>(y) * width + x] =
                    static_cast<std::uint8_t>(column[static_cast<std::size_t>(x)]);
            const int leaving = std::clamp(y - before, 0, height - 1),
                      coming = std::clamp(y + after, 0, height - 1);
            for (int x = 0; x < width; ++x)
                column[static_cast<std::size_t>(x)] += pixel(x, coming) - pixel(x, leaving);
        }
    } else {
        for (int y = 0; y < height; ++y) {
            int sum = 0;
            for (int j = -before; j < after; ++j) sum += pixel(std::clamp(j, 0, width - 1), y);
            for (int x = 0; x < width; ++x) {
                along[static_cast<std::size_t>(y) * width + x] = static_cast<std::uint8_t>(sum);
                sum += pixel(std::clamp(x + after, 0, width - 1), y) -
                       pixel(std::clamp(x - before, 0, width - 1), y);
            }
        }
    }
    const int half = 2 * period;  // half of the weights' sum, 4 x period
    std::vector<int> ones(static_cast<std::size_t>(width));
    for (int y = 0; y < height; ++y) {
        // 1 2 1 across the bars: neighbours in the row when upright, else the rows above and below.
        const std::uint8_t* own = along.data() + static_cast<std::ptrdiff_t>(y) * width;
        if (upright) {
            for (int x = 0; x < width; ++x)
                ones[static_cast<std::size_t>(x)] =
                    own[std::max(x - 1, 0)] + 2 * own[x] + own[std::min(x + 1, width - 1)];
        } else {
            const std::uint8_t* up = along.data() + static_cast<std::ptrdiff_t>(std::max(y - 1, 0)) * width;
            const std::uint8_t* down =
                along.data() + static_cast<std::ptrdiff_t>(std::min(y + 1, height - 1)) * width;
            for (int x = 0; x < width; ++x) ones[static_cast<std::size_t>(x)] = up[x] + 2 * own[x] + down[x];
        }
        std::uint8_t* row = out.data() + static_cast<std::ptrdiff_t>(y) * stride;
        for (int x = 0; x < width; ++x) {
            const int n = ones[static_cast<std::size_t>(x)];
            const int v = n > half ? 1 : (n < half ? 0 : pixel(x, y));
            const std::uint8_t mask = static_cast<std::uint8_t>(0x80u >> (x & 7));
            std::uint8_t& byte = row[x >> 3];
            byte = v ? static_cast<std::uint8_t>(byte | mask) : static_cast<std::uint8_t>(byte & ~mask);
        }
    }
}

void descreen_blocks(const std::uint8_t* bits, int width, int height, int stride,
                     std::vector<std::uint8_t>& out) {
    out.assign(bits, bits + static_cast<std::ptrdiff_t>(stride) * height);
    if (width < 1 || height < 1) return;
    std::vector<std::uint8_t> above, own;
    for (int y = 0; y < height; ++y) {
        unpack_row(bits, width, height, stride, y - 1, 1, above);
        unpack_row(bits, width, height, stride, y, 1, own);
        std::uint8_t* row = out.data() + static_cast<std::ptrdiff_t>(y) * stride;
        for (int x = 0; x < width; ++x) {
            // Pixel x at index x + 1; its left neighbour at x.
            const int ones = above[static_cast<std::size_t>(x)] + above[static_cast<std::size_t>(x + 1)] +
                             own[static_cast<std::size_t>(x)] + own[static_cast<std::size_t>(x + 1)];
            const int v = ones > 2 ? 1 : (ones < 2 ? 0 : own[static_cast<std::size_t>(x + 1)]);
            const std::uint8_t mask = static_cast<std::uint8_t>(0x80u >> (x & 7));
            std::uint8_t& byte = row[x >> 3];
            byte = v ? static_cast<std::uint8_t>(byte | mask) : static_cast<std::uint8_t>(byte & ~mask);
        }
    }
}

}  // namespace barcode
