#pragma once
// Bars that a local threshold starved: a narrow bar beside wide, dark ones falls under the
// threshold that follows their darkness and is left as a thin line or dots along its middle.
// Its width is lost; its middle is not.

#include "barcode/linear/runs.h"

namespace stripescan {

// Bars of `runs` (not the first or last run) narrower than kStarvedBarShare of `module` (pixels)
// are widened to one module about their middle, each neighbouring space giving up half of the
// difference; a space that would keep less than kStarvedSpaceShare of a module gives nothing and
// leaves the bar as it was. Answers the number of bars widened; 0 (runs unchanged) when `module`
// is not positive.
int restore_starved_bars(RunList& runs, double module);

}  // namespace stripescan
