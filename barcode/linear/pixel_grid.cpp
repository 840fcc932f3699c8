#include "barcode/linear/pixel_grid.h"

#include <algorithm>
#include <cmath>

namespace stripescan {
namespace {

constexpr double kPixelEdgeReach = 0.15;     // pixels: an edge this close to a whole pixel is on it
constexpr double kPixelEdgeShare = 0.8;      // share of the edges on whole pixels, at least
constexpr double kMinPixelGridModule = 1.1;  // pixels: finer grids hold almost any whole-pixel edge
constexpr double kMaxPixelGridModule = 2.2;
constexpr double kPixelGridModuleStep = 0.002;  // pixels between the modules tried
constexpr double kPixelGridReach = 0.55;        // pixels: half a pixel of rounding and a little blur
constexpr int kMinPixelGridEdges = 12;
constexpr double kSameModule = 0.005;  // pixels: modules closer than this are one grid
constexpr std::size_t kPixelGridCandidates = 12;
constexpr double kPixelGridTie = 0.03;  // pixels: grids this close to the best fit are tried too

// Edge positions in pixels from the first edge of a run list (the start of every run but the
// first), and whether each leads from paper to bar.
void edges_of(const RunList& runs, std::vector<double>& edges, std::vector<bool>& leading) {
    double at = -static_cast<double>(runs.length(0)) / runs.unit;
    for (int k = 0; k + 1 < runs.size(); ++k) {
        at += static_cast<double>(runs.length(k)) / runs.unit;
        edges.push_back(at);
        leading.push_back(runs.runs[static_cast<std::size_t>(k + 1)].color == kBlack);
    }
}

// The phase (pixels, 0 to m) that keeps the edges of one kind nearest their grid lines in the
// worst case, and that worst distance in `worst` (pixels): the middle of the shortest arc of the
// circle of length m that holds every edge's remainder, which leaves out the largest gap between
// neighbouring remainders. `scratch` holds the remainders.
double best_phase(const std::vector<double>& edges, const std::vector<bool>& leading, bool lead, double m,
                  std::vector<double>& scratch, double& worst) {
    scratch.clear();
    for (std::size_t k = 0; k < edges.size(); ++k)
        if (leading[k] == lead) scratch.push_back(edges[k] - m * std::floor(edges[k] / m));
    worst = m;
    if (scratch.empty()) return 0.0;
    std::sort(scratch.begin(), scratch.end());
    double gap = scratch.front() + m - scratch.back();  // across the circle's end
    double after = scratch.front();                     // the remainder the largest gap ends at
    for (std::size_t k = 1; k < scratch.size(); ++k) {
        if (scratch[k] - scratch[k - 1] > gap) {
            gap = scratch[k] - scratch[k - 1];
            after = scratch[k];
        }
    }
    worst = (m - gap) / 2;
    return after + worst;
}

}  // namespace

bool edges_on_pixels(const RunList& runs) {
    std::vector<double> edges;
    std::vector<bool> leading;
    edges_of(runs, edges, leading);
    if (edges.empty()) return false;
    // The pixel boundaries lie where most edges' fractions of a pixel do.
    double c = 0.0, sn = 0.0;
    for (double e : edges) {
        c += std::cos(2 * M_PI * e);
        sn += std::sin(2 * M_PI * e);
    }
    const double boundary = std::atan2(sn, c) / (2 * M_PI);
    int on = 0;
    for (double e : edges)
        on += std::fabs(e - boundary - std::round(e - boundary)) <= kPixelEdgeReach ? 1 : 0;
    return on >= kPixelEdgeShare * static_cast<double>(edges.size());
}

std::vector<PixelGrid> pixel_grids(const RunList& runs) {
    std::vector<double> edges;
    std::vector<bool> leading;
    edges_of(runs, edges, leading);
    std::vector<PixelGrid> out;
    if (static_cast<int>(edges.size()) < kMinPixelGridEdges) return out;
    // The first and last leading edges lie a whole number of modules apart, each within half a
    // pixel of its line: per such number the module within that reach that holds the edges best.
    double first = -1.0, last = -1.0;
    for (std::size_t k = 0; k < edges.size(); ++k) {
        if (!leading[k]) continue;
        if (first < 0.0) first = edges[k];
        last = edges[k];
    }
    const double span = last - first;
    std::vector<std::pair<double, PixelGrid>> fits;  // (worst distance, grid)
    std::vector<double> scratch;
    const int fewest = static_cast<int>(std::ceil(span / kMaxPixelGridModule));
    const int most = static_cast<int>(std::floor(span / kMinPixelGridModule));
    for (int modules = std::max(1, fewest); modules <= most; ++modules) {
        double bestWorst = kPixelGridReach;
        PixelGrid best;
        for (double m = (span - 1.0) / modules; m <= (span + 1.0) / modules; m += kPixelGridModuleStep) {
            if (m < kMinPixelGridModule || m > kMaxPixelGridModule) continue;
            double worstLead = 0.0, worstTrail = 0.0;
            PixelGrid grid{m, 0.0, 0.0};
            grid.lead = best_phase(edges, leading, true, m, scratch, worstLead);
            if (worstLead >= bestWorst) continue;
            grid.trail = best_phase(edges, leading, false, m, scratch, worstTrail);
            const double worst = std::max(worstLead, worstTrail);
            if (worst < bestWorst) {
                bestWorst = worst;
                best = grid;
            }
        }
        // Neighbouring counts may settle on the same module.
        const bool again = !fits.empty() && std::fabs(fits.back().second.module - best.module) < kSameModule;
        if (best.module > 0.0 && !again) fits.emplace_back(bestWorst, best);
    }
    std::sort(fits.begin(), fits.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    // Only the grids that hold the edges about as well as the best: where the best one reads
    // nothing (a bar knocked out), a worse one must not read instead.
    for (std::size_t k = 0; k < fits.size() && k < kPixelGridCandidates; ++k)
        if (fits[k].first <= fits.front().first + kPixelGridTie) out.push_back(fits[k].second);
    return out;
}

bool snap_to_pixel_grid(RunList& runs, const PixelGrid& grid) {
    const int n = runs.size();
    if (n < 4 || !(grid.module > 0.0)) return false;
    std::vector<double> edges;
    std::vector<bool> leading;
    edges_of(runs, edges, leading);
    // The trailing edges' phase as the leading edges' plus the ink gain (within half a module),
    // so that a bar's count of modules is the difference of its lines.
    double gain = grid.trail - grid.lead;
    gain -= grid.module * std::round(gain / grid.module);
    std::vector<long> line(edges.size());
    for (std::size_t k = 0; k < edges.size(); ++k)
        line[k] = std::lround((edges[k] - grid.lead - (leading[k] ? 0.0 : gain)) / grid.module);
    for (std::size_t k = 1; k < line.size(); ++k)
        if (line[k] <= line[k - 1]) return false;
    for (int k = 1; k + 1 < n; ++k) {
        const auto i = static_cast<std::size_t>(k);
        runs.runs[i].length =
            static_cast<int>(std::lround((line[i] - line[i - 1]) * grid.module * runs.unit));
    }
    return true;
}

}  // namespace stripescan
