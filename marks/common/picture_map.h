#pragma once
// Where a point of a reader's working image lies on the caller's picture. A read copies the
// picture (flip), resamples it (scan mode), straightens it and may turn it by quarter turns;
// each step is an affine map of the plane, and their composition carries a cell found on the
// working image back to the picture the caller passed.

#include <cstdint>
#include <optional>

#include "marks/common/skewtrim_binding.h"

namespace marks {

struct PlanePoint {
    double x = 0.0;
    double y = 0.0;
};

// p' = (a x + b y + c, d x + e y + f), pixel coordinates (x along a row, y the row index).
struct Affine {
    double a = 1.0, b = 0.0, c = 0.0;
    double d = 0.0, e = 1.0, f = 0.0;

    PlanePoint apply(PlanePoint p) const { return {a * p.x + b * p.y + c, d * p.x + e * p.y + f}; }
    // This map followed by `next`.
    Affine then(const Affine& next) const;
    // The map back; nothing when this one squashes the plane.
    std::optional<Affine> inverse() const;

    static Affine translate(double dx, double dy) { return {1.0, 0.0, dx, 0.0, 1.0, dy}; }
    static Affine scale(double sx, double sy) { return {sx, 0.0, 0.0, 0.0, sy, 0.0}; }
};

// For a turn by RotatePicSP of a `width` x `height` image by `degrees` (0, 90, 180 or 270):
// the map from a pixel of the turned image back to the pixel it came from.
Affine undo_quarter_turn(int degrees, int width, int height);

// What Skewtrim(pixels, width, height, bitCount, mode, level) is about to do, asked through
// SkewtrimMap before the call: the map from a straightened pixel back to `image`'s pixel.
// Nothing when the library lacks SkewtrimMap or the measurement fails (the read itself goes on;
// only its layout is unavailable).
std::optional<Affine> straightening_map(const Image& image, SkewtrimMapFn fn, int level);
// The same, also giving the size the straightened image will have (untouched when nothing is
// returned), so that the caller can check the straightening it then runs against it.
std::optional<Affine> straightening_map(const Image& image, SkewtrimMapFn fn, int level, int* outWidth,
                                        int* outHeight);

}  // namespace marks
