// Scanning a ticket: the rendered picture, chunked delivery on the image pipe
// with the status bits that follow it, and the action after the scan.

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "emulator/tests/emulator_fixture.h"

namespace emutest {
namespace {

constexpr int kTicketWidth = 320;   // 40 mm
constexpr int kTicketHeight = 240;  // 30 mm
constexpr std::uint8_t kBackground = 16;

class ScanTest : public EmulatorTest {
protected:
    void SetUp() override {
        EmulatorTest::SetUp();
        ticket = white_ticket(kTicketWidth, kTicketHeight);
        black_box(ticket, kTicketWidth, 80, 40, 80, 80);
        ASSERT_EQ(Emu_InsertTicketPixels(ticket.data(), kTicketWidth, kTicketHeight, 8), 1);
    }

    void settings(int border, int width, int height, int type, int linesPerMm) {
        command({0x1B, 0x4A});
        command({0x1A, 0x40, static_cast<std::uint8_t>(border), static_cast<std::uint8_t>(width)});
        command({0x1A, 0x53});
        command({0x1A, 0x41, static_cast<std::uint8_t>(height), 0});
        command({0x1A, 0x42, static_cast<std::uint8_t>(type), 0});
        command({0x1A, 0x43, static_cast<std::uint8_t>(linesPerMm), 0});
    }

    // Reads the whole picture the way the device library does: the announced
    // pending bytes, then the status again, until scanComplete. Counts the
    // batches and checks each is whole lines.
    Bytes read_picture(int lineBytes, int* batches = nullptr) {
        Bytes picture;
        int count = 0;
        for (int guard = 0; guard < 100000; ++guard) {
            const auto s = status();
            const std::uint32_t n =
                s[4] | (s[5] << 8) | (s[6] << 16) | (static_cast<std::uint32_t>(s[7]) << 24);
            EXPECT_EQ(n > 0, bit(s, 2, 1)) << "haveData follows the pending bytes";
            if (n > 0) {
                EXPECT_EQ(n % static_cast<std::uint32_t>(lineBytes), 0u);
                const Bytes part = read(3, static_cast<int>(n));
                EXPECT_EQ(part.size(), n);
                picture.insert(picture.end(), part.begin(), part.end());
                ++count;
            }
            if (bit(s, 2, 2)) break;  // scanComplete: this status announced the last bytes
            if (n == 0 && !bit(s, 2, 1) && !bit(s, 1, 2)) break;
            Emu_AdvanceTime(7);
        }
        if (batches) *batches = count;
        return picture;
    }

    Bytes ticket;
};

TEST_F(ScanTest, InsertedTicketSetsThePaperSensors) {
    const auto s = status();
    EXPECT_TRUE(bit(s, 3, 7));
    EXPECT_TRUE(bit(s, 3, 3));
    EXPECT_FALSE(bit(s, 3, 2));
    EXPECT_TRUE(bit(s, 1, 1));
    EXPECT_EQ(Emu_InsertTicketPixels(ticket.data(), kTicketWidth, kTicketHeight, 8), 0);  // one at a time
    Emu_RemoveTicket();
    const Bytes wide(1729, 255);
    EXPECT_EQ(Emu_InsertTicketPixels(wide.data(), 1729, 1, 8), 0);      // wider than the passage
    EXPECT_EQ(Emu_InsertTicketPixels(wide.data(), 1, 1729 * 3, 8), 0);  // longer than 600 mm
    EXPECT_EQ(Emu_InsertTicketPixels(wide.data(), 1728, 1, 8), 1);
    EXPECT_EQ(Emu_InsertTicketPixels(nullptr, 8, 8, 8), 0);
    EXPECT_EQ(Emu_InsertTicketFile("/nonexistent/ticket.bmp"), 0);
}

TEST_F(ScanTest, GreyWholeTicketAtEightLinesWithDarkBeyondThePaper) {
    settings(0, 50, 0, 1, 8);  // 400 dots across, the ticket covers 320
    command({0x1A, 0x45, 0x00, 0x00});
    auto s = status();
    EXPECT_TRUE(bit(s, 1, 2));   // scanning
    EXPECT_FALSE(bit(s, 1, 1));  // no longer idle
    EXPECT_TRUE(bit(s, 2, 6));   // grey
    EXPECT_TRUE(bit(s, 2, 3));   // 8 lines/mm

    int batches = 0;
    const Bytes picture = read_picture(400, &batches);
    ASSERT_EQ(picture.size(), 400u * (4 + kTicketHeight));
    EXPECT_GT(batches, 3);  // delivered as it was scanned, not in one piece
    for (int x = 0; x < 400; ++x) EXPECT_EQ(picture[static_cast<std::size_t>(x)], kBackground);  // lead lines
    for (int y = 0; y < kTicketHeight; ++y) {
        const std::uint8_t* line = &picture[static_cast<std::size_t>(4 + y) * 400];
        for (int x = 0; x < 400; ++x) {
            const std::uint8_t expected =
                x < kTicketWidth ? ticket[static_cast<std::size_t>(y) * kTicketWidth + x] : kBackground;
            ASSERT_EQ(line[x], expected) << "x " << x << " y " << y;
        }
    }
    Emu_AdvanceTime(1);
    s = status();
    EXPECT_FALSE(bit(s, 1, 2));  // scanning over
    EXPECT_TRUE(bit(s, 1, 3));   // stop: the ticket is held
    EXPECT_EQ(pending_bytes(), 0u);
    int location = 0;
    Emu_GetPaperPosition(&location, nullptr, nullptr, nullptr);
    EXPECT_EQ(location, EMU_PAPER_INSIDE);
}

TEST_F(ScanTest, BlackAndWhiteWindowAtFourLinesByTheThreshold) {
    settings(5, 20, 20, 0, 4);  // dots 40..199, 20 mm = 80 lines
    command({0x1A, 0x45, 0x00, 0x00});
    Emu_AdvanceTime(10000);  // everything produced before the first read
    const Bytes picture = read_picture(20);
    ASSERT_EQ(picture.size(), 20u * (4 + 80));
    auto pixel = [&](int x, int line) {
        return (picture[static_cast<std::size_t>(line) * 20 + x / 8] >> (7 - x % 8)) & 1;
    };
    for (int line = 0; line < 4; ++line) EXPECT_EQ(pixel(0, line), 0);  // dark lead lines
    // The box covers dots 80..159 and rows 40..119, i.e. lines 20..59 at 4/mm.
    for (int line = 0; line < 80; ++line) {
        for (int x = 0; x < 160; ++x) {
            const int dot = 40 + x;
            const bool inBox = dot >= 80 && dot < 160 && line >= 20 && line < 60;
            ASSERT_EQ(pixel(x, 4 + line), inBox ? 0 : 1) << "x " << x << " line " << line;
        }
    }
}

TEST_F(ScanTest, OffsetAndSkewedTicketsLieWhereTheyWerePut) {
    Emu_RemoveTicket();
    ASSERT_EQ(Emu_SetTicketPlacement(40, 0), 1);
    ASSERT_EQ(Emu_InsertTicketPixels(ticket.data(), kTicketWidth, kTicketHeight, 8), 1);
    settings(0, 50, 0, 1, 8);
    command({0x1A, 0x45, 0x00, 0x00});
    Emu_AdvanceTime(10000);
    Bytes picture = read_picture(400);
    ASSERT_EQ(picture.size(), 400u * (4 + kTicketHeight));
    auto at = [&](int x, int y) { return picture[static_cast<std::size_t>(4 + y) * 400 + x]; };
    EXPECT_EQ(at(39, 10), kBackground);
    EXPECT_EQ(at(40, 10), 255);
    EXPECT_EQ(at(40 + 80, 40), 0);  // the box moved with the ticket
    EXPECT_EQ(at(40 + 79, 40), 255);

    // Turned by 5 degrees clockwise: the top edge falls to the right, and the
    // whole-ticket scan covers the turned ticket.
    Emu_RemoveTicket();
    ASSERT_EQ(Emu_SetTicketPlacement(20, 5.0), 1);
    ASSERT_EQ(Emu_InsertTicketPixels(ticket.data(), kTicketWidth, kTicketHeight, 8), 1);
    command({0x1A, 0x45, 0x00, 0x00});
    Emu_AdvanceTime(10000);
    picture = read_picture(400);
    const int lines = static_cast<int>(picture.size() / 400) - 4;
    EXPECT_EQ(lines, 267);  // ceil(240 cos 5 + 320 sin 5)
    auto firstPaperRow = [&](int x) {
        for (int y = 0; y < lines; ++y)
            if (at(x, y) != kBackground) return y;
        return -1;
    };
    EXPECT_NEAR(firstPaperRow(20 + 100), 9, 1);   // 100 tan 5 = 8.7
    EXPECT_NEAR(firstPaperRow(20 + 300), 26, 1);  // 300 tan 5 = 26.2
    EXPECT_EQ(Emu_SetTicketPlacement(0, 30.0), 0);
    EXPECT_EQ(Emu_SetTicketPlacement(1728, 0), 0);
}

TEST_F(ScanTest, ScanLongerThanTheTicketSeesBackgroundAfterItsEnd) {
    settings(0, 40, 40, 1, 8);  // 40 mm of a 30 mm ticket
    command({0x1A, 0x45, 0x00, 0x00});
    Emu_AdvanceTime(10000);
    const Bytes picture = read_picture(320);
    ASSERT_EQ(picture.size(), 320u * (4 + 320));
    EXPECT_EQ(picture[static_cast<std::size_t>(4 + 239) * 320 + 10], 255);
    EXPECT_EQ(picture[static_cast<std::size_t>(4 + 240) * 320 + 10], kBackground);
}

TEST_F(ScanTest, ThresholdHysteresisKeepsMidGreyWithItsLeftNeighbour) {
    // Ticket row: white, mid grey 100, black, mid grey 100, white.
    Bytes row = {255, 100, 0, 100, 255, 100};
    std::uint8_t bits = 0;
    Emu_RemoveTicket();
    Bytes t(8 * 8, 255);
    for (int y = 0; y < 8; ++y) std::copy(row.begin(), row.end(), t.begin() + y * 8);
    ASSERT_EQ(Emu_InsertTicketPixels(t.data(), 8, 8, 8), 1);
    settings(0, 1, 1, 0, 8);
    command({0x1A, 0x75, 0x00, 50, 150, 0x00});
    command({0x1A, 0x45, 0x00, 0x00});
    Emu_AdvanceTime(1000);
    const Bytes picture = read_picture(1);
    ASSERT_EQ(picture.size(), 12u);
    bits = picture[4];
    // 255 white, 100 stays white, 0 black, 100 stays black, 255 white, 100 white, then white.
    EXPECT_EQ(bits, 0b11001111);
}

TEST_F(ScanTest, ActionAfterScanEjectsOrMovesToThePrintHead) {
    settings(0, 40, 0, 0, 8);
    command({0x1A, 0x45, 0x01, 0x00});
    Emu_AdvanceTime(10000);
    read_picture(40);
    Emu_AdvanceTime(1);
    auto s = status();
    EXPECT_TRUE(bit(s, 1, 6));  // feeding to the print position
    Emu_AdvanceTime(2000);
    s = status();
    EXPECT_TRUE(bit(s, 1, 3));
    EXPECT_TRUE(bit(s, 3, 2));  // paper at the print head
    command({0x1B, 0x44});
    EXPECT_EQ(read(1, 4), (Bytes{1, 0, 60, 0}));

    // Scan it again: back to the entry, then out of the front.
    command({0x1A, 0x87});
    Emu_AdvanceTime(2000);
    EXPECT_TRUE(bit(status(), 1, 1));
    command({0x1A, 0x45, 0x02, 0x00});
    Emu_AdvanceTime(10000);
    read_picture(40);
    Emu_AdvanceTime(5000);
    s = status();
    EXPECT_TRUE(bit(s, 1, 1));
    EXPECT_FALSE(bit(s, 3, 7) || bit(s, 3, 3) || bit(s, 3, 2));
    int out = 0;
    Emu_GetPaperPosition(nullptr, nullptr, &out, nullptr);
    EXPECT_EQ(out, 1);
}

TEST_F(ScanTest, AbortDropsTheRestAndHoldsTheTicket) {
    settings(0, 40, 0, 1, 8);
    command({0x1A, 0x45, 0x00, 0x00});
    Emu_AdvanceTime(50);
    EXPECT_GT(pending_bytes(), 0u);
    command({0x1B, 0x41});
    const auto s = status();
    EXPECT_FALSE(bit(s, 1, 2));
    EXPECT_TRUE(bit(s, 1, 3));
    EXPECT_EQ(pending_bytes(), 0u);
    EXPECT_TRUE(read(3, 100).empty());
}

TEST_F(ScanTest, LateHostIsOfferedEveryByteBeforeScanComplete) {
    settings(0, 216, 0, 1, 8);  // 1728-byte lines: 244 lines are 421,632 bytes
    command({0x1A, 0x45, 0x00, 0x00});
    Emu_AdvanceTime(10000);  // every line produced long before the host asks
    auto s = status();
    EXPECT_EQ(pending_bytes(), 262144u - 262144u % 1728u);  // as much as one status carries
    EXPECT_FALSE(bit(s, 2, 2)) << "scanComplete while more than the announced bytes remain";
    EXPECT_TRUE(bit(s, 1, 2));

    int batches = 0;
    const Bytes picture = read_picture(1728, &batches);
    EXPECT_EQ(picture.size(), 1728u * (4 + kTicketHeight));
    EXPECT_EQ(batches, 2);
    Emu_AdvanceTime(1);
    s = status();
    EXPECT_FALSE(bit(s, 1, 2));
    EXPECT_TRUE(bit(s, 1, 3));
}

TEST_F(ScanTest, ScanIsRefusedWithoutPaperOrWithTheCoverOpen) {
    Emu_SetCondition(EMU_COND_COVER_OPEN, 1);
    write({0x1A, 0x45, 0x00, 0x00});
    EXPECT_TRUE(command_error());
    Emu_SetCondition(EMU_COND_COVER_OPEN, 0);
    Emu_RemoveTicket();
    write({0x1A, 0x45, 0x00, 0x00});
    EXPECT_TRUE(command_error());
    write({0x1A, 0x45, 0x03, 0x00});
    EXPECT_TRUE(command_error());
    Bytes t(64 * 64, 255);
    Emu_InsertTicketPixels(t.data(), 64, 64, 8);
    command({0x1A, 0x40, 10, 0});  // a window of no width
    write({0x1A, 0x45, 0x00, 0x00});
    EXPECT_TRUE(command_error());
}

TEST_F(ScanTest, JamHalfWayStopsTheScan) {
    Emu_SetCondition(EMU_COND_JAM_ON_NEXT_MOVE, 1);
    settings(0, 40, 0, 1, 8);
    command({0x1A, 0x45, 0x00, 0x00});
    Emu_AdvanceTime(10000);
    auto s = status();
    EXPECT_TRUE(bit(s, 0, 3));
    EXPECT_TRUE(bit(s, 1, 7));
    EXPECT_FALSE(bit(s, 1, 2));
    command({0x1B, 0x46});
    EXPECT_TRUE(bit(status(), 1, 7));  // a real jam
    EXPECT_EQ(Emu_RemoveTicket(), 1);
    s = status();
    EXPECT_FALSE(bit(s, 1, 7));
    EXPECT_TRUE(bit(s, 1, 1));
}

TEST_F(ScanTest, TicketsArriveFromTheFolder) {
    namespace fs = std::filesystem;
    const fs::path folder = fs::temp_directory_path() / ("emu-tickets-" + std::to_string(::getpid()));
    fs::create_directories(folder);
    // A 16 x 200 one-bit BMP (25 mm long): left half black.
    Bytes rows;
    for (int y = 0; y < 200; ++y) rows.insert(rows.end(), {0x00, 0xFF});
    const Bytes bmp = mono_bmp(16, 200, rows);
    for (const char* name : {"b.bmp", "a.bmp"}) {
        std::ofstream(folder / name, std::ios::binary)
            .write(reinterpret_cast<const char*>(bmp.data()), static_cast<std::streamsize>(bmp.size()));
    }
    ::setenv("EMULATOR_TICKETS", folder.c_str(), 1);
    Emu_Reset(0);
    ::unsetenv("EMULATOR_TICKETS");
    CloseDevice(handle);
    handle = OpenDevice();
    EXPECT_FALSE(bit(status(), 3, 7));
    Emu_AdvanceTime(600);
    EXPECT_TRUE(bit(status(), 3, 7));
    settings(0, 2, 0, 1, 8);
    command({0x1A, 0x45, 0x02, 0x00});
    Emu_AdvanceTime(1000);
    const Bytes picture = read_picture(16);
    ASSERT_EQ(picture.size(), 16u * 204);
    EXPECT_EQ(picture[4 * 16 + 0], 0);
    EXPECT_EQ(picture[4 * 16 + 15], 255);
    Emu_AdvanceTime(600);  // ejected; the second ticket follows a second later
    EXPECT_FALSE(bit(status(), 3, 7));
    Emu_AdvanceTime(1000);
    EXPECT_TRUE(bit(status(), 3, 7));
    fs::remove_all(folder);
}

}  // namespace
}  // namespace emutest
