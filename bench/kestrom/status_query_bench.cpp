// One status query through libKestrom.so and the emulator: the link reopen
// (close, open), the two status requests and the decoding.

#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cstdint>

#include "platform/dynamic_library.h"

namespace {

struct Library {
    platform::DynamicLibrary kestrom;
    int (*open)() = nullptr;
    void (*close)() = nullptr;
    int (*status)(std::int32_t*) = nullptr;
    int (*scanArea)(int*, int*, int*) = nullptr;

    Library() {
        ::setenv("PIPEWELL_LIBRARY", EMULATOR_PATH, 1);
        if (!kestrom.open(KESTROM_PATH)) return;
        open = kestrom.resolve<int (*)()>("OpenUSBPort");
        close = kestrom.resolve<void (*)()>("CloseUSBPort");
        status = kestrom.resolve<int (*)(std::int32_t*)>("GetBSStatus");
        scanArea = kestrom.resolve<int (*)(int*, int*, int*)>("GetScanArea");
    }
};

Library& library() {
    static Library instance;
    return instance;
}

void BM_StatusQuery(benchmark::State& state) {
    Library& lib = library();
    if (!lib.status || !lib.open()) {
        state.SkipWithError("cannot open the port on the emulator");
        return;
    }
    std::int32_t fields[22];
    for (auto _ : state) {
        if (lib.status(fields) != 1) {
            state.SkipWithError("status query failed");
            break;
        }
        benchmark::DoNotOptimize(fields);
    }
    lib.close();
}
BENCHMARK(BM_StatusQuery);

// A command with a reply, for comparison: write, the 50 ms settle, reply read.
void BM_ScanAreaQuery(benchmark::State& state) {
    Library& lib = library();
    if (!lib.scanArea || !lib.open()) {
        state.SkipWithError("cannot open the port on the emulator");
        return;
    }
    int border, width, height;
    for (auto _ : state) benchmark::DoNotOptimize(lib.scanArea(&border, &width, &height));
    lib.close();
}
BENCHMARK(BM_ScanAreaQuery)->Unit(benchmark::kMillisecond)->Iterations(20);

}  // namespace

BENCHMARK_MAIN();
