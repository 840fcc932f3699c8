#include "marks/common/regions.h"

#include <algorithm>

namespace marks {

void find_runs(const std::uint8_t* line, int length, const RunRules& rules, std::vector<Run>& out) {
    out.clear();
    if (line == nullptr || length <= 0) return;
    bool haveLast = false;     // a counting run (possibly joined) is open for merging
    bool lastDropped = false;  // ... and it has been dropped for length
    Run last;
    auto emit = [&]() {
        if (haveLast && !lastDropped) out.push_back(last);
    };
    int x = 0;
    while (x < length) {
        const std::uint8_t byte = line[x >> 3];
        if ((x & 7) == 0 && byte == 0xFF) {
            x += 8;
            continue;
        }
        if ((byte >> (7 - (x & 7))) & 1) {
            ++x;
            continue;
        }
        // A dark run starts at x.
        const int start = x;
        while (x < length) {
            const std::uint8_t b = line[x >> 3];
            if ((x & 7) == 0 && b == 0x00 && x + 8 <= length) {
                x += 8;
                continue;
            }
            if ((b >> (7 - (x & 7))) & 1) break;
            ++x;
        }
        const Run run{start, x - 1};
        if (run.length() < rules.minLength || run.length() > rules.maxLength) continue;
        if (haveLast && run.start - last.end <= rules.mergeGap) {
            last.end = run.end;
            if (last.length() >= rules.maxLength) lastDropped = true;
            continue;
        }
        emit();
        haveLast = true;
        lastDropped = false;
        last = run;
    }
    emit();
}

void finish_blob(MarkBlob& blob) {
    if (blob.pixelCount > 0) {
        blob.centroidX = static_cast<std::int32_t>(blob.sumX / blob.pixelCount);
        blob.centroidY = static_cast<std::int32_t>(blob.sumY / blob.pixelCount);
    }
    blob.width = blob.maxX - blob.minX + 1;
    blob.height = blob.maxY - blob.minY + 1;
}

void RegionLabeller::reset() {
    pool_.clear();
    parent_.clear();
    lastLine_.clear();
    active_.clear();
    previous_.clear();
    current_.clear();
}

std::int32_t RegionLabeller::root(std::int32_t region) {
    std::int32_t r = region;
    while (parent_[static_cast<std::size_t>(r)] != r) r = parent_[static_cast<std::size_t>(r)];
    while (parent_[static_cast<std::size_t>(region)] != r) {
        const std::int32_t next = parent_[static_cast<std::size_t>(region)];
        parent_[static_cast<std::size_t>(region)] = r;
        region = next;
    }
    return r;
}

void RegionLabeller::merge(std::int32_t into, std::int32_t from) {
    MarkBlob& a = pool_[static_cast<std::size_t>(into)];
    MarkBlob& b = pool_[static_cast<std::size_t>(from)];
    a.pixelCount += b.pixelCount;
    a.sumX += b.sumX;
    a.sumY += b.sumY;
    a.minX = std::min(a.minX, b.minX);
    a.maxX = std::max(a.maxX, b.maxX);
    a.minY = std::min(a.minY, b.minY);
    a.maxY = std::max(a.maxY, b.maxY);
    a.merged.push_back(from);
    b.mergedInto = into;
    b.state = kBlobRejected;
    parent_[static_cast<std::size_t>(from)] = into;
    lastLine_[static_cast<std::size_t>(into)] =
        std::max(lastLine_[static_cast<std::size_t>(into)], lastLine_[static_cast<std::size_t>(from)]);
}

void RegionLabeller::add_run(std::int32_t region, int line, const Run& run) {
    MarkBlob& b = pool_[static_cast<std::size_t>(region)];
    const std::int64_t n = run.length();
    const std::int64_t along = (static_cast<std::int64_t>(run.start) + run.end) * n / 2;
    int x0 = run.start, x1 = run.end, y0 = line, y1 = line;
    if (columns_) {
        x0 = x1 = line;
        y0 = run.start;
        y1 = run.end;
        b.sumX += static_cast<std::int64_t>(line) * n;
        b.sumY += along;
    } else {
        b.sumX += along;
        b.sumY += static_cast<std::int64_t>(line) * n;
    }
    if (b.pixelCount == 0) {
        b.minX = x0;
        b.maxX = x1;
        b.minY = y0;
        b.maxY = y1;
    } else {
        b.minX = std::min(b.minX, x0);
        b.maxX = std::max(b.maxX, x1);
        b.minY = std::min(b.minY, y0);
        b.maxY = std::max(b.maxY, y1);
    }
    b.pixelCount += static_cast<std::int32_t>(n);
    lastLine_[static_cast<std::size_t>(region)] = line;
}

void RegionLabeller::finish(std::int32_t region, std::vector<MarkBlob>& finished) {
    MarkBlob& b = pool_[static_cast<std::size_t>(region)];
    finish_blob(b);
    finished.push_back(std::move(b));
    b.merged.clear();
}

void RegionLabeller::add_line(int line, const std::vector<Run>& runs, std::vector<MarkBlob>& finished) {
    current_.clear();
    std::size_t p = 0;
    for (const Run& run : runs) {
        // Previous runs wholly before this one can be passed for good (runs are sorted).
        while (p < previous_.size() && previous_[p].run.end < run.start) ++p;
        std::int32_t target = -1;
        for (std::size_t q = p; q < previous_.size() && previous_[q].run.start <= run.end; ++q) {
            const std::int32_t r = root(previous_[q].region);
            if (target < 0) {
                target = r;
            } else if (r != target) {
                const std::int32_t into = std::min(target, r);
                const std::int32_t from = std::max(target, r);
                merge(into, from);
                target = into;
            }
        }
        if (target < 0) {
            target = static_cast<std::int32_t>(pool_.size());
            MarkBlob blob;
            blob.number = target;
            pool_.push_back(std::move(blob));
            parent_.push_back(target);
            lastLine_.push_back(line);
            active_.push_back(target);
        }
        add_run(target, line, run);
        current_.push_back({run, target});
    }
    // Regions without a run on this line are finished; merged ones leave the list.
    std::vector<std::int32_t> stillOpen;
    stillOpen.reserve(active_.size());
    std::vector<std::int32_t> done;
    for (std::int32_t id : active_) {
        if (parent_[static_cast<std::size_t>(id)] != id) continue;
        if (lastLine_[static_cast<std::size_t>(id)] == line) {
            stillOpen.push_back(id);
        } else {
            done.push_back(id);
        }
    }
    std::sort(done.begin(), done.end());
    for (std::int32_t id : done) finish(id, finished);
    active_.swap(stillOpen);
    previous_.swap(current_);
}

void RegionLabeller::finish_all(std::vector<MarkBlob>& finished) {
    std::vector<std::int32_t> done;
    for (std::int32_t id : active_)
        if (parent_[static_cast<std::size_t>(id)] == id) done.push_back(id);
    std::sort(done.begin(), done.end());
    for (std::int32_t id : done) finish(id, finished);
    active_.clear();
    previous_.clear();
}

}  // namespace marks
