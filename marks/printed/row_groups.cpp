#include "marks/printed/row_groups.h"

#include <algorithm>
#include <cstdlib>

namespace typemark {

std::vector<const Region*> select_candidates(const std::vector<Region>& regions, int markWidth,
                                             int markHeight, int dpm) {
    int f = markWidth - dpm;
    if (f <= 0) f = markWidth / 2;
    int g = markHeight - dpm;
    if (g <= 0) g = markHeight / 2;
    const long long minPixels = static_cast<long long>(f) * g;
    const long long maxPixels = static_cast<long long>(dpm + markWidth) * (dpm + markHeight);
    std::vector<const Region*> out;
    for (const Region& r : regions) {
        if (r.pixelCount < minPixels || r.pixelCount > maxPixels) continue;
        if (r.width < f || r.width > dpm + markWidth) continue;
        if (r.height < g || r.height > dpm + markHeight) continue;
        out.push_back(&r);
    }
    return out;
}

std::vector<RowGroup> group_rows(const std::vector<const Region*>& candidates, int dpm) {
    std::vector<RowGroup> rows;
    const Region* previous = nullptr;
    for (const Region* r : candidates) {
        if (previous == nullptr || std::abs(r->centroidY - previous->centroidY) >= dpm) rows.emplace_back();
        rows.back().push_back(r);
        previous = r;
    }
    for (RowGroup& row : rows)
        std::stable_sort(row.begin(), row.end(),
                         [](const Region* a, const Region* b) { return a->centroidX < b->centroidX; });
    return rows;
}

int row_line(const RowGroup& row) {
    if (row.empty()) return 0;
    long long sum = 0;
    for (const Region* r : row) sum += r->centroidY;
    return static_cast<int>(sum / static_cast<long long>(row.size()));
}

}  // namespace typemark
