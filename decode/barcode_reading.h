#pragma once
// Barcodes on a picture: the eight linear symbologies through Stripescan and one PDF417 symbol
// through stackread, on the same square-pixel copy of the picture.

#include <string>
#include <vector>

#include "decode/picture.h"
#include "decode/reader_libraries.h"

namespace decode {

struct SymbolText {
    std::string symbology;  // the display name, e.g. "EAN-13"
    std::string text;       // the decoded bytes as the line shows them
};

// The display name of a Stripescan symbology number, or nullptr for a number it never reports
// under the request the dispatcher makes.
const char* symbology_name(int number);

// The symbols on `picture` (square pixels), linear ones first in the reader's order, then the
// PDF417 symbol if one was read. Empty when nothing was found or a reader ran out of memory.
std::vector<SymbolText> read_barcodes(const BarcodeEntries& readers, const Picture& picture);

// The text of one linear result as the line shows it: UPC-A loses the leading 0 of its EAN-13
// form; bytes that would end the text or the line become '?'.
std::string line_text(int number, const std::uint8_t* bytes, int length);

}  // namespace decode
