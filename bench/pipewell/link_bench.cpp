// The cost of the real USB link: one status request through libPipewell,
// libusb and an emulated bus, and one status query of the device library
// (link reopen and two requests) over it, each against the same with the
// software scanner-printer in place of the link. Argument 0 = the emulator
// alone, 1 = through libusb.

#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cstdint>
#include <cstdlib>

#include "emulated_usb_device.h"
#include "platform/dynamic_library.h"
#include "preload.h"
#include "scanner_function.h"
#include "usb_testbed.h"

namespace {

using usbtest::EmulatorLibrary;

constexpr std::uint16_t kVendor = 0x1d6b;
constexpr std::uint16_t kProduct = 0x7a51;
constexpr int kStatusBytes = 8;
constexpr int kThroughUsb = 1;

// The emulated bus with the scanner on it, set up once.
struct Bus {
    const EmulatorLibrary& emu = EmulatorLibrary::get(EMULATOR_PATH);
    usbtest::ScannerFunction scanner{emu};
    usbtest::EmulatedUsbDevice device{scanner};
    usbtest::UsbTestbed testbed;

    Bus() {
        emu.setTimeScale(0);
        emu.setTransferStep(1);
        emu.reset(1);
        testbed.plug(2, kVendor, kProduct, usbtest::scanner_descriptors(kVendor, kProduct), device);
    }
};

Bus& bus() {
    static Bus* instance = new Bus;  // outlives every library that uses it
    return *instance;
}

const char* link_file(const benchmark::State& state) {
    return state.range(0) == kThroughUsb ? PIPEWELL_PATH : EMULATOR_PATH;
}

void BM_LinkStatusRequest(benchmark::State& state) {
    bus();
    platform::DynamicLibrary link;
    if (!link.open(link_file(state))) {
        state.SkipWithError("cannot load the link library");
        return;
    }
    auto open = link.resolve<int (*)()>("OpenDevice");
    auto status = link.resolve<int (*)(int, std::uint8_t*, int, int*)>("GetSpecStatus");
    const int handle = open != nullptr ? open() : -1;
    if (handle < 0 || status == nullptr) {
        state.SkipWithError("cannot open the device");
        return;
    }
    std::uint8_t bytes[kStatusBytes];
    int delivered = 0;
    for (auto _ : state) {
        if (status(handle, bytes, kStatusBytes, &delivered) == 0) {
            state.SkipWithError("status request failed");
            break;
        }
        benchmark::DoNotOptimize(bytes);
    }
}
BENCHMARK(BM_LinkStatusRequest)->Arg(0)->Arg(kThroughUsb);

void BM_DeviceStatusQuery(benchmark::State& state) {
    bus();
    ::setenv("PIPEWELL_LIBRARY", link_file(state), 1);
    platform::DynamicLibrary kestrom;
    if (!kestrom.open(KESTROM_PATH)) {
        state.SkipWithError("cannot load libKestrom.so");
        return;
    }
    auto open = kestrom.resolve<int (*)()>("OpenUSBPort");
    auto close = kestrom.resolve<void (*)()>("CloseUSBPort");
    auto query = kestrom.resolve<int (*)(std::int32_t*)>("GetBSStatus");
    if (open == nullptr || close == nullptr || query == nullptr || open() == 0) {
        state.SkipWithError("cannot open the port");
        return;
    }
    std::int32_t fields[22];
    for (auto _ : state) {
        if (query(fields) != 1) {
            state.SkipWithError("status query failed");
            break;
        }
        benchmark::DoNotOptimize(fields);
    }
    close();
}
BENCHMARK(BM_DeviceStatusQuery)->Arg(0)->Arg(kThroughUsb);

}  // namespace

int main(int argc, char** argv) {
    usbtest::run_under_umockdev(argv);
    if (std::getenv("USBTEST_UNDER_UMOCKDEV") == nullptr) return 1;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
