#include <algorithm>
#include <cmath>
#include <cstring>

#include "barcode/linear/keys.h"
#include "barcode/linear/symbology.h"

namespace stripescan {

void KeyTable::add(std::uint64_t key, int value) {
    entries_.emplace_back(key, value);
}

void KeyTable::finish() {
    std::sort(entries_.begin(), entries_.end());
}

int KeyTable::find(std::uint64_t key) const {
    auto it = std::lower_bound(entries_.begin(), entries_.end(), std::make_pair(key, -1));
    if (it == entries_.end() || it->first != key) return -1;
    return it->second;
}

bool KeyTable::unique() const {
    for (std::size_t i = 1; i < entries_.size(); ++i) {
        if (entries_[i].first == entries_[i - 1].first) return false;
    }
    return true;
}

KeyTable width_sum_table(const char* const* patterns, int count) {
    KeyTable table;
    for (int v = 0; v < count; ++v) table.add(pattern_width_sum_key(patterns[v]), v);
    table.finish();
    return table;
}

int read_six_element_value(const RunList& runs, int i, int modules, const KeyTable& table) {
    if (auto key = width_sum_key(runs, i, 6, modules)) {
        const int v = table.find(key->value);
        if (v >= 0) return v;
    }
    long long total = 0;
    for (int j = 0; j < 6; ++j) total += runs.length(i + j);
    const int module = static_cast<int>((total + modules / 2) / modules);
    if (auto key = element_width_key(runs, i, 6, module)) return table.find(*key);
    return -1;
}

NearestFit nearest_fit(const RunList& runs, int i, int k, double module, const char* const* patterns,
                       int count) {
    constexpr int kMaxEdges = 16;
    NearestFit fit;
    if (i < 0 || k <= 0 || k >= kMaxEdges || i + k > runs.size() || module <= 0) return fit;
    double edge[kMaxEdges];
    edge[0] = 0;
    for (int j = 1; j <= k; ++j) edge[j] = edge[j - 1] + runs.length(i + j - 1) / module;
    for (int v = 0; v < count; ++v) {
        double grid[kMaxEdges];
        grid[0] = 0;
        for (int j = 1; j <= k; ++j) grid[j] = grid[j - 1] + (patterns[v][j - 1] - '0');
        // Even edges lead a bar (or end the character), odd edges end one.
        double offset[2] = {0, 0};
        int n[2] = {0, 0};
        for (int j = 0; j <= k; ++j) {
            offset[j % 2] += edge[j] - grid[j];
            ++n[j % 2];
        }
        offset[0] /= n[0];
        offset[1] /= n[1];
        double misfit = 0;
        for (int j = 0; j <= k; ++j) misfit = std::max(misfit, std::fabs(edge[j] - grid[j] - offset[j % 2]));
        // Keep the three best in order.
        for (int r = 0; r < 3; ++r) {
            if (misfit < fit.misfit[r]) {
                for (int s = 2; s > r; --s) {
                    fit.misfit[s] = fit.misfit[s - 1];
                    fit.value[s] = fit.value[s - 1];
                }
                fit.misfit[r] = misfit;
                fit.value[r] = v;
                break;
            }
        }
    }
    return fit;
}

int nearest_value(const RunList& runs, int i, int k, double module, const char* const* patterns, int count) {
    const NearestFit fit = nearest_fit(runs, i, k, module, patterns, count);
    if (fit.misfit[0] > kNearestFit || fit.misfit[1] < fit.misfit[0] + kNearestMargin) return -1;
    return fit.value[0];
}

CharacterPair erasure_pair(const NearestFit& fit) {
    if (fit.value[1] < 0 || fit.misfit[1] > kNearestFit) return CharacterPair{};
    if (fit.misfit[2] < fit.misfit[0] + kNearestMargin) return CharacterPair{};
    return CharacterPair{fit.value[0], fit.value[1]};
}

int nearest_or_erasure(const NearestFit& fit, int index, int& erasure, CharacterPair& pair) {
    if (fit.misfit[0] <= kNearestFit && fit.misfit[1] >= fit.misfit[0] + kNearestMargin) return fit.value[0];
    if (erasure >= 0) return -1;
    const CharacterPair candidates = erasure_pair(fit);
    if (candidates.first < 0) return -1;
    erasure = index;
    pair = candidates;
    return candidates.first;
}

double local_module(const RunList& runs, int first, int end, int i, int k, int modules, int reach) {
    const int from = std::max(first, i - reach * k);
    const int to = std::min(end, i + (reach + 1) * k);
    if (to - from < k || (to - from) % k != 0 || modules <= 0) return 0.0;
    long long total = 0;
    for (int j = from; j < to; ++j) total += runs.length(j);
    return static_cast<double>(total) / ((to - from) / k * modules);
}

int read_narrow_wide(const RunList& runs, int i, int n, int wide, const KeyTable& table) {
    const auto printed = narrow_wide_key(runs, i, n, wide, Ink::AsPrinted);
    const auto compensated = narrow_wide_key(runs, i, n, wide, Ink::Compensated);
    const int asPrinted = printed ? table.find(printed->value) : -1;
    const int withGain = compensated ? table.find(compensated->value) : -1;
    // Two different characters, one as printed and one with the ink gain taken off: the
    // symbology has no check to choose, so neither is taken.
    if (asPrinted >= 0 && withGain >= 0 && asPrinted != withGain) return -1;
    return asPrinted >= 0 ? asPrinted : withGain;
}

std::uint64_t pattern_width_sum_key(const char* widths) {
    std::uint64_t key = 0;
    const std::size_t n = std::strlen(widths);
    for (std::size_t i = 1; i < n; ++i)
        key = key * 10 + static_cast<std::uint64_t>((widths[i - 1] - '0') + (widths[i] - '0'));
    return key;
}

std::uint64_t pattern_digits(const char* widths) {
    std::uint64_t key = 0;
    for (const char* p = widths; *p; ++p) key = key * 10 + static_cast<std::uint64_t>(*p - '0');
    return key;
}

std::string reversed_pattern(const char* widths) {
    std::string s(widths);
    std::reverse(s.begin(), s.end());
    return s;
}

// The EAN/UPC symbols have fixed lengths: EAN-13 6 + 6 digits of 4 elements around the 5
// elements of the centre guard, EAN-8 4 + 4, UPC-E 6 digits.
const SymbologyFacts kSymbologyFacts[8] = {
    // number        family               elements units lead trail gap fixed
    {kCode128, Family::WidthSum, 6, 11, 10, 10, 0, 0},
    {kCode93, Family::WidthSum, 6, 9, 10, 10, 0, 0},
    {kEan13, Family::WidthSum, 4, 7, 11, 7, 0, 6 * 4 + 5 + 6 * 4},
    {kEan8, Family::WidthSum, 4, 7, 7, 7, 0, 4 * 4 + 5 + 4 * 4},
    {kUpcE, Family::WidthSum, 4, 7, 9, 7, 0, 6 * 4},
    {kCode39, Family::NarrowWide, 9, 3, 10, 10, 1, 0},
    {kCodabar, Family::NarrowWide, 7, 2, 10, 10, 1, 0},
    {kInterleaved2of5, Family::NarrowWide, 10, 4, 10, 10, 0, 0},
};

const Symbology* find_symbology(int number) {
    static const std::array<Symbology, 8> table = [] {
        std::array<Symbology, 8> rows = {make_code128(), make_code93(),         make_ean13(),
                                         make_ean8(),    make_upce(),           make_code39(),
                                         make_codabar(), make_interleaved2of5()};
        for (std::size_t i = 0; i < rows.size(); ++i)
            static_cast<SymbologyFacts&>(rows[i]) = kSymbologyFacts[i];
        return rows;
    }();
    if (number < 1 || number > 8) return nullptr;
    return &table[static_cast<std::size_t>(number - 1)];
}

}  // namespace stripescan
