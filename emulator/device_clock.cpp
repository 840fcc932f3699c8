#include "emulator/device_clock.h"

namespace emu {

DeviceClock::DeviceClock() : anchorReal_(Real::now()) {}

std::int64_t DeviceClock::now() const {
    const double realMs = std::chrono::duration<double, std::milli>(Real::now() - anchorReal_).count();
    return static_cast<std::int64_t>(anchorDevice_ + realMs * scale_);
}

void DeviceClock::set_scale(double scale) {
    if (!(scale >= 0.0)) scale = 0.0;  // also catches NaN
    const Real::time_point real = Real::now();
    anchorDevice_ += std::chrono::duration<double, std::milli>(real - anchorReal_).count() * scale_;
    anchorReal_ = real;
    scale_ = scale;
}

void DeviceClock::advance(std::int64_t ms) {
    if (ms > 0) anchorDevice_ += static_cast<double>(ms);
}

void DeviceClock::restart() {
    anchorReal_ = Real::now();
    anchorDevice_ = 0.0;
}

}  // namespace emu
