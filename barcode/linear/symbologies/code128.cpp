// Code 128 (and GS1-128): 103 data values of 6 elements and 11 modules each.

#include <optional>

#include "barcode/linear/keys.h"
#include "barcode/linear/line_decode.h"
#include "barcode/linear/symbology.h"

namespace stripescan {
namespace {

constexpr int kModules = 11;
constexpr int kStopModules = 13;
constexpr int kStartA = 103;
constexpr int kStartB = 104;
constexpr int kFnc1 = 102;
constexpr int kCheckModulus = 103;
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
    static const KeyTable t = width_sum_table(kPatterns, 103);
    return t;
}

int read_value(const RunList& runs, int i) { return read_six_element_value(runs, i, kModules, table()); }

enum class CodeSet { A, B, C };

// Converts one value in the current set; `next` is the value after it (or -1). Answers false
// on a value the set does not know. `used_next` tells that the value after it was consumed.
bool convert(int value, int next, CodeSet& set, std::string& text, bool& fnc2, bool& used_next) {
    used_next = false;
    if (value == kFnc1) {
        text.push_back(kFnc1Byte);
        return true;
    }
    switch (set) {
    case CodeSet::A:
        if (value < 64) text.push_back(static_cast<char>(value + 32));
        else if (value < 96) text.push_back(static_cast<char>(value - 64));
        else if (value == 96 || value == 101) {}
        else if (value == 97) fnc2 = true;
        else if (value == 98) {
            if (next < 0) return true;  // a shift with nothing after it gives nothing
            if (next > 95) return false;
            text.push_back(static_cast<char>(next + 32));
            used_next = true;
        } else if (value == 99) set = CodeSet::C;
        else if (value == 100) set = CodeSet::B;
        else return false;
        return true;
    case CodeSet::B:
        if (value < 96) text.push_back(static_cast<char>(value + 32));
        else if (value == 96 || value == 100) {}
        else if (value == 97) fnc2 = true;
        else if (value == 98) {
            if (next < 0) return true;
            if (next < 64) text.push_back(static_cast<char>(next + 32));
            else if (next < 96) text.push_back(static_cast<char>(next - 64));
            else return false;
            used_next = true;
        } else if (value == 99) set = CodeSet::C;
        else if (value == 101) set = CodeSet::A;
        else return false;
        return true;
    case CodeSet::C:
        if (value < 100) {
            text.push_back(static_cast<char>('0' + value / 10));
            text.push_back(static_cast<char>('0' + value % 10));
        } else if (value == 100) set = CodeSet::B;
        else if (value == 101) set = CodeSet::A;
        else return false;
        return true;
    }
    return false;
}

bool read_code128(RunList& runs, const Symbology&, const ReadOptions& options, Decoded& out) {
    const int first = runs.first;
    const int last = runs.last;
    const int span = last - 6 - (first + 6);  // runs of the data and check characters
    if (span < 0 || span % 6 != 0) return false;
    const auto start_key = width_sum_key(runs, first, 6, kModules);
    if (!start_key) return false;
    int start = -1;
    for (int s = 0; s < 3; ++s) {
        if (start_key->value == pattern_width_sum_key(kStartPatterns[s])) start = kStartA + s;
    }
    if (start < 0) return false;
    std::vector<int> values;
    for (int i = first + 6; i + 6 <= last - 6; i += 6) {
        const int v = read_value(runs, i);
        if (v < 0) return false;
        values.push_back(v);
    }
    if (values.size() < 2) return false;
    long long sum = start;
    for (std::size_t i = 0; i + 1 < values.size(); ++i) sum += static_cast<long long>(i + 1) * values[i];
    if (sum % kCheckModulus != values.back()) return false;

    CodeSet set = start == kStartA ? CodeSet::A : start == kStartB ? CodeSet::B : CodeSet::C;  // 105: set C
    std::string text;
    bool fnc2 = false;
    for (std::size_t i = 0; i + 1 < values.size(); ++i) {
        const int next = i + 2 < values.size() ? values[i + 1] : -1;  // the check value is no partner
        bool used_next = false;
        if (!convert(values[i], next, set, text, fnc2, used_next)) return false;
        if (used_next) ++i;
    }
    // The check value, converted like the others; when it gives no byte its raw value stands.
    const std::size_t before_check = text.size();
    {
        bool unused_fnc2 = false;
        bool used_next = false;
        CodeSet check_set = set;
        if (!convert(values.back(), -1, check_set, text, unused_fnc2, used_next)) text.resize(before_check);
        if (text.size() == before_check) text.push_back(static_cast<char>(values.back()));
    }
    std::size_t check_at = before_check;
    out.symbology = kCode128;
    if (before_check > 0 && text[0] == kFnc1Byte && options.requested_itself[kGs1_128]) {
        text.erase(0, 1);
        --check_at;
        out.symbology = kGs1_128;
    }
    if (options.setting.sendCheck == 0) text.resize(check_at);
    out.text = std::move(text);
    out.fnc2 = fnc2;
    return true;
}

}  // namespace

Symbology make_code128() {
    Symbology s;
    s.number = kCode128;
    s.family = Family::WidthSum;
    s.char_elements = 6;
    s.char_units = kModules;
    s.lead_quiet = 10;
    s.trail_quiet = 10;
    for (int i = 0; i < 3; ++i) {
        s.starts.push_back(Pattern{pattern_width_sum_key(kStartPatterns[i]),
                                   pattern_width_sum_key(reversed_pattern(kStartPatterns[i]).c_str()), 6, kModules,
                                   kStartA + i});
    }
    s.stops.push_back(Pattern{pattern_width_sum_key(kStopPattern),
                              pattern_width_sum_key(reversed_pattern(kStopPattern).c_str()), 7, kStopModules, 106});
    s.read = read_code128;
    return s;
}

// Exposed for the table tests.
bool code128_table_is_unique() { return table().unique() && table().size() == 103; }

}  // namespace stripescan
