#include "barcode/linear/symbologies/ean_digits.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "barcode/linear/symbology.h"

namespace stripescan {
namespace {

// Set A (odd parity) element widths, space first; set C uses the same widths bar first and set B
// the same widths read backwards.
constexpr const char* kSetA[10] = {"3211", "2221", "2122", "1411", "1132",
                                   "1231", "1114", "1312", "1213", "3112"};

struct DigitTables {
    KeyTable a, b, c;
};

const DigitTables& tables() {
    static const DigitTables t = [] {
        DigitTables d;
        for (int v = 0; v < 10; ++v) {
            d.a.add(ean_pattern_key(kSetA[v], EanSet::A), v);
            d.b.add(ean_pattern_key(reversed_pattern(kSetA[v]).c_str(), EanSet::B), v);
            d.c.add(ean_pattern_key(kSetA[v], EanSet::C), v);
        }
        d.a.finish();
        d.b.finish();
        d.c.finish();
        return d;
    }();
    return t;
}

}  // namespace

std::array<char, kEanDigitModules> ean_digit_modules(EanSet set, int digit) {
    std::array<char, kEanDigitModules> modules{};
    if (digit < 0 || digit > 9) return modules;
    const char* w = kSetA[digit];
    // Set A starts with a space, set C is A with the colours swapped, set B is C backwards.
    std::size_t at = 0;
    for (int e = 0; e < kEanDigitElements; ++e) {
        const int width = (set == EanSet::B ? w[kEanDigitElements - 1 - e] : w[e]) - '0';
        const bool bar = set == EanSet::C ? e % 2 == 0 : e % 2 == 1;
        for (int m = 0; m < width && at < modules.size(); ++m) modules[at++] = bar ? 1 : 0;
    }
    return modules;
}

std::uint64_t ean_pattern_key(const char* widths, EanSet set) {
    RunList runs;
    for (int i = 0; i < 4; ++i) runs.runs.push_back(Run{0, 0, widths[i] - '0', kBlack});
    return ean_digit_key(runs, 0, set).value_or(0);
}

bool ean_digit_widths_even(const RunList& runs, int first, int count) {
    // A digit may differ from the mean of its half by a tenth (0.7 module): room for paper
    // curl and perspective, none for a digit a module short or long.
    constexpr double kEanDigitWidthTolerance = 0.1;
    if (count <= 0 || first < 0 || first + kEanDigitElements * count > runs.size()) return false;
    std::vector<long long> widths;
    long long total = 0;
    for (int d = 0; d < count; ++d) {
        long long w = 0;
        for (int k = 0; k < kEanDigitElements; ++k) w += runs.length(first + kEanDigitElements * d + k);
        widths.push_back(w);
        total += w;
    }
    const double mean = static_cast<double>(total) / count;
    for (long long w : widths) {
        if (std::fabs(static_cast<double>(w) - mean) > kEanDigitWidthTolerance * mean) return false;
    }
    return true;
}

int ean_ink_gain(const RunList& runs, std::initializer_list<std::pair<int, int>> guards) {
    long long bars = 0, spaces = 0;
    int barCount = 0, spaceCount = 0;
    for (const auto& [first, count] : guards) {
        for (int k = first; k < first + count; ++k) {
            if (k < 0 || k >= runs.size()) continue;
            if (runs.runs[static_cast<std::size_t>(k)].color == kBlack) {
                bars += runs.length(k);
                ++barCount;
            } else {
                spaces += runs.length(k);
                ++spaceCount;
            }
        }
    }
    if (barCount == 0 || spaceCount == 0) return 0;
    return static_cast<int>(
        std::lround(static_cast<double>(bars) / barCount - static_cast<double>(spaces) / spaceCount));
}

DigitPair ean_digit_pair(const RunList& runs, int i, std::initializer_list<EanSet> sets) {
    // Sums this close to whole modules leave no doubt which modules they span.
    constexpr double kFirmSumModules = 0.35;
    if (i < 0 || i + kEanDigitElements > runs.size()) return DigitPair{};
    const double e0 = runs.length(i), e1 = runs.length(i + 1), e2 = runs.length(i + 2),
                 e3 = runs.length(i + 3);
    const double total = e0 + e1 + e2 + e3;
    if (total <= 0) return DigitPair{};
    for (EanSet set : sets) {
        const double t1 = kEanDigitModules * (set == EanSet::C ? e0 + e1 : e2 + e3) / total;
        const double t2 = kEanDigitModules * (e1 + e2) / total;
        const double r1 = std::round(t1), r2 = std::round(t2);
        if (std::fabs(t1 - r1) > kFirmSumModules || std::fabs(t2 - r2) > kFirmSumModules) continue;
        const int s1 = static_cast<int>(r1), s2 = static_cast<int>(r2);
        // Set A: sums 3,4 are 1 or 7 and 4,3 are 2 or 8; sets B and C: 4,4 and 3,3.
        if (set == EanSet::A) {
            if (s1 == 3 && s2 == 4) return DigitPair{1, 7, set};
            if (s1 == 4 && s2 == 3) return DigitPair{2, 8, set};
        } else {
            if (s1 == 4 && s2 == 4) return DigitPair{1, 7, set};
            if (s1 == 3 && s2 == 3) return DigitPair{2, 8, set};
        }
    }
    return DigitPair{};
}

NearestDigit read_ean_digit_either(const RunList& runs, int i, std::initializer_list<EanSet> sets,
                                   double module, int symbolGain, int localGain, DigitPair& pair) {
    pair = DigitPair{};
    const NearestDigit whole = read_ean_digit_in(runs, i, sets, module, symbolGain);
    if (whole.digit < 0) {
        pair = ean_digit_pair(runs, i, sets);
        return whole;
    }
    // Below kTrustedGainModule pixels whole-pixel rounding moves the local gain as much as ink.
    if (localGain == symbolGain || module < kTrustedGainModule * runs.unit) return whole;
    const NearestDigit local = read_ean_digit_in(runs, i, sets, module, localGain);
    if (local.digit < 0 || (local.digit == whole.digit && local.set == whole.set)) return whole;
    // The gain around the digit names the other digit of its pair: the digit is in doubt.
    const int low = std::min(whole.digit, local.digit), high = std::max(whole.digit, local.digit);
    if (whole.set == local.set && ((low == 1 && high == 7) || (low == 2 && high == 8)))
        pair = DigitPair{low, high, whole.set};
    return NearestDigit{};
}

std::vector<int> local_ink_gains(const RunList& runs, const std::vector<DigitPlace>& digits, int fallback) {
    // Digits on either side whose gains are averaged: the light and a local threshold's window
    // change over a few digits.
    constexpr int kGainReach = 2;
    // Modules by which a digit's two bars may together stray from their nominal widths and
    // still tell the ink around them: a local threshold that starves a wide bar by more leaves
    // a digit that its sums decide but whose bars measure no ink at all.
    constexpr double kMostDigitGainModules = 1.0;
    const DigitTables& t = tables();
    const int n = static_cast<int>(digits.size());
    // The gain of each decided digit in modules (NaN when its sums leave it open).
    std::vector<double> modules(static_cast<std::size_t>(n), std::nan(""));
    std::vector<long long> totals(static_cast<std::size_t>(n), 0);
    for (int k = 0; k < n; ++k) {
        const DigitPlace& place = digits[static_cast<std::size_t>(k)];
        const int i = place.first;
        if (i < 0 || i + kEanDigitElements > runs.size()) continue;
        long long total = 0;
        for (int j = 0; j < kEanDigitElements; ++j) total += runs.length(i + j);
        totals[static_cast<std::size_t>(k)] = total;
        if (total <= 0) continue;
        const EanSet left[2] = {EanSet::A, EanSet::B};
        const EanSet right[1] = {EanSet::C};
        const EanSet* sets = place.right ? right : left;
        const int setCount = place.right ? 1 : 2;
        for (int s = 0; s < setCount; ++s) {
            const EanSet set = sets[s];
            const auto key = ean_digit_key(runs, i, set);
            // Keys of 1, 2, 7 and 8 carry a third digit from their bars: not decided by sums.
            if (!key || *key % 10 != 0) continue;
            const int v = (set == EanSet::A ? t.a : set == EanSet::B ? t.b : t.c).find(*key);
            if (v < 0) continue;
            const char* w = kSetA[v];
            // Set A reads space first (bars 1 and 3), set B is A backwards (bars 2 and 0 of A),
            // set C reads bar first (bars 0 and 2).
            const int nominal = set == EanSet::A ? (w[1] - '0') + (w[3] - '0') : (w[0] - '0') + (w[2] - '0');
            const long long bars = set == EanSet::C ? runs.length(i) + runs.length(i + 2)
                                                    : runs.length(i + 1) + runs.length(i + 3);
            modules[static_cast<std::size_t>(k)] = static_cast<double>(kEanDigitModules) *
                                                       static_cast<double>(bars) /
                                                       static_cast<double>(total) -
                                                   nominal;
            break;
        }
    }
    std::vector<int> gains(static_cast<std::size_t>(n), fallback);
    for (int k = 0; k < n; ++k) {
        // The digits of its own half first: the centre guard may part two lights or two
        // windows of a threshold.
        double sum = 0;
        int count = 0;
        for (bool sameHalf : {true, false}) {
            if (count > 0) break;
            for (int j = std::max(0, k - kGainReach); j <= std::min(n - 1, k + kGainReach); ++j) {
                const double g = modules[static_cast<std::size_t>(j)];
                const bool same =
                    digits[static_cast<std::size_t>(j)].right == digits[static_cast<std::size_t>(k)].right;
                if (j == k || std::isnan(g) || std::fabs(g) > kMostDigitGainModules || same != sameHalf)
                    continue;
                sum += g;
                ++count;
            }
        }
        if (count > 0)
            gains[static_cast<std::size_t>(k)] = static_cast<int>(std::lround(
                sum / count * static_cast<double>(totals[static_cast<std::size_t>(k)]) / kEanDigitModules));
    }
    return gains;
}

double ean_bar_excess(const RunList& runs, int i, EanSet set, int digit) {
    if (digit < 0 || digit > 9 || i < 0 || i + kEanDigitElements > runs.size()) return std::nan("");
    long long total = 0;
    for (int j = 0; j < kEanDigitElements; ++j) total += runs.length(i + j);
    if (total <= 0) return std::nan("");
    const char* w = kSetA[digit];
    // Set A reads space first (bars 1 and 3), set B is A backwards (bars 2 and 0 of A), set C
    // reads bar first (bars 0 and 2).
    const int nominal = set == EanSet::A ? (w[1] - '0') + (w[3] - '0') : (w[0] - '0') + (w[2] - '0');
    const long long bars =
        set == EanSet::C ? runs.length(i) + runs.length(i + 2) : runs.length(i + 1) + runs.length(i + 3);
    return static_cast<double>(kEanDigitModules) * static_cast<double>(bars) / static_cast<double>(total) -
           nominal;
}

bool pair_digits_may_tip(const RunList& runs, const std::vector<ReadDigit>& read,
                         const std::vector<int>& values, double fallbackGain,
                         const std::function<bool(const std::vector<int>&)>& passes,
                         const std::vector<double>* expectedExcess) {
    // More leaning digits than this are not tried one set at a time; such a line is refused.
    constexpr std::size_t kMostLeaning = 12;
    auto pairDigit = [](int d) { return d == 1 || d == 2 || d == 7 || d == 8; };
    if (values.size() != read.size()) return true;
    double sum = 0;
    int count = 0;
    for (std::size_t k = 0; k < read.size(); ++k) {
        if (values[k] < 0 || pairDigit(values[k])) continue;
        const double excess = ean_bar_excess(runs, read[k].first, read[k].set, values[k]);
        if (std::isnan(excess)) continue;
        sum += excess;
        ++count;
    }
    const double lineGain = count > 0 ? sum / count : fallbackGain;
    // Fewer digits than this give the line's gain only roughly (a local threshold thickens the
    // bars of one digit and starves the next): a pair digit then leans if it leans against the
    // guards' gain as well.
    constexpr int kFirmGainDigits = 3;
    const bool ownGains = expectedExcess != nullptr && expectedExcess->size() == read.size();
    const bool roughGain = count < kFirmGainDigits && !ownGains;
    std::vector<std::size_t> leaning;
    for (std::size_t k = 0; k < read.size(); ++k) {
        // A settled erasure is no reading of bars; its partner failed the check already.
        if (read[k].digit < 0 || !pairDigit(values[k])) continue;
        const double excess = ean_bar_excess(runs, read[k].first, read[k].set, values[k]);
        long long total = 0;
        for (int j = 0; j < kEanDigitElements; ++j) total += runs.length(read[k].first + j);
        // Bars of whole pixels leave a pixel of doubt: at least that much, in modules.
        const double pixel =
            total > 0 ? static_cast<double>(kEanDigitModules) * runs.unit / static_cast<double>(total) : 1.0;
        // Towards the partner: a 1 or 2 with more bar than the line's gain, a 7 or 8 with less.
        const bool starvedPair = values[k] == 1 || values[k] == 2;
        auto towards = [&](double gainModules) {
            return starvedPair ? excess - gainModules : gainModules - excess;
        };
        const double lean = std::max(kPairLeanModules, pixel);
        const double gain = ownGains ? (*expectedExcess)[k] : lineGain;
        if (std::isnan(excess) || towards(gain) > lean || -towards(gain) > kPairAwayModules ||
            (roughGain && towards(fallbackGain) > lean))
            leaning.push_back(k);
    }
    if (leaning.empty()) return false;
    if (leaning.size() > kMostLeaning) return true;
    std::vector<int> other = values;
    for (unsigned mask = 1; mask < (1u << leaning.size()); ++mask) {
        for (std::size_t b = 0; b < leaning.size(); ++b) {
            const int v = values[leaning[b]];
            // 1 and 7, 2 and 8 share their edge-to-edge sums and differ by 6.
            other[leaning[b]] = mask & (1u << b) ? (v == 1 ? 7 : v == 7 ? 1 : v == 2 ? 8 : 2) : v;
        }
        if (passes(other)) return true;
    }
    return false;
}

bool ean_pair_digit_firm(const RunList& runs, int i, EanSet set, int digit, int inkGain) {
    if (digit != 1 && digit != 2 && digit != 7 && digit != 8) return false;
    if (i < 0 || i + kEanDigitElements > runs.size()) return false;
    long long total = 0;
    for (int j = 0; j < kEanDigitElements; ++j) total += runs.length(i + j);
    if (total <= 0) return false;
    const char* w = kSetA[digit];
    // As in local_ink_gains: set A reads space first, set B is A backwards, set C bar first.
    const int nominal = set == EanSet::A ? (w[1] - '0') + (w[3] - '0') : (w[0] - '0') + (w[2] - '0');
    const long long bars =
        set == EanSet::C ? runs.length(i) + runs.length(i + 2) : runs.length(i + 1) + runs.length(i + 3);
    const double modules = static_cast<double>(kEanDigitModules) * static_cast<double>(bars - inkGain) /
                           static_cast<double>(total);
    return std::fabs(modules - nominal) <= kFirmBarModules;
}

bool pair_digits_firm(const RunList& runs, const std::vector<ReadDigit>& read, int symbolGain, int skip) {
    for (std::size_t k = 0; k < read.size(); ++k) {
        const ReadDigit& r = read[k];
        if (static_cast<int>(k) == skip || (r.digit != 1 && r.digit != 2 && r.digit != 7 && r.digit != 8))
            continue;
        if (!ean_pair_digit_firm(runs, r.first, r.set, r.digit, symbolGain) ||
            !ean_pair_digit_firm(runs, r.first, r.set, r.digit, r.localGain))
            return false;
    }
    return true;
}

int read_ean_digit(const RunList& runs, int i, EanSet set, int inkGain) {
    const auto key = ean_digit_key(runs, i, set, inkGain);
    if (!key) return -1;
    const DigitTables& t = tables();
    return (set == EanSet::A ? t.a : set == EanSet::B ? t.b : t.c).find(*key);
}

NearestDigit read_ean_digit_in(const RunList& runs, int i, std::initializer_list<EanSet> sets, double module,
                               int inkGain) {
    const bool small = module < kTrustedGainModule * runs.unit;
    if (small) {
        const NearestDigit near = nearest_ean_digit(runs, i, sets, module, inkGain);
        if (near.digit >= 0) return near;
    }
    for (EanSet set : sets) {
        const int d = read_ean_digit(runs, i, set, inkGain);
        if (d >= 0) return NearestDigit{d, set};
    }
    if (small) return NearestDigit{};
    return nearest_ean_digit(runs, i, sets, module, inkGain);
}

int trusted_ink_gain(int inkGain, double module, int unit) {
    if (std::abs(inkGain) <= unit && module < kTrustedGainModule * unit) return 0;
    return inkGain;
}

double span_module(const RunList& runs, int first, int count, int modules) {
    if (first < 0 || count <= 0 || first + count > runs.size() || modules <= 0) return 0.0;
    long long total = 0;
    for (int k = first; k < first + count; ++k) total += runs.length(k);
    return static_cast<double>(total) / modules;
}

NearestDigit nearest_ean_digit(const RunList& runs, int i, std::initializer_list<EanSet> sets, double module,
                               double inkGain) {
    // The worst edge of the best pattern, and the lead it must keep over any other digit, in
    // modules. Rounding to whole pixels moves an edge by up to half a pixel: a third of a
    // module at 1.5 pixels.
    constexpr double kEanNearestFit = 0.45;
    constexpr double kEanNearestMargin = 0.25;
    NearestDigit best;
    if (i < 0 || i + kEanDigitElements > runs.size() || module <= 0) return best;
    // Edge positions from the digit's start, each moved back by half the gain: the bar's
    // leading edge lies half the gain early, its trailing edge half the gain late.
    double edge[kEanDigitElements + 1];
    double at = 0;
    for (int k = 0; k <= kEanDigitElements; ++k) {
        if (k > 0) at += runs.length(i + k - 1);
        const bool afterBar = k > 0 ? runs.runs[static_cast<std::size_t>(i + k - 1)].color == kBlack
                                    : runs.runs[static_cast<std::size_t>(i)].color != kBlack;
        edge[k] = (at + (afterBar ? -inkGain / 2 : inkGain / 2)) / module;
    }
    double bestMisfit = 1e9, runnerUp = 1e9;
    for (EanSet set : sets) {
        for (int v = 0; v < 10; ++v) {
            const std::string widths = set == EanSet::B ? reversed_pattern(kSetA[v]) : std::string(kSetA[v]);
            double grid[kEanDigitElements + 1] = {0, 0, 0, 0, 0};
            for (int k = 1; k <= kEanDigitElements; ++k) grid[k] = grid[k - 1] + (widths[k - 1] - '0');
            // The digit may sit a little off the grid: fit the offset, then take the worst edge.
            double offset = 0;
            for (int k = 0; k <= kEanDigitElements; ++k) offset += edge[k] - grid[k];
            offset /= kEanDigitElements + 1;
            double misfit = 0;
            for (int k = 0; k <= kEanDigitElements; ++k)
                misfit = std::max(misfit, std::fabs(edge[k] - offset - grid[k]));
            // Any other pattern is a rival, the same digit in the other set too: the set
            // carries the parity.
            if (misfit < bestMisfit) {
                runnerUp = bestMisfit;
                bestMisfit = misfit;
                best = NearestDigit{v, set};
            } else if (misfit < runnerUp) {
                runnerUp = misfit;
            }
        }
    }
    if (bestMisfit > kEanNearestFit || runnerUp < bestMisfit + kEanNearestMargin) return NearestDigit{};
    return best;
}

bool settle_by_check(std::string& text, const std::vector<std::size_t>& places,
                     const std::vector<DigitPair>& pairs,
                     const std::function<bool(const std::string&)>& passes) {
    if (places.empty() || places.size() > kMostDoubtfulDigits || pairs.size() != places.size()) return false;
    for (std::size_t at : places) {
        if (at >= text.size()) return false;
    }
    std::string chosen;
    int passing = 0;
    for (unsigned mask = 0; mask < (1u << places.size()); ++mask) {
        std::string trial = text;
        for (std::size_t e = 0; e < places.size(); ++e) {
            const int candidate = mask & (1u << e) ? pairs[e].second : pairs[e].first;
            trial[places[e]] = static_cast<char>('0' + candidate);
        }
        if (passes(trial)) {
            ++passing;
            chosen = trial;
        }
    }
    if (passing != 1) return false;
    text = chosen;
    return true;
}

bool settle_with_pair_digits(const RunList& runs, std::string& text, std::size_t lead,
                             const std::vector<ReadDigit>& read, int symbolGain,
                             const std::vector<bool>& confirmed, std::vector<std::size_t> places,
                             std::vector<DigitPair> pairs,
                             const std::function<bool(const std::string&)>& passes) {
    std::vector<std::size_t> firm;
    for (std::size_t k = lead; k < text.size() && k - lead < read.size(); ++k) {
        const ReadDigit& r = read[k - lead];
        const int partner = pair_partner(text[k] - '0');
        if (partner < 0 || (k - lead < confirmed.size() && confirmed[k - lead])) continue;
        places.push_back(k);
        pairs.push_back(DigitPair{text[k] - '0', partner, r.set});
        if (ean_pair_digit_firm(runs, r.first, r.set, r.digit, symbolGain) &&
            ean_pair_digit_firm(runs, r.first, r.set, r.digit, r.localGain))
            firm.push_back(k);
    }
    std::string settled = text;
    if (!settle_by_check(settled, places, pairs, passes)) return false;
    for (std::size_t k : firm) {
        if (settled[k] != text[k]) return false;
    }
    text = settled;
    return true;
}

int pair_partner(int digit) {
    switch (digit) {
        case 1:
            return 7;
        case 7:
            return 1;
        case 2:
            return 8;
        case 8:
            return 2;
        default:
            return -1;
    }
}

int ean_check_weight(std::size_t count, std::size_t place) {
    // Counted from the check digit: odd distances weigh 3, as in ean_check_ok.
    return place < count && (count - 1 - place) % 2 == 1 ? 3 : 1;
}

bool ean_check_ok(const std::string& digits) {
    if (digits.size() < 2) return false;
    int odd = 0;
    int even = 0;
    const std::size_t n = digits.size() - 1;  // the check digit stands at n
    for (std::size_t k = 1; k <= n; ++k) {
        const int d = digits[n - k] - '0';
        if (d < 0 || d > 9) return false;
        if (k % 2 == 1)
            odd += d;
        else
            even += d;
    }
    const int check = (10 - (3 * odd + even) % 10) % 10;
    return digits[n] - '0' == check;
}

}  // namespace stripescan
