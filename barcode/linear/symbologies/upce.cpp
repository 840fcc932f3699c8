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
    if (last <= '2')
        a += std::string{d[0], d[1], last, '0', '0', '0', '0', d[2], d[3], d[4]};
    else if (last == '3')
        a += std::string{d[0], d[1], d[2], '0', '0', '0', '0', '0', d[3], d[4]};
    else if (last == '4')
        a += std::string{d[0], d[1], d[2], d[3], '0', '0', '0', '0', '0', d[4]};
    else
        a += std::string{d[0], d[1], d[2], d[3], d[4], '0', '0', '0', '0', last};
    a.push_back(c);
    return a;
}

// Reads the six digits and the check digit their parity gives. A digit in neither set is
// Rejected; a wrong digit count or a parity that gives no check digit answers TryReversed.
ReadOutcome read_upce(SymbolCursor symbol, const Symbology&, const ReadOptions&, Decoded& out) {
    std::string digits;
    std::string parity;
    const int start = symbol.at();
    const double module = span_module(symbol.runs(), start + kEanGuardElements, kDigits * kEanDigitElements,
                                      kDigits * kEanDigitModules);
    const int gain = trusted_ink_gain(
        ean_ink_gain(symbol.runs(), {{start, kEanGuardElements},
                                     {start + symbol.size() - kUpcEEndGuardElements, kUpcEEndGuardElements}}),
        module, symbol.runs().unit);
    std::vector<DigitPlace> places;
    for (int k = 0; k < kDigits; ++k)
        places.push_back(DigitPlace{start + kEanGuardElements + k * kEanDigitElements, false});
    std::vector<int> gains = local_ink_gains(symbol.runs(), places, gain);
    for (int& g : gains) g = trusted_ink_gain(g, module, symbol.runs().unit);
    symbol.skip(kEanGuardElements);
    for (int k = 0; symbol.remaining() >= kEanDigitElements + kUpcEEndGuardElements; ++k) {
        const int i = symbol.next(kEanDigitElements);
        const int g = k < kDigits ? gains[static_cast<std::size_t>(k)] : gain;
        // No erasure here: the check digit comes from the parity, and the sixth digit picks
        // which digits the check covers, so it cannot settle a digit in doubt.
        DigitPair unused;
        const NearestDigit digit =
            read_ean_digit_either(symbol.runs(), i, {EanSet::A, EanSet::B}, module, gain, g, unused);
        const int d = digit.digit;
        const char bit = digit.set == EanSet::A ? '1' : '2';
        if (d < 0) return ReadOutcome::Rejected;
        parity.push_back(bit);
        digits.push_back(static_cast<char>('0' + d));
    }
    if (digits.size() != kDigits) return ReadOutcome::TryReversed;
    if (!ean_digit_widths_even(symbol.runs(), start + kEanGuardElements, kDigits))
        return ReadOutcome::Rejected;
    char check = 0;
    for (int v = 0; v < 10; ++v) {
        if (parity == kParity[v]) check = static_cast<char>('0' + v);
    }
    if (check == 0) return ReadOutcome::TryReversed;
    if (!ean_check_ok(expand(digits, check))) return ReadOutcome::Rejected;
    out.symbology = kUpcE;
    out.text = "0" + digits + check;
    return ReadOutcome::Read;
}

}  // namespace

Symbology make_upce() {
    Symbology s;
    s.starts.push_back(Pattern{kEanGuardKey, kEanGuardKey, kEanGuardElements, kEanGuardModules, 0});
    Pattern end{kUpcEEndGuardKey, kUpcEEndGuardKey, kUpcEEndGuardElements, kUpcEEndGuardModules, 0};
    end.barFirst = false;
    s.stops.push_back(end);
    s.read = read_upce;
    return s;
}

}  // namespace stripescan
