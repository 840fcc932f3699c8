// The exports of libScannerEmulator.so: the eight link operations and the
// control API. Each checks its arguments, calls the emulator and catches
// everything, so no exception leaves the library.

#include <cstring>

#include "emulator/ScannerEmulator.h"
#include "emulator/emulator.h"
#include "platform/usb/Pipewell.h"

#define EMU_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

emu::Emulator& emulator() {
    return emu::Emulator::instance();
}

template <typename Fn>
auto guarded(int failure, Fn&& fn) noexcept -> int {
    try {
        return fn();
    } catch (...) {
        return failure;
    }
}

// Raw ticket pixels to grey levels; false for a bad format.
bool pixels_to_grey(const uint8_t* pixels, int width, int height, int bitsPerPixel, emu::GreyImage& out) {
    if (pixels == nullptr || !emu::Device::ticket_fits(width, height)) return false;
    if (bitsPerPixel != 1 && bitsPerPixel != 8 && bitsPerPixel != 24) return false;
    const std::size_t rowBytes = (static_cast<std::size_t>(width) * bitsPerPixel + 7) / 8;
    out.width = width;
    out.height = height;
    out.pixels.assign(static_cast<std::size_t>(width) * height, 255);
    for (int y = 0; y < height; ++y) {
        const uint8_t* row = pixels + rowBytes * y;
        for (int x = 0; x < width; ++x) {
            uint8_t grey = 0;
            if (bitsPerPixel == 1) grey = ((row[x >> 3] >> (7 - (x & 7))) & 1) ? 255 : 0;
            else if (bitsPerPixel == 8) grey = row[x];
            else grey = static_cast<uint8_t>((row[3 * x + 2] * 299u + row[3 * x + 1] * 587u + row[3 * x] * 114u + 500u) / 1000u);
            out.at(x, y) = grey;
        }
    }
    return true;
}

}  // namespace

// ---- link operations ------------------------------------------------------

EMU_EXPORT int OpenDevice(void) {
    return guarded(-1, [] { return emulator().open_device(); });
}

EMU_EXPORT int uRead(int handle, int pipe, uint8_t* buf, int count) {
    return guarded(-1, [&] { return emulator().read(handle, pipe, buf, count); });
}

EMU_EXPORT int uWrite(int handle, int pipe, const uint8_t* buf, int count) {
    return guarded(-1, [&] { return emulator().write(handle, pipe, buf, count); });
}

EMU_EXPORT int GetSpecStatus(int handle, uint8_t* buf, int count, int* delivered) {
    return guarded(0, [&] { return emulator().spec_status(handle, buf, count, delivered); });
}

EMU_EXPORT int CloseDevice(int handle) {
    return guarded(0, [&] { return emulator().close_device(handle); });
}

EMU_EXPORT int SetUSBTimeouts(int handle, int first, int second) {
    return guarded(0, [&] { return emulator().set_timeouts(handle, first, second); });
}

EMU_EXPORT int SendSpecCommand(int handle, int code) {
    return guarded(0, [&] { return emulator().send_spec_command(handle, code); });
}

EMU_EXPORT int ResetPipes(int handle, int pipe) {
    return guarded(0, [&] { return emulator().reset_pipes(handle, pipe); });
}

// ---- control API ------------------------------------------------------------

EMU_EXPORT int Emu_Reset(int factory) {
    return guarded(0, [&] { return emulator().reset(factory != 0); });
}

EMU_EXPORT int Emu_InsertTicketFile(const char* bmpPath) {
    return guarded(0, [&] {
        emu::GreyImage image;
        if (bmpPath == nullptr || !emu::Device::load_ticket(bmpPath, image)) return 0;
        return emulator().insert_ticket(std::move(image));
    });
}

EMU_EXPORT int Emu_InsertTicketPixels(const uint8_t* pixels, int width, int height, int bitsPerPixel) {
    return guarded(0, [&] {
        emu::GreyImage image;
        if (!pixels_to_grey(pixels, width, height, bitsPerPixel, image)) return 0;
        return emulator().insert_ticket(std::move(image));
    });
}

EMU_EXPORT int Emu_SetTicketPlacement(int offsetDots, double skewDegrees) {
    return guarded(0, [&] { return emulator().set_placement(offsetDots, skewDegrees); });
}

EMU_EXPORT int Emu_PushTicket(int leadingEdgeMm) {
    return guarded(0, [&] { return emulator().push_ticket(leadingEdgeMm); });
}

EMU_EXPORT int Emu_RemoveTicket(void) {
    return guarded(0, [] { return emulator().remove_ticket(); });
}

EMU_EXPORT int Emu_GetPaperPosition(int* location, int* leadingEdgeMm, int* ticketsOut, int* ticketsReturned) {
    return guarded(0, [&] { return emulator().paper_position(location, leadingEdgeMm, ticketsOut, ticketsReturned); });
}

EMU_EXPORT int Emu_GetLastPrint(uint8_t* pixels, int capacity, int* width, int* height) {
    return guarded(0, [&] { return emulator().last_print(false, pixels, capacity, width, height); });
}

EMU_EXPORT int Emu_GetLastPrintedTicket(uint8_t* pixels, int capacity, int* width, int* height) {
    return guarded(0, [&] { return emulator().last_print(true, pixels, capacity, width, height); });
}

EMU_EXPORT int Emu_GetLastPrintFile(char* path, int capacity) {
    return guarded(0, [&] { return emulator().last_print_file(path, capacity); });
}

EMU_EXPORT int Emu_GetStatus(uint8_t status[8]) {
    return guarded(0, [&] { return status == nullptr ? 0 : emulator().status(status); });
}

EMU_EXPORT int Emu_SetCondition(int condition, int on) {
    return guarded(0, [&] { return emulator().set_condition(condition, on != 0); });
}

EMU_EXPORT int Emu_InjectFault(int fault, int pipe, int skip, int count) {
    return guarded(0, [&] { return emulator().inject_fault(fault, pipe, skip, count); });
}

EMU_EXPORT int Emu_ClearFaults(void) {
    return guarded(0, [] { return emulator().clear_faults(); });
}

EMU_EXPORT int Emu_JournalClear(void) {
    return guarded(0, [] { return emulator().journal_clear(); });
}

EMU_EXPORT int Emu_JournalCount(void) {
    return guarded(0, [] { return emulator().journal_count(); });
}

EMU_EXPORT int Emu_JournalEntry(int index, EmuJournalEntry* entry, uint8_t* bytes, int capacity) {
    return guarded(0, [&] { return emulator().journal_entry(index, entry, bytes, capacity); });
}

EMU_EXPORT int Emu_JournalWritten(uint8_t* bytes, int capacity) {
    return guarded(0, [&] { return emulator().journal_written(bytes, capacity); });
}

EMU_EXPORT int Emu_JournalMaxConcurrency(void) {
    return guarded(0, [] { return emulator().journal_max_concurrency(); });
}

EMU_EXPORT int Emu_SetTimeScale(double scale) {
    return guarded(0, [&] { return emulator().set_time_scale(scale); });
}

EMU_EXPORT int Emu_AdvanceTime(int ms) {
    return guarded(0, [&] { return emulator().advance_time(ms); });
}

EMU_EXPORT int Emu_SetTransferStep(int ms) {
    return guarded(0, [&] { return emulator().set_transfer_step(ms); });
}

EMU_EXPORT int64_t Emu_Now(void) {
    try {
        return emulator().now();
    } catch (...) {
        return 0;
    }
}

EMU_EXPORT int Emu_GetFirmwareVersion(char version[7]) {
    return guarded(0, [&] { return version == nullptr ? 0 : emulator().firmware_version(version); });
}

EMU_EXPORT int Emu_StoredBitmapCount(int area) {
    return guarded(-1, [&] { return emulator().stored_bitmap_count(area); });
}
