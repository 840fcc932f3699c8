#pragma once
// Shared set-up of the library tests: the scripted link behind the library,
// pauses observed instead of waited out, and a fresh working directory.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "device/Kestrom.h"
#include "device/tests/link_double.h"
#include "platform/dynamic_library.h"
#include "platform/sleep.h"

namespace kestrom_test {

using Bytes = std::vector<std::uint8_t>;

// Status bytes built by name.
struct StatusBits {
    std::uint8_t b[8] = {};
    StatusBits& set(int byte, int bit) {
        b[byte] |= static_cast<std::uint8_t>(1u << bit);
        return *this;
    }
    StatusBits& idle() { return set(1, 1); }
    StatusBits& scanning() { return set(1, 2); }
    StatusBits& waiting() { return set(1, 3); }
    StatusBits& printing() { return set(1, 5); }
    StatusBits& feeding() { return set(1, 6); }
    StatusBits& status_error() { return set(1, 7); }
    StatusBits& jam() { return set(0, 3); }
    StatusBits& command_error() { return set(0, 5); }
    StatusBits& paper_error() { return set(0, 6); }
    StatusBits& print_done() { return set(0, 7); }
    StatusBits& have_data() { return set(2, 1); }
    StatusBits& scan_complete() { return set(2, 2); }
    StatusBits& eight_lines() { return set(2, 3); }
    StatusBits& grey() { return set(2, 6); }
    StatusBits& reply_ready() { return set(3, 6); }
    StatusBits& paper_a() { return set(3, 7); }
    StatusBits& pending(std::uint32_t n) {
        for (int i = 0; i < 4; ++i) b[4 + i] = static_cast<std::uint8_t>(n >> (8 * i));
        return *this;
    }
    Bytes bytes() const { return Bytes(b, b + 8); }
};

class KestromTest : public ::testing::Test {
protected:
    static linkdouble::LinkDouble& link() {
        static platform::DynamicLibrary library;
        if (!library.is_open()) {
            EXPECT_TRUE(library.open(LINK_DOUBLE_PATH)) << library.error();
        }
        return *library.resolve<linkdouble::LinkDouble* (*)()>("link_double")();
    }

    void SetUp() override {
        ::setenv("PIPEWELL_LIBRARY", LINK_DOUBLE_PATH, 1);
        link().reset();
        pauses.clear();
        platform::set_sleep_observer([this](int ms) { pauses.push_back(ms); });
        previousDir = std::filesystem::current_path();
        char pattern[] = "/tmp/kestrom_test_XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        workDir = pattern;
        std::filesystem::current_path(workDir);
    }

    void TearDown() override {
        CloseUSBPort();
        platform::set_sleep_observer({});
        std::filesystem::current_path(previousDir);
        std::error_code ignored;
        std::filesystem::remove_all(workDir, ignored);
    }

    // Opens the port on the double and forgets the calls of the open.
    void open_port() {
        ASSERT_NE(OpenUSBPort(), 0);
        link().calls.clear();
        pauses.clear();
    }

    // Sticky status the double answers when nothing else is scripted.
    static void device_status(const StatusBits& s) { link().status = s.bytes(); }
    static void queue_status(const StatusBits& s) { link().statuses.push_back({s.bytes(), 1, -1}); }
    // One status query = two status requests answered alike.
    static void queue_query(const StatusBits& s) {
        queue_status(s);
        queue_status(s);
    }
    static void queue_reply(const Bytes& reply) { link().reads[1].push_back({reply}); }

    static std::vector<Bytes> writes() { return link().writes(); }

    // Answers like the device's bitmap store: 1A 6B <letter> then 1B 4B
    // gives <letter> count free; a download (header, then the file) adds one
    // bitmap; 1B 49 gives `firmwareVersion`. The status stays idle with a
    // reply ready.
    struct Store {
        int count[2] = {0, 0};
        std::uint32_t freeBytes = 100000;
        bool countDownloads = true;
        std::string firmwareVersion = "V1/200101/ABCDEF";
    };
    Store store;
    void install_store() {
        device_status(StatusBits().idle().reply_ready());
        link().onWrite = [this, asked = std::uint8_t(0), downloadArea = -1](const Bytes& w) mutable {
            if (w.size() == 3 && w[0] == 0x1A && w[1] == 0x6B) asked = w[2];
            if (w == Bytes{0x1B, 0x4B} && asked) {
                const int area = asked == 'A' ? 0 : 1;
                Bytes reply = {asked, static_cast<std::uint8_t>(store.count[area])};
                for (int i = 0; i < 4; ++i)
                    reply.push_back(static_cast<std::uint8_t>(store.freeBytes >> (8 * i)));
                link().reads[1].push_back({reply});
                asked = 0;
            }
            if (w == Bytes{0x1B, 0x49})
                link().reads[1].push_back(
                    {Bytes(store.firmwareVersion.begin(), store.firmwareVersion.end())});
            if (downloadArea >= 0) {
                if (store.countDownloads) ++store.count[downloadArea];
                downloadArea = -1;
            }
            if (w.size() > 6 && w[0] == 0x1B && w[1] == 0x4A && w[2] == 0x1A && w[3] == 0x69)
                downloadArea = w[4] == 'A' ? 0 : 1;
        };
    }

    std::vector<int> pauses;
    std::filesystem::path previousDir;
    std::filesystem::path workDir;
};

inline Bytes bytes(std::initializer_list<int> values) {
    Bytes out;
    for (int v : values) out.push_back(static_cast<std::uint8_t>(v));
    return out;
}

}  // namespace kestrom_test
