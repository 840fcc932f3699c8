#pragma once
// Mark reader texts turned into the form the demo dialog formats: a decimal count of the cell
// characters, then every line of cells led by ",".

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace decode {

constexpr int kReaderCountDigits = 4;  // the readers lead their texts with four digits

// From a digit text ("DDDD" then ",cells" lines, as OMRead and OMReadSP give it): the count of
// non-"," characters after the four digits, then those lines unchanged. Nothing when the text
// does not start with four digits or holds a byte other than a digit or ",".
std::optional<std::string> digit_mark_text(std::string_view reader);

// From a reliability text (OMRead_Reliability: "DDDD", then for each grid row "," and one raw
// byte per cell; `reader` excludes the terminating zero and may hold zero bytes): the count of
// cells, then each row with its cell bytes 0 written as 1 and 44 as 45, so that the text neither
// ends early nor splits a row. Rows are found by position: a grid of R rows of C cells is
// R x (C + 1) bytes after the digits, with D = R x C. Nothing when the text fits no grid.
std::optional<std::string> reliability_mark_text(std::string_view reader);

}  // namespace decode
