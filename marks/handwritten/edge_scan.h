#pragma once
// Timing-mark search in bands along the four image edges.
//
// Coordinates are those of the sheet as seen: x is the column, y counts rows
// from the last stored row (y = height - 1 - stored row), so y grows toward
// the first stored row, which is the sheet's bottom edge.

#include <vector>

#include "marks/common/image.h"
#include "marks/common/regions.h"

namespace inkmark {

// The four edge lists; fitting refers to them in this order.
enum Edge : int { kEdgeL = 0, kEdgeR = 1, kEdgeB = 2, kEdgeT = 3 };

struct EdgeList {
    Edge edge = kEdgeL;
    // Bands nearest the edge first; blobs of a band ordered along the edge:
    // B by x ascending, T by x descending, L by y ascending, R by y descending.
    std::vector<std::vector<marks::MarkBlob>> bands;
    int deepest = -1;  // largest centroid distance from the edge among the blobs
};

// Coordinate across an edge (x for L and R, y for B and T) and along it.
int across(Edge edge, const marks::MarkBlob& b);
int along(Edge edge, const marks::MarkBlob& b);
// Direction of the sheet's interior on the across axis (+1 for L and T).
int inward(Edge edge);
// Direction of the list order on the along axis (+1 for B and L).
int onward(Edge edge);
// Distance of an across coordinate from the edge.
int depth_of(Edge edge, int acrossCoordinate, int width, int height);

// Scans one edge of a 1-bit working image from the edge inward until the
// third band of marks has been started and the scan has gone 8 lines
// further, or it has gone 20 mm past the first band, or the image ends.
// False only when memory runs out.
bool scan_edge(const marks::Image& work, Edge edge, EdgeList& out);

// Scans the lines whose distance from `edge` lies in [fromDepth, toDepth]
// afresh, with the same run, linking and keeping rules (no band limit).
bool scan_band(const marks::Image& work, Edge edge, int fromDepth, int toDepth, EdgeList& out);

}  // namespace inkmark
