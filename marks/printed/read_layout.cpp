#include "marks/printed/read_layout.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "imaging/Skewtrim.h"

namespace typemark {

namespace {

// Unit steps on the working image (x along a row, y the stored row, growing up the sheet)
// toward the form's right (growing column) and down (growing row), per orientation.
struct FormAxes {
    int rightX, rightY, downX, downY;
};
constexpr FormAxes kAxes[4] = {
    {1, 0, 0, -1},   // as read: rows run down the stored rows
    {0, -1, -1, 0},  // a quarter turn
    {-1, 0, 0, 1},   // half a turn
    {0, 1, 1, 0},    // three quarters
};

// Dark fraction of `box` on a 1-bit image, 0 .. 1; 0 for a box wholly outside it.
float dark_fraction(const marks::Image& image, const PixelBox& box) {
    const int x0 = std::max(box.minX, 0), x1 = std::min(box.maxX, image.width - 1);
    const int y0 = std::max(box.minY, 0), y1 = std::min(box.maxY, image.height - 1);
    if (x0 > x1 || y0 > y1 || image.bitCount != 1) return 0.0f;
    long long dark = 0;
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x) dark += image.dark(x, y) ? 1 : 0;
    const long long area = static_cast<long long>(x1 - x0 + 1) * (y1 - y0 + 1);
    return static_cast<float>(static_cast<double>(dark) / static_cast<double>(area));
}

// The box's corners in the caller's picture, top-left, top-right, bottom-right, bottom-left
// of the form's upright view.
MarkQuad quad_of(const PixelBox& box, const FormAxes& axes, const marks::Affine& toPicture) {
    // Edges of the pixels, not their centres.
    const double cx = (box.minX + box.maxX) / 2.0, cy = (box.minY + box.maxY) / 2.0;
    const double hx = (box.maxX - box.minX + 1) / 2.0, hy = (box.maxY - box.minY + 1) / 2.0;
    constexpr int kAcross[4] = {-1, 1, 1, -1};  // left or right, corner by corner
    constexpr int kDown[4] = {-1, -1, 1, 1};    // top or bottom
    MarkQuad q{};
    for (int k = 0; k < 4; ++k) {
        const marks::PlanePoint p{cx + (kAcross[k] * axes.rightX + kDown[k] * axes.downX) * hx,
                                  cy + (kAcross[k] * axes.rightY + kDown[k] * axes.downY) * hy};
        const marks::PlanePoint t = toPicture.apply(p);
        q.x[k] = static_cast<float>(t.x + 0.5);
        q.y[k] = static_cast<float>(t.y + 0.5);
    }
    return q;
}

// SkewtrimEx measures the paper's level itself; SkewtrimMap is asked with the same setting.
constexpr int kMeasuredLevel = SKEWTRIM_LEVEL_MEASURE;
constexpr int kQuarterTurnDegrees = 90;  // the retry's turn

// Where the form's top points in the caller's picture, in quarter turns clockwise from up.
int picture_orientation(const FormAxes& axes, const marks::Affine& toPicture) {
    // The linear part of the map applied to the form's "up" step.
    const double ux = -(toPicture.a * axes.downX + toPicture.b * axes.downY);
    const double uy = -(toPicture.d * axes.downX + toPicture.e * axes.downY);
    if (std::fabs(uy) >= std::fabs(ux)) return uy <= 0.0 ? MARK_ORIENTATION_UPRIGHT : MARK_ORIENTATION_HALF;
    return ux > 0.0 ? MARK_ORIENTATION_QUARTER : MARK_ORIENTATION_THREE_QUARTERS;
}

}  // namespace

FormPosition form_position(int orientation, int rowCount, int columnCount, int j, int i) {
    switch (orientation & 3) {
        case 0:
            return {rowCount - 1 - j, i};
        case 1:
            return {columnCount - 1 - i, rowCount - 1 - j};
        case 2:
            return {j, columnCount - 1 - i};
        default:
            return {i, j};
    }
}

std::vector<float> cell_ratios(const BlockPlace& place, const marks::Image& working) {
    std::vector<float> ratios;
    ratios.reserve(place.cells.size());
    for (const PixelBox& box : place.cells) ratios.push_back(dark_fraction(working, box));
    return ratios;
}

SheetLayout make_layout(const FitReport& fit, const marks::Affine& toPicture) {
    SheetLayout out;
    const int o = fit.orientation & 3;
    const FormAxes& axes = kAxes[o];
    const bool across = (o & 1) != 0;  // adapted rows are the form's columns
    const int r = fit.rowCount, c = fit.columnCount;
    out.form = fit.form;
    out.orientation = picture_orientation(axes, toPicture);
    out.rows = across ? c : r;
    out.columns = across ? r : c;
    const std::size_t n = static_cast<std::size_t>(r) * static_cast<std::size_t>(c);
    if (fit.place.cells.size() != n || fit.ratios.size() != n ||
        fit.grid.size() != static_cast<std::size_t>(r))
        return SheetLayout{};

    out.cells.assign(n, MarkCell{});
    for (int j = 0; j < r; ++j) {
        for (int i = 0; i < c; ++i) {
            const std::size_t k = static_cast<std::size_t>(j) * c + i;
            const PixelBox& box = fit.place.cells[k];
            const FormPosition at = form_position(o, r, c, j, i);
            MarkCell& cell = out.cells[static_cast<std::size_t>(at.row) * out.columns + at.column];
            cell.box = quad_of(box, axes, toPicture);
            cell.row = at.row;
            cell.column = at.column;
            cell.kind = MARK_CELL_ANSWER;
            const bool printed = fit.grid[static_cast<std::size_t>(j)][static_cast<std::size_t>(i)] == '1';
            cell.state[0] = printed ? MARK_STATE_MARKED : MARK_STATE_EMPTY;
            cell.ratio[0] = fit.ratios[k];
        }
    }
    // The adapted grid's full row (U/D) and end column (L/R): one is a row of the printed form,
    // the other a column, depending on the orientation. The form's row comes first, then its
    // column, each in order along it; a guide's index is its place along its own track.
    std::vector<MarkGuide> formRow, formColumn;
    auto guide = [&](const PixelBox& box, int index) {
        MarkGuide g{};
        g.box = quad_of(box, axes, toPicture);
        g.kind = MARK_GUIDE_ANCHOR;
        g.index = index;
        return g;
    };
    for (std::size_t i = 0; i < fit.place.anchorRow.size(); ++i) {
        const FormPosition at = form_position(o, r, c, 0, static_cast<int>(i));
        (across ? formColumn : formRow).push_back(guide(fit.place.anchorRow[i], across ? at.row : at.column));
    }
    for (std::size_t j = 0; j < fit.place.anchorColumn.size(); ++j) {
        const FormPosition at = form_position(o, r, c, static_cast<int>(j), 0);
        (across ? formRow : formColumn)
            .push_back(guide(fit.place.anchorColumn[j], across ? at.column : at.row));
    }
    const auto byIndex = [](const MarkGuide& p, const MarkGuide& q) { return p.index < q.index; };
    std::sort(formRow.begin(), formRow.end(), byIndex);
    std::sort(formColumn.begin(), formColumn.end(), byIndex);
    out.guides = std::move(formRow);
    out.guides.insert(out.guides.end(), formColumn.begin(), formColumn.end());
    return out;
}

std::optional<SheetLayout> layout_of(const ReadTrace& trace, marks::SkewtrimMapFn skewtrimMap) {
    marks::Affine toPicture = trace.preparation;
    if (trace.straightened) {
        if (skewtrimMap == nullptr || trace.beforeStraightening.empty()) return std::nullopt;
        double m[6] = {};
        int width = 0, height = 0;
        if (skewtrimMap(trace.beforeStraightening.data(), trace.widthBefore, trace.heightBefore, 1,
                        kMeasuredLevel, m, &width, &height) != 1)
            return std::nullopt;
        if (width != trace.widthAfter || height != trace.heightAfter) return std::nullopt;
        toPicture = marks::Affine{m[0], m[1], m[2], m[3], m[4], m[5]}.then(toPicture);
    }
    if (trace.turned)
        toPicture = marks::undo_quarter_turn(kQuarterTurnDegrees, trace.widthAfter, trace.heightAfter)
                        .then(toPicture);
    SheetLayout layout = make_layout(trace.fit, toPicture);
    if (layout.cells.empty()) return std::nullopt;
    return layout;
}

int hand_out(const SheetLayout* layout, MarkLayout* out) {
    if (out == nullptr) return 0;
    out->form = layout != nullptr ? layout->form : 0;
    out->orientation = layout != nullptr ? layout->orientation : 0;
    out->levelCount = layout != nullptr ? 1 : 0;
    out->rows = layout != nullptr ? layout->rows : 0;
    out->columns = layout != nullptr ? layout->columns : 0;
    out->cellCount = layout != nullptr ? static_cast<std::int32_t>(layout->cells.size()) : 0;
    out->guideCount = layout != nullptr ? static_cast<std::int32_t>(layout->guides.size()) : 0;
    if (layout == nullptr) return 0;
    const bool cellsFit =
        out->cellCount == 0 || (out->cells != nullptr && out->cellCount <= out->cellCapacity);
    const bool guidesFit =
        out->guideCount == 0 || (out->guides != nullptr && out->guideCount <= out->guideCapacity);
    if (cellsFit && out->cellCount > 0)
        std::memcpy(out->cells, layout->cells.data(), layout->cells.size() * sizeof(MarkCell));
    if (guidesFit && out->guideCount > 0)
        std::memcpy(out->guides, layout->guides.data(), layout->guides.size() * sizeof(MarkGuide));
    return cellsFit && guidesFit ? 1 : 0;
}

}  // namespace typemark
