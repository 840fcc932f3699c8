#pragma once
// The device status: 26 fields decoded from the 8 status bytes. The first 22
// are handed out by GetBSStatus in this order; the last four stay inside.

#include <cstdint>

namespace kestrom {

inline constexpr int kStatusBytes = 8;
inline constexpr int kPublicStatusFields = 22;

struct DeviceStatus {
    std::int32_t headHot = 0;           // byte 0 bit 1
    std::int32_t coverOpen = 0;         // byte 0 bit 2
    std::int32_t passageJam = 0;        // byte 0 bit 3
    std::int32_t commandError = 0;      // byte 0 bit 5
    std::int32_t printPaperError = 0;   // byte 0 bit 6
    std::int32_t printDone = 0;         // byte 0 bit 7
    std::int32_t scannerIdle = 0;       // byte 1 bit 1
    std::int32_t scanning = 0;          // byte 1 bit 2
    std::int32_t waiting = 0;           // byte 1 bit 3
    std::int32_t printing = 0;          // byte 1 bit 5
    std::int32_t feedingPaper = 0;      // byte 1 bit 6
    std::int32_t statusError = 0;       // byte 1 bit 7
    std::int32_t haveData = 0;          // byte 2 bit 1
    std::int32_t scanLinesPerMm = 0;    // byte 2 bit 3: 4 or 8
    std::int32_t grayPicture = 0;       // byte 2 bit 6
    std::int32_t lockScan = 0;          // byte 2 bit 7
    std::int32_t paperSensorA = 0;      // byte 3 bit 7
    std::int32_t paperSensorB = 0;      // byte 3 bit 3
    std::int32_t paperAtPrintHead = 0;  // byte 3 bit 2
    std::int32_t statusBit3_4 = 0;
    std::int32_t statusBit3_0 = 0;
    std::int32_t statusBit2_0 = 0;
    // Kept inside the library.
    std::int32_t pendingBytes = 0;  // bytes 4..7, little-endian
    std::int32_t statusBit3_5 = 0;
    std::int32_t replyReady = 0;    // byte 3 bit 6: a reply waits for 1B 4B
    std::int32_t scanComplete = 0;  // byte 2 bit 2: end of the picture's data
};

static_assert(sizeof(DeviceStatus) == 26 * sizeof(std::int32_t));

DeviceStatus decode_status(const std::uint8_t bytes[kStatusBytes]);

// Copies fields 0..21 to `out` (22 consecutive integers).
void copy_public_fields(const DeviceStatus& status, std::int32_t* out);

}  // namespace kestrom
