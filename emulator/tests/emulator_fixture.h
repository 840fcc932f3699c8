#pragma once
// Drives the emulator the way the device library does: through its eight link
// operations with raw command bytes, with the device clock under test control.

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <vector>

#include "emulator/ScannerEmulator.h"
#include "platform/usb/Pipewell.h"

namespace emutest {

using Bytes = std::vector<std::uint8_t>;

class EmulatorTest : public ::testing::Test {
protected:
    void SetUp() override {
        Emu_SetTimeScale(0);
        Emu_SetTransferStep(0);
        ASSERT_EQ(Emu_Reset(1), 1);
        handle = OpenDevice();
        ASSERT_GT(handle, 0);
    }
    void TearDown() override {
        CloseDevice(handle);
        Emu_ClearFaults();
    }

    int write(const Bytes& bytes) { return uWrite(handle, 0, bytes.data(), static_cast<int>(bytes.size())); }

    // Writes and expects the device to accept the command.
    void command(const Bytes& bytes) {
        ASSERT_EQ(write(bytes), static_cast<int>(bytes.size()));
        EXPECT_FALSE(status()[0] & 0x20) << "command refused";
    }

    Bytes read(int pipe, int count) {
        Bytes out(static_cast<std::size_t>(count));
        const int n = uRead(handle, pipe, out.data(), count);
        out.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
        return out;
    }

    std::array<std::uint8_t, 8> status() {
        std::array<std::uint8_t, 8> s{};
        int got = 0;
        EXPECT_NE(GetSpecStatus(handle, s.data(), 8, &got), 0);
        EXPECT_EQ(got, 8);
        return s;
    }

    static bool bit(const std::array<std::uint8_t, 8>& s, int byte, int b) { return (s[byte] >> b) & 1; }
    bool command_error() { return bit(status(), 0, 5); }
    std::uint32_t pending_bytes() {
        const auto s = status();
        return s[4] | (s[5] << 8) | (s[6] << 16) | (static_cast<std::uint32_t>(s[7]) << 24);
    }

    // Sends a query that answers through 1B 4B and fetches its reply.
    Bytes fetched_reply(const Bytes& query, int count) {
        command(query);
        EXPECT_TRUE(bit(status(), 3, 6)) << "reply not ready";
        command({0x1B, 0x4B});
        return read(1, count);
    }

    int handle = -1;
};

// A white ticket of width x height dots with a black square of `side` dots at
// (x, y), as 8-bit grey rows.
inline Bytes white_ticket(int width, int height) {
    return Bytes(static_cast<std::size_t>(width) * height, 255);
}

inline void black_box(Bytes& ticket, int width, int x0, int y0, int w, int h) {
    for (int y = y0; y < y0 + h; ++y)
        for (int x = x0; x < x0 + w; ++x) ticket[static_cast<std::size_t>(y) * width + x] = 0;
}

inline void put32(Bytes& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

// A 1-bit BMP file (palette black, white; offset 62) from packed rows, row 0
// on top, most significant bit first, 1 = white.
inline Bytes mono_bmp(int width, int height, const Bytes& rows) {
    const std::size_t used = (static_cast<std::size_t>(width) + 7) / 8;
    const std::size_t stride = (static_cast<std::size_t>(width) + 31) / 32 * 4;
    Bytes out = {'B', 'M'};
    put32(out, static_cast<std::uint32_t>(62 + stride * height));
    put32(out, 0);
    put32(out, 62);
    put32(out, 40);
    put32(out, static_cast<std::uint32_t>(width));
    put32(out, static_cast<std::uint32_t>(height));
    out.insert(out.end(), {1, 0, 1, 0});
    put32(out, 0);
    put32(out, static_cast<std::uint32_t>(stride * height));
    for (int i = 0; i < 4; ++i) put32(out, 0);
    out.insert(out.end(), {0, 0, 0, 0, 255, 255, 255, 0});
    for (int y = height - 1; y >= 0; --y) {
        out.insert(out.end(), rows.begin() + static_cast<long>(used * y),
                   rows.begin() + static_cast<long>(used * (y + 1)));
        out.insert(out.end(), stride - used, 0);
    }
    return out;
}

}  // namespace emutest
