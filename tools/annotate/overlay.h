#pragma once
// What was read on a picture, in the picture's own pixels, and the drawing
// of it: each barcode symbol outlined and labelled with its symbology and
// text, each mark cell boxed in the colour of its state, the guides the form
// was fitted by, and the form number and orientation written in a corner.

#include <optional>
#include <string>
#include <vector>

#include "drawing.h"
#include "font.h"
#include "kit/MarkLayout.h"
#include "raster.h"

namespace annotate {

// One barcode symbol: its corner quadrilateral in picture pixels, in order
// around the symbol.
struct SymbolOutline {
    std::string symbology;  // "EAN-13", "PDF417", ...
    std::string text;       // the decoded bytes (shown with unprintable bytes as '?')
    Point corners[4];
};

// A mark reader's fitted form, copied out of its MarkLayout record.
struct MarkOverlay {
    int form = 0;
    int orientation = MARK_ORIENTATION_UPRIGHT;
    int levelCount = 1;
    int rows = 0, columns = 0;
    std::vector<MarkCell> cells;
    std::vector<MarkGuide> guides;
};

struct Overlay {
    std::vector<SymbolOutline> symbols;
    std::optional<MarkOverlay> marks;
};

struct RenderOptions {
    // Rows per dot across: 1 for square pixels, 0.5 for a picture scanned at
    // 4 lines/mm with 8 dots/mm across (text and pens are halved down it).
    double rowsPerDot = 1.0;
};

// Colours of the overlay (red, green, blue).
inline constexpr Rgb kSymbolColour{220, 0, 0};
inline constexpr Rgb kMarkedColour{0, 160, 0};
inline constexpr Rgb kEmptyColour{30, 90, 230};
inline constexpr Rgb kDoubtfulColour{245, 130, 0};
inline constexpr Rgb kOtherStateColour{150, 150, 150};  // a state number the kit does not define
inline constexpr Rgb kGuideColour{200, 0, 200};
inline constexpr Rgb kLabelInk{255, 255, 255};
inline constexpr Rgb kCornerInk{0, 0, 0};
inline constexpr Rgb kCornerBackground{255, 255, 160};

// The colour a cell is boxed in: by its state at the first level.
Rgb state_colour(int state);

// The text written in the top-left corner for a fitted form:
// "form 2, turned 90 degrees" (upright: "form 2, upright").
std::string form_caption(const MarkOverlay& marks);

// Pen width and text scale for a raster `width` pixels wide.
int pen_width(int width);
TextScale label_scale(int width, double rowsPerDot);

// The picture in grey with `overlay` drawn over it; an empty raster when the
// picture is not usable (see usable()). Anything in the overlay, however far
// off or malformed, is clipped to the raster.
Raster render(const PictureView& picture, const Overlay& overlay, const RenderOptions& options = {});

// Draws `overlay` onto an existing raster.
void draw_overlay(Raster& raster, const Overlay& overlay, const RenderOptions& options = {});

}  // namespace annotate
