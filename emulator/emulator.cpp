#include "emulator/emulator.h"

#include <algorithm>
#include <cstring>

namespace emu {
namespace {

constexpr int kResetUsbDevice = 0xC0;
constexpr int kStatusBytes = 8;
constexpr int kShortStatusBytes = 4;
constexpr std::size_t kMaxOpenHandles = 4096;
constexpr int kLastPipe = 3;

int thread_number() {
    static std::atomic<int> next{0};
    thread_local int number = 0;
    if (number == 0) number = ++next;
    return number;
}

}  // namespace

class Emulator::Call {
public:
    explicit Call(Emulator& emulator) : emulator_(emulator) {
        const int inFlight = ++emulator_.inFlight_;
        overlapped_ = inFlight > 1;
        lock_ = std::unique_lock<std::mutex>(emulator_.mutex_);
        emulator_.journal_.note_concurrency(inFlight);
    }
    ~Call() {
        lock_.unlock();
        --emulator_.inFlight_;
    }
    Call(const Call&) = delete;
    Call& operator=(const Call&) = delete;
    bool overlapped() const { return overlapped_; }

private:
    Emulator& emulator_;
    std::unique_lock<std::mutex> lock_;
    bool overlapped_ = false;
};

Emulator& Emulator::instance() {
    static Emulator emulator;
    return emulator;
}

std::int64_t Emulator::device_now() {
    std::int64_t now = clock_.now();
    if (!powered_) {
        powered_ = true;
        device_.power_on(now, false);
    }
    device_.update(now);
    return now;
}

std::int64_t Emulator::transfer_now() {
    clock_.transfer_tick();
    return device_now();
}

bool Emulator::handle_valid(int handle, std::int64_t now) const {
    const auto it = handles_.find(handle);
    return it != handles_.end() && it->second == device_.linkGeneration && device_.link_up(now);
}

void Emulator::record(EmuJournalEntry entry, const std::uint8_t* bytes, std::size_t length) {
    entry.thread = thread_number();
    entry.length = static_cast<std::int32_t>(length);
    journal_.add(entry, bytes, length);
}

// ---- link operations -----------------------------------------------------

int Emulator::open_device() {
    Call call(*this);
    const std::int64_t now = transfer_now();
    int result = -1;
    if (device_.link_up(now) && !faults_.fires(EMU_FAULT_OPEN_FAIL) && handles_.size() < kMaxOpenHandles) {
        while (handles_.count(nextHandle_) != 0 || nextHandle_ <= 0) {
            nextHandle_ = nextHandle_ <= 0 ? 1 : nextHandle_ + 1;
        }
        result = nextHandle_++;
        handles_[result] = device_.linkGeneration;
    }
    record({EMU_OP_OPEN, result, 0, 0, result, 0, 0, call.overlapped(), now}, nullptr, 0);
    return result;
}

int Emulator::close_device(int handle) {
    Call call(*this);
    const std::int64_t now = transfer_now();
    const int result = handles_.erase(handle) != 0 ? 1 : 0;
    record({EMU_OP_CLOSE, handle, 0, 0, result, 0, 0, call.overlapped(), now}, nullptr, 0);
    return result;
}

int Emulator::write(int handle, int pipe, const std::uint8_t* buffer, int count) {
    Call call(*this);
    const std::int64_t now = transfer_now();
    int result = -1;
    std::size_t received = 0;
    if (handle_valid(handle, now) && pipe == 0 && buffer != nullptr && count > 0) {
        if (faults_.fires(EMU_FAULT_NO_ANSWER, pipe)) {
            result = 0;
        } else if (faults_.fires(EMU_FAULT_WRITE_FAIL, pipe)) {
            result = -1;
        } else {
            received = static_cast<std::size_t>(count);
            if (faults_.fires(EMU_FAULT_WRITE_SHORT, pipe)) received = static_cast<std::size_t>(count - 1);
            device_.receive(buffer, received, now);
            result = static_cast<int>(received);
        }
    }
    record({EMU_OP_WRITE, handle, pipe, count, result, 0, 0, call.overlapped(), now}, buffer, received);
    return result;
}

int Emulator::read(int handle, int pipe, std::uint8_t* buffer, int count) {
    Call call(*this);
    const std::int64_t now = transfer_now();
    int result = -1;
    if (handle_valid(handle, now) && pipe >= 0 && pipe <= kLastPipe && buffer != nullptr && count > 0) {
        if (faults_.fires(EMU_FAULT_NO_ANSWER, pipe)) {
            result = 0;
        } else if (faults_.fires(EMU_FAULT_READ_FAIL, pipe)) {
            result = -1;
        } else {
            int wanted = count;
            if (faults_.fires(EMU_FAULT_READ_SHORT, pipe)) wanted = count - 1;
            result = 0;
            if (wanted > 0 && pipe == 1) result = device_.read_reply(buffer, wanted);
            if (wanted > 0 && pipe == 3) result = device_.read_bulk(buffer, wanted);
            device_.update(now);  // the last image bytes may end the scan
        }
    }
    record({EMU_OP_READ, handle, pipe, count, result, 0, 0, call.overlapped(), now}, buffer,
           result > 0 ? static_cast<std::size_t>(result) : 0);
    return result;
}

int Emulator::spec_status(int handle, std::uint8_t* buffer, int count, int* delivered) {
    Call call(*this);
    const std::int64_t now = transfer_now();
    int result = 0;
    int given = 0;
    if (delivered != nullptr) *delivered = 0;
    if (handle_valid(handle, now) && buffer != nullptr && count > 0 && !faults_.fires(EMU_FAULT_NO_ANSWER) &&
        !faults_.fires(EMU_FAULT_STATUS_FAIL)) {
        std::array<std::uint8_t, kStatusBytes> bytes = device_.status(now);
        if (faults_.fires(EMU_FAULT_STATUS_ZERO)) bytes.fill(0);
        given = std::min(count, kStatusBytes);
        if (faults_.fires(EMU_FAULT_STATUS_SHORT)) given = std::min(given, kShortStatusBytes);
        std::memcpy(buffer, bytes.data(), static_cast<std::size_t>(given));
        if (delivered != nullptr) *delivered = given;
        result = 1;
    }
    record({EMU_OP_STATUS, handle, 0, count, result, 0, 0, call.overlapped(), now}, buffer,
           static_cast<std::size_t>(given));
    return result;
}

int Emulator::set_timeouts(int handle, int first, int second) {
    Call call(*this);
    const std::int64_t now = transfer_now();
    const int result = handle_valid(handle, now) && !faults_.fires(EMU_FAULT_TIMEOUTS_FAIL) ? 1 : 0;
    record({EMU_OP_TIMEOUTS, handle, first, second, result, 0, 0, call.overlapped(), now}, nullptr, 0);
    return result;
}

int Emulator::send_spec_command(int handle, int code) {
    Call call(*this);
    const std::int64_t now = transfer_now();
    int result = 0;
    if (handle_valid(handle, now) && code == kResetUsbDevice && !faults_.fires(EMU_FAULT_NO_ANSWER) &&
        !faults_.fires(EMU_FAULT_SPEC_COMMAND_FAIL)) {
        // A port reset re-enumerates the device: every open handle dies.
        ++device_.linkGeneration;
        result = 1;
    }
    record({EMU_OP_SPEC_COMMAND, handle, 0, code, result, 0, 0, call.overlapped(), now}, nullptr, 0);
    return result;
}

int Emulator::reset_pipes(int handle, int pipe) {
    Call call(*this);
    const std::int64_t now = transfer_now();
    int result = 0;
    if (handle_valid(handle, now) && pipe >= 0 && pipe <= kLastPipe && !faults_.fires(EMU_FAULT_NO_ANSWER) &&
        !faults_.fires(EMU_FAULT_RESET_PIPES_FAIL))
        result = 1;  // clearing a halt keeps the data queued in the device
    record({EMU_OP_RESET_PIPES, handle, pipe, 0, result, 0, 0, call.overlapped(), now}, nullptr, 0);
    return result;
}

// ---- control API -----------------------------------------------------------

int Emulator::reset(bool factory) {
    std::lock_guard<std::mutex> lock(mutex_);
    clock_.restart();
    powered_ = true;
    handles_.clear();
    faults_.clear();
    journal_.clear();
    device_.power_on(clock_.now(), factory);
    return 1;
}

int Emulator::insert_ticket(GreyImage image) {
    std::lock_guard<std::mutex> lock(mutex_);
    const std::int64_t now = device_now();
    return device_.insert_ticket(std::move(image), now) ? 1 : 0;
}

int Emulator::push_ticket(int leadingEdgeMm) {
    std::lock_guard<std::mutex> lock(mutex_);
    device_now();
    return device_.push_ticket(static_cast<double>(leadingEdgeMm)) ? 1 : 0;
}

int Emulator::remove_ticket() {
    std::lock_guard<std::mutex> lock(mutex_);
    const std::int64_t now = device_now();
    return device_.remove_ticket(now) ? 1 : 0;
}

int Emulator::set_placement(int offsetDots, double skewDegrees) {
    if (offsetDots < 0 || offsetDots >= kPassageDots || !(skewDegrees >= -15.0 && skewDegrees <= 15.0))
        return 0;
    std::lock_guard<std::mutex> lock(mutex_);
    device_now();
    device_.placement = Placement{offsetDots, skewDegrees};
    return 1;
}

int Emulator::paper_position(int* location, int* leadingEdgeMm, int* ticketsOut, int* ticketsReturned) {
    std::lock_guard<std::mutex> lock(mutex_);
    device_now();
    int where = EMU_PAPER_NONE;
    if (device_.ticket) {
        if (device_.phase == Phase::Moving || device_.phase == Phase::Scanning)
            where = EMU_PAPER_MOVING;
        else if (device_.phase == Phase::Idle && !device_.ticket->heldByHand)
            where = EMU_PAPER_AT_ENTRY;
        else
            where = EMU_PAPER_INSIDE;
    }
    if (location) *location = where;
    if (leadingEdgeMm) *leadingEdgeMm = device_.ticket ? static_cast<int>(device_.ticket->leadMm + 0.5) : 0;
    if (ticketsOut) *ticketsOut = device_.ticketsOut;
    if (ticketsReturned) *ticketsReturned = device_.ticketsReturned;
    return 1;
}

int Emulator::last_print(bool ticket, std::uint8_t* pixels, int capacity, int* width, int* height) {
    std::lock_guard<std::mutex> lock(mutex_);
    device_now();
    const GreyImage& image = ticket ? device_.lastPrintedTicket : device_.lastPrint;
    if (image.empty()) return 0;
    if (width) *width = image.width;
    if (height) *height = image.height;
    if (pixels != nullptr && capacity >= 0 && static_cast<std::size_t>(capacity) >= image.pixels.size())
        std::memcpy(pixels, image.pixels.data(), image.pixels.size());
    return 1;
}

int Emulator::last_print_file(char* path, int capacity) {
    std::lock_guard<std::mutex> lock(mutex_);
    device_now();
    if (device_.lastPrintFile.empty() || path == nullptr || capacity <= 0) return 0;
    const std::size_t n = std::min(device_.lastPrintFile.size(), static_cast<std::size_t>(capacity - 1));
    std::memcpy(path, device_.lastPrintFile.data(), n);
    path[n] = '\0';
    return 1;
}

int Emulator::status(std::uint8_t* out) {
    std::lock_guard<std::mutex> lock(mutex_);
    const std::int64_t now = device_now();
    const auto bytes = device_.status(now);
    std::memcpy(out, bytes.data(), bytes.size());
    return 1;
}

int Emulator::set_condition(int condition, bool on) {
    std::lock_guard<std::mutex> lock(mutex_);
    device_now();
    Conditions& c = device_.cond;
    switch (condition) {
        case EMU_COND_HEAD_HOT:
            c.headHot = on;
            break;
        case EMU_COND_COVER_OPEN:
            c.coverOpen = on;
            break;
        case EMU_COND_FAKE_JAM:
            c.fakeJam = on;
            break;
        case EMU_COND_REAL_JAM:
            c.realJam = on;
            break;
        case EMU_COND_STATUS_ERROR:
            c.statusError = on;
            break;
        case EMU_COND_BIT_3_0:
            c.bit30 = on;
            break;
        case EMU_COND_BIT_3_4:
            c.bit34 = on;
            break;
        case EMU_COND_BIT_3_5:
            c.bit35 = on;
            break;
        case EMU_COND_BIT_2_0:
            c.bit20 = on;
            break;
        case EMU_COND_NO_PAPER_AT_HEAD:
            c.noPaperAtHead = on;
            break;
        case EMU_COND_CALIBRATION_FAILS:
            c.calibrationFails = on;
            break;
        case EMU_COND_BAD_SENSOR:
            c.badSensor = on;
            break;
        case EMU_COND_JAM_ON_NEXT_MOVE:
            c.jamOnNextMove = on;
            break;
        default:
            return 0;
    }
    return 1;
}

int Emulator::inject_fault(int fault, int pipe, int skip, int count) {
    if (fault < EMU_FAULT_OPEN_FAIL || fault > EMU_FAULT_SPEC_COMMAND_FAIL) return 0;
    std::lock_guard<std::mutex> lock(mutex_);
    faults_.arm(static_cast<EmuFault>(fault), pipe, skip, count);
    return 1;
}

int Emulator::clear_faults() {
    std::lock_guard<std::mutex> lock(mutex_);
    faults_.clear();
    return 1;
}

int Emulator::journal_clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    journal_.clear();
    return 1;
}

int Emulator::journal_count() {
    std::lock_guard<std::mutex> lock(mutex_);
    return static_cast<int>(journal_.count());
}

int Emulator::journal_entry(int index, EmuJournalEntry* entry, std::uint8_t* bytes, int capacity) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (index < 0) return 0;
    const JournalRecord* record = journal_.at(static_cast<std::size_t>(index));
    if (record == nullptr) return 0;
    if (entry != nullptr) *entry = record->entry;
    // An entry without bytes (opens, closes, failed transfers) copies nothing.
    if (bytes != nullptr && capacity > 0 && !record->bytes.empty()) {
        std::memcpy(bytes, record->bytes.data(),
                    std::min(record->bytes.size(), static_cast<std::size_t>(capacity)));
    }
    return 1;
}

int Emulator::journal_written(std::uint8_t* bytes, int capacity) {
    std::lock_guard<std::mutex> lock(mutex_);
    const std::vector<std::uint8_t> all = journal_.written();
    // An empty journal has no buffer to copy from.
    if (bytes != nullptr && capacity > 0 && !all.empty())
        std::memcpy(bytes, all.data(), std::min(all.size(), static_cast<std::size_t>(capacity)));
    return static_cast<int>(all.size());
}

int Emulator::journal_max_concurrency() {
    std::lock_guard<std::mutex> lock(mutex_);
    return journal_.max_concurrency();
}

int Emulator::set_time_scale(double scale) {
    std::lock_guard<std::mutex> lock(mutex_);
    clock_.set_scale(scale);
    return 1;
}

int Emulator::advance_time(int ms) {
    if (ms < 0) return 0;
    std::lock_guard<std::mutex> lock(mutex_);
    clock_.advance(ms);
    device_now();
    return 1;
}

int Emulator::set_transfer_step(int ms) {
    if (ms < 0) return 0;
    std::lock_guard<std::mutex> lock(mutex_);
    clock_.set_transfer_step(ms);
    return 1;
}

std::int64_t Emulator::now() {
    std::lock_guard<std::mutex> lock(mutex_);
    return device_now();
}

int Emulator::firmware_version(char* version) {
    std::lock_guard<std::mutex> lock(mutex_);
    device_now();
    std::memset(version, 0, 7);
    std::memcpy(version, device_.firmwareVersion.data(),
                std::min<std::size_t>(6, device_.firmwareVersion.size()));
    return 1;
}

int Emulator::stored_bitmap_count(int area) {
    if (area < 0 || area > 1) return -1;
    std::lock_guard<std::mutex> lock(mutex_);
    device_now();
    return static_cast<int>(device_.areas[static_cast<std::size_t>(area)].bitmaps.size());
}

}  // namespace emu
