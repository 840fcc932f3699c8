// UPC-E (number system 0): six digits whose parity gives the check digit.

#include "barcode/linear/symbologies/ean_digits.h"
#include "barcode/linear/symbology.h"

namespace stripescan {
namespace {

constexpr int kDigits = 6;
// Check digit by the parity of the six digits (1 = set A, 2 = set B), first digit first.
constexpr const char* kParity[10] = {"222111", "221211", "221121", "221112", "212211",
                                     "211221", "211122", "212121", "212112", "211212"};

// The UPC-A digits that `d` (the six digits) and check digit `c` stand for.
std::string expand(const std::string& d, char c) {
    const char last = d[5];
    std::string a = "0";
    if (last <= '2') a += std::string{d[0], d[1], last, '0', '0', '0', '0', d[2], d[3], d[4]};
    else if (last == '3') a += std::string{d[0], d[1], d[2], '0', '0', '0', '0', '0', d[3], d[4]};
    else if (last == '4') a += std::string{d[0], d[1], d[2], d[3], '0', '0', '0', '0', '0', d[4]};
    else a += std::string{d[0], d[1], d[2], d[3], d[4], '0', '0', '0', '0', last};
    a.push_back(c);
    return a;
}

// -1: a digit in neither set (no second attempt); 0: worth a second attempt; 1: read.
int attempt(const RunList& runs, std::string& digits, char& check) {
    digits.clear();
    std::string parity;
    for (int i = runs.first + 3; i + 4 <= runs.last - 5; i += 4) {
        int d = read_ean_digit(runs, i, EanSet::A);
        char bit = '1';
        if (d < 0) {
            d = read_ean_digit(runs, i, EanSet::B);
            bit = '2';
        }
        if (d < 0) return -1;
        parity.push_back(bit);
        digits.push_back(static_cast<char>('0' + d));
    }
    if (digits.size() != kDigits) return 0;
    check = 0;
    for (int v = 0; v < 10; ++v) {
        if (parity == kParity[v]) check = static_cast<char>('0' + v);
    }
    if (check == 0) return 0;
    return 1;
}

bool read_upce(RunList& runs, const Symbology&, const ReadOptions&, Decoded& out) {
    std::string digits;
    char check = 0;
    int result = attempt(runs, digits, check);
    if (result < 0) return false;
    if (result == 0) {
        runs.reverse();
        if (attempt(runs, digits, check) <= 0) return false;
    }
    if (!ean_check_ok(expand(digits, check))) return false;
    out.symbology = kUpcE;
    out.text = "0" + digits + check;
    return true;
}

}  // namespace

Symbology make_upce() {
    Symbology s;
    s.number = kUpcE;
    s.family = Family::WidthSum;
    s.char_elements = 4;
    s.char_units = 7;
    s.lead_quiet = 9;
    s.trail_quiet = 7;
    s.fixed_data = 6 * 4;
    s.starts.push_back(Pattern{22, 22, 3, 3, 0});
    Pattern end{22222, 22222, 6, 6, 0};
    end.bar_first = false;
    s.stops.push_back(end);
    s.read = read_upce;
    return s;
}

}  // namespace stripescan
