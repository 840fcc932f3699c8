// Test support: a symbol's runs read by one symbology's reader, as the search hands it over.
#pragma once

#include <string>

#include "barcode/linear/runs.h"
#include "barcode/linear/symbol_cursor.h"
#include "barcode/linear/symbology.h"

namespace stripescan {

// Reads `runs` (the symbol from run 1 to the run before the last) with symbology `number`,
// reversed once when the reader asks for it; "(none)" when it does not read.
inline std::string read_runs(int number, RunList runs, int sendCheck = 1, bool contrastLine = false) {
    const Symbology* symbology = find_symbology(number);
    ReadOptions options;
    options.setting = SymbologySetting{number, 0, 0, sendCheck, 0, 0};
    options.contrastLine = contrastLine;
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

}  // namespace stripescan
