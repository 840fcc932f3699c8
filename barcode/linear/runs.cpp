#include "barcode/linear/runs.h"

#include <algorithm>
#include <cmath>

#include "barcode/common/runs.h"

namespace stripescan {

namespace {
constexpr int kSegmentJump = 6;  // length ratio between neighbours that cuts a line
}

void reverse_runs(RunList& list, int& first, int& last) {
    std::reverse(list.runs.begin(), list.runs.end());
    const int n = list.size();
    const int f = n - 1 - last;
    last = n - 1 - first;
    first = f;
}

bool row_runs(const Image& image, int y, RunList& out) {
    out.unit = 1;
    out.runs.clear();
    if (y < 0 || y >= image.height || image.width <= 0) return false;
    thread_local std::vector<int> lengths;
    lengths.resize(static_cast<std::size_t>(image.width));
    bool dark = false;
    const int count =
        barcode::row_run_lengths(image.row(y), image.width, 0, lengths.data(), image.width, dark);
    out.runs.reserve(static_cast<std::size_t>(count));
    int x = 0;
    for (int i = 0; i < count; ++i) {
        out.runs.push_back(Run{x, y, lengths[static_cast<std::size_t>(i)], dark ? kBlack : kWhite});
        x += lengths[static_cast<std::size_t>(i)];
        dark = !dark;
    }
    return true;
}

bool line_runs(const Image& image, Point start, const std::vector<Point>& offsets, Point stop, int maxRun,
               RunList& out) {
    out.unit = 1;
    out.runs.clear();
    if (offsets.empty() || !image.inside(start.x, start.y)) return false;
    Run current{start.x, start.y, 1, image.black(start.x, start.y) ? kBlack : kWhite};
    const int sx = (stop.x > start.x) - (stop.x < start.x);
    const int sy = (stop.y > start.y) - (stop.y < start.y);
    for (std::size_t i = 1; i < offsets.size(); ++i) {
        if (maxRun > 0 && current.length > maxRun) break;
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

namespace {

// Black coverage of a band along a row: whole columns of the band's rows, counted once per
// column and interpolated between the two columns around the sample. Negative where the
// sample has no column pair inside the image.
class RowBandCoverage {
public:
    RowBandCoverage(const Image& image, double y, int half) : image_(image) {
        const int row = static_cast<int>(std::floor(y + 0.5));
        rowFrom_ = std::max(0, row - half);
        rowTo_ = std::min(image.height - 1, row + half);
    }

    double at(double cx, double) {
        const int x0 = static_cast<int>(std::floor(cx));
        const double ax = cx - x0;
        if (x0 < 0 || x0 + 1 >= image_.width) return -1.0;
        if (x0 != cachedColumn_) {
            cachedColumn_ = x0;
            leftCount_ = column_count(x0);
            rightCount_ = column_count(x0 + 1);
        }
        return ((1 - ax) * leftCount_ + ax * rightCount_) / (rowTo_ - rowFrom_ + 1);
    }

private:
    int column_count(int x) const {
        int count = 0;
        for (int r = rowFrom_; r <= rowTo_; ++r) count += image_.black(x, r) ? 1 : 0;
        return count;
    }

    const Image& image_;
    int rowFrom_ = 0;
    int rowTo_ = 0;
    int cachedColumn_ = -2;
    int leftCount_ = 0;
    int rightCount_ = 0;
};

// Black coverage of a slanted band: 2 * half + 1 points across the line (direction (bx, by)),
// one pixel apart, each interpolated between its four pixels. Negative where no point has its
// four pixels inside the image.
class SlantedBandCoverage {
public:
    SlantedBandCoverage(const Image& image, double bx, double by, int half)
        : image_(image), bx_(bx), by_(by), half_(half) {}

    double at(double cx, double cy) const {
        double black = 0.0;
        double seen = 0.0;
        for (int k = -half_; k <= half_; ++k) {
            const double sx = cx + k * bx_;
            const double sy = cy + k * by_;
            const int x0 = static_cast<int>(std::floor(sx));
            const int y0 = static_cast<int>(std::floor(sy));
            const double ax = sx - x0;
            const double ay = sy - y0;
            if (x0 < 0 || y0 < 0 || x0 + 1 >= image_.width || y0 + 1 >= image_.height) continue;
            const double b00 = image_.black(x0, y0), b10 = image_.black(x0 + 1, y0);
            const double b01 = image_.black(x0, y0 + 1), b11 = image_.black(x0 + 1, y0 + 1);
            black += (1 - ay) * ((1 - ax) * b00 + ax * b10) + ay * ((1 - ax) * b01 + ax * b11);
            seen += 1.0;
        }
        return seen == 0.0 ? -1.0 : black / seen;
    }

private:
    const Image& image_;
    double bx_, by_;
    int half_;
};

// Turns coverage samples, half a pixel apart, into runs: an edge lies where the coverage
// crosses one half, interpolated between the two samples; lengths are in kBandUnit per pixel.
class EdgeRuns {
public:
    explicit EdgeRuns(RunList& out) : out_(out) {}

    bool started() const { return started_; }

    // Adds sample n (coverage in [0, 1], centre pixel (px, py)). False when the current run
    // has grown beyond `max_run` samples (0: no limit): the line ends there.
    bool add(int n, double coverage, int px, int py, int maxRun) {
        const std::uint8_t color = coverage > 0.5 ? kBlack : kWhite;
        lastSample_ = n;
        if (!started_) {
            current_ = Run{px, py, 0, color};
            started_ = true;
            runSamples_ = 1;
            previous_ = coverage;
            return true;
        }
        if (color == current_.color) {
            ++runSamples_;
            previous_ = coverage;
            return !(maxRun > 0 && runSamples_ > maxRun);
        }
        const double cross = (n - 1) + (previous_ - 0.5) / (previous_ - coverage);
        current_.length = length_between(edge_, cross);
        out_.runs.push_back(current_);
        edge_ = cross;
        current_ = Run{px, py, 0, color};
        runSamples_ = 1;
        previous_ = coverage;
        return true;
    }

    // Closes the last run at the far side of the last sample.
    void finish() {
        current_.length = length_between(edge_, lastSample_ + 0.5);
        out_.runs.push_back(current_);
    }

private:
    static int length_between(double from, double to) {
        return std::max(1, static_cast<int>(std::lround((to - from) * 0.5 * kBandUnit)));
    }

    RunList& out_;
    Run current_;
    bool started_ = false;
    double edge_ = -0.5;     // where the current run began, in samples
    double previous_ = 0.0;  // coverage of the sample before
    int runSamples_ = 0;
    int lastSample_ = 0;
};

// Samples the band from (x, y) in steps of half a pixel along (fx, fy) with `coverage` until
// the centre or its coverage leaves the image, `max_samples` are taken, a run exceeds `max_run`
// samples, or (firstWhite > 0) the first run is complete and is black or shorter than
// `firstWhite`. False when the very first sample is outside.
template <class Coverage>
bool sample_band(const Image& image, Coverage& coverage, double x, double y, double fx, double fy,
                 int maxSamples, int maxRun, int firstWhite, RunList& out) {
    EdgeRuns runs(out);
    for (int n = 0; n < maxSamples; ++n) {
        const double cx = x + 0.5 * n * fx;
        const double cy = y + 0.5 * n * fy;
        const int px = static_cast<int>(std::floor(cx + 0.5));
        const int py = static_cast<int>(std::floor(cy + 0.5));
        const double covered = image.inside(px, py) ? coverage.at(cx, cy) : -1.0;
        if (covered < 0.0) {
            if (!runs.started()) return false;
            break;
        }
        if (!runs.add(n, covered, px, py, maxRun)) break;
        if (firstWhite > 0 && out.runs.size() == 1 &&
            (out.runs[0].color != kWhite || out.runs[0].length < firstWhite)) {
            break;
        }
    }
    runs.finish();
    return true;
}

}  // namespace

bool band_runs(const Image& image, double x, double y, double fx, double fy, int half, int maxSamples,
               int maxRun, RunList& out, int firstWhite) {
    out.runs.clear();
    out.unit = kBandUnit;
    if (fy == 0.0) {
        RowBandCoverage coverage(image, y, half);
        return sample_band(image, coverage, x, y, fx, fy, maxSamples, maxRun, firstWhite, out);
    }
    // Across the line: at right angles to the reading direction.
    SlantedBandCoverage coverage(image, -fy, fx, half);
    return sample_band(image, coverage, x, y, fx, fy, maxSamples, maxRun, firstWhite, out);
}

void merge_noise(RunList& list, int width) {
    // The width is in pixels; band runs measure in eighths of a pixel.
    const long long limit = static_cast<long long>(width) * list.unit;
    const std::size_t kept = barcode::merge_narrow_runs(list.runs.data(), list.runs.size(), limit,
                                                        [](Run& run) -> int& { return run.length; });
    list.runs.resize(kept);
}

std::vector<Segment> candidate_segments(const RunList& list, int minRuns) {
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
            if (i - begin >= minRuns) out.push_back(Segment{begin, i});
            begin = i;
        }
    }
    return out;
}

}  // namespace stripescan
