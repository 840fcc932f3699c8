#include "barcode/linear/symbologies/ean_lines.h"

namespace stripescan {
namespace {

// True when `a` and `b` are lines of the same symbol as read: same symbology, digits and sets,
// and equal values wherever both read a digit.
bool same_symbol(const EanLineDigits& a, const EanLineDigits& b) {
    if (a.symbology != b.symbology || a.values.size() != b.values.size() || a.sets != b.sets ||
        a.firm.size() != a.values.size() || b.firm.size() != b.values.size())
        return false;
    for (std::size_t k = 0; k < a.values.size(); ++k) {
        if (a.values[k] >= 0 && b.values[k] >= 0 && a.values[k] != b.values[k]) return false;
    }
    return true;
}

}  // namespace

void EanFanLines::add(const EanLineDigits& line) {
    if (lines_.size() < kMostLines) lines_.push_back(line);
}

std::vector<int> EanFanLines::settled(const EanLineDigits& line) const {
    std::vector<int> out(line.values.size(), -1);
    // Per place: no firm reading yet (-1), the one value read, or a conflict (-2).
    std::vector<int> seen(line.values.size(), -1);
    for (const EanLineDigits& other : lines_) {
        if (!same_symbol(line, other)) continue;
        for (std::size_t k = 0; k < line.values.size(); ++k) {
            if (line.values[k] >= 0 || other.values[k] < 0 || !other.firm[k] || seen[k] == -2) continue;
            seen[k] = seen[k] == -1 || seen[k] == other.values[k] ? other.values[k] : -2;
        }
    }
    for (std::size_t k = 0; k < out.size(); ++k) out[k] = seen[k] >= 0 ? seen[k] : -1;
    return out;
}

std::vector<bool> EanFanLines::confirmed(const EanLineDigits& line) const {
    std::vector<bool> out(line.values.size(), false);
    for (const EanLineDigits& other : lines_) {
        if (!same_symbol(line, other)) continue;
        for (std::size_t k = 0; k < line.values.size(); ++k)
            out[k] = out[k] || (line.values[k] >= 0 && line.firm[k] && other.firm[k] &&
                                other.values[k] == line.values[k]);
    }
    return out;
}

std::vector<bool> settle_from_lines(EanFanLines& lines, const RunList& runs, int symbology,
                                    const std::vector<ReadDigit>& read, int symbolGain, std::size_t lead,
                                    std::vector<int>& erasures, std::vector<DigitPair>& pairs,
                                    std::string& text,
                                    const std::function<bool(const std::string&)>& passes) {
    if (erasures.size() != pairs.size() || text.size() != lead + read.size())
        return std::vector<bool>(read.size(), false);
    EanLineDigits line;
    line.symbology = symbology;
    for (const ReadDigit& r : read) {
        const bool pairDigit = r.digit == 1 || r.digit == 2 || r.digit == 7 || r.digit == 8;
        line.values.push_back(r.digit);
        line.sets.push_back(r.set);
        line.firm.push_back(
            r.digit >= 0 &&
            (!pairDigit || (ean_pair_digit_firm(runs, r.first, r.set, r.digit, symbolGain) &&
                            ean_pair_digit_firm(runs, r.first, r.set, r.digit, r.localGain))));
    }
    // Whether some choice of candidates at the erasures from the n-th on passes.
    std::string trial = text;
    std::function<bool(std::size_t)> anyPasses = [&](std::size_t n) {
        if (n == erasures.size()) return passes(trial);
        const std::size_t at = lead + static_cast<std::size_t>(erasures[n]);
        for (int candidate : {pairs[n].first, pairs[n].second}) {
            trial[at] = static_cast<char>('0' + candidate);
            if (anyPasses(n + 1)) return true;
        }
        return false;
    };
    const std::vector<int> known = lines.settled(line);
    std::vector<bool> confirmed = lines.confirmed(line);
    if (anyPasses(0)) lines.add(line);
    for (std::size_t n = erasures.size(); n-- > 0;) {
        const int v = known[static_cast<std::size_t>(erasures[n])];
        if (v < 0 || (v != pairs[n].first && v != pairs[n].second)) continue;
        text[lead + static_cast<std::size_t>(erasures[n])] = static_cast<char>('0' + v);
        erasures.erase(erasures.begin() + static_cast<std::ptrdiff_t>(n));
        pairs.erase(pairs.begin() + static_cast<std::ptrdiff_t>(n));
    }
    return confirmed;
}

}  // namespace stripescan
