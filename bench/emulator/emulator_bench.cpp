// What the emulator costs per link operation, and how fast it renders and
// delivers a full scan.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "emulator/ScannerEmulator.h"
#include "platform/usb/Pipewell.h"

namespace {

// One status request as the device library makes it: reopen, then the
// doubled status read.
void BM_StatusWithReopen(benchmark::State& state) {
    Emu_SetTimeScale(0);
    Emu_Reset(1);
    std::uint8_t status[8];
    int got = 0;
    int handle = OpenDevice();
    for (auto _ : state) {
        CloseDevice(handle);
        handle = OpenDevice();
        GetSpecStatus(handle, status, 8, &got);
        GetSpecStatus(handle, status, 8, &got);
        benchmark::DoNotOptimize(status);
    }
    CloseDevice(handle);
    Emu_JournalClear();
}
BENCHMARK(BM_StatusWithReopen);

// Insert a ticket of the given size (mm), scan it whole as grey or
// black-and-white at 8 lines/mm and read every byte off the image pipe.
void BM_FullScan(benchmark::State& state) {
    const int widthMm = static_cast<int>(state.range(0));
    const int lengthMm = static_cast<int>(state.range(1));
    const auto grey = static_cast<std::uint8_t>(state.range(2));
    Emu_SetTimeScale(0);
    Emu_Reset(1);
    std::vector<std::uint8_t> ticket(static_cast<std::size_t>(widthMm * 8) * lengthMm * 8, 200);
    std::vector<std::uint8_t> buffer(1 << 18);
    const int handle = OpenDevice();
    const std::uint8_t settings[] = {
        0x1A, 0x40, 0, static_cast<std::uint8_t>(widthMm), 0x1A, 0x42, grey, 0, 0x1A, 0x41, 0, 0};
    uWrite(handle, 0, settings, sizeof settings);
    const std::uint8_t start[] = {0x1A, 0x45, 0x02, 0x00};
    std::int64_t bytes = 0;
    for (auto _ : state) {
        Emu_InsertTicketPixels(ticket.data(), widthMm * 8, lengthMm * 8, 8);
        uWrite(handle, 0, start, sizeof start);
        Emu_AdvanceTime(10000);
        for (;;) {
            const int n = uRead(handle, 3, buffer.data(), static_cast<int>(buffer.size()));
            if (n <= 0) break;
            bytes += n;
        }
        Emu_AdvanceTime(10000);  // ejected
        Emu_JournalClear();
    }
    state.SetBytesProcessed(bytes);
    CloseDevice(handle);
}
BENCHMARK(BM_FullScan)
    ->Args({216, 297, 1})
    ->Args({216, 297, 0})
    ->Args({80, 150, 0})
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
