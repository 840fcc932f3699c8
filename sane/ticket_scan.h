#pragma once
// One ticket scan through libKestrom: wait for a ticket (or use the one the
// device holds), send the settings, start, pull the picture, and hand it out
// in SANE's pixel conventions.

#include <sane/sane.h>

#include <atomic>
#include <cstdint>
#include <vector>

#include "sane/kestrom_api.h"
#include "sane/options.h"

namespace tqsane {

// A scanned picture as SANE frontends read it: rows top first, unpadded;
// depth 1 with bit 1 = black (most significant bit first), or depth 8 with
// 0 = black.
struct Picture {
    std::vector<std::uint8_t> bytes;
    int lineBytes = 0;
    int lines = 0;
    int depth = 8;
};

inline constexpr int kTicketPollMs = 100;          // status polls while waiting for a ticket
inline constexpr int kDataPollMs = 20;             // status polls between StartScan and the first data
inline constexpr int kFirstDataTimeoutMs = 10000;  // StartScan to haveData
inline constexpr std::size_t kPictureBufferBytes = 10485760;  // what ReadPictureData may fill

// The device's black-and-white rows (bit 1 = white) turned into SANE lineart
// (bit 1 = black), in place.
void invert_lineart(std::vector<std::uint8_t>& bytes);

// Scans one ticket. Returns GOOD with `out` filled; NO_DOCS when no ticket
// came within settings.ticketWaitSeconds; CANCELLED when `cancel` was raised
// (a running scan is aborted); COVER_OPEN, JAMMED, NO_MEM or IO_ERROR.
SANE_Status scan_ticket(const KestromApi& api, const ScanSettings& settings, const std::atomic<bool>& cancel,
                        Picture& out);

}  // namespace tqsane
