#pragma once
// The demo's binding table: the device library and the recognition dispatcher
// are loaded by their logical names and their 42 entry points resolved by name,
// in a fixed order, before the dialog touches the device. Nothing is linked at
// build time.

#include <cstdint>
#include <string>

#include "platform/dynamic_library.h"

namespace tellerdesk {

// Every entry point the dialog uses. Null until bound.
struct DeviceApi {
    int (*OpenUSBPort)() = nullptr;
    int (*WritePort)(const uint8_t*, int) = nullptr;
    void (*CloseUSBPort)() = nullptr;
    int (*SetScanWidth)(int, int) = nullptr;
    int (*SetScanHeight)(int) = nullptr;
    int (*SetScanPictureType)(int, int) = nullptr;
    int (*SetScanDPI)(int, int) = nullptr;
    int (*SetScanMode)(int, int) = nullptr;
    int (*StartScan)(int) = nullptr;
    int (*AbortScan)() = nullptr;
    int (*StartFeedPaper)(int, int) = nullptr;
    int (*CISDataCorrect)() = nullptr;
    int (*UpdateOnLine)(const char*) = nullptr;
    int (*SensorCorrect)() = nullptr;
    int (*ResetDev)() = nullptr;
    int (*GetScanArea)(int*, int*, int*) = nullptr;
    int (*GetBSStatus)(int32_t*) = nullptr;
    int (*GetPaperPosition)(int*, int*) = nullptr;
    int (*CorrectFakeJamError)() = nullptr;
    int (*SaveDataToBmp)(const uint8_t*, int, int, const char*, int) = nullptr;
    int (*ReadPictureData)(uint8_t*, int*, int*, int*, int*) = nullptr;
    int (*SetPrintDarkness)(int, int) = nullptr;
    int (*SetPrintBuffer)(int) = nullptr;
    int (*SetPicPrintPosition)(int, int, const char*) = nullptr;
    int (*SetCharPrintPosition)(int, int, int, int, int, const char*) = nullptr;
    int (*StartPrint)(int, int) = nullptr;
    int (*DownLoadPicture)(int, int, const char*, const char*) = nullptr;
    int (*DownLoadPictureEx)(int, int, const char*, int, int, int, const uint8_t*) = nullptr;
    int (*EraseBMPInFlash)() = nullptr;
    int (*EraseBMPInRam)() = nullptr;
    int (*GetBMPNumber)(int, int*, int*) = nullptr;
    int (*GetBMPName)(int, int, uint8_t*) = nullptr;
    int (*GetFirmwareVersion)(char*) = nullptr;
    int (*ReadVersion)(const char*, char*) = nullptr;
    int (*GetKestromVersion)(char*) = nullptr;
    int (*SetThresholdMethord)(int, int, int, int) = nullptr;
    int (*GetThresholdMethord)(int*, int*, int*) = nullptr;
    int (*SetPrinterHeadMode)(int, int) = nullptr;
    int (*SetDetectPaperTime)(int) = nullptr;
    int (*UpdateDeviceFirmware)(const char*) = nullptr;
    int (*Decode)(uint8_t*, int, int, int*, int*, char*) = nullptr;
    int (*GetDecodeVersion)(char*) = nullptr;
};

// Number of entry points in the table: 40 of the device library, 2 of the dispatcher.
constexpr int kBoundEntryPoints = 42;

// The entry point name at table position `index` (0-based), or nullptr past the end.
const char* entry_point_name(int index);

class Binding {
public:
    Binding() = default;
    ~Binding();
    Binding(const Binding&) = delete;
    Binding& operator=(const Binding&) = delete;

    // Loads the device library, then the dispatcher, then resolves the 42
    // entry points in table order. Returns "" when everything is bound, else
    // the one message the operator sees for the first failure. The file
    // arguments default to the logical names; tests pass test doubles. The
    // texts always name the logical libraries.
    std::string bind(const std::string& deviceLibrary = "Kestrom.dll",
                     const std::string& decodeLibrary = "decode.dll");

    bool bound() const { return bound_; }
    const DeviceApi& api() const { return api_; }

    // CloseUSBPort (when bound), then unloads the device library and the
    // dispatcher, in that order. Safe to call twice.
    void unload();

private:
    platform::DynamicLibrary device_;
    platform::DynamicLibrary decode_;
    DeviceApi api_;
    bool bound_ = false;
};

// The software scanner-printer's library in `libFolder`: libScannerEmulator.so
// (a build, or the development package), else libScannerEmulator.so.0 (a
// runtime-only installation); the bare name's path when neither is there, so
// that the device library names it when it fails to load it.
std::string emulator_library_in(const std::string& libFolder);

}  // namespace tellerdesk
