#include "marks/printed/dark_regions.h"

#include <algorithm>
#include <cstdint>
#include <limits>

namespace typemark {

namespace {

struct Run {
    int start, end;  // inclusive columns
    int label;
};

struct Accumulator {
    long long count = 0, sumX = 0, sumY = 0;
    int minX = std::numeric_limits<int>::max(), maxX = -1;
    int minY = std::numeric_limits<int>::max(), maxY = -1;

    void add_run(int start, int end, int y) {
        const long long n = end - start + 1;
        count += n;
        sumX += (static_cast<long long>(start) + end) * n / 2;
        sumY += static_cast<long long>(y) * n;
        minX = std::min(minX, start);
        maxX = std::max(maxX, end);
        minY = std::min(minY, y);
        maxY = std::max(maxY, y);
    }
    void absorb(const Accumulator& o) {
        count += o.count;
        sumX += o.sumX;
        sumY += o.sumY;
        minX = std::min(minX, o.minX);
        maxX = std::max(maxX, o.maxX);
        minY = std::min(minY, o.minY);
        maxY = std::max(maxY, o.maxY);
    }
};

// Raw dark runs of one row (inclusive columns), light bytes skipped whole.
void raw_runs(const std::uint8_t* row, int width, std::vector<Run>& out) {
    out.clear();
    const int bytes = WorkingImage::stride_for(width);
    int start = -1;
    for (int b = 0; b < bytes; ++b) {
        const std::uint8_t v = row[b];
        const int base = b * 8;
        if (v == 0xFF) {
            if (start >= 0) { out.push_back({start, base - 1, 0}); start = -1; }
            continue;
        }
        if (v == 0x00 && base + 8 <= width) {
            if (start < 0) start = base;
            continue;
        }
        for (int k = 0; k < 8; ++k) {
            const int x = base + k;
            if (x >= width) break;
            const bool dark = (v & (0x80u >> k)) == 0;
            if (dark) {
                if (start < 0) start = x;
            } else if (start >= 0) {
                out.push_back({start, x - 1, 0});
                start = -1;
            }
        }
    }
    if (start >= 0) out.push_back({start, width - 1, 0});
}

// Applies the length and merge rules to the raw runs of one row.
void counting_runs(const std::vector<Run>& raw, const RunRules& rules, std::vector<Run>& out) {
    out.clear();
    bool open = false, merged = false;
    Run current{0, 0, 0};
    auto close = [&]() {
        if (!open) return;
        const int length = current.end - current.start + 1;
        const bool keep = merged ? length < rules.maxLength : length <= rules.maxLength;
        if (keep) out.push_back(current);
        open = false;
    };
    for (const Run& r : raw) {
        const int length = r.end - r.start + 1;
        if (length < rules.minLength || length > rules.maxLength) continue;
        if (open && r.start - current.end <= rules.mergeGap) {
            current.end = r.end;
            merged = true;
            continue;
        }
        close();
        current = r;
        open = true;
        merged = false;
    }
    close();
}

class Labels {
public:
    int make() {
        parent_.push_back(static_cast<int>(parent_.size()));
        stats_.emplace_back();
        return parent_.back();
    }
    int find(int a) {
        while (parent_[static_cast<std::size_t>(a)] != a) {
            auto& p = parent_[static_cast<std::size_t>(a)];
            p = parent_[static_cast<std::size_t>(p)];
            a = p;
        }
        return a;
    }
    // Joins two regions into the earlier one; returns the survivor.
    int join(int a, int b) {
        a = find(a);
        b = find(b);
        if (a == b) return a;
        if (b < a) std::swap(a, b);
        parent_[static_cast<std::size_t>(b)] = a;
        stats_[static_cast<std::size_t>(a)].absorb(stats_[static_cast<std::size_t>(b)]);
        stats_[static_cast<std::size_t>(b)] = Accumulator{};
        return a;
    }
    Accumulator& stats(int root) { return stats_[static_cast<std::size_t>(root)]; }
    std::size_t size() const { return parent_.size(); }
    bool is_root(int a) const { return parent_[static_cast<std::size_t>(a)] == a; }

private:
    std::vector<int> parent_;
    std::vector<Accumulator> stats_;
};

}  // namespace

RunRules printed_mark_rules(int dpm) {
    return RunRules{std::max(1, dpm / 4), 100 * dpm, dpm / 4 + 1, 10};
}

std::vector<Region> find_dark_regions(const WorkingImage& image, const RunRules& rules) {
    Labels labels;
    std::vector<Run> raw, previous, current;
    for (int y = 0; y < image.height(); ++y) {
        raw_runs(image.row(y), image.width(), raw);
        counting_runs(raw, rules, current);
        std::size_t p = 0;
        for (Run& run : current) {
            // Previous-row runs that end before this one starts cannot touch later runs either.
            while (p < previous.size() && previous[p].end < run.start) ++p;
            int label = -1;
            for (std::size_t q = p; q < previous.size() && previous[q].start <= run.end; ++q) {
                label = (label < 0) ? labels.find(previous[q].label) : labels.join(label, previous[q].label);
            }
            if (label < 0) label = labels.make();
            run.label = label;
            labels.stats(labels.find(label)).add_run(run.start, run.end, y);
        }
        for (Run& run : current) run.label = labels.find(run.label);
        std::swap(previous, current);
    }

    std::vector<Region> regions;
    for (std::size_t i = 0; i < labels.size(); ++i) {
        const int id = static_cast<int>(i);
        if (!labels.is_root(id)) continue;
        const Accumulator& a = labels.stats(id);
        if (a.count < rules.minPixels || a.count <= 0) continue;
        Region r;
        r.pixels = static_cast<int>(std::min<long long>(a.count, std::numeric_limits<int>::max()));
        r.cx = static_cast<int>(a.sumX / a.count);
        r.cy = static_cast<int>(a.sumY / a.count);
        r.minX = a.minX;
        r.maxX = a.maxX;
        r.minY = a.minY;
        r.maxY = a.maxY;
        r.width = a.maxX - a.minX + 1;
        r.height = a.maxY - a.minY + 1;
        regions.push_back(r);
    }
    return regions;
}

}  // namespace typemark
