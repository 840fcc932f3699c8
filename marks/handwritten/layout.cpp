#include "marks/handwritten/layout.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "marks/handwritten/format_file.h"
#include "marks/handwritten/result_text.h"

namespace inkmark {

namespace {

// A rectangle of the sheet: [lo, hi] on each axis (0 = x, 1 = y).
struct SheetBox {
    double lo[2] = {0, 0};
    double hi[2] = {0, 0};
};

SheetBox box_of(const SheetRect& r) {
    SheetBox b;
    for (int axis = 0; axis < 2; ++axis) {
        b.lo[axis] = static_cast<double>(r.lo[axis]);
        b.hi[axis] = static_cast<double>(r.lo[axis] + r.extent[axis]);
    }
    return b;
}

// The four corners of a sheet box, clockwise from the form's top-left as the
// form is printed.
MarkQuad sheet_quad(const SheetBox& box, const FormPlacement& p) {
    // Corners as (right?, bottom?) of the form's upright view.
    constexpr bool kRight[4] = {false, true, true, false};
    constexpr bool kBottom[4] = {false, false, true, true};
    MarkQuad q{};
    for (int k = 0; k < 4; ++k) {
        double at[2];
        const int ax = p.x.imageAxis;
        const int ay = p.y.imageAxis;
        at[ax] = kRight[k] == (p.signX > 0) ? box.hi[ax] : box.lo[ax];
        at[ay] = kBottom[k] == (p.signY > 0) ? box.hi[ay] : box.lo[ay];
        q.x[k] = static_cast<float>(at[0]);
        q.y[k] = static_cast<float>(at[1]);
    }
    return q;
}

// Quarter turns of the form in the picture, from where its top edge points.
int orientation_of(const double topEdge[2], const marks::Affine& toPicture) {
    const double vx = toPicture.a * topEdge[0] + toPicture.b * topEdge[1];
    const double vy = toPicture.d * topEdge[0] + toPicture.e * topEdge[1];
    if (std::fabs(vx) >= std::fabs(vy)) return vx >= 0 ? MARK_ORIENTATION_UPRIGHT : MARK_ORIENTATION_HALF;
    return vy > 0 ? MARK_ORIENTATION_QUARTER : MARK_ORIENTATION_THREE_QUARTERS;
}

void carry(MarkQuad& q, const marks::Affine& map) {
    for (int k = 0; k < 4; ++k) {
        const marks::PlanePoint pt = map.apply({q.x[k], q.y[k]});
        q.x[k] = static_cast<float>(pt.x);
        q.y[k] = static_cast<float>(pt.y);
    }
}

int first_top_track(const OmrForm& form) {
    for (std::size_t i = 0; i < form.tracks.size(); ++i)
        if (form.tracks[i].kind == kTop) return static_cast<int>(i);
    return -1;
}

void add_answer_cells(const OmrForm& form, const FormPlacement& p, const std::vector<CellReading>& readings,
                      int levels, LayoutRecord& out) {
    for (std::size_t i = 0; i < form.cells.size() && i < readings.size(); ++i) {
        MarkCell cell{};
        cell.box = sheet_quad(box_of(cell_rect(form.cells[i], p)), p);
        if (form.bodyKind == 1 && form.columnCount > 0) {
            cell.row = static_cast<std::int32_t>(i / static_cast<std::size_t>(form.columnCount));
            cell.column = static_cast<std::int32_t>(i % static_cast<std::size_t>(form.columnCount));
        } else {
            cell.column = static_cast<std::int32_t>(i);
        }
        cell.kind = MARK_CELL_ANSWER;
        for (int k = 0; k < levels; ++k) {
            cell.state[k] = readings[i].state[k];
            cell.ratio[k] = static_cast<float>(std::clamp(readings[i].ratio[k], 0.0, 1.0));
        }
        out.cells.push_back(cell);
    }
}

// The code slots along the first top track: each slot's stretch of the track,
// as deep as the track's marks; marked when a mark of the track lies in it.
void add_code_slots(const OmrForm& form, const FitResult& fit, const FormPlacement& p, int levels,
                    LayoutRecord& out) {
    const std::vector<int> marks = code_slot_marks(form);
    const int ti = first_top_track(form);
    if (marks.empty() || ti < 0) return;
    const OmrTrack& t = form.tracks[static_cast<std::size_t>(ti)];
    const std::int64_t top = static_cast<std::int64_t>(t.line) - (t.markHeight + 1) / 2;
    for (std::size_t s = 0; s < marks.size(); ++s) {
        const std::int64_t from =
            static_cast<std::int64_t>(form.codeSlotStart) + static_cast<std::int64_t>(s) * form.codeSlotPitch;
        const std::int64_t corners[2][2] = {{from, top}, {from + form.codeSlotPitch, top + t.markHeight}};
        SheetBox box;
        for (int c = 0; c < 2; ++c) {
            double at[2];
            sheet_point(
                form, p, static_cast<int>(std::clamp<std::int64_t>(corners[c][0], -kMaxDots, kMaxDots)),
                static_cast<int>(std::clamp<std::int64_t>(corners[c][1], -kMaxDots, kMaxDots)), at[0], at[1]);
            for (int axis = 0; axis < 2; ++axis) {
                box.lo[axis] = c == 0 ? at[axis] : std::min(box.lo[axis], at[axis]);
                box.hi[axis] = c == 0 ? at[axis] : std::max(box.hi[axis], at[axis]);
            }
        }
        MarkCell cell{};
        cell.box = sheet_quad(box, p);
        cell.column = static_cast<std::int32_t>(s);
        cell.kind = MARK_CELL_CODE_SLOT;
        const bool marked = marks[s] >= 0;
        const float fill =
            marked ? static_cast<float>(std::clamp(code_slot_fill(form, fit, marks[s]), 0.0, 1.0)) : 0.0f;
        for (int k = 0; k < levels; ++k) {
            cell.state[k] = marked ? MARK_STATE_MARKED : MARK_STATE_EMPTY;
            cell.ratio[k] = fill;
        }
        out.cells.push_back(cell);
    }
}

// Each track's matched image marks, numbered along the track from the form's
// top (vertical tracks) or left (horizontal tracks).
void add_guides(const OmrForm& form, const FitResult& fit, const FormPlacement& p, LayoutRecord& out) {
    for (const TrackMatch& m : fit.matches) {
        if (m.track < 0 || static_cast<std::size_t>(m.track) >= form.tracks.size()) continue;
        const OmrTrack& t = form.tracks[static_cast<std::size_t>(m.track)];
        bool descending = false;
        if (t.marks.size() >= 2) {
            const OmrCell& a = t.marks.front();
            const OmrCell& b = t.marks.back();
            descending = is_vertical(t.kind) ? a.formY > b.formY : a.formX > b.formX;
        }
        const std::size_t n = m.blobs.size();
        for (std::size_t i = 0; i < n; ++i) {
            const marks::MarkBlob& blob = m.blobs[i];
            SheetBox box;
            box.lo[0] = blob.minX;
            box.hi[0] = blob.maxX + 1.0;
            box.lo[1] = blob.minY;
            box.hi[1] = blob.maxY + 1.0;
            MarkGuide guide{};
            guide.box = sheet_quad(box, p);
            guide.kind = MARK_GUIDE_TIMING;
            guide.index = static_cast<std::int32_t>(descending ? n - 1 - i : i);
            out.guides.push_back(guide);
        }
    }
}

}  // namespace

marks::Affine sheet_to_picture(const PictureSteps& s) {
    // Sheet rows count from the working image's last stored row.
    marks::Affine map{1.0, 0.0, 0.0, 0.0, -1.0, static_cast<double>(s.workHeight)};
    if (s.straightened) {
        // SkewtrimMap speaks of pixel indices; the sheet of pixel edges.
        map = map.then(marks::Affine::translate(-0.5, -0.5))
                  .then(s.straightening)
                  .then(marks::Affine::translate(0.5, 0.5));
    }
    // Nearest-neighbour resampling: resampled pixel i took the copy's pixel
    // nearest to i x (copy size / resampled size).
    const double kx = s.resampledWidth > 0 ? static_cast<double>(s.copyWidth) / s.resampledWidth : 1.0;
    const double ky = s.resampledHeight > 0 ? static_cast<double>(s.pictureHeight) / s.resampledHeight : 1.0;
    map = map.then(marks::Affine{kx, 0.0, 0.5 - 0.5 * kx, 0.0, ky, 0.5 - 0.5 * ky});
    // The copy's row r came from picture row r - 1 (as given) or height - r (reversed).
    if (s.flip == INKMARK_ROWS_REVERSED) {
        map = map.then(marks::Affine{1.0, 0.0, 0.0, 0.0, -1.0, s.pictureHeight + 1.0});
    } else {
        map = map.then(marks::Affine::translate(0.0, -1.0));
    }
    return map;
}

LayoutRecord build_layout(const OmrForm& form, const FitResult& fit, const std::vector<CellReading>& readings,
                          int levels) {
    LayoutRecord out;
    levels = std::clamp(levels, 1, MARK_LAYOUT_MAX_LEVELS);
    const FormPlacement p = form_placement(form, fit);
    out.form = form.filePosition + 1;
    out.topEdge[p.x.imageAxis] = p.signX;
    out.topEdge[p.y.imageAxis] = 0.0;
    out.levelCount = levels;
    if (form.bodyKind == 1) {
        out.rows = form.rowCount;
        out.columns = form.columnCount;
    } else if (form.bodyKind == 0 && !form.cells.empty()) {
        out.rows = 1;
        out.columns = static_cast<std::int32_t>(form.cells.size());
    }
    out.cells.reserve(form.cells.size() + static_cast<std::size_t>(std::max(form.codeSlotCount, 0)));
    add_answer_cells(form, p, readings, levels, out);
    add_code_slots(form, fit, p, levels, out);
    add_guides(form, fit, p, out);
    return out;
}

void place_layout(LayoutRecord& record, const marks::Affine& sheetToPicture) {
    for (MarkCell& c : record.cells) carry(c.box, sheetToPicture);
    for (MarkGuide& g : record.guides) carry(g.box, sheetToPicture);
    record.orientation = orientation_of(record.topEdge, sheetToPicture);
}

int copy_layout(const std::optional<LayoutRecord>& record, MarkLayout* layout) {
    if (layout == nullptr) return 0;
    if (!record) {
        layout->form = 0;
        layout->orientation = MARK_ORIENTATION_UPRIGHT;
        layout->levelCount = 0;
        layout->rows = 0;
        layout->columns = 0;
        layout->cellCount = 0;
        layout->guideCount = 0;
        return 0;
    }
    const LayoutRecord& r = *record;
    layout->form = r.form;
    layout->orientation = r.orientation;
    layout->levelCount = r.levelCount;
    layout->rows = r.rows;
    layout->columns = r.columns;
    layout->cellCount = static_cast<std::int32_t>(r.cells.size());
    layout->guideCount = static_cast<std::int32_t>(r.guides.size());
    const bool cellsFit =
        layout->cellCount == 0 || (layout->cells != nullptr && layout->cellCapacity >= layout->cellCount);
    const bool guidesFit =
        layout->guideCount == 0 || (layout->guides != nullptr && layout->guideCapacity >= layout->guideCount);
    if (!cellsFit || !guidesFit) return 0;
    if (!r.cells.empty()) std::memcpy(layout->cells, r.cells.data(), r.cells.size() * sizeof(MarkCell));
    if (!r.guides.empty()) std::memcpy(layout->guides, r.guides.data(), r.guides.size() * sizeof(MarkGuide));
    return 1;
}

}  // namespace inkmark
