#pragma once
// The entry points of libKestrom.so the backend uses, bound by name at run
// time like every other part of the kit.

#include <cstdint>
#include <string>

#include "platform/dynamic_library.h"

namespace tqsane {

// The fields of the device status the backend reads (as GetBSStatus hands them out).
struct Status {
    int32_t headHot, coverOpen, passageJam, commandError, printPaperError, printDone;
    int32_t scannerIdle, scanning, waiting, printing, feedingPaper, statusError;
    int32_t haveData, scanLinesPerMm, grayPicture, lockScan;
    int32_t paperSensorA, paperSensorB, paperAtPrintHead;
    int32_t statusBit3_4, statusBit3_0, statusBit2_0;
};
static_assert(sizeof(Status) == 22 * sizeof(int32_t));

struct KestromApi {
    int (*OpenUSBPort)() = nullptr;
    void (*CloseUSBPort)() = nullptr;
    int (*SetScanWidth)(int, int) = nullptr;
    int (*SetScanHeight)(int) = nullptr;
    int (*SetScanPictureType)(int, int) = nullptr;
    int (*SetScanDPI)(int, int) = nullptr;
    int (*SetThresholdMethord)(int, int, int, int) = nullptr;
    int (*StartScan)(int) = nullptr;
    int (*AbortScan)() = nullptr;
    int (*GetBSStatus)(int32_t*) = nullptr;
    int (*ReadPictureData)(uint8_t*, int*, int*, int*, int*) = nullptr;
    int (*StartFeedPaper)(int, int) = nullptr;
    int (*CorrectFakeJamError)() = nullptr;

    // Loads "Kestrom.dll" and resolves every entry point above; false (with
    // error()) when the library or one entry point is missing.
    bool bind();
    void unbind();
    bool bound() const { return library_.is_open(); }
    const std::string& error() const { return error_; }

    // The status, or false when the query fails.
    bool status(Status& s) const { return GetBSStatus(reinterpret_cast<int32_t*>(&s)) == 1; }

private:
    platform::DynamicLibrary library_;
    std::string error_;
};

}  // namespace tqsane
