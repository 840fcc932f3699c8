#include "barcode/linear/symbologies/ean_dark_window.h"

#include <array>
#include <cmath>
#include <limits>

namespace stripescan {
namespace {

// A window reaches no further than the elements beside a digit: the guards are 3 modules or more.
static_assert(kDarkWindowReach <= 3 && kDarkWindowReach <= kEanDigitModules);

// Bar modules of a digit (or guard): in all, among its first and among its last kDarkWindowReach.
struct DarkCount {
    int all = 0;
    int head = 0;
    int tail = 0;
};

template <typename Modules>
DarkCount dark_count(const Modules& modules) {
    DarkCount c;
    const int n = static_cast<int>(modules.size());
    for (int m = 0; m < n; ++m) {
        const int bar =
            modules[static_cast<std::size_t>(m)] == 1 || modules[static_cast<std::size_t>(m)] == '1';
        c.all += bar;
        if (m < kDarkWindowReach) c.head += bar;
        if (m >= n - kDarkWindowReach) c.tail += bar;
    }
    return c;
}

// One choice of the pair digits and erasures (bit b of `mask`: the other digit at place b): the
// line fitted to the digits' bar excess against their windows' darkness, and the squared
// distances from it and from the mean.
struct ChoiceFit {
    unsigned mask = 0;
    double squares = std::numeric_limits<double>::infinity();
    double spread = 0.0;
    double slope = 0.0;
    double meanDark = 0.0;
    double meanExcess = 0.0;
    bool passes = false;
    bool keepsRead = false;  // every digit read keeps its value (only erasures chosen)
};

}  // namespace

std::optional<DarkWindowReading> settle_pairs_by_darkness(
    const RunList& runs, const std::vector<ReadDigit>& read, const std::vector<DigitPair>& pairs,
    const DarkWindowLayout& layout, const std::function<bool(const std::vector<int>&)>& passes) {
    if (read.empty() || pairs.size() != read.size()) return std::nullopt;
    const std::size_t n = read.size();
    // The places that may take either digit of a pair, with the two digits (the one read first).
    std::vector<std::size_t> places;
    std::vector<int> firstChoice, otherChoice;
    for (std::size_t k = 0; k < n; ++k) {
        const int d = read[k].digit;
        if (d < 0) {
            if (pairs[k].first < 0) return std::nullopt;
            places.push_back(k);
            firstChoice.push_back(pairs[k].first);
            otherChoice.push_back(pairs[k].second);
        } else if (pair_partner(d) >= 0) {
            places.push_back(k);
            firstChoice.push_back(d);
            otherChoice.push_back(pair_partner(d));
        }
    }
    if (places.empty() || places.size() > kMostDarkChoices) return std::nullopt;
    // Each digit's bars in modules of its own width (the excess of digit v is this less v's bar
    // modules), and the dark modules of every digit it may be.
    std::vector<double> bars(n);
    std::vector<std::array<DarkCount, 10>> counts(n);
    for (std::size_t k = 0; k < n; ++k) {
        const double zeroExcess = ean_bar_excess(runs, read[k].first, read[k].set, 0);
        if (std::isnan(zeroExcess)) return std::nullopt;
        for (int v = 0; v < 10; ++v)
            counts[k][static_cast<std::size_t>(v)] = dark_count(ean_digit_modules(read[k].set, v));
        bars[k] = zeroExcess + counts[k][0].all;
    }
    const DarkCount leftGuard = dark_count(std::string("101"));
    const DarkCount centreGuard = dark_count(std::string("01010"));
    const DarkCount endGuard = dark_count(layout.endGuard);
    const auto centre = static_cast<std::size_t>(layout.centreBefore);
    const double window = kEanDigitModules + 2 * kDarkWindowReach;
    std::vector<int> values(n);
    std::vector<double> dark(n), excess(n);
    // Fits the digits `values` holds.
    auto fit = [&](ChoiceFit& f) {
        for (std::size_t k = 0; k < n; ++k) {
            const DarkCount& own = counts[k][static_cast<std::size_t>(values[k])];
            const int before = k == 0        ? leftGuard.tail
                               : k == centre ? centreGuard.tail
                                             : counts[k - 1][static_cast<std::size_t>(values[k - 1])].tail;
            const int after = k + 1 == n        ? endGuard.head
                              : k + 1 == centre ? centreGuard.head
                                                : counts[k + 1][static_cast<std::size_t>(values[k + 1])].head;
            dark[k] = (before + own.all + after) / window;
            excess[k] = bars[k] - own.all;
        }
        double meanDark = 0, meanExcess = 0;
        for (std::size_t k = 0; k < n; ++k) {
            meanDark += dark[k];
            meanExcess += excess[k];
        }
        meanDark /= static_cast<double>(n);
        meanExcess /= static_cast<double>(n);
        double darkSpread = 0, together = 0;
        f.spread = 0;
        for (std::size_t k = 0; k < n; ++k) {
            darkSpread += (dark[k] - meanDark) * (dark[k] - meanDark);
            together += (dark[k] - meanDark) * (excess[k] - meanExcess);
            f.spread += (excess[k] - meanExcess) * (excess[k] - meanExcess);
        }
        f.slope = darkSpread > 0 ? together / darkSpread : 0.0;
        f.meanDark = meanDark;
        f.meanExcess = meanExcess;
        f.squares = 0;
        for (std::size_t k = 0; k < n; ++k) {
            const double off = excess[k] - (meanExcess + f.slope * (dark[k] - meanDark));
            f.squares += off * off;
        }
    };
    auto setValues = [&](unsigned mask) {
        for (std::size_t k = 0; k < n; ++k) values[k] = read[k].digit;
        for (std::size_t b = 0; b < places.size(); ++b)
            values[places[b]] = (mask >> b & 1u) != 0 ? otherChoice[b] : firstChoice[b];
    };
    std::vector<ChoiceFit> fits(std::size_t{1} << places.size());
    for (unsigned mask = 0; mask < fits.size(); ++mask) {
        ChoiceFit& f = fits[mask];
        f.mask = mask;
        setValues(mask);
        f.keepsRead = true;
        for (std::size_t b = 0; b < places.size(); ++b) {
            if ((mask >> b & 1u) != 0 && read[places[b]].digit >= 0) f.keepsRead = false;
        }
        fit(f);
        f.passes = passes(values);
    }
    const ChoiceFit* best = &fits.front();
    for (const ChoiceFit& f : fits) {
        if (f.squares < best->squares) best = &f;
    }
    if (!best->passes || best->slope > -kLeastDarkThinning || best->slope < -kMostDarkThinning ||
        best->squares > kMostDarkResidual * kMostDarkResidual * static_cast<double>(n) ||
        best->squares > (1.0 - kLeastDarkShare) * best->spread)
        return std::nullopt;
    for (const ChoiceFit& f : fits) {
        if (&f == best) continue;
        // Another choice that passes, or the digits as read, that the darkness hardly tells apart.
        if ((f.passes || (f.keepsRead && !best->keepsRead)) && f.squares <= kDarkChoiceMargin * best->squares)
            return std::nullopt;
    }
    setValues(best->mask);
    ChoiceFit again;
    fit(again);
    DarkWindowReading reading{values, std::vector<double>(n)};
    for (std::size_t k = 0; k < n; ++k)
        reading.expectedExcess[k] = again.meanExcess + again.slope * (dark[k] - again.meanDark);
    return reading;
}

std::optional<DarkWindowReading> settle_by_darkness(const RunList& runs, const std::vector<ReadDigit>& read,
                                                    const std::vector<int>& erasures,
                                                    const std::vector<DigitPair>& pairs, std::string& text,
                                                    std::size_t lead, const DarkWindowLayout& layout,
                                                    const std::function<bool(const std::string&)>& passes) {
    if (text.size() != lead + read.size() || erasures.size() != pairs.size()) return std::nullopt;
    std::vector<ReadDigit> digits = read;
    std::vector<DigitPair> pairsAt(read.size());
    for (std::size_t k = 0; k < read.size(); ++k) {
        const char c = text[lead + k];
        digits[k].digit = c >= '0' && c <= '9' ? c - '0' : -1;
    }
    for (std::size_t e = 0; e < erasures.size(); ++e) {
        const auto at = static_cast<std::size_t>(erasures[e]);
        if (at >= read.size()) return std::nullopt;
        pairsAt[at] = pairs[e];
    }
    auto withValues = [&](const std::vector<int>& values) {
        std::string whole = text.substr(0, lead);
        for (int v : values) whole.push_back(static_cast<char>('0' + v));
        return whole;
    };
    std::optional<DarkWindowReading> reading =
        settle_pairs_by_darkness(runs, digits, pairsAt, layout,
                                 [&](const std::vector<int>& values) { return passes(withValues(values)); });
    if (reading) text = withValues(reading->values);
    return reading;
}

}  // namespace stripescan
