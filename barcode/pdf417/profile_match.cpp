#include "barcode/pdf417/profile_match.h"

#include <algorithm>
#include <cmath>

#include "barcode/pdf417/codeword_tables.h"

namespace pdf417 {
namespace {

constexpr int kModelSamples = 74;         // compared samples: from 0.75 module before the cell to 0.75 after
constexpr int kModelFirst = 3;            // profile sample of model sample 0 at no shift
constexpr int kMaxShift = 2;              // start shifts searched, in samples (a quarter module each)
constexpr int kPhiReach = 80;             // quarter modules the blur table covers on either side
constexpr double kSoftWidth = 0.2;        // darkness over which the model turns from light to dark
constexpr double kNeighbourGrey = 0.5;    // darkness assumed beyond the neighbours' first module
constexpr double kMaxUnexplained = 0.35;  // share of the profile's variance the best pattern may leave
constexpr double kMinResidualRatio = 1.25;  // second best's residual over the best's, at least
constexpr double kSigmaGrid[] = {0.2, 0.3, 0.4, 0.5, 0.6, 0.7, 0.8};  // modules
constexpr double kLevelGrid[] = {0.3, 0.4, 0.5, 0.6, 0.7};

// Normal cumulative distribution at (n + 1/2) / (4 sigma) for n in [-kPhiReach, kPhiReach):
// the share of a blurred edge's step reached (n + 1/2) quarter modules after it.
struct PhiTable {
    double v[2 * kPhiReach];
    explicit PhiTable(double sigma) {
        for (int n = -kPhiReach; n < kPhiReach; ++n)
            v[n + kPhiReach] = 0.5 * std::erfc(-(n + 0.5) / (4.0 * sigma * std::sqrt(2.0)));
    }
    double at(int n) const { return v[std::clamp(n, -kPhiReach, kPhiReach - 1) + kPhiReach]; }
};

// The model profile m[0..kModelSamples-1] of the pattern `widths` (e1..e8 as eight digits):
// the bars, a light module before and a dark one after (the neighbours' first elements), grey
// beyond, blurred and turned dark above blur.level; sample i at (i + 1/2) / 4 - 0.75 modules.
void model_profile(int widths, const PhiTable& phi, double level, double* m) {
    int edge[12];
    double step[12];  // darkness change at each edge
    int e[8];
    for (int i = 7; i >= 0; --i, widths /= 10) e[i] = widths % 10;
    int edges = 0;
    edge[edges] = -1, step[edges++] = -kNeighbourGrey;
    int at = 0;
    for (int i = 0; i < 8; ++i) {
        edge[edges] = at, step[edges++] = i % 2 == 0 ? 1.0 : -1.0;
        at += e[i];
    }
    edge[edges] = 17, step[edges++] = 1.0;
    edge[edges] = 18, step[edges++] = kNeighbourGrey - 1.0;
    for (int i = 0; i < kModelSamples; ++i) {
        double g = kNeighbourGrey;
        for (int k = 0; k < edges; ++k) g += step[k] * phi.at(i - kModelFirst - 4 * edge[k]);
        m[i] = std::clamp((g - level) / kSoftWidth + 0.5, 0.0, 1.0);
    }
}

// 1 - r^2 of the best of the shifted windows of g against the model m: the share of the
// profile's variance a gain and offset on m leave unexplained (1 when none correlates).
double unexplained(const double* g, const double* m) {
    double sm = 0, smm = 0;
    for (int i = 0; i < kModelSamples; ++i) sm += m[i], smm += m[i] * m[i];
    const double n = kModelSamples;
    const double vm = smm - sm * sm / n;
    if (vm <= 1e-9) return 1.0;
    double best = 1.0;
    for (int s = -kMaxShift; s <= kMaxShift; ++s) {
        const double* o = g + kModelFirst + s;
        double so = 0, soo = 0, smo = 0;
        for (int i = 0; i < kModelSamples; ++i) so += o[i], soo += o[i] * o[i], smo += m[i] * o[i];
        const double vo = soo - so * so / n, c = smo - sm * so / n;
        if (vo <= 1e-9 || c <= 0) continue;
        best = std::min(best, 1.0 - c * c / (vm * vo));
    }
    return best;
}

// The element widths (e1..e8 as eight digits) of `value` in `cluster`, or -1.
int widths_of(int cluster, int value) {
    const CodewordEntry* table = cluster_table(cluster);
    const int32_t* widths = cluster_widths(cluster);
    if (table == nullptr || widths == nullptr) return -1;
    for (int i = 0; i < 929; ++i)
        if (table[i].value == value) return widths[i];
    return -1;
}

}  // namespace

bool fit_profile_blur(const double* const* profiles, const int* clusters, const int* values, int count,
                      ProfileBlur& blur) {
    count = std::min(count, kMaxCalibrationCells);
    if (count < kMinKnownCells) return false;
    int widths[kMaxCalibrationCells];
    for (int c = 0; c < count; ++c) {
        widths[c] = widths_of(clusters[c], values[c]);
        if (widths[c] < 0) return false;
    }
    double best = 1e300;
    double m[kModelSamples];
    for (double sigma : kSigmaGrid) {
        const PhiTable phi(sigma);
        for (double level : kLevelGrid) {
            double sum = 0;
            for (int c = 0; c < count; ++c) {
                model_profile(widths[c], phi, level, m);
                sum += unexplained(profiles[c], m);
            }
            if (sum < best) best = sum, blur.sigma = sigma, blur.level = level;
        }
    }
    return true;
}

int match_profile(const double* g, int cluster, const ProfileBlur& blur) {
    const CodewordEntry* table = cluster_table(cluster);
    const int32_t* widths = cluster_widths(cluster);
    if (table == nullptr || widths == nullptr || blur.sigma <= 0) return -1;
    const PhiTable phi(blur.sigma);
    double m[kModelSamples];
    double first = 1.0, second = 1.0;
    int value = -1;
    for (int i = 0; i < 929; ++i) {
        model_profile(widths[i], phi, blur.level, m);
        const double r = unexplained(g, m);
        if (r < first) {
            second = first, first = r, value = table[i].value;
        } else if (r < second) {
            second = r;
        }
    }
    if (value < 0 || first > kMaxUnexplained || second < kMinResidualRatio * first) return -1;
    return value;
}

}  // namespace pdf417
