#include "barcode/linear/symbologies/colour_split.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace stripescan {
namespace {

// The narrow and wide means of `widths` at the cut of largest between-group variance; false
// when fewer than two widths or the wide mean is not kColourMinRatio times the narrow one.
bool split_widths(std::vector<int>& widths, double& narrow, double& wide) {
    const std::size_t n = widths.size();
    if (n < 2) return false;
    std::sort(widths.begin(), widths.end());
    double total = 0;
    for (int w : widths) total += w;
    double below = 0, best = -1;
    for (std::size_t k = 1; k < n; ++k) {
        below += widths[k - 1];
        const double m0 = below / static_cast<double>(k);
        const double m1 = (total - below) / static_cast<double>(n - k);
        const double between = static_cast<double>(k) * static_cast<double>(n - k) * (m1 - m0) * (m1 - m0);
        if (between > best) {
            best = between;
            narrow = m0;
            wide = m1;
        }
    }
    return narrow > 0 && wide >= kColourMinRatio * narrow;
}

// Whether the widths of one colour within one character split clearly on their own: the means
// of the split (split_widths) kColourMinRatio apart, and its narrowest wide width
// kOwnSplitEdges times its widest narrow one.
bool own_split(std::vector<int>& widths, double& narrow, double& wide) {
    double n = 0, w = 0;
    if (!split_widths(widths, n, w)) return false;
    const double middle = (n + w) / 2;
    int widestNarrow = 0, narrowestWide = 0;
    for (int x : widths) {
        if (x < middle) widestNarrow = std::max(widestNarrow, x);
        if (x >= middle && (narrowestWide == 0 || x < narrowestWide)) narrowestWide = x;
    }
    if (narrowestWide < kOwnSplitEdges * widestNarrow) return false;
    narrow = n;
    wide = w;
    return true;
}

}  // namespace

ColourSplit character_split(const RunList& runs, int i, int n, const ColourSplit& around) {
    ColourSplit split = around;
    std::vector<int> widths[2];
    for (int k = i; k < i + n && k < runs.size(); ++k) {
        const Run& r = runs.runs[static_cast<std::size_t>(k)];
        widths[r.color == kBlack ? 1 : 0].push_back(r.length);
    }
    for (int c = 0; c < 2; ++c) {
        double narrow = 0, wide = 0;
        if (own_split(widths[c], narrow, wide)) {
            split.narrow[c] = narrow;
            split.wide[c] = wide;
        }
    }
    return split;
}

std::optional<ColourSplit> colour_split(const RunList& runs, int first, int size, int elements, int gap) {
    if (elements <= 0 || gap < 0 || first < 0 || size <= 0 || first + size > runs.size()) return std::nullopt;
    std::vector<int> widths[2];
    for (int k = 0; k < size; ++k) {
        if (k % (elements + gap) >= elements) continue;  // a gap between characters
        const Run& r = runs.runs[static_cast<std::size_t>(first + k)];
        widths[r.color == kBlack ? 1 : 0].push_back(r.length);
    }
    ColourSplit split;
    for (int c = 0; c < 2; ++c)
        if (!split_widths(widths[c], split.narrow[c], split.wide[c])) return std::nullopt;
    return split;
}

std::optional<ColourSplit> local_colour_split(const RunList& runs, int first, int characters, int elements,
                                              int gap, int c, int reach) {
    const int span = std::min(characters, 2 * reach + 1);
    const int from = std::clamp(c - reach, 0, characters - span);
    const int period = elements + gap;
    if (auto local = colour_split(runs, first + from * period, span * period - gap, elements, gap))
        return local;
    return colour_split(runs, first, characters * period - gap, elements, gap);
}

int nearest_colour_pattern(const RunList& runs, int i, int n, const ColourSplit& split,
                           const char* const* patterns, int from, int to) {
    if (i < 0 || n <= 0 || i + n > runs.size()) return -1;
    int best = -1;
    double bestMisfit = 1e9, secondMisfit = 1e9;
    for (int v = from; v < to; ++v) {
        double misfit = 0;
        for (int j = 0; j < n; ++j) {
            const Run& r = runs.runs[static_cast<std::size_t>(i + j)];
            const int c = r.color == kBlack ? 1 : 0;
            const double at = (r.length - split.narrow[c]) / (split.wide[c] - split.narrow[c]);  // 0 .. 1
            misfit = std::max(misfit, std::fabs(at - (patterns[v][j] == '2' ? 1.0 : 0.0)));
        }
        if (misfit < bestMisfit) {
            secondMisfit = bestMisfit;
            bestMisfit = misfit;
            best = v;
        } else if (misfit < secondMisfit) {
            secondMisfit = misfit;
        }
    }
    if (bestMisfit > kColourFit || secondMisfit < bestMisfit + kColourMargin) return -1;
    return best;
}

bool shows_pattern_by_colour(const RunList& runs, int i, int n, const char* pattern, int loose) {
    if (i < 0 || n <= 0 || n > 16 || i + n > runs.size()) return false;
    for (int colour = 0; colour < 2; ++colour) {
        int widestNarrow = 0, narrowestWide = 0;
        double sum[2] = {}, count[2] = {};
        for (int j = 0; j < n; ++j) {
            const Run& r = runs.runs[static_cast<std::size_t>(i + j)];
            if ((r.color == kBlack ? 1 : 0) != colour || j == loose) continue;
            const bool wide = pattern[j] == '2';
            sum[wide] += r.length;
            ++count[wide];
            if (wide && (narrowestWide == 0 || r.length < narrowestWide)) narrowestWide = r.length;
            if (!wide) widestNarrow = std::max(widestNarrow, r.length);
        }
        if (count[0] > 0 && count[1] > 0 && narrowestWide < kOwnSplitEdges * widestNarrow) return false;
        if (loose >= 0 && loose < n &&
            (runs.runs[static_cast<std::size_t>(i + loose)].color == kBlack) == colour && count[0] > 0 &&
            count[1] > 0) {
            const double narrow = sum[0] / count[0], wide = sum[1] / count[1];
            // No end pattern is another valid character with this element changed (the count
            // of wide elements would change), so it need only stay short of the other class.
            const double at = runs.length(i + loose);
            if (pattern[loose] == '2' ? at <= narrow : at >= wide) return false;
        }
    }
    return true;
}

bool elements_stand_clear(const RunList& runs, const std::vector<ReadCharacter>& characters,
                          const std::vector<ReadCharacter>& judged) {
    double sum[2][2] = {};  // [bar][wide]
    int count[2][2] = {};
    for (const ReadCharacter& c : characters) {
        if (c.pattern == nullptr || c.stride <= 0) return false;
        for (int e = 0; c.pattern[e] != '\0'; ++e) {
            const int k = c.first + e * c.stride;
            if (k < 0 || k >= runs.size()) return false;
            const Run& r = runs.runs[static_cast<std::size_t>(k)];
            if (c.pattern[e] == kLooseElement) continue;
            const int bar = r.color == kBlack ? 1 : 0, wide = c.pattern[e] == '2' ? 1 : 0;
            sum[bar][wide] += r.length;
            ++count[bar][wide];
        }
    }
    double narrow[2] = {}, wide[2] = {};
    for (int bar = 0; bar < 2; ++bar) {
        if (count[bar][0] == 0 || count[bar][1] == 0) return false;
        narrow[bar] = sum[bar][0] / count[bar][0];
        wide[bar] = sum[bar][1] / count[bar][1];
        if (wide[bar] <= narrow[bar]) return false;
    }
    for (const ReadCharacter& c : judged) {
        if (c.pattern == nullptr || c.stride <= 0) return false;
        for (int e = 0; c.pattern[e] != '\0'; ++e) {
            const int k = c.first + e * c.stride;
            if (k < 0 || k >= runs.size()) return false;
        }
    }
    for (const std::vector<ReadCharacter>* list : {&characters, &judged}) {
        for (const ReadCharacter& c : *list) {
            for (int e = 0; c.pattern[e] != '\0'; ++e) {
                if (c.pattern[e] == kLooseElement) continue;
                const Run& r = runs.runs[static_cast<std::size_t>(c.first + e * c.stride)];
                const int bar = r.color == kBlack ? 1 : 0;
                const double at = (r.length - narrow[bar]) / (wide[bar] - narrow[bar]);  // 0 narrow .. 1 wide
                if (c.pattern[e] == '2' ? at < kClearWideAtLeast : at > kClearNarrowAtMost) return false;
            }
        }
    }
    return true;
}

bool gaps_stay_narrow(const RunList& runs, int first, int size, int elements, int gap) {
    const auto split = colour_split(runs, first, size, elements, gap);
    if (!split || gap <= 0) return false;
    const double middle = (split->narrow[0] + split->wide[0]) / 2;
    for (int k = elements; k < size; k += elements + gap) {
        const Run& r = runs.runs[static_cast<std::size_t>(first + k)];
        if (r.color != kWhite || r.length >= middle) return false;
    }
    return true;
}

}  // namespace stripescan
