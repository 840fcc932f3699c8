#include "barcode/pdf417/locate.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "barcode/pdf417/hollow_bars.h"
#include "barcode/pdf417/patterns.h"
#include "barcode/pdf417/scan_line.h"

namespace pdf417 {
namespace {

constexpr int kBandSpacing = 10;  // pixels between band-search lines
constexpr int kBandMargin = 10;   // pixels added on each side of the band
constexpr int kSkewSpacing = 2;   // pixels between skew-measurement lines
// A band shorter than this (pixels) is measured on every line instead, so that a short symbol
// (three rows of a few pixels) still gives kMinKeptMatches matches along its pattern edge.
constexpr int kShortBand = 80;
constexpr int kContinuityPixels = 5;         // neighbouring matches differ by less than this
constexpr int kMinMatches = 6;               // matches of the chosen kind needed to go on
constexpr int kMinKeptMatches = 15;          // matches that must line up for the orientation to hold
constexpr int kMinShortKept = 6;             // matches of each pattern when a short symbol pools both
constexpr int kMinLooseShortKept = 4;        // the same on the last, loose try
constexpr int kMinLooseShortPooled = 10;     // matches of both patterns together on that try
constexpr int kCompactLimit = 30000;         // halves' sums beyond this are divided by the half count
constexpr int kSeekLimit = 20;               // a family is searched while the other has fewer matches
constexpr long long kDirectionScale = 4096;  // length of the fitted direction vector
constexpr double kFitResidual = 1.5;         // pixels off the first fit that drop a match from the second
constexpr int kChainGap = 2 * kBandSpacing;  // pixels across the lines a run of patterns may skip
constexpr int kChains = 4;                   // runs of patterns followed at once
constexpr int kHollowSpacing = 3;            // pixels between the lines that count a hollow bar again
constexpr int kHollowReach = 40;             // pixels on each side of a hollow bar's line they cover
constexpr int kHollowGap = 3;                // lines in a row that may miss the bar within that run
constexpr int kMinPatternBar = 7;            // pixels: narrower dark elements do not start a pattern (a stop
                                             // pattern at one pixel per module is 7 wide)

// The matches of the chosen kind that line up along one pattern edge, in line order.
struct KeptMatches {
    int count = 0;
    int line[kMaxMatches];
    int distance[kMaxMatches];
};

// Position (pixels from the line's start) of the widest bar of the first pattern on the line,
// any kind, by the search windows; -1 when there is none. With `hollow` given and no pattern on
// the line, *hollow receives the position of the first dark element that would be the widest bar
// of a pattern if taken together with the light and dark element after it (a hollow bar; by the
// narrower orientation windows, as pages without a symbol meet the search windows' pair sums so
// on many lines), or -1; with `pairHollow` given, *pairHollow the same where the whole pattern
// fits the merged bar by its pair sums (blur that starves the one-module bars beside it), or -1.
int pattern_position(const ElementList& list, int* hollow, int* pairHollow = nullptr) {
    int position = list.count > 0 ? list.width[0] : 0;
    int firstHollow = -1, firstPairHollow = -1;
    const int* w = list.width;
    for (int i = 1; i < list.count; i += 2) {
        if (w[i] >= kMinPatternBar)
            for (int k = 0; k < 4; ++k)
                if (matches_pattern(w, list.count, i, static_cast<PatternKind>(k), PatternWindows::Search))
                    return position;
        // A hollow bar's rims are at least kMinHollowRim pixels (the test rejects the rest).
        if (hollow != nullptr && w[i] >= kMinHollowRim && firstHollow < 0 && i + 2 < list.count &&
            hollow_pattern_bar(w, list.count, i, PatternWindows::Orientation))
            firstHollow = position;
        if (pairHollow != nullptr && w[i] >= kMinHollowRim && firstPairHollow < 0 && i + 2 < list.count &&
            hollow_pattern_bar(w, list.count, i, PatternWindows::OrientationPairs))
            firstPairHollow = position;
        position += w[i] + (i + 1 < list.count ? w[i + 1] : 0);
    }
    if (hollow != nullptr) *hollow = firstHollow;
    if (pairHollow != nullptr) *pairHollow = firstPairHollow;
    return -1;
}

// Runs of band-search lines whose pattern lies where the run's last line had it, give or take
// the distance between the two lines (an edge steeper than 45 degrees is no pattern edge), with
// gaps of up to kChainGap pixels (lines on which the pattern was not met, or another one first).
// A few runs are followed at once: the start and the stop pattern, and stray matches beside them.
class Chains {
public:
    void add(int along, int position) {
        Run* oldest = &runs_[0];
        for (Run& r : runs_) {
            const int gap = along - r.along;
            if (r.count > 0 && gap <= kChainGap && std::abs(position - r.position) <= gap) {
                extend(r, along, position, r.count + 1);
                return;
            }
            if (r.count == 0 || r.along < oldest->along) oldest = &r;  // an unused run counts as oldest
        }
        extend(*oldest, along, position, 1);
    }
    int longest() const { return longest_; }
    int longest_along() const { return longestAlong_; }  // the last line of the longest run

private:
    struct Run {
        int along = 0, position = 0, count = 0;
    };
    void extend(Run& r, int along, int position, int count) {
        r.along = along;
        r.position = position;
        r.count = count;
        if (count > longest_) {
            longest_ = count;
            longestAlong_ = along;
        }
    }
    Run runs_[kChains];
    int longest_ = 0;
    int longestAlong_ = 0;
};

void edge_start(const ImageView& image, Edge edge, int along, int& x, int& y) {
    switch (edge) {
        case Edge::Left:
            x = 0;
            y = along;
            break;
        case Edge::Right:
            x = image.width - 1;
            y = along;
            break;
        case Edge::Top:
            x = along;
            y = 0;
            break;
        case Edge::Bottom:
            x = along;
            y = image.height - 1;
            break;
    }
}

}  // namespace

Band band_search(const ImageView& image, Edge edge, int dx, int dy, bool countHollow) {
    Band band;
    const int extent = (edge == Edge::Left || edge == Edge::Right) ? image.height : image.width;
    Workspace& ws = workspace();
    ElementList& list = ws.line;
    int firstLine = -1, lastLine = -1;
    Chains chain, hollowChain, pairHollowChain;
    for (int along = 0; along < extent; along += kBandSpacing) {
        int x = 0, y = 0;
        edge_start(image, edge, along, x, y);
        scan_line(image, x, y, dx, dy, list);
        if (ws.closeHollow) close_hollow_bars(list);
        int hollow = -1, pairHollow = -1;
        const int position =
            pattern_position(list, countHollow ? &hollow : nullptr, countHollow ? &pairHollow : nullptr);
        if (position < 0) {
            if (hollow >= 0) hollowChain.add(along, hollow);
            if (pairHollow >= 0) pairHollowChain.add(along, pairHollow);
            continue;
        }
        chain.add(along, position);
        if (firstLine < 0) firstLine = along;
        lastLine = along;
        ++band.lines;
    }
    band.chain = chain.longest();
    band.hollowChain = hollowChain.longest();
    band.hollowAlong = hollowChain.longest_along();
    band.pairHollowChain = pairHollowChain.longest();
    band.pairHollowAlong = pairHollowChain.longest_along();
    if (firstLine < 0) return band;
    band.found = true;
    band.first = std::max(0, firstLine - kBandMargin);
    band.last = std::min(extent - 1, lastLine + kBandMargin);
    return band;
}

int hollow_run_near(const ImageView& image, Edge edge, int dx, int dy, int along, bool pairs) {
    const int extent = (edge == Edge::Left || edge == Edge::Right) ? image.height : image.width;
    ElementList& list = workspace().line;
    // The position of the hollow bar on the line at `a`, or -1.
    auto hollowAt = [&](int a) {
        int x = 0, y = 0;
        edge_start(image, edge, a, x, y);
        scan_line(image, x, y, dx, dy, list);
        int hollow = -1, pairHollow = -1;
        if (pattern_position(list, &hollow, pairs ? &pairHollow : nullptr) >= 0) return -1;
        return hollow >= 0 ? hollow : pairHollow;
    };
    const int centre = hollowAt(along);
    if (centre < 0) return 0;
    int count = 1;
    // Outwards both ways while the bar goes on where the last line had it (give or take the
    // distance between the lines), over at most kHollowGap lines that miss it in a row.
    for (const int step : {kHollowSpacing, -kHollowSpacing}) {
        int position = centre, misses = 0, since = step;
        for (int a = along + step; a >= 0 && a < extent && std::abs(a - along) <= kHollowReach; a += step) {
            const int p = hollowAt(a);
            if (p >= 0 && std::abs(p - position) <= std::abs(since)) {
                ++count;
                position = p;
                misses = 0;
                since = step;
            } else {
                if (++misses > kHollowGap) break;
                since += step;
            }
        }
    }
    return count;
}

namespace {

// Lines every kSkewSpacing pixels across the band: on each, the first match of every pattern
// kind is recorded in ws.matches (line coordinate, pixels before the pattern's first element),
// and the width of the 8 elements at the pattern (one codeword) in ws.widths. A family is
// searched only while it is not far behind the other (kSeekLimit).
void collect_matches(const ImageView& image, Orientation orientation, const Band& band, int noise,
                     Workspace& ws, PatternWindows windows) {
    for (auto& m : ws.matches) m.count = 0;
    ws.widthCount = 0;
    ElementList& list = ws.line;
    const int spacing = band.last - band.first < kShortBand ? 1 : kSkewSpacing;
    for (int along = band.first; along <= band.last; along += spacing) {
        if (orientation == Orientation::Rows)
            scan_line(image, 0, along, 3, 0, list);
        else
            scan_line(image, along, 0, 0, 3, list);
        merge_noise(list, noise);
        if (ws.closeHollow) close_hollow_bars(list);

        int forward = ws.matches[0].count + ws.matches[1].count;
        int reversed = ws.matches[2].count + ws.matches[3].count;
        bool seekForward = forward >= reversed || reversed < kSeekLimit;
        bool seekReversed = reversed >= forward || forward < kSeekLimit;
        bool found[4] = {false, false, false, false};
        int* position = ws.position;
        position[0] = 0;
        for (int i = 0; i < list.count; ++i) position[i + 1] = position[i] + list.width[i];
        for (int i = 1; i < list.count; i += 2) {
            if (list.width[i] < kMinPatternBar) continue;
            for (int k = 0; k < 4; ++k) {
                PatternKind kind = static_cast<PatternKind>(k);
                if (found[k] || (is_reversed(kind) ? !seekReversed : !seekForward)) continue;
                if (!matches_pattern(list.width, list.count, i, kind, windows)) continue;
                found[k] = true;
                // Distance: steps before the pattern's first element in line order.
                int first = pattern_first_element(i, kind);
                MatchList& m = ws.matches[k];
                if (m.count < kMaxMatches) {
                    m.line[m.count] = along;
                    m.distance[m.count] = position[first];
                    ++m.count;
                }
                // The 8 elements at the pattern are 17 modules, one codeword wide.
                int w0 = is_reversed(kind) ? i - 7 : i;
                if (ws.widthCount < kMaxWidths) ws.widths[ws.widthCount++] = position[w0 + 8] - position[w0];
            }
        }
    }
}

// The family with more matches decides (reversed: the symbol is upside down); within it, the
// more frequent kind.
const MatchList& chosen_kind(const Workspace& ws, bool& upsideDown) {
    int forward = ws.matches[0].count + ws.matches[1].count;
    int reversed = ws.matches[2].count + ws.matches[3].count;
    upsideDown = reversed > forward;
    if (upsideDown) return ws.matches[3].count > ws.matches[2].count ? ws.matches[3] : ws.matches[2];
    return ws.matches[1].count > ws.matches[0].count ? ws.matches[1] : ws.matches[0];
}

// Continuity filter: from a match near the middle that agrees with both neighbours, walks to
// both ends keeping each match within kContinuityPixels of the last one kept. False when no
// such seed exists.
bool keep_continuous(const MatchList& chosen, KeptMatches& kept) {
    const int n = chosen.count;
    int seed = -1;
    for (int off = 0; off < n && seed < 0; ++off) {
        for (int j : {n / 2 + off, n / 2 - off}) {
            if (j < 1 || j > n - 2) continue;
            if (std::abs(chosen.distance[j] - chosen.distance[j - 1]) < kContinuityPixels &&
                std::abs(chosen.distance[j] - chosen.distance[j + 1]) < kContinuityPixels) {
                seed = j;
                break;
            }
        }
    }
    if (seed < 0) return false;
    int lowCount = 0;
    int lowLine[kMaxMatches], lowDistance[kMaxMatches];
    int last = chosen.distance[seed];
    for (int j = seed - 1; j >= 0; --j) {
        if (std::abs(chosen.distance[j] - last) < kContinuityPixels) {
            lowLine[lowCount] = chosen.line[j];
            lowDistance[lowCount++] = chosen.distance[j];
            last = chosen.distance[j];
        }
    }
    kept.count = 0;
    for (int j = lowCount - 1; j >= 0; --j) {
        kept.line[kept.count] = lowLine[j];
        kept.distance[kept.count++] = lowDistance[j];
    }
    kept.line[kept.count] = chosen.line[seed];
    kept.distance[kept.count++] = chosen.distance[seed];
    last = chosen.distance[seed];
    for (int j = seed + 1; j < n; ++j) {
        if (std::abs(chosen.distance[j] - last) < kContinuityPixels) {
            kept.line[kept.count] = chosen.line[j];
            kept.distance[kept.count++] = chosen.distance[j];
            last = chosen.distance[j];
        }
    }
    return true;
}

// Halves test: the second half of the kept matches against the first half (c across the lines,
// d along them). An edge that moves along the lines faster than across them does not belong to
// a symbol seen in this orientation. The sums were once the direction itself; they give it only
// to one part in c, so the direction now comes from fit_direction and this is only the test.
bool edge_crosses_lines(const KeptMatches& kept) {
    const int half = kept.count / 2;
    long long c = 0, d = 0;
    for (int j = 0; j < half; ++j) {
        c += kept.line[kept.count - half + j] - kept.line[j];
        d += kept.distance[kept.count - half + j] - kept.distance[j];
    }
    if (std::llabs(c) > kCompactLimit || std::llabs(d) > kCompactLimit) {
        c /= half;
        d /= half;
    }
    return !(std::llabs(c) < std::llabs(d) || c == 0);
}

// Slope of the pattern edge (pixels along the lines per pixel across them): a least-squares
// line through the kept matches, fitted again without the matches more than kFitResidual
// pixels off the first fit (the corners of the pattern, where a line only clips it). False
// when too few matches remain, the fit is degenerate or the edge is steeper than 45 degrees.
bool fit_edge_slope(const KeptMatches& kept, double& slope) {
    double intercept = 0;
    bool use[kMaxMatches];
    for (int j = 0; j < kept.count; ++j) use[j] = true;
    for (int pass = 0; pass < 2; ++pass) {
        double n = 0, ml = 0, md = 0;
        for (int j = 0; j < kept.count; ++j) {
            if (!use[j]) continue;
            n += 1;
            ml += kept.line[j];
            md += kept.distance[j];
        }
        if (n < kMinKeptMatches / 2) return false;
        ml /= n;
        md /= n;
        double sxy = 0, sxx = 0;
        for (int j = 0; j < kept.count; ++j) {
            if (!use[j]) continue;
            sxy += (kept.line[j] - ml) * (kept.distance[j] - md);
            sxx += (kept.line[j] - ml) * (kept.line[j] - ml);
        }
        if (sxx <= 0) return false;
        slope = sxy / sxx;
        intercept = md - slope * ml;
        for (int j = 0; j < kept.count; ++j)
            use[j] = std::fabs(kept.distance[j] - (intercept + slope * kept.line[j])) <= kFitResidual;
    }
    return std::fabs(slope) <= 1;
}

// The distance to add to `b`'s matches to bring them onto `a`'s edge, for two parallel edges:
// the least-squares slope of both about their own means (pixels along the lines per line), and
// the difference of their means along that slope.
int pooled_offset(const KeptMatches& a, const KeptMatches& b) {
    double mean[2][2] = {{0, 0}, {0, 0}};  // [edge][line, distance]
    const KeptMatches* edges[2] = {&a, &b};
    for (int k = 0; k < 2; ++k) {
        for (int j = 0; j < edges[k]->count; ++j) {
            mean[k][0] += edges[k]->line[j];
            mean[k][1] += edges[k]->distance[j];
        }
        mean[k][0] /= edges[k]->count;
        mean[k][1] /= edges[k]->count;
    }
    double sxy = 0, sxx = 0;
    for (int k = 0; k < 2; ++k)
        for (int j = 0; j < edges[k]->count; ++j) {
            const double dl = edges[k]->line[j] - mean[k][0];
            sxy += dl * (edges[k]->distance[j] - mean[k][1]);
            sxx += dl * dl;
        }
    const double slope = sxx > 0 ? sxy / sxx : 0.0;
    return static_cast<int>(std::lround(mean[1][1] - mean[0][1] - slope * (mean[1][0] - mean[0][0])));
}

// A short symbol (a few rows of a few pixels) crosses too few lines for kMinKeptMatches
// matches of one pattern. Its other pattern (the stop for a start, and so on, same family) runs
// along the same lines: when both edges give at least `minEach` continuous matches and
// together `minBoth`, the other edge's matches are moved onto the chosen edge (by the
// mean difference of the distances on the lines both have, or where they share few lines by
// pooled_offset) and join the fit. False, leaving
// `kept` as it was, when they do not.
bool add_other_pattern(const Workspace& ws, const MatchList& chosen, KeptMatches& kept, int minEach,
                       int minBoth) {
    if (kept.count < minEach) return false;
    // Start and stop of one family are neighbours in PatternKind.
    const MatchList& other = ws.matches[(&chosen - ws.matches) ^ 1];
    if (other.count < minEach) return false;
    KeptMatches more;
    if (!keep_continuous(other, more) || more.count < minEach) return false;
    if (kept.count + more.count < minBoth || kept.count + more.count > kMaxMatches) return false;
    // The offset between the edges, from the lines on which both were met.
    long long sum = 0;
    int shared = 0;
    for (int i = 0, j = 0; i < kept.count && j < more.count;) {
        if (kept.line[i] < more.line[j]) {
            ++i;
        } else if (kept.line[i] > more.line[j]) {
            ++j;
        } else {
            sum += more.distance[j++] - kept.distance[i++];
            ++shared;
        }
    }
    // Tilted, the two edges of a short symbol share few lines (at 2 degrees the stop edge of a
    // symbol 340 px long lies 12 px above or below the start edge): the offset then comes from
    // the slope both edges show about their own means, which needs no shared line.
    const int offset = shared >= minEach ? static_cast<int>(std::llround(static_cast<double>(sum) / shared))
                                         : pooled_offset(kept, more);
    // Merged in line order, the other edge's matches after the chosen edge's on a shared line.
    KeptMatches merged;
    for (int i = 0, j = 0; i < kept.count || j < more.count;) {
        const bool fromKept = j >= more.count || (i < kept.count && kept.line[i] <= more.line[j]);
        merged.line[merged.count] = fromKept ? kept.line[i] : more.line[j];
        merged.distance[merged.count++] = fromKept ? kept.distance[i++] : more.distance[j++] - offset;
    }
    kept = merged;
    return true;
}

}  // namespace

namespace {

// The scan direction and codeword width from the matches kept along one pattern edge; `result`
// keeps its other fields. Not accepted when the edge does not run across the lines or the fit
// fails.
SkewResult direction_from_edge(const KeptMatches& kept, Orientation orientation, Workspace& ws,
                               SkewResult result) {
    if (!edge_crosses_lines(kept)) return result;
    double slope = 0;
    if (!fit_edge_slope(kept, slope)) return result;

    // The scan step is the perpendicular of the edge, as a long vector so that it keeps its
    // precision.
    const long long c = kDirectionScale;
    const long long d = std::llround(slope * kDirectionScale);
    if (orientation == Orientation::Rows) {
        result.dx = static_cast<int>(c);
        result.dy = static_cast<int>(-d);
    } else {
        result.dx = static_cast<int>(-d);
        result.dy = static_cast<int>(c);
    }

    // Codeword width: the median pattern width, brought from the search lines onto the skew.
    std::sort(ws.widths, ws.widths + ws.widthCount);
    int median = ws.widths[ws.widthCount / 2];
    long norm = isqrt_round(c * c + d * d);
    if (norm <= 0) return result;
    long major = std::max(std::labs(result.dx), std::labs(result.dy));
    result.codewordWidth = static_cast<int>((2L * median * major + norm) / (2 * norm));
    result.accepted = result.codewordWidth > 0;
    return result;
}

}  // namespace

SkewResult measure_skew(const ImageView& image, Orientation orientation, const Band& band, int noise,
                        Workspace& ws, PatternWindows windows, SkewResult* loose) {
    SkewResult result;
    if (loose != nullptr) *loose = SkewResult{};
    collect_matches(image, orientation, band, noise, ws, windows);
    const MatchList& chosen = chosen_kind(ws, result.upsideDown);
    if (chosen.count < kMinMatches) return result;
    KeptMatches kept;
    if (!keep_continuous(chosen, kept)) return result;
    result.matches = kept.count;
    if (kept.count >= kMinKeptMatches) return direction_from_edge(kept, orientation, ws, result);
    const KeptMatches single = kept;
    if (add_other_pattern(ws, chosen, kept, kMinShortKept, kMinKeptMatches))
        return direction_from_edge(kept, orientation, ws, result);
    kept = single;
    if (loose != nullptr && add_other_pattern(ws, chosen, kept, kMinLooseShortKept, kMinLooseShortPooled))
        *loose = direction_from_edge(kept, orientation, ws, result);
    return result;
}

}  // namespace pdf417
