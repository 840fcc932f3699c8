// The run log: switched by a file at open, its exact texts, hex dumps and the
// rollover over twenty files.

#include "device/run_log.h"

#include <fstream>
#include <sstream>

#include "device/port.h"
#include "device/tests/kestrom_fixture.h"

namespace kestrom_test {
namespace {

namespace fs = std::filesystem;

class RunLog : public KestromTest {
protected:
    void TearDown() override {
        kestrom::set_log_rollover_bytes(kestrom::kLogRolloverBytes);
        KestromTest::TearDown();
    }

    static void switch_on() { std::ofstream(kestrom::kLogSwitchFile) << "\n"; }

    static std::string read(const fs::path& path) {
        std::ifstream in(path, std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

    // The log's lines with their time stamps checked and removed.
    static bool stamped(const std::string& line) {
        static const char shape[] = "dddd-dd-dd dd:dd:dd ";  // d = a digit
        if (line.size() < sizeof shape - 1) return false;
        for (std::size_t i = 0; i + 1 < sizeof shape; ++i) {
            const bool digit = line[i] >= '0' && line[i] <= '9';
            if (shape[i] == 'd' ? !digit : line[i] != shape[i]) return false;
        }
        return true;
    }

    static std::vector<std::string> messages(const fs::path& path) {
        std::vector<std::string> out;
        std::istringstream in(read(path));
        std::string line;
        while (std::getline(in, line)) {
            if (stamped(line)) {
                out.push_back(line.substr(20));
            } else {
                out.push_back("<no stamp>" + line);
            }
        }
        return out;
    }

    static std::string address(const void* p) {
        char text[32];
        std::snprintf(text, sizeof text, "0x%08llx",
                      static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(p)));
        return text;
    }

    static fs::path first_file() { return fs::path("scanner_log") / "TQ-RMX7KP_1.log"; }
};

TEST_F(RunLog, WithoutTheSwitchFileNothingIsCreated) {
    open_port();
    link().writeResults = {0};
    EXPECT_EQ(WritePort(bytes({1, 2}).data(), 2), 0);
    EXPECT_FALSE(fs::exists("scanner_log"));
    EXPECT_TRUE(fs::is_empty(fs::current_path()));
}

TEST_F(RunLog, SwitchFileIsReadAtEveryOpen) {
    open_port();
    switch_on();
    EXPECT_EQ(WritePort(bytes({1}).data(), 1), 1);
    EXPECT_FALSE(fs::exists("scanner_log"));  // not yet: decided at open
    open_port();
    EXPECT_EQ(WritePort(bytes({1}).data(), 1), 1);
    EXPECT_TRUE(fs::exists(first_file()));
    fs::remove(kestrom::kLogSwitchFile);
    open_port();
    const auto before = fs::file_size(first_file());
    EXPECT_EQ(WritePort(bytes({1}).data(), 1), 1);
    EXPECT_EQ(fs::file_size(first_file()), before);
}

TEST_F(RunLog, LogStaysOffWhenTheFolderCannotBeMade) {
    switch_on();
    std::ofstream("scanner_log") << "a file in the way";
    open_port();
    EXPECT_EQ(WritePort(bytes({1}).data(), 1), 1);
    EXPECT_FALSE(kestrom::run_log_on());
    EXPECT_EQ(read("scanner_log"), "a file in the way");
}

TEST_F(RunLog, WriteTextsIncludingFailureAndRecovery) {
    switch_on();
    open_port();
    const Bytes ok = bytes({0x1B, 0x4A});
    EXPECT_EQ(WritePort(ok.data(), 2), 1);
    link().writeResults = {1};
    link().resetPipeResults = {1, 0};
    const Bytes bad = bytes({0x1A, 0x45, 0x02, 0x00});
    EXPECT_EQ(WritePort(bad.data(), 4), 0);
    EXPECT_EQ(WritePort(nullptr, 5), 0);
    EXPECT_EQ(messages(first_file()),
              (std::vector<std::string>{
                  "WritePort(" + address(ok.data()) + ", 0x00000002) data:1b 4a ",
                  "\tWrite time:1; need to write:2; have write 2",
                  "\tWritePort bytes 2 successful",
                  "<no stamp>",
                  "WritePort(" + address(bad.data()) + ", 0x00000004) data:1a 45 02 00 ",
                  "\tWrite time:1; need to write:4; have write 1",
                  "\tWritePort failed. need to write 4 but have wrte 1, reset usb!",
                  "\tf_ResetPipes(udev, 0) = 1",
                  "\tf_ResetPipes(udev, 1) = 0",
                  "",
                  "<no stamp>",
                  "WritePort(0x00000000, 0x00000005) data:",
              }));
}

TEST_F(RunLog, ReadTextsWithAttemptsAndStatusTexts) {
    switch_on();
    open_port();
    link().reads[1] = {{bytes({0x42, 0x01})}, {bytes({0x02, 0x03})}};
    std::uint8_t reply[4];
    int received = 0;
    EXPECT_EQ(kestrom::reply_read(4, reply, &received, false), 1);
    const Bytes status = StatusBits().idle().pending(0x10).bytes();
    link().statuses = {{status}, {status}};
    std::uint8_t raw[8];
    EXPECT_EQ(kestrom::status_read(8, raw, &received, false), 1);
    link().reads[3] = {{bytes({9})}};
    EXPECT_EQ(kestrom::bulk_read(2, raw, &received, false), 0);
    const std::string counter = address(&received);
    EXPECT_EQ(messages(first_file()),
              (std::vector<std::string>{
                  "ReadPort2(0x00000004, " + address(reply) + ", " + counter + ")",
                  "\tRead time:1; need to read:4; have read 2; data:42 01 ",
                  "\tRead time:2; need to read:2; have read 2; data:02 03 ",
                  "\tReadPort2 bytes 4 successful",
                  "<no stamp>",
                  "ReadPort3(0x00000008, " + address(raw) + ", " + counter + ")",
                  "\tRead time:0; need to read:8; have read 8; data:00 02 00 00 10 00 00 00 ",
                  "\tRead time:1; need to read:8; have read 8; data:00 02 00 00 10 00 00 00 ",
                  "\tReadPort3 bytes 8 successful",
                  "<no stamp>",
                  "ReadPort4(0x00000002, " + address(raw) + ", " + counter + ")",
                  "\tRead time:1; need to read:2; have read 1; data:09 ",
                  "\tRead time:2; need to read:1; have read 0; data:",
                  "\tRead time:3; need to read:1; have read 0; data:",
                  "\tRead time:4; need to read:1; have read 0; data:",
                  "\tReadPort4 failed. need to read 2 but have read 1, reset usb!",
              }));
}

TEST_F(RunLog, HexDumpShowsAtMost64Bytes) {
    switch_on();
    open_port();
    Bytes big(100);
    for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<std::uint8_t>(i);
    EXPECT_EQ(WritePort(big.data(), 100), 1);
    const std::string first = messages(first_file())[0];
    const std::string dump = first.substr(first.find("data:") + 5);
    EXPECT_EQ(dump.size(), 64u * 3);
    EXPECT_EQ(dump.substr(0, 9), "00 01 02 ");
    EXPECT_EQ(dump.substr(dump.size() - 3), "3f ");
}

TEST_F(RunLog, TwentyFilesRollOverAndTheTwentyFirstTruncatesFileOne) {
    switch_on();
    open_port();
    kestrom::set_log_file_counter(0);
    kestrom::set_log_rollover_bytes(300);  // stands for 20 MiB
    const Bytes command = bytes({0x1B, 0x41});
    auto fileOf = [](int n) { return fs::path("scanner_log") / ("TQ-RMX7KP_" + std::to_string(n) + ".log"); };
    for (int n = 1; n <= 20; ++n) {
        while (kestrom::log_file_counter() == static_cast<unsigned>(n - 1)) {
            ASSERT_EQ(WritePort(command.data(), 2), 1);
        }
    }
    // Every file was used, each past the threshold only by its last line.
    for (int n = 1; n <= 20; ++n) EXPECT_TRUE(fs::exists(fileOf(n))) << n;
    EXPECT_EQ(kestrom::log_file_counter(), 20u);
    EXPECT_LT(fs::file_size(fileOf(1)), 300u + 200u);
    // The rollover after file 20 started file 1 afresh.
    EXPECT_LT(fs::file_size(fileOf(1)), fs::file_size(fileOf(2)));
    EXPECT_LT(messages(fileOf(1)).size(), 4u);  // only the rest of the last write's lines
    EXPECT_EQ(kestrom::log_file_name(20), "scanner_log/TQ-RMX7KP_1.log");
}

}  // namespace
}  // namespace kestrom_test
