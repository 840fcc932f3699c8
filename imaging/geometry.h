#pragma once
// Shared shapes of the paper measurement: edge points, edge runs, edges,
// fitted lines and sides.

#include <cstdint>
#include <vector>

namespace skewtrim {

// Degrees and radians convert with this value of pi, as the measurement has
// always done; results are compared pixel for pixel, so it is kept.
constexpr double kPi = 3.1415926;
constexpr double kDegToRad = kPi / 180.0;
constexpr double kRadToDeg = 180.0 / kPi;

struct Point {
    int x = 0;
    int y = 0;
    bool operator==(const Point&) const = default;
};

// Up to six consecutive points of one edge, summarised.
struct Run {
    int count = 0;   // points in the run (4 to 6)
    int first = 0;   // index of its first point in the edge's point list
    int keep = 0;    // keep mark of the side fit (0 or 1)
    Point centroid;  // coordinate sums divided by the count (integer division)
};

// The points and runs of one edge (left, right, bottom or top).
struct Edge {
    std::vector<Point> points;
    std::vector<Run> runs;
    int runPoints = 0;  // total number of points in `runs`
};

enum LineType : int { kHorizontal = 1, kVertical = 2, kGeneral = 3, kUnfitted = 4 };

// horizontal: y = c; vertical: x = c; general: y = c + s x. Angle in degrees.
struct Line {
    LineType type = kUnfitted;
    double c = 0.0;
    double s = 0.0;
    double angle = 0.0;
    Point centre;
};

// One side of the paper: its runs (whose points live in `points`) and its line.
struct Side {
    const std::vector<Point>* points = nullptr;
    std::vector<Run> runs;
    Line line;
};

}  // namespace skewtrim
