// Code 93: 47 values of 6 elements and 9 modules each, two check values C and K.

#include "barcode/linear/keys.h"
#include "barcode/linear/symbology.h"

namespace stripescan {
namespace {

constexpr int kModules = 9;
constexpr int kStopModules = 10;
constexpr int kValueElements = 6;
constexpr int kStartElements = 6;
constexpr int kStopElements = 7;
constexpr int kModulus = 47;
constexpr int kWeightC = 20;
constexpr int kWeightK = 15;
constexpr int kShiftDollar = 43;
constexpr int kShiftPercent = 44;
constexpr int kShiftSlash = 45;
constexpr int kShiftPlus = 46;
// Characters on each side of one whose module the nearest-pattern reading measures.
constexpr int kModuleReach = 2;

// Element widths (bar first) of the values 0 to 46.
constexpr const char* kPatterns[47] = {
    "131112", "111213", "111312", "111411", "121113", "121212", "121311", "111114", "131211", "141111",
    "211113", "211212", "211311", "221112", "221211", "231111", "112113", "112212", "112311", "122112",
    "132111", "111123", "111222", "111321", "121122", "131121", "212112", "212211", "211122", "211221",
    "221121", "222111", "112122", "112221", "122121", "123111", "121131", "311112", "311211", "321111",
    "112131", "113121", "211131", "121221", "312111", "311121", "122211"};
constexpr const char* kStartPattern = "111141";
constexpr const char* kStopPattern = "1111411";
constexpr char kCharacters[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ-. $/+%";

const KeyTable& table() {
    static const KeyTable t = width_sum_table(kPatterns, 47);
    return t;
}

int read_value(const RunList& runs, int i) {
    return read_six_element_value(runs, i, kModules, table());
}

int weighted_sum(const std::vector<int>& values, std::size_t count, int maxWeight) {
    long long sum = 0;
    int weight = 1;
    for (std::size_t i = count; i-- > 0;) {
        sum += static_cast<long long>(weight) * values[i];
        weight = weight == maxWeight ? 1 : weight + 1;
    }
    return static_cast<int>(sum % kModulus);
}

// Converts the data values (full ASCII shifts included). False on an invalid (/) pair.
bool convert(const std::vector<int>& values, std::size_t count, std::string& text) {
    for (std::size_t i = 0; i < count; ++i) {
        const int v = values[i];
        if (v < 43) {
            text.push_back(kCharacters[v]);
            continue;
        }
        if (v >= kModulus) continue;
        const bool hasNext = i + 1 < count;
        const int next = hasNext ? values[i + 1] : -1;
        switch (v) {
            case kShiftDollar:
                if (next >= 10 && next <= 35) text.push_back(static_cast<char>(next - 9));
                if (hasNext) ++i;
                break;
            case kShiftPercent:
                if (next >= 10 && next <= 14)
                    text.push_back(static_cast<char>(next + 17));
                else if (next >= 15 && next <= 19)
                    text.push_back(static_cast<char>(next + 44));
                else if (next >= 20 && next <= 24)
                    text.push_back(static_cast<char>(next + 71));
                else if (next >= 25 && next <= 29)
                    text.push_back(static_cast<char>(next + 98));
                else if (next == 30)
                    text.push_back('\0');
                else if (next == 31)
                    text.push_back('@');
                else if (next == 32)
                    text.push_back('`');
                else {
                    text.push_back('@');
                    break;  // the value after it is read on its own
                }
                ++i;
                break;
            case kShiftSlash:
                if ((next >= 10 && next <= 12) || (next >= 15 && next <= 19))
                    text.push_back(static_cast<char>(next + 23));
                else if (next == 21)
                    text.push_back(',');
                else if (next == 35)
                    text.push_back(':');
                else
                    return false;
                ++i;
                break;
            case kShiftPlus:
                if (next >= 10 && next <= 35) text.push_back(static_cast<char>(next + 87));
                if (hasNext) ++i;
                break;
            default:
                break;
        }
    }
    return true;
}

ReadOutcome read_code93(SymbolCursor symbol, const Symbology&, const ReadOptions& options, Decoded& out) {
    // The start character, data and the two check characters, then the stop pattern.
    const int dataRuns = symbol.size() - kStartElements - kStopElements;
    if (dataRuns < 0 || dataRuns % kValueElements != 0) return ReadOutcome::Rejected;
    // Characters from the start character's first run (it is 9 modules like the others) up to
    // the stop pattern, for the module around each character.
    const int first = symbol.at();
    const int end = first + symbol.size() - kStopElements;
    symbol.skip(kStartElements);
    std::vector<int> values;
    int erasure = -1;  // index in values of the one character known only as a pair, or -1
    CharacterPair pair;
    while (symbol.remaining() >= kValueElements + kStopElements) {
        const int i = symbol.next(kValueElements);
        int v = read_value(symbol.runs(), i);
        if (v < 0) {
            const double module =
                local_module(symbol.runs(), first, end, i, kValueElements, kModules, kModuleReach);
            const NearestFit fit = nearest_fit(symbol.runs(), i, kValueElements, module, kPatterns, kModulus);
            v = nearest_or_erasure(fit, static_cast<int>(values.size()), erasure, pair);
        }
        if (v < 0) return ReadOutcome::Rejected;
        values.push_back(v);
    }
    if (values.size() < 3) return ReadOutcome::Rejected;  // at least one character and both checks
    const std::size_t n = values.size();
    auto checksOk = [&] {
        return weighted_sum(values, n - 2, kWeightC) == values[n - 2] &&
               weighted_sum(values, n - 1, kWeightK) == values[n - 1];
    };
    if (erasure >= 0 && !settle_erasure(values, erasure, pair, checksOk)) return ReadOutcome::Rejected;
    if (!checksOk()) return ReadOutcome::Rejected;

    std::string text;
    if (!convert(values, n - 2, text)) return ReadOutcome::Rejected;
    if (options.setting.sendCheck != 0) {
        const int c = values[n - 2];
        const int k = values[n - 1];
        if (c < 43 && k < 43) {
            text.push_back(kCharacters[c]);
            text.push_back(kCharacters[k]);
        } else {
            text.push_back(static_cast<char>(c));
            text.push_back(static_cast<char>(k));
        }
    }
    out.symbology = kCode93;
    out.text = std::move(text);
    return ReadOutcome::Read;
}

}  // namespace

Symbology make_code93() {
    Symbology s;
    s.starts.push_back(Pattern{pattern_width_sum_key(kStartPattern),
                               pattern_width_sum_key(reversed_pattern(kStartPattern).c_str()), kStartElements,
                               kModules, 0, true, kStartPattern});
    s.stops.push_back(Pattern{pattern_width_sum_key(kStopPattern),
                              pattern_width_sum_key(reversed_pattern(kStopPattern).c_str()), kStopElements,
                              kStopModules, 0, true, kStopPattern});
    s.read = read_code93;
    return s;
}

bool code93_table_is_unique() {
    return table().unique() && table().size() == 47;
}

}  // namespace stripescan
