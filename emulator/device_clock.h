#pragma once
// The device's own clock: device milliseconds since power-on. It runs at a
// chosen multiple of real time (0 freezes it), can be pushed forward by hand,
// and can move a fixed step at every link operation, so tests drive long
// device activities without waiting for them. Not thread-safe by itself: the
// emulator's lock guards it.

#include <chrono>
#include <cstdint>

namespace emu {

class DeviceClock {
public:
    DeviceClock();

    std::int64_t now() const;
    void set_scale(double scale);
    double scale() const { return scale_; }
    void advance(std::int64_t ms);
    void set_transfer_step(int ms) { transferStep_ = ms < 0 ? 0 : ms; }
    void transfer_tick() { advance(transferStep_); }
    void restart();  // back to 0, keeping scale and step

private:
    using Real = std::chrono::steady_clock;
    Real::time_point anchorReal_;
    double anchorDevice_ = 0.0;  // device ms at anchorReal_
    double scale_ = 1.0;
    int transferStep_ = 0;
};

}  // namespace emu
