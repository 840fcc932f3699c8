#include "scanner_function.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <string>

namespace usbtest {
namespace {

constexpr std::uint8_t kStatusRequestType = 0xC1;  // device-to-host, vendor, interface
constexpr std::uint8_t kStatusRequest = 0x01;
constexpr int kResetUsbDevice = 0xC0;
constexpr std::uint8_t kBystanderStatusByte = 0xEE;

int pipe_of(std::uint8_t endpoint) {
    switch (endpoint) {
        case 0x01:
            return 0;
        case 0x81:
            return 1;
        case 0x82:
            return 2;
        case 0x83:
            return 3;
        default:
            return -1;
    }
}

template <typename Fn>
void bind(const platform::DynamicLibrary& library, const char* name, Fn& target) {
    target = library.resolve<Fn>(name);
    if (target == nullptr) throw std::runtime_error(std::string("emulator lacks ") + name);
}

// An emulator link handle for one request.
class Handle {
public:
    explicit Handle(const EmulatorLibrary& emu) : emu_(emu), handle_(emu.openDevice()) {}
    ~Handle() {
        if (handle_ != -1) emu_.closeDevice(handle_);
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    bool ok() const { return handle_ != -1; }
    int get() const { return handle_; }

private:
    const EmulatorLibrary& emu_;
    int handle_;
};

}  // namespace

const EmulatorLibrary& EmulatorLibrary::get(const char* path) {
    static EmulatorLibrary api = [path] {
        EmulatorLibrary a;
        if (!a.library_.open(path))
            throw std::runtime_error("cannot load " + std::string(path) + ": " + a.library_.error());
        const platform::DynamicLibrary& l = a.library_;
        bind(l, "OpenDevice", a.openDevice);
        bind(l, "uRead", a.read);
        bind(l, "uWrite", a.write);
        bind(l, "GetSpecStatus", a.getSpecStatus);
        bind(l, "CloseDevice", a.closeDevice);
        bind(l, "SendSpecCommand", a.sendSpecCommand);
        bind(l, "ResetPipes", a.resetPipes);
        bind(l, "Emu_Reset", a.reset);
        bind(l, "Emu_InsertTicketPixels", a.insertTicketPixels);
        bind(l, "Emu_InjectFault", a.injectFault);
        bind(l, "Emu_ClearFaults", a.clearFaults);
        bind(l, "Emu_GetStatus", a.getStatus);
        bind(l, "Emu_SetTimeScale", a.setTimeScale);
        bind(l, "Emu_AdvanceTime", a.advanceTime);
        bind(l, "Emu_SetTransferStep", a.setTransferStep);
        bind(l, "Emu_JournalClear", a.journalClear);
        bind(l, "Emu_JournalWritten", a.journalWritten);
        bind(l, "Emu_GetLastPrint", a.getLastPrint);
        bind(l, "Emu_StoredBitmapCount", a.storedBitmapCount);
        return a;
    }();
    return api;
}

int ScannerFunction::out(std::uint8_t endpoint, const std::uint8_t* data, int count) {
    Handle h(emu_);
    if (!h.ok() || data == nullptr) return -1;
    return emu_.write(h.get(), pipe_of(endpoint), data, count);
}

int ScannerFunction::in(std::uint8_t endpoint, std::uint8_t* data, int count) {
    Handle h(emu_);
    if (!h.ok()) return -1;
    return emu_.read(h.get(), pipe_of(endpoint), data, count);
}

int ScannerFunction::control_in(std::uint8_t requestType, std::uint8_t request, std::uint16_t value,
                                std::uint16_t index, std::uint8_t* data, int count) {
    if (requestType != kStatusRequestType || request != kStatusRequest || value != 0 || index != 0) return -1;
    Handle h(emu_);
    int delivered = 0;
    if (!h.ok() || emu_.getSpecStatus(h.get(), data, count, &delivered) == 0) return -1;
    return delivered;
}

bool ScannerFunction::clear_halt(std::uint8_t endpoint) {
    Handle h(emu_);
    return h.ok() && emu_.resetPipes(h.get(), pipe_of(endpoint)) != 0;
}

bool ScannerFunction::port_reset() {
    Handle h(emu_);
    if (h.ok()) emu_.sendSpecCommand(h.get(), kResetUsbDevice);
    return !resetReenumerates_;
}

int BystanderFunction::out(std::uint8_t, const std::uint8_t* data, int count) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (data != nullptr && count > 0) received_.insert(received_.end(), data, data + count);
    return count;
}

int BystanderFunction::control_in(std::uint8_t, std::uint8_t, std::uint16_t, std::uint16_t,
                                  std::uint8_t* data, int count) {
    std::memset(data, kBystanderStatusByte, static_cast<std::size_t>(count));
    return count;
}

std::vector<std::uint8_t> BystanderFunction::received() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return received_;
}

}  // namespace usbtest
