// The exports of libScannerEmulator.so: the eight link operations and the
// control API. Each checks its arguments, calls the emulator and catches
// everything, so no exception leaves the library.

#include <cstring>

#include "emulator/ScannerEmulator.h"
#include "emulator/emulator.h"
#include "kit/export.h"
#include "platform/usb/Pipewell.h"

namespace {

emu::Emulator& emulator() {
    return emu::Emulator::instance();
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
            if (bitsPerPixel == 1)
                grey = ((row[x >> 3] >> (7 - (x & 7))) & 1) ? 255 : 0;
            else if (bitsPerPixel == 8)
                grey = row[x];
            else
                grey = static_cast<uint8_t>(
                    (row[3 * x + 2] * 299u + row[3 * x + 1] * 587u + row[3 * x] * 114u + 500u) / 1000u);
            out.at(x, y) = grey;
        }
    }
    return true;
}

}  // namespace

// ---- link operations ------------------------------------------------------

KIT_EXPORT int OpenDevice(void) {
    return kit::fenced(-1, [] { return emulator().open_device(); });
}

KIT_EXPORT int uRead(int handle, int pipe, uint8_t* buf, int count) {
    return kit::fenced(-1, [&] { return emulator().read(handle, pipe, buf, count); });
}

KIT_EXPORT int uWrite(int handle, int pipe, const uint8_t* buf, int count) {
    return kit::fenced(-1, [&] { return emulator().write(handle, pipe, buf, count); });
}

KIT_EXPORT int GetSpecStatus(int handle, uint8_t* buf, int count, int* delivered) {
    return kit::fenced(0, [&] { return emulator().spec_status(handle, buf, count, delivered); });
}

KIT_EXPORT int CloseDevice(int handle) {
    return kit::fenced(0, [&] { return emulator().close_device(handle); });
}

KIT_EXPORT int SetUSBTimeouts(int handle, int first, int second) {
    return kit::fenced(0, [&] { return emulator().set_timeouts(handle, first, second); });
}

KIT_EXPORT int SendSpecCommand(int handle, int code) {
    return kit::fenced(0, [&] { return emulator().send_spec_command(handle, code); });
}

KIT_EXPORT int ResetPipes(int handle, int pipe) {
    return kit::fenced(0, [&] { return emulator().reset_pipes(handle, pipe); });
}

// ---- control API ------------------------------------------------------------

KIT_EXPORT int Emu_Reset(int factory) {
    return kit::fenced(0, [&] { return emulator().reset(factory != 0); });
}

KIT_EXPORT int Emu_InsertTicketFile(const char* bmpPath) {
    return kit::fenced(0, [&] {
        emu::GreyImage image;
        if (bmpPath == nullptr || !emu::Device::load_ticket(bmpPath, image)) return 0;
        return emulator().insert_ticket(std::move(image));
    });
}

KIT_EXPORT int Emu_InsertTicketPixels(const uint8_t* pixels, int width, int height, int bitsPerPixel) {
    return kit::fenced(0, [&] {
        emu::GreyImage image;
        if (!pixels_to_grey(pixels, width, height, bitsPerPixel, image)) return 0;
        return emulator().insert_ticket(std::move(image));
    });
}

KIT_EXPORT int Emu_SetTicketPlacement(int offsetDots, double skewDegrees) {
    return kit::fenced(0, [&] { return emulator().set_placement(offsetDots, skewDegrees); });
}

KIT_EXPORT int Emu_PushTicket(int leadingEdgeMm) {
    return kit::fenced(0, [&] { return emulator().push_ticket(leadingEdgeMm); });
}

KIT_EXPORT int Emu_RemoveTicket(void) {
    return kit::fenced(0, [] { return emulator().remove_ticket(); });
}

KIT_EXPORT int Emu_GetPaperPosition(int* location, int* leadingEdgeMm, int* ticketsOut,
                                    int* ticketsReturned) {
    return kit::fenced(
        0, [&] { return emulator().paper_position(location, leadingEdgeMm, ticketsOut, ticketsReturned); });
}

KIT_EXPORT int Emu_GetLastPrint(uint8_t* pixels, int capacity, int* width, int* height) {
    return kit::fenced(0, [&] { return emulator().last_print(false, pixels, capacity, width, height); });
}

KIT_EXPORT int Emu_GetLastPrintedTicket(uint8_t* pixels, int capacity, int* width, int* height) {
    return kit::fenced(0, [&] { return emulator().last_print(true, pixels, capacity, width, height); });
}

KIT_EXPORT int Emu_GetLastPrintFile(char* path, int capacity) {
    return kit::fenced(0, [&] { return emulator().last_print_file(path, capacity); });
}

KIT_EXPORT int Emu_GetStatus(uint8_t status[8]) {
    return kit::fenced(0, [&] { return status == nullptr ? 0 : emulator().status(status); });
}

KIT_EXPORT int Emu_SetCondition(int condition, int on) {
    return kit::fenced(0, [&] { return emulator().set_condition(condition, on != 0); });
}

KIT_EXPORT int Emu_InjectFault(int fault, int pipe, int skip, int count) {
    return kit::fenced(0, [&] { return emulator().inject_fault(fault, pipe, skip, count); });
}

KIT_EXPORT int Emu_ClearFaults(void) {
    return kit::fenced(0, [] { return emulator().clear_faults(); });
}

KIT_EXPORT int Emu_JournalClear(void) {
    return kit::fenced(0, [] { return emulator().journal_clear(); });
}

KIT_EXPORT int Emu_JournalCount(void) {
    return kit::fenced(0, [] { return emulator().journal_count(); });
}

KIT_EXPORT int Emu_JournalEntry(int index, EmuJournalEntry* entry, uint8_t* bytes, int capacity) {
    return kit::fenced(0, [&] { return emulator().journal_entry(index, entry, bytes, capacity); });
}

KIT_EXPORT int Emu_JournalWritten(uint8_t* bytes, int capacity) {
    return kit::fenced(0, [&] { return emulator().journal_written(bytes, capacity); });
}

KIT_EXPORT int Emu_JournalMaxConcurrency(void) {
    return kit::fenced(0, [] { return emulator().journal_max_concurrency(); });
}

KIT_EXPORT int Emu_SetTimeScale(double scale) {
    return kit::fenced(0, [&] { return emulator().set_time_scale(scale); });
}

KIT_EXPORT int Emu_AdvanceTime(int ms) {
    return kit::fenced(0, [&] { return emulator().advance_time(ms); });
}

KIT_EXPORT int Emu_SetTransferStep(int ms) {
    return kit::fenced(0, [&] { return emulator().set_transfer_step(ms); });
}

KIT_EXPORT int64_t Emu_Now(void) {
    return kit::fenced(0, [] { return emulator().now(); });
}

KIT_EXPORT int Emu_GetFirmwareVersion(char version[7]) {
    return kit::fenced(0, [&] { return version == nullptr ? 0 : emulator().firmware_version(version); });
}

KIT_EXPORT int Emu_StoredBitmapCount(int area) {
    return kit::fenced(-1, [&] { return emulator().stored_bitmap_count(area); });
}
