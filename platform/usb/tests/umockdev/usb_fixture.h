#pragma once
// Shared set-up of the tests on the emulated bus: a fresh umockdev testbed,
// the software scanner-printer behind the scanner's endpoints (its clock
// frozen and moved by transfers and by the device library's pauses), a
// bystander function for other devices, and libPipewell loaded by file.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "emulated_usb_device.h"
#include "platform/dynamic_library.h"
#include "scanner_function.h"
#include "usb_testbed.h"

namespace usbtest {

using Bytes = std::vector<std::uint8_t>;

constexpr std::uint16_t kVendor = 0x1d6b;  // ids the tests give the scanner
constexpr std::uint16_t kProduct = 0x7a51;
constexpr std::uint8_t kCommandEndpoint = 0x01;
constexpr std::uint8_t kReplyEndpoint = 0x81;
constexpr std::uint8_t kImageEndpoint = 0x83;

// libPipewell's operations, resolved by name as the device library does.
struct PipewellLink {
    int (*openDevice)() = nullptr;
    int (*read)(int, int, std::uint8_t*, int) = nullptr;
    int (*write)(int, int, const std::uint8_t*, int) = nullptr;
    int (*getSpecStatus)(int, std::uint8_t*, int, int*) = nullptr;
    int (*closeDevice)(int) = nullptr;
    int (*setTimeouts)(int, int, int) = nullptr;
    int (*sendSpecCommand)(int, int) = nullptr;
    int (*resetPipes)(int, int) = nullptr;
    int (*lastError)(char*, int) = nullptr;

    std::string reason() const {
        char text[512] = {};
        lastError(text, sizeof text);
        return text;
    }
};

class UsbBusTest : public ::testing::Test {
public:
    static const EmulatorLibrary& emu() { return EmulatorLibrary::get(EMULATOR_PATH); }

protected:
    void SetUp() override {
        for (const char* name : {"PIPEWELL_USB_ID", "PIPEWELL_DEBUG", "PIPEWELL_LIBRARY", "EMULATOR_TICKETS"})
            ::unsetenv(name);
        char pattern[] = "/tmp/usbtest_XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        workDir = pattern;
        ::setenv("EMULATOR_STATE_DIR", (workDir / "state").c_str(), 1);
        ::setenv("EMULATOR_PRINT_DIR", (workDir / "printed").c_str(), 1);
        emu().setTimeScale(0);
        emu().setTransferStep(1);
        ASSERT_EQ(emu().reset(1), 1);
        testbed = std::make_unique<UsbTestbed>();
    }

    void TearDown() override {
        pipewell.close();
        EXPECT_TRUE(scannerUsb.unserved().empty()) << "libusb asked for " << scannerUsb.unserved().front();
        testbed.reset();
        emu().clearFaults();
        std::error_code ignored;
        std::filesystem::remove_all(workDir, ignored);
    }

    UsbTestbed::Plugged plug_scanner(int address = 2, EmulatedUsbDevice* device = nullptr) {
        return testbed->plug(address, kVendor, kProduct, scanner_descriptors(kVendor, kProduct),
                             device != nullptr ? *device : scannerUsb);
    }

    // Loads libPipewell afresh (a new libusb context that enumerates again).
    void load_link() {
        pipewell.close();
        ASSERT_TRUE(pipewell.open(PIPEWELL_PATH)) << pipewell.error();
        auto bind = [this](const char* name, auto& target) {
            target = pipewell.resolve<std::remove_reference_t<decltype(target)>>(name);
            ASSERT_NE(target, nullptr) << name;
        };
        bind("OpenDevice", link.openDevice);
        bind("uRead", link.read);
        bind("uWrite", link.write);
        bind("GetSpecStatus", link.getSpecStatus);
        bind("CloseDevice", link.closeDevice);
        bind("SetUSBTimeouts", link.setTimeouts);
        bind("SendSpecCommand", link.sendSpecCommand);
        bind("ResetPipes", link.resetPipes);
        bind("PipewellLastError", link.lastError);
    }

    int write(int handle, const Bytes& bytes) {
        return link.write(handle, 0, bytes.data(), static_cast<int>(bytes.size()));
    }

    ScannerFunction scanner{emu()};
    BystanderFunction bystander;
    EmulatedUsbDevice scannerUsb{scanner};
    EmulatedUsbDevice bystanderUsb{bystander};
    std::unique_ptr<UsbTestbed> testbed;
    platform::DynamicLibrary pipewell;
    PipewellLink link;
    std::filesystem::path workDir;
};

}  // namespace usbtest
