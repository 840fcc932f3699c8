#pragma once
// How a sheet may lie: the four orientations c = 0..3 (0 as described by its
// form, 1 turned a quarter so that its left edge is at the image top, 2 turned
// half, 3 turned three quarters), and where each track kind then lies.

#include "marks/handwritten/edge_scan.h"

namespace inkmark {

// The edge list a track of kind k is found in, in orientation c.
inline constexpr Edge kListFor[4][4] = {
    {kEdgeL, kEdgeR, kEdgeB, kEdgeT},
    {kEdgeT, kEdgeB, kEdgeL, kEdgeR},
    {kEdgeR, kEdgeL, kEdgeT, kEdgeB},
    {kEdgeB, kEdgeT, kEdgeR, kEdgeL},
};

// The orientation given by a track of kind k found in list X: [X][k].
inline constexpr int kOrientationOf[4][4] = {
    {0, 2, 1, 3},  // L
    {2, 0, 3, 1},  // R
    {3, 1, 0, 2},  // B
    {1, 3, 2, 0},  // T
};

// Coordinate sign of a track of kind k in orientation c: the direction of the
// sheet's interior from the track on the image axis across its edge.
inline constexpr int kCoordinateSign[4][4] = {
    {+1, -1, -1, +1},
    {+1, -1, +1, -1},
    {-1, +1, +1, -1},
    {-1, +1, -1, +1},
};

// Sign that turns a form's pair offset toward a track of kind k into an image
// offset in orientation c.
inline constexpr int kPairSign[4][4] = {
    {-1, -1, -1, -1},
    {-1, -1, +1, +1},
    {+1, +1, +1, +1},
    {+1, +1, -1, -1},
};

}  // namespace inkmark
