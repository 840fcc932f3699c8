// The library's pauses forwarded to a device clock while a test runs.

#include "emulator/testing/emulated_device.h"
#include "platform/sleep.h"

namespace emutesting {

SleepMovesDeviceTime::SleepMovesDeviceTime(Advance advance) {
    platform::set_sleep_observer([advance = std::move(advance)](int ms) { advance(ms > 0 ? ms : 0); });
}

SleepMovesDeviceTime::~SleepMovesDeviceTime() {
    platform::set_sleep_observer({});
}

}  // namespace emutesting
