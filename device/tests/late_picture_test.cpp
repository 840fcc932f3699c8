// Pictures pulled from the software scanner-printer long after the scan: the
// device holds more than one status announcement can carry, and every line
// must still arrive, in order, whatever the picture's size.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "device/Kestrom.h"
#include "emulator/ScannerEmulator.h"
#include "emulator/testing/kit_on_emulator.h"
#include "platform/sleep.h"

namespace {

namespace fs = std::filesystem;
using namespace emutesting;

constexpr std::size_t kPictureBuffer = 10485760;

// A grey ticket whose every dot tells its own row and column apart.
Bytes patterned_ticket(int width, int height) {
    Bytes t(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            t[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)] =
                static_cast<std::uint8_t>(x * 3 + y * 7 + y / 256);
    return t;
}

class LatePicture : public KitOnEmulatorTest {
protected:
    LatePicture() : KitOnEmulatorTest(EMULATOR_PATH, "kestrom_late", false) {}

    void SetUp() override {
        KitOnEmulatorTest::SetUp();
        buffer.assign(kPictureBuffer, 0);
    }

    // Scans a grey ticket `widthMm` wide and `rows` long at 8 lines/mm,
    // lets `lateMs` of device time pass (or, with lateMs < 0, waits just
    // for the first data) and reads the picture; checks it line by line.
    void scan_and_read(int widthMm, int rows, int lateMs) {
        SCOPED_TRACE(std::to_string(rows) + " rows, " + std::to_string(widthMm) + " mm, late " +
                     std::to_string(lateMs) + " ms");
        const int width = widthMm * 8;
        const Bytes ticket = patterned_ticket(width, rows);
        Emu_RemoveTicket();
        ASSERT_EQ(Emu_InsertTicketPixels(ticket.data(), width, rows, 8), 1);
        ASSERT_EQ(SetScanWidth(0, widthMm), 1);
        ASSERT_EQ(SetScanHeight(0), 1);
        ASSERT_EQ(SetScanPictureType(1, 0), 1);
        ASSERT_EQ(SetScanDPI(8, 0), 1);
        Emu_AdvanceTime(100);
        ASSERT_EQ(StartScan(0), 1);
        if (lateMs >= 0) {
            Emu_AdvanceTime(lateMs);
        } else {
            bool haveData = false;
            for (int i = 0; i < 1000 && !haveData; ++i) {
                haveData = status().haveData == 1;
                if (!haveData) platform::sleep_ms(5);
            }
            ASSERT_TRUE(haveData);
        }

        int lineBytes = 0, lines = 0, type = -1, perMm = 0;
        ASSERT_EQ(ReadPictureData(buffer.data(), &lineBytes, &lines, &type, &perMm), 1) << "ticket lost";
        ASSERT_EQ(lineBytes, width);
        ASSERT_EQ(lines, rows);
        EXPECT_TRUE(std::equal(ticket.begin(), ticket.end(), buffer.begin()))
            << "picture differs from the ticket";

        // Nothing left behind: the device has finished and holds the ticket.
        const DeviceStatus after = status();
        EXPECT_EQ(after.scanning, 0);
        EXPECT_EQ(after.haveData, 0);
        EXPECT_EQ(after.waiting, 1);
    }

    Bytes buffer;
};

TEST_F(LatePicture, TicketReadFiveSecondsAfterTheScanArrivesWhole) {
    // 432-byte lines: about 1 MB, four announcements' worth.
    scan_and_read(54, 2400, 5000);
}

TEST_F(LatePicture, PicturesOfWholeAnnouncementMultiplesAndOneLineMore) {
    // 1024-byte lines: 4 lead lines + 252 rows fill exactly 256 KiB, + 508
    // rows exactly 512 KiB; one row more leaves a last line on its own.
    for (const int rows : {252, 508, 509})
        for (const int lateMs : {-1, 5000}) scan_and_read(128, rows, lateMs);
}

TEST_F(LatePicture, HostReadingAMinuteLateStillGetsTheLongestTicket) {
    // 600 mm of full-width grey: the largest picture the device makes.
    scan_and_read(216, 4800, 60000);
}

}  // namespace
