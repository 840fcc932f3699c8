#pragma once
// The kit's libraries as the command line binds them: by logical name at run
// time, every entry point resolved by name. A missing library or entry point
// is a Failure naming it (device library: exit 3; the others: exit 3 too, as
// the installation is incomplete).

#include <cstdint>
#include <string>

#include "platform/dynamic_library.h"

extern "C" {
#include "device/Kestrom.h"
#include "imaging/Skewtrim.h"
}

namespace ticketkit {

// libKestrom.so: the exports the command line uses.
struct KestromLibrary {
    platform::DynamicLibrary lib;
    int (*OpenUSBPort)() = nullptr;
    void (*CloseUSBPort)() = nullptr;
    int (*SetScanWidth)(int, int) = nullptr;
    int (*SetScanHeight)(int) = nullptr;
    int (*SetScanPictureType)(int, int) = nullptr;
    int (*SetScanDPI)(int, int) = nullptr;
    int (*StartScan)(int) = nullptr;
    int (*GetBSStatus)(int32_t*) = nullptr;
    int (*ReadPictureData)(uint8_t*, int*, int*, int*, int*) = nullptr;
    int (*SaveDataToBmp)(const uint8_t*, int, int, const char*, int) = nullptr;
    int (*SetPrintBuffer)(int) = nullptr;
    int (*SetCharPrintPosition)(int, int, int, int, int, const char*) = nullptr;
    int (*SetPicPrintPosition)(int, int, const char*) = nullptr;
    int (*StartPrint)(int, int) = nullptr;
    int (*StartFeedPaper)(int, int) = nullptr;
    int (*CorrectFakeJamError)() = nullptr;
    int (*DownLoadPicture)(int, int, const char*, const char*) = nullptr;
    int (*GetBMPNumber)(int, int*, int*) = nullptr;
    int (*GetBMPName)(int, int, uint8_t*) = nullptr;
    int (*EraseBMPInFlash)() = nullptr;
    int (*EraseBMPInRam)() = nullptr;
    int (*CISDataCorrect)() = nullptr;
    int (*SensorCorrect)() = nullptr;
    int (*UpdateDeviceFirmware)(const char*) = nullptr;
    int (*ReadVersion)(const char*, char*) = nullptr;
    int (*GetFirmwareVersion)(char*) = nullptr;
    int (*GetKestromVersion)(char*) = nullptr;

    void bind();
};

// libSkewtrim.so: records, colour reduction, straightening, BMP writing.
struct SkewtrimLibrary {
    platform::DynamicLibrary lib;
    int (*Bitmap_New)(Bitmap*, int, int, int, int) = nullptr;
    int (*Bitmap_Done)(Bitmap*) = nullptr;
    int (*GetBWBitmap)(const Bitmap*, Bitmap*, int) = nullptr;
    int (*ImageSkewtrim)(const Bitmap*, int, int, int, Bitmap*) = nullptr;
    int (*SaveBitmapToFile)(const Bitmap*, const char*) = nullptr;

    void bind();
};

// libdecode.so: the recognition dispatcher.
struct DecodeLibrary {
    platform::DynamicLibrary lib;
    int (*Decode)(uint8_t*, int, int, int*, int*, char*) = nullptr;
    int (*GetDecodeVersion)(char*) = nullptr;

    void bind();
};

// The software scanner-printer's control API, bound from the very file the
// device library loads (PIPEWELL_LIBRARY), so both see the same device.
struct EmulatorControl {
    platform::DynamicLibrary lib;
    int (*SetTimeScale)(double) = nullptr;
    int (*InsertTicketFile)(const char*) = nullptr;
    int (*GetLastPrintFile)(char*, int) = nullptr;

    void bind(const std::string& path);
};

inline constexpr const char* kEmulatorFile = "libScannerEmulator.so";

// The USB link library the device library loads at OpenUSBPort (the file
// PIPEWELL_LIBRARY names, else libPipewell.so). The device library unloads it
// again when no device opens, so the command line keeps its own mapping: the
// link's failure reason then survives for last_error().
struct LinkLibrary {
    platform::DynamicLibrary lib;
    int (*LastError)(char*, int) = nullptr;  // optional export PipewellLastError

    // Maps the link library when it can be loaded; never fails (a link that
    // cannot be loaded is reported by OpenUSBPort itself).
    void open();
    // Why the link's last operation failed, "" when it does not say (no such
    // export, or no reason kept).
    std::string last_error() const;
};

// Where the emulator library lies beside this program (the build's lib/ or
// the installation's library folder), as libScannerEmulator.so or, in a
// runtime-only installation, libScannerEmulator.so.0; "" when it is not there.
std::string find_emulator_library();

// The folder this program lies in.
std::string program_folder();

}  // namespace ticketkit
