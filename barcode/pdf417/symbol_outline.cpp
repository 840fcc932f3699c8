#include "barcode/pdf417/symbol_outline.h"

#include <algorithm>
#include <cmath>

#include "barcode/pdf417/workspace.h"

namespace pdf417 {
namespace {

constexpr double kEdgeResidual = 2.0;            // pixels off the first edge fit that drop a sample
constexpr int kSymbolExtraModules = 17 * 4 + 1;  // start, two indicators, stop (18)

// Least-squares line v = a + b w through the points whose `use` flag is set; b = 0 when the w
// values do not spread. False when no point is used.
bool fit_line(const double* w, const double* v, const bool* use, int n, double& a, double& b) {
    double count = 0, mw = 0, mv = 0;
    for (int i = 0; i < n; ++i) {
        if (!use[i]) continue;
        count += 1;
        mw += w[i];
        mv += v[i];
    }
    if (count == 0) return false;
    mw /= count;
    mv /= count;
    double sww = 0, swv = 0;
    for (int i = 0; i < n; ++i) {
        if (!use[i]) continue;
        sww += (w[i] - mw) * (w[i] - mw);
        swv += (w[i] - mw) * (v[i] - mv);
    }
    b = sww > 1e-9 ? swv / sww : 0.0;
    a = mv - b * mw;
    return true;
}

// A fit, then a second one without the points more than `residual` off the first.
bool robust_fit(const double* w, const double* v, bool* use, int n, double residual, double& a, double& b) {
    if (!fit_line(w, v, use, n, a, b)) return false;
    bool any = false;
    bool keep[kMaxEdgeSamples];
    for (int i = 0; i < n; ++i) {
        keep[i] = use[i] && std::fabs(v[i] - (a + b * w[i])) <= residual;
        any = any || keep[i];
    }
    if (!any) return true;
    for (int i = 0; i < n; ++i) use[i] = keep[i];
    return fit_line(w, v, use, n, a, b);
}

}  // namespace

bool symbol_corners(const Workspace& ws, int rows, int columns, int32_t corners[8]) {
    const int n = ws.edgeSampleCount;
    if (n <= 0 || rows < 1) return false;
    const OutlineFrame& f = ws.outlineFrame;
    // u along the scan direction, t along the pattern edges (the normal of the scan direction).
    double u[kMaxEdgeSamples], t[kMaxEdgeSamples], row[kMaxEdgeSamples];
    bool use[kMaxEdgeSamples];
    int reversed = 0;
    for (int i = 0; i < n; ++i) {
        const EdgeSample& s = ws.edgeSamples[i];
        u[i] = s.x * f.dirX + s.y * f.dirY;
        t[i] = -s.x * f.dirY + s.y * f.dirX;
        row[i] = s.row - 0.5;  // the middle of the row, counted from the symbol's first edge
        use[i] = s.row >= 1 && s.row <= rows;
        reversed += s.reversed ? 1 : -1;
    }

    // Rows: t = t0 + h (row - 0.5), h the row height in pixels (negative for upside down);
    // a second fit leaves out the samples more than a row off the first.
    double t0 = 0, h = 0;
    if (!fit_line(row, t, use, n, t0, h)) return false;
    robust_fit(row, t, use, n, std::max(1.0, std::fabs(h)), t0, h);
    const double tFirst = t0, tLast = t0 + h * rows;

    // Each side's outer edge: u = a + b t.
    double a[2] = {0, 0}, b[2] = {0, 0};
    bool have[2] = {false, false};
    for (int side = 0; side < 2; ++side) {
        for (int i = 0; i < n; ++i)
            use[i] = ws.edgeSamples[i].stopSide == (side == 1) && ws.edgeSamples[i].row >= 1 &&
                     ws.edgeSamples[i].row <= rows;
        have[side] = robust_fit(t, u, use, n, kEdgeResidual, a[side], b[side]);
    }
    if (!have[0] && !have[1]) return false;
    // A side that was never seen lies the symbol's width from the other, further along the scan
    // direction for the stop pattern unless the lines were read backwards.
    const double width = (17.0 * columns + kSymbolExtraModules) * f.module;
    const double sign = reversed > 0 ? -1.0 : 1.0;
    if (!have[1]) {
        a[1] = a[0] + sign * width;
        b[1] = b[0];
    } else if (!have[0]) {
        a[0] = a[1] - sign * width;
        b[0] = b[1];
    }

    auto put = [&](int k, int side, double tt) {
        const double uu = a[side] + b[side] * tt;
        corners[2 * k] = static_cast<int32_t>(std::lround(uu * f.dirX - tt * f.dirY));
        corners[2 * k + 1] = static_cast<int32_t>(std::lround(uu * f.dirY + tt * f.dirX));
    };
    put(0, 0, tFirst);
    put(1, 1, tFirst);
    put(2, 1, tLast);
    put(3, 0, tLast);
    return true;
}

}  // namespace pdf417
