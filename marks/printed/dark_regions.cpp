#include "marks/printed/dark_regions.h"

#include <algorithm>

namespace typemark {

marks::RunRules printed_mark_rules(int dpm) {
    marks::RunRules rules;
    rules.minLength = std::max(1, dpm / 4);
    rules.maxLength = 100 * dpm;
    rules.mergeGap = dpm / 4 + 1;
    return rules;
}

std::vector<Region> find_dark_regions(const marks::Image& image, int dpm) {
    const marks::RunRules rules = printed_mark_rules(dpm);
    marks::RegionLabeller labeller(false);
    std::vector<marks::Run> runs;
    std::vector<Region> finished;
    for (int y = 0; y < image.height; ++y) {
        marks::find_runs(image.row(y), image.width, rules, runs);
        labeller.add_line(y, runs, finished);
    }
    labeller.finish_all(finished);
    std::vector<Region> kept;
    kept.reserve(finished.size());
    for (Region& r : finished) {
        if (r.mergedInto >= 0 || r.pixelCount < kMinRegionPixels) continue;
        r.merged.clear();
        kept.push_back(std::move(r));
    }
    std::sort(kept.begin(), kept.end(), [](const Region& a, const Region& b) { return a.number < b.number; });
    return kept;
}

}  // namespace typemark
