#pragma once
// Renders scanned tickets: a light paper rectangle carrying dark print, turned
// by a known angle, on a dark scanner background.

#include "imaging/Skewtrim.h"

namespace skewtrim::testing {

struct TicketScene {
    int imageWidth = 1728;
    int imageHeight = 2400;
    int paperWidth = 1300;
    int paperHeight = 1800;
    double degrees = 0.0;  // paper turned counter-clockwise (x right, row index up)
    double centreX = -1;   // paper centre; negative: the image centre
    double centreY = -1;
    int background = 40;
    int paper = 225;
    int ink = 25;
    int noise = 6;            // +- grey noise on the paper (8-bit and colour images)
    int backgroundNoise = 0;  // +- grey noise on the background
    unsigned seed = 1;
};

// The marker block printed near the paper's origin corner (paper coordinates:
// x from the paper's first column, y from its first row), used to check that a
// straightened ticket is upright and not mirrored.
struct Block {
    int x0, y0, x1, y1;  // inclusive-exclusive
};
constexpr Block kMarker{90, 110, 190, 190};
constexpr Block kBar{900, 1500, 1180, 1530};  // a long bar in the opposite quadrant

// A new padded (8 and 24 bits) or unpadded (1 bit) record owned by the caller.
Bitmap render_ticket(const TicketScene& scene, int bitCount);

// Mean grey of an output block (for 1 bit: 255 x share of set bits).
double block_mean(const Bitmap& bmp, int x0, int y0, int x1, int y1);

}  // namespace skewtrim::testing
