// Test support: a symbol's runs read by one symbology's reader, as the search hands it over.
#pragma once

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "barcode/linear/runs.h"
#include "barcode/linear/symbol_cursor.h"
#include "barcode/linear/symbology.h"

namespace stripescan {

// Reads `runs` (the symbol from run 1 to the run before the last) with symbology `number`,
// reversed once when the reader asks for it; "(none)" when it does not read. `contrastLine`: as a
// fan line by local contrast. `eanLines`: the digits of the earlier lines of the same fan
// (EAN/UPC), or null.
inline std::string read_runs(int number, RunList runs, int sendCheck = 1, bool contrastLine = false,
                             EanFanLines* eanLines = nullptr) {
    const Symbology* symbology = find_symbology(number);
    ReadOptions options;
    options.setting = SymbologySetting{number, 0, 0, sendCheck, 0, 0};
    options.contrastLine = contrastLine;
    options.widthClasses = contrastLine;
    options.eanLines = eanLines;
    Decoded out;
    int first = 1;
    int last = runs.size() - 2;
    ReadOutcome outcome = symbology->read(SymbolCursor(runs, first, last), *symbology, options, out);
    if (outcome == ReadOutcome::TryReversed) {
        reverse_runs(runs, first, last);
        out = Decoded{};
        outcome = symbology->read(SymbolCursor(runs, first, last), *symbology, options, out);
    }
    return outcome == ReadOutcome::Read ? out.text : std::string("(none)");
}

// The runs between two quiet zones of `quietModules` modules whose element edges lie at `edges`
// (in modules from the first bar's leading edge, ascending): bar, space, bar ... with lengths of
// `modulePx` pixels per module at `unit` length units per pixel, each at least one unit long.
inline RunList runs_from_edges(const std::vector<double>& edges, double modulePx, int unit,
                               double quietModules) {
    RunList list;
    list.unit = unit;
    const double perModule = modulePx * unit;
    list.runs.push_back(Run{0, 0, static_cast<int>(quietModules * perModule), kWhite});
    for (std::size_t e = 1; e < edges.size(); ++e)
        list.runs.push_back(
            Run{0, 0, std::max(1, static_cast<int>(std::lround((edges[e] - edges[e - 1]) * perModule))),
                e % 2 == 1 ? kBlack : kWhite});
    list.runs.push_back(Run{0, 0, static_cast<int>(quietModules * perModule), kWhite});
    return list;
}

}  // namespace stripescan
