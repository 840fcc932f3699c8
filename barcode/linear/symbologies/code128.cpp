// Code 128 (and GS1-128): 103 data values of 6 elements and 11 modules each.

#include <cmath>
#include <optional>

#include "barcode/linear/keys.h"
#include "barcode/linear/line_decode.h"
#include "barcode/linear/symbology.h"

namespace stripescan {
namespace {

constexpr int kModules = 11;
constexpr int kStopModules = 13;
constexpr int kValueElements = 6;
constexpr int kStopElements = 7;
constexpr int kCheckModulus = 103;
constexpr int kDataValues = 103;
constexpr int kModuleReach = 2;  // characters on each side whose module a character is read on
// A character spans 11 modules from its first bar's leading edge to the next one's, whatever the
// ink: one further off than this share of the module around it is no character. A lost thin bar
// and, further on, a bar split by a speck keep the count of runs but read every character
// between them from the wrong runs, and the check passes one time in 103.
constexpr double kCharacterWidthTolerance = 0.25;
// Values with a meaning of their own. In sets A and B, 96 and 97 are FNC3 and FNC2, 98 shifts
// the next value to the other of A and B, 99 latches to C; 100 and 101 are FNC4 in their own
// set and latch to B or A elsewhere.
constexpr int kFnc3 = 96;
constexpr int kFnc2 = 97;
constexpr int kShift = 98;
constexpr int kCodeC = 99;
constexpr int kCodeB = 100;  // FNC4 in set B
constexpr int kCodeA = 101;  // FNC4 in set A
constexpr int kFnc1 = 102;
constexpr int kStartA = 103;
constexpr int kStartB = 104;
// Start C is 105: the one start that is neither A nor B.
constexpr int kStop = 106;
constexpr int kSetBFirstControl = 64;  // set A values from here are control characters
constexpr char kFnc1Byte = static_cast<char>(0x80);

// Element widths (bar first) of the values 0 to 102.
constexpr const char* kPatterns[103] = {
    "212222", "222122", "222221", "121223", "121322", "131222", "122213", "122312", "132212", "221213",
    "221312", "231212", "112232", "122132", "122231", "113222", "123122", "123221", "223211", "221132",
    "221231", "213212", "223112", "312131", "311222", "321122", "321221", "312212", "322112", "322211",
    "212123", "212321", "232121", "111323", "131123", "131321", "112313", "132113", "132311", "211313",
    "231113", "231311", "112133", "112331", "132131", "113123", "113321", "133121", "313121", "211331",
    "231131", "213113", "213311", "213131", "311123", "311321", "331121", "312113", "312311", "332111",
    "314111", "221411", "431111", "111224", "111422", "121124", "121421", "141122", "141221", "112214",
    "112412", "122114", "122411", "142112", "142211", "241211", "221114", "413111", "241112", "134111",
    "111242", "121142", "121241", "114212", "124112", "124211", "411212", "421112", "421211", "212141",
    "214121", "412121", "111143", "111341", "131141", "114113", "114311", "411113", "411311", "113141",
    "114131", "311141", "411131"};
constexpr const char* kStartPatterns[3] = {"211412", "211214", "211232"};
constexpr const char* kStopPattern = "2331112";

const KeyTable& table() {
    static const KeyTable t = width_sum_table(kPatterns, kDataValues);
    return t;
}

int read_value(const RunList& runs, int i) {
    return read_six_element_value(runs, i, kModules, table());
}

enum class CodeSet { A, B, C };

// Converts one value in the current set; `next` is the value after it (or -1). Answers false
// on a value the set does not know. `used_next` tells that the value after it was consumed.
bool convert(int value, int next, CodeSet& set, std::string& text, bool& fnc2, bool& usedNext) {
    usedNext = false;
    if (value == kFnc1) {
        text.push_back(kFnc1Byte);
        return true;
    }
    switch (set) {
        case CodeSet::A:
            if (value < kSetBFirstControl)
                text.push_back(static_cast<char>(value + 32));
            else if (value < kFnc3)
                text.push_back(static_cast<char>(value - 64));
            else if (value == kFnc3 || value == kCodeA) {
            } else if (value == kFnc2)
                fnc2 = true;
            else if (value == kShift) {
                if (next < 0) return true;  // a shift with nothing after it gives nothing
                if (next >= kFnc3) return false;
                text.push_back(static_cast<char>(next + 32));
                usedNext = true;
            } else if (value == kCodeC)
                set = CodeSet::C;
            else if (value == kCodeB)
                set = CodeSet::B;
            else
                return false;
            return true;
        case CodeSet::B:
            if (value < kFnc3)
                text.push_back(static_cast<char>(value + 32));
            else if (value == kFnc3 || value == kCodeB) {
            } else if (value == kFnc2)
                fnc2 = true;
            else if (value == kShift) {
                if (next < 0) return true;
                if (next < kSetBFirstControl)
                    text.push_back(static_cast<char>(next + 32));
                else if (next < kFnc3)
                    text.push_back(static_cast<char>(next - 64));
                else
                    return false;
                usedNext = true;
            } else if (value == kCodeC)
                set = CodeSet::C;
            else if (value == kCodeA)
                set = CodeSet::A;
            else
                return false;
            return true;
        case CodeSet::C:
            if (value < kCodeB) {
                text.push_back(static_cast<char>('0' + value / 10));
                text.push_back(static_cast<char>('0' + value % 10));
            } else if (value == kCodeB)
                set = CodeSet::B;
            else if (value == kCodeA)
                set = CodeSet::A;
            else
                return false;
            return true;
    }
    return false;
}

ReadOutcome read_code128(SymbolCursor symbol, const Symbology&, const ReadOptions& options, Decoded& out) {
    // The start value, data and check values, then the stop pattern.
    const int dataRuns = symbol.size() - kValueElements - kStopElements;
    if (dataRuns < 0 || dataRuns % kValueElements != 0) return ReadOutcome::Rejected;
    const auto startKey = width_sum_key(symbol.runs(), symbol.next(kValueElements), kValueElements, kModules);
    if (!startKey) return ReadOutcome::Rejected;
    int start = -1;
    for (int s = 0; s < 3; ++s) {
        if (startKey->value == pattern_width_sum_key(kStartPatterns[s])) start = kStartA + s;
    }
    if (start < 0) return ReadOutcome::Rejected;
    // Characters from the start character's first run up to the stop pattern, for the module
    // around each character.
    const int first = symbol.at() - kValueElements;
    const int end = first + symbol.size() - kStopElements;
    std::vector<int> values;
    int erasure = -1;  // index in values of the one character known only as a pair, or -1
    CharacterPair pair;
    auto spansItsModules = [&](int i) {
        const double module =
            local_module(symbol.runs(), first, end, i, kValueElements, kModules, kModuleReach);
        if (module <= 0) return true;
        long long width = 0;
        for (int j = i; j < i + kValueElements; ++j) width += symbol.runs().length(j);
        return std::abs(static_cast<double>(width) / (kModules * module) - 1.0) <= kCharacterWidthTolerance;
    };
    if (!spansItsModules(first)) return ReadOutcome::Rejected;
    while (symbol.remaining() >= kValueElements + kStopElements) {
        const int i = symbol.next(kValueElements);
        if (!spansItsModules(i)) return ReadOutcome::Rejected;
        int v = read_value(symbol.runs(), i);
        if (v < 0) {
            // One- and two-pixel modules: the pattern nearest to the edges, on the module of the
            // characters around it.
            const double module =
                local_module(symbol.runs(), first, end, i, kValueElements, kModules, kModuleReach);
            const NearestFit fit =
                nearest_fit(symbol.runs(), i, kValueElements, module, kPatterns, kDataValues);
            v = nearest_or_erasure(fit, static_cast<int>(values.size()), erasure, pair);
        }
        if (v < 0) return ReadOutcome::Rejected;
        values.push_back(v);
    }
    if (values.size() < 2) return ReadOutcome::Rejected;
    auto checkOk = [&] {
        long long sum = start;
        for (std::size_t i = 0; i + 1 < values.size(); ++i) sum += static_cast<long long>(i + 1) * values[i];
        return sum % kCheckModulus == values.back();
    };
    if (erasure >= 0 && !settle_erasure(values, erasure, pair, checkOk)) return ReadOutcome::Rejected;
    if (!checkOk()) return ReadOutcome::Rejected;

    CodeSet set = start == kStartA ? CodeSet::A : start == kStartB ? CodeSet::B : CodeSet::C;
    std::string text;
    bool fnc2 = false;
    for (std::size_t i = 0; i + 1 < values.size(); ++i) {
        const int next = i + 2 < values.size() ? values[i + 1] : -1;  // the check value is no partner
        bool usedNext = false;
        if (!convert(values[i], next, set, text, fnc2, usedNext)) return ReadOutcome::Rejected;
        if (usedNext) ++i;
    }
    // The check value, converted like the others; when it gives no byte its raw value stands.
    const std::size_t beforeCheck = text.size();
    {
        bool unusedFnc2 = false;
        bool usedNext = false;
        CodeSet checkSet = set;
        if (!convert(values.back(), -1, checkSet, text, unusedFnc2, usedNext)) text.resize(beforeCheck);
        if (text.size() == beforeCheck) text.push_back(static_cast<char>(values.back()));
    }
    std::size_t checkAt = beforeCheck;
    out.symbology = kCode128;
    if (beforeCheck > 0 && text[0] == kFnc1Byte && options.requestedItself[kGs1128]) {
        text.erase(0, 1);
        --checkAt;
        out.symbology = kGs1128;
    }
    if (options.setting.sendCheck == 0) text.resize(checkAt);
    out.text = std::move(text);
    out.fnc2 = fnc2;
    return ReadOutcome::Read;
}

}  // namespace

Symbology make_code128() {
    Symbology s;
    for (int i = 0; i < 3; ++i) {
        s.starts.push_back(Pattern{pattern_width_sum_key(kStartPatterns[i]),
                                   pattern_width_sum_key(reversed_pattern(kStartPatterns[i]).c_str()),
                                   kValueElements, kModules, kStartA + i, true, kStartPatterns[i]});
    }
    s.stops.push_back(Pattern{pattern_width_sum_key(kStopPattern),
                              pattern_width_sum_key(reversed_pattern(kStopPattern).c_str()), kStopElements,
                              kStopModules, kStop, true, kStopPattern});
    s.read = read_code128;
    return s;
}

// Exposed for the table tests.
bool code128_table_is_unique() {
    return table().unique() && table().size() == 103;
}

}  // namespace stripescan
