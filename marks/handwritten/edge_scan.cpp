#include "marks/handwritten/edge_scan.h"

#include <algorithm>
#include <cstdlib>
#include <new>

#include "marks/handwritten/form_model.h"

namespace inkmark {

namespace {

constexpr int kDpm = kDotsPerMm;
constexpr marks::RunRules kRunRules{kDpm / 2, 20 * kDpm, kDpm / 2};
constexpr int kMinPixels = 100;
constexpr int kMinExtent = kDpm / 2;
constexpr int kBandStep = 12;  // 1.5 mm between band centres
constexpr int kMaxBands = 3;
constexpr int kPastFirstBand = 20 * kDpm;  // the scan ends 20 mm past the first band

bool is_row_edge(Edge e) {
    return e == kEdgeB || e == kEdgeT;
}

// A region touching both the scanned border and a side border is scanner
// background, not a mark.
bool touches_corner(Edge e, const marks::MarkBlob& b, int w, int h) {
    switch (e) {
        case kEdgeB:
            return b.maxY >= h - 1 - kDpm && (b.minX <= kDpm || b.maxX >= w - 1 - kDpm);
        case kEdgeT:
            return b.minY <= kDpm && (b.minX <= kDpm || b.maxX >= w - 1 - kDpm);
        case kEdgeL:
            return b.minX <= kDpm && (b.minY <= kDpm || b.maxY >= h - 1 - kDpm);
        default:
            return b.maxX >= w - 1 - kDpm && (b.minY <= kDpm || b.maxY >= h - 1 - kDpm);
    }
}

// Depth of the region's far side from the edge.
int far_depth(Edge e, const marks::MarkBlob& b, int w, int h) {
    switch (e) {
        case kEdgeB:
            return h - 1 - b.minY;
        case kEdgeT:
            return b.maxY;
        case kEdgeL:
            return b.maxX;
        default:
            return w - 1 - b.minX;
    }
}

class Scanner {
public:
    Scanner(const marks::Image& work, Edge edge, EdgeList& out, bool bandLimit)
        : work_(work), edge_(edge), out_(out), bandLimit_(bandLimit), labeller_(!is_row_edge(edge)) {
        out_.edge = edge;
        out_.bands.clear();
        out_.deepest = -1;
    }

    // Runs over depths [from, to]; returns when the scan ends.
    void run(int from, int to) {
        const int w = work_.width;
        const int h = work_.height;
        const int lines = is_row_edge(edge_) ? h : w;
        const int length = is_row_edge(edge_) ? w : h;
        from = std::max(from, 0);
        to = std::min(to, lines - 1);
        if (!is_row_edge(edge_)) column_.assign(static_cast<std::size_t>((length + 7) / 8), 0xFF);
        bool stopped = false;
        for (int d = from; d <= to; ++d) {
            currentDepth_ = d;
            const int line = line_index(d);
            marks::find_runs(line_bits(d), length, kRunRules, runs_);
            finished_.clear();
            labeller_.add_line(line, runs_, finished_);
            take(finished_);
            if (bandLimit_ && should_stop(d)) {
                stopped = true;
                break;
            }
        }
        if (!stopped) {
            finished_.clear();
            labeller_.finish_all(finished_);
            take(finished_);
        }
        sort_bands();
    }

private:
    // Line index in sheet coordinates (y from the last stored row, or x).
    int line_index(int depth) const {
        switch (edge_) {
            case kEdgeB:
                return work_.height - 1 - depth;
            case kEdgeT:
                return depth;
            case kEdgeL:
                return depth;
            default:
                return work_.width - 1 - depth;
        }
    }

    const std::uint8_t* line_bits(int depth) {
        switch (edge_) {
            case kEdgeB:
                return work_.row(depth);
            case kEdgeT:
                return work_.row(work_.height - 1 - depth);
            default:
                break;
        }
        // A column, packed with position y (y = 0 is the last stored row).
        const int x = edge_ == kEdgeL ? depth : work_.width - 1 - depth;
        const int h = work_.height;
        const int byteIndex = x >> 3;
        const unsigned shift = 7u - static_cast<unsigned>(x & 7);
        std::fill(column_.begin(), column_.end(), 0xFF);
        for (int y = 0; y < h; ++y) {
            if (((work_.row(h - 1 - y)[byteIndex] >> shift) & 1u) == 0)
                column_[static_cast<std::size_t>(y >> 3)] &= static_cast<std::uint8_t>(~(0x80u >> (y & 7)));
        }
        return column_.data();
    }

    void take(std::vector<marks::MarkBlob>& done) {
        const int w = work_.width;
        const int h = work_.height;
        for (marks::MarkBlob& b : done) {
            if (b.pixelCount < kMinPixels || b.width < kMinExtent || b.height < kMinExtent ||
                touches_corner(edge_, b, w, h)) {
                b.state = marks::kBlobRejected;
                continue;
            }
            if (is_row_edge(edge_)) {
                b.width = b.pixelCount / b.height;
            } else {
                b.height = b.pixelCount / b.width;
            }
            const int dist = depth_of(edge_, across(edge_, b), w, h);
            if (out_.bands.empty() || std::abs(dist - bandStart_) > kBandStep) {
                if (bandLimit_ && static_cast<int>(out_.bands.size()) >= kMaxBands) continue;
                out_.bands.emplace_back();
                bandStart_ = dist;
                if (out_.bands.size() == kMaxBands) thirdBandLine_ = currentDepth_;
            }
            if (out_.bands.size() == 1) firstBandFar_ = std::max(firstBandFar_, far_depth(edge_, b, w, h));
            b.state = marks::kBlobKept;
            out_.deepest = std::max(out_.deepest, dist);
            out_.bands.back().push_back(std::move(b));
        }
    }

    bool should_stop(int depth) {
        if (thirdBandLine_ >= 0 && depth >= thirdBandLine_ + kDpm) return true;
        if (!out_.bands.empty() && depth > firstBandFar_ + kPastFirstBand) return true;
        return false;
    }

    void sort_bands() {
        for (auto& band : out_.bands) {
            std::stable_sort(band.begin(), band.end(),
                             [this](const marks::MarkBlob& a, const marks::MarkBlob& b) {
                                 return onward(edge_) * along(edge_, a) < onward(edge_) * along(edge_, b);
                             });
        }
    }

    const marks::Image& work_;
    Edge edge_;
    EdgeList& out_;
    bool bandLimit_;
    marks::RegionLabeller labeller_;
    std::vector<marks::Run> runs_;
    std::vector<marks::MarkBlob> finished_;
    std::vector<std::uint8_t> column_;
    int bandStart_ = 0;
    int thirdBandLine_ = -1;
    int currentDepth_ = 0;
    int firstBandFar_ = 0;
};

}  // namespace

int across(Edge edge, const marks::MarkBlob& b) {
    return is_row_edge(edge) ? b.centroidY : b.centroidX;
}
int along(Edge edge, const marks::MarkBlob& b) {
    return is_row_edge(edge) ? b.centroidX : b.centroidY;
}
int inward(Edge edge) {
    return (edge == kEdgeL || edge == kEdgeT) ? 1 : -1;
}
int onward(Edge edge) {
    return (edge == kEdgeB || edge == kEdgeL) ? 1 : -1;
}

int depth_of(Edge edge, int c, int width, int height) {
    switch (edge) {
        case kEdgeB:
            return height - 1 - c;
        case kEdgeT:
            return c;
        case kEdgeL:
            return c;
        default:
            return width - 1 - c;
    }
}

bool scan_edge(const marks::Image& work, Edge edge, EdgeList& out) {
    try {
        Scanner scanner(work, edge, out, true);
        scanner.run(edge == kEdgeB ? 1 : 0, 1 << 30);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

bool scan_band(const marks::Image& work, Edge edge, int fromDepth, int toDepth, EdgeList& out) {
    try {
        Scanner scanner(work, edge, out, false);
        scanner.run(std::max(fromDepth, edge == kEdgeB ? 1 : 0), toDepth);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

}  // namespace inkmark
