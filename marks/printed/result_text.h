#pragma once
// The result text of a read block.

#include <string>

#include "marks/printed/block_fit.h"

namespace typemark {

// Four digits of rows x columns (modulo 10000), then the cells grouped into lines of the
// sheet as the orientation requires:
//   0: each row 0 .. R-1, columns 0 .. C-1      1: each column 0 .. C-1, rows R-1 .. 0
//   2: each row R-1 .. 0, columns C-1 .. 0      3: each column C-1 .. 0, rows 0 .. R-1
// (R, C and the grid as the orientation adapted them), every line led by ','.
// The terminating zero is not part of the string.
std::string result_text(const CellGrid& grid, int orientation);

}  // namespace typemark
