#include "device/device_status.h"

#include <cstring>

namespace kestrom {
namespace {

std::int32_t bit(std::uint8_t byte, int index) {
    return (byte >> index) & 1;
}

}  // namespace

DeviceStatus decode_status(const std::uint8_t b[kStatusBytes]) {
    DeviceStatus s;
    s.headHot = bit(b[0], 1);
    s.coverOpen = bit(b[0], 2);
    s.passageJam = bit(b[0], 3);
    s.commandError = bit(b[0], 5);
    s.printPaperError = bit(b[0], 6);
    s.printDone = bit(b[0], 7);
    s.scannerIdle = bit(b[1], 1);
    s.scanning = bit(b[1], 2);
    s.waiting = bit(b[1], 3);
    s.printing = bit(b[1], 5);
    s.feedingPaper = bit(b[1], 6);
    s.statusError = bit(b[1], 7);
    s.haveData = bit(b[2], 1);
    s.scanLinesPerMm = bit(b[2], 3) ? 8 : 4;
    s.grayPicture = bit(b[2], 6);
    s.lockScan = bit(b[2], 7);
    s.paperSensorA = bit(b[3], 7);
    s.paperSensorB = bit(b[3], 3);
    s.paperAtPrintHead = bit(b[3], 2);
    s.statusBit3_4 = bit(b[3], 4);
    s.statusBit3_0 = bit(b[3], 0);
    s.statusBit2_0 = bit(b[2], 0);
    s.pendingBytes = static_cast<std::int32_t>(
        static_cast<std::uint32_t>(b[4]) | static_cast<std::uint32_t>(b[5]) << 8 |
        static_cast<std::uint32_t>(b[6]) << 16 | static_cast<std::uint32_t>(b[7]) << 24);
    s.statusBit3_5 = bit(b[3], 5);
    s.replyReady = bit(b[3], 6);
    s.scanComplete = bit(b[2], 2);
    return s;
}

void copy_public_fields(const DeviceStatus& status, std::int32_t* out) {
    std::memcpy(out, &status, kPublicStatusFields * sizeof(std::int32_t));
}

}  // namespace kestrom
