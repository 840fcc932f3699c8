// Codabar: 20 characters of 7 elements; the start and stop letters A to D belong to the text.

#include <algorithm>
#include <cmath>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "barcode/linear/keys.h"
#include "barcode/linear/symbologies/colour_split.h"
#include "barcode/linear/symbology.h"

namespace stripescan {
namespace {

constexpr int kElements = 7;
constexpr int kWide = 2;  // most characters; the letters and ":/.+" have 3
constexpr int kLetterWide = 3;
constexpr int kGap = 1;           // the narrow space between characters
constexpr int kFirstLetter = 16;  // value of the letter A
constexpr char kCharacters[] = "0123456789-$:/.+ABCD";
constexpr const char* kPatterns[20] = {"1111122", "1111221", "1112112", "2211111", "1121121",
                                       "2111121", "1211112", "1211211", "1221111", "2112111",
                                       "1112211", "1122111", "2111212", "2121112", "2121211",
                                       "1121212", "1122121", "1212112", "1112122", "1112221"};

const KeyTable& table() {
    static const KeyTable t = [] {
        KeyTable k;
        for (int v = 0; v < 20; ++v) k.add(pattern_digits(kPatterns[v]), v);
        k.finish();
        return k;
    }();
    return t;
}

// True when every element of the characters read as `text` from runs[first ..] stands clearly
// on its side: a narrow one below kNarrowAtMost and a wide one above kWideAtLeast of the way
// from the symbol's narrow to its wide mean of that colour. Codabar has no check character, and
// its letters and ":/.+" differ from digits by one element being wide: on blurred photos a wide
// element thinned to the middle made "+" a "7". False when an element is in doubt or a colour
// shows no narrow and wide elements.
constexpr double kNarrowAtMost = 0.4;
constexpr double kWideAtLeast = 0.6;
bool every_element_clear(const RunList& runs, int first, const std::string& text) {
    double sum[2][2] = {};  // [bar][wide]
    int count[2][2] = {};
    auto visit = [&](auto&& element) {
        for (std::size_t c = 0; c < text.size(); ++c) {
            const char* pattern = kPatterns[std::string_view(kCharacters).find(text[c])];
            for (int e = 0; e < kElements; ++e) {
                const Run& r = runs.runs[static_cast<std::size_t>(first) + c * (kElements + kGap) + e];
                element(r.color == kBlack ? 1 : 0, pattern[e] == '2' ? 1 : 0, r.length);
            }
        }
    };
    visit([&](int bar, int wide, int length) {
        sum[bar][wide] += length;
        ++count[bar][wide];
    });
    for (int bar = 0; bar < 2; ++bar)
        if (count[bar][0] == 0 || count[bar][1] == 0) return false;
    bool clear = true;
    visit([&](int bar, int wide, int length) {
        const double narrow = sum[bar][0] / count[bar][0];
        const double wideMean = sum[bar][1] / count[bar][1];
        const double at = (length - narrow) / (wideMean - narrow);  // 0 narrow .. 1 wide
        if (wideMean <= narrow || (wide ? at < kWideAtLeast : at > kNarrowAtMost)) clear = false;
    });
    return clear;
}

// Reads the characters of the symbol runs[first .. first + size - 1] into `text`: 7 runs each
// with one gap run between them, the letters A to D at the two ends only. False when a
// character is in no table or a letter stands inside.
bool read_characters(const RunList& runs, int first, int size, std::string& text) {
    // Characters of 7 runs separated by one gap, the start and stop letters included.
    if ((size + kGap) % (kElements + kGap) != 0) return false;
    SymbolCursor symbol(runs, first, first + size - 1);
    text.clear();
    while (symbol.remaining() >= kElements) {
        // Codabar A to D stand only at the two ends.
        const bool end = symbol.at_first() || symbol.remaining() == kElements;
        // As printed only: see pattern_key; the ink is dealt with for the whole symbol below.
        const int at = symbol.next(kElements + kGap);
        auto key = narrow_wide_key(runs, at, kElements, kWide);
        int v = key ? table().find(key->value) : -1;
        // Far from the nominal ratio only the split reads the characters of three wide
        // elements (the letters and ":/.+").
        if (v < 0) {
            key = narrow_wide_split_key(runs, at, kElements, kLetterWide);
            v = key ? table().find(key->value) : -1;
        }
        if (v < 0) return false;
        if ((v >= kFirstLetter) != end) return false;
        text.push_back(kCharacters[v]);
    }
    return text.size() >= 3 && every_element_clear(runs, first, text);
}

// The mean width of the narrow elements of one colour: the widths below the largest gap of the
// sorted widths, when that gap is decisive (the wide side at least kMinSplit times the narrow
// side). Nothing when the colour shows no clear narrow and wide widths.
constexpr double kMinSplit = 1.5;
std::optional<double> narrow_mean(std::vector<int> widths) {
    if (widths.size() < 2) return std::nullopt;
    std::sort(widths.begin(), widths.end());
    std::size_t cut = 0;
    int gap = 0;
    for (std::size_t k = 1; k < widths.size(); ++k) {
        if (widths[k] - widths[k - 1] > gap) {
            gap = widths[k] - widths[k - 1];
            cut = k;
        }
    }
    if (cut == 0 || widths[cut - 1] <= 0 || widths[cut] < kMinSplit * widths[cut - 1]) return std::nullopt;
    double sum = 0;
    for (std::size_t k = 0; k < cut; ++k) sum += widths[k];
    return sum / static_cast<double>(cut);
}

// The symbol with the ink gain taken off, for the whole symbol at once: the narrow bars' mean
// less the narrow spaces' mean (over the characters' own elements; the gaps between
// characters may be of any width) is the gain; half of it comes off every bar and goes to
// every space. Lengths in eighths of the input's unit. False when the gain cannot be told or
// is smaller than a quarter of a narrow element (then the printed widths are the reading).
bool compensated_symbol(const RunList& runs, int first, int size, RunList& out) {
    constexpr int kScale = 8;
    constexpr double kLeastGain = 0.25;  // of a narrow element
    std::vector<int> bars, spaces;
    for (int k = 0; k < size; ++k) {
        if (k % (kElements + kGap) == kElements) continue;  // a gap between characters
        const Run& r = runs.runs[static_cast<std::size_t>(first + k)];
        (r.color == kBlack ? bars : spaces).push_back(r.length);
    }
    const auto bar = narrow_mean(bars);
    const auto space = narrow_mean(spaces);
    if (!bar || !space) return false;
    const double gain = *bar - *space;
    if (std::fabs(gain) < kLeastGain * (*bar + *space) / 2) return false;
    out.unit = runs.unit * kScale;
    out.runs.assign(runs.runs.begin() + first, runs.runs.begin() + first + size);
    for (Run& r : out.runs) {
        const double length = kScale * (r.length + (r.color == kBlack ? -gain / 2 : gain / 2));
        r.length = std::max(1, static_cast<int>(std::lround(length)));
    }
    return true;
}

// Reads the symbol runs[first .. first + size - 1] into `text` with the bars and the spaces each
// judged against their own narrow and wide widths over the characters around (up to
// kColourReach on each side), every character the pattern that fits clearly best
// (nearest_colour_pattern), the letters A to D at the two ends only. False when a character
// fits no pattern clearly or the widths show no split.
constexpr int kColourReach = 2;  // characters on each side that give a character its widths
bool read_by_colour(const RunList& runs, int first, int size, std::string& text) {
    if ((size + kGap) % (kElements + kGap) != 0) return false;
    const int characters = (size + kGap) / (kElements + kGap);
    if (characters < 3) return false;
    text.clear();
    for (int c = 0; c < characters; ++c) {
        const auto split = local_colour_split(runs, first, characters, kElements, kGap, c, kColourReach);
        if (!split) return false;
        const bool end = c == 0 || c == characters - 1;
        const int at = first + c * (kElements + kGap);
        const int v =
            nearest_colour_pattern(runs, at, kElements, character_split(runs, at, kElements, *split),
                                   kPatterns, end ? kFirstLetter : 0, end ? 20 : kFirstLetter);
        if (v < 0) return false;
        text.push_back(kCharacters[v]);
    }
    return true;
}

ReadOutcome read_codabar(SymbolCursor symbol, const Symbology&, const ReadOptions& options, Decoded& out) {
    // Codabar has no check character: read as printed and, when the symbol shows an ink gain,
    // once more with it taken off; two different texts are no reading.
    std::string printed, compensated;
    const bool asPrinted = read_characters(symbol.runs(), symbol.at(), symbol.size(), printed);
    RunList comp;
    const bool withGain = compensated_symbol(symbol.runs(), symbol.at(), symbol.size(), comp) &&
                          read_characters(comp, 0, comp.size(), compensated);
    if (asPrinted && withGain && printed != compensated) return ReadOutcome::Rejected;
    if (!asPrinted && !withGain) {
        // Neither reading: the colours judged apart, vouched for by a second line.
        std::string byColour;
        if (!read_by_colour(symbol.runs(), symbol.at(), symbol.size(), byColour))
            return ReadOutcome::Rejected;
        // A starved band has no second line but the other band: its widths are even along the
        // symbol, so every element must stand clear and every gap stay narrow.
        if (options.inkNeutralEnds &&
            (!every_element_clear(symbol.runs(), symbol.at(), byColour) ||
             !gaps_stay_narrow(symbol.runs(), symbol.at(), symbol.size(), kElements, kGap)))
            return ReadOutcome::Rejected;
        out.symbology = kCodabar;
        out.text = std::move(byColour);
        out.needsSecondLine = true;
        return ReadOutcome::Read;
    }
    out.symbology = kCodabar;
    out.text = asPrinted ? std::move(printed) : std::move(compensated);
    return ReadOutcome::Read;
}

}  // namespace

Symbology make_codabar() {
    Symbology s;
    for (int v = kFirstLetter; v < 20; ++v) {
        s.starts.push_back(Pattern{pattern_digits(kPatterns[v]),
                                   pattern_digits(reversed_pattern(kPatterns[v]).c_str()), kElements,
                                   kLetterWide, v});
    }
    s.stops = s.starts;
    s.read = read_codabar;
    return s;
}

bool codabar_table_is_unique() {
    return table().unique() && table().size() == 20;
}

}  // namespace stripescan
