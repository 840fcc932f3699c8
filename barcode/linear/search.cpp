#include "barcode/linear/search.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "barcode/linear/bar_profile.h"
#include "barcode/linear/bar_trace.h"
#include "barcode/linear/extent.h"
#include "barcode/linear/line_decode.h"
#include "barcode/linear/line_walk.h"
#include "barcode/linear/locate_bar.h"
#include "barcode/linear/locate_profile.h"
#include "barcode/linear/pixel_grid.h"
#include "barcode/linear/runs.h"
#include "barcode/linear/starved_bars.h"
#include "barcode/linear/symbologies/ean_lines.h"
#include "barcode/linear/symbologies/interleaved_ends.h"
#include "barcode/linear/transpose.h"

namespace stripescan {
namespace {

constexpr int kSearchReach = 10 * kTraceUnit;  // pixels walked back to confirm a quiet zone
constexpr double kQuietTolerance = 0.75;       // share of the nominal quiet zone that must be white
constexpr double kSymbolQuietTolerance = 0.6;  // the same, against the module width of a decoded symbol
constexpr int kFallbackRatio = 10;             // bars this close to upright are read on the scan line too
constexpr int kHorizontalLineMinRuns = 3;
constexpr int kVerticalLineMinRuns = 6;
constexpr int kSpeckWalkPixels = 2;  // a black run this short on a quiet-zone walk may be dirt
constexpr int kSpeckProbeFrom = 2;   // rows along the bar (pixels) where a speck test looks
constexpr int kSpeckProbeTo = 4;
constexpr int kBarRowsOfSix = 4;  // of those six rows, this many black make a bar
constexpr int kBandHalf = 5;      // pixels on each side of a fan line that vote on its colour
// Fan lines across patterns of modules under kContrastModule pixels are read a second time with
// edges by local contrast, within kContrastReachModules modules on either side.
constexpr double kContrastModule = 2.0;
constexpr double kSmallBarReach = 1.0;  // pixels either side of a small last bar's line that show it
constexpr double kContrastReachModules = 1.25;
constexpr int kWideFanUnits = 6;  // size units on each side of the middle that a wider fan spans

// A reading that asks for a `distinct` line (a line by local contrast across a symbol without a
// check character) is vouched for only by a line that starts at least kDistinctLinePixels from
// its own: the same fan line is met again from every scan line that crosses the bar, and lines
// whose bands overlap see the same specks and thinned bars.
constexpr double kDistinctLinePixels = 2 * kBandHalf + 1;  // the width of a fan line's band
struct HeardLine {
    Decoded decoded;
    double x = 0, y = 0;  // where the line starts
    bool distinct = false;

    // Whether this reading vouches for `other` (or the other way round).
    bool vouches_for(const HeardLine& other) const {
        if (decoded.symbology != other.decoded.symbology || decoded.text != other.decoded.text) return false;
        if (!distinct && !other.distinct) return true;
        return std::hypot(x - other.x, y - other.y) >= kDistinctLinePixels;
    }
};

struct Pass {
    Image& image;
    const SearchSettings& settings;
    bool vertical;  // the image is the transposed picture
    std::vector<FoundSymbol>& found;
    BarCache cache;
    double quietWidth = 0.0;
    std::vector<HeardLine> heard;  // readings of one line that wait for a second (SecondLine)
    // Grids of modules found for upright bands, by the lengths of the band's inner runs: the
    // same bars summed again from the next scan line give the same band.
    std::vector<std::pair<std::vector<int>, std::vector<PixelGrid>>> pixelGrids;
    // Starts of fan lines whose parallel lines were read (parallel_line_vouches), with the mode.
    std::vector<std::array<int, 3>> probed;
};

// True when the short black run centred on (x, y) is a speck rather than part of a bar: of the
// rows kSpeckProbeFrom to kSpeckProbeTo pixels away along the bar (both ways, the unit vector
// (bx, by)), fewer than kBarRowsOfSix show a black pixel within a pixel of the run.
bool is_speck(const Image& image, double x, double y, double bx, double by) {
    int rows = 0;
    for (int k = kSpeckProbeFrom; k <= kSpeckProbeTo; ++k) {
        for (int side : {-1, 1}) {
            bool black = false;
            for (int j = -1; j <= 1 && !black; ++j) {
                const int px = static_cast<int>(std::lround(x + side * k * bx + j * by));
                const int py = static_cast<int>(std::lround(y + side * k * by - j * bx));
                black = image.inside(px, py) && image.black(px, py);
            }
            rows += black ? 1 : 0;
        }
    }
    return rows < kBarRowsOfSix;
}

// True when the white run before `at` (walking against d for up to kSearchReach pixels) is long
// enough, or reaches the end of the walk or of the image. A black run of at most
// kSpeckWalkPixels that does not run on along the bars (is_speck), as a local threshold leaves
// on the paper, is dirt and belongs to the white; a bar ends the zone.
bool quiet_zone_ok(const Image& image, Point at, Point d, double module, int factor, int noise) {
    const double n = std::sqrt(double(d.x) * d.x + double(d.y) * d.y);
    const double ux = -d.x / n;
    const double uy = -d.y / n;
    RunList runs;
    for (int t = 0; t <= kSearchReach; ++t) {
        const int x = static_cast<int>(std::lround(at.x + t * ux));
        const int y = static_cast<int>(std::lround(at.y + t * uy));
        if (!image.inside(x, y)) break;
        const std::uint8_t color = image.black(x, y) ? kBlack : kWhite;
        if (!runs.runs.empty() && runs.runs.back().color == color) {
            ++runs.runs.back().length;
            continue;
        }
        // A white pixel after a short black run that follows the white: dirt or a bar?
        const std::size_t n2 = runs.runs.size();
        if (color == kWhite && n2 >= 2 && runs.runs[n2 - 2].color == kWhite &&
            runs.runs[n2 - 1].length <= kSpeckWalkPixels && (n2 >= 3 || runs.runs[0].color == kWhite)) {
            const Run& speck = runs.runs[n2 - 1];
            const double half = (speck.length - 1) / 2.0;
            if (is_speck(image, speck.x + half * ux, speck.y + half * uy, -uy, ux)) {
                runs.runs[n2 - 2].length += speck.length + 1;
                runs.runs.pop_back();
                continue;
            }
        }
        runs.runs.push_back(Run{x, y, 1, color});
        // Enough to judge: the white run and the black run after it are complete.
        const std::size_t firstWhite = runs.runs[0].color == kBlack ? 1 : 0;
        if (noise == 0 && runs.runs.size() > firstWhite + 2) break;
    }
    if (runs.runs.empty()) return false;
    if (noise > 0) merge_noise(runs, noise);
    std::size_t w = 0;
    if (runs.runs[0].color == kBlack) w = 1;
    if (w + 1 >= runs.runs.size()) return true;  // white up to the end of the walk or the image
    return runs.runs[w].length >= kQuietTolerance * module * factor;
}

// An Interleaved 2 of 5 reading of fewer than kShortInterleavedDigits digits. Such a symbol has
// no check character and no fixed length, and its start (four narrow elements) and stop are
// found inside many other symbols: a damaged UPC-E read "94" that way. It is taken only with
// both quiet zones in full on the page, on its line and a few rows along the bars
// (quiet_zones_hold), and never inside another symbol (decode_bitmap).
constexpr std::size_t kShortInterleavedDigits = 4;
bool short_interleaved(const Decoded& decoded) {
    return decoded.symbology == kInterleaved2of5 && decoded.text.size() < kShortInterleavedDigits;
}

// EAN and UPC readings (an EAN-13 reported as UPC-A too) wait for a second line across the symbol
// that reads the same text. Their digits are read by the nearest pattern; on photos with a local
// threshold a single line read two digits wrong whose errors cancelled in the check digit, while
// no other line read the symbol at all. Two lines of one bar's fan that read different texts
// vouch for neither. The second line may also come from a later scan line of the pass (`heard`:
// the readings that waited), as where only the scan lines read a symbol whose quiet zone the page
// edge cuts. Readings of other symbologies that a reader marks needsSecondLine (Codabar read with
// each colour judged apart) wait in the same way.
struct SecondLine {
    explicit SecondLine(std::vector<HeardLine>& pastReadings) : heard(pastReadings) {}

    std::vector<HeardLine>& heard;
    // The EAN/UPC digits of the fan's lines so far, where a line settles its erasures.
    EanFanLines lines;
    bool waiting = false;
    bool conflict = false;
    HeardLine first;

    // True when `decoded`, read on the line that starts at (x, y), may be taken now.
    bool vouch(const Decoded& decoded, double x = 0, double y = 0, bool distinct = false) {
        const int n = decoded.symbology;
        if (n != kEan13 && n != kUpcA && n != kEan8 && n != kUpcE && !decoded.needsSecondLine) return true;
        if (conflict) return false;
        const HeardLine line{decoded, x, y, distinct};
        if (!waiting) {
            waiting = true;
            first = line;
            for (const HeardLine& h : heard)
                if (h.vouches_for(line)) return true;
            heard.push_back(line);
            return false;
        }
        if (first.vouches_for(line)) return true;
        if (first.decoded.symbology == n && first.decoded.text == decoded.text) {
            // The same text on a line too close to the first: no evidence either way.
            heard.push_back(line);
            return false;
        }
        conflict = true;
        return false;
    }
};

// True when the `length` pixels from (x, y) on, stepping by the unit vector (ux, uy) (the point
// itself first), all lie on the page and are white.
bool white_stretch(const Image& image, int x, int y, double ux, double uy, double length) {
    for (int t = 0; t < length; ++t) {
        const int px = static_cast<int>(std::lround(x + t * ux));
        const int py = static_cast<int>(std::lround(y + t * uy));
        if (!image.inside(px, py) || image.black(px, py)) return false;
    }
    return true;
}

// Pixels along the bars at which the quiet zones of a short 2 of 5 are walked once more.
constexpr int kShortQuietShifts[] = {-6, -3, 3, 6};

// True when, from (x, y) on and stepping by the unit vector (ux, uy), the `length` pixels after
// the black at the start (at most `lead` pixels of it: where slanted bars reach in from the
// symbol's side) are white; pixels off the page count as white.
bool clean_beside(const Image& image, double x, double y, double ux, double uy, double length, double lead) {
    int t = 0;
    for (; t < lead; ++t) {
        const int px = static_cast<int>(std::lround(x + t * ux));
        const int py = static_cast<int>(std::lround(y + t * uy));
        if (!image.inside(px, py) || !image.black(px, py)) break;
    }
    for (const int end = t + static_cast<int>(std::ceil(length)); t < end; ++t) {
        const int px = static_cast<int>(std::lround(x + t * ux));
        const int py = static_cast<int>(std::lround(y + t * uy));
        if (image.inside(px, py) && image.black(px, py)) return false;
    }
    return true;
}

// Both quiet zones of a symbol decoded on a line, measured against the symbol's own module
// width (the narrowest quarter of its runs), which a single pattern cannot give reliably. The
// run before the symbol may be cut by the image edge (`open_start`); the run after it may end
// the line (a long white run or the image edge).
bool quiet_zones_hold(const Image& image, const RunList& runs, const LineSymbol& where,
                      const Symbology& symbology, bool openStart, const Decoded& decoded, double ux,
                      double uy) {
    std::vector<int> widths;
    for (int k = where.first; k <= where.last; ++k) widths.push_back(runs.length(k));
    if (widths.empty() || where.first < 1) return false;
    auto quarter = widths.begin() + static_cast<std::ptrdiff_t>(widths.size() / 4);
    std::nth_element(widths.begin(), quarter, widths.end());
    const double module = *quarter;
    const int beforeFactor = where.backwards ? symbology.trailQuiet : symbology.leadQuiet;
    const int afterFactor = where.backwards ? symbology.leadQuiet : symbology.trailQuiet;
    if (short_interleaved(decoded)) {
        // Nothing but the quiet zones vouches for a single digit pair: both in full and on the
        // page, walked on the picture from the symbol's first bar back and from its last bar
        // on (a fan line starts inside the zone before the symbol and cannot show it whole).
        if (where.last + 1 >= runs.size()) return false;
        const double pixels = module / runs.unit;
        const Run& a = runs.runs[static_cast<std::size_t>(where.first)];
        const Run& b = runs.runs[static_cast<std::size_t>(where.last + 1)];
        if (!white_stretch(image, a.x - static_cast<int>(std::lround(ux)),
                           a.y - static_cast<int>(std::lround(uy)), -ux, -uy, beforeFactor * pixels) ||
            !white_stretch(image, b.x, b.y, ux, uy, afterFactor * pixels))
            return false;
        // The zones must also be clean a few rows along the bars: a line through a gap between
        // the dashes of starved bars sees white where the page holds bars.
        for (const int shift : kShortQuietShifts) {
            const double sx = -uy * shift, sy = ux * shift;
            const double lead = std::abs(shift) + pixels;  // bars slanted up to 45 degrees
            if (!clean_beside(image, a.x - ux + sx, a.y - uy + sy, -ux, -uy, beforeFactor * pixels, lead) ||
                !clean_beside(image, b.x + sx, b.y + sy, ux, uy, afterFactor * pixels, lead))
                return false;
        }
        return true;
    }
    const bool beforeOpen = openStart && where.first - 1 == 0;
    if (!beforeOpen && runs.length(where.first - 1) < kSymbolQuietTolerance * beforeFactor * module)
        return false;
    if (where.last + 1 < runs.size() - 1 &&
        runs.length(where.last + 1) < kSymbolQuietTolerance * afterFactor * module) {
        return false;
    }
    return true;
}

// The result `candidate` repeats, if any: a symbol already reported, met again where the fill of its first
// reading left part of it (its extent came out short, as when ink closes narrow spaces on
// some rows, or a noisy first reading slid along only part of its bars): the same symbology
// and text, and bounding boxes that overlap within a trace unit or an eighth of the longer
// side of the boxes (kSameSymbolReach), whichever is more. Two copies of a label stand further
// apart than that: each has its own quiet zones and usually its printed text.
constexpr int kSameSymbolReach = 8;
const FoundSymbol* reported_before(const std::vector<FoundSymbol>& found, const FoundSymbol& candidate) {
    auto box = [](const Point* c, int& x0, int& y0, int& x1, int& y1) {
        x0 = x1 = c[0].x;
        y0 = y1 = c[0].y;
        for (int k = 1; k < 4; ++k) {
            x0 = std::min(x0, c[k].x);
            x1 = std::max(x1, c[k].x);
            y0 = std::min(y0, c[k].y);
            y1 = std::max(y1, c[k].y);
        }
    };
    int cx0, cy0, cx1, cy1;
    box(candidate.corners, cx0, cy0, cx1, cy1);
    for (const FoundSymbol& f : found) {
        if (f.decoded.symbology != candidate.decoded.symbology || f.decoded.text != candidate.decoded.text)
            continue;
        int x0, y0, x1, y1;
        box(f.corners, x0, y0, x1, y1);
        const int longest = std::max({cx1 - cx0, cy1 - cy0, x1 - x0, y1 - y0});
        const int reach = std::max(kTraceUnit, longest / kSameSymbolReach);
        if (cx0 <= x1 + reach && x0 <= cx1 + reach && cy0 <= y1 + reach && y0 <= cy1 + reach) return &f;
    }
    return nullptr;
}

// 2 of 5 has no check: a line that leaves the symbol across the ends of its bars, where the bars
// left behind happen to end like a stop pattern, reads a shorter, valid symbol. The white after
// each end must therefore hold all along the symbol's bars, not only on the line that read it:
// at four places between the corners of each end, the kEndZoneRuns mean run widths beyond the
// end may be at most kEndZoneDirt black (dirt). Pixels off the page count as white, as a quiet
// zone the page edge cuts may be.
constexpr double kEndZoneRuns = 4.0;
constexpr double kEndZoneDirt = 0.25;
bool ends_clear_along_bars(const Image& image, const Point corners[4], Point direction, int runs, Point a,
                           Point b) {
    const double n = std::sqrt(double(direction.x) * direction.x + double(direction.y) * direction.y);
    const double ux = direction.x / n, uy = direction.y / n;
    const double span = std::fabs((b.x - a.x) * ux + (b.y - a.y) * uy);
    const double length = kEndZoneRuns * span / std::max(1, runs);
    Point byAlong[4] = {corners[0], corners[1], corners[2], corners[3]};
    std::sort(byAlong, byAlong + 4,
              [&](Point p, Point q) { return p.x * ux + p.y * uy < q.x * ux + q.y * uy; });
    for (int end = 0; end < 2; ++end) {
        const Point p = byAlong[2 * end], q = byAlong[2 * end + 1];
        const double out = end == 0 ? -1.0 : 1.0;  // away from the symbol
        for (double t : {0.2, 0.4, 0.6, 0.8}) {
            const double x0 = p.x + t * (q.x - p.x) + out * ux, y0 = p.y + t * (q.y - p.y) + out * uy;
            int black = 0, steps = 0;
            for (double d = 0; d < length; d += 1.0, ++steps) {
                const int x = static_cast<int>(std::lround(x0 + out * d * ux));
                const int y = static_cast<int>(std::lround(y0 + out * d * uy));
                if (image.inside(x, y) && image.black(x, y)) ++black;
            }
            if (black > kEndZoneDirt * steps) return false;
        }
    }
    return true;
}

// The symbol found on `line` (runs in line order) becomes a result: corners, fill, record.
// `lastBarSeen`: the last bar already stood out on two profiles summed along the bars, so it
// need not be traced. `barCorners`: the four corners of the bars such profiles summed (any
// order), taken where sliding the line along the bars finds too few of the blurred runs.
bool accept(Pass& pass, const RunList& line, const LineSymbol& where, const Decoded& decoded, Point fan,
            Point reportedDirection, int& fillRight, int scanY, bool lastBarSeen = false,
            const Point* barCorners = nullptr) {
    Image& image = pass.image;
    if (where.last + 1 >= line.size()) return false;
    // The last bar of the symbol must be a bar that can be traced. Its first sample on a fan line
    // may stand on a white stair step: look a little further along the line for its black pixel.
    const Run& lastBar = line.runs[static_cast<std::size_t>(where.last)];
    const double flen = std::sqrt(double(fan.x) * fan.x + double(fan.y) * fan.y);
    bool traced = lastBarSeen;
    for (int k = 0; k <= 3 && !traced; ++k) {
        const int x = static_cast<int>(std::lround(lastBar.x + k * fan.x / flen));
        const int y = static_cast<int>(std::lround(lastBar.y + k * fan.y / flen));
        if (!image.inside(x, y) || !image.black(x, y)) continue;
        if (pass.cache.find(x, y)) {
            traced = true;
            break;
        }
        TracedBar bar;
        if (trace_bar(image, x, y, bar)) {
            pass.cache.add(std::move(bar));
            traced = true;
        }
    }
    // Code 128 and Code 93, whose check characters vouch for the symbol, also at wider modules:
    // specks inside and beside a bar of a scan break its trace on most rows.
    const bool checked =
        decoded.symbology == kCode128 || decoded.symbology == kGs1128 || decoded.symbology == kCode93;
    if (!traced && where.module > 0 && (checked || where.module / line.unit < kContrastModule)) {
        // Modules under kContrastModule blur the last bar into its neighbours on many rows, and tracing
        // it fails: it is taken as a bar when it runs on along the bars like one.
        const double centre = lastBar.length / (2.0 * line.unit);
        traced = bar_stands(image, lastBar.x + centre * fan.x / flen, lastBar.y + centre * fan.y / flen,
                            fan.x / flen, fan.y / flen, std::max(centre, kSmallBarReach));
    }
    if (!traced) return false;
    const Run& a = line.runs[static_cast<std::size_t>(where.first)];
    const Run& b = line.runs[static_cast<std::size_t>(where.last + 1)];
    Point corners[4];
    if (!symbol_extent(image, Point{a.x, a.y}, Point{b.x, b.y}, fan, where.last - where.first + 1, corners) &&
        (barCorners == nullptr || !order_corners(barCorners, fan.x == 0 || fan.y == 0, corners)))
        return false;
    if (decoded.symbology == kInterleaved2of5 &&
        !ends_clear_along_bars(image, corners, fan, where.last - where.first + 1, Point{a.x, a.y},
                               Point{b.x, b.y}))
        return false;
    if (decoded.symbology == kInterleaved2of5 &&
        !interleaved_ends_stand_apart(image, corners, fan, interleaved_widths(line, where.first, where.last)))
        return false;
    fill_quadrilateral(image, corners);
    fillRight = fill_right_column(corners, scanY);

    FoundSymbol result;
    result.decoded = decoded;
    if (pass.vertical) {
        const Point swapped[4] = {{corners[0].y, corners[0].x},
                                  {corners[1].y, corners[1].x},
                                  {corners[2].y, corners[2].x},
                                  {corners[3].y, corners[3].x}};
        if (!order_corners(swapped, fan.x == 0 || fan.y == 0, result.corners)) return false;
        Point d{reportedDirection.y, reportedDirection.x};
        if (d.y < 0 || (d.y == 0 && d.x < 0)) d = Point{-d.x, -d.y};
        result.direction = d;
    } else {
        std::copy(corners, corners + 4, result.corners);
        result.direction = reportedDirection;
    }
    if (reported_before(pass.found, result) == nullptr) pass.found.push_back(std::move(result));
    return true;
}

// The first bar of the pattern at run p (of `elements` runs) that lies on a cached bar or can be
// traced now; runs that could not be traced are remembered in `untraceable`. Null when none.
SharedBar first_traced_bar(Pass& pass, const RunList& line, int p, int elements,
                           std::vector<signed char>& untraceable, int& barRun) {
    for (int r = p; r < p + elements && r < line.size(); ++r) {
        const Run& run = line.runs[static_cast<std::size_t>(r)];
        if (run.color != kBlack || untraceable[static_cast<std::size_t>(r)]) continue;
        SharedBar found = pass.cache.find(run.x, run.y);
        if (!found) {
            TracedBar traced;
            if (trace_bar(pass.image, run.x, run.y, traced)) found = pass.cache.add(std::move(traced));
        }
        if (found) {
            barRun = r;
            return found;
        }
        untraceable[static_cast<std::size_t>(r)] = 1;
    }
    return nullptr;
}

// Indexes of the bar's edge points that start fan lines: every S / 4 + 1 points within 2S of
// the middle one, nearest to the middle first.
std::vector<int> fan_order(int edgeCount, int s) {
    const int mid = edgeCount / 2;
    const int from = std::max(0, mid - 2 * s);
    const int to = std::min(edgeCount, mid + 2 * s);
    const int step = s / 4 + 1;
    std::vector<int> order;
    for (int k = mid; k < to; k += step) order.push_back(k);
    for (int k = mid - step; k >= from; k -= step) order.push_back(k);
    std::sort(order.begin(), order.end(),
              [mid](int a, int b) { return std::abs(a - mid) < std::abs(b - mid); });
    return order;
}

// One fan line across the symbol, at right angles to its bars.
struct FanGeometry {
    Point direction;        // integer reading direction, forwards along the scan line
    double ux = 0, uy = 0;  // the same as a unit vector
    double gx = 0, gy = 0;  // shift from the traced bar's edge onto the pattern's first run
    double module = 0;      // the pattern's module width along the fan, in pixels
    int quietFactor = 0;    // the shorter of the symbology's two quiet zones, in modules
    double back = 0;        // pixels each fan line starts before the pattern
    int probe = 0;          // samples of the short probe that checks quiet zone and pattern
};

// Pixels each fan line starts before the pattern: the widest quiet zone at the tolerated share
// plus a margin, at least kBackoffMinPixels plus one module.
constexpr double kBackoffMinPixels = 3.0;
constexpr double kBackoffMargin = 2.0;
// The probe covers the back-off and the pattern (elements of up to kProbeModulesPerElement
// modules) plus kProbeExtraModules, at kSamplesPerPixel samples per pixel; at least
// kProbeMinSamples.
constexpr int kSamplesPerPixel = 2;
constexpr int kProbeModulesPerElement = 3;
constexpr int kProbeExtraModules = 4;
constexpr int kProbeMinSamples = 40;
// A fan line ends at a run longer than this many size units (a symbol's quiet zone at most).
constexpr int kLongestRunUnits = 16;

// The runs of the line from (sx, sy) along the fan: `samples` samples, the first run white for
// at least `firstWhite` samples (0: any). With `contrast`, the line's edges follow its local
// contrast (contrast_band_runs).
bool read_fan_runs(const Pass& pass, const FanGeometry& fan, double sx, double sy, int samples,
                   int firstWhite, bool contrast, RunList& runs) {
    const int maxRun = kSamplesPerPixel * kLongestRunUnits * pass.settings.sizeUnit;
    return contrast
               ? contrast_band_runs(pass.image, sx, sy, fan.ux, fan.uy, kBandHalf, samples, maxRun,
                                    kContrastReachModules * fan.module, runs,
                                    pass.settings.saltedPaper ? kSaltedMinSwing : kMinSwing)
               : band_runs(pass.image, sx, sy, fan.ux, fan.uy, kBandHalf, samples, maxRun, runs, firstWhite);
}

bool ean_upc_symbology(int number) {
    return number == kEan13 || number == kEan8 || number == kUpcE;
}

// Reads the whole line from (sx, sy) along the fan and decodes it (`lines`: the EAN/UPC digits
// of the fan's earlier lines, or null).
bool decode_whole_line(Pass& pass, const ActiveDecoder& decoder, const FanGeometry& fan, double sx, double sy,
                       bool contrast, EanFanLines* lines, RunList& runs, Decoded& decoded,
                       LineSymbol& where) {
    // Twice the longest path through the image, at two samples per pixel.
    const int wholeLine = kSamplesPerPixel * 2 * (pass.image.width + pass.image.height);
    if (!read_fan_runs(pass, fan, sx, sy, wholeLine, 0, contrast, runs)) return false;
    const int noise = decoder.options.setting.minElementWidth;
    if (noise > 0) merge_noise(runs, noise);
    const Symbology& symbology = *decoder.symbology;
    if (contrast && ean_upc_symbology(symbology.number) && pass.settings.saltedPaper)
        restore_starved_bars(runs, fan.module);
    ReadOptions options = decoder.options;
    options.contrastLine = contrast;
    options.widthClasses = contrast;
    options.eanLines = lines;
    return decode_line(symbology, options, runs, pass.quietWidth, decoded, where);
}

// A reading that waits for its second line (SecondLine) may find it on a line parallel to its
// own, kParallelBands bands (kDistinctLinePixels) along the bars on either side, nearest first.
// The fan's lines all start at the edge points of one traced bar and need the probe's quiet zone
// and pattern at their very start; on photos with a local threshold, a dotted first bar or a
// speck in the quiet zone stops most of them, while a whole line a little further along the bars
// reads the symbol. Such a line is read on its own (no digits settled from the fan's lines),
// with the same edges and checks, and must find the symbol's quiet zones; one that reads the
// same symbology with another text stands against the reading as a second fan line would
// (SecondLine::conflict). Each start is probed once per pass (Pass::probed).
constexpr double kParallelBands[] = {1.0, 1.4, 2.0, 3.0};
bool parallel_line_vouches(Pass& pass, const ActiveDecoder& decoder, const FanGeometry& fan, double sx,
                           double sy, bool contrast, const Decoded& decoded, SecondLine& second) {
    const std::array<int, 3> start{static_cast<int>(std::lround(sx)), static_cast<int>(std::lround(sy)),
                                   contrast ? 1 : 0};
    if (std::find(pass.probed.begin(), pass.probed.end(), start) != pass.probed.end()) return false;
    pass.probed.push_back(start);
    RunList runs;
    for (const double bands : kParallelBands) {
        for (const int side : {-1, 1}) {
            const double shift = side * bands * kDistinctLinePixels;
            Decoded other;
            LineSymbol where;
            if (!decode_whole_line(pass, decoder, fan, sx - fan.uy * shift, sy + fan.ux * shift, contrast,
                                   nullptr, runs, other, where) ||
                other.symbology != decoded.symbology ||
                !quiet_zones_hold(pass.image, runs, where, *decoder.symbology, where.first == 1, other,
                                  fan.ux, fan.uy))
                continue;
            if (other.text == decoded.text) return true;
            second.conflict = true;
            return false;
        }
    }
    return false;
}

// Decodes on one fan line from edge point e; true when a symbol was read and accepted.
// With `contrast`, the line's edges follow its local contrast (contrast_band_runs).
bool decode_fan_line(Pass& pass, const ActiveDecoder& decoder, const FanGeometry& fan, Point e,
                     Point barDirection, int& fillRight, int scanY, RunList& runs, bool contrast,
                     SecondLine& second) {
    const Image& image = pass.image;
    const Symbology& symbology = *decoder.symbology;
    const int noise = decoder.options.setting.minElementWidth;
    double skipped = 0.0;  // the part of the back-off outside the image
    auto inside = [&](double t) {
        return image.inside(static_cast<int>(std::floor(e.x + fan.gx - t * fan.ux + 0.5)),
                            static_cast<int>(std::floor(e.y + fan.gy - t * fan.uy + 0.5)));
    };
    while (skipped < fan.back && !inside(fan.back - skipped)) skipped += 0.5;
    const double from = fan.back - skipped;
    const double sx = e.x + fan.gx - from * fan.ux;
    const double sy = e.y + fan.gy - from * fan.uy;
    const double quietLength = kQuietTolerance * fan.module * fan.quietFactor;
    // A short probe first: white for the quiet zone, then the pattern the scan line showed. Without
    // a noise merge, which may still change the first run, the probe stops as soon as its first
    // run fails the quiet zone (on grainy pages most probes do, at their first speck).
    const int probeQuiet =
        noise > 0 ? 0 : std::max(1, static_cast<int>(std::ceil((quietLength - skipped) * kBandUnit)));
    if (!read_fan_runs(pass, fan, sx, sy, fan.probe, probeQuiet, contrast, runs)) return false;
    if (noise > 0) merge_noise(runs, noise);
    if (runs.size() < 2 || runs.runs[0].color != kWhite) return false;
    if (runs.runs[0].length < (quietLength - skipped) * runs.unit) return false;
    if (!find_pattern(symbology, runs, 1, PatternFit::Always)) return false;
    Decoded decoded;
    LineSymbol where;
    if (!decode_whole_line(pass, decoder, fan, sx, sy, contrast, &second.lines, runs, decoded, where))
        return false;
    if (where.first != 1) return false;  // the symbol that begins after the checked quiet zone
    // A symbol without a check character read on a line by local contrast waits for a second,
    // distinct line (SecondLine).
    const bool unchecked =
        symbology.number == kCode39 || symbology.number == kCodabar || symbology.number == kInterleaved2of5;
    if (contrast && unchecked) decoded.needsSecondLine = true;
    // The line's first run is the white the probe has already measured against the pattern's
    // own module; it starts only a back-off before the pattern, so it is no longer than that
    // and must not be judged again against the symbol's narrowest runs, which ink spread
    // widens (bars spread by 2 px at 5 px modules failed here on every line).
    if (!quiet_zones_hold(image, runs, where, symbology, true, decoded, fan.ux, fan.uy)) return false;
    // Every such reading of a symbology without a check (by contrast, or by colour) needs its
    // second line a band away: the same fan line met again from another scan line sees the same
    // runs (a Codabar with a bar knocked out read "B/6:748A" for "B/6:348A" by colour that way).
    const bool eanUpc = ean_upc_symbology(symbology.number);
    if (!second.vouch(decoded, sx, sy, (unchecked && decoded.needsSecondLine) || (contrast && eanUpc)) &&
        (second.conflict || !parallel_line_vouches(pass, decoder, fan, sx, sy, contrast, decoded, second)))
        return false;
    return accept(pass, runs, where, decoded, fan.direction, barDirection, fillRight, scanY);
}

// Whether `decoded` is of a symbology without a check character of its own.
bool unchecked_symbology(const Decoded& decoded) {
    return decoded.symbology == kCode39 || decoded.symbology == kCodabar ||
           decoded.symbology == kInterleaved2of5;
}

// Bars close to upright: the scan line itself may read the symbol, from the run before p on.
bool decode_on_scan_line(Pass& pass, const RunList& line, int p, const ActiveDecoder& decoder,
                         const TracedBar& bar, double patternModule, int quietFactor, int& fillRight,
                         int scanY, SecondLine& second) {
    const int s = pass.settings.sizeUnit;
    const Point d = bar.direction;
    if (!(d.x != 0 && (d.y == 0 || std::abs(d.x / d.y) >= kFallbackRatio) && scanY >= bar.top + s &&
          scanY <= bar.bottom - s)) {
        return false;
    }
    RunList tail;
    tail.runs.assign(line.runs.begin() + (p - 1), line.runs.end());
    const bool atEdge = p - 1 == 0;
    if (!atEdge && tail.runs[0].length < kQuietTolerance * patternModule * quietFactor) return false;
    Decoded decoded;
    LineSymbol where;
    return decode_line(*decoder.symbology, decoder.options, tail, pass.quietWidth, decoded, where) &&
           quiet_zones_hold(pass.image, tail, where, *decoder.symbology, atEdge, decoded, 1.0, 0.0) &&
           second.vouch(decoded, tail.runs[0].x, scanY,
                        decoded.needsSecondLine && unchecked_symbology(decoded)) &&
           accept(pass, tail, where, decoded, Point{1, 0}, Point{1, 0}, fillRight, scanY);
}

// Tries the decoders at run p of the scan line. On success answers the right-most column the
// symbol's fill reaches on this line.
bool try_at(Pass& pass, const RunList& line, int p, int scanY, std::vector<signed char>& untraceable,
            int& fillRight) {
    const Image& image = pass.image;
    const int s = pass.settings.sizeUnit;
    RunList runs;
    for (const ActiveDecoder& decoder : pass.settings.decoders) {
        const Symbology& symbology = *decoder.symbology;
        const auto hit = find_pattern(symbology, line, p, PatternFit::AfterQuietZone);
        if (!hit) continue;
        if (p == 0 || p + hit->elements >= line.size()) continue;

        int barRun = -1;
        const SharedBar foundBar = first_traced_bar(pass, line, p, hit->elements, untraceable, barRun);
        if (!foundBar || foundBar->edges.empty()) continue;
        const TracedBar& bar = *foundBar;

        // Fan lines run forwards along the scan line, at right angles to the bar.
        FanGeometry fan;
        fan.direction = bar.direction;
        if (fan.direction.x < 0) fan.direction = Point{-fan.direction.x, -fan.direction.y};
        // Bars closer to the scan line than to its normal belong to the other pass, which meets
        // them at a steep angle; read here, their widths would be stretched many times over.
        if (std::abs(fan.direction.y) > std::abs(fan.direction.x)) continue;
        const double len2 =
            double(fan.direction.x) * fan.direction.x + double(fan.direction.y) * fan.direction.y;
        const double flen = std::sqrt(len2);
        fan.ux = fan.direction.x / flen;
        fan.uy = fan.direction.y / flen;
        fan.module = hit->module * (fan.direction.x / flen);  // along the fan
        // Shift the bar's edge points onto the pattern's first run.
        const double along =
            double(line.runs[static_cast<std::size_t>(p)].x - line.runs[static_cast<std::size_t>(barRun)].x) *
            fan.direction.x / len2;
        fan.gx = along * fan.direction.x;
        fan.gy = along * fan.direction.y;
        const Point eMid = bar.edges[bar.edges.size() / 2];
        const Point middle{static_cast<int>(std::lround(eMid.x + fan.gx)),
                           static_cast<int>(std::lround(eMid.y + fan.gy))};
        if (!image.inside(middle.x, middle.y)) continue;
        fan.quietFactor = std::min(symbology.leadQuiet, symbology.trailQuiet);
        if (!quiet_zone_ok(image, middle, fan.direction, fan.module, fan.quietFactor,
                           decoder.options.setting.minElementWidth)) {
            continue;
        }
        // Each fan line starts a quiet zone before the pattern (or at the image edge), so that the
        // white before the pattern is checked on every line, not only at the middle.
        const int widestQuiet = std::max(symbology.leadQuiet, symbology.trailQuiet);
        fan.back = std::max(kBackoffMinPixels + fan.module,
                            kQuietTolerance * fan.module * widestQuiet + kBackoffMargin);
        fan.probe = std::max(
            kProbeMinSamples,
            static_cast<int>(
                kSamplesPerPixel *
                (fan.back + fan.module * (kProbeModulesPerElement * hit->elements + kProbeExtraModules))));
        const std::vector<int> order = fan_order(static_cast<int>(bar.edges.size()), s);
        SecondLine second(pass.heard);
        for (int k : order) {
            if (decode_fan_line(pass, decoder, fan, bar.edges[static_cast<std::size_t>(k)], bar.direction,
                                fillRight, scanY, runs, false, second)) {
                return true;
            }
        }
        // EAN/UPC lines further along the bars, where a local threshold dots and starves other
        // bars: their digits settle the erasures of the lines before them (EanFanLines).
        const bool eanUpc =
            symbology.number == kEan13 || symbology.number == kEan8 || symbology.number == kUpcE;
        if (eanUpc && second.lines.size() > 0) {
            for (int k : fan_order(static_cast<int>(bar.edges.size()), kWideFanUnits * s / 2)) {
                if (std::find(order.begin(), order.end(), k) != order.end()) continue;
                if (decode_fan_line(pass, decoder, fan, bar.edges[static_cast<std::size_t>(k)], bar.direction,
                                    fillRight, scanY, runs, false, second)) {
                    return true;
                }
            }
        }
        // Modules this small may blur together: the same lines once more, edges by local contrast.
        // Only for symbologies whose check characters vouch for such a line: EAN and UPC digits
        // read by the nearest pattern misread them, and so did a Codabar symbol. Code 128 and
        // Code 93 at any module on salted paper: a local threshold leaves their narrow bars
        // dotted there (only there, so clean pages pay nothing for it). Code 39, Codabar
        // and 2 of 5 at any module: a local threshold leaves their thin bars dotted, so that a
        // band thresholded at one half loses them; such a reading waits for a second, distinct
        // line, and the keys' reading must stand clear of the middle of each colour. Their lines
        // spread over kWideFanUnits size units on each side of the bar's middle, so that lines
        // a band apart can vouch for each other.
        const bool checked = symbology.number == kCode128 || symbology.number == kCode93;
        const bool unchecked = symbology.number == kCode39 || symbology.number == kCodabar ||
                               symbology.number == kInterleaved2of5;
        const bool saltedEan = eanUpc && pass.settings.saltedPaper;
        if ((checked && (fan.module < kContrastModule || pass.settings.saltedPaper)) || unchecked ||
            saltedEan) {
            const std::vector<int> contrastOrder =
                unchecked || saltedEan ? fan_order(static_cast<int>(bar.edges.size()), kWideFanUnits * s / 2)
                                       : order;
            for (int k : contrastOrder) {
                if (decode_fan_line(pass, decoder, fan, bar.edges[static_cast<std::size_t>(k)], bar.direction,
                                    fillRight, scanY, runs, true, second)) {
                    return true;
                }
            }
        }
        if (decode_on_scan_line(pass, line, p, decoder, bar, hit->module, fan.quietFactor, fillRight, scanY,
                                second))
            return true;
    }
    return false;
}

// Symbols with modules under kContrastModule pixels whose bars blur together on single rows are
// read a last time on the darkness summed along the bars: of each stretch of the scan line that
// looks like a fine barcode (its pixels repeat along the bars) and that the usual lines left
// unread, the rows the bars cover are split into bands of disjoint rows: the even and the odd
// rows (each then sees the whole sweep of slanted edges across the pixels, and no pixel of the
// other), then the rows by their remainder modulo 3, then the upper and lower halves of the bars.
// Each band is read with the slope of bars that makes it sharpest, as it is and snapped onto the
// grids of modules that fit its edges. Two bands of one family (no shared pixel) must read the
// same symbology and text with every check and quiet zone (as contrast lines: no erasures), at
// such modules; the second band's runs, placed on the middle row of the bars, then give the
// corners.
//
// Then, where that read nothing, the same on stretches of any module (coarse): a local
// threshold breaks one-module bars into dashes on every row, ink spread closes one-module spaces
// on many rows, and no single row keeps every element, while the sum along the bars does; the
// slopes tried reach kCoarseMaxSlope, the rows the bars cover are found at a share of the scan
// row's own black, and the bands of slanted bars are read as they are (no grids) at modules of
// kContrastModule or more, with the same two-band agreement, checks and quiet zones.
//
// Each kind also reads modules up to kProfileModuleOverlap pixels past its side of
// kContrastModule: the module a band measures moves by a quarter pixel or so with its rows and
// the grid it is snapped to, and a symbol near that line may read on one kind of band only (an
// EAN-8 whose fine bands all measured 2.00 px, another whose coarse bands measured 1.75 px).
constexpr double kProfileModuleOverlap = 0.3;
constexpr int kProfileMargin = 24;        // pixels read on either side of the stretch (quiet zones)
constexpr int kCoarseProfileMargin = 48;  // the same for coarse stretches (10 modules of 4.8 px)
constexpr int kDirectionScale = 64;       // integer reading direction of a slope: (scale, -slope * scale)
// A band's runs as they are, then snapped onto each grid of modules that fits them.
std::vector<RunList> band_readings(const RunList& band) {
    std::vector<RunList> out{band};
    for (double module : grid_modules(band)) {
        RunList snapped = band;
        if (snap_to_modules(snapped, module)) out.push_back(std::move(snapped));
    }
    return out;
}

// A band of upright bars, whose edges all fall on whole pixels, snapped onto each grid of
// modules that holds every edge within half a pixel about as well as the best.
constexpr std::size_t kPixelGridMemory = 32;  // bands whose grids a pass keeps
std::vector<RunList> pixel_grid_readings(Pass& pass, const RunList& band) {
    std::vector<RunList> out;
    std::vector<int> inner;
    for (int k = 1; k + 1 < band.size(); ++k) inner.push_back(band.length(k));
    const std::vector<PixelGrid>* grids = nullptr;
    for (const auto& [lengths, found] : pass.pixelGrids)
        if (lengths == inner) grids = &found;
    if (grids == nullptr) {
        if (pass.pixelGrids.size() >= kPixelGridMemory) pass.pixelGrids.clear();
        pass.pixelGrids.emplace_back(inner, pixel_grids(band));
        grids = &pass.pixelGrids.back().second;
    }
    for (const PixelGrid& grid : *grids) {
        RunList snapped = band;
        if (snap_to_pixel_grid(snapped, grid)) out.push_back(std::move(snapped));
    }
    return out;
}

// Narrow/wide symbologies carry no check of their own (2 of 5, Codabar, Code 39 as a rule): on
// a profile their quiet zones must be whole, at least the nominal number of narrow modules on
// each side, where a bar knocked out of a symbol leaves a gap of nine at most (a 2 of 5 with a
// wide bar gone read "0942" for "09428611" on the 0.6 share that other lines accept).
bool full_quiet_zones(const RunList& runs, const LineSymbol& where, const Symbology& symbology) {
    if (where.first < 1 || where.last + 1 >= runs.size()) return false;
    const double lead = where.backwards ? symbology.trailQuiet : symbology.leadQuiet;
    const double trail = where.backwards ? symbology.leadQuiet : symbology.trailQuiet;
    return runs.length(where.first - 1) >= lead * where.module &&
           runs.length(where.last + 1) >= trail * where.module;
}

// The first of a band's readings that decodes as `decoder`'s symbology at modules under
// kContrastModule pixels (or past it by kProfileModuleOverlap at most), with both quiet zones,
// as a contrast line (no erasures), and not by the colours judged apart, which wait for a second
// line: on an upright symbol the two bands of disjoint rows may be the same picture, and a
// Codabar with a bar knocked out read "B/6:748A" for "B/6:348A" that way. Coarse bands, never
// upright, take Code 39 and Codabar read by colour (a starved band leaves narrow bars a third as
// wide as narrow spaces): the even and odd rows must agree, and those readers then ask every
// element to stand clear and every gap to stay narrow. Null if none. `unanimous`: every reading
// is decoded, and two that read different texts give none.
const RunList* read_band(Pass& pass, const ActiveDecoder& decoder, const std::vector<RunList>& readings,
                         bool openStart, Decoded& decoded, LineSymbol& where, bool unanimous = false,
                         bool coarse = false) {
    ReadOptions options = decoder.options;
    options.contrastLine = true;
    options.inkNeutralEnds = coarse;
    const Symbology& symbology = *decoder.symbology;
    const RunList* first = nullptr;
    Decoded other;
    LineSymbol otherWhere;
    for (const RunList& runs : readings) {
        Decoded& into = first == nullptr ? decoded : other;
        LineSymbol& at = first == nullptr ? where : otherWhere;
        if (decode_line(symbology, options, runs, pass.quietWidth, into, at) &&
            (coarse || !into.needsSecondLine) &&
            (coarse ? at.module / runs.unit >= kContrastModule - kProfileModuleOverlap
                    : at.module / runs.unit < kContrastModule + kProfileModuleOverlap) &&
            quiet_zones_hold(pass.image, runs, at, symbology, openStart, into, 1.0, 0.0) &&
            (symbology.family != Family::NarrowWide || full_quiet_zones(runs, at, symbology))) {
            if (!unanimous) return &runs;
            if (first == nullptr) {
                first = &runs;
            } else if (other.text != decoded.text) {
                return nullptr;
            }
        }
    }
    return first;
}

// One band of rows summed along the bars (rows rowFrom, rowFrom + rowStep, ... up to rowTo), its
// profile read lazily, and per symbology its first decodable reading.
struct ProfileBand {
    int rowFrom = 0;
    int rowTo = 0;
    int rowStep = 1;
    bool coarse = false;  // a coarse stretch: wider slopes, no grids, modules of kContrastModule or more
    bool profiled = false;
    bool usable = false;
    double slope = 0.0;
    std::vector<RunList> readings;
    bool onPixelGrids = false;  // upright and pixelReadings set
    bool upright = false;       // the edges all fall on pixel boundaries
    std::vector<RunList> pixelReadings;
    int readFor = -1;  // symbology number `read` was tried for, -1 when none yet
    const RunList* read = nullptr;
    Decoded decoded;
    LineSymbol where;
};

// The band's reading as `decoder`'s symbology (profiling it first); null when it reads none.
const RunList* band_reading(Pass& pass, const ActiveDecoder& decoder, ProfileBand& band, int from, int to,
                            int middle) {
    if (!band.profiled) {
        band.profiled = true;
        RunList runs, trimmed;
        // Salted paper beyond the clean halo that a local threshold leaves around coarse bars may
        // sum to faint bars past the symbol: their reading without them comes second, after the
        // profile as it is (whose faint end bars may be starved bars of the symbol).
        const bool trim = band.coarse && pass.settings.saltedPaper;
        band.usable =
            profile_runs(pass.image, from, to, band.rowFrom, band.rowTo, band.rowStep, middle, runs,
                         band.slope, band.coarse ? kCoarseMaxSlope : kMaxSlope, trim ? &trimmed : nullptr);
        // Coarse bands of upright bars are left: both bands are then the same picture, and an
        // EAN-13 at 1.25 px with a bar knocked out read wrong on both.
        if (band.coarse && band.usable) band.usable = !edges_on_pixels(runs);
        if (band.usable) band.readings = band.coarse ? std::vector<RunList>{runs} : band_readings(runs);
        if (band.usable && band.coarse && !trimmed.runs.empty()) band.readings.push_back(std::move(trimmed));
    }
    if (!band.usable) return nullptr;
    if (band.readFor != decoder.symbology->number) {
        band.readFor = decoder.symbology->number;
        if (band.coarse) {
            band.read =
                read_band(pass, decoder, band.readings, from == 0, band.decoded, band.where, false, true);
            return band.read;
        }
        const bool narrowWide = decoder.symbology->family == Family::NarrowWide;
        if (narrowWide) {
            band.read = read_band(pass, decoder, band.readings, from == 0, band.decoded, band.where);
            if (band.read != nullptr) return band.read;
        }
        // Upright bars: both bands show the same picture, and its whole-pixel widths, read as
        // they are, gave an EAN-13 with a bar knocked out a wrong text on both; only the grid
        // that holds every edge reads them. Narrow/wide symbols (above) go onto the grid only
        // where their widths as they are read nothing: at 1.25 px modules a narrow and a wide
        // element both rounded to 2 px, while a wide element of a whole number of modules (as a
        // printer's dots make it) lies on the grid.
        if (!band.onPixelGrids) {
            band.onPixelGrids = true;
            band.upright = edges_on_pixels(band.readings.front());
            if (band.upright) band.pixelReadings = pixel_grid_readings(pass, band.readings.front());
        }
        if (band.upright) {
            band.read =
                read_band(pass, decoder, band.pixelReadings, from == 0, band.decoded, band.where, true);
        } else if (!narrowWide) {
            band.read = read_band(pass, decoder, band.readings, from == 0, band.decoded, band.where);
        }
    }
    return band.read;
}

// True when a symbol of the same symbology and text is already reported where these bars lie
// (boxes that overlap within the reach of reported_before, in the pass's own coordinates): the usual lines
// read it, and the fill of their corners left some of its bars for the profiles.
bool found_over_bars(const Pass& pass, const Decoded& decoded, const Point bars[4]) {
    auto box = [](const Point* p, bool swap, int& x0, int& x1, int& y0, int& y1) {
        x0 = y0 = std::numeric_limits<int>::max();
        x1 = y1 = std::numeric_limits<int>::min();
        for (int k = 0; k < 4; ++k) {
            const int x = swap ? p[k].y : p[k].x, y = swap ? p[k].x : p[k].y;
            x0 = std::min(x0, x);
            x1 = std::max(x1, x);
            y0 = std::min(y0, y);
            y1 = std::max(y1, y);
        }
    };
    int ax0 = 0, ax1 = 0, ay0 = 0, ay1 = 0;
    box(bars, false, ax0, ax1, ay0, ay1);
    for (const FoundSymbol& f : pass.found) {
        if (f.decoded.symbology != decoded.symbology || f.decoded.text != decoded.text) continue;
        int bx0 = 0, bx1 = 0, by0 = 0, by1 = 0;
        box(f.corners, pass.vertical, bx0, bx1, by0, by1);
        const int longest = std::max({ax1 - ax0, ay1 - ay0, bx1 - bx0, by1 - by0});
        const int reach = std::max(kTraceUnit, longest / kSameSymbolReach);
        if (ax0 <= bx1 + reach && bx0 <= ax1 + reach && ay0 <= by1 + reach && by0 <= ay1 + reach) return true;
    }
    return false;
}

// A reading two disjoint bands agreed on becomes a result: read at right angles to bars of the
// band's slope, the corners of the bars it summed (rows top to bottom) in reserve, and the whole
// height of those bars erased. False when the result is refused.
bool accept_profile_reading(Pass& pass, const RunList& lineB, const ProfileBand& band, int y, int top,
                            int bottom, int middle, int& fillRight) {
    const LineSymbol& whereB = band.where;
    // Forwards along the line, at right angles to the bars; the reported direction has a
    // non-negative y.
    Point fan{kDirectionScale, -static_cast<int>(std::lround(kDirectionScale * band.slope))};
    if (fan.y == 0) fan = Point{1, 0};
    const Point reported = fan.y < 0 ? Point{-fan.x, -fan.y} : fan;
    // The bars' corners: where blur merges them on most rows, sliding the line along the bars
    // finds too few runs, and these take the place of that extent.
    const double left = lineB.runs[static_cast<std::size_t>(whereB.first)].x - 1.0;
    const double right = lineB.runs[static_cast<std::size_t>(whereB.last + 1)].x + 1.0;
    auto at = [&](double x, int row) {
        return Point{static_cast<int>(std::lround(x + band.slope * (row - middle))), row};
    };
    const Point bars[4] = {at(right, bottom), at(left, bottom), at(left, top), at(right, top)};
    if (found_over_bars(pass, band.decoded, bars)) return false;
    const bool tallEnough = bottom - top + 1 >= kMinSymbolSize;
    if (!accept(pass, lineB, whereB, band.decoded, fan, reported, fillRight, y, true,
                tallEnough ? bars : nullptr))
        return false;
    // The whole height of the bars the profiles summed is erased too: the corners may cover only
    // part of it, and a later line would read the rest again.
    fill_quadrilateral(pass.image, bars);
    return true;
}

bool read_bar_profiles(Pass& pass, const RunList& line, int y, int skipTo, int& fillRight, bool coarse) {
    const Image& image = pass.image;
    for (const DenseStretch& stretch : dense_stretches(line, coarse)) {
        if (stretch.to <= skipTo || !runs_along_bars(image, stretch)) continue;
        const int margin = coarse ? kCoarseProfileMargin : kProfileMargin;
        const int from = std::max(0, stretch.from - margin);
        const int to = std::min(image.width - 1, stretch.to + margin);
        int top = y, bottom = y;
        bar_rows(image, stretch.from, stretch.to, y, top, bottom, coarse);
        const int middle = (top + bottom) / 2;
        // Families of bands whose rows are disjoint within the family: even and odd rows first,
        // then the rows by their remainder modulo 3, then the upper and lower halves of the bars.
        std::vector<ProfileBand> bands(7);
        const int starts[7] = {top, top + 1, top, top + 1, top + 2, top, middle + 1};
        const int steps[7] = {2, 2, 3, 3, 3, 1, 1};
        for (std::size_t k = 0; k < bands.size(); ++k) {
            bands[k].rowFrom = starts[k];
            bands[k].rowStep = steps[k];
            bands[k].rowTo = k == 5 ? middle : bottom;
            bands[k].coarse = coarse;
        }
        static constexpr int kPairs[5][2] = {{0, 1}, {2, 3}, {2, 4}, {3, 4}, {5, 6}};
        for (const ActiveDecoder& decoder : pass.settings.decoders) {
            // Dashed bars sum to much the same profile on every band, so two bands are less than
            // two witnesses there: kept from UPC-E, whose check covers 6 digits through the
            // parity, and from 2 of 5, which has none (both misread on such pages by the usual
            // lines already).
            const int number = decoder.symbology->number;
            if (coarse && (number == kUpcE || number == kInterleaved2of5)) continue;
            // Narrow/wide symbologies carry no check of their own: only the even and odd rows.
            const int pairs = decoder.symbology->family == Family::NarrowWide ? 1 : 5;
            for (int p = 0; p < pairs; ++p) {
                const int* pair = kPairs[p];
                ProfileBand& first = bands[static_cast<std::size_t>(pair[0])];
                ProfileBand& second = bands[static_cast<std::size_t>(pair[1])];
                if (band_reading(pass, decoder, first, from, to, middle) == nullptr) continue;
                const RunList* lineB = band_reading(pass, decoder, second, from, to, middle);
                if (lineB == nullptr || first.decoded.symbology != second.decoded.symbology ||
                    first.decoded.text != second.decoded.text)
                    continue;
                if (accept_profile_reading(pass, *lineB, second, y, top, bottom, middle, fillRight))
                    return true;
            }
        }
    }
    return false;
}

// Scans of wide modules sprinkled with specks: a one-pixel speck splits a bar or a space, or
// stands in a quiet zone, on most scan lines, so that no start or stop shows whole on them. A
// scan line whose runs are mostly wide (the median at least kSpeckledMedianPixels) and that
// holds kSpeckledMinSpecks one-pixel runs or more is searched once more with its one-pixel runs
// merged into their neighbours. Only the search sees the merged runs: every fan line still reads
// the picture itself, with all of its checks.
constexpr int kSpeckledMedianPixels = 5;
constexpr int kSpeckledMinSpecks = 3;
bool speckled_wide_line(const RunList& line) {
    if (line.size() < 2 * kSpeckledMinSpecks) return false;
    int specks = 0;
    std::vector<int> lengths;
    lengths.reserve(line.runs.size());
    for (const Run& r : line.runs) {
        specks += r.length <= line.unit ? 1 : 0;
        lengths.push_back(r.length);
    }
    if (specks < kSpeckledMinSpecks) return false;
    auto middle = lengths.begin() + static_cast<std::ptrdiff_t>(lengths.size() / 2);
    std::nth_element(lengths.begin(), middle, lengths.end());
    return *middle >= kSpeckledMedianPixels * line.unit;
}

}  // namespace

void search_pass(Image& picture, const SearchSettings& settings, bool vertical,
                 std::vector<FoundSymbol>& found, std::vector<std::uint8_t>& scratch) {
    if (settings.decoders.empty()) return;
    Image image = vertical ? transpose(picture, scratch) : picture;
    const std::size_t foundBefore = found.size();
    Pass pass{image, settings, vertical, found, BarCache{}, 0.0, {}, {}, {}};
    const int s = settings.sizeUnit;
    const int spacing = vertical ? 3 * s : 2 * s;
    const int minRuns = vertical ? kVerticalLineMinRuns : kHorizontalLineMinRuns;
    RunList line;
    std::vector<signed char> untraceable;
    for (int y = spacing; y < image.height; y += spacing) {
        if (!row_runs(image, y, line)) continue;
        if (settings.lineNoise > 0) merge_noise(line, settings.lineNoise);
        untraceable.assign(line.runs.size(), 0);
        int skipTo = -1;  // columns up to here belong to a symbol found on this line
        for (const Segment& segment : candidate_segments(line, minRuns)) {
            for (int p = segment.begin; p < segment.end; ++p) {
                if (line.runs[static_cast<std::size_t>(p)].x <= skipTo) continue;
                int fillRight = -1;
                if (try_at(pass, line, p, y, untraceable, fillRight)) skipTo = std::max(skipTo, fillRight);
            }
        }
        if (speckled_wide_line(line) && row_runs(image, y, line)) {
            merge_noise(line, 1);
            untraceable.assign(line.runs.size(), 0);
            for (const Segment& segment : candidate_segments(line, minRuns)) {
                for (int p = segment.begin; p < segment.end; ++p) {
                    if (line.runs[static_cast<std::size_t>(p)].x <= skipTo) continue;
                    int fillRight = -1;
                    if (try_at(pass, line, p, y, untraceable, fillRight))
                        skipTo = std::max(skipTo, fillRight);
                }
            }
            if (!row_runs(image, y, line)) continue;
            if (settings.lineNoise > 0) merge_noise(line, settings.lineNoise);
        }
        int fillRight = -1;
        if (read_bar_profiles(pass, line, y, skipTo, fillRight, false)) skipTo = std::max(skipTo, fillRight);
    }
    // Coarse profiles cost a sweep of slopes per stretch: only on a page where no pass found
    // any symbol, so that a page that reads pays nothing for them.
    if (found.empty()) {
        for (int y = spacing; y < image.height; y += spacing) {
            if (!row_runs(image, y, line)) continue;
            if (settings.lineNoise > 0) merge_noise(line, settings.lineNoise);
            int fillRight = -1;
            read_bar_profiles(pass, line, y, -1, fillRight, true);
        }
    }
    if (vertical) {
        // Keep the picture itself consistent with the transposed view that was searched.
        for (std::size_t i = foundBefore; i < found.size(); ++i)
            fill_quadrilateral(picture, found[i].corners);
    }
}

}  // namespace stripescan
