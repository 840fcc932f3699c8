#pragma once
// Test support around the software scanner-printer, part three: the kit's
// device library in the test's own process, against the linked emulator.
// A fixture that gives each test a scratch working folder, a freshly powered
// device whose time moves only with the library's pauses (and a little per
// transfer), and an open port; and the status polling such tests share.
// Header only: it is compiled with the test, which links the device library.

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "device/Kestrom.h"
#include "emulator/ScannerEmulator.h"
#include "emulator/testing/emulated_device.h"
#include "emulator/testing/scratch_folder.h"
#include "platform/sleep.h"

namespace emutesting {

// The device status through the library; a failed call fails the test.
inline DeviceStatus status() {
    DeviceStatus s{};
    EXPECT_EQ(GetBSStatus(reinterpret_cast<int32_t*>(&s)), 1);
    return s;
}

// Polls the status every 20 ms of (device) time until `done` holds; false
// after `limitMs` ms without it.
template <typename Done>
bool wait_for(Done done, int limitMs = 20000) {
    for (int waited = 0; waited < limitMs; waited += 20) {
        if (done(status())) return true;
        platform::sleep_ms(20);
    }
    return false;
}

class KitOnEmulatorTest : public ::testing::Test {
protected:
    // `folderPrefix` names the scratch folder; with `keepState` the device's
    // stored state goes to its "state" subfolder, else to the emulator's default.
    KitOnEmulatorTest(std::string emulatorPath, const std::string& folderPrefix, bool keepState)
        : emulatorPath_(std::move(emulatorPath)), keepState_(keepState), scratch_(folderPrefix) {}

    void SetUp() override {
        ASSERT_TRUE(scratch_.made());
        workDir = scratch_.path();
        inWorkDir_.emplace(workDir);
        const DeviceSetup setup{emulatorPath_, workDir / "printed",
                                keepState_ ? workDir / "state" : std::filesystem::path(), 0, 1};
        ASSERT_EQ(power_on_emulator(setup), 1);
        sleepSeam_.emplace();
        ASSERT_NE(OpenUSBPort(), 0);
    }

    void TearDown() override {
        CloseUSBPort();
        sleepSeam_.reset();
        Emu_ClearFaults();
        inWorkDir_.reset();
    }

    std::filesystem::path workDir;

private:
    std::string emulatorPath_;
    bool keepState_;
    ScratchFolder scratch_;
    std::optional<WorkingFolder> inWorkDir_;
    std::optional<SleepMovesDeviceTime> sleepSeam_;
};

}  // namespace emutesting
