// Calibration, reset, firmware files and loading, and versions.

#include <fstream>

#include "device/tests/kestrom_fixture.h"

namespace kestrom_test {
namespace {

using Writes = std::vector<Bytes>;
constexpr std::uint8_t kKey[4] = {0x5A, 0xC3, 0x3C, 0xA5};

Bytes read_file(const std::string& name) {
    std::ifstream in(name, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

void write_file(const std::string& name, const Bytes& data) {
    std::ofstream(name, std::ios::binary)
        .write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
}

int mkfirmware(const std::string& args) {
    return std::system((std::string(MKFIRMWARE_PATH) + " " + args + " 2>/dev/null").c_str());
}

// A firmware file made by hand: the preamble, then `text` scrambled.
Bytes scrambled(const std::string& preamble, const std::string& text) {
    Bytes out(preamble.begin(), preamble.end());
    for (std::size_t k = 0; k < text.size(); ++k)
        out.push_back(static_cast<std::uint8_t>(text[k]) ^ kKey[k % 4]);
    return out;
}

// One data record line for `data`.
std::string record(const std::string& data, int type = 0) {
    char cell[3];
    std::string line = ":";
    unsigned sum = 0;
    auto put = [&](unsigned v) {
        std::snprintf(cell, sizeof cell, "%02x", v & 0xFF);
        line += cell;
        sum += v & 0xFF;
    };
    put(static_cast<unsigned>(data.size()));
    put(0);
    put(0);
    put(static_cast<unsigned>(type));
    for (char c : data) put(static_cast<unsigned char>(c));
    put(0x100 - (sum & 0xFF));
    return line;
}

class Maintenance : public KestromTest {
protected:
    void SetUp() override {
        KestromTest::SetUp();
        open_port();
    }

    static std::string version(const std::string& file) {
        char text[8] = "-------";
        return ReadVersion(file.c_str(), text) ? std::string(text) : "<failed>";
    }
};

TEST_F(Maintenance, CisCalibrationPollsItsProgress) {
    device_status(StatusBits().idle());
    queue_reply(bytes({10, 0, 0, 0, 0, 0, 0, 0}));
    queue_reply(bytes({60, 0, 0, 0, 0, 0, 0, 0}));
    queue_reply(bytes({100, 0, 0, 0, 0, 0, 0, 1}));
    EXPECT_EQ(CISDataCorrect(), 1);
    EXPECT_EQ(writes(), (Writes{bytes({0x1A, 0x4C}), bytes({0x1B, 0x45}), bytes({0x1B, 0x45}),
                                bytes({0x1B, 0x45}), bytes({0x1A, 0x4E})}));
    EXPECT_EQ(pauses, (std::vector<int>{500, 50, 500, 50, 500, 50, 50}));

    for (int state : {2, 3, 4}) {
        queue_reply(bytes({0, 0, 0, 0, 0, 0, 0, state}));
        EXPECT_EQ(CISDataCorrect(), 0) << state;
    }
    device_status(StatusBits().waiting());
    link().calls.clear();
    EXPECT_EQ(CISDataCorrect(), 0);
    EXPECT_TRUE(writes().empty());
}

TEST_F(Maintenance, SensorCalibrationChecksEightValues) {
    device_status(StatusBits().idle());
    Bytes reply(32, 0);
    for (int i = 0; i < 8; ++i) reply[static_cast<size_t>(i)] = static_cast<std::uint8_t>(i == 0 ? 1 : 254);
    queue_reply(reply);
    EXPECT_EQ(SensorCorrect(), 1);
    EXPECT_EQ(writes(), (Writes{bytes({0x03, 0xCC, 0x33, 0x33, 0xCC}), bytes({0x1A, 0x6F, 0x01, 0x01}),
                                bytes({0x1A, 0x55}), bytes({0x1B, 0x4C})}));
    EXPECT_EQ(pauses, (std::vector<int>{50, 50, 50, 6000, 50}));
    EXPECT_EQ(link().calls_of("uRead")[0].arg2, 32);

    for (std::uint8_t bad : {0, 255}) {
        reply[5] = bad;
        queue_reply(reply);
        EXPECT_EQ(SensorCorrect(), 0);
    }
}

TEST_F(Maintenance, ResetReconnectsAndProbes) {
    install_store();
    link().openResults = {7, -1};  // 1B 40's reopen, then the first OpenUSBPort fails
    EXPECT_EQ(ResetDev(), 1);
    EXPECT_EQ(writes(), (Writes{bytes({0x1B, 0x40}), bytes({0x1A, 0x6B, 0x42}), bytes({0x1B, 0x4B})}));
    EXPECT_EQ(pauses, (std::vector<int>{4000, 2000, 2000, 1000, 50}));
    EXPECT_EQ(link().calls_of("SetUSBTimeouts").size(), 3u);  // open, probe, probe end

    // A device that never comes back: ten tries, then closed.
    link().calls.clear();
    pauses.clear();
    link().openResults.assign(1, 7);
    link().openResults.insert(link().openResults.end(), 10, -1);
    EXPECT_EQ(ResetDev(), 0);
    EXPECT_EQ(std::count(pauses.begin(), pauses.end(), 2000), 10);
    EXPECT_EQ(WritePort(bytes({1}).data(), 1), 0);
}

TEST_F(Maintenance, VersionsOfFilesMadeByTheTool) {
    ASSERT_EQ(mkfirmware("--version 1A2B3C only.JK"), 0);
    EXPECT_EQ(version("only.JK"), "1A2B3C");

    Bytes image(5000);
    for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<std::uint8_t>(i * 31 + 7);
    write_file("image.bin", image);
    ASSERT_EQ(mkfirmware("--bin image.bin --version V2.0.7 big.JK"), 0);
    EXPECT_EQ(version("big.JK"), "V2.0.7");

    std::ofstream("image.hex") << record("0123456789abcdef") << "\n"
                               << record("MainFirmware: 0415ZZ and more") << "\r\n"
                               << ":00000001FF\n";
    ASSERT_EQ(mkfirmware("--hex image.hex from_hex.JK"), 0);
    EXPECT_EQ(version("from_hex.JK"), "0415ZZ");

    ASSERT_EQ(mkfirmware("--hex image.hex --version 777777 hex_and_version.JK"), 0);
    EXPECT_EQ(version("hex_and_version.JK"), "0415ZZ");  // the image's own marker comes first
    std::ofstream("plain.hex") << record("0123456789abcdef") << "\n:00000001FF\n";
    ASSERT_EQ(mkfirmware("--hex plain.hex --version 777777 added.JK"), 0);
    EXPECT_EQ(version("added.JK"), "777777");

    // An image past 64 KiB goes out with extended address records.
    write_file("large.bin", Bytes(70001, 0x42));
    ASSERT_EQ(mkfirmware("--bin large.bin --version LARGE1 large.JK"), 0);
    EXPECT_EQ(version("large.JK"), "LARGE1");

    std::ofstream("bad.hex") << ":0100000041BF\n";  // wrong checksum
    EXPECT_NE(mkfirmware("--hex bad.hex bad.JK"), 0);
    EXPECT_NE(mkfirmware("--version 12345 short.JK"), 0);
    EXPECT_NE(mkfirmware("only_output.JK"), 0);
}

TEST_F(Maintenance, VersionFileFaults) {
    const std::string twice = "TQ-RMX7KP update TQ-RMX7KP\r\n\0";
    const std::string twiceWithGap(twice.data(), twice.size() + 1);  // keeps the zero: 3 gap bytes
    const std::string marker = record("xxMainFirmware:_ABC123yyyy") + "\r\n";

    write_file("good.JK", scrambled(twiceWithGap, marker));
    EXPECT_EQ(version("good.JK"), "ABC123");

    write_file("once.JK", scrambled("TQ-RMX7KP update\r\n\0", marker));
    EXPECT_EQ(version("once.JK"), "<failed>");

    // The file ends inside the second name: nothing read past the end.
    const std::string cut = "TQ-RMX7KP TQ-RMX7K";
    write_file("cut.JK", Bytes(cut.begin(), cut.end()));
    EXPECT_EQ(version("cut.JK"), "<failed>");
    write_file("empty.JK", Bytes());
    EXPECT_EQ(version("empty.JK"), "<failed>");
    EXPECT_EQ(version("missing.JK"), "<failed>");

    // A last line without its line end is not used.
    write_file("unended.JK", scrambled(twiceWithGap, marker.substr(0, marker.size() - 2)));
    EXPECT_EQ(version("unended.JK"), "<failed>");

    // Marker too close to the end of the image (needs 20 bytes from its start).
    write_file("near.JK", scrambled(twiceWithGap, record("MainFirmware:_ABC1") + "\r\n"));
    EXPECT_EQ(version("near.JK"), "<failed>");

    // A bad checksum, a non-record line or a 1B byte ends reading.
    std::string broken = record("MainFirmware:_ABC123yyyy");
    broken[broken.size() - 1] = broken[broken.size() - 1] == '0' ? '1' : '0';
    write_file("checksum.JK", scrambled(twiceWithGap, broken + "\r\n"));
    EXPECT_EQ(version("checksum.JK"), "<failed>");
    write_file("stop.JK", scrambled(twiceWithGap, "\x1b\r\n" + marker));
    EXPECT_EQ(version("stop.JK"), "<failed>");
    write_file("text.JK", scrambled(twiceWithGap, "hello\r\n" + marker));
    EXPECT_EQ(version("text.JK"), "<failed>");

    // Records split the marker; blank lines between records are skipped; an
    // odd count carries its checksum byte along into the image.
    write_file("split.JK", scrambled(twiceWithGap, record("Main") + "\n\n\r" + record("Firmware:") + "\r\n" +
                                                       record("#XY98765") + "\r\n"));
    EXPECT_EQ(version("split.JK"), "#XY987");  // "Firmware:" has 9 bytes: its checksum byte follows it
    write_file("even.JK", scrambled(twiceWithGap, record("Main") + "\n\n\r" + record("Firmware:#") + "\r\n" +
                                                      record("XY987654321") + "\r\n"));
    EXPECT_EQ(version("even.JK"), "XY9876");

    char out[7];
    EXPECT_EQ(ReadVersion(nullptr, out), 0);
    EXPECT_EQ(ReadVersion("good.JK", nullptr), 0);
}

TEST_F(Maintenance, FirmwareUpdateSendsTheFileAndChecksTheNewVersion) {
    install_store();
    ASSERT_EQ(mkfirmware("--version 200101 fw.JK"), 0);
    const Bytes file = read_file("fw.JK");
    EXPECT_EQ(UpdateDeviceFirmware("fw.JK"), 1);
    EXPECT_EQ(writes(), (Writes{file, bytes({0x1A, 0x6B, 0x42}), bytes({0x1B, 0x4B}), bytes({0x1B, 0x49})}));
    EXPECT_EQ(link().calls_of("uRead").back().arg2, 15);

    // Another version reported: 0 at once, without further tries.
    link().calls.clear();
    store.firmwareVersion = "V1/199912/ABCDE";
    EXPECT_EQ(UpdateDeviceFirmware("fw.JK"), 0);
    EXPECT_EQ(link().calls_of("uWrite").size(), 4u);

    // A file without a version is not sent.
    link().calls.clear();
    ASSERT_NE(OpenUSBPort(), 0);
    write_file("plain.bin", bytes({1, 2, 3}));
    EXPECT_EQ(UpdateDeviceFirmware("plain.bin"), 0);
    EXPECT_TRUE(writes().empty());
    // UpdateOnLine sends any file unchanged.
    EXPECT_EQ(UpdateOnLine("plain.bin"), 1);
    EXPECT_EQ(writes()[0], bytes({1, 2, 3}));
    EXPECT_EQ(UpdateOnLine("missing.bin"), 0);
    EXPECT_EQ(UpdateOnLine(nullptr), 0);
}

TEST_F(Maintenance, VersionTexts) {
    char library[32];
    std::fill(library, library + 32, 'x');
    EXPECT_EQ(GetKestromVersion(library), 1);
    EXPECT_STREQ(library, "V1.01/10/03/17");
    EXPECT_EQ(GetKestromVersion(nullptr), 1);

    char firmware[16] = {};
    queue_reply(bytes({'V', '1', '/', '2', '0', '0', '1', '0', '1', '/', 'A', 'B', 'C', 'D', 'E'}));
    EXPECT_EQ(GetFirmwareVersion(firmware), 1);
    EXPECT_EQ(std::string(firmware), "V1/200101/ABCDE");
    EXPECT_EQ(writes(), (Writes{bytes({0x1B, 0x49})}));
    queue_reply(bytes({'V', '1'}));
    EXPECT_EQ(GetFirmwareVersion(firmware), 0);
}

}  // namespace
}  // namespace kestrom_test
