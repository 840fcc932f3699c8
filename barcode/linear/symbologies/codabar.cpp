// Codabar: 20 characters of 7 elements; the start and stop letters A to D belong to the text.

#include "barcode/linear/keys.h"
#include "barcode/linear/symbology.h"

namespace stripescan {
namespace {

constexpr int kElements = 7;
constexpr int kWide = 2;          // most characters; the letters and ":/.+" have 3
constexpr int kLetterWide = 3;
constexpr char kCharacters[] = "0123456789-$:/.+ABCD";
constexpr const char* kPatterns[20] = {"1111122", "1111221", "1112112", "2211111", "1121121", "2111121", "1211112",
                                       "1211211", "1221111", "2112111", "1112211", "1122111", "2111212", "2121112",
                                       "2121211", "1121212", "1122121", "1212112", "1112122", "1112221"};

const KeyTable& table() {
    static const KeyTable t = [] {
        KeyTable k;
        for (int v = 0; v < 20; ++v) k.add(pattern_digits(kPatterns[v]), v);
        k.finish();
        return k;
    }();
    return t;
}

bool read_codabar(RunList& runs, const Symbology&, const ReadOptions&, Decoded& out) {
    const int first = runs.first;
    const int last = runs.last;
    if ((last - first + 2) % 8 != 0) return false;
    std::string text;
    for (int i = first; i + kElements - 1 <= last; i += kElements + 1) {
        const auto key = narrow_wide_key(runs, i, kElements, kWide);
        if (!key) return false;
        const int v = table().find(key->value);
        if (v < 0) return false;
        const bool letter = v >= 16;
        const bool end = i == first || i + kElements - 1 == last;
        if (letter != end) return false;
        text.push_back(kCharacters[v]);
    }
    if (text.size() < 3) return false;
    out.symbology = kCodabar;
    out.text = std::move(text);
    return true;
}

}  // namespace

Symbology make_codabar() {
    Symbology s;
    s.number = kCodabar;
    s.family = Family::NarrowWide;
    s.char_elements = kElements;
    s.char_units = kWide;
    s.lead_quiet = 10;
    s.trail_quiet = 10;
    s.gap = 1;
    for (int v = 16; v < 20; ++v) {
        s.starts.push_back(Pattern{pattern_digits(kPatterns[v]), pattern_digits(reversed_pattern(kPatterns[v]).c_str()),
                                   kElements, kLetterWide, v});
    }
    s.stops = s.starts;
    s.read = read_codabar;
    return s;
}

bool codabar_table_is_unique() { return table().unique() && table().size() == 20; }

}  // namespace stripescan
