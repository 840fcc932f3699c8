// The device subcommands and the session against the software
// scanner-printer, run as a user runs them (the emulator's clock sped up).

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "platform/dynamic_library.h"
#include "run_program.h"

extern "C" {
#include "barcode/linear/Stripescan.h"
#include "marks/handwritten/Inkmark.h"
}

namespace {

namespace fs = std::filesystem;
using Outcome = tktest::Outcome;

struct Expected {
    std::string file, kind;
    int linesPerMm = 0;
    std::vector<std::string> texts;
};

std::vector<Expected> sample_manifest() {
    std::vector<Expected> out;
    std::ifstream in(std::string(SAMPLES_DIR) + "/expected.tsv");
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        Expected e;
        std::string lpm, texts;
        std::getline(fields, e.file, '\t');
        std::getline(fields, e.kind, '\t');
        std::getline(fields, lpm, '\t');
        std::getline(fields, texts, '\t');
        e.linesPerMm = std::stoi(lpm);
        std::istringstream parts(texts);
        for (std::string t; std::getline(parts, t, '|');) e.texts.push_back(t);
        out.push_back(e);
    }
    return out;
}

class DeviceCommands : public ::testing::Test {
protected:
    void SetUp() override { dir = tktest::temp_folder("device"); }
    void TearDown() override { fs::remove_all(dir); }
    Outcome run(const std::vector<std::string>& args, const std::vector<std::string>& env = {}) {
        return tktest::ticketkit(args, dir, env);
    }
    std::string dir;
};

TEST_F(DeviceCommands, SessionScansSavesReadsPrintsAndEjectsEveryTicket) {
    // The samples plus what the emulator must skip (it says why) or ignore.
    fs::create_directories(dir + "/tickets");
    for (const auto& e : fs::directory_iterator(std::string(SAMPLES_DIR) + "/tickets"))
        fs::copy_file(e.path(), dir + "/tickets/" + e.path().filename().string());
    std::ofstream(dir + "/tickets/barcode-broken.bmp") << "not a picture";
    std::ofstream(dir + "/tickets/readme.txt") << "notes";

    const Outcome r = run({"session", "--emulator", "--fast", "--tickets", "tickets", "--out", "job"});
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    const std::vector<Expected> samples = sample_manifest();
    ASSERT_EQ(samples.size(), 4u);
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const std::string n = std::to_string(i + 1);
        // The stand-in reports the resolution each kind was scanned at.
        const std::string want = "ticket " + n + " " + samples[i].file + " (" + samples[i].kind + ", " +
                                 std::to_string(samples[i].linesPerMm) + " lines/mm): ";
        EXPECT_NE(r.out.find(want), std::string::npos) << want << "\n" << r.out;
        EXPECT_NE(r.out.find("lpm " + std::to_string(samples[i].linesPerMm)), std::string::npos);
        EXPECT_TRUE(fs::exists(dir + "/job/Picture-" + n + ".bmp")) << n;
        EXPECT_TRUE(fs::exists(dir + "/job/printed/printed-000" + n + ".bmp")) << n;
    }
    EXPECT_EQ(r.out.find("ticket 5"), std::string::npos) << "the broken file is not fed";
    EXPECT_NE(r.err.find("barcode-broken.bmp: a text file, not a BMP"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("readme.txt"), std::string::npos) << "other files are ignored silently";
    EXPECT_NE(r.out.find("No further ticket within 2 s"), std::string::npos);
    EXPECT_NE(r.out.find("4 tickets, 4 read, 0 not read."), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Scanned pictures (kept): " + dir + "/job"), std::string::npos);
    EXPECT_NE(r.out.find("Printed tickets (kept):  " + dir + "/job/printed"), std::string::npos);

    // The result is printed in the ticket's last 28 mm: ink there, against the head's 32 mm.
    const std::string printed = dir + "/job/printed/printed-0001.bmp";
    ASSERT_TRUE(tktest::shell("test \"$(convert " + printed +
                              " -crop 256x224+0+656 -threshold 50% -format '%[fx:mean<1]' info:)\" = 1"))
        << "no ink in the print band";
}

// The samples as the scanner delivers them (the session's saved pictures) are
// read right by the kit's readers themselves.
TEST_F(DeviceCommands, EverySampleTicketIsReadRightByTheReaders) {
    const Outcome r = run({"session", "--emulator", "--fast", "--out", "job"});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::vector<Expected> samples = sample_manifest();
    platform::DynamicLibrary stripescan, stackread, inkmark, typemark;
    const std::string lib = LIBRARY_DIR;
    ASSERT_TRUE(stripescan.open(lib + "/libStripescan.so")) << stripescan.error();
    ASSERT_TRUE(stackread.open(lib + "/libStackread.so")) << stackread.error();
    ASSERT_TRUE(inkmark.open(lib + "/libInkmark.so")) << inkmark.error();
    ASSERT_TRUE(typemark.open(lib + "/libTypemark.so")) << typemark.error();
    auto scan = stripescan.resolve<int (*)(Bitmap*, DecodeRequest*, BarcodeResultList*)>("Stripescan");
    auto freeList = stripescan.resolve<int (*)(BarcodeResultList*)>("FreeBarcodeResultMem");
    auto pdf = stackread.resolve<int (*)(const uint8_t*, int, int, uint8_t*, int*, int)>("stackread");
    auto omr = inkmark.resolve<int (*)(const uint8_t*, int*, int, int, int, int, char*)>("OMRead");
    auto omrsp = typemark.resolve<int (*)(const uint8_t*, int*, int, int, int, int, char*)>("OMReadSP");
    ::setenv("FMTFILEPATH", (std::string(SAMPLES_DIR) + "/FormatFile.txt").c_str(), 1);
    ::setenv("FMTFILESPPATH", (std::string(SAMPLES_DIR) + "/FormatFileSP.txt").c_str(), 1);

    for (std::size_t i = 0; i < samples.size(); ++i) {
        const Expected& e = samples[i];
        SCOPED_TRACE(e.file);
        // The saved picture: a bottom-up 1-bit BMP with offset 62.
        std::ifstream in(dir + "/job/Picture-" + std::to_string(i + 1) + ".bmp", std::ios::binary);
        const std::vector<std::uint8_t> file((std::istreambuf_iterator<char>(in)), {});
        ASSERT_GT(file.size(), 62u);
        int width = 0, height = 0;
        std::memcpy(&width, &file[18], 4);
        std::memcpy(&height, &file[22], 4);
        const int rowBytes = width / 8, stride = (rowBytes + 3) / 4 * 4;
        std::vector<std::uint8_t> rows(static_cast<std::size_t>(rowBytes) * static_cast<std::size_t>(height));
        for (int y = 0; y < height; ++y)
            std::memcpy(
                &rows[static_cast<std::size_t>(y) * static_cast<std::size_t>(rowBytes)],
                &file[62 + static_cast<std::size_t>(height - 1 - y) * static_cast<std::size_t>(stride)],
                static_cast<std::size_t>(rowBytes));
        const int scanMode = e.linesPerMm == 4 ? 1 : 2;  // lines doubled at 4 lines/mm
        std::string got;
        if (e.kind == "barcode") {
            std::vector<std::uint8_t*> table;
            for (int y = 0; y < height; ++y)
                table.push_back(&rows[static_cast<std::size_t>(y) * static_cast<std::size_t>(rowBytes)]);
            Bitmap b{width, height, 1, rowBytes * height, rowBytes, table.data(), rows.data()};
            std::vector<SymbologySetting> settings;
            for (int s = 1; s <= 8; ++s) settings.push_back(SymbologySetting{s, 0, 0, 0, 0, 0});
            DecodeRequest request{settings.data(), static_cast<int32_t>(settings.size()), 0, 3, 8};
            BarcodeResultList list{};
            ASSERT_EQ(scan(&b, &request, &list), 1);
            for (int k = 0; k < list.count; ++k)
                if (list.results[k].symbology == 1)
                    got += "Code 128: " +
                           std::string(reinterpret_cast<char*>(list.results[k].text),
                                       static_cast<std::size_t>(list.results[k].length)) +
                           "\n";
            freeList(&list);
            std::vector<std::uint8_t> out(2710);
            int length = 0;
            if (pdf(rows.data(), width, height, out.data(), &length, 0) == 1)
                got += "PDF417: " +
                       std::string(reinterpret_cast<char*>(out.data()), static_cast<std::size_t>(length)) +
                       "\n";
        } else {
            std::vector<char> text(10240, 0);
            int selector = 0;
            const int ok = (e.kind == "marks" ? omr : omrsp)(rows.data(), &selector, 1, width, height,
                                                             scanMode, text.data());
            EXPECT_EQ(ok, 1);
            got = text.data();
        }
        for (const std::string& t : e.texts)
            EXPECT_NE(got.find(t), std::string::npos) << "want " << t << "\ngot " << got;
    }
}

TEST_F(DeviceCommands, SingleOperationsReportTheDeviceAndItsFailures) {
    Outcome r = run({"status", "--emulator", "--json"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("\"scannerIdle\": 1"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Print header:normal\\nCover:closed\\nPassage:expedite"), std::string::npos)
        << r.out;

    r = run({"version", "--emulator"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("libKestrom: V1.01/10/03/17"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("libdecode:  test double"), std::string::npos) << r.out;

    // A ticket put in, scanned, read and ejected.
    const std::string ticket = std::string(SAMPLES_DIR) + "/tickets/barcode-code128-pdf417.bmp";
    r = run({"scan", "--emulator", "--fast", "--ticket", ticket, "--decode", "barcode", "-o", "one.bmp"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("one.bmp: 1728 x 880, black and white, 8 lines/mm"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("lpm 8"), std::string::npos);
    EXPECT_TRUE(fs::exists(dir + "/one.bmp"));

    // Nothing arrives; nothing held to print on or feed; no picture stored under that name.
    r = run({"scan", "--emulator", "--fast", "--timeout", "1"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("no ticket arrived within 1 s"), std::string::npos) << r.err;
    r = run({"print", "--emulator", "--text", "HELLO"});
    EXPECT_EQ(r.status, 3);
    EXPECT_NE(r.err.find("no ticket held"), std::string::npos) << r.err;
    EXPECT_EQ(run({"feed", "front", "--emulator"}).status, 3);
    EXPECT_EQ(run({"scan", "--ticket", ticket}).status, 2) << "--ticket needs the emulator";
    EXPECT_EQ(run({"session", "--tickets", "x"}).status, 2);
    r = run({"session", "--emulator", "--tickets", "nowhere"});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("nowhere: tickets folder missing"), std::string::npos) << r.err;

    // Printed on a ticket taken in first; a line reaching beyond the 32 mm head is reported.
    r = run({"print", "--emulator", "--fast", "--ticket", ticket, "--text", "HELLO", "--at", "2,10"},
            {"EMULATOR_PRINT_DIR=" + dir + "/printed"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "printed\n");
    EXPECT_TRUE(fs::exists(dir + "/printed/printed-0001.bmp"));
    r = run({"print", "--emulator", "--fast", "--ticket", ticket, "--text", "HELLO", "--at", "30,10"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("emulator: print text \"HELLO\" placed at 30 mm reaches"), std::string::npos)
        << r.err;

    // A stored bitmap goes in and is listed (one process, one device).
    ASSERT_TRUE(tktest::shell(
        "convert -size 64x32 xc:white -fill black -draw 'rectangle 4,4 20,20' -monochrome BMP3:" + dir +
        "/logo.bmp"));
    r = run({"bitmaps", "download", "logo.bmp", "--name", "LOGO", "--emulator", "--fast"});
    EXPECT_EQ(r.status, 0) << r.err;
    r = run({"bitmaps", "download", "logo.bmp", "--name", "TOOLONGNAME", "--emulator"});
    EXPECT_EQ(r.status, 2);
}

TEST_F(DeviceCommands, BothCalibrationsSucceedOnTheSoftwareDevice) {
    Outcome r = run({"calibrate", "cis", "--emulator", "--fast"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("calibrated"), std::string::npos) << r.out;
    r = run({"calibrate", "sensor", "--emulator", "--fast"});  // the library waits 6 s for the device
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("calibrated"), std::string::npos) << r.out;
    EXPECT_EQ(run({"calibrate", "lens", "--emulator"}).status, 2);
}

TEST_F(DeviceCommands, AnAbsentScannerIsADeviceErrorThatSaysSo) {
    const Outcome r = run({"status"}, {"PIPEWELL_LIBRARY=/nonexistent/libPipewell.so"});
    EXPECT_EQ(r.status, 3);
    EXPECT_NE(r.err.find("cannot open the scanner"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("link:"), std::string::npos) << "no link loaded, so no reason: " << r.err;
}

TEST_F(DeviceCommands, AFailedOpenCarriesTheLinksOwnReasonWhenItKeepsOne) {
    // A link that keeps a reason: every device subcommand repeats it.
    const std::string failing = std::string("PIPEWELL_LIBRARY=") + FAILING_LINK_PATH;
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"status"}, {"version"}, {"feed", "front"}}) {
        const Outcome r = run(args, {failing});
        EXPECT_EQ(r.status, 3) << args[0];
        EXPECT_NE(r.err.find("cannot open the scanner"), std::string::npos) << r.err;
        EXPECT_NE(
            r.err.find("link: LIBUSB_ERROR_ACCESS opening the scanner (no permission on the device node)"),
            std::string::npos)
            << args[0] << ": " << r.err;
    }
    // The emulator keeps no reason (or has none after a good open): nothing extra.
    const Outcome ok = run({"status", "--emulator"});
    EXPECT_EQ(ok.status, 0) << ok.err;
    EXPECT_EQ(ok.err.find("link:"), std::string::npos) << ok.err;
}

TEST_F(DeviceCommands, TheEmulatorIsFoundUnderItsVersionedNameAlone) {
    // A runtime-only installation: bin/ticketkit and lib/libScannerEmulator.so.0, no bare name.
    fs::create_directories(dir + "/kit/bin");
    fs::create_directories(dir + "/kit/lib");
    fs::copy_file(TICKETKIT_PATH, dir + "/kit/bin/ticketkit");
    fs::copy_file(fs::canonical(std::string(LIBRARY_DIR) + "/libScannerEmulator.so"),
                  dir + "/kit/lib/libScannerEmulator.so.0");
    const std::string program = dir + "/kit/bin/ticketkit";
    const std::string out = dir + "/out.txt";
    // The device library and the rest come from the build's lib/ through the loader path.
    ASSERT_TRUE(tktest::shell("LD_LIBRARY_PATH=" + std::string(LIBRARY_DIR) + " " + program +
                              " status --emulator --json > " + out + " 2>&1"))
        << std::ifstream(out).rdbuf();
    std::ifstream in(out);
    const std::string said((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(said.find("\"scannerIdle\": 1"), std::string::npos) << said;

    // Neither name: the message says where it looked.
    fs::remove(dir + "/kit/lib/libScannerEmulator.so.0");
    EXPECT_FALSE(tktest::shell("LD_LIBRARY_PATH=" + std::string(LIBRARY_DIR) + " " + program +
                               " status --emulator > " + out + " 2>&1"));
    std::ifstream again(out);
    const std::string refused((std::istreambuf_iterator<char>(again)), std::istreambuf_iterator<char>());
    EXPECT_NE(refused.find("is not installed beside this program"), std::string::npos) << refused;
}

}  // namespace
