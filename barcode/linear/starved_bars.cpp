#include "barcode/linear/starved_bars.h"

namespace stripescan {
namespace {

constexpr double kStarvedBarShare = 0.6;    // of a module: a printed bar is never this narrow
constexpr double kStarvedSpaceShare = 0.5;  // of a module: what each neighbouring space keeps

}  // namespace

int restore_starved_bars(RunList& runs, double module) {
    if (!(module > 0.0)) return 0;
    const double unitModule = module * runs.unit;
    int widened = 0;
    for (std::size_t k = 1; k + 1 < runs.runs.size(); ++k) {
        Run& bar = runs.runs[k];
        if (bar.color != kBlack || bar.length >= kStarvedBarShare * unitModule) continue;
        Run& before = runs.runs[k - 1];
        Run& after = runs.runs[k + 1];
        const int missing = static_cast<int>(unitModule + 0.5) - bar.length;
        const int fromBefore = missing / 2;
        const int fromAfter = missing - fromBefore;
        if (before.length - fromBefore < kStarvedSpaceShare * unitModule ||
            after.length - fromAfter < kStarvedSpaceShare * unitModule)
            continue;
        before.length -= fromBefore;
        after.length -= fromAfter;
        bar.length += missing;
        ++widened;
    }
    return widened;
}

}  // namespace stripescan
