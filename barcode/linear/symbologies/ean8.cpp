// EAN-8: four digits in set A, four in set C.

#include "barcode/linear/symbologies/ean_digits.h"
#include "barcode/linear/symbology.h"

namespace stripescan {
namespace {

constexpr int kHalfDigits = 4;

int attempt(const RunList& runs, std::string& digits) {
    digits.clear();
    for (int k = 0; k < kHalfDigits; ++k) {
        const int d = read_ean_digit(runs, runs.first + 3 + 4 * k, EanSet::A);
        if (d < 0) return -1;
        digits.push_back(static_cast<char>('0' + d));
    }
    for (int i = runs.first + 3 + 4 * kHalfDigits + 5; i + 4 <= runs.last - 2; i += 4) {
        const int d = read_ean_digit(runs, i, EanSet::C);
        if (d < 0) return -1;
        digits.push_back(static_cast<char>('0' + d));
    }
    return digits.size() == 2 * kHalfDigits ? 1 : 0;
}

bool read_ean8(RunList& runs, const Symbology&, const ReadOptions& options, Decoded& out) {
    std::string digits;
    int result = attempt(runs, digits);
    if (result < 0) {
        runs.reverse();
        result = attempt(runs, digits);
    }
    if (result <= 0 || !ean_check_ok(digits)) return false;
    if (options.setting.sendCheck == 0) digits.pop_back();
    out.symbology = kEan8;
    out.text = std::move(digits);
    return true;
}

}  // namespace

Symbology make_ean8() {
    Symbology s;
    s.number = kEan8;
    s.family = Family::WidthSum;
    s.char_elements = 4;
    s.char_units = 7;
    s.lead_quiet = 7;
    s.trail_quiet = 7;
    s.fixed_data = 4 * 4 + 5 + 4 * 4;
    s.starts.push_back(Pattern{22, 22, 3, 3, 0});
    s.stops.push_back(Pattern{22, 22, 3, 3, 0});
    s.read = read_ean8;
    return s;
}

}  // namespace stripescan
