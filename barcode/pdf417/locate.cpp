#include "barcode/pdf417/locate.h"

#include "barcode/pdf417/patterns.h"
#include "barcode/pdf417/scan_line.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace pdf417 {
namespace {

constexpr int kBandSpacing = 10;      // pixels between band-search lines
constexpr int kBandMargin = 10;       // pixels added on each side of the band
constexpr int kSkewSpacing = 2;       // pixels between skew-measurement lines
constexpr int kContinuityPixels = 5;  // neighbouring matches differ by less than this
constexpr int kMinMatches = 6;
constexpr int kMinKeptMatches = 15;
constexpr int kCompactLimit = 30000;
constexpr int kSeekLimit = 20;
constexpr long long kDirectionScale = 4096;
constexpr double kFitResidual = 1.5;  // pixels  // a family is searched while the other has fewer matches

bool line_has_pattern(const ElementList &list) {
    for (int i = 1; i < list.count; i += 2) {
        if (list.width[i] < 8) continue;
        for (int k = 0; k < 4; ++k)
            if (matches_pattern(list.width, list.count, i, static_cast<PatternKind>(k), PatternWindows::Search))
                return true;
    }
    return false;
}

void edge_start(const ImageView &image, Edge edge, int along, int &x, int &y) {
    switch (edge) {
    case Edge::Left: x = 0; y = along; break;
    case Edge::Right: x = image.width - 1; y = along; break;
    case Edge::Top: x = along; y = 0; break;
    case Edge::Bottom: x = along; y = image.height - 1; break;
    }
}

}  // namespace

Band band_search(const ImageView &image, Edge edge, int dx, int dy) {
    Band band;
    const int extent = (edge == Edge::Left || edge == Edge::Right) ? image.height : image.width;
    ElementList &list = workspace().line;
    int firstLine = -1, lastLine = -1;
    for (int along = 0; along < extent; along += kBandSpacing) {
        int x = 0, y = 0;
        edge_start(image, edge, along, x, y);
        scan_line(image, x, y, dx, dy, list);
        if (!line_has_pattern(list)) continue;
        if (firstLine < 0) firstLine = along;
        lastLine = along;
    }
    if (firstLine < 0) return band;
    band.found = true;
    band.first = std::max(0, firstLine - kBandMargin);
    band.last = std::min(extent - 1, lastLine + kBandMargin);
    return band;
}

SkewResult measure_skew(const ImageView &image, Orientation orientation, const Band &band, int noise,
                        Workspace &ws) {
    SkewResult result;
    for (auto &m : ws.matches) m.count = 0;
    ws.widthCount = 0;
    ElementList &list = ws.line;

    for (int along = band.first; along <= band.last; along += kSkewSpacing) {
        if (orientation == Orientation::Rows) scan_line(image, 0, along, 3, 0, list);
        else scan_line(image, along, 0, 0, 3, list);
        merge_noise(list, noise);

        int forward = ws.matches[0].count + ws.matches[1].count;
        int reversed = ws.matches[2].count + ws.matches[3].count;
        bool seekForward = forward >= reversed || reversed < kSeekLimit;
        bool seekReversed = reversed >= forward || forward < kSeekLimit;
        bool found[4] = {false, false, false, false};
        int *position = ws.position;
        position[0] = 0;
        for (int i = 0; i < list.count; ++i) position[i + 1] = position[i] + list.width[i];
        for (int i = 1; i < list.count; i += 2) {
            if (list.width[i] < 8) continue;
            for (int k = 0; k < 4; ++k) {
                PatternKind kind = static_cast<PatternKind>(k);
                if (found[k] || (is_reversed(kind) ? !seekReversed : !seekForward)) continue;
                if (!matches_pattern(list.width, list.count, i, kind, PatternWindows::Orientation)) continue;
                found[k] = true;
                // Distance: steps before the pattern's first element in line order.
                int first = pattern_first_element(i, kind);
                MatchList &m = ws.matches[k];
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

    // The family with more matches decides; within it, the more frequent kind.
    const MatchList *chosen;
    int forward = ws.matches[0].count + ws.matches[1].count;
    int reversed = ws.matches[2].count + ws.matches[3].count;
    if (reversed > forward) {
        result.upsideDown = true;
        chosen = ws.matches[3].count > ws.matches[2].count ? &ws.matches[3] : &ws.matches[2];
    } else {
        chosen = ws.matches[1].count > ws.matches[0].count ? &ws.matches[1] : &ws.matches[0];
    }
    const int n = chosen->count;
    if (n < kMinMatches) return result;

    // Continuity: start from a match near the middle that agrees with both neighbours.
    int seed = -1;
    for (int off = 0; off < n && seed < 0; ++off) {
        for (int j : {n / 2 + off, n / 2 - off}) {
            if (j < 1 || j > n - 2) continue;
            if (std::abs(chosen->distance[j] - chosen->distance[j - 1]) < kContinuityPixels &&
                std::abs(chosen->distance[j] - chosen->distance[j + 1]) < kContinuityPixels) {
                seed = j;
                break;
            }
        }
    }
    if (seed < 0) return result;
    int keptLine[kMaxMatches], keptDistance[kMaxMatches];
    int lowCount = 0;
    int lowLine[kMaxMatches], lowDistance[kMaxMatches];
    int last = chosen->distance[seed];
    for (int j = seed - 1; j >= 0; --j) {
        if (std::abs(chosen->distance[j] - last) < kContinuityPixels) {
            lowLine[lowCount] = chosen->line[j];
            lowDistance[lowCount++] = chosen->distance[j];
            last = chosen->distance[j];
        }
    }
    int kept = 0;
    for (int j = lowCount - 1; j >= 0; --j) {
        keptLine[kept] = lowLine[j];
        keptDistance[kept++] = lowDistance[j];
    }
    keptLine[kept] = chosen->line[seed];
    keptDistance[kept++] = chosen->distance[seed];
    last = chosen->distance[seed];
    for (int j = seed + 1; j < n; ++j) {
        if (std::abs(chosen->distance[j] - last) < kContinuityPixels) {
            keptLine[kept] = chosen->line[j];
            keptDistance[kept++] = chosen->distance[j];
            last = chosen->distance[j];
        }
    }
    if (kept < kMinKeptMatches) return result;

    // Skew: the second half of the kept matches against the first half (c across the lines,
    // d along them). An edge that moves along the lines faster than across them does not belong
    // to a symbol seen in this orientation.
    const int half = kept / 2;
    long long c = 0, d = 0;
    for (int j = 0; j < half; ++j) {
        c += keptLine[kept - half + j] - keptLine[j];
        d += keptDistance[kept - half + j] - keptDistance[j];
    }
    if (std::llabs(c) > kCompactLimit || std::llabs(d) > kCompactLimit) {
        c /= half;
        d /= half;
    }
    if (std::llabs(c) < std::llabs(d) || c == 0) return result;
    {
        // The direction itself: the halves' sums give it only to one part in c (a few tenths
        // of a degree for a short symbol), too coarse for rows of up to 30 codewords. Instead a
        // least-squares line through the kept matches (distance against line coordinate),
        // fitted again without the matches that lie more than 1.5 pixels off the first fit
        // (the corners of the pattern, where a line only clips it). The slope is expressed
        // with a long vector so that the direction keeps its precision.
        double slope = 0, intercept = 0;
        bool use[kMaxMatches];
        for (int j = 0; j < kept; ++j) use[j] = true;
        for (int pass = 0; pass < 2; ++pass) {
            double n = 0, ml = 0, md = 0;
            for (int j = 0; j < kept; ++j) {
                if (!use[j]) continue;
                n += 1;
                ml += keptLine[j];
                md += keptDistance[j];
            }
            if (n < kMinKeptMatches / 2) return result;
            ml /= n;
            md /= n;
            double sxy = 0, sxx = 0;
            for (int j = 0; j < kept; ++j) {
                if (!use[j]) continue;
                sxy += (keptLine[j] - ml) * (keptDistance[j] - md);
                sxx += (keptLine[j] - ml) * (keptLine[j] - ml);
            }
            if (sxx <= 0) return result;
            slope = sxy / sxx;
            intercept = md - slope * ml;
            for (int j = 0; j < kept; ++j)
                use[j] = std::fabs(keptDistance[j] - (intercept + slope * keptLine[j])) <= kFitResidual;
        }
        if (std::fabs(slope) > 1) return result;
        c = kDirectionScale;
        d = static_cast<long long>(std::llround(slope * kDirectionScale));
    }
    const long long signC = c > 0 ? 1 : -1;
    if (orientation == Orientation::Rows) {
        result.dx = static_cast<int>(std::llabs(c));
        result.dy = static_cast<int>(-d * signC);
    } else {
        result.dx = static_cast<int>(-d * signC);
        result.dy = static_cast<int>(std::llabs(c));
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

}  // namespace pdf417
