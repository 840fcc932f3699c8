#include "barcode/linear/keys.h"

#include <algorithm>
#include <array>
#include <cstdlib>

namespace stripescan {
namespace {

constexpr int kMaxElements = 16;
constexpr int kMaxPairModules = 7;
// Tenths of a module of the two bars of an EAN digit that part 1 from 7 and 2 from 8, and the
// margin on either side within which neither is taken.
constexpr long long kBarsMiddleA = 41;
constexpr long long kBarsMiddleBC = 31;
constexpr long long kEanBarMargin = 3;

bool in_range(const RunList& runs, int i, int k) {
    return i >= 0 && k > 0 && k <= kMaxElements && i + k <= runs.size();
}

}  // namespace

std::optional<Key> width_sum_key(const RunList& runs, int i, int k, int modules) {
    if (!in_range(runs, i, k) || modules <= 0) return std::nullopt;
    long long total = 0;
    for (int j = 0; j < k; ++j) total += runs.length(i + j);
    if (total <= 0) return std::nullopt;
    const int module = static_cast<int>((total + modules / 2) / modules);
    std::uint64_t key = 0;
    for (int j = 1; j < k; ++j) {
        const long long s = runs.length(i + j - 1) + runs.length(i + j);
        const long long v = 10 * s * modules;
        int digit = 0;
        if (v % total == 0 && (v / total) % 10 == 5 && v / total >= 15 && v / total <= 75) {
            // Exactly on a bound: classify against the rounded module width.
            const long long t = 10 * s;
            if (t < 15LL * module) return std::nullopt;
            digit = 0;
            for (int d = 2; d <= kMaxPairModules; ++d) {
                if (t < (10LL * d + 5) * module) {
                    digit = d;
                    break;
                }
            }
            if (digit == 0) return std::nullopt;
        } else {
            if (v < 15 * total || v > 75 * total) return std::nullopt;
            for (int d = 2; d <= kMaxPairModules; ++d) {
                if (v > (10LL * d - 5) * total && v < (10LL * d + 5) * total) {
                    digit = d;
                    break;
                }
            }
            if (digit == 0) return std::nullopt;
        }
        key = key * 10 + static_cast<std::uint64_t>(digit);
    }
    return Key{key, module, static_cast<double>(total) / modules};
}

std::optional<std::uint64_t> element_width_key(const RunList& runs, int i, int k, int module) {
    if (!in_range(runs, i, k) || module <= 0) return std::nullopt;
    std::array<int, kMaxElements> rounded{};
    for (int j = 0; j < k; ++j) {
        const long long t = 10LL * runs.length(i + j);
        if (t < 5LL * module) return std::nullopt;
        int m = 0;
        for (int d = 1; d <= kMaxPairModules; ++d) {
            if (t < (10LL * d + 5) * module) {
                m = d;
                break;
            }
        }
        if (m == 0) return std::nullopt;
        rounded[j] = m;
    }
    std::uint64_t key = 0;
    for (int j = 1; j < k; ++j) key = key * 10 + static_cast<std::uint64_t>(rounded[j - 1] + rounded[j]);
    return key;
}

std::optional<std::uint64_t> ean_digit_key(const RunList& runs, int i, EanSet set, int inkGain) {
    if (!in_range(runs, i, 4)) return std::nullopt;
    const long long e0 = runs.length(i), e1 = runs.length(i + 1), e2 = runs.length(i + 2),
                    e3 = runs.length(i + 3);
    const long long total = e0 + e1 + e2 + e3;
    if (total <= 0) return std::nullopt;
    const long long t1 = set == EanSet::C ? e0 + e1 : e2 + e3;
    const long long t2 = e1 + e2;
    auto digit = [total](long long t) -> int {
        const long long v = 70 * t;
        if (v < 15 * total) return 0;
        for (int d = 2; d <= 5; ++d) {
            if (v < (10LL * d + 5) * total) return d;
        }
        return 0;
    };
    const int d1 = digit(t1);
    const int d2 = digit(t2);
    if (d1 == 0 || d2 == 0) return std::nullopt;
    std::uint64_t key = static_cast<std::uint64_t>(100 * d1 + 10 * d2);
    const long long bars = (set == EanSet::C ? e0 + e2 : e1 + e3) - inkGain;
    const long long r = 70 * bars / total;
    // Digits 1/7 and 2/8 share their sums; their bars are 3 against 5 modules in set A and
    // 4 against 2 in sets B and C (r counts tenths of a module). Too close to the middle, the
    // digit is not guessed.
    const long long middle = set == EanSet::A ? kBarsMiddleA : kBarsMiddleBC;
    const bool pair = set == EanSet::A ? (key == 340 || key == 430) : (key == 440 || key == 330);
    if (pair && r > middle - kEanBarMargin && r < middle + kEanBarMargin) return std::nullopt;
    if (set == EanSet::A) {
        if (key == 340)
            key = r < middle ? 341 : 347;
        else if (key == 430)
            key = r < middle ? 432 : 438;
    } else {
        if (key == 440)
            key = r < middle ? 447 : 441;
        else if (key == 330)
            key = r < middle ? 338 : 332;
    }
    return key;
}

namespace {

// A split of the sorted widths at the expected count must be this many times wider on its wide
// side than on its narrow side (tenths), and the wide elements at most kMaxSplitRatio tenths of
// the narrow ones on average: beyond that no printer's wide element is meant.
constexpr long long kMinSplitRatio = 15;
constexpr long long kMaxSplitRatio = 50;

// Narrow/wide classification by the split of the element's own widths: sorted, the `wide`
// largest must stand apart from the others by the largest gap of all, the gap must be decisive
// (the wide side at least 1.5 times the narrow side, and each side tighter than the gap between
// them), and the wide average at most 5 narrow averages. This reads symbols printed with any
// wide/narrow ratio; the expected count of wide elements is the symbology's structure that
// checks the split. Digits as classify_narrow_wide; nothing when the split is not clear.
// `sorted` is the same widths in ascending order.
std::optional<Key> split_sorted(const long long* width, const long long* sorted, int n, int wide,
                                long long scale, int* digits) {
    if (wide <= 0 || wide >= n) return std::nullopt;
    const int cut = n - wide;  // index of the narrowest wide element
    const long long minNarrow = sorted[0], maxNarrow = sorted[cut - 1];
    const long long minWide = sorted[cut], maxWide = sorted[n - 1];
    if (minNarrow <= 0) return std::nullopt;
    const long long gap = minWide - maxNarrow;
    for (int j = 1; j < n; ++j) {
        if (j != cut && sorted[j] - sorted[j - 1] >= gap) return std::nullopt;
    }
    if (10 * minWide < kMinSplitRatio * maxNarrow) return std::nullopt;
    // Each side's own spread (largest over smallest) below the ratio across the gap.
    if (maxNarrow * maxNarrow >= minWide * minNarrow) return std::nullopt;
    if (maxWide * maxNarrow >= minWide * minWide) return std::nullopt;
    long long narrowSum = 0, wideSum = 0;
    for (int j = 0; j < cut; ++j) narrowSum += sorted[j];
    for (int j = cut; j < n; ++j) wideSum += sorted[j];
    // Mean wide over mean narrow, in tenths.
    if (10 * wideSum * cut > kMaxSplitRatio * narrowSum * wide) return std::nullopt;
    std::uint64_t key = 0;
    for (int j = 0; j < n; ++j) {
        digits[j] = width[j] >= minWide ? 2 : 1;
        key = key * 10 + static_cast<std::uint64_t>(digits[j]);
    }
    const long long nr = 10 * narrowSum / cut;
    return Key{key, static_cast<int>(nr / (10 * scale)), nr / (10.0 * scale)};
}

std::optional<Key> split_narrow_wide(const long long* width, int n, int wide, long long scale, int* digits) {
    if (n > kMaxElements) return std::nullopt;
    std::array<long long, kMaxElements> sorted{};
    std::copy(width, width + n, sorted.begin());
    std::sort(sorted.begin(), sorted.begin() + n);
    return split_sorted(width, sorted.data(), n, wide, scale, digits);
}

// Narrow/wide classification of n widths (any unit, `scale` units per length unit); the digit
// of each element in `digits` (1 narrow, 2 wide).
std::optional<Key> classify_narrow_wide(const long long* width, int n, int wide, long long scale,
                                        int* digits) {
    std::array<long long, kMaxElements> sorted{};
    std::copy(width, width + n, sorted.begin());
    std::sort(sorted.begin(), sorted.begin() + n);
    auto sum = [&](int from, int to) {
        long long s = 0;
        for (int j = from; j < to; ++j) s += sorted[j];
        return s;
    };
    std::uint64_t key = 0;
    if (wide == 0 || wide == n) {
        const long long ref = wide == 0 ? 10 * sum(0, n - 1) / (n - 1) : 10 * sum(n - wide, n) / wide;
        if (ref <= 0) return std::nullopt;
        for (int j = 0; j < n; ++j) {
            const long long q = 100LL * width[j] / ref;
            if (q < 5 || q > 15) return std::nullopt;
            digits[j] = wide == 0 ? 1 : 2;
            key = key * 10 + static_cast<std::uint64_t>(digits[j]);
        }
        return Key{key, static_cast<int>(ref / (10 * scale)), ref / (10.0 * scale)};
    }
    const int narrowCount = n - wide - 1;
    if (narrowCount <= 0) return std::nullopt;
    long long wd = 10 * sum(n - wide, n) / wide;
    const long long nr = 10 * sum(0, narrowCount) / narrowCount;
    if (nr <= 0) return std::nullopt;
    if (wd < 2 * nr && wd > nr + (nr + 1) / 2) wd = 2 * nr;
    const long long ratio = 10 * wd / nr;
    // Outside the nominal ratios the element's own split decides (wide/narrow printed far
    // from nominal, or a wide element that pixel rounding took past 3.5 narrow ones).
    // Below 1.5 no split can be clear either (its narrowest wide element is no wider than the
    // wide average, its widest narrow one no narrower than the narrow average).
    if (ratio < 15) return std::nullopt;
    if (ratio > 35) return split_sorted(width, sorted.data(), n, wide, scale, digits);
    for (int j = 0; j < n; ++j) {
        const long long t = 10LL * width[j];
        int digit = 0;
        if (t >= wd)
            digit = 2;
        else if (t <= nr)
            digit = 1;
        else
            digit = (wd - t < t - nr) ? 2 : 1;
        digits[j] = digit;
        key = key * 10 + static_cast<std::uint64_t>(digit);
    }
    return Key{key, static_cast<int>(nr / (10 * scale)), nr / (10.0 * scale)};
}

}  // namespace

std::optional<Key> narrow_wide_split_key(const RunList& runs, int i, int n, int wide) {
    if (!in_range(runs, i, n) || wide <= 0 || wide >= n) return std::nullopt;
    std::array<long long, kMaxElements> width{};
    std::array<int, kMaxElements> digits{};
    for (int j = 0; j < n; ++j) width[j] = runs.length(i + j);
    return split_narrow_wide(width.data(), n, wide, 1, digits.data());
}

std::optional<Key> narrow_wide_key(const RunList& runs, int i, int n, int wide, Ink ink) {
    if (!in_range(runs, i, n) || wide < 0 || wide > n || n < 2) return std::nullopt;
    std::array<long long, kMaxElements> width{};
    std::array<int, kMaxElements> digits{};
    for (int j = 0; j < n; ++j) width[j] = runs.length(i + j);
    if (ink == Ink::AsPrinted) return classify_narrow_wide(width.data(), n, wide, 1, digits.data());

    // The narrowest bar and the narrowest space are narrow elements of the two colours, so their
    // difference is the gain. Half of it is taken off each bar and given to each space (widths
    // doubled to keep halves whole), and the elements are classified again.
    long long minBar = -1, minSpace = -1;
    for (int j = 0; j < n; ++j) {
        const bool bar = runs.runs[static_cast<std::size_t>(i + j)].color == kBlack;
        long long& least = bar ? minBar : minSpace;
        if (least < 0 || width[j] < least) least = width[j];
    }
    if (minBar <= 0 || minSpace <= 0) return std::nullopt;
    const long long gain2 = 2 * (minBar - minSpace);  // twice the gain
    const long long narrow2 = minBar + minSpace;      // twice the narrow width
    if (4 * std::llabs(gain2) <= narrow2 || std::llabs(gain2) > narrow2) return std::nullopt;
    for (int j = 0; j < n; ++j) {
        const bool bar = runs.runs[static_cast<std::size_t>(i + j)].color == kBlack;
        width[j] = 2 * width[j] + (bar ? -gain2 / 2 : gain2 / 2);
    }
    return classify_narrow_wide(width.data(), n, wide, 2, digits.data());
}

}  // namespace stripescan
