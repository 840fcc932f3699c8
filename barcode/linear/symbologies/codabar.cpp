// Codabar: 20 characters of 7 elements; the start and stop letters A to D belong to the text.

#include "barcode/linear/keys.h"
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

ReadOutcome read_codabar(SymbolCursor symbol, const Symbology&, const ReadOptions&, Decoded& out) {
    // Characters of 7 runs separated by one gap, the start and stop letters included.
    if ((symbol.size() + kGap) % (kElements + kGap) != 0) return ReadOutcome::Rejected;
    std::string text;
    while (symbol.remaining() >= kElements) {
        // Codabar A to D stand only at the two ends.
        const bool end = symbol.at_first() || symbol.remaining() == kElements;
        // As printed only: see pattern_key.
        const auto key = narrow_wide_key(symbol.runs(), symbol.next(kElements + kGap), kElements, kWide);
        const int v = key ? table().find(key->value) : -1;
        if (v < 0) return ReadOutcome::Rejected;
        if ((v >= kFirstLetter) != end) return ReadOutcome::Rejected;
        text.push_back(kCharacters[v]);
    }
    if (text.size() < 3) return ReadOutcome::Rejected;
    out.symbology = kCodabar;
    out.text = std::move(text);
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
