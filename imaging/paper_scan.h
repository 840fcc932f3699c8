#pragma once
// Finding the paper on the scanner background: background level, paper rows,
// edge points of the four edges grouped into runs, and the extreme points.

#include "imaging/Skewtrim.h"
#include "imaging/geometry.h"

namespace skewtrim {

// Grey value of any pixel: 8 bits the byte, 1 bit 255 or 0, 24 bits through
// luma and tone.
class GreyView {
public:
    explicit GreyView(const Bitmap& bmp) : bmp_(bmp) {}
    int operator()(int x, int y) const;
    int width() const { return bmp_.width; }
    int height() const { return bmp_.height; }
    const Bitmap& bitmap() const { return bmp_; }

private:
    const Bitmap& bmp_;
};

// Which grey values count as paper. Rule 1: above `low`. Rule 255: outside the
// background band low..high (level minus and plus 9, exclusive).
struct PaperTest {
    int low = 0;
    int high = 255;
    bool band = false;
    static PaperTest make(int level, int rule);
    bool operator()(int grey) const { return band ? (grey <= low || grey >= high) : grey > low; }
};

// Mean grey of columns 0, 1, width-2 and width-1 over all rows, rounded.
int measure_level(const GreyView& grey);

// Bottom and top paper rows: the first rows from each end with more than 150
// pixels above `low`. kOk, or kNoPaper when there is none.
int find_paper_rows(const GreyView& grey, int low, int& bottom, int& top);

// Collects an edge's points into runs of up to six as they arrive; a run with
// fewer than four points is dropped with its points.
class RunBuilder {
public:
    explicit RunBuilder(Edge& edge) : edge_(edge) {}
    void add(Point p);
    void finish() { close(); }

private:
    void close();
    Edge& edge_;
    int start_ = 0;
    int count_ = 0;
};

// Left and right edge points, one per row from bottom to top.
void scan_side_edges(const Bitmap& bmp, const PaperTest& paper, int bottom, int top, Edge& left, Edge& right);

// Bottom and top edge points, one per column from `fromX` down to `toX`: the
// first paper pixel from the bottom row upward and from the top row downward.
void scan_end_edges(const Bitmap& bmp, const PaperTest& paper, int bottom, int top, int fromX, int toX,
                    Edge& bottomEdge, Edge& topEdge);

// An extreme point of an edge over its six-point runs, with the first and last
// run that reach it.
struct Extreme {
    Point at;
    int firstRun = -1;
    int lastRun = -1;
    bool found() const { return firstRun >= 0; }
};
enum class ExtremeKind { Left, Right, Bottom, Top };
Extreme find_extreme(const Edge& edge, ExtremeKind kind);

}  // namespace skewtrim
