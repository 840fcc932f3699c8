// The library against the software scanner-printer: a whole ticket session
// (scan in both picture types and resolutions, save, download a bitmap,
// print, eject) and status polling alongside commands from another thread.

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "device/Kestrom.h"
#include "emulator/ScannerEmulator.h"
#include "emulator/testing/kit_on_emulator.h"
#include "platform/dynamic_library.h"
#include "platform/sleep.h"

namespace {

namespace fs = std::filesystem;
using namespace emutesting;

constexpr int kTicketWidth = 432;   // 54 mm at 8 dots per mm
constexpr int kTicketHeight = 640;  // 80 mm
constexpr std::size_t kPictureBuffer = 10485760;

// A white ticket with black boxes and a grey ramp, every edge on an even row
// and a whole byte of columns, so that every scan mode has one right answer.
Bytes make_ticket() {
    Bytes t(static_cast<std::size_t>(kTicketWidth) * kTicketHeight, 255);
    auto box = [&t](int x0, int y0, int w, int h, std::uint8_t v) {
        paint_box(t, kTicketWidth, x0, y0, w, h, v);
    };
    box(16, 16, 64, 32, 0);
    box(200, 100, 8, 400, 0);
    box(296, 560, 120, 60, 0);
    for (int x = 0; x < 256; ++x) box(88 + x, 300, 1, 40, static_cast<std::uint8_t>(x));  // ramp
    return t;
}

// What the scanner should see at `linesPerMm`: grey levels, or bits with
// grey < 128 black (0) and the rest white (1).
Bytes expected_scan(const Bytes& ticket, int linesPerMm, bool grey) {
    const int step = 8 / linesPerMm;
    const int lines = kTicketHeight / step;
    Bytes out;
    for (int line = 0; line < lines; ++line) {
        const std::uint8_t* row = &ticket[static_cast<std::size_t>(line * step) * kTicketWidth];
        if (grey) {
            out.insert(out.end(), row, row + kTicketWidth);
        } else {
            for (int x = 0; x < kTicketWidth; x += 8) {
                std::uint8_t bits = 0;
                for (int b = 0; b < 8; ++b)
                    if (row[x + b] >= 128) bits = static_cast<std::uint8_t>(bits | (0x80 >> b));
                out.push_back(bits);
            }
        }
    }
    return out;
}

class EmulatorSession : public KitOnEmulatorTest {
protected:
    EmulatorSession() : KitOnEmulatorTest(EMULATOR_PATH, "kestrom_session", true) {}

    // One scan of the held or inserted ticket, read, saved and checked.
    void scan_and_check(const Bytes& ticket, int type, int linesPerMm) {
        SCOPED_TRACE("type " + std::to_string(type) + ", " + std::to_string(linesPerMm) + " lines/mm");
        ASSERT_EQ(SetScanPictureType(type, 0), 1);
        ASSERT_EQ(SetScanDPI(linesPerMm, 0), 1);
        ASSERT_EQ(StartScan(0), 1);
        ASSERT_TRUE(wait_for([](const DeviceStatus& s) { return s.haveData == 1; }));
        Bytes buffer(kPictureBuffer);
        int lineBytes = 0, lines = 0, pictureType = -1, perMm = 0;
        ASSERT_EQ(ReadPictureData(buffer.data(), &lineBytes, &lines, &pictureType, &perMm), 1);
        EXPECT_EQ(pictureType, type);
        EXPECT_EQ(perMm, linesPerMm);
        EXPECT_EQ(lineBytes, type == 1 ? kTicketWidth : kTicketWidth / 8);
        EXPECT_EQ(lines, kTicketHeight * linesPerMm / 8);
        const Bytes expected = expected_scan(ticket, linesPerMm, type == 1);
        const Bytes got(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(lineBytes) * lines);
        EXPECT_TRUE(got == expected) << "scanned picture differs from the ticket";

        const std::string name = "scan_" + std::to_string(type) + "_" + std::to_string(linesPerMm) + ".bmp";
        ASSERT_EQ(SaveDataToBmp(buffer.data(), lineBytes, lines, name.c_str(), type), 1);
        EXPECT_TRUE(bmp_rows(name, lineBytes, lines) == expected) << "saved BMP differs from the ticket";
        EXPECT_TRUE(wait_for([](const DeviceStatus& s) { return s.waiting == 1; }));
    }
};

TEST_F(EmulatorSession, TicketScannedFourWaysThenPrintedAndEjected) {
    const Bytes ticket = make_ticket();
    ASSERT_EQ(Emu_InsertTicketPixels(ticket.data(), kTicketWidth, kTicketHeight, 8), 1);
    ASSERT_TRUE(wait_for([](const DeviceStatus& s) { return s.paperSensorA == 1 && s.scannerIdle == 1; }));

    ASSERT_EQ(SetScanWidth(0, kTicketWidth / 8), 1);
    ASSERT_EQ(SetScanHeight(0), 1);
    ASSERT_EQ(SetThresholdMethord(0, 128, 128, 0), 1);
    int border = -1, width = -1, height = -1;
    ASSERT_EQ(GetScanArea(&border, &width, &height), 1);
    EXPECT_EQ(border, 0);
    EXPECT_EQ(width, 54);
    EXPECT_EQ(height, 0);

    scan_and_check(ticket, 1, 8);
    scan_and_check(ticket, 1, 4);
    scan_and_check(ticket, 0, 8);
    scan_and_check(ticket, 0, 4);

    // A 24 x 16 logo with a known pattern: row i given is the bottom row i.
    constexpr int kLogoWidth = 24, kLogoHeight = 16;
    Bytes logo;
    for (int i = 0; i < kLogoHeight; ++i)
        for (int b = 0; b < kLogoWidth / 8; ++b)
            logo.push_back(static_cast<std::uint8_t>(i < 8 ? 0x0F << (b & 1) : 0xC3 ^ i));
    ASSERT_EQ(DownLoadPictureEx(0, 0, "LOGO", kLogoWidth, kLogoHeight, 1, logo.data()), 1);
    EXPECT_EQ(Emu_StoredBitmapCount(0), 1);
    std::uint8_t name[10] = {};
    ASSERT_EQ(GetBMPName(0, 0, name), 1);
    EXPECT_NE(std::string(reinterpret_cast<char*>(name), 10).find("LOGO"), std::string::npos);

    ASSERT_EQ(SetPrintBuffer(40), 1);
    ASSERT_EQ(SetPicPrintPosition(2, 5, "LOGO"), 1);
    ASSERT_EQ(SetCharPrintPosition(0, 2, 20, '0', 1, "HELLO"), 1);
    ASSERT_EQ(StartPrint(1, 1), 1);

    int printWidth = 0, printHeight = 0;
    ASSERT_EQ(Emu_GetLastPrint(nullptr, 0, &printWidth, &printHeight), 1);
    ASSERT_EQ(printHeight, 40 * 8);
    Bytes print(static_cast<std::size_t>(printWidth) * printHeight);
    ASSERT_EQ(Emu_GetLastPrint(print.data(), static_cast<int>(print.size()), &printWidth, &printHeight), 1);
    auto inked = [&](int x, int y) { return print[static_cast<std::size_t>(y) * printWidth + x] < 255; };
    // The logo at (2 mm, 5 mm): a 0 bit is black and prints.
    for (int i = 0; i < kLogoHeight; ++i) {
        for (int px = 0; px < kLogoWidth; ++px) {
            const bool black = !((logo[static_cast<std::size_t>(i * 3 + px / 8)] >> (7 - px % 8)) & 1);
            ASSERT_EQ(inked(16 + px, 40 + kLogoHeight - 1 - i), black)
                << "logo row " << i << " column " << px;
        }
    }
    // The text at (2 mm, 20 mm), and no ink anywhere else.
    int textInk = 0, strayInk = 0;
    for (int y = 0; y < printHeight; ++y) {
        for (int x = 0; x < printWidth; ++x) {
            const bool inLogo = x >= 16 && x < 16 + kLogoWidth && y >= 40 && y < 40 + kLogoHeight;
            const bool inText = x >= 16 && x < 16 + 5 * 16 && y >= 160 && y < 160 + 24;
            if (inText)
                textInk += inked(x, y);
            else if (!inLogo)
                strayInk += inked(x, y);
        }
    }
    EXPECT_GT(textInk, 40);
    EXPECT_EQ(strayInk, 0);

    // Out paper after the print: the ticket leaves the front.
    ASSERT_TRUE(wait_for([](const DeviceStatus& s) {
        return s.paperSensorA == 0 && s.paperAtPrintHead == 0 && s.feedingPaper == 0;
    }));
    int location = -1, edge = -1, out = -1, returned = -1;
    ASSERT_EQ(Emu_GetPaperPosition(&location, &edge, &out, &returned), 1);
    EXPECT_EQ(location, EMU_PAPER_NONE);
    EXPECT_EQ(out, 1);
    char file[512] = {};
    EXPECT_EQ(Emu_GetLastPrintFile(file, sizeof file), 1);
    EXPECT_TRUE(fs::exists(file));
}

TEST_F(EmulatorSession, StatusPollingAndCommandsFromTwoThreadsNeverInterleaveTransfers) {
    Emu_JournalClear();
    std::atomic<int> statusFailures{0}, commandFailures{0};
    std::thread poller([&] {
        for (int i = 0; i < 300; ++i) {
            int32_t fields[22];
            if (GetBSStatus(fields) != 1) ++statusFailures;
        }
    });
    std::thread commander([&] {
        for (int i = 0; i < 60; ++i) {
            int border, width, height;
            if (SetScanWidth(i % 20, 100) != 1) ++commandFailures;
            if (GetScanArea(&border, &width, &height) != 1 || border != i % 20 || width != 100)
                ++commandFailures;
        }
    });
    poller.join();
    commander.join();
    EXPECT_EQ(statusFailures.load(), 0);
    EXPECT_EQ(commandFailures.load(), 0);

    EXPECT_EQ(Emu_JournalMaxConcurrency(), 1);
    const int count = Emu_JournalCount();
    ASSERT_GT(count, 300 * 4);
    std::vector<EmuJournalEntry> entries(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i)
        ASSERT_EQ(Emu_JournalEntry(i, &entries[static_cast<std::size_t>(i)], nullptr, 0), 1);
    std::set<int> threads;
    for (int i = 0; i < count; ++i) {
        const EmuJournalEntry& e = entries[static_cast<std::size_t>(i)];
        threads.insert(e.thread);
        EXPECT_EQ(e.overlapped, 0) << "entry " << i;
        if (i == 0 || e.thread == entries[static_cast<std::size_t>(i - 1)].thread) continue;
        // Another thread may only come in where a transfer starts (close or
        // open of the link) and only after the previous transfer finished.
        const EmuJournalEntry& before = entries[static_cast<std::size_t>(i - 1)];
        EXPECT_TRUE(e.operation == EMU_OP_CLOSE || e.operation == EMU_OP_OPEN) << "entry " << i;
        EXPECT_TRUE(before.operation != EMU_OP_CLOSE && before.operation != EMU_OP_OPEN) << "entry " << i;
        if (before.operation == EMU_OP_STATUS) {
            const EmuJournalEntry& first = entries[static_cast<std::size_t>(i - 2)];
            EXPECT_TRUE(first.operation == EMU_OP_STATUS && first.thread == before.thread)
                << "status pair split at entry " << i;
        }
    }
    EXPECT_EQ(threads.size(), 2u);
}

TEST_F(EmulatorSession, ShortWriteRecoversTheLinkAndTheNextCommandWorks) {
    Emu_JournalClear();
    ASSERT_EQ(Emu_InjectFault(EMU_FAULT_WRITE_SHORT, 0, 0, 1), 1);
    EXPECT_EQ(SetScanHeight(120), 0);
    std::vector<int> recovery;
    for (int i = 0; i < Emu_JournalCount(); ++i) {
        EmuJournalEntry e{};
        ASSERT_EQ(Emu_JournalEntry(i, &e, nullptr, 0), 1);
        if (e.operation == EMU_OP_RESET_PIPES) recovery.push_back(e.pipe);
        if (e.operation == EMU_OP_SPEC_COMMAND) recovery.push_back(e.argument);
    }
    EXPECT_EQ(recovery, (std::vector<int>{0, 1, 2, 3, 192}));
    EXPECT_EQ(SetScanHeight(120), 1);
    int border = 0, width = 0, height = 0;
    ASSERT_EQ(GetScanArea(&border, &width, &height), 1);
    EXPECT_EQ(height, 120);
}

// The operator's procedure: a calibration sheet pushed in until it covers both
// paper sensors and the print head; both calibrations then succeed. A ticket
// the device fed up to the head is held, and the library refuses to start.
TEST_F(EmulatorSession, CalibrationsSucceedWithASheetOverEverySensor) {
    const Bytes sheet(static_cast<std::size_t>(640) * 800, 255);  // 80 x 100 mm, white
    ASSERT_EQ(Emu_InsertTicketPixels(sheet.data(), 640, 800, 8), 1);
    ASSERT_EQ(Emu_PushTicket(70), 1);
    const DeviceStatus s = status();
    EXPECT_EQ(s.paperSensorA + s.paperSensorB + s.paperAtPrintHead, 3);
    EXPECT_EQ(s.scannerIdle, 1);
    EXPECT_EQ(CISDataCorrect(), 1);
    EXPECT_EQ(SensorCorrect(), 1);
    EXPECT_EQ(status().paperAtPrintHead, 1);

    ASSERT_EQ(Emu_RemoveTicket(), 1);
    ASSERT_EQ(Emu_InsertTicketPixels(sheet.data(), 640, 800, 8), 1);
    ASSERT_EQ(StartFeedPaper(0, 40), 1);
    ASSERT_TRUE(wait_for([](const DeviceStatus& d) { return d.waiting == 1 && d.paperAtPrintHead == 1; }));
    EXPECT_EQ(CISDataCorrect(), 0);
    EXPECT_EQ(SensorCorrect(), 0);
}

// The shared library itself: every export is there, and it finds the
// emulator through PIPEWELL_LIBRARY on its own.
TEST(KestromLibrary, ExportsAllFortyAndTalksToTheEmulator) {
    ::setenv("PIPEWELL_LIBRARY", EMULATOR_PATH, 1);
    platform::DynamicLibrary kestrom;
    ASSERT_TRUE(kestrom.open(KESTROM_PATH)) << kestrom.error();
    const char* names[] = {"OpenUSBPort",
                           "CloseUSBPort",
                           "WritePort",
                           "SetScanWidth",
                           "SetScanHeight",
                           "SetScanPictureType",
                           "SetScanDPI",
                           "SetScanMode",
                           "SetThresholdMethord",
                           "GetThresholdMethord",
                           "GetScanArea",
                           "StartScan",
                           "AbortScan",
                           "GetBSStatus",
                           "ReadPictureData",
                           "SaveDataToBmp",
                           "SetPrintDarkness",
                           "SetPrintBuffer",
                           "SetCharPrintPosition",
                           "SetPicPrintPosition",
                           "StartPrint",
                           "GetPaperPosition",
                           "StartFeedPaper",
                           "CorrectFakeJamError",
                           "SetPrinterHeadMode",
                           "SetDetectPaperTime",
                           "DownLoadPicture",
                           "DownLoadPictureEx",
                           "GetBMPNumber",
                           "GetBMPName",
                           "EraseBMPInFlash",
                           "EraseBMPInRam",
                           "CISDataCorrect",
                           "SensorCorrect",
                           "ResetDev",
                           "UpdateOnLine",
                           "UpdateDeviceFirmware",
                           "ReadVersion",
                           "GetFirmwareVersion",
                           "GetKestromVersion"};
    static_assert(sizeof names / sizeof names[0] == 40);
    for (const char* name : names) EXPECT_NE(kestrom.symbol(name), nullptr) << name;
    EXPECT_EQ(kestrom.symbol("open_port"), nullptr);  // internals stay hidden

    ASSERT_EQ(Emu_Reset(1), 1);
    auto open = kestrom.resolve<int (*)()>("OpenUSBPort");
    auto close = kestrom.resolve<void (*)()>("CloseUSBPort");
    auto status = kestrom.resolve<int (*)(int32_t*)>("GetBSStatus");
    auto version = kestrom.resolve<int (*)(char*)>("GetKestromVersion");
    char text[16] = {};
    EXPECT_EQ(version(text), 1);
    EXPECT_STREQ(text, "V1.01/10/03/17");
    ASSERT_NE(open(), 0);
    DeviceStatus s{};
    EXPECT_EQ(status(reinterpret_cast<int32_t*>(&s)), 1);
    EXPECT_EQ(s.scannerIdle, 1);
    close();
    EXPECT_EQ(status(reinterpret_cast<int32_t*>(&s)), 0);
}

}  // namespace
