#include "imaging/outline.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "imaging/bitmap.h"
#include "imaging/line_fit.h"
#include "imaging/paper_scan.h"

namespace skewtrim {

namespace {

constexpr int kSideMargin = 5;              // runs left out next to every cut and edge end
constexpr double kStraightBand = 36.0;      // runs this close to an edge's line count as on it
constexpr int kStraightPercent = 60;        // more than this share on the line: a straight edge
constexpr double kSteepDegrees = 80.0;      // edges touching the image ends must be this steep
constexpr double kParallelDegrees = 3.5;    // opposite sides may differ this much
constexpr double kSquareDegrees = 2.0;      // a corner this close to square may lend its direction
constexpr double kLargestCoordinate = 1e9;  // corners beyond this are no plausible rectangle

// Tests one edge for straightness: fitted over its runs (and, when `steep`,
// steeper than 80 degrees), with more than 60 percent of its runs near the line.
int straight_edge(const Edge& edge, bool steep, bool& straight) {
    Line line;
    if (int code = fit_runs(edge.runs, line); code != kOk) {
        return code;
    }
    straight = false;
    if (steep && !(line.angle > kSteepDegrees)) {
        return kOk;
    }
    std::int64_t near = 0;
    for (const Run& r : edge.runs) {
        if (std::fabs(distance(line, r.centroid.x, r.centroid.y)) < kStraightBand) {
            ++near;
        }
    }
    straight = near * 100 > kStraightPercent * static_cast<std::int64_t>(edge.runs.size());
    return kOk;
}

// Tilt flag: 0 when both edges of the chosen pair are straight.
int tilt_flag(const Edge& left, const Edge& right, const Edge& bottom, const Edge& top, const Point& l,
              const Point& r, const Point& b, const Point& t, int height, int& tilt) {
    tilt = 1;
    const Edge* first = &left;
    const Edge* second = &right;
    bool steep = false;
    if (b.y == 0 || t.y == height - 1) {
        steep = true;
    } else if (t.y - b.y < r.x - l.x) {
        first = &bottom;
        second = &top;
    }
    bool straight = false;
    if (int code = straight_edge(*first, steep, straight); code != kOk || !straight) {
        return code;
    }
    if (int code = straight_edge(*second, steep, straight); code != kOk) {
        return code;
    }
    if (straight) {
        tilt = 0;
    }
    return kOk;
}

// Runs [from, to) of an edge as a side, keep marks cleared.
Side slice(const Edge& edge, long from, long to) {
    Side side;
    side.points = &edge.points;
    from = std::max(from, 0L);
    to = std::min(to, static_cast<long>(edge.runs.size()));
    for (long i = from; i < to; ++i) {
        Run r = edge.runs[static_cast<size_t>(i)];
        r.keep = 0;
        side.runs.push_back(r);
    }
    return side;
}

bool rounded(double v, int& out) {
    if (!std::isfinite(v) || std::fabs(v) > kLargestCoordinate) {
        return false;
    }
    out = static_cast<int>(v + 0.5);
    return true;
}

// Intersection of two lines, coordinates rounded. kInvalidArgument for parallel
// lines, kNoPaper when
// the point lies absurdly far away.
int intersect(const Line& a, const Line& b, Point& p) {
    if (a.type == b.type && (a.type != kGeneral || a.s == b.s)) {
        return kInvalidArgument;
    }
    double x = 0.0;
    double y = 0.0;
    const Line& h = a.type == kHorizontal ? a : b;
    const Line& v = a.type == kVertical ? a : b;
    const Line& g = a.type == kGeneral ? a : b;
    if (a.type == kGeneral && b.type == kGeneral) {
        x = (b.c - a.c) / (a.s - b.s);
        y = a.c + a.s * x;
    } else if (a.type == kHorizontal || b.type == kHorizontal) {
        y = h.c;
        x = (a.type == kVertical || b.type == kVertical) ? v.c : (h.c - g.c) / g.s;
    } else {  // vertical with general
        x = v.c;
        y = g.c + g.s * v.c;
    }
    if (!rounded(x, p.x) || !rounded(y, p.y)) {
        return kNoPaper;
    }
    return kOk;
}

// Difference of two side angles, taken across +-90 for steep opposite signs.
double angle_difference(double a, double b) {
    const double d = std::fabs(a - b);
    if ((a < 0) != (b < 0) && std::fabs(a) >= 45.0 && std::fabs(b) >= 45.0) {
        return 180.0 - d;
    }
    return d;
}

// Mean direction of two side angles.
double mean_angle(double a, double b) {
    if ((a < 0) != (b < 0) && std::fabs(a) >= 45.0 && std::fabs(b) >= 45.0) {
        if (a > 0) {
            const double m = (90.0 - a + b + 90.0) / 2.0;
            return 90.0 - a > b + 90.0 ? 90.0 - m : m - 90.0;
        }
        const double m = (a + 90.0 + 90.0 - b) / 2.0;
        return a + 90.0 < 90.0 - b ? 90.0 - m : m - 90.0;
    }
    return (a + b) / 2.0;
}

void copy_direction(const Line& from, Line& to) {
    to.type = from.type;
    to.s = from.s;
    to.angle = from.angle;
}

// The direction perpendicular to `line`.
void perpendicular_direction(const Line& line, Line& to) {
    if (line.type == kHorizontal) {
        to.type = kVertical;
        to.s = 0.0;
        to.angle = 90.0;
    } else if (line.type == kVertical) {
        to.type = kHorizontal;
        to.s = 0.0;
        to.angle = 0.0;
    } else {
        to.type = kGeneral;
        to.s = -1.0 / line.s;
        to.angle = std::atan(to.s) * kRadToDeg;
    }
}

// Places a side whose fit failed: the direction of its opposite side, through
// the point of its neighbouring side at row `y`. 9 when the neighbour is
// horizontal (no single point at that row).
int place_failed_side(Line& side, const Line& opposite, const Line& neighbour, int y) {
    double x = 0.0;
    if (neighbour.type == kVertical) {
        x = neighbour.c;
    } else if (neighbour.type == kGeneral) {
        x = (y - neighbour.c) / neighbour.s;
    } else {
        return kNoPaper;
    }
    int cx = 0;
    if (!rounded(x, cx)) {
        return kNoPaper;
    }
    copy_direction(opposite, side);
    side.centre = {cx, y};
    switch (side.type) {
        case kHorizontal:
            side.c = y;
            break;
        case kVertical:
            side.c = x;
            break;
        default:
            side.c = y - side.s * x;
            break;
    }
    return kOk;
}

// Fits the four sides over their points. One side of pair 1/3 (when the left
// corner lies below the right one, else of pair 2/4) may fail with 10; it is
// then placed from its opposite and its neighbouring side.
int fit_outline(Side (&sides)[5], int tilt, const Point& l, const Point& r, int height) {
    const bool tolerate13 = l.y < r.y;
    bool failed[5] = {false, false, false, false, false};
    for (int k : {1, 3, 2, 4}) {
        const int code = fit_points(*sides[k].points, sides[k].runs, sides[k].line);
        if (code == kOk) {
            continue;
        }
        const bool tolerant = (k == 1 || k == 3) == tolerate13;
        if (code != kDegenerateFit || !tolerant) {
            return code;
        }
        failed[k] = true;
    }
    if ((failed[1] && failed[3]) || (failed[2] && failed[4])) {
        return kNoPaper;
    }
    int code = kOk;
    if (failed[1]) {
        code = place_failed_side(sides[1].line, sides[3].line, sides[2].line, tilt ? l.y : 0);
    } else if (failed[3]) {
        code = place_failed_side(sides[3].line, sides[1].line, sides[4].line, tilt ? r.y : height - 1);
    } else if (failed[2]) {
        code = place_failed_side(sides[2].line, sides[4].line, sides[1].line, tilt ? l.y : height - 1);
    } else if (failed[4]) {
        code = place_failed_side(sides[4].line, sides[2].line, sides[3].line, tilt ? r.y : 0);
    }
    if (code != kOk) {
        return code;
    }
    for (int k = 1; k <= 4; ++k) {
        if (sides[k].line.type == kUnfitted) {
            return kNoPaper;
        }
    }
    return kOk;
}

// Makes opposite sides parallel (repairing one pair that is not) and moves each
// line through its own centre point.
int square_up(Side (&sides)[5]) {
    Line& s1 = sides[1].line;
    Line& s2 = sides[2].line;
    Line& s3 = sides[3].line;
    Line& s4 = sides[4].line;
    const double d13 = angle_difference(s1.angle, s3.angle);
    const double d24 = angle_difference(s2.angle, s4.angle);
    const double eL = std::fabs(90.0 - std::fabs(s1.angle - s2.angle));
    const double eR = std::fabs(90.0 - std::fabs(s3.angle - s4.angle));
    if (d13 > kParallelDegrees && d24 > kParallelDegrees) {
        return kNoPaper;
    }
    if (d13 > kParallelDegrees) {
        if (eL < eR && eL < kSquareDegrees) {
            copy_direction(s1, s3);
        } else if (eR < eL && eR < kSquareDegrees) {
            copy_direction(s3, s1);
        } else {
            perpendicular_direction(s2, s1);
            perpendicular_direction(s2, s3);
        }
    } else if (d24 > kParallelDegrees) {
        if (eL < eR && eL < kSquareDegrees) {
            copy_direction(s2, s4);
        } else if (eR < eL && eR < kSquareDegrees) {
            copy_direction(s4, s2);
        } else {
            perpendicular_direction(s1, s2);
            perpendicular_direction(s1, s4);
        }
    } else if (eL >= kSquareDegrees) {
        return kNoPaper;
    }

    for (auto [a, b] : {std::pair{&s1, &s3}, std::pair{&s2, &s4}}) {
        const double angle = mean_angle(a->angle, b->angle);
        for (Line* line : {a, b}) {
            line->angle = angle;
            if (angle == 0.0) {
                line->type = kHorizontal;
                line->s = 0.0;
            } else if (angle == 90.0) {
                line->type = kVertical;
                line->s = 0.0;
            } else {
                line->type = kGeneral;
                line->s = std::tan(angle * kDegToRad);
            }
        }
    }
    for (Line* line : {&s1, &s2, &s3, &s4}) {
        switch (line->type) {
            case kHorizontal:
                line->c = line->centre.y;
                break;
            case kVertical:
                line->c = line->centre.x;
                break;
            default:
                line->c = line->centre.y - line->centre.x * line->s;
                break;
        }
    }
    return kOk;
}

int length_between(const Point& a, const Point& b, int& length) {
    const double dx = static_cast<double>(a.x) - b.x;
    const double dy = static_cast<double>(a.y) - b.y;
    return rounded(std::sqrt(dx * dx + dy * dy), length) ? kOk : kNoPaper;
}

// Rotation in degrees that turns the reference side's angle V upright.
double rotation_degrees(double v) {
    if (v <= -45.0) {
        return 270.0 - v;
    }
    if (v <= 0.0) {
        return -v;
    }
    if (v <= 45.0) {
        return 360.0 - v;
    }
    return 90.0 - v;
}

// Column of a side at row y for the mask: general and vertical lines rounded,
// a horizontal one gives `horizontalX`; clamped into the row.
int mask_column(const Line& line, int y, int horizontalX, int width) {
    double v = horizontalX;
    if (line.type == kGeneral) {
        v = (y - line.c) / line.s + 0.5;
    } else if (line.type == kVertical) {
        v = line.c + 0.5;
    }
    if (std::isnan(v)) {
        v = 0.0;
    }
    v = std::clamp(v, -1.0, static_cast<double>(width));
    return std::clamp(static_cast<int>(v), 0, width - 1);
}

int build_mask(const Side (&sides)[5], const StraightenPlan& plan, int width, int height, PaperMask& mask) {
    const Point& b = plan.bottom;
    const Point& l = plan.left;
    const Point& r = plan.right;
    const Point& t = plan.top;
    mask.first = std::clamp(std::min({b.y, l.y, r.y}), 0, height - 1);
    mask.last = std::clamp(std::max({t.y, l.y, r.y}), 0, height - 1);
    if (mask.first >= mask.last) {
        return kNoPaper;
    }
    mask.left.assign(static_cast<size_t>(mask.last) + 16, 0);
    mask.right.assign(static_cast<size_t>(mask.last) + 16, 0);
    for (int y = mask.first; y <= mask.last; ++y) {
        const Line& leftSide = y < l.y ? sides[1].line : sides[2].line;
        const Line& rightSide = y < r.y ? sides[4].line : sides[3].line;
        mask.left[static_cast<size_t>(y)] = mask_column(leftSide, y, l.x, width);
        mask.right[static_cast<size_t>(y)] = mask_column(rightSide, y, r.x, width);
    }
    return kOk;
}

}  // namespace

int measure_paper(const Bitmap& src, int level, int rule, StraightenPlan& plan) {
    const GreyView grey(src);
    if (level == 0) {
        level = measure_level(grey);
    }
    const PaperTest paper = PaperTest::make(level, rule);
    int bottomRow = 0;
    int topRow = 0;
    if (int code = find_paper_rows(grey, paper.low, bottomRow, topRow); code != kOk) {
        return code;
    }

    Edge left, right, bottom, top;
    scan_side_edges(src, paper, bottomRow, topRow, left, right);
    if (left.runs.empty() || right.runs.empty()) {
        return kNoPaper;
    }
    const Extreme el = find_extreme(left, ExtremeKind::Left);
    const Extreme er = find_extreme(right, ExtremeKind::Right);
    if (!el.found() || !er.found() || el.at.x >= er.at.x) {
        return kNoPaper;
    }
    scan_end_edges(src, paper, bottomRow, topRow, er.at.x, el.at.x, bottom, top);
    if (bottom.runs.empty() || top.runs.empty()) {
        return kNoPaper;
    }
    const Extreme eb = find_extreme(bottom, ExtremeKind::Bottom);
    const Extreme et = find_extreme(top, ExtremeKind::Top);
    if (!eb.found() || !et.found() || eb.at.y >= et.at.y) {
        return kNoPaper;
    }
    const Point& l = el.at;
    const Point& r = er.at;
    const Point& b = eb.at;
    const Point& t = et.at;

    int tilt = 1;
    if (int code = tilt_flag(left, right, bottom, top, l, r, b, t, src.height, tilt); code != kOk) {
        return code;
    }

    const long m = kSideMargin;
    auto count = [](const Edge& e) { return static_cast<long>(e.runs.size()); };
    Side sides[5];
    if (tilt == 0) {
        sides[1] = slice(bottom, m, count(bottom) - m);
        sides[2] = slice(left, m, count(left) - m);
        sides[3] = slice(top, m, count(top) - m);
        sides[4] = slice(right, m, count(right) - m);
    } else if (l.y - b.y < t.y - l.y) {
        sides[1] = slice(bottom, eb.lastRun + m, count(bottom) - m);
        sides[2] = slice(left, el.lastRun + m, count(left) - m);
        sides[3] = slice(top, m, et.firstRun - m);
        sides[4] = slice(right, m, er.firstRun - m);
    } else {
        sides[1] = slice(left, m, el.firstRun - m);
        sides[2] = slice(top, et.lastRun + m, count(top) - m);
        sides[3] = slice(right, er.lastRun + m, count(right) - m);
        sides[4] = slice(bottom, m, eb.firstRun - m);
    }
    for (int k = 1; k <= 4; ++k) {
        if (sides[k].runs.empty()) {
            return kInvalidArgument;
        }
        if (int code = robust_side_fit(sides[k], k, tilt); code != kOk) {
            return code;
        }
    }

    if (int code = fit_outline(sides, tilt, l, r, src.height); code != kOk) {
        return code;
    }
    if (int code = square_up(sides); code != kOk) {
        return code;
    }
    StraightenPlan out;
    out.tilt = tilt;
    struct CornerOf {
        int a, b;
        Point* corner;
    };
    for (const CornerOf& c : {CornerOf{1, 4, &out.bottom}, CornerOf{1, 2, &out.left},
                              CornerOf{4, 3, &out.right}, CornerOf{2, 3, &out.top}}) {
        if (int code = intersect(sides[c.a].line, sides[c.b].line, *c.corner); code != kOk) {
            return code;
        }
    }
    out.cx = (out.left.x + out.right.x + 1) >> 1;
    out.cy = (out.top.y + out.bottom.y + 1) >> 1;
    if (out.cx < 0 || out.cx >= src.width || out.cy < 0 || out.cy >= src.height) {
        return kNoPaper;
    }
    const bool side2Reference = std::fabs(sides[2].line.angle) > std::fabs(sides[1].line.angle);
    const double v = side2Reference ? sides[2].line.angle : sides[1].line.angle;
    int lb = 0;
    int lt = 0;
    if (length_between(out.left, out.bottom, lb) != kOk || length_between(out.left, out.top, lt) != kOk) {
        return kNoPaper;
    }
    out.width = side2Reference ? lb : lt;
    out.height = side2Reference ? lt : lb;
    out.degrees = rotation_degrees(v);
    out.theta = out.degrees * kDegToRad;
    if (int code = build_mask(sides, out, src.width, src.height, out.mask); code != kOk) {
        return code;
    }
    plan = std::move(out);
    return kOk;
}

}  // namespace skewtrim
