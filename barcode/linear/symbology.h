#pragma once
// What the search knows about a symbology: its table row, start and stop patterns and the
// character reader that turns the runs of one symbol into text.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "barcode/linear/Stripescan.h"
#include "barcode/linear/runs.h"
#include "barcode/linear/symbol_cursor.h"

namespace stripescan {

enum class Family { WidthSum, NarrowWide };

// Symbology numbers of the interface.
enum SymbologyNumber : int {
    kCode128 = 1,
    kCode93 = 2,
    kEan13 = 3,
    kEan8 = 4,
    kUpcE = 5,
    kCode39 = 6,
    kCodabar = 7,
    kInterleaved2of5 = 8,
    kGs1128 = 9,
    kUpcA = 10,
};
constexpr int kSymbologySlots = 16;

struct Pattern {
    std::uint64_t forward = 0;
    std::uint64_t reversed = 0;
    int elements = 0;
    int units = 0;                 // modules (width-sum) or wide elements (narrow/wide)
    int value = 0;                 // character value the pattern stands for (Code 128 start codes)
    bool barFirst = true;          // read forwards, the pattern begins with a bar
    const char* widths = nullptr;  // width-sum patterns: the element widths, bar first ("211412")

    // Whether the pattern, read forwards or backwards, begins with a bar.
    bool begins_with_bar(bool backwards) const {
        if (!backwards || elements % 2 == 1) return barFirst;
        return !barFirst;
    }
};

class EanFanLines;

// The options a character reader needs besides the runs.
struct ReadOptions {
    SymbologySetting setting{};
    std::array<bool, kSymbologySlots> requestedItself{};  // numbers asked for by the caller
    // The line's edges follow its local contrast: EAN/UPC digits 1, 2, 7 and 8, which only
    // their bar widths tell apart, must be read firmly, and no digit may be an erasure.
    bool contrastLine = false;
    // A fan line by local contrast (not a band summed along the bars): EAN/UPC 1/7 and 2/8 are
    // told by the widths the line draws its narrow and wide bars, and digits its bars leave open
    // may be settled so. Band readings keep every pair digit firm and no digit open.
    bool widthClasses = false;
    // A band summed along bars that a high threshold starved (or ink spread) by a constant: a
    // width-sum start or stop whose key misses is fitted on the module its bars' leading edges
    // and, apart, their trailing edges span, which that constant does not move.
    bool inkNeutralEnds = false;
    // The digits read by the earlier lines of the same fan, where EAN/UPC readers settle their
    // erasures and leave their own digits; null where the line stands alone.
    EanFanLines* eanLines = nullptr;
};

struct Decoded {
    int symbology = 0;
    std::string text;
    bool fnc2 = false;
    // Read only by judging each colour's widths on their own (a local-threshold photo): taken
    // when a second line across the symbol reads the same text.
    bool needsSecondLine = false;
};

struct Symbology;
// Reads the characters of the symbol under the cursor (it reads forwards), checks them and
// converts them to text in `out`. Answers ReadOutcome::TryReversed when the symbol may read the
// other way round (the search then hands it over reversed, once), else Read or Rejected.
using CharacterReader = ReadOutcome (*)(SymbolCursor symbol, const Symbology& symbology,
                                        const ReadOptions& options, Decoded& out);

// What the search relies on per symbology; one row each in kSymbologyFacts.
struct SymbologyFacts {
    int number = 0;
    Family family = Family::WidthSum;
    int charElements = 0;
    int charUnits = 0;   // modules or wide elements per character
    int leadQuiet = 0;   // quiet zone before the start, in modules
    int trailQuiet = 0;  // quiet zone after the stop, in modules
    int gap = 0;         // gap elements between characters
    int fixedData = 0;   // elements between start and stop for fixed-length symbologies, else 0
};

// Symbologies 1 to 8 in number order.
extern const SymbologyFacts kSymbologyFacts[8];

struct Symbology : SymbologyFacts {
    std::vector<Pattern> starts;
    std::vector<Pattern> stops;
    CharacterReader read = nullptr;
};

// The table rows, built once. Numbers 1 to 8; nullptr for any other number.
const Symbology* find_symbology(int number);

// Builders of each symbology's row (one file each under symbologies/).
Symbology make_code128();
Symbology make_code93();
Symbology make_ean13();  // EAN-13 and EAN-8: one reader, two layouts
Symbology make_ean8();
Symbology make_upce();
Symbology make_code39();
Symbology make_codabar();
Symbology make_interleaved2of5();

// A sorted (key, value) table looked up by bisection.
class KeyTable {
public:
    void add(std::uint64_t key, int value);
    void finish();  // sorts; call once after the last add
    // The value of `key`, or -1.
    int find(std::uint64_t key) const;
    std::size_t size() const { return entries_.size(); }
    bool unique() const;

private:
    std::vector<std::pair<std::uint64_t, int>> entries_;
};

// The width-sum keys of `count` published patterns, each valued by its index.
KeyTable width_sum_table(const char* const* patterns, int count);

// The value of the six runs from i as one character `modules` wide (Code 128, Code 93):
// its width-sum key, else its element-width key; -1 when neither is in `table`.
int read_six_element_value(const RunList& runs, int i, int modules, const KeyTable& table);

// The value (index in `patterns`, each k element widths such as "131112", bar first) whose
// edges lie nearest to those of the k runs from i on a grid of `module` length units. The
// leading edges of the bars and their trailing edges are fitted each with an offset of their
// own, so ink that widens or narrows every bar alike does not count. -1 when the best pattern
// leaves an edge more than 0.45 module off or another comes within 0.25 module of it. The
// second chance for characters of one or two pixel modules, whose keys fail on the rounding.
int nearest_value(const RunList& runs, int i, int k, double module, const char* const* patterns, int count);

// The three patterns (indexes in `patterns`) whose edges lie nearest to those of the k runs from
// i, as nearest_value measures them, with their worst-edge misfits in modules; -1 and a large
// misfit where there are fewer patterns.
struct NearestFit {
    int value[3] = {-1, -1, -1};
    double misfit[3] = {1e9, 1e9, 1e9};
};
NearestFit nearest_fit(const RunList& runs, int i, int k, double module, const char* const* patterns,
                       int count);

// A character that reads as neither of exactly two patterns: both fit within kNearestFit, no
// third within kNearestMargin of the better one. A symbol may hold one such erasure, which only
// its check characters may settle, and only when exactly one of the two passes them. Candidates
// -1 when the fit is no such pair.
struct CharacterPair {
    int first = -1;
    int second = -1;
};
CharacterPair erasure_pair(const NearestFit& fit);

// The worst edge of the best pattern in nearest_value, and the lead it must keep over any other,
// in modules.
constexpr double kNearestFit = 0.45;
constexpr double kNearestMargin = 0.25;

// A character no key read, from its nearest-pattern fit: the best value when it fits clearly;
// else, while the symbol holds no erasure yet (`erasure` < 0), the first of an erasure pair, with
// `erasure` set to `index` and `pair` kept for settle_erasure; -1 otherwise (the symbol fails).
int nearest_or_erasure(const NearestFit& fit, int index, int& erasure, CharacterPair& pair);

// Settles the erasure at values[at] by the symbol's checks (`checks()` reads `values`): true, with
// the passing value in place, when exactly one of the pair's two values passes; false otherwise.
template <class Checks>
bool settle_erasure(std::vector<int>& values, int at, CharacterPair pair, Checks checks) {
    int& value = values[static_cast<std::size_t>(at)];
    int passing = 0;
    int chosen = -1;
    for (int candidate : {pair.first, pair.second}) {
        value = candidate;
        if (checks()) {
            ++passing;
            chosen = candidate;
        }
    }
    value = chosen;
    return passing == 1;
}

// The mean module of the characters around run i: of up to `reach` characters of `k` runs and
// `modules` modules on each side of it (whole characters from `first` on, before `end`).
// Length units; 0 when there are none.
double local_module(const RunList& runs, int first, int end, int i, int k, int modules, int reach);

// The value in `table` of the n runs from i read as a narrow/wide character with `wide` wide
// elements: the key as printed, else the key with the ink gain taken off; -1 when neither is
// in the table or when the two give different characters.
int read_narrow_wide(const RunList& runs, int i, int n, int wide, const KeyTable& table);

// The width-sum key digits of a published element-width pattern such as "211412".
std::uint64_t pattern_width_sum_key(const char* widths);
// The pattern's widths read as a decimal number, for narrow/wide keys ("121121211").
std::uint64_t pattern_digits(const char* widths);
// The pattern read backwards.
std::string reversed_pattern(const char* widths);

}  // namespace stripescan
