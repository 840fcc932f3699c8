// The emulated device's environment, clock and sleep seam for tests.

#include "emulator/testing/emulated_device.h"

#include <cstdlib>

#include "emulator/ScannerEmulator.h"

namespace emutesting {

namespace {

// Sets `name` to `value`, or removes it when `value` is empty.
void set_or_unset(const char* name, const std::string& value) {
    if (value.empty())
        ::unsetenv(name);
    else
        ::setenv(name, value.c_str(), 1);
}

}  // namespace

int power_on_emulator(const DeviceSetup& setup) {
    ::setenv("PIPEWELL_LIBRARY", setup.emulatorPath.c_str(), 1);
    set_or_unset("EMULATOR_PRINT_DIR", setup.printDir.string());
    set_or_unset("EMULATOR_STATE_DIR", setup.stateDir.string());
    ::unsetenv("EMULATOR_TICKETS");
    Emu_SetTimeScale(setup.timeScale);
    Emu_SetTransferStep(setup.transferStep);
    return Emu_Reset(1);
}

SleepMovesDeviceTime::SleepMovesDeviceTime() : SleepMovesDeviceTime([](int ms) { Emu_AdvanceTime(ms); }) {}

}  // namespace emutesting
