// Waiting for a ticket, scanning it and pulling the picture.

#include "sane/ticket_scan.h"

#include <algorithm>
#include <chrono>
#include <new>

#include "platform/sleep.h"
#include "sane/debug.h"

namespace tqsane {
namespace {

using Clock = std::chrono::steady_clock;

constexpr int kActionStop = 0;   // hold the ticket after the scan
constexpr int kActionEject = 2;  // out paper
constexpr int kFeedFront = 0;    // StartFeedPaper direction that ejects out of the front

bool jammed(const Status& s) {
    return s.statusError && s.passageJam;
}

// A jam indication that clears on request (a fake jam) is cleared once; true
// when the device is free of it afterwards.
bool clear_fake_jam(const KestromApi& api, Status& s) {
    if (!jammed(s)) return true;
    debug(2, "jam reported, trying to clear it");
    api.CorrectFakeJamError();
    return api.status(s) && !jammed(s);
}

// Sends the settings of one scan; `heightMm` may differ from the settings'
// (a held ticket is always scanned whole). False on the first failure.
bool send_settings(const KestromApi& api, const ScanSettings& s, int heightMm) {
    if (!api.SetScanWidth(s.borderMm, s.widthMm)) return false;
    if (!api.SetScanHeight(heightMm)) return false;
    if (!api.SetScanPictureType(s.pictureType, 0)) return false;
    if (!api.SetScanDPI(s.linesPerMm, 0)) return false;
    if (s.pictureType == 0 && !api.SetThresholdMethord(0, s.threshold1, s.threshold2, 0)) return false;
    return true;
}

// Waits until a ticket rests at the entry with the scanner idle, or the device
// holds one (`held`). NO_DOCS when the wait runs out.
SANE_Status wait_for_ticket(const KestromApi& api, int waitSeconds, const std::atomic<bool>& cancel,
                            bool& held) {
    const auto deadline = Clock::now() + std::chrono::seconds(waitSeconds);
    bool jamCleared = false;
    for (;;) {
        if (cancel.load()) return SANE_STATUS_CANCELLED;
        Status s{};
        if (!api.status(s)) return SANE_STATUS_IO_ERROR;
        if (s.coverOpen) return SANE_STATUS_COVER_OPEN;
        if (jammed(s)) {
            if (jamCleared || !clear_fake_jam(api, s)) return SANE_STATUS_JAMMED;
            jamCleared = true;
        }
        held = s.waiting == 1;
        if (held) return SANE_STATUS_GOOD;
        const bool paper = s.paperSensorA || s.paperSensorB;
        if (paper && s.scannerIdle && !s.feedingPaper && !s.scanning) return SANE_STATUS_GOOD;
        if (Clock::now() >= deadline) return SANE_STATUS_NO_DOCS;
        platform::sleep_ms(kTicketPollMs);
    }
}

// Waits for the first image data after StartScan.
SANE_Status wait_for_data(const KestromApi& api, const std::atomic<bool>& cancel) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(kFirstDataTimeoutMs);
    for (;;) {
        if (cancel.load()) {
            api.AbortScan();
            return SANE_STATUS_CANCELLED;
        }
        Status s{};
        if (!api.status(s)) return SANE_STATUS_IO_ERROR;
        if (jammed(s)) return SANE_STATUS_JAMMED;
        if (s.statusError) return SANE_STATUS_IO_ERROR;
        if (s.haveData) return SANE_STATUS_GOOD;
        if (Clock::now() >= deadline) {
            debug(1, "no image data %d ms after the scan started", kFirstDataTimeoutMs);
            api.AbortScan();
            return SANE_STATUS_IO_ERROR;
        }
        platform::sleep_ms(kDataPollMs);
    }
}

}  // namespace

void invert_lineart(std::vector<std::uint8_t>& bytes) {
    for (auto& b : bytes) b = static_cast<std::uint8_t>(~b);
}

SANE_Status scan_ticket(const KestromApi& api, const ScanSettings& settings, const std::atomic<bool>& cancel,
                        Picture& out) {
    out = Picture{};
    bool held = false;
    if (const SANE_Status st = wait_for_ticket(api, settings.ticketWaitSeconds, cancel, held);
        st != SANE_STATUS_GOOD) {
        debug(2, "no ticket to scan (status %d)", static_cast<int>(st));
        return st;
    }
    debug(2, held ? "scanning the held ticket" : "ticket at the entry, scanning");

    // The device scans a held ticket again only whole and only to hold it
    // afterwards; the window's height is then cut here and the ticket ejected
    // with a feed.
    if (!send_settings(api, settings, held ? 0 : settings.heightMm)) {
        debug(1, "the device refused the scan settings");
        return SANE_STATUS_IO_ERROR;
    }
    const int action = held || !settings.eject ? kActionStop : kActionEject;
    if (!api.StartScan(action)) {
        debug(1, "StartScan(%d) failed", action);
        return SANE_STATUS_IO_ERROR;
    }
    if (const SANE_Status st = wait_for_data(api, cancel); st != SANE_STATUS_GOOD) return st;

    try {
        out.bytes.resize(kPictureBufferBytes);
    } catch (const std::bad_alloc&) {
        api.AbortScan();
        return SANE_STATUS_NO_MEM;
    }
    int lineBytes = 0, lines = 0, pictureType = -1, linesPerMm = 0;
    if (!api.ReadPictureData(out.bytes.data(), &lineBytes, &lines, &pictureType, &linesPerMm)) {
        debug(1, "ReadPictureData failed");
        out = Picture{};
        return SANE_STATUS_IO_ERROR;
    }
    if (pictureType != settings.pictureType || lineBytes <= 0 || lines < 0 ||
        static_cast<std::size_t>(lineBytes) * static_cast<std::size_t>(lines) > kPictureBufferBytes) {
        debug(1, "unexpected picture: type %d, %d bytes x %d lines", pictureType, lineBytes, lines);
        out = Picture{};
        return SANE_STATUS_IO_ERROR;
    }
    if (cancel.load()) {  // asked while the picture came in: drop it
        out = Picture{};
        return SANE_STATUS_CANCELLED;
    }
    if (held && settings.heightMm > 0) lines = std::min(lines, settings.heightMm * linesPerMm);

    out.lineBytes = lineBytes;
    out.lines = lines;
    out.depth = pictureType == 1 ? 8 : 1;
    out.bytes.resize(static_cast<std::size_t>(lineBytes) * static_cast<std::size_t>(lines));
    out.bytes.shrink_to_fit();
    if (out.depth == 1) invert_lineart(out.bytes);
    debug(2, "picture: %d bytes x %d lines, depth %d", lineBytes, lines, out.depth);

    if (held && settings.eject && !api.StartFeedPaper(kFeedFront, 0))
        debug(1, "the held ticket could not be ejected");
    return SANE_STATUS_GOOD;
}

}  // namespace tqsane
