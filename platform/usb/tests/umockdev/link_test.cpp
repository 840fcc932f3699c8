// libPipewell with the real libusb against emulated USB devices: finding the
// scanner, the status request, commands and replies, and each fault the bus
// can show, with the result the device library gets and the reason given.

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>

#include "usb_fixture.h"

namespace usbtest {
namespace {

const Bytes kAskProbe = {0x1A, 0x6B, 0x42};  // ask for reply 'B'
const Bytes kFetchReply = {0x1B, 0x4B};      // fetch it: 6 bytes, 'B' first
constexpr int kProbeReplyBytes = 6;

Bytes emulator_status() {
    Bytes status(8);
    UsbBusTest::emu().getStatus(status.data());
    return status;
}

// Threads of this process that libusb started for its event handling.
int libusb_threads() {
    int count = 0;
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
        std::ifstream comm(task.path() / "comm");
        std::string name;
        if (std::getline(comm, name) && name.rfind("libusb", 0) == 0) ++count;
    }
    return count;
}

// libusb's thread names itself once it runs, and a joined thread may linger
// in /proc for a moment after its join returns: the count is taken once it
// holds what is expected, or after two seconds. A thread left behind has
// named itself long before, so the count waited for after a failed open is
// taken a tenth of a second on.
int libusb_threads_once(bool expectSome) {
    if (!expectSome) std::this_thread::sleep_for(std::chrono::milliseconds(100));
    for (int i = 0; i < 200 && (libusb_threads() > 0) != expectSome; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return libusb_threads();
}

class UsbLink : public UsbBusTest {
protected:
    // Sends the probe request so that a 6-byte reply waits on the reply pipe.
    void ask_reply(int handle) {
        ASSERT_EQ(write(handle, kAskProbe), 3) << link.reason();
        ASSERT_EQ(write(handle, kFetchReply), 2) << link.reason();
    }
};

TEST_F(UsbLink, TheIdPicksTheScannerAmongTwoFittingDevicesAndCarriesStatusCommandsAndReplies) {
    testbed->plug(2, kVendor, 0x0001, scanner_descriptors(kVendor, 0x0001), bystanderUsb);
    plug_scanner(3);
    ::setenv("PIPEWELL_USB_ID", "1D6B:7A51", 1);
    load_link();

    const int handle = link.openDevice();
    ASSERT_GT(handle, 0) << link.reason();
    EXPECT_EQ(link.setTimeouts(handle, 50, 200), 1);
    Bytes status(8);
    int delivered = 0;
    ASSERT_EQ(link.getSpecStatus(handle, status.data(), 8, &delivered), 1) << link.reason();
    EXPECT_EQ(delivered, 8);
    EXPECT_EQ(status, emulator_status());

    ask_reply(handle);
    Bytes reply(kProbeReplyBytes);
    ASSERT_EQ(link.read(handle, 1, reply.data(), kProbeReplyBytes), kProbeReplyBytes) << link.reason();
    EXPECT_EQ(reply[0], 0x42);
    EXPECT_EQ(link.reason(), "");
    EXPECT_TRUE(bystander.received().empty()) << "commands reached the other device";
    EXPECT_EQ(link.closeDevice(handle), 1);

    // The other id picks the other device: its status is all 0xEE. This also
    // shows that the library really unloads (and lets the device go), as the
    // device library's close relies on.
    ::setenv("PIPEWELL_USB_ID", "1d6b:0001", 1);
    load_link();
    const int other = link.openDevice();
    ASSERT_GT(other, 0) << link.reason();
    ASSERT_EQ(link.getSpecStatus(other, status.data(), 8, &delivered), 1);
    EXPECT_EQ(status, Bytes(8, 0xEE));
    ASSERT_EQ(write(other, kAskProbe), 3);
    EXPECT_EQ(bystander.received(), kAskProbe);
}

TEST_F(UsbLink, WithoutAnIdTheFirstDeviceWithTheScannersInterfaceIsUsed) {
    // A keyboard-like device first on the bus: one interrupt IN endpoint, class HID.
    testbed->plug(2, 0x046d, 0xc31c, descriptors(0x046d, 0xc31c, 0x03, {{0x81, 3, 8}}), bystanderUsb);
    plug_scanner(3);
    load_link();
    const int handle = link.openDevice();
    ASSERT_GT(handle, 0) << link.reason();
    Bytes status(8);
    int delivered = 0;
    ASSERT_EQ(link.getSpecStatus(handle, status.data(), 8, &delivered), 1) << link.reason();
    EXPECT_EQ(status, emulator_status());
    // Pipes are the interface's endpoints in order: 0 writes, 1 and 3 read, 4 does not exist.
    std::uint8_t byte = 0;
    EXPECT_EQ(link.read(handle, 0, &byte, 1), -1);
    EXPECT_NE(link.reason().find("cannot be read"), std::string::npos) << link.reason();
    EXPECT_EQ(link.read(handle, 4, &byte, 1), -1);
    EXPECT_NE(link.reason().find("does not exist"), std::string::npos) << link.reason();
}

TEST_F(UsbLink, OpenFailuresTellAnAbsentDeviceADeniedNodeAndABusyInterfaceApart) {
    load_link();
    EXPECT_EQ(link.openDevice(), -1);
    EXPECT_NE(link.reason().find("no attached USB device"), std::string::npos) << link.reason();

    ::setenv("PIPEWELL_USB_ID", "1d6b", 1);
    EXPECT_EQ(link.openDevice(), -1);
    EXPECT_NE(link.reason().find("PIPEWELL_USB_ID=\"1d6b\""), std::string::npos) << link.reason();
    ::unsetenv("PIPEWELL_USB_ID");

    const auto node = plug_scanner();
    load_link();
    testbed->set_node_mode(node, 0600);
    {
        // As a user outside the udev rule: the node is root's, mode 0600.
        PermissionsEnforced enforced;
        ::setenv("PIPEWELL_DEBUG", "1", 1);
        testing::internal::CaptureStderr();
        testbed->set_node_mode(node, 0000);
        EXPECT_EQ(link.openDevice(), -1);
        const std::string printed = testing::internal::GetCapturedStderr();
        ::unsetenv("PIPEWELL_DEBUG");
        const std::string reason = link.reason();
        EXPECT_NE(reason.find("LIBUSB_ERROR_ACCESS"), std::string::npos) << reason;
        EXPECT_NE(reason.find("udev rule"), std::string::npos) << reason;
        EXPECT_NE(printed.find("pipewell: " + reason), std::string::npos) << printed;
    }
    testbed->set_node_mode(node, 0666);

    scannerUsb.set_interface_busy(true);
    testing::internal::CaptureStderr();
    EXPECT_EQ(link.openDevice(), -1);
    EXPECT_EQ(testing::internal::GetCapturedStderr().find("pipewell:"), std::string::npos)
        << "printed without PIPEWELL_DEBUG";
    EXPECT_NE(link.reason().find("LIBUSB_ERROR_BUSY"), std::string::npos) << link.reason();

    scannerUsb.set_interface_busy(false);
    EXPECT_GT(link.openDevice(), 0) << link.reason();
    EXPECT_EQ(link.lastError(nullptr, 0), 0);
}

// Unloading joins libusb's event thread while the loader's lock is held; a
// thread handling a hotplug event then (here in umockdev's dlsym) waits for
// that lock for ever. After an open that claimed nothing no such thread is
// left, so the common unload, after an open that failed, cannot hang.
TEST_F(UsbLink, AnOpenThatClaimsNothingLeavesNoLibusbThreadBehind) {
    load_link();
    EXPECT_EQ(link.openDevice(), -1);
    EXPECT_EQ(libusb_threads_once(false), 0) << "after finding no device";

    plug_scanner();
    scannerUsb.set_interface_busy(true);
    EXPECT_EQ(link.openDevice(), -1);
    EXPECT_EQ(libusb_threads_once(false), 0) << "after a busy interface";

    scannerUsb.set_interface_busy(false);
    const int handle = link.openDevice();
    ASSERT_GT(handle, 0) << link.reason();
    EXPECT_GT(libusb_threads_once(true), 0) << "the device is held, and its context with it";
    EXPECT_EQ(link.closeDevice(handle), 1);
    Bytes status(8);
    int delivered = 0;
    const int again = link.openDevice();
    ASSERT_GT(again, 0) << link.reason();
    EXPECT_EQ(link.getSpecStatus(again, status.data(), 8, &delivered), 1) << link.reason();
    EXPECT_EQ(scannerUsb.counters().claims, 1) << "reopening a link handle keeps the interface claimed";
}

TEST_F(UsbLink, UnplugDuringATransferEndsTheHandleAndTheNextOpenFindsTheDeviceAgain) {
    const auto first = plug_scanner(2);
    load_link();
    const int handle = link.openDevice();
    ASSERT_GT(handle, 0) << link.reason();
    ask_reply(handle);

    scannerUsb.unplug_during(kReplyEndpoint, 2);
    Bytes reply(kProbeReplyBytes);
    EXPECT_EQ(link.read(handle, 1, reply.data(), kProbeReplyBytes), 2)
        << "the bytes that arrived are delivered";
    EXPECT_NE(link.reason().find("LIBUSB_ERROR_NO_DEVICE"), std::string::npos) << link.reason();
    EXPECT_EQ(link.read(handle, 1, reply.data(), kProbeReplyBytes), -1);
    EXPECT_NE(link.reason().find("died with its device: reading 6 bytes on pipe 1"), std::string::npos)
        << link.reason();

    testbed->unplug(first);
    EXPECT_EQ(link.openDevice(), -1);
    EXPECT_NE(link.reason().find("no attached USB device"), std::string::npos) << link.reason();

    EmulatedUsbDevice again(scanner);
    testbed->plug(5, kVendor, kProduct, scanner_descriptors(kVendor, kProduct), again);
    const int reopened = link.openDevice();
    ASSERT_GT(reopened, 0) << link.reason();
    Bytes status(8);
    int delivered = 0;
    EXPECT_EQ(link.getSpecStatus(reopened, status.data(), 8, &delivered), 1) << link.reason();
    EXPECT_EQ(status, emulator_status());
    pipewell.close();  // before `again` goes
}

TEST_F(UsbLink, AStalledEndpointFailsUntilResetPipesClearsTheHalt) {
    plug_scanner();
    load_link();
    const int handle = link.openDevice();
    ASSERT_GT(handle, 0);
    ask_reply(handle);

    scannerUsb.halt(kReplyEndpoint);
    Bytes reply(kProbeReplyBytes);
    EXPECT_EQ(link.read(handle, 1, reply.data(), kProbeReplyBytes), -1);
    EXPECT_NE(link.reason().find("LIBUSB_ERROR_PIPE"), std::string::npos) << link.reason();
    EXPECT_EQ(link.read(handle, 1, reply.data(), kProbeReplyBytes), -1) << "still halted";

    EXPECT_EQ(link.resetPipes(handle, 1), 1) << link.reason();
    EXPECT_EQ(scannerUsb.counters().clearHalts[kReplyEndpoint], 1);
    ASSERT_EQ(link.read(handle, 1, reply.data(), kProbeReplyBytes), kProbeReplyBytes) << link.reason();
    EXPECT_EQ(reply[0], 0x42) << "the reply waited in the device through the halt";
}

TEST_F(UsbLink, AReadThatTimesOutDeliversWhatArrivedAndAShortReadLeavesTheRestQueued) {
    plug_scanner();
    load_link();
    const int handle = link.openDevice();
    ASSERT_GT(handle, 0);
    constexpr int kReadTimeoutMs = 60;
    ASSERT_EQ(link.setTimeouts(handle, 50, kReadTimeoutMs), 1);
    ask_reply(handle);

    scannerUsb.stop_after(kReplyEndpoint, 2);
    Bytes reply(kProbeReplyBytes);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(link.read(handle, 1, reply.data(), kProbeReplyBytes), 2);
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_GE(waited, std::chrono::milliseconds(kReadTimeoutMs));
    EXPECT_EQ(scannerUsb.counters().discards, 1);
    EXPECT_NE(link.reason().find("LIBUSB_ERROR_TIMEOUT"), std::string::npos) << link.reason();
    EXPECT_EQ(link.read(handle, 1, reply.data() + 2, kProbeReplyBytes - 2), kProbeReplyBytes - 2);
    EXPECT_EQ(reply[0], 0x42);

    // Nothing waiting: the read gives 0 after the timeout, not a failure.
    EXPECT_EQ(link.read(handle, 1, reply.data(), kProbeReplyBytes), 0);

    ask_reply(handle);
    ASSERT_EQ(emu().injectFault(EMU_FAULT_READ_SHORT, 1, 0, 1), 1);
    EXPECT_EQ(link.read(handle, 1, reply.data(), kProbeReplyBytes), kProbeReplyBytes - 1);
    EXPECT_EQ(link.read(handle, 1, reply.data() + 5, 1), 1);
    EXPECT_EQ(reply[0], 0x42);
}

TEST_F(UsbLink, APortResetKeepsTheHandleWhenTheDeviceComesBack) {
    plug_scanner();
    load_link();
    const int handle = link.openDevice();
    ASSERT_GT(handle, 0);
    EXPECT_EQ(link.sendSpecCommand(handle, 192), 1) << link.reason();
    const auto counters = scannerUsb.counters();
    EXPECT_EQ(counters.resets, 1);
    EXPECT_EQ(counters.claims, 2) << "the interface is claimed again after the reset";
    Bytes status(8);
    int delivered = 0;
    EXPECT_EQ(link.getSpecStatus(handle, status.data(), 8, &delivered), 1) << link.reason();
    EXPECT_EQ(link.sendSpecCommand(handle, 193), 0);
    EXPECT_NE(link.reason().find("not supported"), std::string::npos) << link.reason();
}

TEST_F(UsbLink, APortResetThatBringsTheDeviceBackAsANewOneEndsTheHandleAndTheNextOpenFindsIt) {
    const auto before = plug_scanner(2);
    load_link();
    const int handle = link.openDevice();
    ASSERT_GT(handle, 0);
    scanner.set_reset_reenumerates(true);
    EXPECT_EQ(link.sendSpecCommand(handle, 192), 1) << "the reset itself went through";
    testbed->unplug(before);
    EmulatedUsbDevice after(scanner);
    testbed->plug(7, kVendor, kProduct, scanner_descriptors(kVendor, kProduct), after);

    Bytes status(8);
    int delivered = 0;
    EXPECT_EQ(link.getSpecStatus(handle, status.data(), 8, &delivered), 0);
    EXPECT_NE(link.reason().find("died with its device: the port reset brought it back as a new device"),
              std::string::npos)
        << link.reason();
    const int again = link.openDevice();
    ASSERT_GT(again, 0) << link.reason();
    EXPECT_EQ(link.getSpecStatus(again, status.data(), 8, &delivered), 1) << link.reason();
    EXPECT_EQ(status, emulator_status());
    pipewell.close();  // before `after` goes
}

}  // namespace
}  // namespace usbtest
