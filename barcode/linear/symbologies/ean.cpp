// EAN-13 (and UPC-A, an EAN-13 symbol whose first digit is 0) and EAN-8: one reader for both
// layouts. The left half's digits are in set A or B, the right half's in set C; EAN-13 carries
// its first digit in the parity pattern of the left half, EAN-8 has all left digits in set A.

#include "barcode/linear/symbologies/ean_dark_window.h"
#include "barcode/linear/symbologies/ean_digits.h"
#include "barcode/linear/symbologies/ean_lines.h"
#include "barcode/linear/symbologies/ean_sum_doubt.h"
#include "barcode/linear/symbologies/ean_width_classes.h"
#include "barcode/linear/symbology.h"

namespace stripescan {
namespace {

struct EanLayout {
    int number;       // symbology reported
    int halfDigits;   // digits on each side of the centre guard
    bool parityLead;  // the first digit is read from the left half's parity
};

constexpr EanLayout kEan13Layout{kEan13, 6, true};
constexpr EanLayout kEan8Layout{kEan8, 4, false};

// First digit by the parity of the left digits (1 = set A, 0 = set B), first digit first.
constexpr int kParity[10] = {0b111111, 0b110100, 0b110010, 0b110001, 0b101100,
                             0b100110, 0b100011, 0b101010, 0b101001, 0b100101};

// Erasures a line may hold while it reads on: the earlier lines of its fan may settle them.
constexpr std::size_t kMostErasures = 3;

// Reads the digits of `layout` into `digits` (check digit last). A digit in no set, or a parity
// that gives no first digit, answers TryReversed: the same runs read the other way round may be
// the symbol. A wrong number of right digits is Rejected. `lines`, when given, holds the digits
// of the earlier lines of the same fan: an erasure they read firmly is settled by them, and this
// line's digits are left there for the lines after it.
ReadOutcome read_digits(SymbolCursor symbol, const EanLayout& layout, bool contrastLine, bool widthClasses,
                        EanFanLines* lines, std::string& digits) {
    digits.clear();
    int parity = 0;
    std::string left;
    // Digits that only their pair is known of (ean_digit_pair): their places among all digits
    // read, left half first, and their pairs.
    std::vector<int> erasures;
    std::vector<DigitPair> pairs;
    // Each digit's first run and set, left half first, for the firmness of pair digits.
    std::vector<ReadDigit> read;
    // On a line by local contrast: the pairs of the digits whose bars decide neither (in order).
    std::vector<DigitPair> open;
    const int start = symbol.at();
    const int centre = start + kEanGuardElements + layout.halfDigits * kEanDigitElements;
    const int end = start + symbol.size() - kEanGuardElements;
    // Each half's module over its digits.
    const int halfRuns = layout.halfDigits * kEanDigitElements;
    const int halfModules = layout.halfDigits * kEanDigitModules;
    const double leftModule = span_module(symbol.runs(), start + kEanGuardElements, halfRuns, halfModules);
    const double rightModule =
        span_module(symbol.runs(), centre + kEanCentreGuardElements, halfRuns, halfModules);
    const int gain = trusted_ink_gain(ean_ink_gain(symbol.runs(), {{start, kEanGuardElements},
                                                                   {centre, kEanCentreGuardElements},
                                                                   {end, kEanGuardElements}}),
                                      leftModule, symbol.runs().unit);
    std::vector<DigitPlace> places;
    for (int k = 0; k < 2 * layout.halfDigits; ++k) {
        const bool right = k >= layout.halfDigits;
        places.push_back(DigitPlace{
            start + kEanGuardElements + k * kEanDigitElements + (right ? kEanCentreGuardElements : 0),
            right});
    }
    std::vector<int> gains = local_ink_gains(symbol.runs(), places, gain);
    for (int& g : gains) g = trusted_ink_gain(g, leftModule, symbol.runs().unit);
    symbol.skip(kEanGuardElements);
    for (int k = 0; k < layout.halfDigits; ++k) {
        const int i = symbol.next(kEanDigitElements);
        const int g = gains[static_cast<std::size_t>(k)];
        DigitPair maybe;
        const NearestDigit digit =
            layout.parityLead
                ? read_ean_digit_either(symbol.runs(), i, {EanSet::A, EanSet::B}, leftModule, gain, g, maybe)
                : read_ean_digit_either(symbol.runs(), i, {EanSet::A}, leftModule, gain, g, maybe);
        if (digit.digit < 0) {
            if (erasures.size() + open.size() >= kMostErasures || maybe.first < 0 ||
                (contrastLine && !widthClasses))
                return ReadOutcome::TryReversed;
            if (contrastLine) {
                open.push_back(maybe);
            } else {
                erasures.push_back(k);
                pairs.push_back(maybe);
            }
            parity = parity << 1 | (maybe.set == EanSet::A ? 1 : 0);
            left.push_back('?');
            read.push_back(ReadDigit{i, maybe.set, g, -1});
            continue;
        }
        read.push_back(ReadDigit{i, digit.set, g, digit.digit});
        parity = parity << 1 | (digit.set == EanSet::A ? 1 : 0);
        left.push_back(static_cast<char>('0' + digit.digit));
    }
    symbol.skip(kEanCentreGuardElements);
    if (!ean_digit_widths_even(symbol.runs(), start + kEanGuardElements, layout.halfDigits) ||
        !ean_digit_widths_even(symbol.runs(), symbol.at(), layout.halfDigits)) {
        return ReadOutcome::Rejected;
    }
    std::string right;
    for (int k = layout.halfDigits; symbol.remaining() >= kEanDigitElements + kEanGuardElements; ++k) {
        const int i = symbol.next(kEanDigitElements);
        const int g = k < static_cast<int>(gains.size()) ? gains[static_cast<std::size_t>(k)] : gain;
        DigitPair maybe;
        const int d = read_ean_digit_either(symbol.runs(), i, {EanSet::C}, rightModule, gain, g, maybe).digit;
        if (d < 0) {
            if (erasures.size() + open.size() >= kMostErasures || maybe.first < 0 ||
                (contrastLine && !widthClasses))
                return ReadOutcome::TryReversed;
            if (contrastLine) {
                open.push_back(maybe);
            } else {
                erasures.push_back(k);
                pairs.push_back(maybe);
            }
            right.push_back('?');
            read.push_back(ReadDigit{i, EanSet::C, g, -1});
            continue;
        }
        read.push_back(ReadDigit{i, EanSet::C, g, d});
        right.push_back(static_cast<char>('0' + d));
    }
    if (static_cast<int>(right.size()) != layout.halfDigits) return ReadOutcome::Rejected;
    // On a line whose edges follow the local contrast, bar widths carry that contrast's own
    // bias: every digit told from its pair by its bars is the one whose bars the line's own
    // narrow and wide bars predict, clearly.
    if (contrastLine && !widthClasses && !pair_digits_firm(symbol.runs(), read, gain, -1))
        return ReadOutcome::Rejected;
    if (contrastLine && widthClasses) {
        const HalfModules modules{leftModule, rightModule, left.size()};
        if (!settle_pairs_by_classes(symbol.runs(), read, open, modules)) return ReadOutcome::Rejected;
        for (std::size_t k = 0; k < read.size(); ++k) {
            std::string& half = k < left.size() ? left : right;
            half[k < left.size() ? k : k - left.size()] = static_cast<char>('0' + read[k].digit);
        }
    }
    if (layout.parityLead) {
        int lead = -1;
        for (int v = 0; v < 10; ++v) {
            if (kParity[v] == parity) lead = v;
        }
        if (lead < 0) return ReadOutcome::TryReversed;
        digits.push_back(static_cast<char>('0' + lead));
    }
    digits += left + right;
    const std::size_t lead = layout.parityLead ? 1 : 0;
    // Digits firm here that an earlier line of the fan read the same firmly.
    std::vector<bool> confirmed(read.size(), false);
    if (lines != nullptr && !contrastLine)
        confirmed = settle_from_lines(*lines, symbol.runs(), layout.number, read, gain, lead, erasures, pairs,
                                      digits, [](const std::string& text) { return ean_check_ok(text); });
    // A local threshold starves the bars of the symbol's dark stretches: the pair digits and
    // erasures of a line that does not pass as read go by the darkness around each digit (on a
    // line by local contrast whose width classes decide its pairs, once they have).
    std::optional<DarkWindowReading> dark;
    if (!erasures.empty() || !ean_check_ok(digits)) {
        dark = settle_by_darkness(symbol.runs(), read, erasures, pairs, digits, lead,
                                  DarkWindowLayout{layout.halfDigits, "101"},
                                  [](const std::string& text) { return ean_check_ok(text); });
        if (dark) {
            erasures.clear();
            pairs.clear();
        }
    }
    if (erasures.size() > kMostCheckedErasures) return ReadOutcome::TryReversed;
    if (!erasures.empty()) {
        // The check digit settles the erasures, and with them every 1, 2, 7 or 8 that only this
        // line's bars told from its partner (an earlier line of the fan that read it the same,
        // firmly, puts it beyond doubt): exactly one choice of all their digits must pass, and
        // it must keep the digits this line read firmly.
        std::vector<std::size_t> places;
        for (int e : erasures) places.push_back(static_cast<std::size_t>(e) + lead);
        if (!settle_with_pair_digits(symbol.runs(), digits, lead, read, gain, confirmed, places, pairs,
                                     [](const std::string& text) { return ean_check_ok(text); }))
            return ReadOutcome::Rejected;
    }
    // A text the check digit could not tell from another reading of the same bars is none.
    std::vector<int> values;
    for (std::size_t k = lead; k < digits.size(); ++k) values.push_back(digits[k] - '0');
    auto passes = [&](const std::vector<int>& other) {
        std::string text = digits.substr(0, lead);
        for (int v : other) text.push_back(static_cast<char>('0' + v));
        return ean_check_ok(text);
    };
    if (ean_check_ok(digits) && leftModule > 0 &&
        pair_digits_may_tip(symbol.runs(), read, values, gain / leftModule, passes,
                            dark ? &dark->expectedExcess : nullptr))
        return ReadOutcome::Rejected;
    // Nor is one that the same bars give with the sums in doubt read the other way: on EAN-13 such
    // digits change their set, and with it the first digit the parity gives; and the width classes
    // that decide its pairs come from the digits its sums decided. Plain lines of the 1-bit runs
    // too: a local threshold that broke the thin bars into dashes left sums half-way on many lines
    // alike, and two such digits read the other way gave another first digit that passed.
    const std::size_t leftDigits = left.size();
    auto setsAt = [&](std::size_t k) {
        if (k >= leftDigits) return std::vector<EanSet>{EanSet::C};
        return layout.parityLead ? std::vector<EanSet>{EanSet::A, EanSet::B} : std::vector<EanSet>{EanSet::A};
    };
    auto passesWithSets = [&](const std::vector<ReadDigit>& other) {
        std::string text;
        if (layout.parityLead) {
            int otherParity = 0;
            for (std::size_t k = 0; k < leftDigits; ++k)
                otherParity = otherParity << 1 | (other[k].set == EanSet::A ? 1 : 0);
            for (int v = 0; v < 10; ++v) {
                if (kParity[v] == otherParity) text.push_back(static_cast<char>('0' + v));
            }
            if (text.empty()) return false;
        }
        for (const ReadDigit& d : other) text.push_back(static_cast<char>('0' + d.digit));
        return ean_check_ok(text);
    };
    std::vector<ReadDigit> settled = read;
    for (std::size_t k = 0; k < settled.size(); ++k) {
        const char c = digits[k + lead];
        settled[k].digit = c >= '0' && c <= '9' ? c - '0' : -1;  // an erasure left: no reading to weigh
    }
    if (ean_check_ok(digits) &&
        sums_may_tip(symbol.runs(), settled, setsAt, HalfModules{leftModule, rightModule, leftDigits},
                     passesWithSets))
        return ReadOutcome::Rejected;
    return ReadOutcome::Read;
}

template <const EanLayout& kLayout>
ReadOutcome read_ean(SymbolCursor symbol, const Symbology&, const ReadOptions& options, Decoded& out) {
    std::string digits;
    const ReadOutcome outcome =
        read_digits(symbol, kLayout, options.contrastLine, options.widthClasses, options.eanLines, digits);
    if (outcome != ReadOutcome::Read) return outcome;
    if (!ean_check_ok(digits)) return ReadOutcome::Rejected;
    out.symbology = kLayout.number;
    if (kLayout.number == kEan13 && digits[0] == '0' && options.requestedItself[kUpcA]) out.symbology = kUpcA;
    if (options.setting.sendCheck == 0) digits.pop_back();
    out.text = std::move(digits);
    return ReadOutcome::Read;
}

Symbology make_ean(CharacterReader reader) {
    Symbology s;
    const Pattern guard{kEanGuardKey, kEanGuardKey, kEanGuardElements, kEanGuardModules, 0};
    s.starts.push_back(guard);
    s.stops.push_back(guard);
    s.read = reader;
    return s;
}

}  // namespace

Symbology make_ean13() {
    return make_ean(read_ean<kEan13Layout>);
}

Symbology make_ean8() {
    return make_ean(read_ean<kEan8Layout>);
}

}  // namespace stripescan
