#include "barcode/linear/symbologies/ean_sum_doubt.h"

#include <cmath>
#include <string>

#include "barcode/linear/keys.h"
#include "barcode/linear/symbology.h"

namespace stripescan {
namespace {

// Readings of a whole line tried at most; a line with more is refused.
constexpr std::size_t kMostTippedLines = 4096;
// Pairs left open on one such reading that are tried either way; a line with more is refused.
constexpr std::size_t kMostOpenPairs = 6;

// Set A element widths, space first (as for the digit tables); B reads them backwards.
constexpr const char* kSetAWidths[10] = {"3211", "2221", "2122", "1411", "1132",
                                         "1231", "1114", "1312", "1213", "3112"};

// The two sums of the pattern of digit v in `set`, as 10 x first + second.
int pattern_sums(int v, EanSet set) {
    const std::string widths =
        set == EanSet::B ? reversed_pattern(kSetAWidths[v]) : std::string(kSetAWidths[v]);
    const int e0 = widths[0] - '0', e1 = widths[1] - '0', e2 = widths[2] - '0', e3 = widths[3] - '0';
    // Sets A and B read space first: the first sum is of the last two elements; C reads bar first.
    const int t1 = set == EanSet::C ? e0 + e1 : e2 + e3;
    return 10 * t1 + (e1 + e2);
}

}  // namespace

std::vector<NearestDigit> doubtful_sum_readings(const RunList& runs, int i, const std::vector<EanSet>& sets,
                                                const NearestDigit& read) {
    std::vector<NearestDigit> other;
    if (i < 0 || i + kEanDigitElements > runs.size()) return other;
    const double e0 = runs.length(i), e1 = runs.length(i + 1), e2 = runs.length(i + 2),
                 e3 = runs.length(i + 3);
    const double total = e0 + e1 + e2 + e3;
    if (total <= 0) return other;
    for (EanSet set : sets) {
        const double t1 = kEanDigitModules * (set == EanSet::C ? e0 + e1 : e2 + e3) / total;
        const double t2 = kEanDigitModules * (e1 + e2) / total;
        // Each sum: its nearest whole number, and the other one beside it when in doubt.
        auto choices = [](double t) {
            std::vector<int> c{static_cast<int>(std::lround(t))};
            if (std::fabs(t - std::round(t)) > kDoubtfulSumModules)
                c.push_back(t > std::round(t) ? c[0] + 1 : c[0] - 1);
            return c;
        };
        const std::vector<int> c1 = choices(t1), c2 = choices(t2);
        if (c1.size() == 1 && c2.size() == 1) continue;
        for (int s1 : c1) {
            for (int s2 : c2) {
                for (int v = 0; v < 10; ++v) {
                    if (pattern_sums(v, set) != 10 * s1 + s2) continue;
                    if (v == read.digit && set == read.set) continue;
                    other.push_back(NearestDigit{v, set});
                }
            }
        }
    }
    return other;
}

bool sums_may_tip(const RunList& runs, const std::vector<ReadDigit>& read,
                  const std::function<std::vector<EanSet>(std::size_t)>& setsAt, const HalfModules& modules,
                  const std::function<bool(const std::vector<ReadDigit>&)>& passes) {
    // Per digit: as read first, then its other readings.
    std::vector<std::vector<NearestDigit>> ways(read.size());
    std::size_t lines = 1;
    for (std::size_t k = 0; k < read.size(); ++k) {
        const NearestDigit as{read[k].digit, read[k].set};
        ways[k].push_back(as);
        if (read[k].digit < 0) return true;  // no reading of bars to weigh
        const auto other = doubtful_sum_readings(runs, read[k].first, setsAt(k), as);
        ways[k].insert(ways[k].end(), other.begin(), other.end());
        lines *= ways[k].size();
        if (lines > kMostTippedLines) return true;
    }
    // Every choice but the first (the line as read), as a mixed-radix count; the pairs are
    // decided again on each, and a pair that its classes then leave open may be either digit.
    std::vector<ReadDigit> line = read;
    for (std::size_t n = 1; n < lines; ++n) {
        for (std::size_t k = 0, rest = n; k < read.size(); ++k) {
            const NearestDigit& d = ways[k][rest % ways[k].size()];
            rest /= ways[k].size();
            line[k].digit = d.digit;
            line[k].set = d.set;
        }
        std::vector<ReadDigit> decided = line;
        decide_pairs_by_classes(runs, decided, modules);
        std::vector<std::size_t> open;
        for (std::size_t k = 0; k < decided.size(); ++k)
            if (decided[k].digit < 0) open.push_back(k);
        if (open.size() > kMostOpenPairs) return true;
        for (unsigned mask = 0; mask < (1u << open.size()); ++mask) {
            for (std::size_t b = 0; b < open.size(); ++b) {
                const int low = line[open[b]].digit == 1 || line[open[b]].digit == 7 ? 1 : 2;
                decided[open[b]].digit = mask & (1u << b) ? low + 6 : low;
            }
            bool same = true;
            for (std::size_t k = 0; k < read.size(); ++k)
                same = same && decided[k].digit == read[k].digit && decided[k].set == read[k].set;
            if (!same && passes(decided)) return true;
        }
    }
    return false;
}

}  // namespace stripescan
