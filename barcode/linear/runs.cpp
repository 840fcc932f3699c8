#include "barcode/linear/runs.h"

#include "barcode/common/runs.h"

#include <algorithm>
#include <cmath>

namespace stripescan {

namespace {
constexpr int kSegmentJump = 6;  // length ratio between neighbours that cuts a line
}

void RunList::reverse() {
    std::reverse(runs.begin(), runs.end());
    const int n = size();
    const int f = n - 1 - last;
    const int l = n - 1 - first;
    first = f;
    last = l;
}

bool row_runs(const Image& image, int y, RunList& out) {
    out.unit = 1;
    out.runs.clear();
    out.first = out.last = 0;
    if (y < 0 || y >= image.height || image.width <= 0) return false;
    thread_local std::vector<int> lengths;
    lengths.resize(static_cast<std::size_t>(image.width));
    bool dark = false;
    const int count = barcode::row_run_lengths(image.row(y), image.width, 0, lengths.data(), image.width, dark);
    out.runs.reserve(static_cast<std::size_t>(count));
    int x = 0;
    for (int i = 0; i < count; ++i) {
        out.runs.push_back(Run{x, y, lengths[static_cast<std::size_t>(i)], dark ? kBlack : kWhite});
        x += lengths[static_cast<std::size_t>(i)];
        dark = !dark;
    }
    return true;
}

bool line_runs(const Image& image, Point start, const std::vector<Point>& offsets, Point stop,
               int max_run, RunList& out) {
    out.unit = 1;
    out.runs.clear();
    out.first = out.last = 0;
    if (offsets.empty() || !image.inside(start.x, start.y)) return false;
    Run current{start.x, start.y, 1, image.black(start.x, start.y) ? kBlack : kWhite};
    const int sx = (stop.x > start.x) - (stop.x < start.x);
    const int sy = (stop.y > start.y) - (stop.y < start.y);
    for (std::size_t i = 1; i < offsets.size(); ++i) {
        if (max_run > 0 && current.length > max_run) break;
        const int x = start.x + offsets[i].x;
        const int y = start.y + offsets[i].y;
        if ((sx > 0 && x >= stop.x) || (sx < 0 && x <= stop.x) || (sy > 0 && y >= stop.y) ||
            (sy < 0 && y <= stop.y)) {
            break;
        }
        if (!image.inside(x, y)) continue;
        const std::uint8_t color = image.black(x, y) ? kBlack : kWhite;
        if (color == current.color) {
            ++current.length;
        } else {
            out.runs.push_back(current);
            current = Run{x, y, 1, color};
        }
    }
    out.runs.push_back(current);
    return true;
}

bool band_runs(const Image& image, double x, double y, double fx, double fy, int half, int max_samples,
               int max_run, RunList& out) {
    out.runs.clear();
    out.first = out.last = 0;
    // Across the line: at right angles to the reading direction.
    const double bx = -fy;
    const double by = fx;
    Run current;
    bool started = false;
    // Along a row the band is a stretch of whole rows; count black pixels column by column.
    const bool axis = fy == 0.0;
    const int row = static_cast<int>(std::floor(y + 0.5));
    const int row_from = std::max(0, row - half);
    const int row_to = std::min(image.height - 1, row + half);
    const int band_rows = row_to - row_from + 1;
    auto column_count = [&](int x) {
        int count = 0;
        for (int r = row_from; r <= row_to; ++r) count += image.black(x, r) ? 1 : 0;
        return count;
    };
    int cached_column = -2;
    int left_count = 0;
    int right_count = 0;
    out.unit = kBandUnit;
    double edge = -0.5;     // where the current run began, in samples
    double previous = 0.0;  // coverage of the sample before
    int run_samples = 0;
    int last_sample = 0;
    for (int n = 0; n < max_samples; ++n) {
        const double cx = x + 0.5 * n * fx;
        const double cy = y + 0.5 * n * fy;
        const int px = static_cast<int>(std::floor(cx + 0.5));
        const int py = static_cast<int>(std::floor(cy + 0.5));
        if (!image.inside(px, py)) {
            if (!started) return false;
            break;
        }
        // Coverage of black along the band, each sample interpolated between its four pixels.
        double black = 0.0;
        double seen = 0.0;
        if (axis) {
            // Reading along a row: whole columns of the band, interpolated between two columns.
            const int x0 = static_cast<int>(std::floor(cx));
            const double ax = cx - x0;
            if (x0 < 0 || x0 + 1 >= image.width) {
                if (!started) return false;
                break;
            }
            if (x0 != cached_column) {
                cached_column = x0;
                left_count = column_count(x0);
                right_count = column_count(x0 + 1);
            }
            black = (1 - ax) * left_count + ax * right_count;
            seen = band_rows;
        } else {
            for (int k = -half; k <= half; ++k) {
                const double sx = cx + k * bx;
                const double sy = cy + k * by;
                const int x0 = static_cast<int>(std::floor(sx));
                const int y0 = static_cast<int>(std::floor(sy));
                const double ax = sx - x0;
                const double ay = sy - y0;
                if (x0 < 0 || y0 < 0 || x0 + 1 >= image.width || y0 + 1 >= image.height) continue;
                const double b00 = image.black(x0, y0), b10 = image.black(x0 + 1, y0);
                const double b01 = image.black(x0, y0 + 1), b11 = image.black(x0 + 1, y0 + 1);
                black += (1 - ay) * ((1 - ax) * b00 + ax * b10) + ay * ((1 - ax) * b01 + ax * b11);
                seen += 1.0;
            }
        }
        if (seen == 0.0) {
            if (!started) return false;
            break;
        }
        const double coverage = black / seen;
        const std::uint8_t color = coverage > 0.5 ? kBlack : kWhite;
        if (!started) {
            current = Run{px, py, 0, color};
            started = true;
            run_samples = 1;
            previous = coverage;
            last_sample = n;
            continue;
        }
        last_sample = n;
        if (color == current.color) {
            ++run_samples;
            previous = coverage;
            if (max_run > 0 && run_samples > max_run) break;
            continue;
        }
        // The edge lies where the coverage crosses one half between the two samples.
        const double cross = (n - 1) + (previous - 0.5) / (previous - coverage);
        current.length = std::max(1, static_cast<int>(std::lround((cross - edge) * 0.5 * kBandUnit)));
        out.runs.push_back(current);
        edge = cross;
        current = Run{px, py, 0, color};
        run_samples = 1;
        previous = coverage;
    }
    current.length = std::max(1, static_cast<int>(std::lround((last_sample + 0.5 - edge) * 0.5 * kBandUnit)));
    out.runs.push_back(current);
    return true;
}

void merge_noise(RunList& list, int width) {
    // The width is in pixels; band runs measure in eighths of a pixel.
    const long long limit = static_cast<long long>(width) * list.unit;
    const std::size_t kept = barcode::merge_narrow_runs(list.runs.data(), list.runs.size(), limit,
                                                        [](Run& run) -> int& { return run.length; });
    list.runs.resize(kept);
}

std::vector<Segment> candidate_segments(const RunList& list, int min_runs) {
    std::vector<Segment> out;
    const int n = list.size();
    int begin = 0;
    for (int i = 1; i <= n; ++i) {
        bool cut = i == n;
        if (!cut) {
            const int a = list.length(i - 1);
            const int b = list.length(i);
            const int big = std::max(a, b);
            const int small = std::max(1, std::min(a, b));
            cut = big / small > kSegmentJump;
        }
        if (cut) {
            if (i - begin >= min_runs) out.push_back(Segment{begin, i});
            begin = i;
        }
    }
    return out;
}

}  // namespace stripescan
