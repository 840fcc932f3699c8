#pragma once
// A small bitmap font for labels: printable ASCII in 5 x 7 dot glyphs, each
// in a 6 x 8 cell (one blank column and row for spacing). Other bytes are
// drawn as '?'. Glyphs are scaled by whole pixels, across and down apart, so
// that text stays upright on pictures whose rows are sampled more coarsely.

#include <string>
#include <string_view>

#include "raster.h"

namespace annotate {

inline constexpr int kGlyphCellWidth = 6;   // dots, glyph plus spacing
inline constexpr int kGlyphCellHeight = 8;  // dots

struct TextScale {
    int across = 1;  // pixels per dot along a row
    int down = 1;    // rows per dot
};

// Width and height in pixels of `text` drawn at `scale` (one line).
long long text_width(std::string_view text, TextScale scale);
long long text_height(TextScale scale);

// Draws `text` with its cell's top-left corner at (x, y); pixels outside the
// raster are dropped.
void draw_text(Raster& raster, long long x, long long y, std::string_view text, TextScale scale, Rgb colour);

// Draws `text` on a filled background box whose top-left corner is as near
// (x, y) as keeps the whole box inside the raster (a box larger than the
// raster starts at its left or top edge and is clipped).
void draw_label(Raster& raster, long long x, long long y, std::string_view text, TextScale scale, Rgb ink,
                Rgb background);

// `text` with every byte the font has no glyph for replaced by '?', cut to
// at most `maxChars` characters (the last three then "...").
std::string printable(std::string_view text, std::size_t maxChars);

}  // namespace annotate
