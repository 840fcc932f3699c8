#include "marks/common/skewtrim_binding.h"

#include <algorithm>

#include "imaging/Skewtrim.h"

namespace marks {

bool SkewtrimBinding::open(std::string_view name) {
    close();
    if (!library_.open(name)) return false;
    skewtrim = library_.resolve<SkewtrimFn>("Skewtrim");
    skewtrimEx = library_.resolve<SkewtrimExFn>("SkewtrimEx");
    rotatePicSP = library_.resolve<RotatePicSPFn>("RotatePicSP");
    saveBmpToFile = library_.resolve<SaveBmpToFileFn>("SaveBmpToFile");
    skewtrimMap = library_.resolve<SkewtrimMapFn>("SkewtrimMap");
    return true;
}

void SkewtrimBinding::close() {
    skewtrim = nullptr;
    skewtrimEx = nullptr;
    rotatePicSP = nullptr;
    saveBmpToFile = nullptr;
    skewtrimMap = nullptr;
    library_.close();
}

namespace {

// Room for an output up to twice the input (a straightened paper lies inside
// the scan, so its size stays below the input's plus rounding).
bool make_room(Image& image) {
    const std::size_t need = 2 * static_cast<std::size_t>(image.imageSize) + 1024;
    return image.reserve(need);
}

}  // namespace

bool skewtrim_in_place(Image& image, SkewtrimFn fn, int mode, int level) {
    if (fn == nullptr || image.empty() || !make_room(image)) return false;
    int w = image.width;
    int h = image.height;
    if (fn(image.bits(), &w, &h, image.bitCount, mode, level) == 0) return false;
    return image.relayout(w, h);
}

bool skewtrim_ex_in_place(Image& image, SkewtrimExFn fn, int mode) {
    if (fn == nullptr || image.empty() || !make_room(image)) return false;
    int w = image.width;
    int h = image.height;
    if (fn(image.bits(), &w, &h, image.bitCount, mode) == 0) return false;
    return image.relayout(w, h);
}

bool rotate_in_place(Image& image, RotatePicSPFn fn, int angle) {
    if (fn == nullptr || image.empty()) return false;
    const std::int64_t turnedStride = unpadded_stride(image.height, image.bitCount);
    const std::size_t need =
        static_cast<std::size_t>(image.width) * static_cast<std::size_t>(turnedStride) + 1024;
    if (!image.reserve(std::max(need, static_cast<std::size_t>(image.imageSize) + 1024),
                       static_cast<std::size_t>(image.width)))
        return false;
    int w = image.width;
    int h = image.height;
    // RotatePicSP answers a result code, not yes/no.
    if (fn(image.bits(), &w, &h, image.bitCount, angle) != SKEWTRIM_OK) return false;
    return image.relayout(w, h);
}

}  // namespace marks
