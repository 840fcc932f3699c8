#include "marks/handwritten/measurement.h"

#include <algorithm>
#include <cstdlib>
#include <new>

#include "marks/handwritten/format_file.h"
#include "marks/handwritten/orientation.h"

namespace inkmark {

namespace {

constexpr int kSameSpan = 3;                // spans this close keep scale 1.0
constexpr int kLongSpan = 43 * kDotsPerMm;  // spans from here on are pulled by 2 dots, shorter ones by 3
constexpr int kBoxMargin = 2;               // counted box: 2 dots beyond the cell on each side

int ftol(double v) {
    if (v >= 2147483647.0) return 2147483647;
    if (v <= -2147483647.0) return -2147483647;
    return static_cast<int>(v);
}

// Along-track coordinate of a form mark, in form dots.
int form_along(const OmrTrack& t, const OmrCell& m) {
    return is_vertical(t.kind) ? m.formY : m.formX;
}

int image_axis_across(Edge e) {
    return (e == kEdgeL || e == kEdgeR) ? 0 : 1;
}

// Maps for the form's x offsets (dx, widths) and y offsets (dy, heights).
void axis_maps(const OmrForm& form, const FitResult& fit, AxisMap& mapX, AxisMap& mapY) {
    if (fit.matches.size() == 2) {
        const TrackMatch& a = fit.matches[0];
        const TrackMatch& b = fit.matches[1];
        const TrackMatch& mv = is_vertical(form.tracks[static_cast<std::size_t>(a.track)].kind) ? a : b;
        const TrackMatch& mh = &mv == &a ? b : a;
        const OmrTrack& v = form.tracks[static_cast<std::size_t>(mv.track)];
        const OmrTrack& h = form.tracks[static_cast<std::size_t>(mh.track)];
        const int lineV = track_line(mv);
        const int lineH = track_line(mh);
        // Spans: the farther of the track's first and last mark from the other track's line.
        const int formSpanV =
            std::max(std::abs(v.marks.front().formY - h.line), std::abs(v.marks.back().formY - h.line));
        const int formSpanH =
            std::max(std::abs(h.marks.front().formX - v.line), std::abs(h.marks.back().formX - v.line));
        const int spanV = std::max(std::abs(across(mh.edge, mv.blobs.front()) - lineH),
                                   std::abs(across(mh.edge, mv.blobs.back()) - lineH));
        const int spanH = std::max(std::abs(across(mv.edge, mh.blobs.front()) - lineV),
                                   std::abs(across(mv.edge, mh.blobs.back()) - lineV));
        mapX = {image_axis_across(mv.edge), lineV, inward(mv.edge), axis_scale(formSpanH, spanH)};
        mapY = {image_axis_across(mh.edge), lineH, inward(mh.edge), axis_scale(formSpanV, spanV)};
        return;
    }
    const TrackMatch& m = fit.matches[0];
    const OmrTrack& t = form.tracks[static_cast<std::size_t>(m.track)];
    const int formSpan = std::abs(form_along(t, t.marks.back()) - form_along(t, t.marks.front()));
    const int span = std::abs(along(m.edge, m.blobs.back()) - along(m.edge, m.blobs.front()));
    const AxisMap acrossMap{image_axis_across(m.edge), track_line(m), inward(m.edge), 1.0};
    const AxisMap alongMap{1 - image_axis_across(m.edge), along(m.edge, m.blobs.front()), onward(m.edge),
                           axis_scale(formSpan, span)};
    if (is_vertical(t.kind)) {
        mapX = acrossMap;
        mapY = alongMap;
    } else {
        mapX = alongMap;
        mapY = acrossMap;
    }
}

}  // namespace

double axis_scale(int x, int b) {
    if (x == 0 || std::abs(x - b) <= kSameSpan) return 1.0;
    const int e = x < kLongSpan ? 3 : 2;
    if (x < b) return static_cast<double>(b - e) / x;
    return static_cast<double>(b + e) / x;
}

int growth_sign(int change) {
    return change < 0 ? -1 : 1;
}

FormPlacement form_placement(const OmrForm& form, const FitResult& fit) {
    FormPlacement p;
    if (fit.matches.empty()) return p;
    axis_maps(form, fit, p.x, p.y);
    // The offsets are affine in the form's coordinates: their change over one
    // dot tells which way the form's axes run.
    int dx0 = 0, dy0 = 0, dx1 = 0, dy1 = 0, dx2 = 0, dy2 = 0;
    relative_offsets(form, 0, 0, dx0, dy0);
    relative_offsets(form, 1, 0, dx1, dy1);
    relative_offsets(form, 0, 1, dx2, dy2);
    p.signX = growth_sign(dx1 - dx0) * p.x.direction;
    p.signY = growth_sign(dy2 - dy0) * p.y.direction;
    return p;
}

SheetRect cell_rect(const OmrCell& cell, const FormPlacement& p) {
    SheetRect r;
    const std::int64_t wc = ftol(p.x.scale * cell.width + 0.5);
    const std::int64_t hc = ftol(p.y.scale * cell.height + 0.5);
    const std::int64_t cx =
        static_cast<std::int64_t>(ftol(p.x.scale * cell.x + 0.5)) * p.x.direction + p.x.base;
    const std::int64_t cy =
        static_cast<std::int64_t>(ftol(p.y.scale * cell.y + 0.5)) * p.y.direction + p.y.base;
    r.lo[p.x.imageAxis] = cx - (wc + 1) / 2;
    r.extent[p.x.imageAxis] = wc;
    r.lo[p.y.imageAxis] = cy - (hc + 1) / 2;
    r.extent[p.y.imageAxis] = hc;
    return r;
}

void sheet_point(const OmrForm& form, const FormPlacement& p, int formX, int formY, double& x, double& y) {
    int dx = 0, dy = 0;
    relative_offsets(form, formX, formY, dx, dy);
    double at[2];
    at[p.x.imageAxis] = p.x.scale * dx * p.x.direction + p.x.base;
    at[p.y.imageAxis] = p.y.scale * dy * p.y.direction + p.y.base;
    x = at[0];
    y = at[1];
}

int track_line(const TrackMatch& match) {
    const std::size_t n = match.blobs.size();
    if (n == 0) return 0;
    std::size_t from = 0, to = n;
    if (n >= 3) {
        from = 1;
        to = n - 1;
    }
    double sum = 0;
    for (std::size_t i = from; i < to; ++i) sum += across(match.edge, match.blobs[i]);
    return ftol(sum / static_cast<double>(to - from) + 0.5);
}

bool cell_boxes(const OmrForm& form, const FitResult& fit, int width, int height,
                std::vector<CellBox>& boxes) {
    if (fit.matches.empty()) return false;
    const FormPlacement placement = form_placement(form, fit);
    boxes.assign(form.cells.size(), CellBox{});
    for (std::size_t i = 0; i < form.cells.size(); ++i) {
        const SheetRect cell = cell_rect(form.cells[i], placement);
        std::int64_t lo[2], extent[2];
        for (int axis = 0; axis < 2; ++axis) {
            lo[axis] = cell.lo[axis] - kBoxMargin;
            extent[axis] = cell.extent[axis] + 2 * kBoxMargin;
        }
        const std::int64_t wc = cell.extent[placement.x.imageAxis];
        const std::int64_t hc = cell.extent[placement.y.imageAxis];
        CellBox& box = boxes[i];
        const std::int64_t x0 = std::max<std::int64_t>(lo[0], 0);
        const std::int64_t x1 = std::min<std::int64_t>(lo[0] + extent[0], width - 1);
        const std::int64_t y0 = std::max<std::int64_t>(lo[1], 0);
        const std::int64_t y1 = std::min<std::int64_t>(lo[1] + extent[1], height - 1);
        if (x0 >= x1 || y0 >= y1) return false;
        box.x0 = static_cast<int>(x0);
        box.x1 = static_cast<int>(x1);
        box.y0 = static_cast<int>(y0);
        box.y1 = static_cast<int>(y1);
        box.area = wc * hc;
    }
    return true;
}

bool measure_cells(const OmrForm& form, const FitResult& fit, const marks::Image& image,
                   const std::int32_t* levels, int levelCount, std::vector<CellReading>& readings) {
    try {
        std::vector<CellBox> boxes;
        if (!cell_boxes(form, fit, image.width, image.height, boxes)) return false;
        readings.assign(boxes.size(), CellReading{});
        const int levelsUsed = image.bitCount == 8 ? std::min(levelCount, kMaxLevels) : 1;
        std::int64_t counts[kMaxLevels];
        for (std::size_t i = 0; i < boxes.size(); ++i) {
            const CellBox& box = boxes[i];
            std::fill(counts, counts + kMaxLevels, 0);
            for (int y = box.y0; y < box.y1; ++y) {
                const std::uint8_t* row = image.row(image.height - 1 - y);
                if (image.bitCount == 1) {
                    for (int x = box.x0; x < box.x1; ++x)
                        if (((row[x >> 3] >> (7 - (x & 7))) & 1) == 0) ++counts[0];
                } else {
                    for (int x = box.x0; x < box.x1; ++x)
                        for (int k = 0; k < levelsUsed; ++k)
                            if (static_cast<int>(row[x]) <= levels[k]) ++counts[k];
                }
            }
            CellReading& r = readings[i];
            for (int k = 0; k < levelsUsed; ++k) {
                const std::int64_t dark = std::min(counts[k], box.area);
                r.darkCount[k] = static_cast<std::int32_t>(std::min<std::int64_t>(dark, 2147483647));
                r.ratio[k] = box.area > 0 ? static_cast<double>(dark) / static_cast<double>(box.area) : 0.0;
                if (r.ratio[k] >= form.markedRatio) {
                    r.state[k] = INKMARK_CELL_MARKED;
                } else if (form.ratioCount == 2 && r.ratio[k] >= form.doubtfulRatio) {
                    r.state[k] = INKMARK_CELL_DOUBTFUL;
                } else {
                    r.state[k] = INKMARK_CELL_EMPTY;
                }
            }
        }
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

}  // namespace inkmark
