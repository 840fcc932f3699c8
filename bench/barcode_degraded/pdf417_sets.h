// The PDF417 classes of the degraded report that go beyond the first ones: small symbols with
// blur and ink spread after the threshold, curved and perspective rows, outer rows and patterns
// at the image edge, short symbols, damaged symbols and pages without a symbol.
#pragma once

#include <functional>

#include "barcode/common/tests/degrade.h"

namespace pdf417_sets {

// Called with every page that was missed or misread, and the name of its class or damage.
using SaveMiss = std::function<void(const barcode::degrade::BitPage& page, const char* what)>;

// Draws `perClass` symbols per class from its own generator seeded with `seed`, reads them with libStackread
// and prints a row per class; hands each missed or misread page to `saveMiss` when one is given. Clears
// `pass` when a class a person can read stays under `goal`. Returns the count of wrong texts and false
// reports. With `onlyClass`, only the classes whose name holds it are drawn (no damaged symbols
// and no pages without a symbol).
int run(int perClass, unsigned seed, double goal, bool verbose, bool& pass, const SaveMiss& saveMiss = {},
        const char* onlyClass = nullptr);

}  // namespace pdf417_sets
