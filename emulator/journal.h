#pragma once
// The journal of link operations: one entry per call, with the bytes the
// device received or delivered. Bounded: the oldest entries go first when it
// holds more than kMaxEntries entries or kMaxBytes bytes. Guarded by the
// emulator's lock.

#include <cstdint>
#include <deque>
#include <vector>

#include "emulator/ScannerEmulator.h"

namespace emu {

struct JournalRecord {
    EmuJournalEntry entry{};
    std::vector<std::uint8_t> bytes;
};

class Journal {
public:
    static constexpr std::size_t kMaxEntries = 65536;
    static constexpr std::size_t kMaxBytes = 64u << 20;

    void clear();
    void add(const EmuJournalEntry& entry, const std::uint8_t* bytes, std::size_t length);
    std::size_t count() const { return records_.size(); }
    const JournalRecord* at(std::size_t index) const;
    // Concatenation of every write's bytes still in the journal.
    std::vector<std::uint8_t> written() const;
    void note_concurrency(int inFlight);
    int max_concurrency() const { return maxConcurrency_; }

private:
    std::deque<JournalRecord> records_;
    std::size_t bytes_ = 0;
    int maxConcurrency_ = 0;
};

}  // namespace emu
