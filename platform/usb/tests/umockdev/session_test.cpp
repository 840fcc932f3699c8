// The device library over libPipewell, libusb and the emulated bus: a whole
// ticket session (settings stored with the persist prefix, a scan pulled in
// 64 KiB bulk reads, the picture saved, a bitmap stored and printed, a link
// recovery with its port reset), timed against the same session with the
// emulator in place of the link; and the failure reasons in the run log.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>

#include "device/Kestrom.h"
#include "emulator/testing/kit_on_emulator.h"
#include "platform/sleep.h"
#include "usb_fixture.h"

namespace usbtest {
namespace {

namespace fs = std::filesystem;

constexpr int kTicketWidth = 432;   // 54 mm at 8 dots per mm
constexpr int kTicketHeight = 640;  // 80 mm
constexpr std::size_t kPictureBuffer = 10485760;
constexpr int kBulkReadBytes = 65536;
// Device time after which more than 64 KiB of picture wait in the device,
// well below its 256 KiB buffer (about 520 bytes of grey lines per ms).
constexpr int kPictureWaitMs = 300;
const Bytes kPersistPrefix = {0x03, 0xCC, 0x33, 0x33, 0xCC};

// A white ticket with black boxes and a grey ramp.
Bytes make_ticket() {
    Bytes t(static_cast<std::size_t>(kTicketWidth) * kTicketHeight, 255);
    auto box = [&t](int x0, int y0, int w, int h, std::uint8_t v) {
        emutesting::paint_box(t, kTicketWidth, x0, y0, w, h, v);
    };
    box(16, 16, 64, 32, 0);
    box(296, 560, 120, 60, 0);
    for (int x = 0; x < 256; ++x) box(88 + x, 300, 1, 40, static_cast<std::uint8_t>(x));
    return t;
}

std::string file_text(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

bool contains(const Bytes& haystack, const Bytes& needle) {
    return std::search(haystack.begin(), haystack.end(), needle.begin(), needle.end()) != haystack.end();
}

class UsbSession : public UsbBusTest {
protected:
    void SetUp() override {
        UsbBusTest::SetUp();
        inWorkDir.emplace(workDir);
        std::ofstream("recode_run_log.ini") << "\n";
        // Device time moves with the library's pauses, so nothing waits for real.
        sleepSeam.emplace([](int ms) { emu().advanceTime(ms); });
    }

    void TearDown() override {
        CloseUSBPort();
        sleepSeam.reset();
        inWorkDir.reset();
        UsbBusTest::TearDown();
    }

    static DeviceStatus status() { return emutesting::status(); }

    template <typename Done>
    static bool wait_for(Done done, int limitMs = 20000) {
        return emutesting::wait_for(done, limitMs);
    }

    static std::string run_log() { return file_text(fs::path("scanner_log") / "TQ-RMX7KP_1.log"); }

    // One ticket from insertion to print, then a link recovery. Fatal
    // failures return early; the caller checks HasFatalFailure.
    void run_session() {
        ASSERT_NE(OpenUSBPort(), 0) << run_log();
        ASSERT_TRUE(wait_for([](const DeviceStatus& s) { return s.scannerIdle == 1; }));

        emu().journalClear();
        ASSERT_EQ(SetScanDPI(8, 1), 1);
        Bytes written(4096);
        written.resize(static_cast<std::size_t>(emu().journalWritten(written.data(), 4096)));
        EXPECT_TRUE(contains(written, kPersistPrefix)) << "the fixed setting went without the persist prefix";

        const Bytes ticket = make_ticket();
        ASSERT_EQ(emu().insertTicketPixels(ticket.data(), kTicketWidth, kTicketHeight, 8), 1);
        ASSERT_TRUE(
            wait_for([](const DeviceStatus& s) { return s.paperSensorA == 1 && s.scannerIdle == 1; }));
        ASSERT_EQ(SetScanWidth(0, kTicketWidth / 8), 1);
        ASSERT_EQ(SetScanHeight(0), 1);
        ASSERT_EQ(SetScanPictureType(1, 0), 1);
        ASSERT_EQ(StartScan(0), 1);
        ASSERT_TRUE(wait_for([](const DeviceStatus& s) { return s.haveData == 1; }));
        emu().advanceTime(kPictureWaitMs);  // so that some of the picture comes in 64 KiB reads
        Bytes picture(kPictureBuffer);
        int lineBytes = 0, lines = 0, pictureType = -1, perMm = 0;
        ASSERT_EQ(ReadPictureData(picture.data(), &lineBytes, &lines, &pictureType, &perMm), 1) << run_log();
        ASSERT_EQ(lineBytes, kTicketWidth);
        ASSERT_EQ(lines, kTicketHeight);
        const Bytes got(picture.begin(), picture.begin() + static_cast<std::ptrdiff_t>(lineBytes) * lines);
        EXPECT_TRUE(got == ticket) << "the scanned picture differs from the ticket";
        ASSERT_EQ(SaveDataToBmp(picture.data(), lineBytes, lines, "Picture.bmp", pictureType), 1);
        EXPECT_TRUE(emutesting::bmp_rows("Picture.bmp", lineBytes, lines) == ticket)
            << "the saved BMP differs";
        ASSERT_TRUE(wait_for([](const DeviceStatus& s) { return s.waiting == 1; }));

        constexpr int kLogoWidth = 24, kLogoHeight = 16;
        Bytes logo(kLogoWidth / 8 * kLogoHeight);
        for (std::size_t i = 0; i < logo.size(); ++i) logo[i] = static_cast<std::uint8_t>(0x5A ^ i);
        ASSERT_EQ(DownLoadPictureEx(0, 0, "LOGO", kLogoWidth, kLogoHeight, 1, logo.data()), 1);
        EXPECT_EQ(emu().storedBitmapCount(0), 1);
        ASSERT_EQ(SetPrintBuffer(40), 1);
        ASSERT_EQ(SetPicPrintPosition(2, 5, "LOGO"), 1);
        ASSERT_EQ(SetCharPrintPosition(0, 2, 20, '0', 1, "HELLO"), 1);
        ASSERT_EQ(StartPrint(1, 1), 1);
        int printWidth = 0, printHeight = 0;
        ASSERT_EQ(emu().getLastPrint(nullptr, 0, &printWidth, &printHeight), 1);
        EXPECT_EQ(printHeight, 40 * 8);

        // Four failed reply reads: the library recovers the link (halts
        // cleared on every pipe, the port reset) and the device answers again.
        char version[64] = {};
        ASSERT_EQ(emu().injectFault(EMU_FAULT_READ_FAIL, 1, 0, 4), 1);
        EXPECT_EQ(GetFirmwareVersion(version), 0);
        EXPECT_EQ(GetFirmwareVersion(version), 1) << run_log();
        EXPECT_EQ(std::string(version, 6).size(), 6u);
        CloseUSBPort();
    }

    std::optional<emutesting::WorkingFolder> inWorkDir;
    std::optional<emutesting::SleepMovesDeviceTime> sleepSeam;
};

TEST_F(UsbSession, AWholeTicketSessionRunsThroughLibusb) {
    plug_scanner();
    run_session();
    if (HasFatalFailure()) return;
    const auto counters = scannerUsb.counters();
    EXPECT_EQ(counters.largestIn, kBulkReadBytes) << "picture data moves in 64 KiB bulk reads";
    EXPECT_GE(counters.bytes.at(kImageEndpoint), static_cast<long>(kTicketWidth) * kTicketHeight);
    EXPECT_EQ(counters.resets, 1);
    for (int endpoint : {0x01, 0x81, 0x82, 0x83})
        EXPECT_EQ(counters.clearHalts.count(endpoint) != 0 ? counters.clearHalts.at(endpoint) : 0, 1)
            << endpoint;
    const std::string log = run_log();
    EXPECT_NE(log.find("\tf_SendSpecCommand(udev, RESET_USB_DEVICE) = 1"), std::string::npos) << log;
    EXPECT_NE(log.find("\tlink: reading 15 bytes on pipe 1"), std::string::npos)
        << "no reason for the failed read";
    EXPECT_NE(log.find("LIBUSB_ERROR_IO"), std::string::npos);
}

TEST_F(UsbSession, TheSameSessionPassesWithTheEmulatorInPlaceOfTheLinkAndBothAreTimed) {
    using Clock = std::chrono::steady_clock;
    ::setenv("PIPEWELL_LIBRARY", EMULATOR_PATH, 1);
    auto start = Clock::now();
    run_session();
    const double aloneMs = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    if (HasFatalFailure()) return;

    ::unsetenv("PIPEWELL_LIBRARY");
    ASSERT_EQ(emu().reset(1), 1);
    plug_scanner();
    start = Clock::now();
    run_session();
    const double usbMs = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    if (HasFatalFailure()) return;
    std::printf(
        "session: %.0f ms through libPipewell, libusb and umockdev; %.0f ms with the emulator alone\n", usbMs,
        aloneMs);
    RecordProperty("session_usb_ms", static_cast<int>(usbMs));
    RecordProperty("session_emulator_ms", static_cast<int>(aloneMs));
}

TEST_F(UsbSession, AnUnplugDuringAPictureReadFailsTheReadAndTheDeviceIsFoundAgainOnceBack) {
    const auto plugged = plug_scanner(2);
    ASSERT_NE(OpenUSBPort(), 0);
    const Bytes ticket = make_ticket();
    ASSERT_EQ(emu().insertTicketPixels(ticket.data(), kTicketWidth, kTicketHeight, 8), 1);
    ASSERT_TRUE(wait_for([](const DeviceStatus& s) { return s.paperSensorA == 1 && s.scannerIdle == 1; }));
    ASSERT_EQ(SetScanWidth(0, kTicketWidth / 8), 1);
    ASSERT_EQ(SetScanPictureType(1, 0), 1);
    ASSERT_EQ(StartScan(0), 1);
    ASSERT_TRUE(wait_for([](const DeviceStatus& s) { return s.haveData == 1; }));
    emu().advanceTime(kPictureWaitMs);

    scannerUsb.unplug_during(kImageEndpoint, 1000);
    Bytes picture(kPictureBuffer);
    int lineBytes = 0, lines = 0, pictureType = -1, perMm = 0;
    EXPECT_EQ(ReadPictureData(picture.data(), &lineBytes, &lines, &pictureType, &perMm), 0);
    EXPECT_NE(run_log().find("LIBUSB_ERROR_NO_DEVICE"), std::string::npos) << run_log();
    testbed->unplug(plugged);
    int32_t raw[22] = {};
    EXPECT_EQ(GetBSStatus(raw), 0);
    EXPECT_NE(run_log().find("\tlink: no attached USB device"), std::string::npos);

    // Plugged in again: the reopen before every transfer finds it, no new OpenUSBPort needed.
    EmulatedUsbDevice back(scanner);
    testbed->plug(3, kVendor, kProduct, scanner_descriptors(kVendor, kProduct), back);
    EXPECT_EQ(GetBSStatus(raw), 1) << run_log();
    CloseUSBPort();  // before `back` goes
}

TEST_F(UsbSession, OpenFailuresReachTheRunLogWithTheirReason) {
    ::setenv("PIPEWELL_LIBRARY", "/nonexistent/libPipewell.so", 1);
    EXPECT_EQ(OpenUSBPort(), 0);
    EXPECT_NE(run_log().find("OpenUSBPort failed: cannot load /nonexistent/libPipewell.so: "),
              std::string::npos)
        << run_log();
    ::setenv("PIPEWELL_LIBRARY", UMOCKDEV_PRELOAD, 1);  // loads, but is no link library
    EXPECT_EQ(OpenUSBPort(), 0);
    EXPECT_NE(run_log().find("has no entry point OpenDevice"), std::string::npos) << run_log();

    ::unsetenv("PIPEWELL_LIBRARY");
    plug_scanner();
    scannerUsb.set_interface_busy(true);
    EXPECT_EQ(OpenUSBPort(), 0);
    const std::string log = run_log();
    EXPECT_NE(log.find("OpenUSBPort failed: OpenDevice() = -1"), std::string::npos) << log;
    EXPECT_NE(
        log.find(
            "\tlink: claiming interface 0 of USB device 1d6b:7a51 at bus 1 address 2: LIBUSB_ERROR_BUSY"),
        std::string::npos)
        << log;
    scannerUsb.set_interface_busy(false);
    EXPECT_NE(OpenUSBPort(), 0);
}

}  // namespace
}  // namespace usbtest
