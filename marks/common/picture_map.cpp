#include "marks/common/picture_map.h"

#include <cmath>

namespace marks {

Affine Affine::then(const Affine& n) const {
    return {n.a * a + n.b * d, n.a * b + n.b * e, n.a * c + n.b * f + n.c,
            n.d * a + n.e * d, n.d * b + n.e * e, n.d * c + n.e * f + n.f};
}

std::optional<Affine> Affine::inverse() const {
    const double det = a * e - b * d;
    if (std::fabs(det) < 1e-12) {
        return std::nullopt;
    }
    const double ia = e / det, ib = -b / det, id = -d / det, ie = a / det;
    return Affine{ia, ib, -(ia * c + ib * f), id, ie, -(id * c + ie * f)};
}

// RotatePicSP by 90 sends pixel (x, y) of a w x h image to (y, w - 1 - x), by 180 to
// (w - 1 - x, h - 1 - y) and by 270 to (h - 1 - y, x); these are the maps back.
Affine undo_quarter_turn(int degrees, int width, int height) {
    const double w1 = width - 1;
    const double h1 = height - 1;
    switch (degrees) {
        case 90:
            return {0.0, -1.0, w1, 1.0, 0.0, 0.0};
        case 180:
            return {-1.0, 0.0, w1, 0.0, -1.0, h1};
        case 270:
            return {0.0, 1.0, 0.0, -1.0, 0.0, h1};
        default:
            return {};
    }
}

std::optional<Affine> straightening_map(const Image& image, SkewtrimMapFn fn, int level) {
    return straightening_map(image, fn, level, nullptr, nullptr);
}

std::optional<Affine> straightening_map(const Image& image, SkewtrimMapFn fn, int level, int* outWidth,
                                        int* outHeight) {
    if (fn == nullptr || image.empty()) {
        return std::nullopt;
    }
    double m[6] = {};
    int width = 0;
    int height = 0;
    if (fn(image.bits(), image.width, image.height, image.bitCount, level, m, &width, &height) != 1) {
        return std::nullopt;
    }
    if (outWidth != nullptr) {
        *outWidth = width;
    }
    if (outHeight != nullptr) {
        *outHeight = height;
    }
    return Affine{m[0], m[1], m[2], m[3], m[4], m[5]};
}

}  // namespace marks
