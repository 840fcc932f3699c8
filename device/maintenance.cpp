// Calibration, reset, firmware loading and versions.

#include <algorithm>
#include <cstring>
#include <string>

#include "device/Kestrom.h"
#include "device/firmware_file.h"
#include "device/operations.h"
#include "device/port.h"
#include "platform/files.h"

namespace kestrom {
namespace {

inline constexpr char kLibraryVersion[] = "V1.01/10/03/17";
static_assert(sizeof kLibraryVersion == KESTROM_LIBRARY_VERSION_BYTES,
              "the header states the version's size");
inline constexpr int kCisPollMs = 500;
inline constexpr int kSensorCalibrationMs = 6000;
inline constexpr int kSensorCount = 8;
inline constexpr int kRestartMs = 4000;
inline constexpr int kReopenTries = 10;
inline constexpr int kReopenPauseMs = 2000;
inline constexpr int kAfterReopenMs = 1000;
inline constexpr int kFirmwareVersionBytes = KESTROM_FIRMWARE_VERSION_BYTES;  // not terminated

// CIS calibration states in byte 7 of the progress reply.
inline constexpr std::uint8_t kCisRunning = 0;
inline constexpr std::uint8_t kCisDone = 1;
inline constexpr std::uint8_t kCisLastState = 3;

// After the device restarts: reopen the port until it answers a probe.
// `verify` runs once on the first answering device and decides the result.
template <typename Verify>
int reconnect(Verify verify) {
    close_port();
    pause_ms(kRestartMs);
    for (int attempt = 0; attempt < kReopenTries; ++attempt) {
        pause_ms(kReopenPauseMs);
        if (!open_port()) continue;
        pause_ms(kAfterReopenMs);
        if (liveness_probe(1)) return verify();
    }
    return 0;
}

// Sends a whole file in one write, then waits for the device to come back.
template <typename Verify>
int send_file_and_reconnect(const char* filePath, Verify verify) {
    const auto file = platform::read_file(filePath);
    if (!file || file->empty() || file->size() > 0x7FFFFFFFu) return 0;
    if (!raw_write(file->data(), static_cast<int>(file->size()), true)) return 0;
    return reconnect(verify);
}

}  // namespace

int cis_data_correct() {
    DeviceStatus s;
    if (!query_status(s) || !s.scannerIdle) return 0;
    if (!send({0x1A, 0x4C})) return 0;
    for (;;) {
        pause_ms(kCisPollMs);
        std::uint8_t r[8] = {};
        if (!request({0x1B, 0x45}, r, 8) || r[7] > kCisLastState) return 0;
        if (r[7] == kCisRunning) continue;
        if (r[7] != kCisDone) return 0;
        if (!send({0x1A, 0x4E})) return 0;
        settle();
        return 1;
    }
}

int sensor_correct() {
    if (!persist_prefix()) return 0;
    pause_ms(kSettleMs);
    if (!send({0x1A, 0x6F, 0x01, 0x01})) return 0;
    settle();
    DeviceStatus s;
    if (!query_status(s) || !s.scannerIdle) return 0;
    if (!send({0x1A, 0x55})) return 0;
    pause_ms(kSensorCalibrationMs);
    std::uint8_t r[32] = {};
    if (!request({0x1B, 0x4C}, r, 32)) return 0;
    return std::all_of(r, r + kSensorCount, [](std::uint8_t v) { return v >= 1 && v <= 254; }) ? 1 : 0;
}

int reset_device() {
    if (!send({0x1B, 0x40})) return 0;
    return reconnect([] { return 1; });
}

int update_online(const char* filePath) {
    if (!port_open() || !filePath) return 0;
    return send_file_and_reconnect(filePath, [] { return 1; });
}

int update_device_firmware(const char* filePath) {
    if (!port_open() || !filePath) return 0;
    char version[kVersionLength + 1] = {};
    if (!read_version(filePath, version)) return 0;
    return send_file_and_reconnect(filePath, [&version] {
        char reported[kFirmwareVersionBytes] = {};
        if (!get_firmware_version(reported)) return 0;
        const std::string text(reported, sizeof reported);
        return text.find(version, 0, kVersionLength) != std::string::npos ? 1 : 0;
    });
}

int read_version(const char* filePath, char* version) {
    if (!filePath || !version) return 0;
    const auto file = platform::read_file(filePath);
    if (!file) return 0;
    const auto image = firmware_image(*file);
    if (!image) return 0;
    const auto text = firmware_version(*image);
    if (!text) return 0;
    std::memcpy(version, text->data(), kVersionLength);
    version[kVersionLength] = '\0';
    return 1;
}

int get_firmware_version(char* buffer) {
    if (!buffer) return 0;
    return request({0x1B, 0x49}, reinterpret_cast<std::uint8_t*>(buffer), kFirmwareVersionBytes);
}

int get_library_version(char* buffer) {
    if (buffer) std::memcpy(buffer, kLibraryVersion, sizeof kLibraryVersion);
    return 1;
}

}  // namespace kestrom
