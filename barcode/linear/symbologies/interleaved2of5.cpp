// Interleaved 2 of 5: digit pairs, the first in the five bars and the second in the five spaces.

#include "barcode/linear/keys.h"
#include "barcode/linear/symbology.h"

namespace stripescan {
namespace {

constexpr int kPairElements = 10;
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

// The digit of the five runs i, i+2, ..., i+8.
int read_digit(const RunList& runs, int i) {
    RunList five;
    for (int k = 0; k < 5; ++k) five.runs.push_back(runs.runs[static_cast<std::size_t>(i + 2 * k)]);
    const auto key = narrow_wide_key(five, 0, 5, kWide);
    return key ? table().find(key->value) : -1;
}

bool read_itf(RunList& runs, const Symbology&, const ReadOptions&, Decoded& out) {
    const int first = runs.first;
    const int last = runs.last;
    const int span = last - 3 - (first + 4) + 1;
    if (span <= 0 || span % kPairElements != 0) return false;
    std::string text;
    for (int i = first + 4; i + kPairElements - 1 <= last - 3; i += kPairElements) {
        const int a = read_digit(runs, i);
        const int b = read_digit(runs, i + 1);
        if (a < 0 || b < 0) return false;
        text.push_back(static_cast<char>('0' + a));
        text.push_back(static_cast<char>('0' + b));
    }
    out.symbology = kInterleaved2of5;
    out.text = std::move(text);
    return true;
}

}  // namespace

Symbology make_interleaved2of5() {
    Symbology s;
    s.number = kInterleaved2of5;
    s.family = Family::NarrowWide;
    s.char_elements = kPairElements;
    s.char_units = 2 * kWide;
    s.lead_quiet = 10;
    s.trail_quiet = 10;
    s.starts.push_back(Pattern{1111, 1111, 4, 0, 0});
    s.stops.push_back(Pattern{211, 112, 3, 1, 0});
    s.read = read_itf;
    return s;
}

}  // namespace stripescan
