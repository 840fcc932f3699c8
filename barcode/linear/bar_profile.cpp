#include "barcode/linear/bar_profile.h"

#include <algorithm>
#include <cmath>

namespace stripescan {
namespace {

constexpr int kDenseMinRuns = 15;          // runs of a row that may cross a fine symbol
constexpr int kDenseLongestWhite = 8;      // pixels: a longer white is a quiet zone or paper
constexpr double kDenseMeanRun = 4.0;      // pixels: mean run width of a fine symbol's row, at most
constexpr int kCoarseLongestWhite = 20;    // pixels: the same for symbols of any module (4 modules of 5 px)
constexpr double kCoarseMeanRun = 9.0;     // pixels
constexpr int kCoarseJoinWhite = 40;       // pixels: a white that coarse pieces of one symbol may part at
constexpr double kCoarseSlopeStep = 0.01;  // columns per row between the slopes tried first
constexpr int kFineSlopeSteps = 4;         // finer slopes tried on either side of the best coarse one
constexpr int kMinBandRows = 6;            // rows the band must cover on the page
constexpr double kSamplesPerPixel = 2.0;   // the profile is sampled every half pixel
constexpr double kSampleOffset = 0.25;     // pixels: samples fall a quarter pixel off the pixel centres
constexpr double kMinProminence = 0.15;    // darkness a bar must rise above the spaces beside it (and back)
constexpr double kMinGridModule = 0.8;     // pixels: the modules a grid is fitted for
constexpr double kMaxGridModule = 2.2;
constexpr double kGridModuleStep = 0.002;  // pixels between the modules tried
constexpr std::size_t kGridCandidates = 3;
constexpr double kPixelGridReach =
    0.03;  // pixels: modules this close to one pixel are not tried  // modules tried, widest first
constexpr double kMinGridFit = 0.35;       // mean alignment of the edges on a grid tried, at least
constexpr double kBarRowShare = 0.25;      // black share of a row across a symbol's bars, at least
constexpr double kRelativeRowShare = 0.5;  // of the scan row's black share, for bars starved into dashes
constexpr double kMinBarRowShare = 0.08;   // black share of a barred row, never less
constexpr int kBarRowGap = 2;              // rows under the share that barred rows may enclose
constexpr int kMaxBarRows = 60;            // rows walked each way from the scan line
constexpr int kMaxRelativeBarRows = 240;   // the same for the relative share: symbols of wider modules
constexpr int kAgreeRows = 2;              // rows above and below the scan line compared with it
constexpr double kMinAgreement = 0.8;      // share of a stretch's pixels that bars keep on those rows
constexpr double kFaintPeak = 0.5;         // of the median bar darkness: an outer peak under it is paper
constexpr std::size_t kMinStrongBars = 3;  // peaks that must stay after the faint outer ones are left out

// Darkness (black share 0..1) of the band's rows along bars of slope `slope` (columns per row),
// sampled every half pixel from column `from` on the middle row `mid`; each row gives the pixel
// the point falls on (interpolating would smooth every slope but the upright one, which would
// then always look sharpest). Points off the page are left out.
std::vector<double> band_profile(const Image& image, int from, int samples, int rowFrom, int rowTo,
                                 int rowStep, int mid, double slope) {
    std::vector<double> cover(static_cast<std::size_t>(samples), 0.0);
    std::vector<int> seen(static_cast<std::size_t>(samples), 0);
    for (int r = rowFrom; r <= rowTo; r += rowStep) {
        const double shift = slope * (r - mid);
        for (int i = 0; i < samples; ++i) {
            const int x =
                static_cast<int>(std::floor(from + kSampleOffset + i / kSamplesPerPixel + shift + 0.5));
            if (x < 0 || x >= image.width) continue;
            const auto k = static_cast<std::size_t>(i);
            cover[k] += image.black(x, r) ? 1.0 : 0.0;
            ++seen[k];
        }
    }
    for (std::size_t k = 0; k < cover.size(); ++k) cover[k] = seen[k] > 0 ? cover[k] / seen[k] : 0.0;
    return cover;
}

// Sharpness of a profile: its variance, largest where the slope follows the bars, whose rows then
// add up to clear dark and light instead of greys (the sum of squared steps would favour upright
// bars, whose profile steps only between pixels).
double sharpness(const std::vector<double>& cover) {
    if (cover.empty()) return 0.0;
    double sum = 0.0, squares = 0.0;
    for (double c : cover) {
        sum += c;
        squares += c * c;
    }
    const double n = static_cast<double>(cover.size());
    return squares / n - (sum / n) * (sum / n);
}

// Runs from a profile (darkness sampled every half pixel from column `from`, placed on row `y`):
// the profile's alternating darkest and lightest points, each at least kMinProminence from the
// last (a faint bar between two spaces, a shallow space between two bars count as long as they
// stand out that much); an edge lies between two neighbouring extremes where the profile crosses
// their mean. Lengths in kBandUnit per pixel; the first and last runs are white.
// Leaves out the dark peaks before the first and after the last one that reaches kFaintPeak of
// the median peak darkness (with the light point on their outer side), so that their whites
// join the quiet zone: on paper salted by a local threshold, whose window cleans the paper
// within half its width of the bars, the salted paper beyond sums to a faint, wide "bar" a few
// modules past the symbol. `extreme` alternates light, dark, ..., light.
void drop_faint_ends(const std::vector<double>& cover, std::vector<std::size_t>& extreme) {
    std::vector<double> peaks;
    for (std::size_t e = 1; e < extreme.size(); e += 2) peaks.push_back(cover[extreme[e]]);
    if (peaks.size() < kMinStrongBars) return;
    auto middle = peaks.begin() + static_cast<std::ptrdiff_t>(peaks.size() / 2);
    std::nth_element(peaks.begin(), middle, peaks.end());
    const double floor = kFaintPeak * *middle;
    auto faint = [&](std::size_t e) { return cover[extreme[e]] < floor; };
    std::size_t first = 1, last = extreme.size() - 2;  // dark extremes kept, inclusive
    while (first < last && faint(first)) first += 2;
    while (last > first && faint(last)) last -= 2;
    if ((last - first) / 2 + 1 < kMinStrongBars) return;
    extreme = std::vector<std::size_t>(extreme.begin() + static_cast<std::ptrdiff_t>(first - 1),
                                       extreme.begin() + static_cast<std::ptrdiff_t>(last + 2));
}

// `trimmed` (if not null) receives the same reading with drop_faint_ends applied, or no runs when
// that leaves it as it is.
bool extrema_runs(const std::vector<double>& cover, int from, int y, RunList& out, RunList* trimmed) {
    std::vector<std::size_t> extreme;  // alternating: lightest, darkest, lightest, ...
    std::size_t candidate = 0;
    bool wantDark = true;  // the profile starts on the paper before the symbol
    for (std::size_t k = 1; k < cover.size(); ++k) {
        const double v = cover[k];
        if (wantDark ? v < cover[candidate] : v > cover[candidate]) {
            candidate = k;  // a lighter (darker) point before the next swing
        } else if (wantDark ? v >= cover[candidate] + kMinProminence
                            : v <= cover[candidate] - kMinProminence) {
            extreme.push_back(candidate);
            candidate = k;
            wantDark = !wantDark;
        }
    }
    if (wantDark) extreme.push_back(candidate);  // the last lightest point ends the profile
    if (extreme.size() < 3) return false;
    auto pixel = [&](double sample) { return from + kSampleOffset + sample / kSamplesPerPixel; };
    auto length = [](double a, double b) {
        return std::max(1, static_cast<int>(std::lround((b - a) / kSamplesPerPixel * kBandUnit)));
    };
    auto readRuns = [&](const std::vector<std::size_t>& points, RunList& into) {
        double edge = -0.5;
        std::uint8_t color = kWhite;
        for (std::size_t e = 0; e + 1 < points.size(); ++e) {
            const std::size_t a = points[e], b = points[e + 1];
            const double level = (cover[a] + cover[b]) / 2;
            std::size_t k = a;
            while (k + 1 < b && (cover[k + 1] > level) == (cover[a] > level)) ++k;
            const double step = cover[k + 1] - cover[k];
            const double cross = k + (step != 0.0 ? (level - cover[k]) / step : 0.5);
            const double start = std::max(0.0, edge);
            into.runs.push_back(
                Run{static_cast<int>(std::floor(pixel(start) + 0.5)), y, length(edge, cross), color});
            edge = cross;
            color = color == kWhite ? kBlack : kWhite;
        }
        into.runs.push_back(Run{static_cast<int>(std::floor(pixel(edge) + 0.5)), y,
                                length(edge, static_cast<double>(cover.size()) - 0.5), color});
    };
    readRuns(extreme, out);
    if (trimmed != nullptr) {
        trimmed->runs.clear();
        trimmed->unit = out.unit;
        std::vector<std::size_t> kept = extreme;
        drop_faint_ends(cover, kept);
        if (kept.size() != extreme.size()) readRuns(kept, *trimmed);
    }
    return true;
}

}  // namespace

std::vector<DenseStretch> dense_stretches(const RunList& row, bool coarse) {
    const int longestWhite = coarse ? kCoarseLongestWhite : kDenseLongestWhite;
    const double meanRun = coarse ? kCoarseMeanRun : kDenseMeanRun;
    std::vector<DenseStretch> out;
    std::vector<std::pair<int, int>> pieces;  // first and last bar (run numbers) of each stretch
    const int n = row.size();
    int k = 0;
    while (k < n) {
        // A stretch begins at a bar and runs on while no white is long.
        while (k < n && row.runs[static_cast<std::size_t>(k)].color != kBlack) ++k;
        const int first = k;
        int last = k;
        for (; k < n; ++k) {
            const Run& run = row.runs[static_cast<std::size_t>(k)];
            if (run.color == kWhite && run.length > longestWhite * row.unit) break;
            if (run.color == kBlack) last = k;
        }
        if (first >= n) break;
        pieces.emplace_back(first, last);
    }
    auto stretch = [&](int first, int last) {
        const int runs = last - first + 1;
        const Run& a = row.runs[static_cast<std::size_t>(first)];
        const Run& b = row.runs[static_cast<std::size_t>(last)];
        const int to = b.x + b.length / row.unit;
        if (runs >= kDenseMinRuns && to - a.x <= meanRun * runs) out.push_back(DenseStretch{a.x, to, a.y});
    };
    for (const auto& [first, last] : pieces) stretch(first, last);
    if (!coarse) return out;
    // Bars starved into dashes leave some rows a white of a wide space and the bars beside it
    // that the row lost: pieces of one symbol such whites part are joined (after the pieces).
    for (std::size_t p = 0; p < pieces.size();) {
        std::size_t q = p;
        while (q + 1 < pieces.size() && pieces[q + 1].first - pieces[q].second == 2 &&
               row.runs[static_cast<std::size_t>(pieces[q].second + 1)].length <= kCoarseJoinWhite * row.unit)
            ++q;
        if (q > p) stretch(pieces[p].first, pieces[q].second);
        p = q + 1;
    }
    return out;
}

void bar_rows(const Image& image, int from, int to, int y, int& top, int& bottom, bool relative) {
    from = std::max(from, 0);
    to = std::min(to, image.width);
    auto blackShare = [&](int r) {
        if (r < 0 || r >= image.height || to <= from) return 0.0;
        int black = 0;
        for (int x = from; x < to; ++x) black += image.black(x, r) ? 1 : 0;
        return static_cast<double>(black) / (to - from);
    };
    const double share = relative
                             ? std::clamp(kRelativeRowShare * blackShare(y), kMinBarRowShare, kBarRowShare)
                             : kBarRowShare;
    auto barred = [&](int r) { return to > from && blackShare(r) >= share; };
    // A row or two of starved bars between barred rows still belongs to the bars.
    auto barredNear = [&](int r, int step) {
        for (int k = 0; k <= kBarRowGap; ++k)
            if (barred(r + k * step)) return true;
        return false;
    };
    top = bottom = y;
    if (!barred(y)) return;
    const int reach = relative ? kMaxRelativeBarRows : kMaxBarRows;
    while (y - top < reach && barredNear(top - 1, -1)) --top;
    while (bottom - y < reach && barredNear(bottom + 1, 1)) ++bottom;
    while (top < y && !barred(top)) ++top;
    while (bottom > y && !barred(bottom)) --bottom;
}

bool runs_along_bars(const Image& image, const DenseStretch& stretch) {
    int same = 0, seen = 0;
    const int y = stretch.row;
    for (int d : {-kAgreeRows, kAgreeRows}) {
        if (y + d < 0 || y + d >= image.height) continue;
        for (int x = std::max(0, stretch.from); x < std::min(stretch.to, image.width); ++x) {
            same += image.black(x, y) == image.black(x, y + d) ? 1 : 0;
            ++seen;
        }
    }
    return seen > 0 && same >= kMinAgreement * seen;
}

namespace {

// Edge positions in pixels from the start of a run list (the start of every run but the first),
// and whether each leads from paper to bar.
void edges_of(const RunList& runs, std::vector<double>& edges, std::vector<bool>& leading) {
    double at = 0.0;
    for (int k = 0; k + 1 < runs.size(); ++k) {
        at += static_cast<double>(runs.length(k)) / runs.unit;
        edges.push_back(at);
        leading.push_back(runs.runs[static_cast<std::size_t>(k + 1)].color == kBlack);
    }
}

// Alignment of the leading (or trailing) edges on a grid of module m: the length of the mean
// unit vector of their phases (1 when all lie on grid lines), and the mean phase in radians.
double grid_fit(const std::vector<double>& edges, const std::vector<bool>& leading, double m, bool lead,
                double& phase) {
    double c = 0.0, sn = 0.0;
    int count = 0;
    for (std::size_t k = 0; k < edges.size(); ++k) {
        if (leading[k] != lead) continue;
        const double a = 2 * M_PI * edges[k] / m;
        c += std::cos(a);
        sn += std::sin(a);
        ++count;
    }
    phase = std::atan2(sn, c);
    return count > 0 ? std::hypot(c, sn) / count : 0.0;
}

}  // namespace

std::vector<double> grid_modules(const RunList& runs) {
    std::vector<double> edges;
    std::vector<bool> leading;
    edges_of(runs, edges, leading);
    // The pixel grid itself is left out: edges of upright bars all fall on it, whatever their
    // module, and snapping onto it would change nothing.
    std::vector<double> score;
    double best = 0.0;
    for (double m = kMinGridModule; m <= kMaxGridModule; m += kGridModuleStep) {
        double p1 = 0.0, p2 = 0.0;
        const bool pixels = std::fabs(m - 1.0) <= kPixelGridReach;
        score.push_back(
            pixels ? 0.0
                   : (grid_fit(edges, leading, m, true, p1) + grid_fit(edges, leading, m, false, p2)) / 2);
        best = std::max(best, score.back());
    }
    std::vector<double> out;
    if (edges.size() < 3 || best < kMinGridFit) return out;
    // The best peaks first: a grid's halves and thirds fit its edges too, but noise spoils them more.
    std::vector<std::size_t> peaks;
    for (std::size_t k = 1; k + 1 < score.size(); ++k)
        if (score[k] >= kMinGridFit && score[k] >= score[k - 1] && score[k] > score[k + 1])
            peaks.push_back(k);
    std::sort(peaks.begin(), peaks.end(), [&](std::size_t a, std::size_t b) { return score[a] > score[b]; });
    for (std::size_t k = 0; k < peaks.size() && k < kGridCandidates; ++k)
        out.push_back(kMinGridModule + static_cast<double>(peaks[k]) * kGridModuleStep);
    return out;
}

bool snap_to_modules(RunList& runs, double m) {
    const int n = runs.size();
    if (n < 4 || !(m > 0.0)) return false;
    std::vector<double> edges;
    std::vector<bool> leading;
    edges_of(runs, edges, leading);
    double leadPhase = 0.0, trailPhase = 0.0;
    grid_fit(edges, leading, m, true, leadPhase);
    grid_fit(edges, leading, m, false, trailPhase);
    const double lead0 = leadPhase / (2 * M_PI) * m;
    double bias = trailPhase / (2 * M_PI) * m - lead0;  // ink gain: the trailing edges' shift
    bias -= m * std::round(bias / m);
    // Every edge onto the grid through the leading edges, trailing ones less their shift.
    std::vector<long> module(edges.size());
    for (std::size_t k = 0; k < edges.size(); ++k)
        module[k] = std::lround((edges[k] - lead0 - (leading[k] ? 0.0 : bias)) / m);
    for (std::size_t k = 1; k < module.size(); ++k)
        if (module[k] <= module[k - 1]) return false;
    for (int k = 1; k + 1 < n; ++k) {
        const auto i = static_cast<std::size_t>(k);
        runs.runs[i].length = static_cast<int>(std::lround((module[i] - module[i - 1]) * m * runs.unit));
    }
    return true;
}

bool profile_runs(const Image& image, int from, int to, int rowFrom, int rowTo, int rowStep, int row,
                  RunList& out, double& slope, double maxSlope, RunList* trimmed) {
    out.runs.clear();
    out.unit = kBandUnit;
    if (rowStep < 1) return false;
    while (rowFrom < 0) rowFrom += rowStep;
    rowTo = std::min(rowTo, image.height - 1);
    from = std::max(from, 0);
    to = std::min(to, image.width - 1);
    if ((rowTo - rowFrom) / rowStep + 1 < kMinBandRows || to - from < 2) return false;
    const int mid = row;
    const int samples = static_cast<int>((to - from) * kSamplesPerPixel);
    double best = -1.0;
    for (double s = -maxSlope; s <= maxSlope + 1e-9; s += kCoarseSlopeStep) {
        const double sharp = sharpness(band_profile(image, from, samples, rowFrom, rowTo, rowStep, mid, s));
        if (sharp > best) {
            best = sharp;
            slope = s;
        }
    }
    const double coarse = slope;
    const double fineStep = kCoarseSlopeStep / (2 * kFineSlopeSteps);
    for (int k = -kFineSlopeSteps; k <= kFineSlopeSteps; ++k) {
        if (k == 0) continue;
        const double s = coarse + k * fineStep;
        const double sharp = sharpness(band_profile(image, from, samples, rowFrom, rowTo, rowStep, mid, s));
        if (sharp > best) {
            best = sharp;
            slope = s;
        }
    }
    const std::vector<double> cover = band_profile(image, from, samples, rowFrom, rowTo, rowStep, mid, slope);
    return extrema_runs(cover, from, mid, out, trimmed);
}

}  // namespace stripescan
