#include "emulator/journal.h"

namespace emu {

void Journal::clear() {
    records_.clear();
    bytes_ = 0;
    maxConcurrency_ = 0;
}

void Journal::add(const EmuJournalEntry& entry, const std::uint8_t* bytes, std::size_t length) {
    JournalRecord record;
    record.entry = entry;
    if (bytes != nullptr && length > 0) record.bytes.assign(bytes, bytes + length);
    bytes_ += record.bytes.size();
    records_.push_back(std::move(record));
    while (!records_.empty() && (records_.size() > kMaxEntries || bytes_ > kMaxBytes)) {
        bytes_ -= records_.front().bytes.size();
        records_.pop_front();
    }
}

const JournalRecord* Journal::at(std::size_t index) const {
    return index < records_.size() ? &records_[index] : nullptr;
}

std::vector<std::uint8_t> Journal::written() const {
    std::vector<std::uint8_t> all;
    for (const JournalRecord& record : records_) {
        if (record.entry.operation == EMU_OP_WRITE)
            all.insert(all.end(), record.bytes.begin(), record.bytes.end());
    }
    return all;
}

void Journal::note_concurrency(int inFlight) {
    if (inFlight > maxConcurrency_) maxConcurrency_ = inFlight;
}

}  // namespace emu
