// UPC-E (number system 0): six digits whose parity gives the check digit.

#include "barcode/linear/symbologies/ean_dark_window.h"
#include "barcode/linear/symbologies/ean_digits.h"
#include "barcode/linear/symbologies/ean_lines.h"
#include "barcode/linear/symbologies/ean_sum_doubt.h"
#include "barcode/linear/symbologies/ean_width_classes.h"
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

// Digits 1 to 5 may be an erasure; the sixth decides where the others stand in the check.
constexpr int kErasableDigits = 5;
// Erasures a line may hold while it reads on: the earlier lines of its fan may settle them.
constexpr std::size_t kMostErasures = 3;

// Settles the erasures at `at` of `digits` (their two candidates in `pairs`) by the check digit
// `check`, together with every 1, 2, 7 or 8 that only this line's bars (`runs`, the symbol's
// gain `gain`) told from its partner (not `confirmed`: an earlier line of the fan read it the
// same, firmly): true, with the digits written in, when exactly one choice of all their digits
// passes and it keeps the digits read firmly (settle_with_pair_digits). A sixth
// digit read 6 off moves the others to other places among the UPC-A digits; the check, taken
// on each choice's own expansion, weighs that too.
bool settle_erasures(const RunList& runs, int gain, std::string& digits, char check,
                     const std::vector<int>& at, const std::vector<DigitPair>& pairs,
                     const std::vector<ReadDigit>& read, const std::vector<bool>& confirmed) {
    std::vector<std::size_t> places;
    for (int e : at) places.push_back(static_cast<std::size_t>(e));
    return settle_with_pair_digits(
        runs, digits, 0, read, gain, confirmed, places, pairs,
        [check](const std::string& text) { return ean_check_ok(expand(text, check)); });
}

// Reads the six digits and the check digit their parity gives. A digit in neither set is
// Rejected; a wrong digit count or a parity that gives no check digit answers TryReversed.
ReadOutcome read_upce(SymbolCursor symbol, const Symbology&, const ReadOptions& options, Decoded& out) {
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
    // Digits among the first five that only their pair is known of (1/7 or 2/8): their places
    // and pairs. The sixth digit picks which digits the check covers, so it cannot be settled so.
    std::vector<int> erasures;
    std::vector<DigitPair> pairs;
    std::vector<ReadDigit> read;
    // On a line by local contrast: the pairs of the digits whose bars decide neither (in order).
    std::vector<DigitPair> open;
    for (int k = 0; symbol.remaining() >= kEanDigitElements + kUpcEEndGuardElements; ++k) {
        const int i = symbol.next(kEanDigitElements);
        const int g = k < kDigits ? gains[static_cast<std::size_t>(k)] : gain;
        DigitPair maybe;
        const NearestDigit digit =
            read_ean_digit_either(symbol.runs(), i, {EanSet::A, EanSet::B}, module, gain, g, maybe);
        if (digit.digit < 0) {
            if (erasures.size() + open.size() >= kMostErasures || maybe.first < 0 || k >= kErasableDigits ||
                (options.contrastLine && !options.widthClasses))
                return ReadOutcome::Rejected;
            if (options.contrastLine) {
                open.push_back(maybe);
            } else {
                erasures.push_back(k);
                pairs.push_back(maybe);
            }
            parity.push_back(maybe.set == EanSet::A ? '1' : '2');
            digits.push_back('?');
            read.push_back(ReadDigit{i, maybe.set, g, -1});
            continue;
        }
        read.push_back(ReadDigit{i, digit.set, g, digit.digit});
        parity.push_back(digit.set == EanSet::A ? '1' : '2');
        digits.push_back(static_cast<char>('0' + digit.digit));
    }
    if (digits.size() != kDigits) return ReadOutcome::TryReversed;
    if (!ean_digit_widths_even(symbol.runs(), start + kEanGuardElements, kDigits))
        return ReadOutcome::Rejected;
    char check = 0;
    for (int v = 0; v < 10; ++v) {
        if (parity == kParity[v]) check = static_cast<char>('0' + v);
    }
    if (check == 0) return ReadOutcome::TryReversed;
    // Digits firm here that an earlier line of the fan read the same firmly.
    std::vector<bool> confirmed(read.size(), false);
    if (options.eanLines != nullptr && !options.contrastLine)
        confirmed =
            settle_from_lines(*options.eanLines, symbol.runs(), kUpcE, read, gain, 0, erasures, pairs, digits,
                              [check](const std::string& text) { return ean_check_ok(expand(text, check)); });
    // A local threshold starves the bars of the symbol's dark stretches: the pair digits and
    // erasures of a line that does not pass as read go by the darkness around each digit (on a
    // line by local contrast whose width classes decide its pairs, once they have).
    auto checkPasses = [check](const std::string& text) { return ean_check_ok(expand(text, check)); };
    std::optional<DarkWindowReading> dark;
    auto settleInTheDark = [&] {
        if (!erasures.empty() || !checkPasses(digits))
            dark = settle_by_darkness(symbol.runs(), read, erasures, pairs, digits, 0,
                                      DarkWindowLayout{-1, "010101"}, checkPasses);
        if (dark) {
            erasures.clear();
            pairs.clear();
        }
    };
    if (!options.contrastLine || !options.widthClasses) settleInTheDark();
    if (erasures.size() > kMostCheckedErasures) return ReadOutcome::Rejected;
    if (!erasures.empty() &&
        !settle_erasures(symbol.runs(), gain, digits, check, erasures, pairs, read, confirmed))
        return ReadOutcome::Rejected;
    // On a line whose edges follow the local contrast, bar widths carry that contrast's own
    // bias: every digit told from its pair by its bars is the one whose bars the line's own
    // narrow and wide bars predict, clearly.
    if (options.contrastLine && !options.widthClasses && !pair_digits_firm(symbol.runs(), read, gain, -1))
        return ReadOutcome::Rejected;
    if (options.contrastLine && options.widthClasses) {
        if (!settle_pairs_by_classes(symbol.runs(), read, open, HalfModules{module, module, read.size()}))
            return ReadOutcome::Rejected;
        for (std::size_t k = 0; k < read.size(); ++k) digits[k] = static_cast<char>('0' + read[k].digit);
        settleInTheDark();
    }
    // A sixth digit read 6 off (1 for 7, 2 for 8) moves the others to other places among the
    // UPC-A digits, and the check then passes one time in ten. A 1, 2, 7 or 8 there must read
    // the same with the gain around it, also with modules under 2.5 px, where the digits are
    // read without it: on local-threshold photos starved bars read 7 as 1 and 8 as 2 and passed.
    // The darkness around it, when it settled the line, weighs it better.
    const ReadDigit& last = read.back();
    if (!dark && last.localGain != gain &&
        (last.digit == 1 || last.digit == 2 || last.digit == 7 || last.digit == 8)) {
        const NearestDigit local =
            read_ean_digit_in(symbol.runs(), last.first, {EanSet::A, EanSet::B}, module, last.localGain);
        if (local.digit != last.digit || local.set != last.set) return ReadOutcome::Rejected;
    }
    if (!ean_check_ok(expand(digits, check))) return ReadOutcome::Rejected;
    // A text the check digit could not tell from another reading of the same bars is none.
    std::vector<int> values;
    for (char d : digits) values.push_back(d - '0');
    auto passes = [&](const std::vector<int>& other) {
        std::string text;
        for (int v : other) text.push_back(static_cast<char>('0' + v));
        return ean_check_ok(expand(text, check));
    };
    if (module > 0 && pair_digits_may_tip(symbol.runs(), read, values, gain / module, passes,
                                          dark ? &dark->expectedExcess : nullptr))
        return ReadOutcome::Rejected;
    // Nor is one that the same bars give with the sums in doubt read the other way (on any line):
    // such digits change their set, and with it the check digit the parity gives; and the width
    // classes that decide its pairs come from the digits its sums decided.
    auto passesWithSets = [](const std::vector<ReadDigit>& other) {
        std::string text, otherParity;
        for (const ReadDigit& d : other) {
            text.push_back(static_cast<char>('0' + d.digit));
            otherParity.push_back(d.set == EanSet::A ? '1' : '2');
        }
        for (int v = 0; v < 10; ++v) {
            if (otherParity == kParity[v]) return ean_check_ok(expand(text, static_cast<char>('0' + v)));
        }
        return false;
    };
    std::vector<ReadDigit> settled = read;
    for (std::size_t k = 0; k < settled.size(); ++k) {
        const char c = digits[k];
        settled[k].digit = c >= '0' && c <= '9' ? c - '0' : -1;  // an erasure left: no reading to weigh
    }
    if (sums_may_tip(
            symbol.runs(), settled,
            [](std::size_t) {
                return std::vector<EanSet>{EanSet::A, EanSet::B};
            },
            HalfModules{module, module, read.size()}, passesWithSets))
        return ReadOutcome::Rejected;
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
