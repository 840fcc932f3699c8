// Interleaved 2 of 5: digit pairs, the first in the five bars and the second in the five spaces.

#include <algorithm>
#include <cstdlib>
#include <string>

#include "barcode/linear/keys.h"
#include "barcode/linear/symbologies/colour_split.h"
#include "barcode/linear/symbology.h"

namespace stripescan {
namespace {

constexpr int kPairElements = 10;
constexpr int kStartElements = 4;
constexpr int kStopElements = 3;
constexpr int kWide = 2;
constexpr const char* kPatterns[10] = {"11221", "21112", "12112", "22111", "11212",
                                       "21211", "12211", "11122", "21121", "12121"};

const KeyTable& table() {
    static const KeyTable t = [] {
        KeyTable k;
        for (int v = 0; v < 10; ++v) k.add(pattern_digits(kPatterns[v]), v);
        k.finish();
        return k;
    }();
    return t;
}

// The digit of the five runs i, i+2, ..., i+8 (all bars or all spaces). `gain2` is twice the
// ink gain of the symbol (how much wider its bars print than its spaces); half of it is taken
// off each bar or given to each space, in doubled lengths, since the five runs of one colour
// cannot tell it themselves.
int read_digit(const RunList& runs, int i, long long gain2) {
    RunList five;
    for (int k = 0; k < 5; ++k) {
        Run run = runs.runs[static_cast<std::size_t>(i + 2 * k)];
        const long long doubled = 2LL * run.length + (run.color == kBlack ? -gain2 / 2 : gain2 / 2);
        run.length = static_cast<int>(std::max(1LL, doubled));
        five.runs.push_back(run);
    }
    const auto key = narrow_wide_key(five, 0, 5, kWide);
    return key ? table().find(key->value) : -1;
}

// Twice the ink gain from the start pattern's four narrow elements (bar, space, bar, space),
// 0 when it is not credible (more than a narrow element).
long long start_gain2(const RunList& runs, int start) {
    const long long bars = runs.length(start) + runs.length(start + 2);
    const long long spaces = runs.length(start + 1) + runs.length(start + 3);
    const long long gain2 = bars - spaces;  // (mean bar - mean space) x 2
    return 2 * std::llabs(gain2) <= bars + spaces ? gain2 : 0;
}

// True when the last digit is the modulo-10 check digit of the others, weighted 3 and 1 from the
// right as on ITF-14 cartons and GS1 numbers. A code cut short loses its check digit's pair, so
// only one in ten truncated readings can still pass.
bool check_digit_ok(const std::string& digits) {
    if (digits.size() < 2) return false;
    int sum = 0;
    int weight = 3;
    for (std::size_t i = digits.size() - 1; i-- > 0;) {
        sum += weight * (digits[i] - '0');
        weight = 4 - weight;
    }
    return (10 - sum % 10) % 10 == digits.back() - '0';
}

// Reads the digit pairs of the symbol runs[first .. first + size - 1] (start and stop included)
// into `text` with the bars and the spaces each judged against their own narrow and wide widths
// over the pairs around (up to kColourReach on each side), or the digit's own five widths where
// they split clearly; each digit the pattern that fits clearly best (nearest_colour_pattern).
// False otherwise.
constexpr int kColourReach = 2;
bool read_by_colour(const RunList& runs, int first, int size, std::string& text) {
    const int span = size - kStartElements - kStopElements;
    if (span <= 0 || span % kPairElements != 0) return false;
    const int pairs = span / kPairElements;
    const int from = first + kStartElements;
    text.clear();
    for (int p = 0; p < pairs; ++p) {
        const auto around = local_colour_split(runs, from, pairs, kPairElements, 0, p, kColourReach);
        if (!around) return false;
        for (int colour = 0; colour < 2; ++colour) {
            RunList five;
            for (int k = 0; k < 5; ++k)
                five.runs.push_back(
                    runs.runs[static_cast<std::size_t>(from + p * kPairElements + colour + 2 * k)]);
            const int v =
                nearest_colour_pattern(five, 0, 5, character_split(five, 0, 5, *around), kPatterns, 0, 10);
            if (v < 0) return false;
            text.push_back(static_cast<char>('0' + v));
        }
    }
    return true;
}

// Whether the elements of the digit pairs read by the keys as `text` from runs[first ..] (the
// start first) all stand clear of the middle of their colour (elements_stand_clear), and so do
// the start's and the stop's against the pairs' means, all but the bar next to each quiet zone
// (a local threshold prints it thicker or thinner than the bars inside). A start and stop found
// in another symbol's bars (a Code 39 cut short under spread ink, whose wide spaces shrank to a
// narrow bar's width, read as "1429") show a wide element where the pattern has a narrow one, or
// the other way round, against the elements of the pairs.
bool keys_stand_clear(const RunList& runs, int first, const std::string& text) {
    std::vector<ReadCharacter> read;
    for (std::size_t d = 0; d < text.size(); ++d) {
        const int pair = static_cast<int>(d / 2);
        read.push_back(ReadCharacter{first + kStartElements + pair * kPairElements + static_cast<int>(d % 2),
                                     2, kPatterns[text[d] - '0']});
    }
    const int stop = first + kStartElements + static_cast<int>(text.size() / 2) * kPairElements;
    const std::vector<ReadCharacter> ends = {ReadCharacter{first + 1, 1, "111"},
                                             ReadCharacter{stop, 1, "21"}};
    return elements_stand_clear(runs, read, ends);
}

ReadOutcome read_itf(SymbolCursor symbol, const Symbology&, const ReadOptions& options, Decoded& out) {
    const int span = symbol.size() - kStartElements - kStopElements;  // the digit pairs
    if (span <= 0 || span % kPairElements != 0) return ReadOutcome::Rejected;
    const long long gain2 = start_gain2(symbol.runs(), symbol.at());
    const int first = symbol.at();
    symbol.skip(kStartElements);
    std::string text;
    bool byColour = false;
    while (symbol.remaining() >= kPairElements + kStopElements) {
        const int i = symbol.next(kPairElements);
        const int a = read_digit(symbol.runs(), i, gain2);      // in the bars
        const int b = read_digit(symbol.runs(), i + 1, gain2);  // in the spaces
        if (a < 0 || b < 0) {
            // The keys fail: the colours judged apart, vouched for by a second line.
            if (!read_by_colour(symbol.runs(), first, symbol.size(), text)) return ReadOutcome::Rejected;
            byColour = true;
            break;
        }
        text.push_back(static_cast<char>('0' + a));
        text.push_back(static_cast<char>('0' + b));
    }
    // Each digit's keys split its own five widths, so the bars of another symbol (Code 128,
    // EAN/UPC: elements of one to four modules) read digit by digit as 2 of 5 wherever each group
    // of five happens to hold two wider ones; cut short, such a symbol leaves nothing to see the
    // pieces by. The whole symbol's elements must therefore stand clear of the middle of their
    // colour on every line, as on lines by local contrast.
    if (!byColour && !keys_stand_clear(symbol.runs(), first, text)) return ReadOutcome::Rejected;
    if (options.setting.verifyCheck == 1) {
        if (!check_digit_ok(text)) return ReadOutcome::Rejected;
        if (options.setting.sendCheck == 0) text.pop_back();
    }
    out.symbology = kInterleaved2of5;
    out.text = std::move(text);
    out.needsSecondLine = byColour;
    return ReadOutcome::Read;
}

}  // namespace

Symbology make_interleaved2of5() {
    Symbology s;
    s.starts.push_back(Pattern{1111, 1111, kStartElements, 0, 0});
    s.stops.push_back(Pattern{211, 112, kStopElements, 1, 0});
    s.read = read_itf;
    return s;
}

}  // namespace stripescan
