#pragma once
// Test support around the software scanner-printer, part two: the emulator
// as the device behind the kit's libraries. One call points the link loader
// at the emulator, gives it its print and state folders, leaves the ticket
// folder unset, sets how device time runs and powers it on; a guard lets the
// library's pauses move device time instead of waiting for real.

#include <filesystem>
#include <functional>
#include <string>

namespace emutesting {

// How a test wants the emulated device. Empty folders are left unset in the
// environment, so the emulator keeps its defaults.
struct DeviceSetup {
    std::string emulatorPath;        // libScannerEmulator.so the link loader is to open
    std::filesystem::path printDir;  // EMULATOR_PRINT_DIR
    std::filesystem::path stateDir;  // EMULATOR_STATE_DIR
    double timeScale = 0;            // device ms per real ms; 0 = device time moves only when told
    int transferStep = 0;            // device ms added per transfer
};

// Sets the environment and clock of `setup` and powers the device on.
// Returns what Emu_Reset returned (1 = on).
int power_on_emulator(const DeviceSetup& setup);

// While it lives, every pause of the kit's libraries advances device time
// by the paused milliseconds (negative pauses count as none) through
// `advance`, by default the linked emulator's own clock.
class SleepMovesDeviceTime {
public:
    using Advance = std::function<void(int ms)>;
    SleepMovesDeviceTime();
    explicit SleepMovesDeviceTime(Advance advance);
    ~SleepMovesDeviceTime();
    SleepMovesDeviceTime(const SleepMovesDeviceTime&) = delete;
    SleepMovesDeviceTime& operator=(const SleepMovesDeviceTime&) = delete;
};

}  // namespace emutesting
