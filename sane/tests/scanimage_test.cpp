// The real scanimage (sane-utils) loading the backend through SANE's dll
// backend, from a configuration folder the test writes, against the software
// scanner-printer: it lists the device, returns the ticket exactly as the
// kit's own scan does, and says "out of documents" when no ticket comes.

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "emulator/ScannerEmulator.h"
#include "emulator/testing/emulated_device.h"
#include "emulator/testing/scratch_folder.h"
#include "sane/tests/emulator_ticket.h"

namespace {

namespace fs = std::filesystem;
using namespace tqsane_test;

std::string slurp(const fs::path& p) {
    std::ifstream in(p);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

class Scanimage : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(scratch.made());
        dir = scratch.path();
        fs::create_directories(dir / "sane.d");
        fs::create_directories(dir / "tickets");
        std::ofstream(dir / "sane.d" / "dll.conf") << "tqrmx7kp\n";
    }

    // Runs scanimage with `args`; stdout to out.pnm, stderr to err.txt.
    // Returns the exit status.
    int scanimage(const std::string& args, bool withTickets) {
        std::ostringstream cmd;
        cmd << "env -u EMULATOR_TICKETS SANE_CONFIG_DIR=" << dir / "sane.d"
            << " LD_LIBRARY_PATH=" << fs::path(BACKEND_PATH).parent_path()
            << " PIPEWELL_LIBRARY=" << EMULATOR_PATH << " EMULATOR_STATE_DIR=" << dir / "state";
        if (withTickets) cmd << " EMULATOR_TICKETS=" << dir / "tickets";
        if (std::string(SANITIZER_PRELOAD).size())
            cmd << " LD_PRELOAD=" << SANITIZER_PRELOAD << " ASAN_OPTIONS=detect_leaks=0";
        cmd << " " << SCANIMAGE_PATH << " " << args << " > " << dir / "out.pnm"
            << " 2> " << dir / "err.txt";
        const int rc = std::system(cmd.str().c_str());
        return WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    }

    emutesting::ScratchFolder scratch{"tqsane_scanimage"};
    fs::path dir;
};

TEST_F(Scanimage, ListsTheEmulatorAsATqrmx7kpDevice) {
    ASSERT_EQ(scanimage("-L", false), 0) << slurp(dir / "err.txt");
    const std::string listing = slurp(dir / "out.pnm");
    std::cout << "scanimage -L: " << listing;
    EXPECT_NE(
        listing.find("device `tqrmx7kp:emulator' is a TQ RMX7KP (software scanner-printer) sheetfed scanner"),
        std::string::npos)
        << listing;
}

TEST_F(Scanimage, GreyAndLineartPicturesEqualTheKitsOwnScan) {
    const Bytes ticket = make_ticket();
    const fs::path bmp = dir / "tickets" / "ticket-1.bmp";
    ASSERT_TRUE(write_grey_bmp(bmp, ticket, kTicketWidth, kTicketHeight));

    struct Case {
        const char* args;
        int pictureType, linesPerMm, threshold1, threshold2;
    };
    const Case cases[] = {
        {"--mode Gray --resolution 200 --format=pnm", 1, 8, 160, 95},
        {"--mode Lineart --resolution 200 --threshold 140 --threshold-2 100 --format=pnm", 0, 8, 140, 100},
        {"--mode Lineart --resolution 100 -l 8 -x 40 --format=pnm", 0, 4, 160, 95},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args);
        // The kit's own scan of the same ticket file, in this process.
        ASSERT_EQ(emutesting::power_on_emulator({EMULATOR_PATH, {}, dir / "state-reference", 1, 0}), 1);
        ASSERT_EQ(Emu_InsertTicketFile(bmp.c_str()), 1);
        const bool window = std::string(c.args).find("-l 8") != std::string::npos;
        KitScan reference;
        ASSERT_TRUE(kit_scan(KESTROM_PATH, c.pictureType, c.linesPerMm, window ? 8 : 0, window ? 40 : 216,
                             c.threshold1, c.threshold2, reference));

        const auto began = std::chrono::steady_clock::now();
        ASSERT_EQ(scanimage(c.args, true), 0) << slurp(dir / "err.txt");
        std::cout << c.args << ": "
                  << std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                           began)
                         .count()
                  << " ms\n";
        Pnm pnm;
        ASSERT_TRUE(read_pnm(dir / "out.pnm", pnm));
        EXPECT_EQ(pnm.kind, c.pictureType == 1 ? '5' : '4');
        EXPECT_EQ(pnm.width, (window ? 40 : 216) * 8);
        EXPECT_EQ(pnm.height, reference.lines);
        EXPECT_EQ(pnm.height, kTicketHeight * c.linesPerMm / 8);
        Bytes expected = reference.rows;
        if (c.pictureType == 0)
            for (auto& b : expected) b = static_cast<std::uint8_t>(~b);  // PBM: 1 is black
        EXPECT_TRUE(pnm.data == expected) << "scanimage's picture differs from the kit's own scan";
    }
}

TEST_F(Scanimage, WithoutATicketItSaysOutOfDocuments) {
    const auto began = std::chrono::steady_clock::now();
    EXPECT_NE(scanimage("--ticket-wait 1 --format=pnm", false), 0);
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - began)
            .count();
    const std::string err = slurp(dir / "err.txt");
    std::cout << "scanimage: " << err;
    EXPECT_NE(err.find("Document feeder out of documents"), std::string::npos) << err;
    EXPECT_LT(ms, 5000);
}

}  // namespace
