// Calibration of the contact image sensor (with progress replies) and of the
// paper sensors (with their values).

#include <algorithm>

#include "emulator/command_table.h"
#include "emulator/device.h"

namespace emu {
namespace {

constexpr std::size_t kSensorReplyBytes = 32;
constexpr int kCisStateFailed = 3;  // reported when no calibration ran

bool start_cis_calibration(Device& device, const Command& c) {
    if (device.phase != Phase::Idle || device.busy(c.now) || device.cisActive || device.jammed())
        return false;
    device.cisActive = true;
    device.cisStart = c.now;
    device.cisResult = -1;
    return true;
}

// 1B 45 -> progress (0..100), six zero bytes, state (0 running, 1 done, 2/3 failed).
bool cis_progress(Device& device, const Command& c) {
    std::vector<std::uint8_t> reply(8, 0);
    if (device.cisActive) {
        const std::int64_t elapsed = std::max<std::int64_t>(0, c.now - device.cisStart);
        reply[0] = static_cast<std::uint8_t>(std::min<std::int64_t>(99, elapsed * 100 / kCisCalibrationMs));
        reply[7] = 0;
    } else if (device.cisResult >= 0) {
        reply[0] = 100;
        reply[7] = static_cast<std::uint8_t>(device.cisResult);
    } else {
        reply[7] = kCisStateFailed;
    }
    device.set_reply(std::move(reply));
    return true;
}

// 1A 4E: keeps the new calibration.
bool finish_cis_calibration(Device& device, const Command&) {
    return device.cisResult == 1;
}

// 1A 6F 01 save: lets the next sensor calibration store its values.
bool sensor_calibration_setup(Device& device, const Command& c) {
    return c[2] == 1 && save_type_valid(device, c[3]);
}

bool start_sensor_calibration(Device& device, const Command& c) {
    if (device.phase != Phase::Idle || device.busy(c.now) || device.cisActive) return false;
    std::copy(std::begin(kGoodSensorValues), std::end(kGoodSensorValues), device.sensorValues.begin());
    if (device.cond.badSensor) device.sensorValues[3] = 0;
    device.keep_busy(c.now, kSensorCalibrationMs);
    return true;
}

// 1B 4C -> the eight sensor values and 24 zero bytes.
bool sensor_values(Device& device, const Command&) {
    std::vector<std::uint8_t> reply(kSensorReplyBytes, 0);
    std::copy(device.sensorValues.begin(), device.sensorValues.end(), reply.begin());
    device.set_reply(std::move(reply));
    return true;
}

}  // namespace

void register_calibration_commands(CommandTable& table) {
    table.add({0x1A, 0x4C, 2, false, "start CIS calibration", start_cis_calibration});
    table.add({0x1B, 0x45, 2, false, "CIS calibration progress", cis_progress});
    table.add({0x1A, 0x4E, 2, false, "keep CIS calibration", finish_cis_calibration});
    table.add({0x1A, 0x6F, 4, false, "sensor calibration setup", sensor_calibration_setup});
    table.add({0x1A, 0x55, 2, false, "start sensor calibration", start_sensor_calibration});
    table.add({0x1B, 0x4C, 2, false, "sensor values", sensor_values});
}

}  // namespace emu
