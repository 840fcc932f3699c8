// What the emulator says on stderr instead of silently doing nothing: ticket
// files it cannot feed, a missing ticket folder, prints beyond the head.

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "emulator/testing/scratch_folder.h"
#include "emulator_fixture.h"

namespace emutest {
namespace {

namespace fs = std::filesystem;

void write_file(const std::string& path, const Bytes& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

class TicketFolderReports : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(scratch.made());
        dir = scratch.path().string();
        Emu_SetTimeScale(0);
        Emu_SetTransferStep(0);
    }
    void TearDown() override {
        ::unsetenv("EMULATOR_TICKETS");
        Emu_Reset(1);
    }
    // Powers the device on with the folder and lets it try to feed.
    std::string power_on_and_feed(const std::string& folder) {
        ::setenv("EMULATOR_TICKETS", folder.c_str(), 1);
        ::testing::internal::CaptureStderr();
        Emu_Reset(1);
        Emu_AdvanceTime(3000);
        Emu_GetPaperPosition(nullptr, nullptr, nullptr, nullptr);
        Emu_GetPaperPosition(&location, nullptr, nullptr, nullptr);
        return ::testing::internal::GetCapturedStderr();
    }
    emutesting::ScratchFolder scratch{"emulator_reports"};
    std::string dir;
    int location = -1;
};

TEST_F(TicketFolderReports, UnusableTicketFilesAreNamedWithTheReasonAndSkipped) {
    const Bytes good = mono_bmp(64, 48, Bytes(8 * 48, 0xFF));
    Bytes rle = good;
    rle[30] = 1;  // BI_RLE8
    Bytes wide = good;
    wide[18] = 0xD0;  // 2000 dots wide
    wide[19] = 0x07;
    write_file(dir + "/a-photo.bmp", {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 0, 0, 0, 13});
    write_file(dir + "/b-rle.bmp", rle);
    write_file(dir + "/c-notes.bmp", {'h', 'e', 'l', 'l', 'o', '\n'});
    write_file(dir + "/d-wide.bmp", wide);
    write_file(dir + "/readme.txt", {'x'});
    write_file(dir + "/z-good.bmp", good);

    const std::string said = power_on_and_feed(dir);
    EXPECT_NE(said.find("a-photo.bmp: a PNG file, not a BMP"), std::string::npos) << said;
    EXPECT_NE(said.find("b-rle.bmp: RLE-compressed"), std::string::npos) << said;
    EXPECT_NE(said.find("c-notes.bmp: a text file, not a BMP"), std::string::npos) << said;
    EXPECT_NE(said.find("d-wide.bmp: 2000 x 48 dots does not fit the passage"), std::string::npos) << said;
    EXPECT_EQ(said.find("readme.txt"), std::string::npos) << "other files are passed over silently";
    EXPECT_EQ(said.find("z-good.bmp"), std::string::npos);
    EXPECT_EQ(location, EMU_PAPER_AT_ENTRY) << "the good ticket after the bad ones is still fed";
}

TEST_F(TicketFolderReports, AMissingOrEmptyFolderIsSaid) {
    std::string said = power_on_and_feed(dir + "/absent");
    EXPECT_NE(said.find(dir + "/absent does not exist"), std::string::npos) << said;
    EXPECT_EQ(location, EMU_PAPER_NONE);
    said = power_on_and_feed(dir);
    EXPECT_NE(said.find("holds no .bmp ticket"), std::string::npos) << said;
}

class PrintOverhang : public EmulatorTest {
protected:
    void SetUp() override {
        EmulatorTest::SetUp();
        Bytes ticket = white_ticket(400, 480);
        ASSERT_EQ(Emu_InsertTicketPixels(ticket.data(), 400, 480, 8), 1);
        command({0x1A, 0x45, 0x01, 0x00});  // scan, then wait at the head
        Emu_AdvanceTime(10000);
        while (pending_bytes() > 0) read(3, static_cast<int>(pending_bytes()));
        Emu_AdvanceTime(5000);
        ASSERT_TRUE(bit(status(), 1, 3));
    }
    // Prints one text line at `horMm` and returns what was said on stderr.
    std::string print_at(std::uint8_t horMm, const std::string& text) {
        command({0x1A, 0x47, 20, 0});
        Bytes place = {0x1A, 0x49, 0, horMm, 5, 0, '0', 1};
        place.insert(place.end(), text.begin(), text.end());
        place.push_back(0x0D);
        command({0x1B, 0x4A});
        command(place);
        command({0x1A, 0x53});
        ::testing::internal::CaptureStderr();
        command({0x1A, 0x4A, 0x01, 0x00});
        Emu_AdvanceTime(10000);
        return ::testing::internal::GetCapturedStderr();
    }
};

TEST_F(PrintOverhang, TextReachingBeyondTheHeadIsReportedTextWithinItIsNot) {
    // Size 1: 12 dots a character. 2 mm + 5 characters = 76 dots: fits.
    EXPECT_EQ(print_at(2, "HELLO"), "");
    // 30 mm = 240 dots + 60 dots: 44 dots beyond the 256-dot head.
    const std::string said = print_at(30, "HELLO");
    EXPECT_NE(
        said.find(
            "print text \"HELLO\" placed at 30 mm reaches 44 dots beyond the 256-dot (32 mm) print head"),
        std::string::npos)
        << said;
}

}  // namespace
}  // namespace emutest
