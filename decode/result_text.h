#pragma once
// Writing results into the caller's fixed text buffer: never more than capacity - 1 bytes plus
// the terminator; a result that does not fit is cut and ends with the cut mark.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "decode/barcode_reading.h"

namespace decode {

// The whole barcode text: "<name>: <text>\n" per symbol.
std::string barcode_text(const std::vector<SymbolText>& symbols);

// `full` when it fits in `capacity` bytes with its terminator; else its longest start that
// leaves room for a line break (when the start does not end with one) and the cut mark.
std::string cut_barcode_text(const std::string& full, std::size_t capacity);

// A mark text (count, then ","-led lines) that fits in `capacity` bytes with its terminator;
// else one that keeps as many of its bytes after the count as fit, with the count of the cell
// characters kept, followed by the cut mark.
std::string cut_mark_text(const std::string& full, std::size_t capacity);

// Copies `text` and a terminator into `dest` (text.size() < capacity is the caller's promise).
void write_text(const std::string& text, char* dest, std::size_t capacity);

}  // namespace decode
