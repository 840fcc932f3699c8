#include "marks/printed/skewtrim_binding.h"

namespace typemark {

bool SkewtrimBinding::bind(const std::string& library) {
    if (!library_.open(library)) return false;
    skewtrimEx = library_.resolve<SkewtrimExFn>("SkewtrimEx");
    rotatePicSP = library_.resolve<RotatePicSPFn>("RotatePicSP");
    saveBmpToFile = library_.resolve<SaveBmpToFileFn>("SaveBmpToFile");
    return skewtrimEx != nullptr && rotatePicSP != nullptr && saveBmpToFile != nullptr;
}

}  // namespace typemark
