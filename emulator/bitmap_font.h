#pragma once
// A 5 x 7 dot font for the printable ASCII characters, in a 6 x 8 cell.

#include <cstdint>

namespace emu {

constexpr int kGlyphColumns = 5;
constexpr int kGlyphRows = 7;
constexpr int kCellColumns = 6;
constexpr int kCellRows = 8;

// True when dot (column, row) of the glyph for byte `c` is inked. Bytes
// outside 0x20..0x7E print as a small box.
bool glyph_dot(std::uint8_t c, int column, int row);

}  // namespace emu
