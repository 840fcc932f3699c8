#include "barcode/linear/line_decode.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "barcode/linear/symbologies/colour_split.h"

namespace stripescan {

std::optional<Key> pattern_key(const Symbology& symbology, const Pattern& pattern, const RunList& runs, int i,
                               Ink ink) {
    if (symbology.family == Family::WidthSum) {
        // Sums of neighbouring widths do not move with the ink.
        if (ink == Ink::Compensated) return std::nullopt;
        return width_sum_key(runs, i, pattern.elements, pattern.units);
    }
    // Codabar's start and stop are letters of its text, but they only place the symbol here:
    // its reader reads every character again, the letters included, with the ink gain of the
    // whole symbol, so a compensated key may find them (bars spread by 2 px at 5 px modules
    // are found no other way).
    return narrow_wide_key(runs, i, pattern.elements, pattern.units, ink);
}

namespace {

// A width-sum pattern's runs from i whose key missed by rounding: they still stand for the
// pattern when every edge lies within the fit of nearest_value of the pattern's widths (read
// backwards when `reversed`) on the grid of their own module. The key it answers is the
// pattern's own.
std::optional<Key> fitted_key(const Pattern& pattern, const RunList& runs, int i, bool reversed) {
    if (!pattern.widths || i < 0 || i + pattern.elements > runs.size() || pattern.units <= 0)
        return std::nullopt;
    long long total = 0;
    for (int j = 0; j < pattern.elements; ++j) total += runs.length(i + j);
    const double module = static_cast<double>(total) / pattern.units;
    constexpr int kMaxPatternElements = 16;
    if (pattern.elements >= kMaxPatternElements) return std::nullopt;
    char widths[kMaxPatternElements] = {};
    for (int j = 0; j < pattern.elements; ++j)
        widths[j] = pattern.widths[reversed ? pattern.elements - 1 - j : j];
    const char* one[1] = {widths};
    if (nearest_value(runs, i, pattern.elements, module, one, 1) != 0) return std::nullopt;
    return Key{reversed ? pattern.reversed : pattern.forward,
               static_cast<int>((total + pattern.units / 2) / pattern.units), module};
}

// The module of a width-sum pattern's runs from i measured apart from the ink: the span from
// its first bar's leading edge to its last bar's leading edge and the same for the trailing
// edges, over the modules the pattern puts there (read backwards when `reversed`). A constant
// ink gain or loss moves both ends of each span alike. Length units; 0 when the pattern holds
// fewer than two bars or the runs are not there.
// The element widths of a width-sum pattern, written into `out` as digits (read backwards when
// `reversed`): its own, or all ones for a pattern of single modules that lists none (the EAN/UPC
// guards). False when neither is known or the pattern is too long for `out` (`capacity`).
bool pattern_widths(const Pattern& pattern, bool reversed, char* out, int capacity) {
    if (pattern.elements <= 0 || pattern.elements >= capacity) return false;
    if (!pattern.widths && pattern.units != pattern.elements) return false;
    for (int j = 0; j < pattern.elements; ++j)
        out[j] = pattern.widths ? pattern.widths[reversed ? pattern.elements - 1 - j : j] : '1';
    out[pattern.elements] = 0;
    return true;
}

double ink_neutral_module(const char* widths, int elements, const RunList& runs, int i) {
    if (i < 0 || i + elements > runs.size()) return 0.0;
    long long at = 0, units = 0;
    long long firstLead = -1, firstTrail = 0, lastLead = 0, lastTrail = 0;
    long long firstLeadUnits = 0, firstTrailUnits = 0, lastLeadUnits = 0, lastTrailUnits = 0;
    for (int j = 0; j < elements; ++j) {
        const int w = widths[j] - '0';
        const long long length = runs.length(i + j);
        if (runs.runs[static_cast<std::size_t>(i + j)].color == kBlack) {
            if (firstLead < 0) {
                firstLead = at;
                firstLeadUnits = units;
                firstTrail = at + length;
                firstTrailUnits = units + w;
            }
            lastLead = at;
            lastLeadUnits = units;
            lastTrail = at + length;
            lastTrailUnits = units + w;
        }
        at += length;
        units += w;
    }
    const long long spanUnits = (lastLeadUnits - firstLeadUnits) + (lastTrailUnits - firstTrailUnits);
    if (firstLead < 0 || spanUnits <= 0) return 0.0;
    return static_cast<double>((lastLead - firstLead) + (lastTrail - firstTrail)) /
           static_cast<double>(spanUnits);
}

// A width-sum pattern's runs from i whose key missed by a constant ink gain or loss: every
// edge within the fit of nearest_value (whose leading and trailing edges are fitted apart) on
// the grid of the ink-neutral module. After a quiet zone (`afterQuiet`) the white before must
// span kQuietShareForFit of the shorter quiet zone on that module.
std::optional<Key> ink_neutral_key(const Symbology& symbology, const Pattern& pattern, const RunList& runs,
                                   int i, bool reversed, bool afterQuiet) {
    constexpr double kQuietShareForFit = 0.75;
    constexpr int kMaxPatternElements = 16;
    char widths[kMaxPatternElements] = {};
    if (!pattern_widths(pattern, reversed, widths, kMaxPatternElements)) return std::nullopt;
    const double module = ink_neutral_module(widths, pattern.elements, runs, i);
    if (!(module > 0.0)) return std::nullopt;
    if (afterQuiet &&
        (i < 1 || runs.length(i - 1) <
                      kQuietShareForFit * std::min(symbology.leadQuiet, symbology.trailQuiet) * module))
        return std::nullopt;
    const char* one[1] = {widths};
    if (nearest_value(runs, i, pattern.elements, module, one, 1) != 0) return std::nullopt;
    return Key{reversed ? pattern.reversed : pattern.forward, static_cast<int>(std::lround(module)), module};
}

// A width-sum pattern's key measured on the ink-neutral module (ink_neutral_module), so that
// its quiet zones and the symbol's module are judged apart from the ink; `key` is left as it
// is where that module is not known.
void neutral_measure(const Symbology& symbology, const Pattern& pattern, const RunList& runs, int i,
                     bool reversed, Key& key) {
    constexpr int kMaxPatternElements = 16;
    char widths[kMaxPatternElements] = {};
    if (symbology.family != Family::WidthSum ||
        !pattern_widths(pattern, reversed, widths, kMaxPatternElements))
        return;
    const double module = ink_neutral_module(widths, pattern.elements, runs, i);
    if (!(module > 0.0)) return;
    key.exact = module;
    key.unit = static_cast<int>(std::lround(module));
}

// Quiet zones are 7 modules or more, a pattern's first element at most 4: a white run before p
// shorter than kQuietOverFirstElement times run p is no quiet zone. Most places inside symbols
// and text end here, before any pattern is measured.
constexpr int kQuietOverFirstElement = 3;
bool long_white_before(const RunList& runs, int p) {
    if (p < 1 || p >= runs.size() || runs.runs[static_cast<std::size_t>(p - 1)].color != kWhite) return false;
    return runs.length(p - 1) >= kQuietOverFirstElement * runs.length(p);
}

// Whether the run before p is white and as long as the shorter quiet zone of `symbology` in
// modules of the pattern's runs from p (kQuietShareForFit of it).
bool quiet_before(const Symbology& symbology, const Pattern& pattern, const RunList& runs, int p) {
    constexpr double kQuietShareForFit = 0.75;
    if (p < 1 || p + pattern.elements > runs.size() || pattern.units <= 0) return false;
    if (!long_white_before(runs, p)) return false;
    long long total = 0;
    for (int j = 0; j < pattern.elements; ++j) total += runs.length(p + j);
    const double module = static_cast<double>(total) / pattern.units;
    const int factor = std::min(symbology.leadQuiet, symbology.trailQuiet);
    return runs.length(p - 1) >= kQuietShareForFit * factor * module;
}

// Code 39 on photos reduced to one bit by a local threshold: bars and spaces take different ink,
// and the bar next to a quiet zone takes more than the others, so its start and stop may miss
// both keys. A Code 39 pattern of `list` shown at run i by colour (shows_pattern_by_colour, the
// element next to the quiet zone loose: the first when `atEnd` is false, else the last) where
// the white on that side spans kQuietOverFirstElement times that element; its key with the
// narrow elements' mean as the unit. Null otherwise, and for other symbologies. On a starved
// band (`inkNeutral`) Codabar's letters are sought so too: their narrow bars come out about a
// third as wide as their narrow spaces, so no key over both colours holds.
const Pattern* ends_by_colour(const Symbology& symbology, const std::vector<Pattern>& list,
                              const RunList& runs, int i, bool reversed, bool atEnd, Key& key,
                              bool inkNeutral) {
    const bool family = symbology.number == kCode39 || (inkNeutral && symbology.number == kCodabar);
    if (!family || i < 1 || i >= runs.size()) return nullptr;
    const bool bar = runs.runs[static_cast<std::size_t>(i)].color == kBlack;
    for (const Pattern& pattern : list) {
        const int n = pattern.elements;
        if (bar != pattern.begins_with_bar(reversed) || i + n > runs.size()) continue;
        const int loose = atEnd ? n - 1 : 0;
        const int white = atEnd ? i + n : i - 1;
        if (white >= runs.size() || runs.length(white) < kQuietOverFirstElement * runs.length(i + loose))
            continue;
        const std::uint64_t value = reversed ? pattern.reversed : pattern.forward;
        const std::string digits = std::to_string(value);
        if (static_cast<int>(digits.size()) != n ||
            !shows_pattern_by_colour(runs, i, n, digits.c_str(), loose))
            continue;
        long long narrow = 0;
        int count = 0;
        for (int j = 0; j < n; ++j) {
            if (digits[static_cast<std::size_t>(j)] != '1' || j == loose) continue;
            narrow += runs.length(i + j);
            ++count;
        }
        if (count == 0) continue;
        const double mean = static_cast<double>(narrow) / count;
        key = Key{value, static_cast<int>(std::lround(mean)), mean};
        return &pattern;
    }
    return nullptr;
}

// The first pattern of `list` whose forward (or reversed) key matches at run i. Patterns of the
// same size share one key computation.
const Pattern* match(const Symbology& symbology, const std::vector<Pattern>& list, const RunList& runs, int i,
                     bool reversed, Key& key, PatternFit fit, bool atEnd = false, bool inkNeutral = false) {
    if (i < 0 || i >= runs.size()) return nullptr;
    const bool bar = runs.runs[static_cast<std::size_t>(i)].color == kBlack;
    for (Ink ink : {Ink::AsPrinted, Ink::Compensated}) {
        std::optional<Key> k;
        int kElements = -1;
        int kUnits = -1;
        for (const Pattern& pattern : list) {
            if (bar != pattern.begins_with_bar(reversed)) continue;
            if (pattern.elements != kElements || pattern.units != kUnits) {
                k = pattern_key(symbology, pattern, runs, i, ink);
                kElements = pattern.elements;
                kUnits = pattern.units;
            }
            if (k && k->value == (reversed ? pattern.reversed : pattern.forward)) {
                key = *k;
                if (inkNeutral) neutral_measure(symbology, pattern, runs, i, reversed, key);
                return &pattern;
            }
        }
    }
    if (fit != PatternFit::KeysOnly) {
        if (const Pattern* pattern =
                ends_by_colour(symbology, list, runs, i, reversed, atEnd, key, inkNeutral))
            return pattern;
    }
    // Modules of one or two pixels: the start or end where the line's search expects it may
    // miss its key by rounding alone.
    if (fit == PatternFit::KeysOnly || symbology.family != Family::WidthSum) return nullptr;
    if (fit == PatternFit::AfterQuietZone && !long_white_before(runs, i)) return nullptr;
    for (const Pattern& pattern : list) {
        if (!pattern.widths || bar != pattern.begins_with_bar(reversed)) continue;
        if (fit == PatternFit::AfterQuietZone && !quiet_before(symbology, pattern, runs, i)) continue;
        if (const auto k = fitted_key(pattern, runs, i, reversed)) {
            key = *k;
            return &pattern;
        }
    }
    if (!inkNeutral) return nullptr;
    for (const Pattern& pattern : list) {
        if (bar != pattern.begins_with_bar(reversed)) continue;
        if (const auto k =
                ink_neutral_key(symbology, pattern, runs, i, reversed, fit == PatternFit::AfterQuietZone)) {
            key = *k;
            return &pattern;
        }
    }
    return nullptr;
}

// 2 of 5 found with the ink gain taken off must show a digit pair right after its start (or its
// stop, met backwards): the ten runs from i split, each colour on its own, into two clearly
// wide and three narrow (the widest gap of the sorted five, the wide side kPairMinSplit times the
// narrow side), the narrow ones about as wide as the narrowest run of that colour in the pattern
// (within kPairNarrowShare of it, or a pixel). Every pair of 2 of 5 splits so; four narrow
// elements elsewhere on a page rarely do, and each false start costs a fan of lines.
constexpr double kPairMinSplit = 1.5;
constexpr double kPairNarrowShare = 0.4;
// The narrowest run of `colour` among the n runs from i; 0 when there is none.
int narrowest(const RunList& runs, int i, int n, std::uint8_t colour) {
    int least = 0;
    for (int k = i; k < i + n && k < runs.size(); ++k) {
        const Run& r = runs.runs[static_cast<std::size_t>(k)];
        if (r.color == colour && (least == 0 || r.length < least)) least = r.length;
    }
    return least;
}

bool interleaved_pair_follows(const RunList& runs, int i, int narrowBar, int narrowSpace) {
    if (i < 0 || i + 10 > runs.size()) return false;
    for (int colour = 0; colour < 2; ++colour) {
        int w[5];
        for (int k = 0; k < 5; ++k) w[k] = runs.length(i + colour + 2 * k);
        std::sort(w, w + 5);
        const int gap = w[3] - w[2];
        if (w[0] <= 0 || w[1] - w[0] >= gap || w[2] - w[1] >= gap || w[4] - w[3] >= gap) return false;
        if (w[3] < kPairMinSplit * w[2]) return false;
        const bool bar = runs.runs[static_cast<std::size_t>(i + colour)].color == kBlack;
        const double reference = bar ? narrowBar : narrowSpace;
        const double narrow = (w[0] + w[1] + w[2]) / 3.0;
        if (std::fabs(narrow - reference) > std::max(kPairNarrowShare * reference, double(runs.unit)))
            return false;
    }
    return true;
}

constexpr long long kNarrowWideQuietRuns = 5;    // see try_list
constexpr double kCompensatedQuietShare = 0.75;  // of the shorter quiet zone, in narrow widths

// Either reading of any pattern of `list` at run p; by `fit`, also a width-sum pattern that
// misses its key by rounding alone (fitted_key).
std::optional<PatternHit> try_list(const Symbology& symbology, const std::vector<Pattern>& list, bool start,
                                   const RunList& runs, int p, PatternFit fit) {
    // Printed widths only: on the search's many candidate runs a second, ink-compensated key
    // costs more than it finds; the symbol's own reading tries both (match).
    if (p < 0 || p >= runs.size()) return std::nullopt;
    const bool bar = runs.runs[static_cast<std::size_t>(p)].color == kBlack;
    std::optional<Key> k;
    int kElements = -1;
    int kUnits = -1;
    for (bool reversed : {false, true}) {
        for (const Pattern& pattern : list) {
            if (bar != pattern.begins_with_bar(reversed)) continue;
            if (pattern.elements != kElements || pattern.units != kUnits) {
                k = pattern_key(symbology, pattern, runs, p);
                kElements = pattern.elements;
                kUnits = pattern.units;
            }
            if (k && k->value == (reversed ? pattern.reversed : pattern.forward)) {
                return PatternHit{pattern.elements, start, reversed, k->exact};
            }
        }
    }
    if (fit == PatternFit::KeysOnly) return std::nullopt;
    if (fit == PatternFit::AfterQuietZone && !long_white_before(runs, p)) return std::nullopt;
    if (symbology.number == kCode39 && p >= 1) {
        // After a quiet zone only (few places): the pattern judged by colour, as match does.
        Key key;
        if (kNarrowWideQuietRuns * runs.length(p) <= runs.length(p - 1)) {
            for (bool reversed : {false, true}) {
                const Pattern* pattern =
                    ends_by_colour(symbology, list, runs, p, reversed, false, key, false);
                if (pattern && (fit == PatternFit::Always ||
                                runs.length(p - 1) >=
                                    kCompensatedQuietShare *
                                        std::min(symbology.leadQuiet, symbology.trailQuiet) * key.exact))
                    return PatternHit{pattern->elements, start, reversed, key.exact};
            }
        }
        return std::nullopt;
    }
    const bool interleaved = symbology.number == kInterleaved2of5;
    if (symbology.family == Family::NarrowWide && (symbology.number == kCodabar || interleaved)) {
        // Codabar after a quiet zone only, the pattern with the ink gain taken off: bars spread
        // or starved by a good part of a narrow element miss the printed key. 2 of 5 the same
        // way only where a digit pair follows (interleaved_pair_follows): its start, four narrow
        // elements, is found that way on every other symbol's bars. The white before
        // must span kNarrowWideQuietRuns of the pattern's mean element width, which leaves few
        // places on a page; patterns of one size share one key.
        std::optional<Key> c;
        kElements = -1;
        kUnits = -1;
        for (bool reversed : {false, true}) {
            for (const Pattern& pattern : list) {
                if (bar != pattern.begins_with_bar(reversed) || p + pattern.elements > runs.size()) continue;
                if (pattern.elements != kElements || pattern.units != kUnits) {
                    kElements = pattern.elements;
                    kUnits = pattern.units;
                    long long total = 0;
                    for (int j = 0; j < pattern.elements; ++j) total += runs.length(p + j);
                    c = kNarrowWideQuietRuns * total <=
                                static_cast<long long>(runs.length(p - 1)) * pattern.elements
                            ? pattern_key(symbology, pattern, runs, p, Ink::Compensated)
                            : std::nullopt;
                }
                // A white that opens the line under PatternFit::Always is a fan line's probe
                // across a pattern the scan line found: its back-off, which the caller has
                // measured against the pattern's module, may fall short of the share by the
                // sub-pixel difference of the two measures, and the probe may end before a 2 of 5
                // digit pair does (the scan line found the pair).
                const bool measured = fit == PatternFit::Always && p == 1;
                if (c && c->value == (reversed ? pattern.reversed : pattern.forward) &&
                    (measured || runs.length(p - 1) >=
                                     kCompensatedQuietShare *
                                         std::min(symbology.leadQuiet, symbology.trailQuiet) * c->exact) &&
                    (!interleaved || measured ||
                     interleaved_pair_follows(runs, p + pattern.elements,
                                              narrowest(runs, p, pattern.elements, kBlack),
                                              narrowest(runs, p, pattern.elements, kWhite))))
                    return PatternHit{pattern.elements, start, reversed, c->exact};
            }
        }
        return std::nullopt;
    }
    for (bool reversed : {false, true}) {
        for (const Pattern& pattern : list) {
            if (!pattern.widths || bar != pattern.begins_with_bar(reversed)) continue;
            if (fit == PatternFit::AfterQuietZone && !quiet_before(symbology, pattern, runs, p)) continue;
            if (const auto f = fitted_key(pattern, runs, p, reversed))
                return PatternHit{pattern.elements, start, reversed, f->exact};
        }
    }
    return std::nullopt;
}

// Searches the end pattern from run j on. Answers the index of its last run, or -1.
int find_end(const Symbology& symbology, const std::vector<Pattern>& ends, bool reversed, int quietFactor,
             const RunList& runs, int j, double& quietWidth, bool inkNeutral) {
    const int step = symbology.charElements + symbology.gap;
    const int endElements = ends.front().elements;
    const int n = runs.size();
    for (; j <= n - endElements; j += step) {
        Key key;
        if (const Pattern* pattern =
                match(symbology, ends, runs, j, reversed, key, PatternFit::Always, true, inkNeutral)) {
            quietWidth = static_cast<double>(quietFactor) * key.unit;
            const int after = j + pattern->elements;
            if (n - after >= 4 && runs.length(after) < quietWidth) {
                if (symbology.fixedData > 0) return -1;
                continue;
            }
            return after - 1;
        }
        if (symbology.fixedData > 0) return -1;  // fixed-length symbols end at one place only
    }
    return -1;
}

}  // namespace

std::optional<PatternHit> find_pattern(const Symbology& symbology, const RunList& runs, int p,
                                       PatternFit fit) {
    const int s = symbology.starts.front().elements;
    const int e = symbology.stops.front().elements;
    if (s < e) {
        if (auto hit = try_list(symbology, symbology.stops, false, runs, p, fit)) return hit;
        return try_list(symbology, symbology.starts, true, runs, p, fit);
    }
    if (auto hit = try_list(symbology, symbology.starts, true, runs, p, fit)) return hit;
    return try_list(symbology, symbology.stops, false, runs, p, fit);
}

bool decode_line(const Symbology& symbology, const ReadOptions& options, const RunList& line,
                 double& quietWidth, Decoded& out, LineSymbol& where) {
    const int startElements = symbology.starts.front().elements;
    const int stopElements = symbology.stops.front().elements;
    if (line.size() < startElements + stopElements + symbology.fixedData) return false;
    RunList runs = line;
    if (options.setting.minElementWidth > 0) merge_noise(runs, options.setting.minElementWidth);
    const int n = runs.size();
    const int step = symbology.charElements + symbology.gap;
    const int firstBlack = (n > 0 && runs.runs[0].color == kWhite) ? 1 : 0;

    for (int i = firstBlack; i <= n - stopElements - startElements; ++i) {
        if (runs.runs[static_cast<std::size_t>(i)].color != kBlack) continue;
        int last = -1;
        bool backwards = false;
        double module = 0.0;
        Key key;
        if (const Pattern* start = match(symbology, symbology.starts, runs, i, false, key,
                                         PatternFit::AfterQuietZone, false, options.inkNeutralEnds)) {
            if (i < 4 || runs.length(i - 1) >= symbology.leadQuiet * key.unit) {
                module = key.exact;
                last = find_end(symbology, symbology.stops, false, symbology.trailQuiet, runs,
                                i + start->elements + symbology.fixedData + symbology.gap, quietWidth,
                                options.inkNeutralEnds);
            }
        }
        if (last < 0) {
            if (const Pattern* stop = match(symbology, symbology.stops, runs, i, true, key,
                                            PatternFit::AfterQuietZone, false, options.inkNeutralEnds)) {
                if (i < 4 || runs.length(i - 1) >= symbology.trailQuiet * key.unit) {
                    module = key.exact;
                    last = find_end(symbology, symbology.starts, true, symbology.leadQuiet, runs,
                                    i + stop->elements + symbology.fixedData + symbology.gap, quietWidth,
                                    options.inkNeutralEnds);
                    backwards = last >= 0;
                }
            }
        }
        if (last < 0) continue;
        const int characters = (last - stopElements - startElements - i + 1) / step;
        if (characters < 1) continue;

        // The reader gets the symbol in reading direction; the EAN/UPC guards read the same
        // both ways, so their readers may ask for the other way round once.
        RunList symbol = runs;
        int first = i;
        int end = last;
        if (backwards) reverse_runs(symbol, first, end);
        Decoded decoded;
        decoded.symbology = symbology.number;
        ReadOutcome outcome = symbology.read(SymbolCursor(symbol, first, end), symbology, options, decoded);
        if (outcome == ReadOutcome::TryReversed) {
            reverse_runs(symbol, first, end);
            decoded = Decoded{};
            decoded.symbology = symbology.number;
            outcome = symbology.read(SymbolCursor(symbol, first, end), symbology, options, decoded);
        }
        if (outcome != ReadOutcome::Read) continue;
        out = std::move(decoded);
        // Report the place in the line's own run order (before any noise merge).
        where.backwards = backwards;
        where.module = module;
        where.first = i;
        where.last = last;
        if (options.setting.minElementWidth > 0) {
            // Map back to the unmerged line by position along it.
            const Run& a = runs.runs[static_cast<std::size_t>(i)];
            const Run& b = runs.runs[static_cast<std::size_t>(last)];
            where.first = where.last = -1;
            for (int k = 0; k < line.size(); ++k) {
                const Run& r = line.runs[static_cast<std::size_t>(k)];
                if (where.first < 0 && r.x == a.x && r.y == a.y) where.first = k;
                if (r.x == b.x && r.y == b.y) where.last = k;
            }
            if (where.first < 0 || where.last < 0) return false;
            // The merged last run may have swallowed following runs: extend to its end.
            int covered = line.runs[static_cast<std::size_t>(where.last)].length;
            while (covered < b.length && where.last + 1 < line.size()) {
                ++where.last;
                covered += line.runs[static_cast<std::size_t>(where.last)].length;
            }
        }
        return true;
    }
    return false;
}

}  // namespace stripescan
