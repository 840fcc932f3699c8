// Binding libKestrom.so by its logical name.

#include "sane/kestrom_api.h"

#include <type_traits>

namespace tqsane {

bool KestromApi::bind() {
    if (library_.is_open()) return true;
    if (!library_.open("Kestrom.dll")) {
        error_ = library_.error();
        return false;
    }
    bool complete = true;
    auto need = [&](auto& entry, const char* name) {
        entry = library_.resolve<std::remove_reference_t<decltype(entry)>>(name);
        if (!entry && complete) {
            error_ = std::string("libKestrom.so lacks ") + name;
            complete = false;
        }
    };
    need(OpenUSBPort, "OpenUSBPort");
    need(CloseUSBPort, "CloseUSBPort");
    need(SetScanWidth, "SetScanWidth");
    need(SetScanHeight, "SetScanHeight");
    need(SetScanPictureType, "SetScanPictureType");
    need(SetScanDPI, "SetScanDPI");
    need(SetThresholdMethord, "SetThresholdMethord");
    need(StartScan, "StartScan");
    need(AbortScan, "AbortScan");
    need(GetBSStatus, "GetBSStatus");
    need(ReadPictureData, "ReadPictureData");
    need(StartFeedPaper, "StartFeedPaper");
    need(CorrectFakeJamError, "CorrectFakeJamError");
    if (!complete) {
        const std::string why = error_;
        unbind();
        error_ = why;
    }
    return complete;
}

void KestromApi::unbind() {
    *this = KestromApi{};
}

}  // namespace tqsane
