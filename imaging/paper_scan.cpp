#include "imaging/paper_scan.h"

#include "imaging/bitmap.h"
#include "imaging/colour.h"

#include <algorithm>
#include <cstdlib>

namespace skewtrim {

namespace {
constexpr int kPaperRowPixels = 150;  // a paper row has more bright pixels than this
constexpr int kBandHalfWidth = 9;     // rule 255: background is level +- (this - 1)
constexpr int kRunLength = 6;         // points per run at most
constexpr int kRunMinimum = 4;        // shorter runs are dropped
constexpr int kRunGap = 6;            // a larger step in x or y starts a new run
}  // namespace

int GreyView::operator()(int x, int y) const {
    const std::uint8_t* row = bmp_.rows[y];
    switch (bmp_.bitCount) {
        case 8: return row[x];
        case 1: return bit_at(row, x) ? 255 : 0;
        default: return grey_of_bgr(row + 3 * x);
    }
}

PaperTest PaperTest::make(int level, int rule) {
    PaperTest t;
    if (rule == 255) {
        t.band = true;
        t.low = std::max(level - kBandHalfWidth, 0);
        t.high = std::min(level + kBandHalfWidth, 255);
    } else {
        t.low = level;
    }
    return t;
}

int measure_level(const GreyView& grey) {
    const int w = grey.width();
    // Narrow images repeat columns rather than read outside the row.
    const int columns[4] = {0, std::min(1, w - 1), std::max(w - 2, 0), w - 1};
    std::int64_t sum = 0;
    for (int y = 0; y < grey.height(); ++y) {
        for (int x : columns) {
            sum += grey(x, y);
        }
    }
    const double mean = static_cast<double>(sum) / (4.0 * grey.height());
    return static_cast<int>(mean + 0.5);
}

namespace {
bool is_paper_row(const GreyView& grey, int low, int y) {
    int count = 0;
    for (int x = 0; x < grey.width(); ++x) {
        if (grey(x, y) > low && ++count > kPaperRowPixels) {
            return true;
        }
    }
    return false;
}
}  // namespace

int find_paper_rows(const GreyView& grey, int low, int& bottom, int& top) {
    const int h = grey.height();
    bottom = -1;
    for (int y = 0; y < h; ++y) {
        if (is_paper_row(grey, low, y)) {
            bottom = y;
            break;
        }
    }
    if (bottom < 0) {
        return kNoPaper;
    }
    if (bottom == h - 1) {
        top = bottom;
        return kOk;
    }
    for (int y = h - 1; y > bottom; --y) {
        if (is_paper_row(grey, low, y)) {
            top = y;
            return kOk;
        }
    }
    return kNoPaper;
}

void RunBuilder::add(Point p) {
    if (count_ > 0) {
        const Point& last = edge_.points.back();
        if (count_ == kRunLength || std::abs(p.x - last.x) > kRunGap || std::abs(p.y - last.y) > kRunGap) {
            close();
        }
    }
    if (count_ == 0) {
        start_ = static_cast<int>(edge_.points.size());
    }
    edge_.points.push_back(p);
    ++count_;
}

void RunBuilder::close() {
    if (count_ == 0) {
        return;
    }
    if (count_ >= kRunMinimum) {
        int sx = 0;
        int sy = 0;
        for (int i = start_; i < start_ + count_; ++i) {
            sx += edge_.points[static_cast<size_t>(i)].x;
            sy += edge_.points[static_cast<size_t>(i)].y;
        }
        Run run;
        run.count = run.countCopy = count_;
        run.first = start_;
        run.centroid = {sx / count_, sy / count_};
        edge_.runs.push_back(run);
        edge_.runPoints += count_;
    } else {
        edge_.points.resize(static_cast<size_t>(start_));
    }
    count_ = 0;
}

void scan_side_edges(const GreyView& grey, const PaperTest& paper, int bottom, int top, Edge& left, Edge& right) {
    RunBuilder leftRuns(left);
    RunBuilder rightRuns(right);
    const int w = grey.width();
    for (int y = bottom; y <= top; ++y) {
        int x = 0;
        while (x < w && !paper(grey(x, y))) {
            ++x;
        }
        if (x == w) {
            continue;  // a row without paper gives no points
        }
        leftRuns.add({x, y});
        int xr = w - 1;
        while (!paper(grey(xr, y))) {
            --xr;
        }
        rightRuns.add({xr, y});
    }
    leftRuns.finish();
    rightRuns.finish();
}

void scan_end_edges(const GreyView& grey, const PaperTest& paper, int bottom, int top, int fromX, int toX,
                    Edge& bottomEdge, Edge& topEdge) {
    RunBuilder bottomRuns(bottomEdge);
    RunBuilder topRuns(topEdge);
    for (int x = fromX; x >= toX; --x) {
        int y = bottom;
        while (y <= top && !paper(grey(x, y))) {
            ++y;
        }
        if (y > top) {
            continue;
        }
        bottomRuns.add({x, y});
        int yt = top;
        while (!paper(grey(x, yt))) {
            --yt;
        }
        topRuns.add({x, yt});
    }
    bottomRuns.finish();
    topRuns.finish();
}

Extreme find_extreme(const Edge& edge, ExtremeKind kind) {
    Extreme best;
    for (size_t r = 0; r < edge.runs.size(); ++r) {
        const Run& run = edge.runs[r];
        if (run.count != kRunLength) {
            continue;
        }
        for (int i = run.first; i < run.first + run.count; ++i) {
            const Point& p = edge.points[static_cast<size_t>(i)];
            const int ri = static_cast<int>(r);
            if (!best.found()) {
                best = {p, ri, ri};
                continue;
            }
            switch (kind) {
                case ExtremeKind::kLeft:
                case ExtremeKind::kBottom: {
                    const int v = kind == ExtremeKind::kLeft ? p.x : p.y;
                    const int b = kind == ExtremeKind::kLeft ? best.at.x : best.at.y;
                    if (v < b) {
                        best = {p, ri, ri};
                    } else if (v == b) {
                        best.lastRun = ri;
                    }
                    break;
                }
                case ExtremeKind::kTop:
                    if (p.y > best.at.y) {
                        best = {p, ri, ri};
                    } else if (p.y == best.at.y) {
                        best.lastRun = ri;
                    }
                    break;
                case ExtremeKind::kRight:
                    // The last point reaching the largest x decides, and both indices are its run.
                    if (p.x >= best.at.x) {
                        best = {p, ri, ri};
                    }
                    break;
            }
        }
    }
    return best;
}

}  // namespace skewtrim
