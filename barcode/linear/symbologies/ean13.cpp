// EAN-13 (and UPC-A, an EAN-13 symbol whose first digit is 0).

#include "barcode/linear/symbologies/ean_digits.h"
#include "barcode/linear/symbology.h"

namespace stripescan {
namespace {

constexpr int kLeftDigits = 6;
constexpr int kRightDigits = 6;
// First digit by the parity of the left digits (1 = set A, 0 = set B), first digit first.
constexpr int kParity[10] = {0b111111, 0b110100, 0b110010, 0b110001, 0b101100,
                             0b100110, 0b100011, 0b101010, 0b101001, 0b100101};

// One reading of the digits. -1: a digit failed; 0: other failure; 1: read.
int attempt(const RunList& runs, std::string& digits) {
    digits.clear();
    int parity = 0;
    std::string left;
    for (int k = 0; k < kLeftDigits; ++k) {
        const int i = runs.first + 3 + 4 * k;
        int d = read_ean_digit(runs, i, EanSet::A);
        int bit = 1;
        if (d < 0) {
            d = read_ean_digit(runs, i, EanSet::B);
            bit = 0;
        }
        if (d < 0) return -1;
        parity = parity << 1 | bit;
        left.push_back(static_cast<char>('0' + d));
    }
    std::string right;
    for (int i = runs.first + 3 + 4 * kLeftDigits + 5; i + 4 <= runs.last - 2; i += 4) {
        const int d = read_ean_digit(runs, i, EanSet::C);
        if (d < 0) return -1;
        right.push_back(static_cast<char>('0' + d));
    }
    if (right.size() != kRightDigits) return 0;
    int lead = -1;
    for (int v = 0; v < 10; ++v) {
        if (kParity[v] == parity) lead = v;
    }
    if (lead < 0) return -1;
    digits = static_cast<char>('0' + lead) + left + right;
    return 1;
}

bool read_ean13(RunList& runs, const Symbology&, const ReadOptions& options, Decoded& out) {
    std::string digits;
    int result = attempt(runs, digits);
    if (result < 0) {
        runs.reverse();
        result = attempt(runs, digits);
    }
    if (result <= 0 || !ean_check_ok(digits)) return false;
    out.symbology = kEan13;
    if (digits[0] == '0' && options.requested_itself[kUpcA]) out.symbology = kUpcA;
    if (options.setting.sendCheck == 0) digits.pop_back();
    out.text = std::move(digits);
    return true;
}

}  // namespace

Symbology make_ean13() {
    Symbology s;
    s.number = kEan13;
    s.family = Family::WidthSum;
    s.char_elements = 4;
    s.char_units = 7;
    s.lead_quiet = 11;
    s.trail_quiet = 7;
    s.fixed_data = 6 * 4 + 5 + 6 * 4;
    s.starts.push_back(Pattern{22, 22, 3, 3, 0});
    s.stops.push_back(Pattern{22, 22, 3, 3, 0});
    s.read = read_ean13;
    return s;
}

}  // namespace stripescan
