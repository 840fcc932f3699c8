#include "barcode/linear/symbologies/ean_width_classes.h"

#include <algorithm>
#include <cmath>

namespace stripescan {
namespace {

// A local threshold starves a digit's wide bars more than the line's classes show (a 7's wide bars
// fell 0.42-0.48 module short of their prediction where a 1's would have missed by 0.8-1.0), so a
// bar may miss by almost half a module as long as the other digit misses by 0.4 module more.
constexpr double kClassFit = 0.45;    // modules: a predicted bar's widest miss
constexpr double kClassMargin = 0.4;  // modules: the other digit's worst bar lies this much further off

// Space, bar, space, bar widths of set A's digits (modules); set B reads them backwards, set C
// bar first.
constexpr const char* kSetAWidths[10] = {"3211", "2221", "2122", "1411", "1132",
                                         "1231", "1114", "1312", "1213", "3112"};

// The printed widths of the two bars of `digit` in `set`, and the offsets of their runs from the
// digit's first run.
void printed_bars(int digit, EanSet set, int widths[2], int offsets[2]) {
    const char* w = kSetAWidths[digit];
    if (set == EanSet::A) {
        widths[0] = w[1] - '0', widths[1] = w[3] - '0';
        offsets[0] = 1, offsets[1] = 3;
    } else if (set == EanSet::B) {
        widths[0] = w[2] - '0', widths[1] = w[0] - '0';
        offsets[0] = 1, offsets[1] = 3;
    } else {
        widths[0] = w[0] - '0', widths[1] = w[2] - '0';
        offsets[0] = 0, offsets[1] = 2;
    }
}

bool pair_digit(int d) {
    return d == 1 || d == 2 || d == 7 || d == 8;
}

}  // namespace

BarWidthClasses bar_width_classes(const RunList& runs, const std::vector<ReadDigit>& read,
                                  const HalfModules& modules) {
    BarWidthClasses c;
    double narrow = 0.0, wide = 0.0;
    for (std::size_t k = 0; k < read.size(); ++k) {
        const ReadDigit& r = read[k];
        if (r.digit < 0 || pair_digit(r.digit)) continue;
        const double module = modules.at(k);
        if (!(module > 0.0) || r.first < 0 || r.first + kEanDigitElements > runs.size()) continue;
        int widths[2], offsets[2];
        printed_bars(r.digit, r.set, widths, offsets);
        for (int b = 0; b < 2; ++b) {
            const double excess = runs.length(r.first + offsets[b]) / module - widths[b];
            if (widths[b] == 1) {
                narrow += excess;
                ++c.narrowSeen;
            } else {
                wide += excess;
                ++c.wideSeen;
            }
        }
    }
    if (c.narrowSeen > 0) c.narrow = narrow / c.narrowSeen;
    if (c.wideSeen > 0) c.wide = wide / c.wideSeen;
    return c;
}

int pair_digit_by_classes(const RunList& runs, int i, EanSet set, double module, int low, int high,
                          const BarWidthClasses& classes) {
    if (classes.narrowSeen == 0 || classes.wideSeen == 0) return -1;
    if (!(module > 0.0) || i < 0 || i + kEanDigitElements > runs.size()) return -1;
    double worst[2] = {0.0, 0.0};
    const int candidates[2] = {low, high};
    for (int c = 0; c < 2; ++c) {
        int widths[2], offsets[2];
        printed_bars(candidates[c], set, widths, offsets);
        for (int b = 0; b < 2; ++b) {
            const double predicted = widths[b] + (widths[b] == 1 ? classes.narrow : classes.wide);
            worst[c] = std::max(worst[c], std::fabs(runs.length(i + offsets[b]) / module - predicted));
        }
    }
    for (int c = 0; c < 2; ++c)
        if (worst[c] <= kClassFit && worst[1 - c] >= worst[c] + kClassMargin) return candidates[c];
    return -1;
}

bool settle_pairs_by_classes(const RunList& runs, std::vector<ReadDigit>& read,
                             const std::vector<DigitPair>& open, const HalfModules& modules) {
    const BarWidthClasses classes = bar_width_classes(runs, read, modules);
    std::size_t nextOpen = 0;
    for (std::size_t k = 0; k < read.size(); ++k) {
        ReadDigit& r = read[k];
        int low = -1, high = -1;
        if (r.digit < 0) {
            if (nextOpen >= open.size()) return false;
            low = open[nextOpen].first;
            high = open[nextOpen].second;
            ++nextOpen;
        } else if (r.digit == 1 || r.digit == 7) {
            low = 1, high = 7;
        } else if (r.digit == 2 || r.digit == 8) {
            low = 2, high = 8;
        } else {
            continue;
        }
        const int d = pair_digit_by_classes(runs, r.first, r.set, modules.at(k), low, high, classes);
        if (d < 0) return false;
        r.digit = d;
    }
    return nextOpen == open.size();
}

void decide_pairs_by_classes(const RunList& runs, std::vector<ReadDigit>& read, const HalfModules& modules) {
    const BarWidthClasses classes = bar_width_classes(runs, read, modules);
    for (std::size_t k = 0; k < read.size(); ++k) {
        ReadDigit& r = read[k];
        if (!pair_digit(r.digit)) continue;
        const int low = r.digit == 1 || r.digit == 7 ? 1 : 2;
        r.digit = pair_digit_by_classes(runs, r.first, r.set, modules.at(k), low, low + 6, classes);
    }
}

}  // namespace stripescan
