#pragma once
// The emulator as the link library sees it: link handles, faults, the journal
// and the clock around one Device. One process-wide instance; every public
// function takes the lock, so the link operations and the control API may be
// called from any thread.

#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>

#include "emulator/device.h"
#include "emulator/device_clock.h"
#include "emulator/faults.h"
#include "emulator/journal.h"

namespace emu {

class Emulator {
public:
    static Emulator& instance();

    // The eight link operations, with the results the device library relies on.
    int open_device();
    int close_device(int handle);
    int write(int handle, int pipe, const std::uint8_t* buffer, int count);
    int read(int handle, int pipe, std::uint8_t* buffer, int count);
    int spec_status(int handle, std::uint8_t* buffer, int count, int* delivered);
    int set_timeouts(int handle, int first, int second);
    int send_spec_command(int handle, int code);
    int reset_pipes(int handle, int pipe);

    // Control API.
    int reset(bool factory);
    int insert_ticket(GreyImage image);
    int push_ticket(int leadingEdgeMm);
    int remove_ticket();
    int set_placement(int offsetDots, double skewDegrees);
    int paper_position(int* location, int* leadingEdgeMm, int* ticketsOut, int* ticketsReturned);
    int last_print(bool ticket, std::uint8_t* pixels, int capacity, int* width, int* height);
    int last_print_file(char* path, int capacity);
    int status(std::uint8_t* out);
    int set_condition(int condition, bool on);
    int inject_fault(int fault, int pipe, int skip, int count);
    int clear_faults();
    int journal_clear();
    int journal_count();
    int journal_entry(int index, EmuJournalEntry* entry, std::uint8_t* bytes, int capacity);
    int journal_written(std::uint8_t* bytes, int capacity);
    int journal_max_concurrency();
    int set_time_scale(double scale);
    int advance_time(int ms);
    int set_transfer_step(int ms);
    std::int64_t now();
    int firmware_version(char* version);
    int stored_bitmap_count(int area);

private:
    Emulator() = default;

    // Serialises one call and counts calls that overlap it.
    class Call;

    std::int64_t device_now();    // powers on when needed, runs the device up to now
    std::int64_t transfer_now();  // the same, after the per-transfer clock step
    bool handle_valid(int handle, std::int64_t now) const;
    void record(EmuJournalEntry entry, const std::uint8_t* bytes, std::size_t length);

    std::mutex mutex_;              // guards everything below
    std::atomic<int> inFlight_{0};  // link operations inside the emulator right now
    DeviceClock clock_;
    Journal journal_;
    Faults faults_;
    Device device_;
    bool powered_ = false;
    std::map<int, int> handles_;  // open handle -> link generation it was opened in
    int nextHandle_ = 1;
};

}  // namespace emu
