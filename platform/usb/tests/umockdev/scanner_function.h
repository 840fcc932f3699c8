#pragma once
// The functions behind the emulated devices: the software scanner-printer
// (libScannerEmulator.so, reached through its eight link operations, so the
// bytes sent over USB meet the same command handlers as in the emulator's own
// tests), and a bystander device that only records what it is sent.

#include <cstdint>
#include <mutex>
#include <vector>

#include "emulator/ScannerEmulator.h"
#include "platform/dynamic_library.h"
#include "usb_function.h"

namespace usbtest {

// The emulator library, loaded once per process, and the entry points used.
struct EmulatorLibrary {
    int (*openDevice)() = nullptr;
    int (*read)(int, int, std::uint8_t*, int) = nullptr;
    int (*write)(int, int, const std::uint8_t*, int) = nullptr;
    int (*getSpecStatus)(int, std::uint8_t*, int, int*) = nullptr;
    int (*closeDevice)(int) = nullptr;
    int (*sendSpecCommand)(int, int) = nullptr;
    int (*resetPipes)(int, int) = nullptr;
    decltype(&Emu_Reset) reset = nullptr;
    decltype(&Emu_InsertTicketPixels) insertTicketPixels = nullptr;
    decltype(&Emu_InjectFault) injectFault = nullptr;
    decltype(&Emu_ClearFaults) clearFaults = nullptr;
    decltype(&Emu_GetStatus) getStatus = nullptr;
    decltype(&Emu_SetTimeScale) setTimeScale = nullptr;
    decltype(&Emu_AdvanceTime) advanceTime = nullptr;
    decltype(&Emu_SetTransferStep) setTransferStep = nullptr;
    decltype(&Emu_JournalClear) journalClear = nullptr;
    decltype(&Emu_JournalWritten) journalWritten = nullptr;
    decltype(&Emu_GetLastPrint) getLastPrint = nullptr;
    decltype(&Emu_StoredBitmapCount) storedBitmapCount = nullptr;

    // Loaded from `path`; throws when a name is missing.
    static const EmulatorLibrary& get(const char* path);

private:
    platform::DynamicLibrary library_;
};

// Endpoint 0x01 -> pipe 0, 0x81 -> pipe 1, 0x82 -> pipe 2, 0x83 -> pipe 3;
// the vendor control-IN request C1/01 is the status request. Every request
// opens an emulator link handle for its duration.
class ScannerFunction : public UsbFunction {
public:
    explicit ScannerFunction(const EmulatorLibrary& emulator) : emu_(emulator) {}

    int out(std::uint8_t endpoint, const std::uint8_t* data, int count) override;
    int in(std::uint8_t endpoint, std::uint8_t* data, int count) override;
    int control_in(std::uint8_t requestType, std::uint8_t request, std::uint16_t value, std::uint16_t index,
                   std::uint8_t* data, int count) override;
    bool clear_halt(std::uint8_t endpoint) override;
    bool port_reset() override;

    // After a port reset the device comes back as a new device (at a new
    // address) instead of the same one.
    void set_reset_reenumerates(bool on) { resetReenumerates_ = on; }

private:
    const EmulatorLibrary& emu_;
    bool resetReenumerates_ = false;
};

// Takes every OUT byte, answers every status request with 8 bytes of 0xEE and
// never has IN data.
class BystanderFunction : public UsbFunction {
public:
    int out(std::uint8_t endpoint, const std::uint8_t* data, int count) override;
    int in(std::uint8_t, std::uint8_t*, int) override { return 0; }
    int control_in(std::uint8_t requestType, std::uint8_t request, std::uint16_t value, std::uint16_t index,
                   std::uint8_t* data, int count) override;
    bool clear_halt(std::uint8_t) override { return true; }
    bool port_reset() override { return true; }

    std::vector<std::uint8_t> received() const;

private:
    mutable std::mutex mutex_;
    std::vector<std::uint8_t> received_;
};

}  // namespace usbtest
