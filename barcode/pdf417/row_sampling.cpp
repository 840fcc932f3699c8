#include "barcode/pdf417/row_sampling.h"

#include <algorithm>
#include <cmath>

#include "barcode/pdf417/codeword_reader.h"
#include "barcode/pdf417/profile_match.h"

namespace pdf417 {
namespace {

constexpr int kMinSideSamples = 4;                           // edge samples a side needs to place its rows
constexpr double kSideResidual = 2.0;                        // pixels off the first fit that drop a sample
constexpr int kSymbolExtraModules = 17 * 4 + 1;              // start, two indicators, stop (18)
constexpr int kSamplesPerModule = kProfileSamplesPerModule;  // profile samples along the row
constexpr double kProfileMargin = kProfileMarginModules;     // modules sampled before the cell
constexpr double kStartReach = 1.0;  // modules a codeword's first edge may lie off its place
constexpr double kWidthReach = 1.5;  // modules a codeword's width may lie off 17
constexpr int kLines = 7;            // sampled lines across a row
constexpr double kLineOffset[kLines] = {-0.3, -0.2, -0.1, 0.0,
                                        0.1,  0.2,  0.3};  // of a row height, from its middle
constexpr int kMaxEdges = 64;
constexpr int kSampledSupport = 2;  // the support of a cell the sampled lines read (see merge_grids)
constexpr int kMinLineVotes = 2;    // lines that must read a cell whose mean profile reads nothing
constexpr int kProfileSupport = 1;  // the support of a cell read by its whole profile (a weak reading)

// One side's pattern edge and rows: the outer edge u = a + b t, the row middles t = t0 + h row,
// in the frame (u along the scan direction, t across it).
struct SideFit {
    double a = 0, b = 0, t0 = 0, h = 0;
};

// Least-squares v = a + b w over the points in use; a second fit without those more than
// `residual` off the first. False when fewer than kMinSideSamples points are used or w does not
// spread.
bool fit(const double* w, const double* v, bool* use, int n, double residual, double& a, double& b) {
    for (int pass = 0; pass < 2; ++pass) {
        double count = 0, mw = 0, mv = 0;
        for (int i = 0; i < n; ++i)
            if (use[i]) {
                count += 1;
                mw += w[i];
                mv += v[i];
            }
        if (count < kMinSideSamples) return false;
        mw /= count;
        mv /= count;
        double sww = 0, swv = 0;
        for (int i = 0; i < n; ++i)
            if (use[i]) {
                sww += (w[i] - mw) * (w[i] - mw);
                swv += (w[i] - mw) * (v[i] - mv);
            }
        if (sww < 1e-9) return false;
        b = swv / sww;
        a = mv - b * mw;
        if (pass == 0)
            for (int i = 0; i < n; ++i) use[i] = use[i] && std::fabs(v[i] - (a + b * w[i])) <= residual;
    }
    return true;
}

// Fits the rows and the outer edge of one side (the stop side when `stop`) from ws's edge
// samples. False when the side has too few samples or they do not spread over two rows.
bool fit_side(const Workspace& ws, int rows, bool stop, SideFit& side) {
    const int n = ws.edgeSampleCount;
    const OutlineFrame& f = ws.outlineFrame;
    double u[kMaxEdgeSamples], t[kMaxEdgeSamples], row[kMaxEdgeSamples];
    bool use[kMaxEdgeSamples];
    for (int i = 0; i < n; ++i) {
        const EdgeSample& s = ws.edgeSamples[i];
        u[i] = s.x * f.dirX + s.y * f.dirY;
        t[i] = -s.x * f.dirY + s.y * f.dirX;
        row[i] = s.row - 0.5;
        use[i] = s.stopSide == stop && s.row >= 1 && s.row <= rows;
    }
    bool edgeUse[kMaxEdgeSamples];
    std::copy(use, use + n, edgeUse);
    // Rows: samples more than a row (or a pixel) off the first fit are dropped (a misread
    // indicator), as for the corners.
    bool rowUse[kMaxEdgeSamples];
    std::copy(use, use + n, rowUse);
    if (!fit(row, t, rowUse, n, 1e9, side.t0, side.h)) return false;
    if (!fit(row, t, use, n, std::max(1.0, std::fabs(side.h)), side.t0, side.h)) return false;
    return fit(t, u, edgeUse, n, kSideResidual, side.a, side.b);
}

// Darkness (0..1) of the page at the continuous point (x, y), bilinear over the pixel centres;
// outside the page light.
double darkness(const ImageView& image, double x, double y) {
    const double fx = x - 0.5, fy = y - 0.5;
    const int x0 = static_cast<int>(std::floor(fx)), y0 = static_cast<int>(std::floor(fy));
    const double wx = fx - x0, wy = fy - y0;
    auto at = [&](int px, int py) { return image.inside(px, py) && image.dark(px, py) ? 1.0 : 0.0; };
    return (1 - wy) * ((1 - wx) * at(x0, y0) + wx * at(x0 + 1, y0)) +
           wy * ((1 - wx) * at(x0, y0 + 1) + wx * at(x0 + 1, y0 + 1));
}

// The codeword the profile g (kProfileSamples samples, kSamplesPerModule per module, sample k
// at module k / kSamplesPerModule + 1 / (2 kSamplesPerModule) from kProfileMargin modules
// before the cell) shows: edges where g crosses one half, a codeword from a rising edge within
// kStartReach modules of the cell's start to the rising edge 8 elements later, about 17 modules
// on, read as the nearest pattern of `cluster`. -1 when no start gives one or two give different
// values.
int read_profile_codeword(const double* g, int cluster) {
    double edge[kMaxEdges];
    bool rising[kMaxEdges];
    int edges = 0;
    const double step = 1.0 / kSamplesPerModule;
    for (int k = 0; k + 1 < kProfileSamples && edges < kMaxEdges; ++k) {
        const bool a = g[k] > 0.5, b = g[k + 1] > 0.5;
        if (a == b) continue;
        const double at = (k + 0.5) * step + step * (g[k] - 0.5) / (g[k] - g[k + 1]);
        edge[edges] = at - kProfileMargin;  // modules from the cell's start
        rising[edges] = b;
        ++edges;
    }
    int value = -1;
    for (int i = 0; i + 8 < edges; ++i) {
        if (!rising[i] || std::fabs(edge[i]) > kStartReach) continue;
        const double width = edge[i + 8] - edge[i];
        if (std::fabs(width - 17.0) > kWidthReach) continue;
        double t[6];
        for (int j = 0; j < 6; ++j) t[j] = 17.0 * (edge[i + j + 2] - edge[i + j]) / width;
        const Codeword cw = nearest_codeword(t, cluster);
        if (cw.value < 0) continue;
        if (value >= 0 && value != cw.value) return -1;
        value = cw.value;
    }
    return value;
}

// Reads the cells still `erased` by their whole profile (match_profile), with the blur and
// threshold fitted on the cells both the lines and the sampled rows agree on (`sampled`); a cell
// read so gets kProfileSupport. With `checkLineCells`, the cells only the lines read (neither
// `sampled` nor `erased`) are matched too: on small blurred rows a line that crossed a neighbouring row's
// bars reads a valid codeword of the wrong value nearly as often as the right one, so such a cell takes the
// value its profile clearly shows (kProfileSupport; its support is kept when that is the lines'
// value), and is erased when its profile shows none. `sampleCell(r, c, lines, mean)` samples a
// cell's profiles.
template <typename Sampler>
void read_unsure_profiles(Workspace& ws, const SymbolShape& shape, const bool* sampled, bool* erased,
                          bool checkLineCells, Sampler& sampleCell) {
    const int n = shape.rows * shape.columns;
    bool unsure[kMaxCodewords];
    for (int i = 0; i < n; ++i) unsure[i] = erased[i] || (checkLineCells && !sampled[i]);
    if (std::find(unsure, unsure + n, true) == unsure + n) return;
    double known[kMaxCalibrationCells][kProfileSamples];
    double lines[kLines][kProfileSamples];
    const double* profiles[kMaxCalibrationCells];
    int clusters[kMaxCalibrationCells], values[kMaxCalibrationCells];
    int count = 0;
    // Known cells spread over the symbol: every stride-th one.
    int total = 0;
    for (int i = 0; i < n; ++i) total += sampled[i] && !erased[i];
    const int stride = std::max(1, total / kMaxCalibrationCells + 1);
    for (int i = 0, seen = 0; i < n && count < kMaxCalibrationCells; ++i) {
        if (!sampled[i] || erased[i] || seen++ % stride != 0) continue;
        const int r = i / shape.columns, c = i % shape.columns;
        sampleCell(r, c, lines, known[count]);
        profiles[count] = known[count];
        clusters[count] = row_cluster(r + 1);
        values[count] = ws.readCodewords[i];
        ++count;
    }
    ProfileBlur blur;
    if (!fit_profile_blur(profiles, clusters, values, count, blur)) return;
    double mean[kProfileSamples];
    for (int i = 0; i < n; ++i) {
        if (!unsure[i]) continue;
        const int r = i / shape.columns, c = i % shape.columns;
        sampleCell(r, c, lines, mean);
        const int value = match_profile(mean, row_cluster(r + 1), blur);
        if (!erased[i] && value == ws.readCodewords[i]) continue;
        if (!erased[i] && value < 0) {
            erased[i] = true;
            ws.support[i] = 0;
            continue;
        }
        if (value < 0) continue;
        erased[i] = false;
        ws.readCodewords[i] = value;
        ws.support[i] = kProfileSupport;
    }
}

}  // namespace

int sample_rows(const ImageView& image, Workspace& ws, const SymbolShape& shape, int erasureCount,
                bool checkLineCells) {
    SideFit side[2];
    if (!fit_side(ws, shape.rows, false, side[0]) || !fit_side(ws, shape.rows, true, side[1])) return -1;
    const OutlineFrame& f = ws.outlineFrame;
    const double modules = 17.0 * shape.columns + kSymbolExtraModules;
    // The image point of the outer edge of side s at row position rho (rows from the first edge).
    auto edgePoint = [&](int s, double rho, double& x, double& y) {
        const double t = side[s].t0 + side[s].h * rho;
        const double u = side[s].a + side[s].b * t;
        x = u * f.dirX - t * f.dirY;
        y = u * f.dirY + t * f.dirX;
    };
    const int n = shape.rows * shape.columns;
    bool erased[kMaxCodewords] = {};
    for (int k = 0; k < erasureCount; ++k) erased[ws.erasures[k]] = true;
    // The profiles of cell (r, c) on each sampled line and their mean.
    auto sampleCell = [&](int r, int c, double(*lines)[kProfileSamples], double* mean) {
        double sx[kLines], sy[kLines], px[kLines], py[kLines];
        for (int l = 0; l < kLines; ++l) {
            edgePoint(0, r + 0.5 + kLineOffset[l], sx[l], sy[l]);
            edgePoint(1, r + 0.5 + kLineOffset[l], px[l], py[l]);
        }
        const double first = 34.0 + 17.0 * c - kProfileMargin;  // modules from the start edge
        for (int k = 0; k < kProfileSamples; ++k) {
            const double m = (first + (k + 0.5) / kSamplesPerModule) / modules;
            mean[k] = 0;
            for (int l = 0; l < kLines; ++l) {
                lines[l][k] = darkness(image, sx[l] + (px[l] - sx[l]) * m, sy[l] + (py[l] - sy[l]) * m);
                mean[k] += lines[l][k] / kLines;
            }
        }
    };
    double lines[kLines][kProfileSamples];
    double mean[kProfileSamples];
    bool sampled[kMaxCodewords] = {};  // read by the sampled lines, value in ws.readCodewords
    for (int r = 0; r < shape.rows; ++r) {
        const int cluster = row_cluster(r + 1);
        for (int c = 0; c < shape.columns; ++c) {
            sampleCell(r, c, lines, mean);
            // The mean's reading, or failing it the reading of at least kMinLineVotes lines;
            // either only when no line reads another value.
            int value = read_profile_codeword(mean, cluster);
            int votes = value >= 0 ? kMinLineVotes : 0;
            for (int l = 0; l < kLines; ++l) {
                const int own = read_profile_codeword(lines[l], cluster);
                if (own < 0) continue;
                if (value < 0 && votes == 0) value = own;
                if (own != value) {
                    value = -1;
                    break;
                }
                ++votes;
            }
            if (votes < kMinLineVotes) value = -1;
            if (value < 0) continue;
            const int index = r * shape.columns + c;
            if (erased[index]) {
                erased[index] = false;
                ws.readCodewords[index] = value;
                ws.support[index] = kSampledSupport;
                sampled[index] = true;
            } else if (ws.readCodewords[index] != value) {
                erased[index] = true;
                ws.support[index] = 0;
            } else {
                ws.support[index] = std::max(ws.support[index], kSampledSupport);
                sampled[index] = true;
            }
        }
    }
    read_unsure_profiles(ws, shape, sampled, erased, checkLineCells, sampleCell);
    int count = 0;
    for (int i = 0; i < n; ++i) {
        if (erased[i]) {
            ws.readCodewords[i] = 0;
            if (count < kMaxErasures) ws.erasures[count++] = i;
        }
    }
    std::copy(ws.readCodewords, ws.readCodewords + n, ws.codewords);
    return count;
}

}  // namespace pdf417
