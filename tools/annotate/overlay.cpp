// Drawing what was read over the grey picture.

#include "overlay.h"

#include <algorithm>
#include <cmath>

#include "font.h"

namespace annotate {

namespace {

constexpr int kPenWidthDivisor = 320;    // raster width / this = pen width in pixels
constexpr int kMaxPenWidth = 8;          // pixels
constexpr std::size_t kLabelChars = 64;  // characters of a symbol label before it is cut
constexpr int kLabelGap = 2;             // pixels between a symbol and its label

Point corner(const MarkQuad& q, int i) {
    return {q.x[i], q.y[i]};
}

void draw_quad(Raster& r, const MarkQuad& q, int pen, Rgb colour) {
    const Point pts[4] = {corner(q, 0), corner(q, 1), corner(q, 2), corner(q, 3)};
    draw_outline(r, pts, 4, pen, colour);
}

void draw_symbol(Raster& r, const SymbolOutline& s, int pen, TextScale scale) {
    draw_outline(r, s.corners, 4, pen, kSymbolColour);
    // The label sits above the symbol's topmost corner, at its leftmost x.
    double top = s.corners[0].y, left = s.corners[0].x;
    for (const Point& p : s.corners) {
        if (!std::isnan(p.y)) top = std::isnan(top) ? p.y : std::min(top, p.y);
        if (!std::isnan(p.x)) left = std::isnan(left) ? p.x : std::min(left, p.x);
    }
    if (std::isnan(top) || std::isnan(left)) return;
    // Cut to what fits across the raster, so that the label's start stays by the symbol.
    const long long fits =
        (r.width - 2LL * scale.across) / (static_cast<long long>(kGlyphCellWidth) * scale.across);
    const auto chars = static_cast<std::size_t>(std::clamp<long long>(fits, 4, kLabelChars));
    const std::string text = printable(s.symbology + ": " + s.text, chars);
    const double h = static_cast<double>(text_height(scale));
    // Kept within a range where the conversions below are exact; draw_label then
    // moves the box inside the raster.
    const double limit = 1e9;
    const auto x = static_cast<long long>(std::clamp(left, -limit, limit));
    const auto y = static_cast<long long>(std::clamp(top - h - kLabelGap - pen, -limit, limit));
    draw_label(r, x, y, text, scale, kLabelInk, kSymbolColour);
}

}  // namespace

Rgb state_colour(int state) {
    switch (state) {
        case MARK_STATE_MARKED:
            return kMarkedColour;
        case MARK_STATE_EMPTY:
            return kEmptyColour;
        case MARK_STATE_DOUBTFUL:
            return kDoubtfulColour;
        default:
            return kOtherStateColour;
    }
}

std::string form_caption(const MarkOverlay& m) {
    std::string s = "form " + std::to_string(m.form) + ", ";
    switch (m.orientation) {
        case MARK_ORIENTATION_UPRIGHT:
            return s + "upright";
        case MARK_ORIENTATION_QUARTER:
            return s + "turned 90 degrees";
        case MARK_ORIENTATION_HALF:
            return s + "turned 180 degrees";
        case MARK_ORIENTATION_THREE_QUARTERS:
            return s + "turned 270 degrees";
        default:
            return s + "orientation " + std::to_string(m.orientation);
    }
}

int pen_width(int width) {
    return std::clamp(width / kPenWidthDivisor, 1, kMaxPenWidth);
}

TextScale label_scale(int width, double rowsPerDot) {
    const int across = std::clamp(width / kPenWidthDivisor, 1, kMaxPenWidth);
    if (!(rowsPerDot > 0) || rowsPerDot > 1) rowsPerDot = 1;
    return {across, std::max(1, static_cast<int>(std::lround(across * rowsPerDot)))};
}

void draw_overlay(Raster& r, const Overlay& overlay, const RenderOptions& options) {
    if (r.empty()) return;
    const int pen = pen_width(r.width);
    const TextScale scale = label_scale(r.width, options.rowsPerDot);
    if (overlay.marks) {
        const MarkOverlay& m = *overlay.marks;
        for (const MarkGuide& g : m.guides) draw_quad(r, g.box, pen, kGuideColour);
        for (const MarkCell& c : m.cells) draw_quad(r, c.box, pen, state_colour(c.state[0]));
        draw_label(r, 0, 0, form_caption(m), scale, kCornerInk, kCornerBackground);
    }
    for (const SymbolOutline& s : overlay.symbols) draw_symbol(r, s, pen, scale);
}

Raster render(const PictureView& picture, const Overlay& overlay, const RenderOptions& options) {
    Raster r = grey_copy(picture);
    draw_overlay(r, overlay, options);
    return r;
}

}  // namespace annotate
