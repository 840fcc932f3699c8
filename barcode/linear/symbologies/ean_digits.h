#pragma once
// The EAN/UPC digit sets shared by EAN-13, EAN-8 and UPC-E: set A (odd parity), set B (even
// parity) and set C (right half), keyed by the EAN digit key; and the EAN check digit.

#include <string>

#include "barcode/linear/keys.h"

namespace stripescan {

// The digit of the 4 runs from i in `set`, or -1.
int read_ean_digit(const RunList& runs, int i, EanSet set);

// True when the last digit of `digits` is the check digit of the others.
bool ean_check_ok(const std::string& digits);

// The key of a published 4-element digit pattern such as "3211" in `set`.
std::uint64_t ean_pattern_key(const char* widths, EanSet set);

}  // namespace stripescan
