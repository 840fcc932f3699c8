#include "demo/binding.h"

#include <array>
#include <filesystem>

namespace tellerdesk {

namespace {

// The table in resolution order; the slot is found by position in DeviceApi,
// whose members follow the same order.
constexpr std::array<const char*, kBoundEntryPoints> kNames = {"OpenUSBPort",
                                                               "WritePort",
                                                               "CloseUSBPort",
                                                               "SetScanWidth",
                                                               "SetScanHeight",
                                                               "SetScanPictureType",
                                                               "SetScanDPI",
                                                               "SetScanMode",
                                                               "StartScan",
                                                               "AbortScan",
                                                               "StartFeedPaper",
                                                               "CISDataCorrect",
                                                               "UpdateOnLine",
                                                               "SensorCorrect",
                                                               "ResetDev",
                                                               "GetScanArea",
                                                               "GetBSStatus",
                                                               "GetPaperPosition",
                                                               "CorrectFakeJamError",
                                                               "SaveDataToBmp",
                                                               "ReadPictureData",
                                                               "SetPrintDarkness",
                                                               "SetPrintBuffer",
                                                               "SetPicPrintPosition",
                                                               "SetCharPrintPosition",
                                                               "StartPrint",
                                                               "DownLoadPicture",
                                                               "DownLoadPictureEx",
                                                               "EraseBMPInFlash",
                                                               "EraseBMPInRam",
                                                               "GetBMPNumber",
                                                               "GetBMPName",
                                                               "GetFirmwareVersion",
                                                               "ReadVersion",
                                                               "GetKestromVersion",
                                                               "SetThresholdMethord",
                                                               "GetThresholdMethord",
                                                               "SetPrinterHeadMode",
                                                               "SetDetectPaperTime",
                                                               "UpdateDeviceFirmware",
                                                               "Decode",
                                                               "GetDecodeVersion"};

constexpr int kDeviceEntryPoints = 40;

// DeviceApi is 42 function pointers in table order; slot i is the i-th member.
static_assert(sizeof(DeviceApi) == kBoundEntryPoints * sizeof(void (*)()));

void set_slot(DeviceApi& api, int index, void* address) {
    auto* slots = reinterpret_cast<void (**)()>(&api);
    slots[index] = reinterpret_cast<void (*)()>(address);
}

// The operator's text for a missing entry point. The head-mode entry has no
// leading blank; every text has two blanks after "in".
std::string missing_entry_text(const std::string& name, const char* library) {
    const std::string lead = name == "SetPrinterHeadMode" ? "" : " ";
    return lead + "GetProcAddress " + name + " in  " + library + " failed!";
}

}  // namespace

const char* entry_point_name(int index) {
    return index >= 0 && index < kBoundEntryPoints ? kNames[static_cast<std::size_t>(index)] : nullptr;
}

Binding::~Binding() {
    unload();
}

std::string Binding::bind(const std::string& deviceLibrary, const std::string& decodeLibrary) {
    bound_ = false;
    api_ = DeviceApi{};
    if (!device_.open(deviceLibrary)) return " Load library:Kestrom.dll failed!";
    if (!decode_.open(decodeLibrary)) return " Load library:decode.dll failed!";
    for (int i = 0; i < kBoundEntryPoints; ++i) {
        const bool inDevice = i < kDeviceEntryPoints;
        const auto& library = inDevice ? device_ : decode_;
        void* address = library.symbol(kNames[static_cast<std::size_t>(i)]);
        if (address == nullptr) {
            api_ = DeviceApi{};
            return missing_entry_text(kNames[static_cast<std::size_t>(i)],
                                      inDevice ? "Kestrom.dll" : "decode.dll");
        }
        set_slot(api_, i, address);
    }
    bound_ = true;
    return {};
}

void Binding::unload() {
    if (bound_ && api_.CloseUSBPort) api_.CloseUSBPort();
    bound_ = false;
    api_ = DeviceApi{};
    device_.close();
    decode_.close();
}

std::string emulator_library_in(const std::string& libFolder) {
    namespace fs = std::filesystem;
    const fs::path bare = fs::path(libFolder) / "libScannerEmulator.so";
    const fs::path versioned = fs::path(libFolder) / platform::versioned_file_name("libScannerEmulator.so");
    std::error_code error;
    if (!fs::exists(bare, error) && fs::exists(versioned, error)) return versioned.string();
    return bare.string();
}

}  // namespace tellerdesk
